#include <gtest/gtest.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "app/main_state.h"
#include "app/tray_dispatch.h"
#include "app/tray_icon.h"
#include "app/ui_state.h"
#include "battery/auto_change.h"
#include "fake_power.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"
#include "tray_test_support.h"

using namespace tray;

namespace {

const GUID kPlanA = fakes::MakeGuid(0xA1);

class TrayIconTest : public testing::Test {
protected:
    void SetUp() override {
        traytest::InitProgramGlobals();
        testreg::ClearSolvaneKeys();
        fakes::Install();
        traytest::SetFlags(0);
        UseEcoIconTable(false);
    }
    void TearDown() override {
        SetShellNotifyIcon(nullptr, kTrayRetryPauseMs);
        UseEcoIconTable(false);
        traytest::SetFlags(0);
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
    }
};

// --- Scripted shell ---------------------------------------------------------------------------
struct ShellCall {
    DWORD message;
    UINT flags;
    std::wstring tip;
    bool icon;
};
std::vector<ShellCall> g_calls;
std::vector<std::pair<BOOL, DWORD>> g_script;  // answers in order; then success

BOOL WINAPI ScriptedShell(DWORD message, PNOTIFYICONDATAW data) {
    g_calls.push_back({message, data->uFlags, data->szTip, data->hIcon != nullptr});
    if (g_script.empty()) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    auto answer = g_script.front();
    g_script.erase(g_script.begin());
    SetLastError(answer.second);
    return answer.first;
}

void Script(std::vector<std::pair<BOOL, DWORD>> answers) {
    g_calls.clear();
    g_script = std::move(answers);
    SetShellNotifyIcon(ScriptedShell, 1);
}

}  // namespace

TEST_F(TrayIconTest, IconRowChoiceFollowsTheKeysAndFallsBackToRowTen) {
    for (int key : {0, 1, 2, 3, 4, 7, 8, 9, 10, 11}) {
        int row = IconRowIndex(key);
        EXPECT_EQ(kStandardIconTable[row].nKey, key) << key;
    }
    EXPECT_EQ(IconRowIndex(0), 0);
    EXPECT_EQ(IconRowIndex(7), 7);
    // 5 and 6 have rows whose key is -1: no number selects them.
    EXPECT_EQ(IconRowIndex(5), kDefaultIconRow);
    EXPECT_EQ(IconRowIndex(6), kDefaultIconRow);
    EXPECT_EQ(IconRowIndex(-1), kDefaultIconRow);
    EXPECT_EQ(IconRowIndex(12), kDefaultIconRow);
    EXPECT_EQ(IconRowIndex(99), kDefaultIconRow);
    EXPECT_EQ(TrayIconResourceId(kStandardIconTable, 99, 0, false), 398);
    EXPECT_EQ(TrayIconResourceId(kStandardIconTable, 3, 2, false), 391);  // no LED without ECO operation
    EXPECT_EQ(TrayIconResourceId(kEcoIconTable, 99, 0, true), 674);
    EXPECT_EQ(TrayIconResourceId(kEcoIconTable, 0, 2, true), 652);
    EXPECT_EQ(TrayIconResourceId(kEcoIconTable, 4, 3, true), 685);
    EXPECT_EQ(TrayIconResourceId(kEcoIconTable, 8, 1, true), 687);
    EXPECT_EQ(TrayIconResourceId(kEcoIconTable, 1, 7, true), 654);  // a bad LED number adds nothing
    // Every tray id of both tables, with every LED number, names an icon of the program.
    for (const IconRow* table : {kStandardIconTable, kEcoIconTable}) {
        for (size_t row = 0; row < kIconRowCount; ++row) {
            for (int led = 0; led <= 3; ++led) {
                int id = TrayIconResourceId(table, table[row].nKey, led, table == kEcoIconTable);
                HICON icon = static_cast<HICON>(
                    LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
                EXPECT_NE(icon, nullptr) << id;
                DestroyIcon(icon);
            }
            HICON dialogIcon = static_cast<HICON>(LoadImageW(
                GetModuleHandleW(nullptr), MAKEINTRESOURCEW(table[row].nDialogIcon), IMAGE_ICON, 32, 32, 0));
            EXPECT_NE(dialogIcon, nullptr) << table[row].nDialogIcon;
            DestroyIcon(dialogIcon);
        }
    }
}

TEST_F(TrayIconTest, TooltipIsCutToEightyCharacters) {
    const std::wstring format = traytest::Str(IDS_TOOLTIP_PLAN);
    ASSERT_EQ(format, L"電源プラン：%s");
    wchar_t tip[kTipBufferChars];
    FormatTooltip(format.c_str(), L"省電力", tip);
    EXPECT_STREQ(tip, L"電源プラン：省電力");
    std::wstring longName(100, L'x');
    FormatTooltip(format.c_str(), longName.c_str(), tip);
    EXPECT_EQ(wcslen(tip), 80u);
    EXPECT_EQ(std::wstring(tip), L"電源プラン：" + std::wstring(74, L'x'));
    std::wstring exact(74, L'y');
    FormatTooltip(format.c_str(), exact.c_str(), tip);
    EXPECT_EQ(wcslen(tip), 80u);
    EXPECT_EQ(tip[79], L'y');
}

TEST_F(TrayIconTest, LowBatteryTextKeepsShortNamesAndCutsLongOnesToTheBalloon) {
    const std::wstring format = traytest::Str(IDS_LOW_BATTERY_CHANGE);
    ASSERT_EQ(format, L"バッテリ残量が%d%%以下になりましたので、電源プランを「%s」に切り替えました。");
    const size_t literal = format.size() - 5;
    wchar_t text[kInfoBufferChars];
    ASSERT_TRUE(FormatLowBatteryText(format.c_str(), 20, L"ECOモード", text));
    EXPECT_STREQ(text, L"バッテリ残量が20%以下になりましたので、電源プランを「ECOモード」に切り替えました。");
    // The longest name that fits: literal + digits + name = 255.
    std::wstring fits(255 - literal - 2, L'n');
    ASSERT_TRUE(FormatLowBatteryText(format.c_str(), 20, fits.c_str(), text));
    EXPECT_EQ(wcslen(text), 255u);
    EXPECT_EQ(std::wstring(text).find(L"..."), std::wstring::npos);
    // One character more: cut with "...", still 255 characters and the sentence ends intact.
    std::wstring tooLong(fits.size() + 1, L'n');
    ASSERT_TRUE(FormatLowBatteryText(format.c_str(), 20, tooLong.c_str(), text));
    std::wstring result = text;
    EXPECT_EQ(result.size(), 255u);
    EXPECT_NE(result.find(L"n...」に切り替えました。"), std::wstring::npos);
    // A 300-character name with a three-digit threshold.
    std::wstring huge(300, L'h');
    ASSERT_TRUE(FormatLowBatteryText(format.c_str(), 100, huge.c_str(), text));
    result = text;
    EXPECT_EQ(result.size(), 255u);
    EXPECT_EQ(result.rfind(L"100%", 20), 7u);
    EXPECT_NE(result.find(L"h...」"), std::wstring::npos);
    EXPECT_FALSE(FormatLowBatteryText(L"%d", 5, L"x", text));
}

TEST_F(TrayIconTest, AddRetriesOnlyOnTimeOutAndChecksWithAModify) {
    traytest::TestOwner owner;
    traytest::MarkErrors();
    // NIM_ADD times out; the modify after 500 ms finds the icon: success, one error 44.
    Script({{FALSE, ERROR_TIMEOUT}});
    EXPECT_TRUE(AddTrayIcon(owner.Get()));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_FALSE(g_calls[0].icon);  // the add carries no icon and no tooltip
    EXPECT_EQ(g_calls[0].tip, L"");
    EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[1].tip, L"Running");
    auto errors = traytest::NewErrors();
    EXPECT_TRUE(traytest::HasError(errors, L"fail : TrayMessage/NIM_ADD"));
    EXPECT_TRUE(GetTrayIconState().bAdded);

    // Another error: give up at once.
    traytest::MarkErrors();
    Script({{FALSE, ERROR_ACCESS_DENIED}});
    EXPECT_FALSE(AddTrayIcon(owner.Get()));
    EXPECT_EQ(g_calls.size(), 1u);
    EXPECT_FALSE(GetTrayIconState().bAdded);

    // The modify succeeds with an error left over: error 45 and failure.
    traytest::MarkErrors();
    Script({{FALSE, ERROR_TIMEOUT}, {TRUE, ERROR_INVALID_PARAMETER}});
    EXPECT_FALSE(AddTrayIcon(owner.Get()));
    EXPECT_TRUE(traytest::HasError(traytest::NewErrors(), L"fail : TrayMessage/NIM_ADD - MODIFY OK"));

    // Time-outs all the way: ten attempts of an add and a modify (itself tried ten times), then
    // failure.
    std::vector<std::pair<BOOL, DWORD>> timeouts(10 * (1 + 10), {FALSE, ERROR_TIMEOUT});
    Script(timeouts);
    EXPECT_FALSE(AddTrayIcon(owner.Get()));
    size_t adds = 0;
    for (const ShellCall& c : g_calls) {
        adds += c.message == NIM_ADD;
    }
    EXPECT_EQ(adds, 10u);
    EXPECT_EQ(g_calls.size(), 110u);
}

TEST_F(TrayIconTest, UpdateShowsThePlanIconAndTooltipAndRetriesOnlyOnTimeOut) {
    traytest::AddPlan(kPlanA, std::wstring(100, L'p'), 3, 2);
    traytest::SetActive(kPlanA);
    traytest::TestOwner owner;
    Script({});
    ASSERT_TRUE(UpdateTrayIcon(owner.Get(), false));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_TRUE(g_calls[0].icon);
    EXPECT_EQ(g_calls[0].tip.size(), 80u);
    EXPECT_EQ(GetTrayIconState().nIconId, 391);  // standard row 3, no LED number

    // ECO mode operation: the ECO row plus the LED number.
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
    UseEcoIconTable(true);
    Script({});
    ASSERT_TRUE(UpdateTrayIcon(owner.Get(), false));
    EXPECT_EQ(GetTrayIconState().nIconId, 662 + 2);

    // Time-outs are retried, other errors are not; both are logged as 47.
    traytest::MarkErrors();
    Script({{FALSE, ERROR_TIMEOUT}, {FALSE, ERROR_TIMEOUT}});
    EXPECT_TRUE(UpdateTrayIcon(owner.Get(), false));
    EXPECT_EQ(g_calls.size(), 3u);
    Script({{FALSE, ERROR_FILE_NOT_FOUND}});
    EXPECT_FALSE(UpdateTrayIcon(owner.Get(), false));
    EXPECT_EQ(g_calls.size(), 1u);
    auto errors = traytest::NewErrors();
    size_t modifyErrors = 0;
    for (const auto& line : errors) {
        modifyErrors += line.find(L"fail : TrayMessage/NIM_MODIFY") != std::wstring::npos;
    }
    // The two time-outs are one record (the same record is written at most once a minute), the
    // not-found another.
    EXPECT_EQ(modifyErrors, 2u) << testing::PrintToString(errors);
}

TEST_F(TrayIconTest, ChangeNotificationAddsTheBalloon) {
    traytest::AddPlan(kPlanA, L"バッテリ節約", 1, 0);
    traytest::SetActive(kPlanA);
    // The threshold comes from the automatic-change record.
    battery::AutoRecord record = battery::DefaultAutoRecord();
    record.RemaindPercent = 15;
    battery::SetAutoRecord(record);
    traytest::TestOwner owner;
    Script({});
    ASSERT_TRUE(UpdateTrayIcon(owner.Get(), true));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].flags & NIF_INFO, static_cast<UINT>(NIF_INFO));
    EXPECT_STREQ(GetTrayIconState().szInfo,
                 L"バッテリ残量が15%以下になりましたので、電源プランを「バッテリ節約」に切り替えました。");
    Script({});
    ASSERT_TRUE(UpdateTrayIcon(owner.Get(), false));
    EXPECT_EQ(g_calls[0].flags & NIF_INFO, 0u);
    battery::SetAutoRecord(battery::DefaultAutoRecord());
}

TEST_F(TrayIconTest, DeleteFailureIsLogged) {
    traytest::TestOwner owner;
    traytest::MarkErrors();
    Script({{FALSE, ERROR_FILE_NOT_FOUND}});
    EXPECT_FALSE(DeleteTrayIcon(owner.Get()));
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(traytest::HasError(traytest::NewErrors(), L"fail : TrayMessage/NIM_DELETE"));
}

TEST_F(TrayIconTest, FirstAddThatFindsNoShellIsRetriedUntilTheShellAnswers) {
    traytest::AddPlan(kPlanA, L"標準", 0, 0);
    traytest::SetActive(kPlanA);
    traytest::TestOwner owner;
    Script({});
    DeleteTrayIcon(owner.Get());  // no icon left from an earlier test
    // The shell is not there yet: the add fails without a time-out.
    Script({{FALSE, ERROR_FILE_NOT_FOUND}});
    MinimizeToTray(owner.Get());
    EXPECT_FALSE(ui::TrayOnly());
    EXPECT_FALSE(GetTrayIconState().bAdded);
    // The taskbar announces itself: the icon is added and drawn, tray-only operation starts.
    SendMessageW(owner.Get(), g_MainState.uTaskbarCreated, 0, 0);
    EXPECT_TRUE(GetTrayIconState().bAdded);
    EXPECT_TRUE(ui::TrayOnly());
    EXPECT_EQ(GetTrayIconState().nIconId, 388);
    EXPECT_STREQ(GetTrayIconState().szTip, L"電源プラン：標準");
    // Without the announcement the retry timer does it too.
    traytest::SetFlags(0);
    Script({});
    DeleteTrayIcon(owner.Get());
    Script({{FALSE, ERROR_FILE_NOT_FOUND}});
    MinimizeToTray(owner.Get());
    EXPECT_FALSE(ui::TrayOnly());
    EXPECT_TRUE(traytest::PumpUntil([] { return ui::TrayOnly(); }, 5000));
}

// The real notification area of Wine (Xvfb): add, update, a tray restart, delete.
TEST_F(TrayIconTest, IconComesBackAfterTheTaskbarRestarts) {
    traytest::AddPlan(kPlanA, L"ECOモード１", 1, 1);
    traytest::SetActive(kPlanA);
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
    traytest::TestOwner owner;
    UseEcoIconTable(true);
    MinimizeToTray(owner.Get());
    ASSERT_TRUE(ui::TrayOnly());
    EXPECT_EQ(GetTrayIconState().nIconId, 655);
    auto iconExists = [&owner] {
        NOTIFYICONDATAW data = {};
        data.cbSize = sizeof(data);
        data.hWnd = owner.Get();
        data.uID = kTrayIconId;
        data.uFlags = NIF_TIP;
        StringCchCopyW(data.szTip, ARRAYSIZE(data.szTip), L"probe");
        return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    };
    EXPECT_TRUE(iconExists());
    // The shell loses its icons (a restart), then announces the new taskbar to every window.
    NOTIFYICONDATAW gone = {};
    gone.cbSize = sizeof(gone);
    gone.hWnd = owner.Get();
    gone.uID = kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    EXPECT_FALSE(iconExists());
    SendMessageW(owner.Get(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(iconExists());
    EXPECT_STREQ(GetTrayIconState().szTip, L"電源プラン：ECOモード１");
    // A broadcast while the icon is still there also leaves exactly one icon.
    SendMessageW(owner.Get(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(iconExists());
    EXPECT_TRUE(DeleteTrayIcon(owner.Get()));
    EXPECT_FALSE(iconExists());
    ui::SetTrayOnly(false);
}

TEST_F(TrayIconTest, MouseOverRefreshesOnlyWhenThePlanNameChanged) {
    const GUID kPlanB = fakes::MakeGuid(0xB2);
    traytest::AddPlan(kPlanA, L"Alpha", 0, 0);
    traytest::AddPlan(kPlanB, L"Beta", 2, 0);
    traytest::SetActive(kPlanA);
    traytest::TestOwner owner;
    Script({});
    ASSERT_TRUE(UpdateTrayIcon(owner.Get(), false));
    Script({});
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_MOUSEMOVE);
    EXPECT_TRUE(g_calls.empty());
    traytest::SetActive(kPlanB);
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_MOUSEMOVE);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].tip, L"電源プラン：Beta");
    EXPECT_EQ(GetTrayIconState().nIconId, 390);
}

TEST_F(TrayIconTest, SecondMinimiseKeepsTheIconInsteadOfAddingItAgain) {
    traytest::AddPlan(kPlanA, L"標準", 0, 0);
    traytest::SetActive(kPlanA);
    traytest::TestOwner owner;
    Script({});
    MinimizeToTray(owner.Get());
    ASSERT_TRUE(GetTrayIconState().bAdded);
    traytest::MarkErrors();
    Script({{FALSE, ERROR_INVALID_PARAMETER}});  // what a shell answers to a second add
    MinimizeToTray(owner.Get());
    ASSERT_FALSE(g_calls.empty());
    for (const ShellCall& call : g_calls) {
        EXPECT_NE(call.message, static_cast<DWORD>(NIM_ADD));
    }
    EXPECT_FALSE(traytest::HasError(traytest::NewErrors(), L"fail : TrayMessage/NIM_ADD"));
    EXPECT_TRUE(ui::TrayOnly());
    ui::SetTrayOnly(false);
    Script({});
    DeleteTrayIcon(owner.Get());
}
