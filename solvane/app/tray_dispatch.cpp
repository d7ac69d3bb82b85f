#include "app/tray_dispatch.h"

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/hotkey.h"
#include "app/main_state.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "app/ui_state.h"
#include "common/log.h"

namespace tray {
namespace {

constexpr wchar_t kTraceName[] = L"WndProc";
constexpr UINT WM_APP_CPU_SPEED = WM_USER + 1;
constexpr UINT WM_APP_PLAN_CHANGED = WM_USER + 3;
constexpr WPARAM kPlanChangedNotify = 1;

UINT g_uTaskbarCreated = 0;
int g_nAddRetries = 0;

void OnCreate(HWND hwnd) noexcept {
    g_uTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    UseEcoIconTable(ui::EcoOperation());
    hotkey::RegisterStoredHotkey(hwnd);
}

void OnDestroy(HWND hwnd) noexcept {
    KillTimer(hwnd, kTrayAddRetryTimerId);
    if (ui::TrayOnly() || GetTrayIconState().bAdded) {
        DeleteTrayIcon(hwnd);
    }
    hotkey::UnregisterMainHotkey(hwnd);
}

void OnTrayAdded(HWND hwnd) noexcept {
    KillTimer(hwnd, kTrayAddRetryTimerId);
    g_nAddRetries = 0;
    ShowWindow(hwnd, SW_HIDE);
    UpdateTrayIcon(hwnd, false);
    ui::SetTrayOnly(true);
}

void OnAddRetryTimer(HWND hwnd) noexcept {
    if (AddTrayIcon(hwnd)) {
        OnTrayAdded(hwnd);
        return;
    }
    if (++g_nAddRetries >= kTrayAddRetryLimit) {
        KillTimer(hwnd, kTrayAddRetryTimerId);
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"tray icon: the shell never answered");
    }
}

void OnTaskbarCreated(HWND hwnd) noexcept {
    if (ui::TrayOnly()) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"TaskbarCreated: putting the tray icon back");
        RestoreTrayIcon(hwnd);
    } else if (GetTrayIconState().bAdded || g_nAddRetries > 0) {
        // The first add is still waiting for the shell: it is ready now.
        OnAddRetryTimer(hwnd);
    }
}

bool OnTimer(HWND hwnd, WPARAM id) noexcept {
    switch (id) {
    case kLeftClickTimerId:
        OnLeftClickTimer(hwnd);
        return true;
    case kEcoMenuTimerId:
        OnEcoMenuTimer(hwnd);
        return true;
    case kTrayAddRetryTimerId:
        OnAddRetryTimer(hwnd);
        return true;
    default:
        return false;
    }
}

// ECO button without ECO mode operation (or with ECO input suppressed): the pop-up menu.
void OnEcoButton(HWND hwnd, LPARAM) noexcept {
    if (EcoButtonMenuOpen()) {
        CloseEcoButtonMenu(hwnd);
        return;
    }
    if (ui::FocusOpenSettingsDialog()) {
        return;
    }
    POINT anchor = {};
    ClientToScreen(hwnd, &anchor);
    ShowEcoButtonMenu(hwnd, anchor);
}

}  // namespace

UINT TaskbarCreatedMessage() noexcept { return g_uTaskbarCreated; }

void MinimizeToTray(HWND hwnd) noexcept {
    // A second request (the system menu's minimise) finds the icon there already: adding it again
    // would fail and be retried for nothing.
    if (GetTrayIconState().bAdded || AddTrayIcon(hwnd)) {
        OnTrayAdded(hwnd);
        return;
    }
    // The shell may not be up yet (start at log-on): try again until it answers or announces
    // itself with "TaskbarCreated".
    g_nAddRetries = 1;
    SetTimer(hwnd, kTrayAddRetryTimerId, kTrayAddRetryMs, nullptr);
}

bool HandleTrayMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) noexcept {
    *result = 0;
    switch (message) {
    case WM_CREATE:
        OnCreate(hwnd);
        return false;  // the main window's own creation follows
    case WM_DESTROY:
        OnDestroy(hwnd);
        return false;
    case WM_MEASUREITEM:
        *result = OnMeasureMenuItem(hwnd, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return true;
    case WM_DRAWITEM:
        *result = OnDrawMenuItem(hwnd, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return true;
    case WM_TIMER:
        return OnTimer(hwnd, wParam);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_MINIMIZE_TO_TRAY) {
            LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND %u: minimise to the notification area (code %u)",
                      LOWORD(wParam), HIWORD(wParam));
            MinimizeToTray(hwnd);
            return true;
        }
        return false;
    case WM_APP_ECO_BUTTON:
        if (!ui::EcoInputSuppressed() && ui::EcoOperation()) {
            return false;  // the mode notification (mode switching)
        }
        OnEcoButton(hwnd, lParam);
        return true;
    case WM_APP_CPU_SPEED:
        if (lParam != 0 && ui::TrayOnly()) {
            UpdateTrayIcon(hwnd, false);
        }
        return false;
    case WM_APP_TRAY_CALLBACK:
        OnTrayCallback(hwnd, lParam);
        return true;
    case WM_APP_PLAN_CHANGED:
        if (ui::TrayOnly()) {
            UpdateTrayIcon(hwnd, wParam == kPlanChangedNotify);
        }
        return false;
    case WM_APP_DIALOG_POSITION:
        g_MainState.ptDialog = {static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
        return true;
    default:
        if (message != 0 && message == g_uTaskbarCreated) {
            OnTaskbarCreated(hwnd);
            return false;  // then default processing
        }
        return false;
    }
}

}  // namespace tray
