// simctl driving the simulated PC: the ECO button reaches the "Solvane" window, the colour
// utility answers 0x800, monitor failures are scripted for dxva2.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/handles.h"
#include "sim/simlib/simlib.h"
#include "tests/support/simctl_run.h"

namespace {

constexpr DWORD RUN_WAIT_MS = 30000;
constexpr UINT WM_ECO_BUTTON = 0x53C;
constexpr UINT WM_ECO_BUTTON_NEXT = 0x53D;
constexpr UINT WM_COLOUR_MAY_SET = 0x800;
constexpr DWORD COLOUR_TIMEOUT_MS = 5000;
constexpr wchar_t COLOUR_CLASS[] = L"AVDmClass";
constexpr wchar_t COLOUR_TITLE[] = L"Velumiの設定-常駐監視";

using RunResult = testsupport::SimctlRun;

RunResult RunSimctl(const std::wstring& arguments) { return testsupport::RunSimctlCommand(arguments); }

// A stand-in for the program's hidden main window, class "Solvane".
class FakeMainWindow {
public:
    FakeMainWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Solvane";
        RegisterClassW(&wc);
        m_window.Reset(CreateWindowExW(0, L"Solvane", L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                                       nullptr));
    }
    ~FakeMainWindow() {
        m_window.Reset();
        UnregisterClassW(L"Solvane", GetModuleHandleW(nullptr));
    }
    HWND Get() const { return m_window.Get(); }

private:
    common::UniqueWindow m_window;
};

// Takes the posted messages of the given kind waiting for window; returns how many.
int TakeMessages(HWND window, UINT message, WPARAM& wParam, LPARAM& lParam) {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, window, message, message, PM_REMOVE)) {
        wParam = msg.wParam;
        lParam = msg.lParam;
        ++count;
    }
    return count;
}

TEST(SimctlEcoButton, PressEcoPostsToTheSolvaneWindow) {
    FakeMainWindow main;
    ASSERT_NE(nullptr, main.Get());
    ASSERT_EQ(main.Get(), FindWindowW(L"Solvane", nullptr)) << "another Solvane window is present";

    RunResult press = RunSimctl(L"press-eco");
    ASSERT_EQ(0u, press.exitCode) << press.output;
    WPARAM wParam = 7;
    LPARAM lParam = 7;
    EXPECT_EQ(1, TakeMessages(main.Get(), WM_ECO_BUTTON, wParam, lParam));
    EXPECT_EQ(0u, wParam);
    EXPECT_EQ(0, lParam);
    EXPECT_EQ(0, TakeMessages(main.Get(), WM_ECO_BUTTON_NEXT, wParam, lParam));

    RunResult plain = RunSimctl(L"press-eco-plain");
    ASSERT_EQ(0u, plain.exitCode) << plain.output;
    EXPECT_EQ(1, TakeMessages(main.Get(), WM_ECO_BUTTON_NEXT, wParam, lParam));
    EXPECT_EQ(0, TakeMessages(main.Get(), WM_ECO_BUTTON, wParam, lParam));
}

TEST(SimctlEcoButton, PressEcoWithoutTheWindowFailsWithAMessage) {
    ASSERT_EQ(nullptr, FindWindowW(L"Solvane", nullptr));
    RunResult press = RunSimctl(L"press-eco");
    EXPECT_NE(0u, press.exitCode);
    EXPECT_NE(std::string::npos, press.output.find("no window of class \"Solvane\"")) << press.output;
    RunResult extra = RunSimctl(L"press-eco now");
    EXPECT_EQ(2u, extra.exitCode) << extra.output;
}

class SimctlColourUtility : public testing::Test {
protected:
    void TearDown() override {
        RunSimctl(L"colour-utility off");
        simlib::DeleteTree(simlib::PieceKey(L"Colour"));
    }

    static DWORD_PTR Ask(HWND window, bool& answered) {
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(window, WM_COLOUR_MAY_SET, 0, 0, SMTO_ABORTIFHUNG, COLOUR_TIMEOUT_MS,
                                       &result) != 0;
        return result;
    }
};

TEST_F(SimctlColourUtility, AnswersOneByDefaultThenWhatItIsTold) {
    ASSERT_EQ(nullptr, FindWindowW(COLOUR_CLASS, COLOUR_TITLE));
    RunResult on = RunSimctl(L"colour-utility on");
    ASSERT_EQ(0u, on.exitCode) << on.output;
    HWND window = FindWindowW(COLOUR_CLASS, COLOUR_TITLE);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(nullptr, GetParent(window));

    bool answered = false;
    EXPECT_EQ(1u, Ask(window, answered));
    EXPECT_TRUE(answered);
    ASSERT_EQ(0u, RunSimctl(L"colour-utility answer 0").exitCode);
    EXPECT_EQ(0u, Ask(window, answered));
    EXPECT_TRUE(answered);
    EXPECT_EQ(2u, simlib::DwordOr(simlib::PieceKey(L"Colour"), L"Queries", 0));
    std::vector<std::wstring> log = simlib::ReadLog(L"Colour");
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(L"0x800(0, 0) = 1", log[0]);
    EXPECT_EQ(L"0x800(0, 0) = 0", log[1]);

    // A second "on" keeps the one window.
    ASSERT_EQ(0u, RunSimctl(L"colour-utility on").exitCode);
    EXPECT_EQ(window, FindWindowW(COLOUR_CLASS, COLOUR_TITLE));
    EXPECT_EQ(nullptr, FindWindowExW(nullptr, window, COLOUR_CLASS, COLOUR_TITLE));
}

TEST_F(SimctlColourUtility, OffEndsTheResidentProcess) {
    ASSERT_EQ(0u, RunSimctl(L"colour-utility on").exitCode);
    HWND window = FindWindowW(COLOUR_CLASS, COLOUR_TITLE);
    ASSERT_NE(nullptr, window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    EXPECT_NE(GetCurrentProcessId(), pid);
    common::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    ASSERT_TRUE(process);

    RunResult off = RunSimctl(L"colour-utility off");
    ASSERT_EQ(0u, off.exitCode) << off.output;
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process.Get(), 5000));
    EXPECT_EQ(nullptr, FindWindowW(COLOUR_CLASS, COLOUR_TITLE));
    EXPECT_EQ(0u, simlib::DwordOr(simlib::PieceKey(L"Colour"), L"Pid", 1));
    EXPECT_EQ(0u, RunSimctl(L"colour-utility off").exitCode) << "ending it twice is harmless";
    EXPECT_EQ(2u, RunSimctl(L"colour-utility sideways").exitCode);
    EXPECT_EQ(2u, RunSimctl(L"colour-utility answer -1").exitCode);
}

TEST_F(SimctlColourUtility, SlowAnswerMakesTheCallerTimeOut) {
    ASSERT_EQ(0u, RunSimctl(L"colour-utility delay 1500").exitCode);
    ASSERT_EQ(0u, RunSimctl(L"colour-utility on").exitCode);
    HWND window = FindWindowW(COLOUR_CLASS, COLOUR_TITLE);
    ASSERT_NE(nullptr, window);
    DWORD_PTR result = 0;
    EXPECT_EQ(0, SendMessageTimeoutW(window, WM_COLOUR_MAY_SET, 0, 0, SMTO_ABORTIFHUNG, 300, &result));
    ASSERT_EQ(0u, RunSimctl(L"colour-utility delay 0").exitCode);
}

class SimctlMonitors : public testing::Test {
protected:
    void TearDown() override {
        simlib::DeleteTree(simlib::PieceKey(L"Dxva2", L"Failures"));
        simlib::WriteDword(simlib::PieceKey(L"Dxva2"), L"Monitors", 2);
    }
    static std::wstring FailureKey(const wchar_t* f) { return simlib::PieceKey(L"Dxva2", L"Failures") + L"\\" + f; }
};

TEST_F(SimctlMonitors, MonitorFailScriptsTheNextCalls) {
    RunResult fail = RunSimctl(L"monitor-fail GetMonitorBrightness 3 0xC0262589");
    ASSERT_EQ(0u, fail.exitCode) << fail.output;
    EXPECT_EQ(3u, simlib::DwordOr(FailureKey(L"GetMonitorBrightness"), L"Count", 0));
    EXPECT_EQ(0xC0262589u, simlib::DwordOr(FailureKey(L"GetMonitorBrightness"), L"Error", 0));

    ASSERT_EQ(0u, RunSimctl(L"monitor-fail setvcpfeature always").exitCode);
    EXPECT_EQ(simlib::FAIL_FOREVER, simlib::DwordOr(FailureKey(L"SetVCPFeature"), L"Count", 0));
    EXPECT_EQ(0xC0262582u, simlib::DwordOr(FailureKey(L"SetVCPFeature"), L"Error", 0));

    ASSERT_EQ(0u, RunSimctl(L"monitor-fail SetMonitorBrightness 1 NOT_APPLIED").exitCode);
    EXPECT_EQ(0u, simlib::DwordOr(FailureKey(L"SetMonitorBrightness"), L"Error", 9));
    ASSERT_EQ(0u, RunSimctl(L"monitor-fail GetCapabilitiesStringLength 2 ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS")
                      .exitCode);
    EXPECT_EQ(0xC026258Du, simlib::DwordOr(FailureKey(L"GetCapabilitiesStringLength"), L"Error", 0));

    RunResult list = RunSimctl(L"monitors");
    ASSERT_EQ(0u, list.exitCode);
    EXPECT_NE(std::string::npos, list.output.find("GetMonitorBrightness: the next 3 call(s) fail with 0xC0262589"))
        << list.output;
    EXPECT_NE(std::string::npos, list.output.find("model SV-E2410")) << list.output;
    EXPECT_NE(std::string::npos, list.output.find("model SV-W2790")) << list.output;

    ASSERT_EQ(0u, RunSimctl(L"monitor-fail GetMonitorBrightness 0").exitCode);
    DWORD count = 0;
    EXPECT_NE(ERROR_SUCCESS, simlib::ReadDword(FailureKey(L"GetMonitorBrightness"), L"Count", count));
}

TEST_F(SimctlMonitors, BadArgumentsChangeNothing) {
    EXPECT_EQ(2u, RunSimctl(L"monitor-fail GetMonitorBrightnes 3").exitCode);
    EXPECT_EQ(2u, RunSimctl(L"monitor-fail GetMonitorBrightness -1").exitCode);
    EXPECT_EQ(2u, RunSimctl(L"monitor-fail GetMonitorBrightness 2 0x1FFFFFFFF").exitCode);
    EXPECT_EQ(2u, RunSimctl(L"monitor-fail GetMonitorBrightness 2 BOGUS").exitCode);
    EXPECT_EQ(2u, RunSimctl(L"monitor-plug 3").exitCode);
    DWORD count = 0;
    EXPECT_NE(ERROR_SUCCESS, simlib::ReadDword(FailureKey(L"GetMonitorBrightness"), L"Count", count));
    EXPECT_EQ(2u, simlib::DwordOr(simlib::PieceKey(L"Dxva2"), L"Monitors", 0));
    ASSERT_EQ(0u, RunSimctl(L"monitor-plug 1").exitCode);
    EXPECT_EQ(1u, simlib::DwordOr(simlib::PieceKey(L"Dxva2"), L"Monitors", 0));
    RunResult status = RunSimctl(L"status");
    EXPECT_NE(std::string::npos, status.output.find("[monitors]")) << status.output;
    EXPECT_NE(std::string::npos, status.output.find("[colour utility]")) << status.output;
    EXPECT_NE(std::string::npos, status.output.find("monitor 2 (unplugged)")) << status.output;
}

}  // namespace

namespace {

class SimctlMaker : public testing::Test {
protected:
    void TearDown() override {
        RunSimctl(L"tessit-answer off");
        RunSimctl(L"cmos-mode off");
        RunSimctl(L"display-mode 1");
    }
    static bool HasValue(const wchar_t* piece, const wchar_t* name) {
        DWORD value = 0;
        return simlib::ReadDword(simlib::PieceKey(piece), name, value) == ERROR_SUCCESS;
    }
};

TEST_F(SimctlMaker, AnswersAreSetAndClearedAndBadValuesRefused) {
    ASSERT_EQ(0u, RunSimctl(L"tessit-answer 0x0304").exitCode);
    EXPECT_EQ(0x0304u, simlib::DwordOr(simlib::PieceKey(L"Tessit"), L"Answer", 0));
    EXPECT_EQ(2u, RunSimctl(L"tessit-answer 0x10000").exitCode);
    EXPECT_EQ(0x0304u, simlib::DwordOr(simlib::PieceKey(L"Tessit"), L"Answer", 0));
    ASSERT_EQ(0u, RunSimctl(L"tessit-answer off").exitCode);
    EXPECT_FALSE(HasValue(L"Tessit", L"Answer"));

    ASSERT_EQ(0u, RunSimctl(L"cmos-mode 0x81").exitCode);
    EXPECT_EQ(0x81u, simlib::DwordOr(simlib::PieceKey(L"Vexapi"), L"BrightModeOverride", 0));
    EXPECT_EQ(2u, RunSimctl(L"cmos-mode 256").exitCode);
    ASSERT_EQ(0u, RunSimctl(L"cmos-mode auto").exitCode);
    EXPECT_EQ(1u, simlib::DwordOr(simlib::PieceKey(L"Vexapi"), L"BrightModeOverride", 0));
    ASSERT_EQ(0u, RunSimctl(L"cmos-mode off").exitCode);
    EXPECT_FALSE(HasValue(L"Vexapi", L"BrightModeOverride"));

    ASSERT_EQ(0u, RunSimctl(L"display-mode 2").exitCode);
    EXPECT_EQ(2u, simlib::DwordOr(simlib::PieceKey(L"Yarrow"), L"DisplayMode", 0));
    EXPECT_EQ(2u, RunSimctl(L"display-mode front").exitCode);
    EXPECT_EQ(2u, simlib::DwordOr(simlib::PieceKey(L"Yarrow"), L"DisplayMode", 0));
}

TEST_F(SimctlMaker, MakerLogShowsTheCallsAndStatusTheState) {
    common::UniqueModule yarrow(LoadLibraryW(L"Yarrow.dll"));
    ASSERT_TRUE(yarrow);
    using Fn = HRESULT(WINAPI*)();
    auto init = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(yarrow.Get(), "Yarrow_Initialize")));
    auto fini = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(yarrow.Get(), "Yarrow_Finalize")));
    ASSERT_TRUE(init && fini);
    ASSERT_EQ(0u, RunSimctl(L"maker-log yarrow --clear").exitCode);
    ASSERT_EQ(S_OK, init());
    ASSERT_EQ(S_OK, fini());
    RunResult log = RunSimctl(L"maker-log yarrow");
    ASSERT_EQ(0u, log.exitCode);
    EXPECT_EQ("Yarrow_Initialize() = 0x00000000\nYarrow_Finalize() = 0x00000000\n", log.output);
    EXPECT_EQ(2u, RunSimctl(L"maker-log morrow").exitCode);

    ASSERT_EQ(0u, RunSimctl(L"tessit-answer 0x0102").exitCode);
    RunResult status = RunSimctl(L"status");
    EXPECT_NE(std::string::npos, status.output.find("[maker DLLs]")) << status.output;
    EXPECT_NE(std::string::npos, status.output.find("answer fixed at 0x0102")) << status.output;
    EXPECT_NE(std::string::npos, status.output.find("Yarrow: display mode 1")) << status.output;
}

}  // namespace

namespace {

// --- the notification-area icon and window waits ------------------------------------------------

constexpr UINT WM_TRAY_CALLBACK = WM_USER + 2;

struct TrayClickCase {
    const wchar_t* arguments;
    int messages;        // callback messages posted (the button-down comes before the button-up)
    LPARAM lastMessage;  // the mouse message of the last one
};

TEST(SimctlTray, ClicksPostTheIconCallbackTheProgramActsOn) {
    const TrayClickCase cases[] = {
        {L"tray-click left", 2, WM_LBUTTONUP},
        {L"tray-click right", 2, WM_RBUTTONUP},
        {L"tray-click double", 1, WM_LBUTTONDBLCLK},
    };
    FakeMainWindow main;
    ASSERT_NE(nullptr, main.Get());
    for (const TrayClickCase& c : cases) {
        RunResult run = RunSimctl(c.arguments);
        ASSERT_EQ(0u, run.exitCode) << run.output;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        EXPECT_EQ(c.messages, TakeMessages(main.Get(), WM_TRAY_CALLBACK, wParam, lParam)) << c.arguments;
        EXPECT_EQ(c.lastMessage, lParam) << c.arguments;
        EXPECT_EQ(1u, wParam) << c.arguments << ": the icon's id";
    }
}

TEST(SimctlTray, BadClicksAreRefusedAndPostNothing) {
    FakeMainWindow main;
    ASSERT_NE(nullptr, main.Get());
    for (const wchar_t* arguments : {L"tray-click", L"tray-click middle", L"tray-click left right"}) {
        RunResult run = RunSimctl(arguments);
        EXPECT_EQ(2u, run.exitCode) << arguments << ": " << run.output;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        EXPECT_EQ(0, TakeMessages(main.Get(), WM_TRAY_CALLBACK, wParam, lParam)) << arguments;
    }
}

struct WaitCase {
    const wchar_t* arguments;
    DWORD exitCode;
};

TEST(SimctlWaitWindow, AnswersForPresentMissingAndBadArguments) {
    const WaitCase cases[] = {
        {L"wait-window Solvane 0", 0},
        {L"wait-window --gone Solvane 0", 1},
        {L"wait-window NoSuchClass 0", 1},
        {L"wait-window --gone NoSuchClass 0", 0},
        {L"wait-window --title Other Solvane 0", 1},
        {L"wait-window --title Other --gone Solvane 0", 0},
        {L"wait-window", 2},
        {L"wait-window --gone", 2},
        {L"wait-window Solvane soon", 2},
        {L"wait-window Solvane 601", 2},
        {L"wait-window Solvane 1 2", 2},
    };
    FakeMainWindow main;
    ASSERT_NE(nullptr, main.Get());
    for (const WaitCase& c : cases) {
        RunResult run = RunSimctl(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.arguments << ": " << run.output;
    }
}

TEST(SimctlWaitWindow, WaitsForAWindowThatComesLater) {
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    common::UniqueHandle createdGuard(created);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    common::UniqueHandle doneGuard(done);
    std::thread late([created, done] {
        Sleep(700);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SimctlLateWindow";
        RegisterClassW(&wc);
        {
            common::UniqueWindow window(CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 12, 34, 56, 78, nullptr,
                                                        nullptr, wc.hInstance, nullptr));
            SetEvent(created);
            WaitForSingleObject(done, RUN_WAIT_MS);
        }
        UnregisterClassW(wc.lpszClassName, wc.hInstance);
    });
    RunResult run = RunSimctl(L"wait-window SimctlLateWindow 20");
    // The window came after simctl started waiting: the wait saw it.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(created, 0)) << "simctl returned before the window existed";
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(" at 12,34 size 56x78\n")) << run.output;
    SetEvent(done);
    late.join();
    RunResult gone = RunSimctl(L"wait-window --gone SimctlLateWindow 20");
    EXPECT_EQ(0u, gone.exitCode) << gone.output;
}

TEST(SimctlCloseWindow, SendsWmCloseAndFailsWithoutAWindow) {
    FakeMainWindow main;
    ASSERT_NE(nullptr, main.Get());
    RunResult wrongTitle = RunSimctl(L"close-window --title Other Solvane");
    EXPECT_EQ(1u, wrongTitle.exitCode) << wrongTitle.output;
    EXPECT_TRUE(IsWindow(main.Get()));
    // DefWindowProc destroys the window on WM_CLOSE.
    RunResult close = RunSimctl(L"close-window Solvane");
    EXPECT_EQ(0u, close.exitCode) << close.output;
    EXPECT_FALSE(IsWindow(main.Get()));
    RunResult again = RunSimctl(L"close-window Solvane");
    EXPECT_EQ(1u, again.exitCode) << again.output;
    EXPECT_NE(std::string::npos, again.output.find("no window of class \"Solvane\"")) << again.output;
    EXPECT_EQ(2u, RunSimctl(L"close-window").exitCode);
}

}  // namespace
