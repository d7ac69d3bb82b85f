// The automatic plan change on the simulated notebook: evaluations on the simulated battery,
// the thread's exit on FLAG_CANTCHGPP, and settings page 505 driven through its controls.
#include <gtest/gtest.h>
#include <windows.h>
#include <powrprof.h>

#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/mode_ui.h"
#include "app/app_globals.h"
#include "battery/auto_change.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/guid_text.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"
#include "tests/battery/test_support.h"
#include "tests/sim_devices/device_io.h"

namespace {

constexpr wchar_t kSolvaneKey[] = L"Software\\Orvel\\Solvane";
constexpr wchar_t kActivateFailure[] = L"Software\\SimulatedPC\\Power\\Failures\\PowerSetActiveScheme";
const GUID kMissingPlan = {0x0BADBAD0, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};

void Battery(const std::wstring& arguments) {
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"battery --full 10000 --design 10000 " + arguments, output), 0) << output;
    ASSERT_EQ(battery::CheckBattery(), static_cast<DWORD>(ERROR_SUCCESS));
}

GUID ActivePlan() {
    GUID active{};
    EXPECT_EQ(plans::ReadActiveScheme(&active), static_cast<DWORD>(ERROR_SUCCESS));
    return active;
}

// The record as stored in the registry (defaults when absent).
battery::AutoRecord StoredRecord() {
    const battery::AutoRecord held = battery::GetAutoRecord();
    battery::LoadAutoSettings();
    const battery::AutoRecord stored = battery::GetAutoRecord();
    battery::SetAutoRecord(held);
    return stored;
}

// A message-only window standing in for the main window: it collects WM_USER+3.
class PlanChangeSink {
public:
    PlanChangeSink() { m_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }
    ~PlanChangeSink() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }
    // wParam of the next WM_USER+3 already posted, or -1.
    int Next() {
        MSG msg;
        if (PeekMessageW(&msg, m_window, plans::WM_APP_PLAN_CHANGED, plans::WM_APP_PLAN_CHANGED, PM_REMOVE)) {
            return static_cast<int>(msg.wParam);
        }
        return -1;
    }

private:
    HWND m_window;
};

class AutoChangeSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        // Plan changes are announced to the program's main window, as in the resident program.
        app::RegisterModeUi();
        plans::g_Settings.blob.dwFlagWord = plans::FLAG_BATTERY;
        ASSERT_EQ(battery::CreateAutoChangeMutex(), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_EQ(battery::CreateAutoChangeEvent(), static_cast<DWORD>(ERROR_SUCCESS));
        ClearStored();
        battery::AutoRecord r = battery::DefaultAutoRecord();
        r.bChecked = 1;
        r.RemaindPercent = 30;
        r.guidTarget = plans::kPlanPowerSaver;
        battery::SetAutoRecord(r);
        ASSERT_EQ(PowerSetActiveScheme(nullptr, &plans::kPlanBalanced), static_cast<DWORD>(ERROR_SUCCESS));
    }
    void TearDown() override {
        battery::CloseAutoChangeObjects();
        battery::g_AutoChangeHooks = battery::AutoChangeHooks{};
        battery::SetAutoRecord(battery::DefaultAutoRecord());
        ClearStored();
        common::DeleteRegTree(HKEY_LOCAL_MACHINE, kActivateFailure);
        plans::g_Settings.blob.dwFlagWord = 0;
        DeleteFileW(L"error.log");
    }
    static void ClearStored() {
        common::UniqueRegKey key;
        if (common::OpenRegKey(HKEY_CURRENT_USER, kSolvaneKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
            common::DeleteRegValue(key.Get(), L"Auto");
        }
    }
};

TEST_F(AutoChangeSimTest, NotebookSwitchesAtTheThresholdAndBackWhenCharged) {
    PlanChangeSink sink;
    HWND previousMain = g_hMainWnd;
    g_hMainWnd = sink.Get();
    struct {
        const wchar_t* battery;
        battery::AutoAction action;
        GUID active;
        GUID storedPrevious;
        int message;   // wParam of WM_USER+3, -1 for none
    } steps[] = {
        {L"--ac off --remaining 3040", battery::AutoAction::None, plans::kPlanBalanced, GUID_NULL, -1},
        {L"--ac off --remaining 3000", battery::AutoAction::SwitchToTarget, plans::kPlanPowerSaver,
         plans::kPlanBalanced, 1},
        {L"--ac off --remaining 1000", battery::AutoAction::None, plans::kPlanPowerSaver, plans::kPlanBalanced, -1},
        {L"--ac on --charging on --remaining 3000", battery::AutoAction::None, plans::kPlanPowerSaver,
         plans::kPlanBalanced, -1},
        {L"--ac on --charging on --remaining 3020", battery::AutoAction::SwitchBack, plans::kPlanBalanced, GUID_NULL,
         0},
        {L"--ac on --charging on --remaining 9000", battery::AutoAction::None, plans::kPlanBalanced, GUID_NULL, -1},
    };
    for (const auto& step : steps) {
        Battery(step.battery);
        EXPECT_EQ(battery::RunAutoChangePass(), step.action) << step.battery;
        EXPECT_TRUE(IsEqualGUID(ActivePlan(), step.active)) << step.battery;
        EXPECT_TRUE(IsEqualGUID(StoredRecord().guidPrevious, step.storedPrevious)) << step.battery;
        EXPECT_EQ(sink.Next(), step.message) << step.battery;
    }
    g_hMainWnd = previousMain;
}

TEST_F(AutoChangeSimTest, NotebookFullOnMainsCountsForTheSwitchBack) {
    Battery(L"--ac off --percent 20");
    ASSERT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchToTarget);
    Battery(L"--ac on --percent 100");
    const SYSTEM_BATTERY_STATE s = battery::GetBatterySnapshot().sys;
    ASSERT_FALSE(s.Charging);
    ASSERT_FALSE(s.Discharging);
    EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchBack);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanBalanced));
}

TEST_F(AutoChangeSimTest, NotebookTargetAlreadyActiveRecordsNothing) {
    ASSERT_EQ(PowerSetActiveScheme(nullptr, &plans::kPlanPowerSaver), static_cast<DWORD>(ERROR_SUCCESS));
    Battery(L"--ac off --percent 10");
    EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::None);
    EXPECT_TRUE(plans::IsNullGuid(battery::GetAutoRecord().guidPrevious));
    // Nothing was stored either: the value is still absent, so the defaults load.
    EXPECT_EQ(StoredRecord().bChecked, 0u);
}

int g_missingTargetBoostMoves = 0;

// A target that names no plan fails like any activation: the plan left stays recorded, each
// evaluation tries again (the log keeps one record a minute), an active boost stays on the plan
// that stays active, and a valid target chosen later switches with the plan left still recorded.
TEST_F(AutoChangeSimTest, NotebookTargetThatNamesNoPlanFailsTheActivationAndKeepsThePlanLeft) {
    g_missingTargetBoostMoves = 0;
    battery::g_AutoChangeHooks.boostActive = [] { return true; };
    battery::g_AutoChangeHooks.moveBoost = [](const GUID&, const GUID&) { ++g_missingTargetBoostMoves; };
    PlanChangeSink sink;
    HWND previousMain = g_hMainWnd;
    g_hMainWnd = sink.Get();
    battery::AutoRecord r = battery::GetAutoRecord();
    r.guidTarget = kMissingPlan;
    battery::SetAutoRecord(r);
    Battery(L"--ac off --percent 10");
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::None);
    }
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanBalanced));
    const battery::AutoRecord stored = StoredRecord();
    EXPECT_TRUE(IsEqualGUID(stored.guidPrevious, plans::kPlanBalanced));
    EXPECT_TRUE(IsEqualGUID(stored.guidTarget, kMissingPlan));
    EXPECT_EQ(sink.Next(), -1) << "no change announced";
    EXPECT_EQ(g_missingTargetBoostMoves, 0) << "the boost stays on the active plan";
    const std::wstring log = battery_test::ErrorLog();
    EXPECT_EQ(battery_test::Count(log, L"fail : SetActivePwrScheme/Boost(0x2)"), 1u) << log;
    EXPECT_EQ(battery_test::Count(log, L"指定されたGUIDの電源プランが存在しません"), 0u) << log;
    // Charged again with the plan left still active: nothing to switch back, the record stays.
    Battery(L"--ac on --charging on --percent 80");
    EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::None);
    EXPECT_TRUE(IsEqualGUID(StoredRecord().guidPrevious, plans::kPlanBalanced));
    // The user picks a plan that exists: the next low battery switches to it.
    r = battery::GetAutoRecord();
    r.guidTarget = plans::kPlanPowerSaver;
    battery::SetAutoRecord(r);
    Battery(L"--ac off --percent 10");
    EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchToTarget);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanPowerSaver));
    EXPECT_TRUE(IsEqualGUID(StoredRecord().guidPrevious, plans::kPlanBalanced));
    EXPECT_EQ(sink.Next(), 1);
    EXPECT_EQ(g_missingTargetBoostMoves, 1);
    g_hMainWnd = previousMain;
}

TEST_F(AutoChangeSimTest, NotebookFailedActivationKeepsThePreviousPlanStored) {
    {
        common::UniqueRegKey key;
        ASSERT_EQ(common::CreateRegKey(HKEY_LOCAL_MACHINE, kActivateFailure, KEY_SET_VALUE, key), ERROR_SUCCESS);
        common::WriteRegDword(key.Get(), L"Count", 1);
        common::WriteRegDword(key.Get(), L"Error", ERROR_ACCESS_DENIED);
    }
    Battery(L"--ac off --percent 10");
    EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::None);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanBalanced));
    EXPECT_TRUE(IsEqualGUID(StoredRecord().guidPrevious, plans::kPlanBalanced));
    EXPECT_EQ(battery_test::Count(battery_test::ErrorLog(), L"fail : SetActivePwrScheme/Boost(0x5)"), 1u)
        << battery_test::ErrorLog();
    // The next evaluation tries again and succeeds.
    EXPECT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchToTarget);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanPowerSaver));
}

// Moves of an active boost during a switch and the switch back.
GUID g_boostFrom = GUID_NULL;
GUID g_boostTo = GUID_NULL;
int g_boostMoves = 0;

TEST_F(AutoChangeSimTest, NotebookActiveBoostMovesWithTheChange) {
    g_boostMoves = 0;
    battery::g_AutoChangeHooks.boostActive = [] { return true; };
    battery::g_AutoChangeHooks.moveBoost = [](const GUID& from, const GUID& to) {
        g_boostFrom = from;
        g_boostTo = to;
        ++g_boostMoves;
    };
    Battery(L"--ac off --percent 10");
    ASSERT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchToTarget);
    EXPECT_EQ(g_boostMoves, 1);
    EXPECT_TRUE(IsEqualGUID(g_boostFrom, plans::kPlanBalanced));
    EXPECT_TRUE(IsEqualGUID(g_boostTo, plans::kPlanPowerSaver));
    Battery(L"--ac on --charging on --percent 50");
    ASSERT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchBack);
    EXPECT_EQ(g_boostMoves, 2);
    EXPECT_TRUE(IsEqualGUID(g_boostFrom, plans::kPlanPowerSaver));
    EXPECT_TRUE(IsEqualGUID(g_boostTo, plans::kPlanBalanced));
}

TEST_F(AutoChangeSimTest, NotebookThreadSwitchesWhileEnabledAndEndsOnCantChange) {
    Battery(L"--ac off --percent 10");
    ASSERT_EQ(battery::SetAutoChangeEvent(TRUE), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(battery::StartAutoChangeThread(1), static_cast<DWORD>(ERROR_SUCCESS));   // 20 ms turns
    GUID active = plans::kPlanBalanced;
    for (int i = 0; i < 500 && !IsEqualGUID(active, plans::kPlanPowerSaver); ++i) {
        Sleep(10);
        active = ActivePlan();
    }
    EXPECT_TRUE(IsEqualGUID(active, plans::kPlanPowerSaver));
    // The plan may not be changed any more: the thread ends at its next wake-up.
    plans::g_Settings.blob.dwFlagWord |= plans::FLAG_CANTCHGPP;
    EXPECT_TRUE(battery::WaitAutoChangeThreadEnd(10000));
    EXPECT_FALSE(battery::AutoChangeThreadRunning());
    battery::JoinAutoChangeThread();
}

TEST_F(AutoChangeSimTest, NotebookThreadWithCantChangeEndsAtItsFirstWakeUp) {
    plans::g_Settings.blob.dwFlagWord |= plans::FLAG_CANTCHGPP;
    Battery(L"--ac off --percent 10");
    const DWORD passes = battery::AutoChangeThreadPasses();
    ASSERT_EQ(battery::StartAutoChangeThread(1), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(battery::SetAutoChangeEvent(TRUE), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(battery::WaitAutoChangeThreadEnd(10000));
    EXPECT_EQ(battery::AutoChangeThreadPasses() - passes, 1u);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanBalanced));
    battery::JoinAutoChangeThread();
}

// --- Settings page 505 ------------------------------------------------------------------------

// The page once it is on screen (a modal dialog shows itself when its loop first runs idle, after
// its initialisation).
HWND FindPage() {
    for (int i = 0; i < 100; ++i) {
        if (HWND page = FindWindowW(L"#32770", L"自動切替"); page != nullptr && IsWindowVisible(page)) {
            return page;
        }
        Sleep(100);
    }
    return nullptr;
}

// A message box (other than the page) owned by the page, waited for up to 10 s.
HWND FindBoxOver(HWND page) {
    for (int i = 0; i < 100; ++i) {
        HWND box = nullptr;
        while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
            if (box != page && GetWindow(box, GW_OWNER) == page) {
                return box;
            }
        }
        Sleep(100);
    }
    return nullptr;
}

// The box's text; a box found while it is still being built gets up to 5 s to show it.
std::wstring BoxText(HWND box) {
    wchar_t text[512] = L"";
    for (int i = 0; i < 50 && text[0] == L'\0' && IsWindow(box); ++i) {
        if (GetDlgItemTextW(box, 0xFFFF, text, 512) == 0) {
            Sleep(100);
        }
    }
    return text;
}

int ComboIndexOf(HWND combo, const wchar_t* name) {
    return static_cast<int>(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name)));
}

class AutoPageTest : public AutoChangeSimTest {
protected:
    void SetUp() override {
        AutoChangeSimTest::SetUp();
        plans::RefreshPlanList();
        battery::AutoRecord r = battery::GetAutoRecord();
        r.bChecked = 0;
        battery::SetAutoRecord(r);
    }
    // Sets the threshold as a user's drag does: position, then the scroll notice.
    static void Drag(HWND page, int position) {
        HWND trackbar = GetDlgItem(page, IDC_AUTO_TRACKBAR);
        SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
        SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(trackbar));
    }
    static void Choose(HWND page, const wchar_t* planName) {
        HWND combo = GetDlgItem(page, IDC_AUTO_PLAN_COMBO);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(ComboIndexOf(combo, planName)), 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_AUTO_PLAN_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }
    static std::wstring PlanName(const GUID& plan) {
        for (const auto& record : plans::g_PlanList) {
            if (IsEqualGUID(record.guid, plan)) {
                return record.szName;
            }
        }
        return L"";
    }
};

TEST_F(AutoPageTest, NotebookPageShowsTheRecordAndStoresTheUsersChoice) {
    const std::wstring highName = PlanName(plans::kPlanHighPerformance);
    ASSERT_FALSE(highName.empty());
    std::wstring initialValue;
    std::wstring draggedValue;
    int comboCount = 0;
    bool trackbarEnabledBefore = true;
    bool trackbarEnabledAfter = false;
    std::wstring selectedBefore;
    std::thread user([&] {
        HWND page = FindPage();
        if (page == nullptr) {
            return;
        }
        wchar_t text[64] = L"";
        GetDlgItemTextW(page, IDC_AUTO_VALUE, text, 64);
        initialValue = text;
        HWND combo = GetDlgItem(page, IDC_AUTO_PLAN_COMBO);
        comboCount = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        GetWindowTextW(combo, text, 64);
        selectedBefore = text;
        trackbarEnabledBefore = IsWindowEnabled(GetDlgItem(page, IDC_AUTO_TRACKBAR)) != FALSE;
        SendDlgItemMessageW(page, IDC_AUTO_ENABLE, BM_CLICK, 0, 0);
        trackbarEnabledAfter = IsWindowEnabled(GetDlgItem(page, IDC_AUTO_TRACKBAR)) != FALSE;
        Drag(page, 45);
        GetDlgItemTextW(page, IDC_AUTO_VALUE, text, 64);
        draggedValue = text;
        Choose(page, highName.c_str());
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    const INT_PTR result = battery::ShowAutoSettingsDialog(nullptr);
    user.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(initialValue, L"30%");
    EXPECT_EQ(draggedValue, L"45%");
    int listed = 0;
    for (DWORD i = 0; i < plans::g_PlanCount; ++i) {
        listed += !plans::IsNullGuid(plans::g_PlanList[i].guid) && (plans::g_PlanList[i].dwFlags & 0x1) == 0;
    }
    EXPECT_GE(listed, 3);
    EXPECT_EQ(comboCount, listed);
    EXPECT_EQ(selectedBefore, PlanName(plans::kPlanPowerSaver));
    EXPECT_FALSE(trackbarEnabledBefore);
    EXPECT_TRUE(trackbarEnabledAfter);
    const battery::AutoRecord stored = StoredRecord();
    EXPECT_EQ(stored.bChecked, 1u);
    EXPECT_EQ(stored.RemaindPercent, 45u);
    EXPECT_TRUE(IsEqualGUID(stored.guidTarget, plans::kPlanHighPerformance));
    EXPECT_EQ(WaitForSingleObject(battery::AutoChangeEvent(), 0), WAIT_OBJECT_0);
}

TEST_F(AutoPageTest, NotebookCancelWithChangesAsksAndKeepsThePageOnCancel) {
    std::wstring firstQuestion;
    bool pageStayed = false;
    std::thread user([&] {
        HWND page = FindPage();
        if (page == nullptr) {
            return;
        }
        Drag(page, 60);
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        HWND box = FindBoxOver(page);
        if (box == nullptr) {
            return;
        }
        firstQuestion = BoxText(box);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);   // keep the page
        for (int i = 0; i < 50 && IsWindow(box); ++i) {
            Sleep(20);
        }
        pageStayed = IsWindow(page) != FALSE;
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        box = FindBoxOver(page);
        if (box != nullptr) {
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);   // discard
        }
    });
    const INT_PTR result = battery::ShowAutoSettingsDialog(nullptr);
    user.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(firstQuestion, L"設定が変更されています。\r変更内容を保存せずに終了してもよろしいですか？");
    EXPECT_TRUE(pageStayed);
    EXPECT_EQ(StoredRecord().RemaindPercent, 30u);   // nothing stored: the defaults load
    EXPECT_EQ(WaitForSingleObject(battery::AutoChangeEvent(), 0), WAIT_TIMEOUT);
}

TEST_F(AutoPageTest, NotebookWhileFerrowIsOpenApplyDoesNothingAndLaunchOnlyWarns) {
    common::UniqueHandle ferrow(CreateMutexW(nullptr, FALSE, plans::kFerrowSettingMutex));
    ASSERT_TRUE(ferrow);
    plans::g_Settings.nFerrow = 1;
    std::wstring warning;
    bool pageEnabledAfterWarning = false;
    std::thread user([&] {
        HWND page = FindPage();
        if (page == nullptr) {
            return;
        }
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_AUTO_FERROW, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_AUTO_FERROW)));
        HWND box = FindBoxOver(page);
        if (box == nullptr) {
            return;
        }
        warning = BoxText(box);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (int i = 0; i < 50 && IsWindow(box); ++i) {
            Sleep(20);
        }
        pageEnabledAfterWarning = IsWindowEnabled(GetDlgItem(page, IDC_AUTO_ENABLE)) != FALSE;
        SendDlgItemMessageW(page, IDC_AUTO_ENABLE, BM_CLICK, 0, 0);
        Drag(page, 70);
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    const INT_PTR result = battery::ShowAutoSettingsDialog(nullptr);
    user.join();
    plans::g_Settings.nFerrow = 0;
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(warning, L"Ferrowボタン設定ユーティリティがすでに起動されていますので、電源設定の変更は出来ません。");
    EXPECT_TRUE(pageEnabledAfterWarning);
    EXPECT_EQ(battery::GetAutoRecord().RemaindPercent, 30u);
    EXPECT_EQ(battery::GetAutoRecord().bChecked, 0u);
    EXPECT_EQ(StoredRecord().RemaindPercent, 30u);
    EXPECT_EQ(WaitForSingleObject(battery::AutoChangeEvent(), 0), WAIT_TIMEOUT);
}

}  // namespace
