// The whole life of the benchmarks' minimal programs: one hidden pop-up window of its own class
// and a plain message loop until the window is destroyed.
#pragma once

#include <windows.h>

namespace benchmain {

// Handles WM_DESTROY, then the caller's procedure (null: nothing else) or DefWindowProc.
inline WNDPROC g_pfnExtra = nullptr;

inline LRESULT CALLBACK HiddenWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return g_pfnExtra != nullptr ? g_pfnExtra(hwnd, message, wParam, lParam)
                                 : DefWindowProcW(hwnd, message, wParam, lParam);
}

// Returns the exit code of WM_QUIT, or 1 when the window cannot be made.
inline int RunHiddenWindow(HINSTANCE instance, const wchar_t* className, WNDPROC extra) {
    g_pfnExtra = extra;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HiddenWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0 ||
        CreateWindowExW(0, className, className, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr) ==
            nullptr) {
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace benchmain
