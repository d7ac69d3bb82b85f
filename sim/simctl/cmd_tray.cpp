// simctl commands for a user at the desktop: a click on the program's notification-area icon
// (the shell's callback message to the "Solvane" window) and a wait for a window to appear,
// which scripts use to know that a program is up before they drive it.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "sim/simctl/simctl.h"

namespace {

constexpr wchar_t MAIN_WINDOW_CLASS[] = L"Solvane";
constexpr UINT WM_TRAY_CALLBACK = WM_USER + 2;  // the icon's callback message
constexpr UINT TRAY_ICON_ID = 1;
constexpr long long DEFAULT_WAIT_SECONDS = 30;
constexpr long long MAX_WAIT_SECONDS = 600;
constexpr DWORD POLL_MS = 100;
constexpr UINT CLOSE_TIMEOUT_MS = 5000;

struct Click {
    const wchar_t* name;
    UINT mouseMessage;
};

constexpr Click CLICKS[] = {
    {L"left", WM_LBUTTONUP},
    {L"right", WM_RBUTTONUP},
    {L"double", WM_LBUTTONDBLCLK},
};

int RunTrayClick(const std::vector<std::wstring>& args) {
    if (args.size() != 1) {
        return simctl::UsageError(L"tray-click", L"tray-click takes one argument");
    }
    const Click* click = nullptr;
    for (const Click& candidate : CLICKS) {
        if (args[0] == candidate.name) {
            click = &candidate;
        }
    }
    if (click == nullptr) {
        return simctl::UsageError(L"tray-click", L"the click is left, right or double");
    }
    HWND window = FindWindowW(MAIN_WINDOW_CLASS, nullptr);
    if (window == nullptr) {
        simctl::Err(L"simctl tray-click: no window of class \"%ls\" (is Solvane running?)\n", MAIN_WINDOW_CLASS);
        return 1;
    }
    // The shell sends the button-down before the button-up; the program acts on the latter.
    if (click->mouseMessage == WM_LBUTTONUP || click->mouseMessage == WM_RBUTTONUP) {
        const UINT down = click->mouseMessage == WM_LBUTTONUP ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
        PostMessageW(window, WM_TRAY_CALLBACK, TRAY_ICON_ID, down);
    }
    if (!PostMessageW(window, WM_TRAY_CALLBACK, TRAY_ICON_ID, click->mouseMessage)) {
        simctl::Err(L"simctl tray-click: PostMessage failed (error %lu)\n", GetLastError());
        return 1;
    }
    simctl::Out(L"posted a %ls click of the notification-area icon to the \"%ls\" window\n", click->name,
                MAIN_WINDOW_CLASS);
    return 0;
}

// Options of the window commands: --gone, --title TEXT, then the class and an optional number.
struct WindowArgs {
    bool gone = false;
    std::wstring title;
    std::wstring className;
    std::vector<std::wstring> rest;
};

bool ParseWindowArgs(const std::vector<std::wstring>& args, bool allowGone, WindowArgs& parsed) {
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (allowGone && args[i] == L"--gone") {
            parsed.gone = true;
        } else if (args[i] == L"--title" && i + 1 < args.size()) {
            parsed.title = args[++i];
        } else {
            break;
        }
    }
    if (i >= args.size() || args[i].empty() || args[i].rfind(L"--", 0) == 0) {
        return false;
    }
    parsed.className = args[i];
    parsed.rest.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return true;
}

HWND FindWindowOf(const WindowArgs& window) {
    return FindWindowW(window.className.c_str(), window.title.empty() ? nullptr : window.title.c_str());
}

// wait-window [--gone] [--title TEXT] CLASS [SECONDS]: exit 0 as soon as a top-level window of the
// class (and title) exists, printing its place ("at X,Y size WxH"); with --gone as soon as none
// exists any more.
int RunWaitWindow(const std::vector<std::wstring>& args) {
    WindowArgs window;
    if (!ParseWindowArgs(args, true, window) || window.rest.size() > 1) {
        return simctl::UsageError(L"wait-window", L"wait-window takes a class name and an optional time-out");
    }
    long long seconds = DEFAULT_WAIT_SECONDS;
    if (window.rest.size() == 1 &&
        (!simctl::ParseNumber(window.rest[0], seconds) || seconds < 0 || seconds > MAX_WAIT_SECONDS)) {
        return simctl::UsageError(L"wait-window", L"the time-out is a whole number of seconds up to 600");
    }
    const wchar_t* className = window.className.c_str();
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        HWND found = FindWindowOf(window);
        if (window.gone && found == nullptr) {
            simctl::Out(L"no window of class \"%ls\"\n", className);
            return 0;
        }
        if (!window.gone && found != nullptr) {
            // Where it is on the screen, for a script that cuts it out of a screenshot.
            RECT rect = {};
            GetWindowRect(found, &rect);
            simctl::Out(L"window of class \"%ls\": %p at %ld,%ld size %ldx%ld\n", className, static_cast<void*>(found),
                        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
            return 0;
        }
        if (GetTickCount64() >= deadline) {
            break;
        }
        Sleep(POLL_MS);
    }
    simctl::Err(window.gone ? L"simctl wait-window: a window of class \"%ls\" is still there after %lld s\n"
                            : L"simctl wait-window: no window of class \"%ls\" after %lld s\n",
                className, seconds);
    return 1;
}

// close-window [--title TEXT] CLASS: sends WM_CLOSE as the installer and the shell do.
int RunCloseWindow(const std::vector<std::wstring>& args) {
    WindowArgs window;
    if (!ParseWindowArgs(args, false, window) || !window.rest.empty()) {
        return simctl::UsageError(L"close-window", L"close-window takes a class name");
    }
    HWND found = FindWindowOf(window);
    if (found == nullptr) {
        simctl::Err(L"simctl close-window: no window of class \"%ls\"\n", window.className.c_str());
        return 1;
    }
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(found, WM_CLOSE, 0, 0, SMTO_NORMAL, CLOSE_TIMEOUT_MS, &answer) == 0) {
        simctl::Err(L"simctl close-window: WM_CLOSE was not answered (error %lu)\n", GetLastError());
        return 1;
    }
    simctl::Out(L"sent WM_CLOSE to the \"%ls\" window\n", window.className.c_str());
    return 0;
}

}  // namespace

SIMCTL_COMMAND(L"tray-click", L"tray-click left|right|double",
               L"click the notification-area icon (posts WM_USER+2 to the Solvane window)", RunTrayClick);
SIMCTL_COMMAND(L"wait-window", L"wait-window [--gone] [--title TEXT] CLASS [SECONDS]",
               L"wait (default 30 s) until a window of the class exists (--gone: no longer exists)", RunWaitWindow);
SIMCTL_COMMAND(L"close-window", L"close-window [--title TEXT] CLASS",
               L"send WM_CLOSE to a window of the class (5 s time-out)", RunCloseWindow);
