// Until the mode-switch notification window joins the build, its class refuses every window, so
// that an ECO-button press opens nothing instead of an empty window. This file goes away when
// the window's own procedure arrives.
#include "app/notify_window.h"

#include "common/log.h"

LRESULT CALLBACK EcoOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE || message == WM_CREATE) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"EcoOsdWndProc", L"notification window not available");
        return message == WM_NCCREATE ? FALSE : -1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
