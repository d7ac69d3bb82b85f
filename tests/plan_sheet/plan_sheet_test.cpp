#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/mode_ui.h"
#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/window_classes.h"
#include "app/plan_sheet.h"
#include "battery/auto_change.h"
#include <commctrl.h>
#include <powrprof.h>
#include <prsht.h>
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "tests/support/dialog_items.h"
#include "tests/support/main_window_harness.h"

namespace {

const GUID kPlanA = {0x11111111, 0x1111, 0x1111, {1, 1, 1, 1, 1, 1, 1, 1}};
const GUID kPlanB = {0x22222222, 0x2222, 0x2222, {2, 2, 2, 2, 2, 2, 2, 2}};
const GUID kPlanC = {0x33333333, 0x3333, 0x3333, {3, 3, 3, 3, 3, 3, 3, 3}};
const GUID kPlanD = {0x44444444, 0x4444, 0x4444, {4, 4, 4, 4, 4, 4, 4, 4}};
const GUID kPlanE = {0x55555555, 0x5555, 0x5555, {5, 5, 5, 5, 5, 5, 5, 5}};

std::vector<GUID> g_Activated;
DWORD g_ActivateResult = ERROR_SUCCESS;

DWORD RecordActivation(const GUID& plan) {
    g_Activated.push_back(plan);
    return g_ActivateResult;
}

// Pinned: A (listed), B ("Flags" bit 0: not listed), none; others: C, D.
class PlanSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleW(nullptr);
        SetErrorLogModule(g_hInstance);
        lstrcpynW(g_szProgramTitle, L"Solvane plan sheet test", kTitleChars);
        records_.resize(4);
        const GUID guids[] = {kPlanA, kPlanB, kPlanC, kPlanD};
        for (size_t i = 0; i < records_.size(); ++i) {
            records_[i] = plans::PlanRecord{};
            records_[i].guid = guids[i];
        }
        records_[1].dwFlags = 0x1;
        plans::g_PinnedPlanPtrs[0] = &records_[0];
        plans::g_PinnedPlanPtrs[1] = &records_[1];
        plans::g_PinnedPlanPtrs[2] = nullptr;
        plans::g_OtherPlans = {&records_[2], &records_[3]};
        g_Activated.clear();
        g_ActivateResult = ERROR_SUCCESS;
        app::SetSheetActivateFn(RecordActivation);
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        g_hMainWnd = window_;
        app::RegisterModeUi();  // plan changes are announced to the main window
        DeleteFileW(L"error.log");
    }
    void TearDown() override {
        app::SetSheetActivateFn(nullptr);
        plans::g_PinnedPlanPtrs[0] = plans::g_PinnedPlanPtrs[1] = plans::g_PinnedPlanPtrs[2] = nullptr;
        plans::g_OtherPlans.clear();
        g_hMainWnd = nullptr;
        DestroyWindow(window_);
        DeleteFileW(L"error.log");
    }
    bool PlanChangedPosted() {
        MSG msg;
        return PeekMessageW(&msg, window_, WM_APP_PLAN_CHANGED, WM_APP_PLAN_CHANGED, PM_REMOVE) != FALSE;
    }
    // The error log is UTF-16 text in the current folder.
    static std::wstring ErrorLog() {
        std::ifstream in("error.log", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) {
            memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
        }
        return text;
    }
    std::vector<plans::PlanRecord> records_;
    HWND window_ = nullptr;
};

TEST_F(PlanSheetTest, ListsListedPinnedPlansThenOthersAndSelectsTheActivePlan) {
    const auto choices = app::BuildSheetPlanChoices();
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_TRUE(IsEqualGUID(choices[0]->guid, kPlanA));
    EXPECT_TRUE(IsEqualGUID(choices[1]->guid, kPlanC));
    EXPECT_TRUE(IsEqualGUID(choices[2]->guid, kPlanD));
    EXPECT_EQ(app::FindSheetChoice(choices, kPlanD), 2);
    EXPECT_EQ(app::FindSheetChoice(choices, kPlanC), 1);
    // The hidden pinned plan and a plan not on the list fall back to the first entry.
    EXPECT_EQ(app::FindSheetChoice(choices, kPlanB), 0);
    EXPECT_EQ(app::FindSheetChoice(choices, kPlanE), 0);
    EXPECT_EQ(app::FindSheetChoice({}, kPlanA), -1);
}

TEST_F(PlanSheetTest, ApplyActivatesTheSelectionAndAnnouncesIt) {
    EXPECT_EQ(app::ApplySheetPlan(nullptr, &kPlanC), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(g_Activated.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_Activated[0], kPlanC));
    EXPECT_TRUE(PlanChangedPosted());
}

TEST_F(PlanSheetTest, FailedOrMissingActivationIsLoggedAndNotAnnounced) {
    g_ActivateResult = ERROR_ACCESS_DENIED;
    EXPECT_EQ(app::ApplySheetPlan(nullptr, &kPlanA), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(PlanChangedPosted());
    EXPECT_NE(ErrorLog().find(L"fail : SetActivePwrScheme"), std::wstring::npos);
    DeleteFileW(L"error.log");
    g_Activated.clear();
    EXPECT_EQ(app::ApplySheetPlan(nullptr, nullptr), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_TRUE(g_Activated.empty());
    EXPECT_NE(ErrorLog().find(L"fail : SetActivePwrScheme"), std::wstring::npos);
}

TEST_F(PlanSheetTest, OutingButtonWindowBlocksApplyWithAWarning) {
    common::UniqueHandle ferrow(CreateMutexW(nullptr, FALSE, plans::kFerrowSettingMutex));
    ASSERT_TRUE(static_cast<bool>(ferrow));
    std::atomic<bool> closed{false};
    std::thread closer([&closed] {
        for (int i = 0; i < 100 && !closed; ++i) {
            Sleep(100);
            if (HWND box = FindWindowW(L"#32770", g_szProgramTitle); box != nullptr) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                closed = true;
            }
        }
    });
    const DWORD result = app::ApplySheetPlan(nullptr, &kPlanC);
    closer.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_BUSY));
    EXPECT_TRUE(g_Activated.empty());
    EXPECT_FALSE(PlanChangedPosted());
}

// The sheet itself on the simulated PC's plans: the page lists the plans in order, selects the
// active one, hides the battery time without a battery and activates the chosen plan on OK.
TEST(PlanSheetWindow, ListsThePlansAndActivatesTheChoiceOnOk) {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    plans::g_Settings.blob.dwFlagWord &= ~plans::FLAG_BATTERY;
    plans::RefreshPlanList();
    GUID* active = nullptr;
    ASSERT_EQ(PowerGetActiveScheme(nullptr, &active), static_cast<DWORD>(ERROR_SUCCESS));
    plans::RefreshCurrentPlan(*active);
    LocalFree(active);
    std::vector<std::wstring> expectedNames;
    std::vector<GUID> expectedGuids;
    for (const plans::PlanRecord* record : app::BuildSheetPlanChoices()) {
        expectedNames.push_back(record->szName);
        expectedGuids.push_back(record->guid);
    }
    ASSERT_GE(expectedNames.size(), 2u);
    const int activeIndex = app::FindSheetChoice(app::BuildSheetPlanChoices(), plans::activepsi.guid);
    const int chosen = activeIndex == 0 ? 1 : 0;
    g_Activated.clear();
    g_ActivateResult = ERROR_SUCCESS;
    app::SetSheetActivateFn(RecordActivation);
    wchar_t caption[128] = L"";
    LoadStringW(g_hInstance, IDS_PLAN_SHEET_CAPTION, caption, 128);
    std::vector<std::wstring> shownNames;
    LRESULT shownSelection = -2;
    bool batteryVisible = true;
    bool editorEnabled = true;
    std::thread driver([&] {
        HWND sheet = testsupport::WaitDialog(caption);
        if (sheet == nullptr) {
            return;
        }
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        HWND combo = GetDlgItem(page, IDC_PLAN_COMBO);
        shownNames = testsupport::ComboTexts(combo);
        shownSelection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        batteryVisible = IsWindowVisible(GetDlgItem(page, IDC_BATTERY_TIME)) != FALSE;
        editorEnabled = IsWindowEnabled(GetDlgItem(page, IDC_PLAN_DETAILS)) != FALSE;
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_PLAN_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    });
    app::OpenPlanSheet(nullptr);
    driver.join();
    app::SetSheetActivateFn(nullptr);
    EXPECT_EQ(shownNames, expectedNames);
    EXPECT_EQ(shownSelection, activeIndex);
    EXPECT_FALSE(batteryVisible);
    EXPECT_TRUE(editorEnabled);  // opens the plan editor
    ASSERT_EQ(g_Activated.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_Activated[0], expectedGuids[static_cast<size_t>(chosen)]));
}


// While the outing-button utility's settings window is open the page offers neither the plan
// choice nor the plan editor; both come back once the window is gone.
TEST(PlanSheetWindow, PlanControlsWaitForTheOutingButtonWindow) {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    plans::RefreshPlanList();
    common::UniqueHandle ferrow(CreateMutexW(nullptr, FALSE, plans::kFerrowSettingMutex));
    ASSERT_TRUE(static_cast<bool>(ferrow));
    wchar_t caption[128] = L"";
    LoadStringW(g_hInstance, IDS_PLAN_SHEET_CAPTION, caption, 128);
    bool comboWhileOpen = true, editorWhileOpen = true, bothAfter = false;
    std::thread driver([&] {
        HWND sheet = testsupport::WaitDialog(caption);
        if (sheet == nullptr) {
            return;
        }
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        auto enabled = [page](int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; };
        comboWhileOpen = enabled(IDC_PLAN_COMBO);
        editorWhileOpen = enabled(IDC_PLAN_DETAILS);
        ferrow.Reset();
        for (int i = 0; i < 50 && !bothAfter; ++i) {
            Sleep(100);
            bothAfter = enabled(IDC_PLAN_COMBO) && enabled(IDC_PLAN_DETAILS);
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    app::OpenPlanSheet(nullptr);
    driver.join();
    EXPECT_FALSE(comboWhileOpen);
    EXPECT_FALSE(editorWhileOpen);
    EXPECT_TRUE(bothAfter) << "enabled again within five seconds of the window's end";
}

// The sheet opened through the main window: it sits with its lower-right corner at the dialog
// position, a second request (a second start with "/PowerScheme") brings it to the front instead
// of doing nothing, and the plan-changed message makes the page show the active plan again.
class PlanSheetThroughMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleW(nullptr);
        SetErrorLogModule(g_hInstance);
        lstrcpynW(g_szProgramTitle, L"Solvane plan sheet test", kTitleChars);
        ASSERT_NO_FATAL_FAILURE(harness_.Prepare());
        ASSERT_NO_FATAL_FAILURE(harness_.CreateMain());
        main_ = harness_.Window();
        app::SetSheetActivateFn(RecordActivation);
    }
    void TearDown() override {
        app::SetSheetActivateFn(nullptr);
        harness_.Release();
    }
    testsupport::MainWindowHarness harness_;
    HWND main_ = nullptr;
};

TEST_F(PlanSheetThroughMainWindow, OpensAtTheDialogPositionComesToTheFrontAndFollowsPlanChanges) {
    g_Activated.clear();
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const POINT corner = {work.right - 37, work.bottom - 23};
    // The tray code announces the position with its message before it opens the sheet.
    SendMessageW(main_, WM_APP_DIALOG_POSITION, static_cast<WPARAM>(corner.x), static_cast<LPARAM>(corner.y));
    wchar_t caption[128] = L"";
    LoadStringW(g_hInstance, IDS_PLAN_SHEET_CAPTION, caption, 128);
    RECT placed = {};
    bool frontAgain = false;
    int sheets = 0;
    LRESULT activeIndex = -2;
    LRESULT afterChange = -2;
    const HWND main = main_;
    std::thread driver([&] {
        HWND sheet = testsupport::WaitDialog(caption);
        if (sheet == nullptr) {
            // A question before the sheet (a hidden active plan) would keep the test waiting.
            if (HWND box = FindWindowW(L"#32770", g_szProgramTitle); box != nullptr) {
                PostMessageW(box, WM_COMMAND, IDNO, 0);
            }
            return;
        }
        GetWindowRect(sheet, &placed);
        // Another thread's window takes the foreground; the second start's request follows.
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                     nullptr, nullptr);
        SetForegroundWindow(other);
        PostMessageW(main, WM_APP_PLAN_SETTINGS, 0, 0);
        for (int i = 0; i < 300 && !frontAgain; ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
            frontAgain = GetForegroundWindow() == sheet;
            Sleep(10);
        }
        std::pair<const wchar_t*, int*> search(caption, &sheets);
        EnumWindows(
            [](HWND hwnd, LPARAM lParam) -> BOOL {
                wchar_t text[128] = L"";
                GetWindowTextW(hwnd, text, 128);
                auto* data = reinterpret_cast<std::pair<const wchar_t*, int*>*>(lParam);
                if (lstrcmpW(text, data->first) == 0 && IsWindowVisible(hwnd)) {
                    ++*data->second;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        DestroyWindow(other);
        // The page shows the active plan; another entry is picked but not applied; then the plan
        // changes (0x403 to the main window): the page shows the active plan again.
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        HWND combo = GetDlgItem(page, IDC_PLAN_COMBO);
        activeIndex = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        SendMessageW(combo, CB_SETCURSEL, activeIndex == 0 ? 1 : 0, 0);
        PostMessageW(main, WM_APP_PLAN_CHANGED, 0, 0);
        for (int i = 0; i < 300; ++i) {
            afterChange = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            if (afterChange == activeIndex) {
                break;
            }
            Sleep(10);
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    SendMessageW(main_, WM_COMMAND, MAKEWPARAM(IDM_PLAN_SETTINGS, 0), 0);
    driver.join();
    EXPECT_EQ(placed.right, corner.x);
    EXPECT_EQ(placed.bottom, corner.y);
    EXPECT_TRUE(frontAgain) << "the second request brings the open sheet to the front";
    EXPECT_EQ(sheets, 1) << "and opens no second sheet";
    EXPECT_GE(activeIndex, 0);
    EXPECT_EQ(afterChange, activeIndex) << "the page follows the plan change";
    EXPECT_TRUE(g_Activated.empty()) << "cancelled: nothing applied";
    EXPECT_EQ(g_MainState.hSettingsDialog, nullptr);
}

// The sheet's pages: their tab titles, in order.
std::vector<std::wstring> SheetTabs(HWND sheet) {
    std::vector<std::wstring> titles;
    HWND tabs = PropSheet_GetTabControl(sheet);
    const int count = TabCtrl_GetItemCount(tabs);
    for (int i = 0; i < count; ++i) {
        wchar_t title[64] = L"";
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title;
        item.cchTextMax = 64;
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        titles.push_back(title);
    }
    return titles;
}

// With a battery the sheet opened by command 56 also holds the automatic change page; its own
// OK and Cancel buttons give way to the sheet's, whose OK stores the page's values.
TEST_F(PlanSheetThroughMainWindow, WithABatteryTheSheetHasTheAutomaticChangePage) {
    wchar_t caption[128] = L"";
    LoadStringW(g_hInstance, IDS_PLAN_SHEET_CAPTION, caption, 128);
    ASSERT_EQ(battery::CreateAutoChangeMutex(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(battery::CreateAutoChangeEvent(), static_cast<DWORD>(ERROR_SUCCESS));
    battery::AutoRecord start = battery::DefaultAutoRecord();
    start.bChecked = 0;
    battery::SetAutoRecord(start);
    struct {
        DWORD flags;
        std::vector<std::wstring> tabs;
    } cases[] = {
        {0, {L"設定変更"}},
        {plans::FLAG_BATTERY, {L"設定変更", L"自動切替"}},
    };
    for (const auto& c : cases) {
        plans::g_Settings.blob.dwFlagWord = c.flags;
        std::vector<std::wstring> tabs;
        bool pageButtons = true;
        bool enableBox = false;
        std::thread driver([&] {
            HWND sheet = testsupport::WaitDialog(caption);
            if (sheet == nullptr) {
                return;
            }
            tabs = SheetTabs(sheet);
            if (tabs.size() > 1) {
                PropSheet_SetCurSel(sheet, nullptr, 1);
                HWND page = PropSheet_GetCurrentPageHwnd(sheet);
                pageButtons = GetDlgItem(page, IDOK) != nullptr || GetDlgItem(page, IDCANCEL) != nullptr;
                HWND box = GetDlgItem(page, IDC_AUTO_ENABLE);
                enableBox = box != nullptr;
                SendMessageW(box, BM_CLICK, 0, 0);
            }
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        });
        SendMessageW(main_, WM_COMMAND, MAKEWPARAM(IDM_PLAN_SETTINGS, 0), 0);
        driver.join();
        EXPECT_EQ(tabs, c.tabs) << c.flags;
        if (c.flags != 0) {
            EXPECT_TRUE(enableBox);
            EXPECT_FALSE(pageButtons) << "the sheet's own buttons close the page";
            EXPECT_EQ(battery::GetAutoRecord().bChecked, 1u) << "the sheet's OK applies the page";
            EXPECT_EQ(WaitForSingleObject(battery::AutoChangeEvent(), 0), WAIT_OBJECT_0);
        } else {
            EXPECT_EQ(battery::GetAutoRecord().bChecked, 0u);
        }
    }
    battery::CloseAutoChangeObjects();
    battery::SetAutoRecord(battery::DefaultAutoRecord());
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
        common::DeleteRegValue(key.Get(), L"Auto");
    }
}

}  // namespace
