// State of simdev.sys across a restart of the wineserver (which reloads the driver):
// restart_test.sh runs the RestartSet suite, restarts the server, then runs RestartCheck.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>
#include <ntddvdeo.h>
#include <poclass.h>

#include <cstring>

#include "tests/sim_devices/device_io.h"

namespace {

using simdev_test::Ioctl;
using simdev_test::IoctlPath;

constexpr ULONG kLedCommandState3 = (0xE7UL << 16) | 0x82;
constexpr UCHAR kBrightness = 35;
constexpr ULONG kFailCount = 3;
constexpr DWORD kFailError = ERROR_NOT_READY;
constexpr UCHAR kLevels[] = {0, 20, 45, 70, 100};

SIMDEV_BATTERY_VALUES Battery() {
    SIMDEV_BATTERY_VALUES b = {};
    b.DesignCapacity = 60000;
    b.FullChargedCapacity = 55000;
    b.RemainingCapacity = 16500;  // 30 %
    b.Rate = -8000;
    b.Voltage = 10900;
    b.AcOnLine = 0;
    b.Charging = 0;
    return b;
}

TEST(RestartSet, ChangeEveryDevice) {
    ULONG result = 0;
    ULONG word = kLedCommandState3;
    ASSERT_EQ(ERROR_SUCCESS,
              IoctlPath(SIMDEV_LED_PATH, IOCTL_LED_SET, &word, sizeof(word), &result, sizeof(result)).error);
    ULONG cpuState = 1;
    ASSERT_EQ(ERROR_SUCCESS,
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_SET_STATE, &cpuState, sizeof(cpuState), &result, sizeof(result)).error);
    SIMDEV_LEVELS levels = {};
    levels.Count = sizeof(kLevels);
    memcpy(levels.Levels, kLevels, sizeof(kLevels));
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetLevels(levels));
    DISPLAY_BRIGHTNESS record = {DISPLAYPOLICY_BOTH, kBrightness, kBrightness};
    ASSERT_EQ(ERROR_SUCCESS,
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS, &record, sizeof(record), nullptr, 0).error);
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(Battery()));
    ASSERT_EQ(ERROR_SUCCESS, simdev::InjectFailures(SIMDEV_LCD, kFailCount, kFailError));
    // The processor device is unplugged: after the restart it must not be created at all.
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_CPU_PRESENT, 0));
}

TEST(RestartCheck, TheDriverCameBackWithEveryChange) {
    SIMDEV_STATE state;
    ASSERT_EQ(ERROR_SUCCESS, simdev::GetState(state));

    ULONG value = 0;
    ASSERT_EQ(ERROR_SUCCESS, IoctlPath(SIMDEV_LED_PATH, IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(0x72u, value);
    EXPECT_EQ(kLedCommandState3, state.LedLastCommand);
    ASSERT_GE(state.LedHistoryCount, 1u);
    EXPECT_EQ(0x72u, state.LedHistory[state.LedHistoryCount - 1]);

    EXPECT_EQ(1u, state.CpuState);
    EXPECT_EQ(0u, state.Present[SIMDEV_CPU]);
    EXPECT_FALSE(simdev::OpenDevice(SIMDEV_CPU_PATH).Valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    // The panel still owes its injected failures, then answers with the stored levels.
    BYTE levels[256] = {};
    for (ULONG i = 0; i < kFailCount; ++i) {
        EXPECT_EQ(kFailError,
                  IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels)).error);
    }
    simdev_test::IoResult r =
        IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    ASSERT_EQ(sizeof(kLevels), r.returned);
    EXPECT_EQ(0, memcmp(kLevels, levels, sizeof(kLevels)));
    DISPLAY_BRIGHTNESS now = {};
    ASSERT_EQ(ERROR_SUCCESS,
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS, nullptr, 0, &now, sizeof(now)).error);
    EXPECT_EQ(kBrightness, now.ucACBrightness);
    EXPECT_EQ(kBrightness, now.ucDCBrightness);
    EXPECT_EQ(DISPLAYPOLICY_DC, now.ucDisplayPolicy);  // on battery

    // The battery is enumerated again and reports the stored charge.
    SIMDEV_BATTERY_VALUES expected = Battery();
    EXPECT_EQ(0, memcmp(&expected, &state.Battery, sizeof(expected)));
    std::vector<std::wstring> paths = simdev_test::BatteryPaths();
    ASSERT_EQ(1u, paths.size());
    common::UniqueFile battery = simdev::OpenDevice(paths[0].c_str());
    ASSERT_TRUE(battery.Valid());
    ULONG wait = 0;
    ULONG tag = 0;
    ASSERT_EQ(ERROR_SUCCESS, Ioctl(battery.Get(), IOCTL_BATTERY_QUERY_TAG, &wait, sizeof(wait), &tag, sizeof(tag)).error);
    BATTERY_WAIT_STATUS query = {};
    query.BatteryTag = tag;
    BATTERY_STATUS status = {};
    ASSERT_EQ(ERROR_SUCCESS,
              Ioctl(battery.Get(), IOCTL_BATTERY_QUERY_STATUS, &query, sizeof(query), &status, sizeof(status)).error);
    EXPECT_EQ(expected.RemainingCapacity, status.Capacity);
    EXPECT_EQ(expected.Rate, status.Rate);
    EXPECT_EQ(static_cast<ULONG>(BATTERY_DISCHARGING), status.PowerState);
}

}  // namespace
