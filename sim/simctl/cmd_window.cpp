// simctl window commands: the ECO button (messages to the program's main window) and the colour
// utility's resident window that answers "may brightness be set now?".
//
// Colour utility state, HKLM\Software\SimulatedPC\Colour:
//   "Answer"        REG_DWORD  what the window answers to 0x800 (default 1 = brightness may be set)
//   "AnswerDelayMs" REG_DWORD  the window sleeps this long before answering (default 0; longer
//                              than the caller's time-out makes its SendMessageTimeout fail)
//   "Queries"       REG_DWORD  0x800 messages answered since the utility started
//   "Pid"           REG_DWORD  process id of the running utility (0 when none)
//   "CallLog", "CallCount": one line per query, "0x800(0, 0) = 1" (see sim/simlib/simlib.h)
#include <windows.h>

#include <string>

#include "common/handles.h"
#include "sim/simctl/simctl.h"
#include "sim/simlib/simlib.h"

namespace {

constexpr wchar_t MAIN_WINDOW_CLASS[] = L"Solvane";
constexpr UINT WM_ECO_BUTTON = 0x53C;        // ECO button press
constexpr UINT WM_ECO_BUTTON_NEXT = 0x53D;   // a further press: advance the mode selection
constexpr UINT WM_COLOUR_MAY_SET = 0x800;    // may brightness be set now? 1 = yes

constexpr wchar_t COLOUR_PIECE[] = L"Colour";
constexpr wchar_t COLOUR_CLASS[] = L"AVDmClass";
constexpr wchar_t COLOUR_TITLE[] = L"Velumiの設定-常駐監視";
constexpr wchar_t RESIDENT_COMMAND[] = L"colour-utility-resident";
constexpr DWORD DEFAULT_ANSWER = 1;
constexpr DWORD START_WAIT_MS = 10000;
constexpr DWORD STOP_WAIT_MS = 5000;
constexpr DWORD POLL_MS = 50;
constexpr DWORD MAX_ANSWER_DELAY_MS = 60000;

std::wstring ColourKey() { return simlib::PieceKey(COLOUR_PIECE); }

// --- ECO button ---------------------------------------------------------------------------------

int PostToMainWindow(UINT message, const wchar_t* command) {
    HWND window = FindWindowW(MAIN_WINDOW_CLASS, nullptr);
    if (window == nullptr) {
        simctl::Err(L"simctl %ls: no window of class \"%ls\" (is Solvane running?)\n", command, MAIN_WINDOW_CLASS);
        return 1;
    }
    if (!PostMessageW(window, message, 0, 0)) {
        simctl::Err(L"simctl %ls: PostMessage failed (error %lu)\n", command, GetLastError());
        return 1;
    }
    simctl::Out(L"posted 0x%03X to the \"%ls\" window\n", message, MAIN_WINDOW_CLASS);
    return 0;
}

int RunPressEco(const std::vector<std::wstring>& args) {
    if (!args.empty()) {
        return simctl::UsageError(L"press-eco", L"press-eco takes no arguments");
    }
    return PostToMainWindow(WM_ECO_BUTTON, L"press-eco");
}

int RunPressEcoPlain(const std::vector<std::wstring>& args) {
    if (!args.empty()) {
        return simctl::UsageError(L"press-eco-plain", L"press-eco-plain takes no arguments");
    }
    return PostToMainWindow(WM_ECO_BUTTON_NEXT, L"press-eco-plain");
}

SIMCTL_COMMAND(L"press-eco", L"press-eco", L"press the ECO button (posts 0x53C to the Solvane window)", RunPressEco);
SIMCTL_COMMAND(L"press-eco-plain", L"press-eco-plain", L"post 0x53D (a further press) to the Solvane window",
               RunPressEcoPlain);

// --- the colour utility's resident window ----------------------------------------------------------

HWND FindColourWindow() { return FindWindowW(COLOUR_CLASS, COLOUR_TITLE); }

LRESULT OnMayBrightnessBeSet() {
    std::wstring key = ColourKey();
    DWORD delay = simlib::DwordOr(key, L"AnswerDelayMs", 0);
    if (delay > 0) {
        Sleep(delay < MAX_ANSWER_DELAY_MS ? delay : MAX_ANSWER_DELAY_MS);
    }
    DWORD answer = simlib::DwordOr(key, L"Answer", DEFAULT_ANSWER);
    simlib::WriteDword(key, L"Queries", simlib::DwordOr(key, L"Queries", 0) + 1);
    simlib::LogCall(COLOUR_PIECE, L"0x800(0, 0) = %lu", answer);
    return static_cast<LRESULT>(answer);
}

LRESULT CALLBACK ColourWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COLOUR_MAY_SET:
        return OnMayBrightnessBeSet();
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The resident process: one hidden top-level window until WM_CLOSE.
int RunColourResident(const std::vector<std::wstring>&) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ColourWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = COLOUR_CLASS;
    if (RegisterClassW(&wc) == 0) {
        simctl::Err(L"simctl: RegisterClass failed (error %lu)\n", GetLastError());
        return 1;
    }
    common::UniqueWindow window(CreateWindowExW(0, COLOUR_CLASS, COLOUR_TITLE, WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                                nullptr, wc.hInstance, nullptr));
    if (!window) {
        simctl::Err(L"simctl: CreateWindow failed (error %lu)\n", GetLastError());
        return 1;
    }
    simlib::WriteDword(ColourKey(), L"Queries", 0);
    simlib::WriteDword(ColourKey(), L"Pid", GetCurrentProcessId());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    window.Release();  // already destroyed by WM_CLOSE
    simlib::WriteDword(ColourKey(), L"Pid", 0);
    return 0;
}

int StartColourUtility() {
    if (FindColourWindow() != nullptr) {
        simctl::Out(L"the colour utility is already running\n");
        return 0;
    }
    wchar_t self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        simctl::Err(L"simctl colour-utility: cannot find simctl.exe itself\n");
        return 1;
    }
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + RESIDENT_COMMAND;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    // No inherited handles: the resident process must not keep the caller's output pipe open.
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                        &pi)) {
        simctl::Err(L"simctl colour-utility: cannot start the resident process (error %lu)\n", GetLastError());
        return 1;
    }
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle thread(pi.hThread);
    for (DWORD waited = 0; waited < START_WAIT_MS; waited += POLL_MS) {
        if (FindColourWindow() != nullptr) {
            simctl::Out(L"the colour utility runs (process %lu)\n", pi.dwProcessId);
            return 0;
        }
        if (WaitForSingleObject(process.Get(), POLL_MS) == WAIT_OBJECT_0) {
            break;
        }
    }
    TerminateProcess(process.Get(), 1);
    simctl::Err(L"simctl colour-utility: the resident window did not appear\n");
    return 1;
}

int StopColourUtility() {
    HWND window = FindColourWindow();
    if (window == nullptr) {
        simctl::Out(L"the colour utility is not running\n");
        return 0;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    common::UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (process && WaitForSingleObject(process.Get(), STOP_WAIT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), STOP_WAIT_MS);
        simlib::WriteDword(ColourKey(), L"Pid", 0);
    }
    if (FindColourWindow() != nullptr) {
        simctl::Err(L"simctl colour-utility: the window is still there\n");
        return 1;
    }
    simctl::Out(L"the colour utility has ended\n");
    return 0;
}

bool ParseDword(const std::wstring& text, DWORD& value) {
    long long parsed = 0;
    if (!simctl::ParseNumber(text, parsed) || parsed < 0 || parsed > 0xFFFFFFFFLL) {
        return false;
    }
    value = static_cast<DWORD>(parsed);
    return true;
}

int RunColourUtility(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"colour-utility";
    if (args.empty()) {
        return simctl::UsageError(name, L"say on, off, answer N or delay MS");
    }
    const std::wstring& what = args[0];
    if (what == L"on" && args.size() == 1) {
        return StartColourUtility();
    }
    if (what == L"off" && args.size() == 1) {
        return StopColourUtility();
    }
    DWORD value = 0;
    if ((what == L"answer" || what == L"delay") && args.size() == 2) {
        if (!ParseDword(args[1], value)) {
            return simctl::UsageError(name, L"the value must be a whole number 0 or more");
        }
        LONG rc = simlib::WriteDword(ColourKey(), what == L"answer" ? L"Answer" : L"AnswerDelayMs", value);
        if (rc != ERROR_SUCCESS) {
            simctl::Err(L"simctl colour-utility: cannot write the setting (error %ld)\n", rc);
            return 1;
        }
        simctl::Out(what == L"answer" ? L"the colour utility answers %lu\n" : L"the colour utility answers after %lu ms\n",
                    value);
        return 0;
    }
    return simctl::UsageError(name, L"say on, off, answer N or delay MS");
}

SIMCTL_COMMAND(L"colour-utility", L"colour-utility on|off|answer N|delay MS",
               L"start or end the colour utility's window, or set its answer to 0x800", RunColourUtility);
SIMCTL_COMMAND(RESIDENT_COMMAND, L"colour-utility-resident",
               L"(started by colour-utility on) the utility's resident window", RunColourResident);

void PrintColourStatus() {
    std::wstring key = ColourKey();
    HWND window = FindColourWindow();
    simctl::Out(L"  running: %ls\n", window != nullptr ? L"yes" : L"no");
    simctl::Out(L"  answer to 0x800: %lu\n", simlib::DwordOr(key, L"Answer", DEFAULT_ANSWER));
    simctl::Out(L"  answer delay: %lu ms\n", simlib::DwordOr(key, L"AnswerDelayMs", 0));
    simctl::Out(L"  queries answered: %lu\n", simlib::DwordOr(key, L"Queries", 0));
}

SIMCTL_STATUS(L"colour utility", PrintColourStatus);

}  // namespace
