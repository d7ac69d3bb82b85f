#include "app/main_window.h"

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/tray_dispatch.h"
#include "common/log.h"

namespace {

constexpr wchar_t kTraceName[] = L"WndProc";

LRESULT OnCreate(HWND hwnd) {
    // The event sources of the resident program (common controls, session, power-setting and
    // device notifications, brightness, hotkey, LED timer) are registered here as they join.
    g_hMainWnd = hwnd;
    return 0;
}

void OnDestroy() {
    // The settings are saved, the notifications unregistered and the worker threads joined here
    // before the run flag goes down, as those subsystems join.
    g_bRunFlag = false;
    g_hPlanListLock.Reset();
    g_hHiddenButton = nullptr;
    g_hMainWnd = nullptr;
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY: run flag cleared, quitting");
    PostQuitMessage(0);
}

LRESULT OnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDM_MINIMIZE_TO_TRAY:
        // The notification-area icon joins here; without it the window simply stays hidden.
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND %u: minimise to the notification area (code %u)",
                  LOWORD(wParam), HIWORD(wParam));
        return 0;
    case IDM_EXIT:
        // ECO mode operation asks for confirmation first once the settings join.
        DestroyWindow(hwnd);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void OnEcoSettingsRequest() {
    // The ECO mode settings dialog joins here.
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_USER+9: ECO mode settings requested");
}

void OnPlanSettingsRequest() {
    // The power-plan settings sheet joins here.
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_USER+10: power plan settings requested");
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Tray icon, menus, hotkey and the mode notification.
    LRESULT trayResult = 0;
    if (tray::HandleTrayMessage(hwnd, message, wParam, lParam, &trayResult)) {
        return trayResult;
    }
    switch (message) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_COMMAND:
        return OnCommand(hwnd, message, wParam, lParam);
    case WM_APP_ECO_SETTINGS:
        OnEcoSettingsRequest();
        return 0;
    case WM_APP_PLAN_SETTINGS:
        OnPlanSettingsRequest();
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
