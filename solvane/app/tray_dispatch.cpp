#include "app/tray_dispatch.h"

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/hotkey.h"
#include "app/main_state.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "app/ui_state.h"
#include "meter/panel_window.h"
#include "common/log.h"

namespace tray {
namespace {

constexpr wchar_t kTraceName[] = L"WndProc";

int g_nAddRetries = 0;

void OnTrayAdded(HWND hwnd) noexcept {
    KillTimer(hwnd, IDT_TRAY_ADD_RETRY);
    g_nAddRetries = 0;
    ShowWindow(hwnd, SW_HIDE);
    UpdateTrayIcon(hwnd, false);
    ui::SetTrayOnly(true);
}

}  // namespace

void OnMainCreate(HWND hwnd) noexcept {
    g_nAddRetries = 0;
    UseEcoIconTable(ui::EcoOperation());
    hotkey::RegisterStoredHotkey(hwnd);
}

void OnMainDestroy(HWND hwnd) noexcept {
    KillTimer(hwnd, IDT_TRAY_ADD_RETRY);
    if (ui::TrayOnly() || GetTrayIconState().bAdded) {
        DeleteTrayIcon(hwnd);
    }
    hotkey::UnregisterMainHotkey(hwnd);
}

LRESULT OnMeasureItem(HWND hwnd, UINT, WPARAM, LPARAM lParam) {
    return OnMeasureMenuItem(hwnd, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
}

LRESULT OnDrawItem(HWND hwnd, UINT, WPARAM, LPARAM lParam) {
    return OnDrawMenuItem(hwnd, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
}

LRESULT OnTrayIconCallback(HWND hwnd, UINT, WPARAM, LPARAM lParam) {
    OnTrayCallback(hwnd, lParam);
    return 0;
}

LRESULT OnDialogPosition(HWND, UINT, WPARAM wParam, LPARAM lParam) {
    g_MainState.ptDialog = POINT{static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
    return 0;
}

void OnAddRetryTimer(HWND hwnd) noexcept {
    if (AddTrayIcon(hwnd)) {
        OnTrayAdded(hwnd);
        return;
    }
    if (++g_nAddRetries >= kTrayAddRetryLimit) {
        KillTimer(hwnd, IDT_TRAY_ADD_RETRY);
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

void OnEcoButtonMenu(HWND hwnd) noexcept {
    // The meter panel, when configured, existing and shown, anchors the menu and takes the Esc.
    HWND panel = meter::MeterPanelWindow();
    const bool panelShown = ui::PanelConfigured() && panel != nullptr && IsWindowVisible(panel);
    if (EcoButtonMenuOpen()) {
        CloseEcoButtonMenu(panelShown ? panel : hwnd);
        return;
    }
    if (ui::FocusOpenSettingsDialog()) {
        return;
    }
    POINT anchor = {};
    if (panelShown) {
        anchor = meter::PanelMenuAnchor(panel);
    } else {
        ClientToScreen(hwnd, &anchor);
    }
    ShowEcoButtonMenu(hwnd, anchor);
}

void MinimizeToTray(HWND hwnd) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"minimise to the notification area");
    // A second request (the system menu's minimise) finds the icon there already: adding it again
    // would fail and be retried for nothing.
    if (GetTrayIconState().bAdded || AddTrayIcon(hwnd)) {
        OnTrayAdded(hwnd);
        return;
    }
    // The shell may not be up yet (start at log-on): try again until it answers or announces
    // itself with "TaskbarCreated".
    g_nAddRetries = 1;
    SetTimer(hwnd, IDT_TRAY_ADD_RETRY, kTrayAddRetryMs, nullptr);
}

}  // namespace tray
