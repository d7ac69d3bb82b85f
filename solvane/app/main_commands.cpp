#include "app/main_commands.h"

#include <strsafe.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/launchers.h"
#include "app/main_state.h"
#include "app/monitor_events.h"
#include "app/mode_dialog.h"
#include "app/plan_sheet.h"
#include "app/tray_dispatch.h"
#include "app/ui_state.h"
#include "app/tray_menu.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/text.h"
#include "common/registry.h"
#include "meter/panel_window.h"
#include "app/tray_icon.h"
#include "resources/resource.h"
#include "plans/mode_switch.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kTraceName[] = L"WndProc";
constexpr size_t kMessageChars = 1024;
constexpr size_t kStartMenuPathChars = 520;

// Exit questions: two-mode (both %s the program title), three-mode (where to start it again,
// program title).

using plans::HasFlag;

using common::LoadText;

// Where the three-mode question says the program can be started again: "StartMenuPath", else
// string 308.
void ReadStartAgainPlace(wchar_t* text, size_t cchText) noexcept {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProgramKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
        common::ReadRegString(key.Get(), L"StartMenuPath", text, cchText, common::RegText::Expandable) ==
            ERROR_SUCCESS && text[0] != L'\0') {
        return;
    }
    LoadText(IDS_QUOTED_TITLE, text, cchText);
}

// In ECO mode operation the user confirms the exit first; true when the program may end.
bool ConfirmExit(HWND hwnd) noexcept {
    if (!HasFlag(plans::FLAG_ECO)) {
        return true;
    }
    wchar_t format[kMessageChars];
    wchar_t text[kMessageChars];
    HRESULT formatted;
    if (plans::IsThreeMode(plans::g_Settings.blob.dwFlagWord)) {
        wchar_t place[kStartMenuPathChars];
        ReadStartAgainPlace(place, ARRAYSIZE(place));
        LoadText(IDS_EXIT_QUESTION_THREE_MODE, format, ARRAYSIZE(format));
        formatted = StringCchPrintfW(text, ARRAYSIZE(text), format, place, g_szProgramTitle);
    } else {
        LoadText(IDS_EXIT_QUESTION_TWO_MODE, format, ARRAYSIZE(format));
        formatted = StringCchPrintfW(text, ARRAYSIZE(text), format, g_szProgramTitle, g_szProgramTitle);
    }
    if (FAILED(formatted) && formatted != STRSAFE_E_INSUFFICIENT_BUFFER) {
        StringCchCopyW(text, ARRAYSIZE(text), format);
    }
    return MessageBoxW(hwnd, text, g_szProgramTitle, MB_ICONWARNING | MB_YESNO) == IDYES;
}

bool OnExit(HWND hwnd, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND exit");
    if (!ConfirmExit(hwnd)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"exit cancelled");
        return true;
    }
    if (HWND panel = meter::MeterPanelWindow()) {
        SendMessageW(panel, meter::WM_PANEL_END_BOOST, 0, 0);
    }
    DestroyWindow(hwnd);
    return true;
}

bool OnMinimizeToTray(HWND hwnd, WPARAM wParam, LPARAM) {
    if (HWND panel = meter::MeterPanelWindow()) {
        ShowWindow(panel, SW_HIDE);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND %u: minimise to the notification area (code %u)",
              LOWORD(wParam), HIWORD(wParam));
    tray::MinimizeToTray(hwnd);
    return true;
}

bool OnRestorePanel(HWND hwnd, WPARAM wParam, LPARAM) {
    HWND panel = meter::MeterPanelWindow();
    if (!ui::PanelConfigured() || panel == nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND %u: no panel to restore", LOWORD(wParam));
        return true;
    }
    tray::DeleteTrayIcon(hwnd);
    ui::SetTrayOnly(false);
    meter::ResetPanelButtons();
    ShowWindow(panel, SW_SHOWNORMAL);
    SetActiveWindow(panel);
    meter::RelayoutPanel(panel);   // error 32 when the work area cannot be read
    InvalidateRect(panel, nullptr, FALSE);
    return true;
}

// Opening the ECO mode settings dialog (48) and the power-plan settings sheet (56). The guard
// covers only the questions before the window; while the modal window runs, a second request
// (its message loop dispatches them here) brings it to the front.
bool OpenSettings(HWND hwnd, WORD id, LPARAM lParam) {
    static bool s_bAsking = false;
    static bool s_bWindowRunning = false;
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND %u lParam %d", id, static_cast<int>(lParam));
    if (s_bAsking) {
        return true;
    }
    s_bAsking = true;
    const bool sheet = id == IDM_PLAN_SETTINGS;
    const bool passed = plans::PassPlanWindowGuards(hwnd, sheet);
    s_bAsking = false;
    if (!passed) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"settings refused by the guards");
        return true;
    }
    if (s_bWindowRunning) {
        // (While the window is still being created there is nothing to bring forward yet.)
        ui::FocusOpenSettingsDialog();
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"settings already open: brought to the front");
        return true;
    }
    if (lParam == kRequestFromOutside) {
        g_MainState.bOpenAtWorkArea = true;
    }
    if (g_MainState.bOpenAtWorkArea) {
        RECT workArea{};
        if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
            g_MainState.ptDialog = POINT{workArea.right, workArea.bottom};
        }
    }
    s_bWindowRunning = true;
    if (sheet) {
        // The sheet's owner: a window handle passed by the requester, else this window.
        HWND requester = reinterpret_cast<HWND>(lParam);
        HWND parent = lParam != 0 && lParam != kRequestFromOutside && IsWindow(requester) ? requester : hwnd;
        app::OpenPlanSheet(parent);
    } else {
        // The ECO mode settings dialog (1178 three-mode, 1313 two-mode); afterwards the plan may
        // have changed: 0x403 to the meter panel when it exists, else to this window.
        OpenModeDialog(hwnd, g_MainState.ptDialog);
        HWND panel = meter::MeterPanelWindow();
        PostMessageW(panel != nullptr ? panel : hwnd, WM_APP_PLAN_CHANGED, 0, 0);
    }
    g_MainState.bOpenAtWorkArea = false;
    g_MainState.hSettingsDialog = nullptr;
    s_bWindowRunning = false;
    return true;
}

bool OnOpenSettings(HWND hwnd, WPARAM wParam, LPARAM lParam) { return OpenSettings(hwnd, LOWORD(wParam), lParam); }

bool OnSettingsAlias(HWND hwnd, WPARAM, LPARAM lParam) {
    const WORD target = HasFlag(plans::FLAG_ECO) ? IDM_ECO_SETTINGS : IDM_PLAN_SETTINGS;
    if (HasFlag(plans::FLAG_TRAY_ONLY)) {
        lParam = kRequestFromOutside;
    }
    return OpenSettings(hwnd, target, lParam);
}

bool OnPlanCommand(HWND, WPARAM wParam, LPARAM) {
    const WORD id = LOWORD(wParam);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_COMMAND %u: plan selection", id);
    // The plan the menu showed for this command (a grayed or unread item names none); a command
    // no menu showed is resolved from the list as it stands.
    const GUID none = {};
    const GUID* shown = nullptr;
    for (const tray::MenuPlanItem& item : tray::CurrentMenuItems()) {
        if (item.uId == id) {
            shown = item.bFound && !item.bGrayed ? &item.guid : &none;
            break;
        }
    }
    const DWORD result = plans::SelectPlanFromMenu(id, shown);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"plan selection %u: %u", id, result);
    return true;
}

bool OnEnergyViewer(HWND, WPARAM, LPARAM) {
    LaunchEnergyViewer();
    return true;
}

struct CommandEntry {
    WORD first;  // ids first..last
    WORD last;
    bool (*handler)(HWND hwnd, WPARAM wParam, LPARAM lParam);
};

// One line per command (or range); the monitor refresh (65) joins with its code.
constexpr CommandEntry kCommands[] = {
    {IDM_ECO_SETTINGS, IDM_ECO_SETTINGS, OnOpenSettings},
    {IDM_EXIT, IDM_EXIT, OnExit},
    {IDM_MINIMIZE_TO_TRAY, IDM_MINIMIZE_TO_TRAY, OnMinimizeToTray},
    {IDM_RESTORE_PANEL, IDM_RESTORE_PANEL, OnRestorePanel},
    {IDM_PLAN_SETTINGS, IDM_PLAN_SETTINGS, OnOpenSettings},
    {IDM_SETTINGS_ALIAS, IDM_SETTINGS_ALIAS, OnSettingsAlias},
    {IDM_ENERGY_VIEWER, IDM_ENERGY_VIEWER, OnEnergyViewer},
    {IDM_PLAN_PINNED3, IDM_PLAN_PINNED1, OnPlanCommand},
    {IDM_MONITOR_INFO, IDM_MONITOR_INFO, OnMonitorRefreshCommand},
    {IDM_MONITOR_REFRESH, IDM_MONITOR_REFRESH, OnMonitorRefreshCommand},
    {IDM_PLAN_OTHER_FIRST, IDM_PLAN_OTHER_FIRST + kMaxOtherPlanCommands - 1, OnPlanCommand},
};

}  // namespace

bool OnMainCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const WORD id = LOWORD(wParam);
    for (const CommandEntry& entry : kCommands) {
        if (id >= entry.first && id <= entry.last) {
            return entry.handler(hwnd, wParam, lParam);
        }
    }
    return false;
}
