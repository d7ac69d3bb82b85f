// The ECO button's road on the simulated PC: the installed program runs, simctl presses the ECO
// button, the notification window opens on the current mode, further presses advance it, two
// seconds after the last press the chosen plan is active, the LED shows its mode and the tray
// icon and tooltip follow; the icon survives a restart of the taskbar.
#include <windows.h>
#include <shellapi.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "battery/auto_change.h"
#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/notify_window.h"
#include "app/peakcut_question.h"
#include "app/ui_state.h"
#include "app/yarrow_toast.h"
#include "app/tray_icon.h"
#include "common/handles.h"
#include "common/registry.h"
#include "plans/guid_text.h"
#include "plans/plan_record.h"
#include "solvane_process.h"
#include "test_support.h"
#include "tests/support/simctl_run.h"
#include "trace_file.h"

using testsupport::FindProcessWindow;
using testsupport::SolvaneProcess;
using testsupport::TempFolder;
using testsupport::TraceFile;

namespace {

constexpr DWORD kStartWaitMs = 30000;
constexpr DWORD kSwitchWaitMs = 8000;
constexpr wchar_t kPowerSettingsKey[] = L"Software\\Orvel\\Solvane\\PowerSettings";
constexpr wchar_t kSolvaneKey[] = L"Software\\Orvel\\Solvane";

using RunResult = testsupport::SimctlRun;

RunResult RunSimctl(const std::wstring& arguments) { return testsupport::RunSimctlCommand(arguments); }

int LedState() {
    RunResult led = RunSimctl(L"led");
    size_t at = led.output.find("led.state: ");
    return at == std::string::npos ? -1 : atoi(led.output.c_str() + at + 11);
}

GUID ActivePlan() {
    GUID result = GUID_NULL;
    GUID* active = nullptr;
    if (PowerGetActiveScheme(nullptr, &active) == ERROR_SUCCESS && active != nullptr) {
        result = *active;
        LocalFree(active);
    }
    return result;
}

struct SlotPlan {
    GUID guid = GUID_NULL;
    int iconNo = plans::kDefaultIconNo;
    std::wstring name;
};

// The plans with a mode ("LedNo" 1-3) as the installation wrote them, by LED number.
std::map<int, SlotPlan> ReadModePlans() {
    std::map<int, SlotPlan> result;
    common::UniqueRegKey root;
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, kPowerSettingsKey, KEY_READ, root) != ERROR_SUCCESS) {
        return result;
    }
    wchar_t name[64];
    for (DWORD i = 0;; ++i) {
        DWORD cch = ARRAYSIZE(name);
        if (RegEnumKeyExW(root.Get(), i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        common::UniqueRegKey key;
        common::OpenRegKey(root.Get(), name, KEY_READ, key);
        DWORD led = common::ReadRegDword(key.Get(), L"LedNo", 0);
        if (led < 1 || led > 3) {
            continue;
        }
        SlotPlan plan;
        if (!plans::ParseGuidText(name, &plan.guid)) {
            continue;
        }
        auto record = std::make_unique<plans::PlanRecord>();
        record->guid = plan.guid;
        plans::ReadPlanRecord(record.get());
        plan.iconNo = record->nIconNo;
        plan.name = record->szName;
        result[static_cast<int>(led)] = plan;
    }
    return result;
}

template <typename Pred>
bool WaitUntil(Pred pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

std::wstring TrayLine(const SlotPlan& plan, int ledNo) {
    int icon = tray::TrayIconResourceId(tray::kEcoIconTable, plan.iconNo, ledNo, true);
    return L"NIM_MODIFY icon " + std::to_wstring(icon) + L" tip \"電源プラン：" + plan.name + L"\"";
}

bool TrayIconExists(HWND owner) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = tray::kTrayIconId;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = WM_APP_TRAY_CALLBACK;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

class EcoRoad : public testing::Test {
protected:
    void SetUp() override {
        common::UniqueRegKey key;
        ASSERT_EQ(common::OpenRegKey(HKEY_LOCAL_MACHINE, kSolvaneKey, KEY_READ, key), ERROR_SUCCESS)
            << "the product is not installed in this PC";
        m_threeMode = common::ReadRegDword(key.Get(), L"EcoMode", 0) == 2;
        m_plans = ReadModePlans();
        ASSERT_EQ(m_plans.count(1), 1u);
        ASSERT_EQ(m_plans.count(3), 1u);
        ASSERT_TRUE(m_trace.Available());
    }
    // Starts the program on the plan with this LED number; waits for its tray icon.
    void StartOn(int ledNo) {
        const GUID start = m_plans[ledNo].guid;
        ASSERT_EQ(PowerSetActiveScheme(nullptr, &start), ERROR_SUCCESS);
        ASSERT_TRUE(m_process.Start(L"", m_folder.Path()));
        m_main = m_process.WaitForMainWindow(kStartWaitMs);
        ASSERT_NE(m_main, nullptr);
        ASSERT_TRUE(m_trace.WaitFor(m_process.Pid(), L"NIM_MODIFY icon", kStartWaitMs));
        ASSERT_TRUE(m_trace.WaitFor(m_process.Pid(), TrayLine(m_plans[ledNo], ledNo), kStartWaitMs));
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const auto& line : m_trace.LinesOf(m_process.Pid())) {
                if (line.message.find(L"NIM_") != std::wstring::npos || line.message.find(L"modes") != std::wstring::npos ||
                    line.message.find(L"Taskbar") != std::wstring::npos || line.function == L"HandleEcoButton" || line.function == L"AddTrayIcon" ||
                    line.function == L"WndProc" || line.function == L"UpdateTrayIcon") {
                    std::fwprintf(stderr, L"trace [%ls] %ls\n", line.function.c_str(), line.message.c_str());
                }
            }
            std::wstring errorLog = m_folder.Path() + L"\\error.log";
            common::UniqueFile file(CreateFileW(errorLog.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
            char bytes[4096] = {};
            DWORD read = 0;
            if (file && ReadFile(file.Get(), bytes, sizeof(bytes) - 2, &read, nullptr)) {
                std::fwprintf(stderr, L"error.log: %ls\n", reinterpret_cast<const wchar_t*>(bytes));
            }
            for (const auto& [led, plan] : m_plans) {
                std::fwprintf(stderr, L"LedNo %d: icon %d name %ls\n", led, plan.iconNo, plan.name.c_str());
            }
        }
    }
    HWND NotificationWindow() const { return FindProcessWindow(m_process.Pid(), L"EcoOSDWndProc"); }
    void Press() { ASSERT_EQ(RunSimctl(L"press-eco").exitCode, 0u); }
    // Waits for the plan, the LED and the tray icon of the mode.
    void ExpectMode(int ledNo, int ledState) {
        const GUID expected = m_plans[ledNo].guid;
        EXPECT_TRUE(WaitUntil([&] { return IsEqualGUID(ActivePlan(), expected) != FALSE; }, kSwitchWaitMs))
            << "plan of LED number " << ledNo;
        EXPECT_TRUE(WaitUntil([&] { return LedState() == ledState; }, kSwitchWaitMs)) << "LED " << ledState;
        EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), TrayLine(m_plans[ledNo], ledNo), kSwitchWaitMs))
            << "tray icon of LED number " << ledNo;
    }
    bool m_threeMode = false;
    std::map<int, SlotPlan> m_plans;
    TraceFile m_trace;
    TempFolder m_folder;
    SolvaneProcess m_process;
    HWND m_main = nullptr;
};

}  // namespace

TEST_F(EcoRoad, PressesChooseTheModeAndThePlanFollowsTwoSecondsLater) {
    StartOn(1);
    Press();
    ASSERT_TRUE(WaitUntil([&] { return NotificationWindow() != nullptr && IsWindowVisible(NotificationWindow()); },
                          5000));
    HWND window = NotificationWindow();
    RECT rc = {};
    GetWindowRect(window, &rc);
    POINT expected = osd::NotificationPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                               osd::kOsdWidth, osd::kOsdHeight);
    EXPECT_EQ(rc.left, expected.x);
    EXPECT_EQ(rc.top, expected.y);
    EXPECT_EQ(rc.right - rc.left, osd::kOsdWidth);
    EXPECT_EQ(rc.bottom - rc.top, osd::kOsdHeight);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    if (m_threeMode) {
        // The first press only shows the active mode.
        EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"three modes: opened on mode 1", 5000));
        Press();
        Press();
        EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"three modes: mode 3 shown", 5000));
        EXPECT_EQ(NotificationWindow(), window);  // one window for all presses
        EXPECT_TRUE(IsEqualGUID(ActivePlan(), m_plans[1].guid)) << "nothing switches before the presses stop";
        ExpectMode(3, 3);
        EXPECT_TRUE(WaitUntil([&] { return NotificationWindow() == nullptr; }, kSwitchWaitMs));
        // One press that times out on the active mode changes nothing.
        Press();
        EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"three modes: opened on mode 3", 5000));
        EXPECT_TRUE(WaitUntil([&] { return NotificationWindow() == nullptr; }, kSwitchWaitMs));
        EXPECT_TRUE(IsEqualGUID(ActivePlan(), m_plans[3].guid));
        EXPECT_EQ(LedState(), 3);
    } else {
        // Two modes: the first press switches to the ECO plan at once.
        EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"two modes: opened, mode 3, phase 2", 5000));
        ExpectMode(3, 3);
        // Another press: the normal plan two seconds later, with the LED off.
        Press();
        EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"two modes: mode 1 shown, phase 1", 5000));
        ExpectMode(1, 0);
        EXPECT_TRUE(WaitUntil([&] { return NotificationWindow() == nullptr; }, kSwitchWaitMs));
    }
}

// A press that arrives while the notification activates its choice (the LED shows the new mode,
// the plan follows 800 ms later, then the window closes) belongs to a new notification.
TEST_F(EcoRoad, PressWhileTheChoiceIsActivatedOpensANewNotification) {
    if (!m_threeMode) {
        GTEST_SKIP() << "the two-mode notification activates on the press itself";
    }
    StartOn(1);
    Press();
    ASSERT_TRUE(m_trace.WaitFor(m_process.Pid(), L"three modes: opened on mode 1", 5000));
    Press();
    ASSERT_TRUE(m_trace.WaitFor(m_process.Pid(), L"three modes: mode 2 shown", 5000));
    // The presses stop: two seconds later the choice is taken and activated.
    ASSERT_TRUE(m_trace.WaitFor(m_process.Pid(), L"activate mode plan", kSwitchWaitMs));
    PostMessageW(m_main, WM_APP_ECO_BUTTON, 0, 0);
    ASSERT_FALSE(IsEqualGUID(ActivePlan(), m_plans[2].guid)) << "the press came after the activation, not during it";
    ExpectMode(2, 2);
    EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"three modes: opened on mode 2", 5000))
        << "the press must open a new notification on the mode just activated";
    // That notification times out on the active mode and changes nothing; then a press after
    // the close opens one again.
    EXPECT_TRUE(WaitUntil([&] { return NotificationWindow() == nullptr; }, kSwitchWaitMs));
    PostMessageW(m_main, WM_APP_ECO_BUTTON, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return NotificationWindow() != nullptr; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return NotificationWindow() == nullptr; }, kSwitchWaitMs));
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), m_plans[2].guid));
    EXPECT_EQ(LedState(), 2);
}

TEST_F(EcoRoad, TrayIconComesBackWhenTheTaskbarIsCreatedAgain) {
    StartOn(1);
    ASSERT_TRUE(TrayIconExists(m_main));
    // The shell loses its icons, as when the taskbar's process restarts...
    NOTIFYICONDATAW gone = {};
    gone.cbSize = sizeof(gone);
    gone.hWnd = m_main;
    gone.uID = tray::kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    ASSERT_FALSE(TrayIconExists(m_main));
    // ...and announces the new taskbar to every top-level window.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"TaskbarCreated: putting the tray icon back", 5000));
    EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(m_main); }, 5000));
}

TEST_F(EcoRoad, LowBatteryChangeShowsTheBalloonAndAToastWhileAFullScreenAppIsInFront) {
    // Windows 8 or later (the program's OS-model override) with a full-screen app in front.
    testsupport::ScopedRegValue osModel(HKEY_LOCAL_MACHINE, kSolvaneKey, L"OSModel");
    ASSERT_EQ(osModel.SetDword(3), ERROR_SUCCESS);
    ASSERT_EQ(RunSimctl(L"display-mode 2").exitCode, 0u);
    StartOn(1);
    // The automatic plan change asks for the notification with the plan-changed message.
    PostMessageW(m_main, WM_APP_TRAY_CALLBACK + 1, 1, 0);
    EXPECT_TRUE(m_trace.WaitFor(m_process.Pid(), L"with balloon", 10000));
    const std::wstring yarrow = L"Software\\SimulatedPC\\Yarrow";
    common::UniqueRegKey key;
    ASSERT_TRUE(WaitUntil(
        [&] {
            key.Reset();
            return common::OpenRegKey(HKEY_LOCAL_MACHINE, yarrow.c_str(), KEY_READ, key) == ERROR_SUCCESS &&
                   common::ReadRegDword(key.Get(), L"ToastCount", 0) > 0;
        },
        10000));
    EXPECT_EQ(common::ReadRegDword(key.Get(), L"LastToastKind", 0), 5u);
    wchar_t text[512] = L"";
    ASSERT_EQ(common::ReadRegString(key.Get(), L"LastToastText", text, 512), ERROR_SUCCESS);
    wchar_t expected[tray::kInfoBufferChars];
    ASSERT_TRUE(tray::FormatLowBatteryText(
        L"バッテリ残量が%d%%以下になりましたので、電源プランを「%s」に切り替えました。",
        static_cast<int>(battery::kDefaultRemaindPercent),
        m_plans[1].name.c_str(), expected));
    EXPECT_STREQ(text, expected);
    wchar_t value[128] = L"";
    ASSERT_EQ(common::ReadRegString(key.Get(), L"LastToastTitle", value, 128), ERROR_SUCCESS);
    EXPECT_STREQ(value, L"Kaviro");
    ASSERT_EQ(common::ReadRegString(key.Get(), L"LastToastSound", value, 128), ERROR_SUCCESS);
    EXPECT_STREQ(value, L"ms-winsoundevent:Notification.Default");
    ASSERT_EQ(common::ReadRegString(key.Get(), L"LastToastDuration", value, 128), ERROR_SUCCESS);
    EXPECT_STREQ(value, L"short");
    // With the desktop in front only the balloon is shown.
    const DWORD toasts = common::ReadRegDword(key.Get(), L"ToastCount", 0);
    ASSERT_EQ(RunSimctl(L"display-mode 1").exitCode, 0u);
    const auto balloons = [&] {
        const std::vector<testsupport::TraceLine> lines = m_trace.LinesOf(m_process.Pid());
        int count = 0;
        for (int at = testsupport::TraceFile::Find(lines, L"with balloon"); at >= 0;
             at = testsupport::TraceFile::Find(lines, L"with balloon", at + 1)) {
            ++count;
        }
        return count;
    };
    const int before = balloons();
    // The second notification is handled in full before the one posted after it is traced.
    PostMessageW(m_main, WM_APP_TRAY_CALLBACK + 1, 1, 0);
    PostMessageW(m_main, WM_APP_TRAY_CALLBACK + 1, 1, 0);
    ASSERT_TRUE(WaitUntil([&] { return balloons() >= before + 2; }, 10000));
    EXPECT_EQ(common::ReadRegDword(key.Get(), L"ToastCount", 0), toasts);
}

// The names of the calls in a maker DLL's call log ("Yarrow_Finalize() = 0x00000000" gives
// "Yarrow_Finalize"), in order.
std::vector<std::string> CallNames(const std::string& log) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        const std::string line = log.substr(start, end - start);
        const size_t paren = line.find('(');
        if (paren != std::string::npos) {
            names.push_back(line.substr(0, paren));
        }
        start = end + 1;
    }
    return names;
}

// Windows 8 or later, a start that fails: the toast library is asked for the display mode, brings
// the desktop forward only while a full-screen app is in front, and is finalised before the
// failure box shows. It never receives the common information of a running program.
TEST_F(EcoRoad, FailedStartBringsTheDesktopForwardAndFinalisesTheToastLibraryBeforeTheBox) {
    testsupport::ScopedRegValue osModel(HKEY_LOCAL_MACHINE, kSolvaneKey, L"OSModel");
    ASSERT_EQ(osModel.SetDword(3), ERROR_SUCCESS);
    // An event holding the plan-list lock's name makes the start fail.
    common::UniqueHandle squatter(CreateEventW(nullptr, TRUE, FALSE, L"sOLVANEmUTEXps"));
    ASSERT_TRUE(squatter.Valid());
    struct Row {
        int displayMode;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {2, {"Yarrow_Initialize", "Yarrow_GetDisplayMode", "Yarrow_SwitchToDT", "Yarrow_Finalize"}},
        {1, {"Yarrow_Initialize", "Yarrow_GetDisplayMode", "Yarrow_Finalize"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.displayMode);
        ASSERT_EQ(RunSimctl(L"display-mode " + std::to_wstring(row.displayMode)).exitCode, 0u);
        ASSERT_EQ(RunSimctl(L"maker-log yarrow --clear").exitCode, 0u);
        SolvaneProcess process;
        ASSERT_TRUE(process.Start(L"", m_folder.Path()));
        HWND box = process.WaitForMessageBox(kStartWaitMs);
        ASSERT_NE(box, nullptr) << "the start-up failure box did not appear";
        // What the library saw up to the moment the box is shown.
        const std::string log = RunSimctl(L"maker-log yarrow").output;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        DWORD exitCode = 1;
        ASSERT_TRUE(process.WaitForExit(kStartWaitMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(CallNames(log), row.calls) << log;
    }
}

// Windows 8 or later: the toast library is initialised at the start and finalised at the exit.
TEST_F(EcoRoad, ToastLibraryIsFinalisedAtTheExit) {
    testsupport::ScopedRegValue osModel(HKEY_LOCAL_MACHINE, kSolvaneKey, L"OSModel");
    ASSERT_EQ(osModel.SetDword(3), ERROR_SUCCESS);
    ASSERT_EQ(RunSimctl(L"maker-log yarrow --clear").exitCode, 0u);
    const std::wstring yarrow = L"Software\\SimulatedPC\\Yarrow";
    auto initialized = [&yarrow] {
        common::UniqueRegKey key;
        return common::OpenRegKey(HKEY_LOCAL_MACHINE, yarrow.c_str(), KEY_READ, key) == ERROR_SUCCESS &&
               common::ReadRegDword(key.Get(), L"Initialized", 0) == 1;
    };
    StartOn(1);
    EXPECT_TRUE(WaitUntil(initialized, 5000)) << "initialised while the program runs";
    PostMessageW(m_main, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(m_process.WaitForExit(kStartWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(initialized());
    const std::string log = RunSimctl(L"maker-log yarrow").output;
    EXPECT_NE(log.find("Yarrow_Initialize() = 0x00000000"), std::string::npos) << log;
    EXPECT_NE(log.find("Yarrow_Finalize() = 0x00000000"), std::string::npos) << log;
}

// Windows 8 or later: every press of the ECO button asks the toast library for its display mode.
TEST_F(EcoRoad, EachPressAsksTheToastLibraryForItsDisplayMode) {
    testsupport::ScopedRegValue osModel(HKEY_LOCAL_MACHINE, kSolvaneKey, L"OSModel");
    ASSERT_EQ(osModel.SetDword(3), ERROR_SUCCESS);
    StartOn(1);
    auto queries = [] {
        const std::vector<std::string> calls = CallNames(RunSimctl(L"maker-log yarrow").output);
        return std::count(calls.begin(), calls.end(), std::string("Yarrow_GetDisplayMode"));
    };
    const auto before = queries();
    Press();
    EXPECT_TRUE(WaitUntil([&] { return queries() == before + 1; }, kSwitchWaitMs));
    PostMessageW(m_main, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(m_process.WaitForExit(kStartWaitMs, &exitCode));
}

// The peak-cut prompt in this process, bound to the simulated PC's Yarrow.dll: while a full-screen
// app is in front on Windows 8 or later, toasts take the place of the question dialogs.
class PeakCutToast : public testing::Test {
protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleW(nullptr);
        LoadStringW(g_hInstance, 141, g_szProgramTitle, static_cast<int>(kTitleChars));
        g_dwOsModel = OS_MODEL_WIN8_OR_LATER;
        ui::SetUserPresent(true);
        ASSERT_EQ(RunSimctl(L"display-mode 2").exitCode, 0u);
        ASSERT_EQ(common::OpenRegKey(HKEY_LOCAL_MACHINE, L"Software\\SimulatedPC\\Yarrow", KEY_READ, m_yarrow),
                  ERROR_SUCCESS);
        peakcut::g_PromptHooks.demandThreshold = [] { return 87; };
        peakcut::g_PromptHooks.reportAgain = [](bool on) { s_reportAgain.push_back(on); };
        s_reportAgain.clear();
    }
    void TearDown() override {
        peakcut::g_PromptHooks = peakcut::PromptHooks{};
        toast::Unload();
        g_dwOsModel = 0;
        RunSimctl(L"display-mode 1");
    }
    DWORD Toasts() const { return common::ReadRegDword(m_yarrow.Get(), L"ToastCount", 0); }
    std::wstring LastText() const {
        wchar_t text[512] = L"";
        common::ReadRegString(m_yarrow.Get(), L"LastToastText", text, 512);
        return text;
    }
    common::UniqueRegKey m_yarrow;
    static std::vector<bool> s_reportAgain;
};
std::vector<bool> PeakCutToast::s_reportAgain;

TEST_F(PeakCutToast, SwitchNoticeBecomesAToastAndCountsAsYes) {
    ASSERT_TRUE(toast::ToastModeWanted());
    const DWORD before = Toasts();
    EXPECT_EQ(peakcut::PeakCutPrompt(nullptr, true, 1), IDYES);
    EXPECT_EQ(Toasts(), before + 1);
    EXPECT_EQ(common::ReadRegDword(m_yarrow.Get(), L"LastToastKind", 0), 4u);
    EXPECT_EQ(LastText(), L"「現在の電力使用状況」が「ピーク時供給力」に対し、87%以上になりましたので、ECOモードに切り替えました。");
    EXPECT_EQ(s_reportAgain, std::vector<bool>{false});
    // The supply warning with the switch flag: a toast, answered No.
    EXPECT_EQ(peakcut::PeakCutPrompt(nullptr, true, peakcut::kKindSupplyWarning), IDNO);
    EXPECT_EQ(Toasts(), before + 2);
    EXPECT_EQ(LastText(), L"「現在の電力使用状況」が「ピーク時供給力」に対し、95%以上になりました。画面の輝度を下げる、電源オフするなど節電にご協力ください。");
    // With the desktop in front the library is asked again and the toast is not used.
    ASSERT_EQ(RunSimctl(L"display-mode 1").exitCode, 0u);
    EXPECT_FALSE(toast::ToastModeWanted());
}
