// The simulated devices of simdev.sys, called the way the product calls them, inside a simulated
// notebook (suites Led, Cpu, Lcd, Battery, Failures, Presence, Control, Simctl) or desktop
// (suite Desktop).
#include <windows.h>

#include <winioctl.h>

#include <gtest/gtest.h>
#include <ntddvdeo.h>
#include <poclass.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/sim_devices/device_io.h"

namespace {

using simdev_test::Ioctl;
using simdev_test::IoctlPath;
using simdev_test::IoResult;

constexpr DWORD kUnknownLedCode = 0x9C40E090;
constexpr DWORD kBufferBytes = 256;
constexpr DWORD kDeviceNameBytes = 1026;
constexpr DWORD kProbeError = ERROR_TIMEOUT;  // 1460: no device would answer it by itself

SIMDEV_STATE State() {
    SIMDEV_STATE state;
    EXPECT_EQ(ERROR_SUCCESS, simdev::GetState(state));
    return state;
}

// Every test starts from a machine with all devices present, no failures queued, zeroed counters
// and the default battery, and leaves it so.
class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { Restore(); }
    void TearDown() override { Restore(); }

    static void Restore() {
        for (ULONG device = 0; device < SIMDEV_DEVICE_COUNT; ++device) {
            ASSERT_EQ(ERROR_SUCCESS, simdev::InjectFailures(device, 0, 0));
            ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_PRESENT(device), 1));
        }
        ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_CPU_CAPABILITIES, CPU_CAPABILITY_POWER_SAVING));
        SIMDEV_LEVELS levels = {};
        for (ULONG i = 0; i <= 10; ++i) {
            levels.Levels[levels.Count++] = static_cast<UCHAR>(i * 10);
        }
        ASSERT_EQ(ERROR_SUCCESS, simdev::SetLevels(levels));
        ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(DefaultBattery()));
        ASSERT_EQ(ERROR_SUCCESS, simdev::ResetCounters());
    }

    static SIMDEV_BATTERY_VALUES DefaultBattery() {
        SIMDEV_BATTERY_VALUES b = {};
        b.DesignCapacity = 50000;
        b.FullChargedCapacity = 48000;
        b.RemainingCapacity = 48000;
        b.Rate = 0;
        b.Voltage = 11100;
        b.AcOnLine = 1;
        b.Charging = 0;
        return b;
    }
};

// ---- the ECO LED -------------------------------------------------------------------------------

ULONG ReadLed(HANDLE led, DWORD code) {
    ULONG zero = 0;
    ULONG value = 0xDEADBEEF;
    IoResult r = code == IOCTL_LED_READ_PERIODIC ? Ioctl(led, code, &zero, sizeof(zero), &value, sizeof(value))
                                                 : Ioctl(led, code, nullptr, 0, &value, sizeof(value));
    EXPECT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_EQ(sizeof(ULONG), r.returned);
    return value;
}

using Led = DeviceTest;

TEST_F(Led, EachCommandReadsBackItsValue) {
    struct Case {
        ULONG command;
        ULONG readBack;
    };
    const Case cases[] = {{0x84, 0x74}, {0x81, 0x71}, {0x82, 0x72}, {0x80, 0x00}, {0x84, 0x74}};
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid()) << GetLastError();
    for (const Case& c : cases) {
        ULONG word = (0xE7UL << 16) | c.command;
        ULONG result = 0;
        IoResult r = Ioctl(led.Get(), IOCTL_LED_SET, &word, sizeof(word), &result, sizeof(result));
        ASSERT_EQ(ERROR_SUCCESS, r.error) << std::hex << word;
        EXPECT_EQ(c.readBack, ReadLed(led.Get(), IOCTL_LED_READ)) << std::hex << word;
        EXPECT_EQ(c.readBack, ReadLed(led.Get(), IOCTL_LED_READ_PERIODIC)) << std::hex << word;
        EXPECT_EQ(word, State().LedLastCommand);
    }
    SIMDEV_STATE state = State();
    ASSERT_GE(state.LedHistoryCount, 5u);
    const ULONG* last = state.LedHistory + state.LedHistoryCount - 5;
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(cases[i].readBack, last[i]) << i;
    }
}

TEST_F(Led, RefusesMalformedCommandWordsAndKeepsItsValue) {
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid());
    ULONG word = (0xE7UL << 16) | 0x81;
    ULONG result = 0;
    ASSERT_EQ(ERROR_SUCCESS, Ioctl(led.Get(), IOCTL_LED_SET, &word, sizeof(word), &result, sizeof(result)).error);
    ULONG commandsBefore = State().LedCommandCount;
    const ULONG bad[] = {(0xE7UL << 16) | 0x83, (0xE6UL << 16) | 0x84, 0x84, (0xE7UL << 16) | 0x184,
                         0xFFE70084};
    for (ULONG w : bad) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
                  Ioctl(led.Get(), IOCTL_LED_SET, &w, sizeof(w), &result, sizeof(result)).error)
            << std::hex << w;
    }
    EXPECT_EQ(0x71u, ReadLed(led.Get(), IOCTL_LED_READ));
    EXPECT_EQ(commandsBefore, State().LedCommandCount);
}

TEST_F(Led, WrongCodeAndShortBuffersAreRefused) {
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid());
    ULONG value = 0;
    ULONG word = (0xE7UL << 16) | 0x84;
    USHORT small = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION),
              Ioctl(led.Get(), kUnknownLedCode, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              Ioctl(led.Get(), IOCTL_LED_READ, nullptr, 0, &small, sizeof(small)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              Ioctl(led.Get(), IOCTL_LED_READ_PERIODIC, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              Ioctl(led.Get(), IOCTL_LED_SET, &word, sizeof(USHORT), &value, sizeof(value)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              Ioctl(led.Get(), IOCTL_LED_SET, &word, sizeof(word), nullptr, 0).error);
    // A refused command changed nothing.
    EXPECT_EQ(0u, State().LedCommandCount);
}

TEST_F(Led, NotificationsAreCounted) {
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid());
    ULONG before = State().LedNotifyCount;
    ULONG out = 0xFFFFFFFF;
    IoResult r = Ioctl(led.Get(), IOCTL_LED_NOTIFY, nullptr, 0, &out, sizeof(out));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_EQ(sizeof(ULONG), r.returned);
    EXPECT_EQ(0u, out);
    EXPECT_EQ(before + 1, State().LedNotifyCount);
}

TEST_F(Led, HistoryKeepsTheNewestSixteen) {
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid());
    const ULONG commands[] = {0x81, 0x84, 0x82, 0x80};
    const ULONG values[] = {0x71, 0x74, 0x72, 0x00};
    constexpr int kSends = 20;
    for (int i = 0; i < kSends; ++i) {
        ULONG word = (0xE7UL << 16) | commands[i % 4];
        ULONG result = 0;
        ASSERT_EQ(ERROR_SUCCESS, Ioctl(led.Get(), IOCTL_LED_SET, &word, sizeof(word), &result, sizeof(result)).error);
    }
    SIMDEV_STATE state = State();
    ASSERT_EQ(static_cast<ULONG>(SIMDEV_LED_HISTORY), state.LedHistoryCount);
    for (int i = 0; i < SIMDEV_LED_HISTORY; ++i) {
        EXPECT_EQ(values[(kSends - SIMDEV_LED_HISTORY + i) % 4], state.LedHistory[i]) << i;
    }
}

// ---- the processor power-saving device ------------------------------------------------------------

using Cpu = DeviceTest;

TEST_F(Cpu, ReportsCapabilityAndKeepsTheStateItWasHanded) {
    ULONG caps = 0;
    IoResult r = IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_EQ(sizeof(ULONG), r.returned);
    EXPECT_EQ(CPU_CAPABILITY_POWER_SAVING, caps & CPU_CAPABILITY_POWER_SAVING);

    for (ULONG wanted : {1UL, 0UL, 7UL}) {
        ULONG out = 0;
        ASSERT_EQ(ERROR_SUCCESS,
                  IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_SET_STATE, &wanted, sizeof(wanted), &out, sizeof(out)).error);
        EXPECT_EQ(wanted, State().CpuState);
    }
    EXPECT_EQ(3u, State().CpuSetCount);
}

TEST_F(Cpu, WithoutTheCapabilityAStateIsRefused) {
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_CPU_CAPABILITIES, 0));
    ULONG caps = 0xFFFFFFFF;
    ASSERT_EQ(ERROR_SUCCESS, IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps)).error);
    EXPECT_EQ(0u, caps);
    ULONG wanted = 1;
    ULONG out = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED),
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_SET_STATE, &wanted, sizeof(wanted), &out, sizeof(out)).error);
    EXPECT_EQ(0u, State().CpuSetCount);
}

TEST_F(Cpu, WrongCodeAndShortBuffersAreRefused) {
    ULONG value = 0;
    USHORT small = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION),
              IoctlPath(SIMDEV_CPU_PATH, 0x9C40E110, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION),
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &small, sizeof(small)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_SET_STATE, &small, sizeof(small), &value, sizeof(value)).error);
    EXPECT_EQ(0u, State().CpuSetCount);
}

// ---- the panel ----------------------------------------------------------------------------------

using Lcd = DeviceTest;

TEST_F(Lcd, SupportedLevelsFollowTheMachine) {
    BYTE levels[kBufferBytes] = {};
    IoResult r = IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    ASSERT_EQ(11u, r.returned);
    for (DWORD i = 0; i < r.returned; ++i) {
        EXPECT_EQ(i * 10, levels[i]) << i;
    }

    SIMDEV_LEVELS custom = {};
    const UCHAR wanted[] = {5, 25, 60, 100};
    custom.Count = sizeof(wanted);
    memcpy(custom.Levels, wanted, sizeof(wanted));
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetLevels(custom));
    memset(levels, 0xEE, sizeof(levels));
    r = IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    ASSERT_EQ(sizeof(wanted), r.returned);
    EXPECT_EQ(0, memcmp(wanted, levels, sizeof(wanted)));

    // A buffer one byte short of the table is refused.
    r = IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(wanted) - 1);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), r.error);
}

DISPLAY_BRIGHTNESS QueryBrightness() {
    DISPLAY_BRIGHTNESS current = {0xFF, 0xFF, 0xFF};
    IoResult r = IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS, nullptr, 0, &current, sizeof(current));
    EXPECT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_EQ(3u, r.returned);
    return current;
}

IoResult SetBrightness(UCHAR policy, UCHAR ac, UCHAR dc) {
    DISPLAY_BRIGHTNESS record = {policy, ac, dc};
    return IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS, &record, sizeof(record), nullptr, 0);
}

TEST_F(Lcd, SetBrightnessIsReadBack) {
    ASSERT_EQ(ERROR_SUCCESS, SetBrightness(DISPLAYPOLICY_BOTH, 40, 40).error);
    DISPLAY_BRIGHTNESS now = QueryBrightness();
    EXPECT_EQ(40, now.ucACBrightness);
    EXPECT_EQ(40, now.ucDCBrightness);
    EXPECT_EQ(DISPLAYPOLICY_AC, now.ucDisplayPolicy);  // on mains

    ASSERT_EQ(ERROR_SUCCESS, SetBrightness(DISPLAYPOLICY_DC, 90, 70).error);
    now = QueryBrightness();
    EXPECT_EQ(40, now.ucACBrightness);
    EXPECT_EQ(70, now.ucDCBrightness);
    SIMDEV_STATE state = State();
    EXPECT_EQ(40u, state.BrightnessAC);
    EXPECT_EQ(70u, state.BrightnessDC);
    EXPECT_EQ(2u, state.BrightnessSetCount);
}

TEST_F(Lcd, InvalidRecordsAndBuffersAreRefused) {
    ASSERT_EQ(ERROR_SUCCESS, SetBrightness(DISPLAYPOLICY_BOTH, 50, 50).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), SetBrightness(DISPLAYPOLICY_BOTH, 101, 101).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), SetBrightness(0, 10, 10).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), SetBrightness(4, 10, 10).error);
    DISPLAY_BRIGHTNESS record = {DISPLAYPOLICY_BOTH, 10, 10};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS, &record, 2, nullptr, 0).error);
    BYTE two[2];
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS, nullptr, 0, two, sizeof(two)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION),
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_LED_READ, nullptr, 0, two, sizeof(two)).error);
    DISPLAY_BRIGHTNESS now = QueryBrightness();
    EXPECT_EQ(50, now.ucACBrightness);
    EXPECT_EQ(50, now.ucDCBrightness);
    EXPECT_EQ(1u, State().BrightnessSetCount);
}

// ---- the battery ---------------------------------------------------------------------------------

using Battery = DeviceTest;

ULONG QueryTag(HANDLE battery) {
    ULONG wait = 50;
    ULONG tag = 0;
    IoResult r = Ioctl(battery, IOCTL_BATTERY_QUERY_TAG, &wait, sizeof(wait), &tag, sizeof(tag));
    EXPECT_EQ(ERROR_SUCCESS, r.error);
    return tag;
}

IoResult QueryInformation(HANDLE battery, ULONG tag, BATTERY_QUERY_INFORMATION_LEVEL level, void* out, DWORD size) {
    BATTERY_QUERY_INFORMATION query = {};
    query.BatteryTag = tag;
    query.InformationLevel = level;
    query.AtRate = 0;
    return Ioctl(battery, IOCTL_BATTERY_QUERY_INFORMATION, &query, sizeof(query), out, size);
}

BATTERY_STATUS QueryStatus(HANDLE battery, ULONG tag) {
    BATTERY_WAIT_STATUS wait = {};
    wait.BatteryTag = tag;
    BATTERY_STATUS status = {};
    IoResult r = Ioctl(battery, IOCTL_BATTERY_QUERY_STATUS, &wait, sizeof(wait), &status, sizeof(status));
    EXPECT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_EQ(sizeof(BATTERY_STATUS), r.returned);
    return status;
}

common::UniqueFile OpenOnlyBattery() {
    std::vector<std::wstring> paths = simdev_test::BatteryPaths();
    EXPECT_EQ(1u, paths.size());
    if (paths.empty()) {
        return common::UniqueFile();
    }
    return simdev::OpenDevice(paths[0].c_str());
}

TEST_F(Battery, EnumeratedOnceAndAnswersTagInformationAndName) {
    common::UniqueFile battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid()) << GetLastError();
    ULONG tag = QueryTag(battery.Get());
    ASSERT_NE(0u, tag);

    BATTERY_INFORMATION info = {};
    IoResult r = QueryInformation(battery.Get(), tag, BatteryInformation, &info, sizeof(info));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_EQ(36u, r.returned);
    EXPECT_EQ(50000u, info.DesignedCapacity);
    EXPECT_EQ(48000u, info.FullChargedCapacity);
    EXPECT_TRUE(info.Capabilities & BATTERY_SYSTEM_BATTERY);
    EXPECT_EQ(0, memcmp("LION", info.Chemistry, 4));

    BYTE name[kDeviceNameBytes] = {};
    r = QueryInformation(battery.Get(), tag, BatteryDeviceName, name, sizeof(name));
    ASSERT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_STREQ(State().BatteryDeviceName, reinterpret_cast<const wchar_t*>(name));
    EXPECT_STREQ(L"SIMBATT0001", reinterpret_cast<const wchar_t*>(name));
    EXPECT_EQ((wcslen(L"SIMBATT0001") + 1) * sizeof(wchar_t), r.returned);

    wchar_t text[64] = {};
    ASSERT_EQ(ERROR_SUCCESS, QueryInformation(battery.Get(), tag, BatteryManufactureName, text, sizeof(text)).error);
    EXPECT_NE(L'\0', text[0]);
    ULONG temperature = 0;
    ASSERT_EQ(ERROR_SUCCESS, QueryInformation(battery.Get(), tag, BatteryTemperature, &temperature, sizeof(temperature)).error);
    EXPECT_GT(temperature, 2731u);  // above freezing, in tenths of a kelvin
}

TEST_F(Battery, StatusFollowsTheControlledCharge) {
    common::UniqueFile battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid());
    ULONG tag = QueryTag(battery.Get());

    SIMDEV_BATTERY_VALUES discharging = DefaultBattery();
    discharging.RemainingCapacity = 24000;
    discharging.Rate = -12000;
    discharging.AcOnLine = 0;
    discharging.Voltage = 10800;
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(discharging));
    BATTERY_STATUS status = QueryStatus(battery.Get(), tag);
    EXPECT_EQ(static_cast<ULONG>(BATTERY_DISCHARGING), status.PowerState);
    EXPECT_EQ(24000u, status.Capacity);
    EXPECT_EQ(-12000, status.Rate);
    EXPECT_EQ(10800u, status.Voltage);
    ULONG seconds = 0;
    ASSERT_EQ(ERROR_SUCCESS, QueryInformation(battery.Get(), tag, BatteryEstimatedTime, &seconds, sizeof(seconds)).error);
    EXPECT_EQ(7200u, seconds);  // 24000 mWh at 12000 mW

    SIMDEV_BATTERY_VALUES charging = DefaultBattery();
    charging.RemainingCapacity = 12000;
    charging.Rate = 20000;
    charging.Charging = 1;
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(charging));
    status = QueryStatus(battery.Get(), tag);
    EXPECT_EQ(static_cast<ULONG>(BATTERY_POWER_ON_LINE | BATTERY_CHARGING), status.PowerState);
    EXPECT_EQ(12000u, status.Capacity);
    EXPECT_EQ(20000, status.Rate);
    ASSERT_EQ(ERROR_SUCCESS, QueryInformation(battery.Get(), tag, BatteryEstimatedTime, &seconds, sizeof(seconds)).error);
    EXPECT_EQ(BATTERY_UNKNOWN_TIME, seconds);

    SIMDEV_BATTERY_VALUES low = discharging;
    low.RemainingCapacity = 1000;  // about 2 %
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(low));
    EXPECT_EQ(static_cast<ULONG>(BATTERY_DISCHARGING | BATTERY_CRITICAL), QueryStatus(battery.Get(), tag).PowerState);
}

TEST_F(Battery, StaleTagsShortBuffersAndWrongCodesAreRefused) {
    common::UniqueFile battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid());
    ULONG tag = QueryTag(battery.Get());
    BATTERY_INFORMATION info = {};
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              QueryInformation(battery.Get(), tag + 1, BatteryInformation, &info, sizeof(info)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              QueryInformation(battery.Get(), tag, BatteryInformation, &info, sizeof(info) - 1).error);
    wchar_t shortName[4] = {};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              QueryInformation(battery.Get(), tag, BatteryDeviceName, shortName, sizeof(shortName)).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION),
              QueryInformation(battery.Get(), tag, static_cast<BATTERY_QUERY_INFORMATION_LEVEL>(42), &info, sizeof(info)).error);
    BATTERY_WAIT_STATUS wait = {};
    wait.BatteryTag = tag;
    BATTERY_STATUS status = {};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              Ioctl(battery.Get(), IOCTL_BATTERY_QUERY_STATUS, &wait, sizeof(wait), &status, sizeof(status) - 4).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              Ioctl(battery.Get(), IOCTL_BATTERY_QUERY_STATUS, &wait, 8, &status, sizeof(status)).error);
    ULONG value = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION),
              Ioctl(battery.Get(), IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
}

TEST_F(Battery, ValuesAreWrittenThroughForPowerStatus) {
    SIMDEV_BATTERY_VALUES b = DefaultBattery();
    b.RemainingCapacity = 30000;
    b.Rate = -9000;
    b.AcOnLine = 0;
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(b));
    DWORD value = 0;
    ASSERT_TRUE(simdev_test::ReadParameter(L"RemainingCapacity", value));
    EXPECT_EQ(30000u, value);
    ASSERT_TRUE(simdev_test::ReadParameter(L"Rate", value));
    EXPECT_EQ(-9000, static_cast<LONG>(value));
    ASSERT_TRUE(simdev_test::ReadParameter(L"AcOnLine", value));
    EXPECT_EQ(0u, value);
    ASSERT_TRUE(simdev_test::ReadParameter(L"Charging", value));
    EXPECT_EQ(0u, value);
    ASSERT_TRUE(simdev_test::ReadParameter(L"FullChargedCapacity", value));
    EXPECT_EQ(48000u, value);
    ASSERT_TRUE(simdev_test::ReadParameter(L"DesignCapacity", value));
    EXPECT_EQ(50000u, value);
    ASSERT_TRUE(simdev_test::ReadParameter(L"BatteryPresent", value));
    EXPECT_EQ(1u, value);
}

// ---- injected failures and counters --------------------------------------------------------------

using Failures = DeviceTest;

TEST_F(Failures, TheNextNRequestsFailWithTheErrorThenSucceed) {
    ASSERT_EQ(ERROR_SUCCESS, simdev::InjectFailures(SIMDEV_LED, 2, kProbeError));
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid());
    ULONG value = 0;
    EXPECT_EQ(kProbeError, Ioctl(led.Get(), IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(kProbeError, Ioctl(led.Get(), IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
    EXPECT_EQ(ERROR_SUCCESS, Ioctl(led.Get(), IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
    SIMDEV_STATE state = State();
    EXPECT_EQ(3u, state.Requests[SIMDEV_LED]);
    EXPECT_EQ(2u, state.Failures[SIMDEV_LED]);
    EXPECT_EQ(0u, state.FailPending[SIMDEV_LED]);
    EXPECT_EQ(0u, state.Requests[SIMDEV_CPU]);  // the other devices are untouched
}

TEST_F(Failures, EachDeviceFailsWithItsOwnError) {
    struct Case {
        ULONG device;
        DWORD error;
    };
    const Case cases[] = {{SIMDEV_CPU, ERROR_GEN_FAILURE}, {SIMDEV_LCD, ERROR_NOT_READY},
                          {SIMDEV_BATTERY, ERROR_IO_DEVICE}};
    for (const Case& c : cases) {
        ASSERT_EQ(ERROR_SUCCESS, simdev::InjectFailures(c.device, 1, c.error));
    }
    ULONG caps = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_GEN_FAILURE),
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps)).error);
    EXPECT_EQ(ERROR_SUCCESS, IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps)).error);
    BYTE levels[kBufferBytes];
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY),
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels)).error);
    EXPECT_EQ(ERROR_SUCCESS,
              IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels)).error);
    common::UniqueFile battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid());
    ULONG wait = 0;
    ULONG tag = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_IO_DEVICE),
              Ioctl(battery.Get(), IOCTL_BATTERY_QUERY_TAG, &wait, sizeof(wait), &tag, sizeof(tag)).error);
    EXPECT_NE(0u, QueryTag(battery.Get()));
    SIMDEV_STATE state = State();
    for (const Case& c : cases) {
        EXPECT_EQ(2u, state.Requests[c.device]) << c.device;
        EXPECT_EQ(1u, state.Failures[c.device]) << c.device;
    }
}

TEST_F(Failures, CountersCountEveryRequestAndReset) {
    common::UniqueFile cpu = simdev::OpenDevice(SIMDEV_CPU_PATH);
    ASSERT_TRUE(cpu.Valid());
    ULONG caps = 0;
    constexpr int kRequests = 5;
    for (int i = 0; i < kRequests; ++i) {
        ASSERT_EQ(ERROR_SUCCESS, Ioctl(cpu.Get(), IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps)).error);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), Ioctl(cpu.Get(), 0x9C40E000, nullptr, 0, &caps, sizeof(caps)).error);
    SIMDEV_STATE state = State();
    EXPECT_EQ(static_cast<ULONG>(kRequests + 1), state.Requests[SIMDEV_CPU]);
    EXPECT_EQ(1u, state.Failures[SIMDEV_CPU]);
    DWORD stored = 0;
    ASSERT_TRUE(simdev_test::ReadParameter(L"CpuRequests", stored));
    EXPECT_EQ(static_cast<DWORD>(kRequests + 1), stored);
    ASSERT_EQ(ERROR_SUCCESS, simdev::ResetCounters());
    state = State();
    EXPECT_EQ(0u, state.Requests[SIMDEV_CPU]);
    EXPECT_EQ(0u, state.Failures[SIMDEV_CPU]);
}

// ---- devices plugged and unplugged ------------------------------------------------------------------

using Presence = DeviceTest;

TEST_F(Presence, AnAbsentDeviceCannotBeOpened) {
    const struct {
        ULONG device;
        const wchar_t* path;
    } devices[] = {{SIMDEV_LED, SIMDEV_LED_PATH}, {SIMDEV_CPU, SIMDEV_CPU_PATH}, {SIMDEV_LCD, SIMDEV_LCD_PATH}};
    for (const auto& d : devices) {
        common::UniqueFile held = simdev::OpenDevice(d.path);
        ASSERT_TRUE(held.Valid()) << d.device;
        ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_PRESENT(d.device), 0));
        common::UniqueFile gone = simdev::OpenDevice(d.path);
        EXPECT_FALSE(gone.Valid()) << d.device;
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError()) << d.device;
        // A handle opened before the device went away gets no answers either.
        ULONG value = 0;
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
                  Ioctl(held.Get(), IOCTL_LED_READ, nullptr, 0, &value, sizeof(value)).error);
        ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_PRESENT(d.device), 1));
        EXPECT_TRUE(simdev::OpenDevice(d.path).Valid()) << d.device;
    }
}

TEST_F(Presence, AnUnpluggedBatteryLeavesTheEnumerationAndComesBackWithANewTag) {
    common::UniqueFile battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid());
    ULONG oldTag = QueryTag(battery.Get());
    battery.Reset();
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_BATTERY_PRESENT, 0));
    EXPECT_TRUE(simdev_test::BatteryPaths().empty());
    DWORD present = 1;
    ASSERT_TRUE(simdev_test::ReadParameter(L"BatteryPresent", present));
    EXPECT_EQ(0u, present);

    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_BATTERY_PRESENT, 1));
    battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid());
    ULONG newTag = QueryTag(battery.Get());
    EXPECT_NE(0u, newTag);
    EXPECT_NE(oldTag, newTag);
    BATTERY_INFORMATION info = {};
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              QueryInformation(battery.Get(), oldTag, BatteryInformation, &info, sizeof(info)).error);
}

// ---- the control device refuses nonsense and keeps its state -----------------------------------------

using Control = DeviceTest;

TEST_F(Control, InvalidBatteryValuesAreRefusedWithoutChange) {
    SIMDEV_BATTERY_VALUES good = DefaultBattery();
    good.RemainingCapacity = 20000;
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetBattery(good));
    std::vector<SIMDEV_BATTERY_VALUES> bad(6, good);
    bad[0].Charging = 1, bad[0].AcOnLine = 0, bad[0].Rate = 0;  // charging off mains
    bad[1].RemainingCapacity = 48001;                            // more than full
    bad[2].FullChargedCapacity = 50001;                          // more than designed
    bad[3].AcOnLine = 0, bad[3].Rate = 5000;                     // gaining charge off mains
    bad[4].Charging = 1, bad[4].Rate = -5000;                    // losing charge while charging
    bad[5].DesignCapacity = 0;
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetBattery(bad[i])) << i;
    }
    SIMDEV_STATE state = State();
    EXPECT_EQ(0, memcmp(&good, &state.Battery, sizeof(good)));
}

TEST_F(Control, InvalidItemsLevelsAndFailuresAreRefused) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetValue(99, 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetValue(SIMDEV_ITEM_BRIGHTNESS, 101));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetValue(SIMDEV_ITEM_LED_VALUE, 0x100));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetValue(SIMDEV_ITEM_LED_PRESENT, 2));
    SIMDEV_LEVELS levels = {};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetLevels(levels));
    levels.Count = 2;
    levels.Levels[0] = 10;
    levels.Levels[1] = 101;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::SetLevels(levels));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::InjectFailures(SIMDEV_DEVICE_COUNT, 1, 31));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::InjectFailures(SIMDEV_LED, 1, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), simdev::InjectFailures(SIMDEV_LED, 1, 0x10000));
    SIMDEV_STATE state = State();
    EXPECT_EQ(11u, state.LevelCount);
    EXPECT_EQ(0u, state.FailPending[SIMDEV_LED]);
    EXPECT_EQ(1u, state.Present[SIMDEV_LED]);
    SIMDEV_STATE small;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              simdev::Control(IOCTL_SIMDEV_GET_STATE, nullptr, 0, &small, sizeof(small) - 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), simdev::Control(SIMDEV_CONTROL_CODE(0x9FF), nullptr, 0, nullptr, 0));
}

// ---- simctl drives the same devices -------------------------------------------------------------------

using Simctl = DeviceTest;

TEST_F(Simctl, LedStateIsWhatTheDeviceReadsBack) {
    std::string out;
    ASSERT_EQ(0, simdev_test::RunSimctl(L"led --state 2", out)) << out;
    EXPECT_NE(std::string::npos, out.find("led.state: 2")) << out;
    EXPECT_NE(std::string::npos, out.find("led.value: 0x74")) << out;
    common::UniqueFile led = simdev::OpenDevice(SIMDEV_LED_PATH);
    ASSERT_TRUE(led.Valid());
    EXPECT_EQ(0x74u, ReadLed(led.Get(), IOCTL_LED_READ));

    ULONG word = (0xE7UL << 16) | 0x82;
    ULONG result = 0;
    ASSERT_EQ(ERROR_SUCCESS, Ioctl(led.Get(), IOCTL_LED_SET, &word, sizeof(word), &result, sizeof(result)).error);
    ASSERT_EQ(0, simdev_test::RunSimctl(L"led", out)) << out;
    EXPECT_NE(std::string::npos, out.find("led.state: 3")) << out;
    EXPECT_NE(std::string::npos, out.find("led.last-command: 0x00E70082")) << out;
}

TEST_F(Simctl, BatteryChargeAndPowerSourceReachTheBattery) {
    std::string out;
    ASSERT_EQ(0, simdev_test::RunSimctl(L"battery --percent 25 --ac off", out)) << out;
    common::UniqueFile battery = OpenOnlyBattery();
    ASSERT_TRUE(battery.Valid());
    ULONG tag = QueryTag(battery.Get());
    BATTERY_STATUS status = QueryStatus(battery.Get(), tag);
    EXPECT_EQ(12000u, status.Capacity);  // 25 % of 48000 mWh
    EXPECT_EQ(static_cast<ULONG>(BATTERY_DISCHARGING), status.PowerState);
    EXPECT_LT(status.Rate, 0);

    ASSERT_EQ(0, simdev_test::RunSimctl(L"battery --percent 60 --ac on", out)) << out;
    status = QueryStatus(battery.Get(), tag);
    EXPECT_EQ(28800u, status.Capacity);
    EXPECT_EQ(static_cast<ULONG>(BATTERY_POWER_ON_LINE | BATTERY_CHARGING), status.PowerState);
    EXPECT_GT(status.Rate, 0);

    ASSERT_EQ(0, simdev_test::RunSimctl(L"battery --percent 60 --ac on --charging off", out)) << out;
    EXPECT_EQ(static_cast<ULONG>(BATTERY_POWER_ON_LINE), QueryStatus(battery.Get(), tag).PowerState);
    EXPECT_NE(std::string::npos, out.find("battery.percent: 60")) << out;
    DWORD stored = 0;
    ASSERT_TRUE(simdev_test::ReadParameter(L"RemainingCapacity", stored));
    EXPECT_EQ(28800u, stored);
}

TEST_F(Simctl, BrightnessFailuresAndCounters) {
    std::string out;
    ASSERT_EQ(0, simdev_test::RunSimctl(L"brightness --set 30", out)) << out;
    DISPLAY_BRIGHTNESS now = QueryBrightness();
    EXPECT_EQ(30, now.ucACBrightness);
    EXPECT_EQ(30, now.ucDCBrightness);

    ASSERT_EQ(0, simdev_test::RunSimctl(L"fail cpu 1 5", out)) << out;
    ULONG caps = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps)).error);
    EXPECT_EQ(ERROR_SUCCESS, IoctlPath(SIMDEV_CPU_PATH, IOCTL_CPU_QUERY_CAPABILITIES, nullptr, 0, &caps, sizeof(caps)).error);

    ASSERT_EQ(0, simdev_test::RunSimctl(L"counters", out)) << out;
    EXPECT_NE(std::string::npos, out.find("cpu.requests: 2")) << out;
    EXPECT_NE(std::string::npos, out.find("cpu.failures: 1")) << out;
    EXPECT_NE(std::string::npos, out.find("lcd.requests: 1")) << out;

    ASSERT_EQ(0, simdev_test::RunSimctl(L"device lcd absent", out)) << out;
    EXPECT_FALSE(simdev::OpenDevice(SIMDEV_LCD_PATH).Valid());
    ASSERT_EQ(0, simdev_test::RunSimctl(L"status", out)) << out;
    EXPECT_NE(std::string::npos, out.find("lcd.present: 0")) << out;
    EXPECT_NE(std::string::npos, out.find("battery.device-name: SIMBATT0001")) << out;
}

TEST_F(Simctl, BadArgumentsChangeNothing) {
    SIMDEV_STATE before = State();
    const wchar_t* bad[] = {L"battery --percent 150",   L"battery --ac maybe",  L"battery --ac off --charging on",
                            L"fail toaster 1",          L"fail led -1",         L"fail led 1 0",
                            L"brightness --set 101",    L"brightness --levels 1,,2", L"led --state 4",
                            L"led --raw 0x100",         L"device led gone",     L"counters --now"};
    for (const wchar_t* args : bad) {
        std::string out;
        EXPECT_EQ(2, simdev_test::RunSimctl(args, out)) << args;
        EXPECT_NE(std::string::npos, out.find("usage")) << out;
    }
    SIMDEV_STATE after = State();
    EXPECT_EQ(0, memcmp(&before.Battery, &after.Battery, sizeof(before.Battery)));
    EXPECT_EQ(before.LedValue, after.LedValue);
    EXPECT_EQ(before.BrightnessAC, after.BrightnessAC);
    EXPECT_EQ(0, memcmp(before.FailPending, after.FailPending, sizeof(before.FailPending)));
    EXPECT_EQ(0, memcmp(before.Present, after.Present, sizeof(before.Present)));
}

// ---- a desktop: no battery and no panel --------------------------------------------------------------

TEST(Desktop, AbsentDevicesAreNotThere) {
    EXPECT_TRUE(simdev_test::BatteryPaths().empty());
    common::UniqueFile lcd = simdev::OpenDevice(SIMDEV_LCD_PATH);
    EXPECT_FALSE(lcd.Valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(simdev::OpenDevice(SIMDEV_LED_PATH).Valid());
    EXPECT_TRUE(simdev::OpenDevice(SIMDEV_CPU_PATH).Valid());
    SIMDEV_STATE state = State();
    EXPECT_EQ(0u, state.Present[SIMDEV_BATTERY]);
    EXPECT_EQ(0u, state.Present[SIMDEV_LCD]);
    EXPECT_EQ(1u, state.Present[SIMDEV_LED]);
    EXPECT_EQ(1u, state.Present[SIMDEV_CPU]);
    DWORD present = 1;
    ASSERT_TRUE(simdev_test::ReadParameter(L"BatteryPresent", present));
    EXPECT_EQ(0u, present);
    ASSERT_TRUE(simdev_test::ReadParameter(L"AcOnLine", present));
    EXPECT_EQ(1u, present);
}

TEST(Desktop, APanelPluggedInLaterAnswers) {
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_LCD_PRESENT, 1));
    BYTE levels[kBufferBytes] = {};
    IoResult r = IoctlPath(SIMDEV_LCD_PATH, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels, sizeof(levels));
    EXPECT_EQ(ERROR_SUCCESS, r.error);
    EXPECT_GT(r.returned, 0u);
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_LCD_PRESENT, 0));
    EXPECT_FALSE(simdev::OpenDevice(SIMDEV_LCD_PATH).Valid());
}

TEST(Desktop, ABatteryPluggedInLaterIsEnumeratedAndAnswers) {
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_BATTERY_PRESENT, 1));
    std::vector<std::wstring> paths = simdev_test::BatteryPaths();
    ASSERT_EQ(1u, paths.size());
    {
        common::UniqueFile battery = simdev::OpenDevice(paths[0].c_str());
        ASSERT_TRUE(battery.Valid()) << GetLastError();
        EXPECT_NE(0u, QueryTag(battery.Get()));
    }
    DWORD present = 0;
    ASSERT_TRUE(simdev_test::ReadParameter(L"BatteryPresent", present));
    EXPECT_EQ(1u, present);
    ASSERT_EQ(ERROR_SUCCESS, simdev::SetValue(SIMDEV_ITEM_BATTERY_PRESENT, 0));
    EXPECT_TRUE(simdev_test::BatteryPaths().empty());
}

}  // namespace
