// The automatic plan change in the running program on the simulated notebook: start-up loads
// the record, sets hASEvent and starts aucThread, which switches on a low battery.
#include <gtest/gtest.h>
#include <windows.h>
#include <powrprof.h>

#include <cstring>
#include <string>

#include "battery/auto_change.h"
#include "common/handles.h"
#include "common/registry.h"
#include "plans/guid_text.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "solvane_process.h"
#include "tests/solvane_app/test_support.h"
#include "tests/sim_devices/device_io.h"

namespace {

constexpr DWORD kSwitchWaitMs = 60000;   // the first turn may come before the first battery check
constexpr DWORD kQueryDisplayBrightness = 0x230498;  // IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS

void StoreRecord(DWORD checked, const GUID& target) {
    battery::AutoRecord r{};
    r.bChecked = checked;
    r.RemaindPercent = 30;
    r.guidTarget = target;
    r.guidPrevious = GUID_NULL;
    common::UniqueRegKey key;
    ASSERT_EQ(common::CreateRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_SET_VALUE, key), ERROR_SUCCESS);
    ASSERT_EQ(common::WriteRegBinary(key.Get(), L"Auto", &r, sizeof(r)), ERROR_SUCCESS);
}

battery::AutoRecord ReadRecord() {
    battery::AutoRecord r{};
    common::UniqueRegKey key;
    DWORD cb = 0;
    if (common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_QUERY_VALUE, key) == ERROR_SUCCESS) {
        common::ReadRegBinary(key.Get(), L"Auto", &r, sizeof(r), &cb);
    }
    return r;
}

GUID ActivePlan() {
    GUID active{};
    EXPECT_EQ(plans::ReadActiveScheme(&active), static_cast<DWORD>(ERROR_SUCCESS));
    return active;
}

TEST(AutoChangeProgramTest, NotebookRunningProgramSwitchesOnLowBatteryAndRecordsThePlanLeft) {
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"battery --full 10000 --design 10000 --ac off --percent 12", output), 0);
    ASSERT_EQ(PowerSetActiveScheme(nullptr, &plans::kPlanBalanced), static_cast<DWORD>(ERROR_SUCCESS));
    StoreRecord(1, plans::kPlanPowerSaver);
    testsupport::SolvaneProcess program;
    HWND main = program.StartHere();
    ASSERT_NE(main, nullptr);
    GUID active = ActivePlan();
    for (DWORD waited = 0; waited < kSwitchWaitMs && !IsEqualGUID(active, plans::kPlanPowerSaver); waited += 200) {
        Sleep(200);
        active = ActivePlan();
    }
    EXPECT_TRUE(IsEqualGUID(active, plans::kPlanPowerSaver));
    EXPECT_TRUE(IsEqualGUID(ReadRecord().guidPrevious, plans::kPlanBalanced));
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(program.WaitForExit(testsupport::kProcessTimeoutMs, &exitCode));
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
        common::DeleteRegValue(key.Get(), L"Auto");
    }
}

// The panel's brightness on mains, percent (0xFF when the panel cannot be read).
DWORD PanelBrightness() {
    common::UniqueFile lcd(CreateFileW(L"\\\\.\\LCD", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    BYTE brightness[3] = {};  // policy, mains, battery
    DWORD returned = 0;
    if (!lcd || !DeviceIoControl(lcd.Get(), kQueryDisplayBrightness, nullptr, 0, brightness, sizeof(brightness),
                                 &returned, nullptr)) {
        return 0xFF;
    }
    return brightness[1];
}

// The automatic change sets the panel to its target's brightness itself: the step that follows
// Windows' announcement of the new plan is held off here by a long "DelayBrightness".
TEST(AutoChangeProgramTest, NotebookAutomaticChangeSetsThePanelToTheTargetsBrightness) {
    constexpr DWORD kTargetPercent = 35;
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"battery --full 10000 --design 10000 --ac off --percent 12", output), 0);
    ASSERT_EQ(PowerSetActiveScheme(nullptr, &plans::kPlanBalanced), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(plans::WritePowerSetting(plans::kPlanPowerSaver, plans::PowerSetting::Brightness, plans::PowerSource::AC,
                                       kTargetPercent),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(PanelBrightness(), kTargetPercent) << "the panel starts elsewhere";
    testsupport::ScopedRegValue delay(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"DelayBrightness");
    ASSERT_EQ(delay.SetDword(600000), ERROR_SUCCESS);
    StoreRecord(1, plans::kPlanPowerSaver);
    testsupport::SolvaneProcess program;
    HWND main = program.StartHere();
    ASSERT_NE(main, nullptr);
    DWORD panel = PanelBrightness();
    for (DWORD waited = 0; waited < kSwitchWaitMs && panel != kTargetPercent; waited += 200) {
        Sleep(200);
        panel = PanelBrightness();
    }
    EXPECT_EQ(panel, kTargetPercent);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanPowerSaver));
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(program.WaitForExit(testsupport::kProcessTimeoutMs, &exitCode));
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
        common::DeleteRegValue(key.Get(), L"Auto");
    }
}

}  // namespace
