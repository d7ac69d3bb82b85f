#include <gtest/gtest.h>
#include <windows.h>
#include <powrprof.h>

#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "app/app_globals.h"
#include "app/plan_sheet.h"
#include "app/startup.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "display/display.h"
#include "display/display_seams.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "tests/battery/test_support.h"
#include "tests/solvane_app/solvane_process.h"
#include "tests/solvane_app/test_support.h"
#include "tests/solvane_app/trace_file.h"
#include "tests/sim_devices/device_io.h"
#include "tests/support/dialog_items.h"

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
        HWND sheet = testsupport::WaitDialog(caption);
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

// The gauge animation's wake-up by the polling thread: in the standard layout only.
TEST_F(BatterySimTest, NotebookPollingThreadWakesTheGaugeOnlyInTheStandardLayout) {
    Battery(L"--ac off --percent 60");
    const DWORD flags = plans::g_Settings.blob.dwFlagWord;
    struct {
        DWORD layout;
        bool woken;
    } cases[] = {
        {plans::FLAG_LAYOUT_ALT1, false},
        {plans::FLAG_LAYOUT_ALT2, false},
        {0, true},
    };
    for (const auto& c : cases) {
        plans::g_Settings.blob.dwFlagWord = (flags & ~(plans::FLAG_LAYOUT_ALT1 | plans::FLAG_LAYOUT_ALT2)) | c.layout;
        ResetEvent(battery::BatteryUpdateEvent());
        std::atomic<bool> run{true};
        const DWORD passesBefore = battery::BatteryThreadPasses();
        // 20 ms: one slice, which is the middle one; every pass wakes the gauge when it may.
        ASSERT_EQ(battery::StartBatteryThread(&run, 20), static_cast<DWORD>(ERROR_SUCCESS));
        for (int i = 0; i < 2000 && battery::BatteryThreadPasses() - passesBefore < 3; ++i) {
            Sleep(10);
        }
        run = false;
        battery::JoinBatteryThread();
        EXPECT_GE(battery::BatteryThreadPasses() - passesBefore, 3u) << c.layout;
        EXPECT_EQ(WaitForSingleObject(battery::BatteryUpdateEvent(), 0) == WAIT_OBJECT_0, c.woken) << c.layout;
    }
    plans::g_Settings.blob.dwFlagWord = flags;
}

// The what-if estimate in the program's own wiring: the loader reads the rate tables with the
// panel's levels, and the estimate compares the panel's present level with the plan's.
class EstimateWiringTest : public BatterySimTest {
protected:
    void SetUp() override {
        BatterySimTest::SetUp();
        g_hInstance = GetModuleHandleW(nullptr);
        display::g_pfnGetSystemPowerStatus = OnBattery;
        std::string output;
        ASSERT_EQ(simdev_test::RunSimctl(L"cmos-mode manual", output), 0) << output;
        // Same processor rates for every mode: only the panel makes a difference.
        const WORD cpu[4] = {10000, 10000, 10000, 10000};
        ASSERT_EQ(cpuRate_.SetRaw(REG_BINARY, cpu, sizeof(cpu)), ERROR_SUCCESS);
        for (const GUID& plan : {plans::kPlanBalanced, plans::kPlanPowerSaver}) {
            DWORD value = 0;
            ASSERT_EQ(plans::ReadPowerSetting(plan, plans::PowerSetting::Brightness, plans::PowerSource::DC, &value),
                      static_cast<DWORD>(ERROR_SUCCESS));
            savedDc_.push_back(value);
            wchar_t name[plans::kBracedGuidBufferChars];
            plans::FormatKeyGuid(plan, name);
            alsbc_.push_back(std::make_unique<testsupport::ScopedRegValue>(
                HKEY_LOCAL_MACHINE, (std::wstring(plans::kPowerSettingsKey) + L"\\" + name).c_str(), L"ALSBC"));
            const plans::AmbientLightRange off = {0, 10, 0, 10, 0};
            ASSERT_EQ(alsbc_.back()->SetRaw(REG_BINARY, &off, sizeof(off)), ERROR_SUCCESS);
        }
        ASSERT_EQ(PowerSetActiveScheme(nullptr, &plans::kPlanBalanced), static_cast<DWORD>(ERROR_SUCCESS));
    }
    void TearDown() override {
        const GUID guids[] = {plans::kPlanBalanced, plans::kPlanPowerSaver};
        for (size_t i = 0; i < savedDc_.size(); ++i) {
            plans::WritePowerSetting(guids[i], plans::PowerSetting::Brightness, plans::PowerSource::DC, savedDc_[i]);
        }
        alsbc_.clear();
        plans::g_SettingsHooks = plans::SettingsHooks{};
        display::g_pfnGetSystemPowerStatus = GetSystemPowerStatus;
        BatterySimTest::TearDown();
    }
    // Start-up's order: the battery hooks, then the loader with the battery and display work.
    static void LoadSettingsAsStartupDoes() {
        InstallBatteryHooks();
        display::InstallDisplayHooks();
        plans::g_SettingsHooks.loadBatterySettings = battery::LoadBatterySettings;
        plans::g_SettingsHooks.batteryPresent = battery::HasBatteryDevice;
        plans::LoadSettings();
        plans::RefreshPlanList();
        plans::RefreshCurrentPlan(ActivePlan());
    }
    static BOOL WINAPI OnBattery(LPSYSTEM_POWER_STATUS status) {
        *status = SYSTEM_POWER_STATUS{};
        status->ACLineStatus = 0;
        return TRUE;
    }
    testsupport::ScopedRegValue cpuRate_{HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"CPURate"};
    testsupport::ScopedRegValue lcdCount_{HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"Num_LCD_Rate"};
    testsupport::ScopedRegValue lcdRates_{HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"LCDRate"};
    testsupport::ScopedRegValue lcdMinimum_{HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"LCDRate_Min"};
    std::vector<DWORD> savedDc_;
    std::vector<std::unique_ptr<testsupport::ScopedRegValue>> alsbc_;
};

// The panel's eleven levels (0, 10, ..., 100 %) give an eleven-entry table from "LCDRate_Min".
TEST_F(EstimateWiringTest, NotebookRateTableIsBuiltForThePanelsLevels) {
    lcdCount_.Delete();   // absent: the table comes from the panel's levels
    ASSERT_EQ(lcdMinimum_.SetDword(8000), ERROR_SUCCESS);
    LoadSettingsAsStartupDoes();
    // Entry i = 2000 * i / 10 + 8000: level 10 is 10000, level 7 is 9400, level 0 is 8000.
    EXPECT_EQ(battery::GetLCDRate(10, 0), 20);
    EXPECT_EQ(battery::GetLCDRate(7, 0), 14);
    EXPECT_EQ(battery::GetLCDRate(11, 0), 0) << "no twelfth level";
}

// Balanced at 70 % on battery (level 7), Power saver at 0 % (level 0); the default eight-entry
// table: an hour now lasts 1.21 hours after the change.
TEST_F(EstimateWiringTest, NotebookEstimateOfADarkerPlanIncludesThePanel) {
    ASSERT_EQ(lcdCount_.SetDword(8), ERROR_SUCCESS);
    lcdRates_.Delete();   // absent: the default table
    for (const auto& [plan, percent] : {std::pair<GUID, DWORD>{plans::kPlanBalanced, 70},
                                        std::pair<GUID, DWORD>{plans::kPlanPowerSaver, 0}}) {
        ASSERT_EQ(plans::WritePowerSetting(plan, plans::PowerSetting::Brightness, plans::PowerSource::DC, percent),
                  static_cast<DWORD>(ERROR_SUCCESS));
    }
    LoadSettingsAsStartupDoes();
    ASSERT_TRUE(display::bLCD);
    Battery(L"--ac off --percent 50 --rate -5000");   // 5000 mWh at 5000 mW: 3600 s
    testsupport::TraceFile trace;
    ASSERT_TRUE(trace.Available());
    ASSERT_EQ(g_Log.Init(L"Software\\Orvel\\Solvane\\DbgLog"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(battery::GetBatteryInfoById(nullptr, plans::kPlanBalanced, true), 3600u);
    EXPECT_EQ(battery::GetBatteryInfoById(nullptr, plans::kPlanPowerSaver, true), 4356u);
    // The plan editor's texts (percent 1086, status 1087).
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BATTERY_STATUS)), nullptr, nullptr);
    ASSERT_NE(status, nullptr);
    struct {
        GUID plan;
        const wchar_t* text;
    } cases[] = {
        {plans::kPlanPowerSaver, L"残り時間 ： 01:00 → (適用後)01:12"},
        {plans::kPlanBalanced, L"残り時間 ： 01:00"},
    };
    for (const auto& c : cases) {
        battery::SetBatteryInfoById(dialog, c.plan, true);
        wchar_t text[128] = L"";
        GetWindowTextW(status, text, 128);
        EXPECT_STREQ(text, c.text);
    }
    DestroyWindow(dialog);
    const auto lines = trace.LinesOf(GetCurrentProcessId());
    for (const wchar_t* line : {L"curLCD:7,newLCD:0", L"cur:7", L"newval:0", L"pLCDRate[cur]:10000",
                                L"pLCDRate[newval]:7894"}) {
        EXPECT_GE(testsupport::TraceFile::Find(lines, line), 0) << testing::PrintToString(std::wstring(line));
    }
}

// The running program asks the panel for its levels before it reads the rate table: eleven
// entries from "LCDRate_Min", the last one full rate.
TEST(BatteryProgramTest, NotebookRunningProgramBuildsTheRateTableForThePanelsLevels) {
    testsupport::ScopedRegValue count(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"Num_LCD_Rate");
    testsupport::ScopedRegValue minimum(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, L"LCDRate_Min");
    count.Delete();
    ASSERT_EQ(minimum.SetDword(8000), ERROR_SUCCESS);
    testsupport::TraceFile trace;
    ASSERT_TRUE(trace.Available());
    testsupport::SolvaneProcess program;
    HWND main = program.StartHere();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(trace.WaitFor(program.Pid(), L"iBrightnessLevels:11", testsupport::kProcessTimeoutMs));
    EXPECT_TRUE(trace.WaitFor(program.Pid(), L"LCDRate_mem[10]:10000", testsupport::kProcessTimeoutMs));
    EXPECT_TRUE(trace.WaitFor(program.Pid(), L"LCDRate_mem[7]:9400", testsupport::kProcessTimeoutMs));
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(program.WaitForExit(testsupport::kProcessTimeoutMs, &exitCode));
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
