#include <gtest/gtest.h>
#include <windows.h>
#include <powrprof.h>

#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <string>
#include <thread>

#include "resources/resource.h"
#include "app/app_globals.h"
#include "app/plan_sheet.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "tests/battery/test_support.h"
#include "tests/sim_devices/device_io.h"

namespace {

constexpr wchar_t kModelKey[] = L"Software\\Orvel\\Solvane\\ModPar\\SetItemData\\SIMBATT0001";
constexpr wchar_t kItemsKey[] = L"Software\\Orvel\\Solvane\\ModPar";

// The plan page's power status on the simulated PC: Wine's own answers from the host, so the
// tests derive it from the simulated battery (the same source the product's other reads use).
BOOL SimulatedPowerStatus(SYSTEM_POWER_STATUS* status) {
    SYSTEM_BATTERY_STATE state{};
    if (CallNtPowerInformation(SystemBatteryState, nullptr, 0, &state, sizeof(state)) != 0) {
        return FALSE;
    }
    *status = SYSTEM_POWER_STATUS{};
    status->ACLineStatus = state.AcOnLine ? 1 : 0;
    return TRUE;
}
BOOL FailingPowerStatus(SYSTEM_POWER_STATUS*) { return FALSE; }

void Battery(const std::wstring& arguments) {
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"battery --full 10000 --design 10000 " + arguments, output), 0) << output;
}

// The model a = 0.001, b = 10, c = 100, I = 2000, turn point 80 %.
void WriteModel() {
    common::UniqueRegKey key;
    ASSERT_EQ(common::CreateRegKey(HKEY_LOCAL_MACHINE, kModelKey, KEY_SET_VALUE, key), ERROR_SUCCESS);
    common::WriteRegDword(key.Get(), L"ChargeChangePoint", 80);
    common::WriteRegDword(key.Get(), L"FullPercent", 100);
    common::WriteRegString(key.Get(), L"UaChargeParameter", L"0.001");
    common::WriteRegString(key.Get(), L"UbChargeParameter", L"10");
    common::WriteRegString(key.Get(), L"UcChargeParameter", L"100");
    common::WriteRegString(key.Get(), L"IChargeParameter", L"2000");
}

class BatterySimTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        plans::g_Settings.blob.dwFlagWord |= plans::FLAG_BATTERY;
        battery::g_BatteryHooks = battery::BatteryHooks{};
        battery::g_BatteryHooks.getSystemPowerStatus = SimulatedPowerStatus;
        ResetEvent(battery::BatteryBlinkEvent());
    }
    void TearDown() override {
        common::DeleteRegTree(HKEY_LOCAL_MACHINE, kItemsKey);
        battery::g_BatteryHooks = battery::BatteryHooks{};
        DeleteFileW(L"error.log");
    }
    static bool Blinked() {
        const bool set = WaitForSingleObject(battery::BatteryBlinkEvent(), 0) == WAIT_OBJECT_0;
        ResetEvent(battery::BatteryBlinkEvent());
        return set;
    }
    static GUID ActivePlan() {
        GUID active{};
        EXPECT_EQ(plans::ReadActiveScheme(&active), static_cast<DWORD>(ERROR_SUCCESS));
        return active;
    }
};

TEST_F(BatterySimTest, NotebookModelIsMatchedToTheBatteryDevice) {
    WriteModel();
    EXPECT_TRUE(battery::HasBatteryDevice());
    EXPECT_EQ(battery::LoadBatteryModel(), 1u);
    const auto records = battery::GetBatteryRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].bChecked, 1u);
    EXPECT_EQ(records[0].bExist, 1u);
    EXPECT_EQ(records[0].nSlot, 0u);
    EXPECT_NE(records[0].szPath[0], L'\0');
}

TEST_F(BatterySimTest, NotebookChargeTimeFollowsTheDeviceValues) {
    WriteModel();
    ASSERT_EQ(battery::LoadBatteryModel(), 1u);
    struct {
        const wchar_t* arguments;
        int percent;
        int minutes;
        const wchar_t* text;
    } cases[] = {
        {L"--ac on --charging on --percent 40 --rate 1500", 40, 162, L"02:42"},   // straight part and curve
        {L"--ac on --charging on --percent 40 --rate 0", 40, 122, L"02:02"},      // no rate: the model's
        {L"--ac on --charging on --percent 85 --rate 1500", 85, 2, L"00:02"},     // curve alone
    };
    for (const auto& c : cases) {
        Battery(c.arguments);
        EXPECT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS));
        const battery::BatterySnapshot s = battery::GetBatterySnapshot();
        EXPECT_EQ(s.nChargePercent, c.percent);
        EXPECT_EQ(s.nRemainMin, c.minutes);
        EXPECT_EQ(s.dwChargingMask, 0x1u);
        EXPECT_EQ(s.dwPartialMask, 0x1u);
        EXPECT_EQ(s.nLowState, 5);
        wchar_t text[8] = L"";
        EXPECT_EQ(battery::CalcChargeOverTime(text, ARRAYSIZE(text)), c.minutes);
        EXPECT_STREQ(text, c.text);
    }
    // On mains and full: nothing to charge, masks cleared.
    Battery(L"--ac on --percent 100");
    EXPECT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS));
    const battery::BatterySnapshot full = battery::GetBatterySnapshot();
    EXPECT_EQ(full.nRemainMin, 0);
    EXPECT_EQ(full.dwChargingMask, 0u);
    EXPECT_EQ(full.dwPartialMask, 0u);
}

TEST_F(BatterySimTest, NotebookWithoutModelTakesTheChargingMaskFromTheDevice) {
    ASSERT_EQ(battery::LoadBatteryModel(), 0u);
    Battery(L"--ac on --charging on --percent 40 --rate 1500");
    EXPECT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(battery::GetBatterySnapshot().dwChargingMask, 0x1u);
    EXPECT_EQ(battery::GetBatterySnapshot().nRemainMin, 0);
}

TEST_F(BatterySimTest, NotebookBatteryThatStopsAnsweringFailsTheRefresh) {
    WriteModel();
    ASSERT_EQ(battery::LoadBatteryModel(), 1u);
    Battery(L"--ac on --charging on --percent 40 --rate 1500");
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"fail battery 1 31", output), 0) << output;
    EXPECT_EQ(battery::CheckBattery(), 5u);
    EXPECT_NE(battery_test::ErrorLog().find(L"fail : BatteryQueryTag(0x1f)"), std::wstring::npos)
        << battery_test::ErrorLog();
    EXPECT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(BatterySimTest, NotebookLowBatteryCrossingsFollowThePlanLevels) {
    // The simulated plans keep 10 % (low) and 5 % (critical) on battery.
    struct {
        int percent;
        int state;
        bool blink;
    } steps[] = {{50, 5, false}, {8, 1, true}, {4, 0, true}, {7, 1, false},
                 {30, 5, false}, {3, 0, true}, {60, 5, false}};
    for (const auto& step : steps) {
        Battery(L"--ac off --percent " + std::to_wstring(step.percent));
        EXPECT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS)) << step.percent;
        const battery::BatterySnapshot s = battery::GetBatterySnapshot();
        EXPECT_EQ(s.nChargePercent, step.percent);
        EXPECT_EQ(s.nLowState, step.state) << step.percent;
        EXPECT_EQ(Blinked(), step.blink) << step.percent;
        // 10000 mWh × percent at 10000 mW.
        EXPECT_EQ(s.nRemainMin, step.percent * 10000 / 100 * 60 / 10000) << step.percent;
    }
    // Mains puts the state above the levels at once.
    Battery(L"--ac on --percent 3");
    EXPECT_EQ(battery::CheckBattery(), 0u);
    EXPECT_EQ(battery::GetBatterySnapshot().nLowState, 5);
}

TEST_F(BatterySimTest, NotebookPlanPageTimes) {
    plans::activepsi.guid = ActivePlan();
    wchar_t text[64] = L"";
    Battery(L"--ac on --percent 50");
    battery::FormatPlanBatteryTime(plans::activepsi.guid, true, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"AC接続中");
    // 5000 mWh at 5000 mW: one hour.
    Battery(L"--ac off --percent 50 --rate -5000");
    battery::FormatPlanBatteryTime(plans::activepsi.guid, true, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"01:00");
    battery::g_BatteryHooks.getSystemPowerStatus = FailingPowerStatus;
    battery::FormatPlanBatteryTime(plans::activepsi.guid, true, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"見積り中");
}

TEST_F(BatterySimTest, NotebookPlanPageShowsTheBatteryTimeOfTheSelectedPlan) {
    g_hInstance = GetModuleHandleW(nullptr);
    plans::RefreshPlanList();
    plans::RefreshCurrentPlan(ActivePlan());
    Battery(L"--ac on --percent 50");
    wchar_t caption[128] = L"";
    LoadStringW(g_hInstance, IDS_PLAN_SHEET_CAPTION, caption, 128);
    std::wstring onMains;
    std::wstring onBattery;
    bool visible = false;
    std::thread driver([&] {
        HWND sheet = nullptr;
        for (int i = 0; i < 100 && sheet == nullptr; ++i) {
            Sleep(100);
            sheet = FindWindowW(L"#32770", caption);
        }
        if (sheet == nullptr) {
            return;
        }
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        wchar_t text[64] = L"";
        GetDlgItemTextW(page, IDC_BATTERY_TIME, text, 64);
        onMains = text;
        visible = IsWindowVisible(GetDlgItem(page, IDC_BATTERY_TIME)) != FALSE;
        // 5000 mWh at 5000 mW; choosing the active plan again shows the hour left.
        std::string output;
        simdev_test::RunSimctl(L"battery --full 10000 --design 10000 --ac off --percent 50 --rate -5000", output);
        HWND combo = GetDlgItem(page, IDC_PLAN_COMBO);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_PLAN_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        GetDlgItemTextW(page, IDC_BATTERY_TIME, text, 64);
        onBattery = text;
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    app::OpenPlanSheet(nullptr);
    driver.join();
    EXPECT_TRUE(visible);
    EXPECT_EQ(onMains, L"AC接続中");
    EXPECT_EQ(onBattery, L"01:00");
}

TEST_F(BatterySimTest, NotebookEditorTextsNowAndAfterApplying) {
    struct {
        const wchar_t* arguments;
        bool samePlan;
        int percent;
        const wchar_t* percentText;
        const wchar_t* status;
        DWORD predicted;
    } cases[] = {
        {L"--ac off --percent 50 --rate -5000", true, 100, L"50%", L"残り時間 ： 01:00", 0},
        {L"--ac off --percent 50 --rate -5000", true, 121, L"50%", L"残り時間 ： 01:00 → (適用後)01:12", 4356},
        {L"--ac off --percent 50 --rate -5000", false, 100, L"50%", L"残り時間 ： 01:00 → (適用後)01:00", 3600},
        {L"--ac on --charging on --percent 40", true, 100, L"40%", L"充電中", 0},
        {L"--ac on --percent 100", true, 100, L"100%", L"", 0},
    };
    for (const auto& c : cases) {
        Battery(c.arguments);
        const battery::BatteryTexts texts = battery::ComposeBatteryInfo(c.samePlan, c.percent, true);
        EXPECT_STREQ(texts.szPercent, c.percentText);
        EXPECT_STREQ(texts.szStatus, c.status);
        EXPECT_EQ(texts.dwPredicted, c.predicted);
    }
}

TEST_F(BatterySimTest, NotebookPollingThreadRecordsARunOfFailedChecksOnce) {
    WriteModel();
    ASSERT_EQ(battery::LoadBatteryModel(), 1u);
    Battery(L"--ac on --charging on --percent 40 --rate 1500");
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"fail battery 100000 31", output), 0) << output;
    ResetEvent(battery::BatteryUpdateEvent());
    std::atomic<bool> run{true};
    const DWORD passesBefore = battery::BatteryThreadPasses();
    ASSERT_EQ(battery::StartBatteryThread(&run, 20), static_cast<DWORD>(ERROR_SUCCESS));
    // Twenty-five failed checks: two runs of ten, recorded once for the thread's life.
    for (int i = 0; i < 2000 && battery::BatteryThreadPasses() - passesBefore < 25; ++i) {
        Sleep(10);
    }
    EXPECT_GE(battery::BatteryThreadPasses() - passesBefore, 25u);
    EXPECT_EQ(WaitForSingleObject(battery::BatteryUpdateEvent(), 0), WAIT_OBJECT_0);
    run = false;
    battery::JoinBatteryThread();
    EXPECT_FALSE(battery::BatteryThreadRunning());
    ASSERT_EQ(simdev_test::RunSimctl(L"fail battery 0", output), 0) << output;
    const std::wstring log = battery_test::ErrorLog();
    EXPECT_EQ(battery_test::Count(log, L"fail : Battery Status Check(0x5)"), 1u);
}

TEST_F(BatterySimTest, NotebookSettingsLoaderSetsTheBatteryFlag) {
    plans::g_SettingsHooks.loadBatterySettings = battery::LoadBatterySettings;
    plans::g_SettingsHooks.batteryPresent = battery::HasBatteryDevice;
    plans::g_Settings.blob.dwFlagWord = 0;
    plans::LoadSettings();
    EXPECT_NE(plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY, 0u);
    plans::g_SettingsHooks = plans::SettingsHooks{};
}

TEST_F(BatterySimTest, DesktopHasNoBatteryAndShowsNoBatteryTexts) {
    EXPECT_FALSE(battery::HasBatteryDevice());
    plans::g_SettingsHooks.loadBatterySettings = battery::LoadBatterySettings;
    plans::g_SettingsHooks.batteryPresent = battery::HasBatteryDevice;
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_BATTERY;
    plans::LoadSettings();
    EXPECT_EQ(plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY, 0u);
    plans::g_SettingsHooks = plans::SettingsHooks{};
    EXPECT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(battery::GetBatterySnapshot().nChargePercent, -1);
    const battery::BatteryTexts texts = battery::ComposeBatteryInfo(true, 100, true);
    EXPECT_STREQ(texts.szPercent, L"");
    EXPECT_STREQ(texts.szStatus, L"バッテリなし");
    // Without the battery flag the what-if estimate is not computed at all.
    EXPECT_EQ(battery::GetBatteryInfoById(nullptr, ActivePlan(), true), 0u);
}

}  // namespace
