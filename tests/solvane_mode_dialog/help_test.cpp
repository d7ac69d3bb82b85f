// Every dialog's "?" caption button (WM_SYSCOMMAND SC_CONTEXTHELP) and F1 (WM_HELP) open its
// help topic: the test thread runs each real dialog modally, a driver thread sends it the
// message, and a stand-in for HTML Help records what the program asked for. The power options
// button of the two-mode ECO mode dialog starts the control panel's command line.
#include <windows.h>
#include <commctrl.h>
#include <htmlhelp.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/help.h"
#include "app/hotkey_dialog.h"
#include "app/launchers.h"
#include "app/mode_dialog.h"
#include "app/plan_editor.h"
#include "app/plan_sheet.h"
#include "battery/auto_change.h"
#include "common/log.h"
#include "peakcut/peakshift.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace {

struct HelpCall {
    HWND caller;
    std::wstring file;
    UINT command;
    DWORD_PTR data;
};

std::mutex g_CallsLock;
std::vector<HelpCall> g_HelpCalls;

constexpr DWORD_PTR kHelpCookie = 0x5A17;

// Records each call; HH_INITIALIZE hands out a cookie as the control does.
HWND WINAPI RecordHtmlHelp(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data) {
    std::lock_guard<std::mutex> guard(g_CallsLock);
    if (command == HH_INITIALIZE && data != 0) {
        *reinterpret_cast<DWORD_PTR*>(data) = kHelpCookie;
    }
    g_HelpCalls.push_back({caller, file != nullptr ? file : L"", command, data});
    return nullptr;
}

std::vector<HelpCall> TakeHelpCalls() {
    std::lock_guard<std::mutex> guard(g_CallsLock);
    std::vector<HelpCall> calls;
    calls.swap(g_HelpCalls);
    return calls;
}

void LoadProduct() {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    lstrcpynW(g_szProgramTitle, L"Solvane help test", kTitleChars);
    plans::g_SettingsHooks = plans::SettingsHooks{};
    plans::g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    plans::g_Settings.dwOsGeneration = 2;
    plans::LoadSettings();
    plans::RefreshCurrentPlan(plans::kActiveSchemeMarker);
}

// The visible dialog the test thread shows (a property sheet's frame for the sheet).
HWND WaitDialog(DWORD thread) {
    HWND found = nullptr;
    for (int i = 0; i < 200 && found == nullptr; ++i) {
        Sleep(50);
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM out) -> BOOL {
                wchar_t cls[16] = L"";
                GetClassNameW(window, cls, ARRAYSIZE(cls));
                if (IsWindowVisible(window) && lstrcmpW(cls, L"#32770") == 0) {
                    *reinterpret_cast<HWND*>(out) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
    }
    return found;
}

// Where the message goes: the dialog, or a property sheet's frame or page.
enum class To { Dialog, Frame, Page };

// A property sheet is ready once its page exists.
HWND WaitSheetPage(HWND sheet) {
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    for (int i = 0; i < 200 && (page == nullptr || !IsWindowVisible(page)); ++i) {
        Sleep(50);
        page = PropSheet_GetCurrentPageHwnd(sheet);
    }
    return page;
}

// Runs `open` on this thread while a driver thread sends the dialog `message` and cancels it.
void RunAndAsk(const std::function<void()>& open, UINT message, WPARAM wParam, To target = To::Dialog) {
    const DWORD self = GetCurrentThreadId();
    std::thread driver([=] {
        HWND dialog = WaitDialog(self);
        if (dialog == nullptr) {
            ADD_FAILURE() << "the dialog did not open";
            return;
        }
        const bool sheet = target != To::Dialog;
        HWND page = sheet ? WaitSheetPage(dialog) : nullptr;
        if (sheet && page == nullptr) {
            ADD_FAILURE() << "the sheet shows no page";
        }
        SendMessageW(target == To::Page ? page : dialog, message, wParam, 0);
        if (sheet) {
            PostMessageW(dialog, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        } else {
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        for (int i = 0; i < 100 && IsWindow(dialog); ++i) {
            Sleep(20);
        }
        if (IsWindow(dialog)) {
            ADD_FAILURE() << "the dialog did not close on cancel";
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
    });
    open();
    driver.join();
}

class DialogHelp : public ::testing::Test {
protected:
    void SetUp() override {
        LoadProduct();
        SetHtmlHelpFn(RecordHtmlHelp);
        ASSERT_EQ(InitHelp(GetModuleHandleW(nullptr)), 0u);
        // HTML Help waits for the first topic.
        EXPECT_TRUE(TakeHelpCalls().empty());
    }
    void TearDown() override {
        UninitHelp();
        SetHtmlHelpFn(nullptr);
        TakeHelpCalls();
    }
};

wchar_t g_Name[64];
wchar_t g_Description[64];
INT32 g_Icon;

void OpenNameDialog(bool newPlan) {
    lstrcpynW(g_Name, L"Plan under test", ARRAYSIZE(g_Name));
    g_Description[0] = L'\0';
    g_Icon = 0;
    ShowPlanNameDialog(nullptr, newPlan, 0, g_Name, ARRAYSIZE(g_Name), g_Description, ARRAYSIZE(g_Description),
                            &g_Icon);
}

struct HelpCase {
    const char* window;
    void (*open)();
    UINT message;
    WPARAM wParam;
    To target;
    DWORD topic;      // 0: no help asked for
};

const HelpCase kHelpCases[] = {
    {"ECO mode settings, ? button", [] { OpenModeDialog(nullptr); }, WM_SYSCOMMAND, SC_CONTEXTHELP, To::Dialog, 11178},
    {"ECO mode settings, F1", [] { OpenModeDialog(nullptr); }, WM_HELP, 0, To::Dialog, 11178},
    {"ECO mode settings, mouse bits of the command", [] { OpenModeDialog(nullptr); }, WM_SYSCOMMAND,
     SC_CONTEXTHELP | 0x2, To::Dialog, 11178},
    {"ECO mode settings, another system command", [] { OpenModeDialog(nullptr); }, WM_SYSCOMMAND, SC_RESTORE,
     To::Dialog, 0},
    {"plan editor", [] {
         GUID active{};
         plans::ReadActiveScheme(&active);
         OpenPlanEditor(nullptr, active, 0);
     }, WM_SYSCOMMAND,
     SC_CONTEXTHELP, To::Dialog, 10503},
    {"new plan name", [] { OpenNameDialog(true); }, WM_SYSCOMMAND, SC_CONTEXTHELP, To::Dialog, 10504},
    {"rename plan", [] { OpenNameDialog(false); }, WM_SYSCOMMAND, SC_CONTEXTHELP, To::Dialog, 10115},
    {"rename plan, F1", [] { OpenNameDialog(false); }, WM_HELP, 0, To::Dialog, 10115},
    {"plan settings sheet, frame's ? button", [] { app::OpenPlanSheet(nullptr); }, WM_SYSCOMMAND, SC_CONTEXTHELP,
     To::Frame, 10501},
    {"plan settings sheet, F1 on the page", [] { app::OpenPlanSheet(nullptr); }, WM_HELP, 0, To::Page, 10501},
    {"automatic change", [] { battery::ShowAutoSettingsDialog(nullptr); }, WM_SYSCOMMAND, SC_CONTEXTHELP, To::Dialog,
     10505},
    {"peak-shift settings, two modes", [] { peakcut::ShowPeakShiftDialog(nullptr, false); }, WM_SYSCOMMAND,
     SC_CONTEXTHELP, To::Dialog, 13001},
    {"peak-shift settings, F1", [] { peakcut::ShowPeakShiftDialog(nullptr, false); }, WM_HELP, 0, To::Dialog, 13001},
    {"hotkey settings", [] { hotkey::ShowHotkeyDialog(nullptr); }, WM_SYSCOMMAND, SC_CONTEXTHELP, To::Dialog, 10506},
};

TEST_F(DialogHelp, EachDialogOpensItsTopicOverTheDesktop) {
    int initialisations = 0;
    for (const HelpCase& row : kHelpCases) {
        SCOPED_TRACE(row.window);
        RunAndAsk(row.open, row.message, row.wParam, row.target);
        std::vector<HelpCall> calls = TakeHelpCalls();
        if (!calls.empty() && calls[0].command == static_cast<UINT>(HH_INITIALIZE)) {
            ++initialisations;
            calls.erase(calls.begin());
        }
        if (row.topic == 0) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].caller, GetDesktopWindow());
        EXPECT_EQ(calls[0].file, std::wstring(HelpFilePath()));
        EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
        EXPECT_EQ(calls[0].data, static_cast<DWORD_PTR>(row.topic));
    }
    EXPECT_EQ(initialisations, 1) << "HTML Help is initialised once, before the first topic";
}

TEST_F(DialogHelp, WithoutInitialisedHelpTheLowerDialogsAskForNothing) {
    UninitHelp();
    TakeHelpCalls();
    RunAndAsk([] { battery::ShowAutoSettingsDialog(nullptr); }, WM_SYSCOMMAND, SC_CONTEXTHELP);
    RunAndAsk([] { peakcut::ShowPeakShiftDialog(nullptr, false); }, WM_SYSCOMMAND, SC_CONTEXTHELP);
    EXPECT_TRUE(TakeHelpCalls().empty());
    ASSERT_EQ(InitHelp(GetModuleHandleW(nullptr)), 0u);
}

TEST_F(DialogHelp, UninitialiseHandsBackTheCookieOfInitialise) {
    OpenHelpTopic(10505);
    std::vector<HelpCall> calls = TakeHelpCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_INITIALIZE));
    EXPECT_EQ(calls[1].command, static_cast<UINT>(HH_HELP_CONTEXT));
    UninitHelp();
    calls = TakeHelpCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_UNINITIALIZE));
    EXPECT_EQ(calls[0].caller, nullptr);
    EXPECT_EQ(calls[0].data, kHelpCookie);
    ASSERT_EQ(InitHelp(GetModuleHandleW(nullptr)), 0u);
}

TEST_F(DialogHelp, WithoutATopicNothingIsInitialisedOrUninitialised) {
    UninitHelp();
    EXPECT_TRUE(TakeHelpCalls().empty());
    ASSERT_EQ(InitHelp(GetModuleHandleW(nullptr)), 0u);
}

// --- the power options button -----------------------------------------------------------------

struct ProcessCall {
    bool application;
    std::wstring commandLine;
    bool environment;
    bool folder;
    DWORD flags;
};
std::vector<ProcessCall> g_ProcessCalls;
DWORD g_ProcessError = 0;

BOOL WINAPI RecordCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                                LPSECURITY_ATTRIBUTES, BOOL, DWORD flags, LPVOID environment, LPCWSTR folder,
                                LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
    g_ProcessCalls.push_back({application != nullptr, commandLine != nullptr ? commandLine : L"",
                              environment != nullptr, folder != nullptr, flags});
    if (startup == nullptr || startup->cb != sizeof(STARTUPINFOW)) {
        ADD_FAILURE() << "no start-up record";
    }
    if (g_ProcessError != 0) {
        SetLastError(g_ProcessError);
        return FALSE;
    }
    // Handles of its own for the program to close.
    info->hProcess = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    info->hThread = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return TRUE;
}

class PowerOptions : public ::testing::Test {
protected:
    void SetUp() override {
        LoadProduct();
        g_ProcessCalls.clear();
        g_ProcessError = 0;
        SetCreateProcessFn(RecordCreateProcess);
    }
    void TearDown() override { SetCreateProcessFn(nullptr); }
};

TEST_F(PowerOptions, TheTwoModeDialogsButtonStartsTheControlPanel) {
    RunAndAsk([] { OpenModeDialog(nullptr); }, WM_COMMAND, MAKEWPARAM(IDC_MODE_POWER_OPTIONS, BN_CLICKED));
    ASSERT_EQ(g_ProcessCalls.size(), 1u);
    EXPECT_FALSE(g_ProcessCalls[0].application);
    EXPECT_EQ(g_ProcessCalls[0].commandLine, L"rundll32.exe shell32.dll,Control_RunDLL powercfg.cpl");
    EXPECT_FALSE(g_ProcessCalls[0].environment);
    EXPECT_FALSE(g_ProcessCalls[0].folder);
    EXPECT_EQ(g_ProcessCalls[0].flags, 0u);
}

TEST_F(PowerOptions, AFailedStartIsReportedNotSuccess) {
    const struct {
        DWORD error;
    } rows[] = {{ERROR_FILE_NOT_FOUND}, {ERROR_ACCESS_DENIED}, {0}};
    for (const auto& row : rows) {
        g_ProcessError = row.error;
        EXPECT_EQ(LaunchPowerOptions(), row.error);
    }
    EXPECT_EQ(g_ProcessCalls.size(), 3u);
}

}  // namespace
