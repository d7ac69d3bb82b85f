#include "app/main_window.h"

#include <commctrl.h>
#include <wtsapi32.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/eco_level.h"
#include "app/help.h"
#include "app/main_commands.h"
#include "app/main_state.h"
#include "app/panel_display_dialog.h"
#include "app/notify_window.h"
#include "app/monitor_events.h"
#include "app/power_events.h"
#include "app/ui_state.h"
#include "app/thread_pause.h"
#include "app/peakcut_question.h"
#include "app/tray_dispatch.h"
#include "battery/auto_change.h"
#include "battery/battery.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "app/yarrow_toast.h"
#include "common/dpi.h"
#include "common/log.h"
#include "display/display.h"
#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "meter/panel_window.h"
#include "meter/speed_monitor.h"
#include "peakcut/peakcut.h"
#include "plans/guid_text.h"
#include "plans/mode_led.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kTraceName[] = L"WndProc";
constexpr DWORD kAllControlClasses = 0xFF;
constexpr DWORD kBeforeLedRefreshMs = 200;
constexpr DWORD kAfterLedRefreshMs = 300;
constexpr int kSessionRegisterRetries = 20;
constexpr DWORD kSessionRegisterRetryMs = 1000;

using plans::HasFlag;
using ui::EcoInputSuppressed;
using ui::EcoOperation;

// --- Creation and destruction ----------------------------------------------------------------

void ComputeDpiFactors() noexcept {
    const common::DpiFactors dpi = common::ScreenDpiFactors();
    g_MainState.fDpiX = dpi.x;
    g_MainState.fDpiY = dpi.y;
}

void RegisterSessionNotification(HWND hwnd) noexcept {
    bool registered = WTSRegisterSessionNotification(hwnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
    for (int retry = 0; !registered && retry < kSessionRegisterRetries; ++retry) {
        Sleep(kSessionRegisterRetryMs);
        registered = WTSRegisterSessionNotification(hwnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
    }
    g_MainState.bSessionNotification = registered;
}

void CacheAcLineStatus() noexcept {
    SYSTEM_POWER_STATUS status{};
    if (GetSystemPowerStatus(&status)) {
        g_MainState.ucACLineStatus = status.ACLineStatus;
    } else {
        WriteErrorLog(IDS_ERR_POWER_STATUS, GetLastError(), ERRLOG_FILE);
    }
}

LRESULT OnCreate(HWND hwnd, UINT, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_CREATE");
    g_hMainWnd = hwnd;
    ComputeDpiFactors();
    INITCOMMONCONTROLSEX controls{sizeof(controls), kAllControlClasses};
    InitCommonControlsEx(&controls);
    plans::RefreshCurrentPlan(plans::kActiveSchemeMarkerForced);
    if (EcoOperation()) {
        // The delayed refresh waits for the LED driver itself.
        Sleep(kBeforeLedRefreshMs);
        plans::DelayedLedRefresh(nullptr);
        Sleep(kAfterLedRefreshMs);
    }
    RegisterSessionNotification(hwnd);
    g_MainState.dwBrightnessDelay = ReadBrightnessDelay();
    g_MainState.bSessionUnlocked = true;
    g_MainState.bLedRestorePending = false;
    g_MainState.bLedRestoreDone = false;
    g_MainState.bUserPresent = true;
    g_MainState.uTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    tray::OnMainCreate(hwnd);
    g_MainState.bBrightnessFollowUp = true;
    CacheAcLineStatus();
    ApplyDimTimeoutRule();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"SETBRIGHTNESS_ALS()");
    display::ChangeBrightness(static_cast<UINT>(display::BC_AUTO));
    if (HasFlag(plans::FLAG_EXT_MONITOR)) {
        ApplyPlanBrightness(kTraceName);
    }
    // The hotkey is registered here by the notification-area code.
    plans::PlanRecord active{};
    active.guid = plans::activepsi.guid;
    plans::ReadPlanRecord(&active);
    if (HasFlag(plans::FLAG_CPU_DRIVER) && !plans::IsNullGuid(active.guid)) {
        drivers::SetPowerSavingState(static_cast<DWORD>(active.nNpdCPU));
    }
    RegisterPowerEvents(hwnd);
    if (EcoOperation()) {
        plans::ArmLedCheckTimer(hwnd);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_CREATE done");
    return 0;
}

void FreePlanData() noexcept { plans::ClearPlanLists(); }

// The panel's position for the settings writer, and the end of an active boost (0x406).
void StorePanelPositionAndEndBoost() noexcept {
    HWND panel = meter::MeterPanelWindow();
    if (panel == nullptr) {
        return;
    }
    RECT window{};
    if (GetWindowRect(panel, &window)) {
        plans::g_Settings.blob.left = window.left;
        plans::g_Settings.blob.top = window.top;
    }
    SendMessageW(panel, WM_APP_END_BOOST, 0, 0);
}

// Shutdown: every thread is stopped and joined before anything it uses is freed.
LRESULT OnDestroy(HWND hwnd, UINT, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY");
    peakcut::EndPeakCut();  // "PeakCutLevel" = 0 with the link library present
    UnregisterPowerEvents(hwnd);
    tray::OnMainDestroy(hwnd);
    StorePanelPositionAndEndBoost();
    plans::SaveSettings();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY: settings saved");
    g_bRunFlag = false;
    drivers::StopLedThread();
    // A paused worker must see the stop request.
    g_AucPauseGate.Resume();
    meter::JoinSpeedMonitor();
    battery::JoinBatteryThread();
    battery::JoinAutoChangeThread();
    peakcut::JoinPeakCutThread();
    meter::StopPanelThreads();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY: threads joined");
    // The automatic plan change's lock and event, now that its thread has ended.
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"CloseHandle hASMutex=%#8x",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(battery::AutoChangeMutex())));
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"CloseHandle hASEvent=%#8x",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(battery::AutoChangeEvent())));
    battery::CloseAutoChangeObjects();
    toast::Unload();
    FreePlanData();
    plans::ClosePlanListLock();
    UninitHelp();
    FinalizeEcoLevelLibrary();
    if (HWND panel = meter::MeterPanelWindow()) {
        DestroyWindow(panel);
    }
    g_hHiddenButton = nullptr;
    g_hMainWnd = nullptr;
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY: run flag cleared, quitting");
    PostQuitMessage(0);
    return 0;
}

// --- System messages ---------------------------------------------------------------------------

LRESULT OnClose(HWND hwnd, UINT, WPARAM, LPARAM) {
    DestroyWindow(hwnd);
    return 0;
}

LRESULT OnQueryEndSession(HWND, UINT, WPARAM, LPARAM) {
    StorePanelPositionAndEndBoost();
    plans::SaveSettings();
    return TRUE;
}

LRESULT OnEndSession(HWND, UINT, WPARAM wParam, LPARAM) {
    // A cancelled shutdown (wParam FALSE) keeps the eco-level library for the rest of the run.
    if (wParam != FALSE) {
        FinalizeEcoLevelLibrary();
    }
    return 0;
}

LRESULT OnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (OnMainCommand(hwnd, wParam, lParam)) {
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT OnSysCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (wParam & 0xFFF0) {
    case SC_CLOSE:
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        return 0;
    case SC_MINIMIZE:
        // Unless the panel's display-settings dialog is open (it stays with the panel).
        if (!PanelDisplaySettingsOpen()) {
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, 0), 0);
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void OnTrayClickTimer(HWND hwnd) { tray::OnLeftClickTimer(hwnd); }
void OnEcoMenuTimer(HWND hwnd) { tray::OnEcoMenuTimer(hwnd); }
void OnTrayAddRetryTimer(HWND hwnd) { tray::OnAddRetryTimer(hwnd); }

struct TimerEntry {
    UINT_PTR id;
    void (*handler)(HWND hwnd);
};

// Timers of the main window; the external-monitor timers (10111-10113) join with their code.
// IDT_LED_CHECK has its own procedure.
constexpr TimerEntry kTimers[] = {
    {IDT_PANEL_REPAINT, OnPanelRepaintTimer},
    {IDT_BRIGHTNESS, OnBrightnessTimer},
    {IDT_TRAY_CLICK, OnTrayClickTimer},
    {IDT_ECO_MENU, OnEcoMenuTimer},
    {IDT_TRAY_ADD_RETRY, OnTrayAddRetryTimer},
    {IDT_MONITOR_REFRESH, OnMonitorRefreshTimer},
    {IDT_MONITOR_RETRY, OnMonitorRetryTimer},
    {IDT_MONITOR_RESUME, OnMonitorResumeTimer},
};

LRESULT OnTimer(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const TimerEntry& entry : kTimers) {
        if (entry.id == wParam) {
            entry.handler(hwnd);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT OnPowerBroadcastMessage(HWND hwnd, UINT, WPARAM wParam, LPARAM lParam) {
    return OnPowerBroadcast(hwnd, wParam, lParam);
}

LRESULT OnDeviceChangeMessage(HWND hwnd, UINT, WPARAM wParam, LPARAM lParam) {
    return OnDeviceChange(hwnd, wParam, lParam);
}

LRESULT OnSessionChangeMessage(HWND hwnd, UINT, WPARAM wParam, LPARAM lParam) {
    return OnSessionChange(hwnd, wParam, lParam);
}

LRESULT OnHotKey(HWND, UINT, WPARAM, LPARAM) {
    if (!EcoInputSuppressed() && EcoOperation()) {
        osd::OnEcoPress();
    }
    return 0;
}

// --- Private messages --------------------------------------------------------------------------

// In tray-only operation, once the shell holds the icon: the panel's start reports a speed before
// the posted minimise has added it, and a modify then only fails (the add shows the current plan).
bool TrayIconShown() noexcept { return ui::TrayOnly() && tray::GetTrayIconState().bAdded; }

LRESULT OnProcessorSpeed(HWND hwnd, UINT, WPARAM, LPARAM lParam) {
    if (lParam != 0 && TrayIconShown()) {
        tray::UpdateTrayIcon(hwnd, false);
    }
    return 0;
}

// The automatic change asks for the new plan's brightness (ChangeBrightness code 1 only).
LRESULT OnApplyBrightness(HWND, UINT, WPARAM wParam, LPARAM) {
    if (wParam == display::BC_SET) {
        ApplyPlanBrightness(kTraceName);
    }
    return 0;
}

LRESULT OnPlanChanged(HWND hwnd, UINT, WPARAM wParam, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_USER+3 (%u)", static_cast<unsigned>(wParam));
    // The panel copies the plan name itself when it passes the message on.
    plans::RefreshPlanList();
    if (TrayIconShown()) {
        tray::UpdateTrayIcon(hwnd, wParam == kPlanChangedNotify);
    }
    if (g_MainState.hSettingsDialog != nullptr) {
        PostMessageW(g_MainState.hSettingsDialog, WM_APP_SETTINGS_REFRESH, 0, 0);
    }
    if (g_MainState.hPlanEditor != nullptr) {
        PostMessageW(g_MainState.hPlanEditor, WM_APP_EDITOR_REFRESH, 0, 0);
    }
    return 0;
}

LRESULT OnEcoSettingsRequest(HWND hwnd, UINT, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_USER+9: ECO mode settings requested");
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_ECO_SETTINGS, 0), kRequestFromOutside);
    return 0;
}

LRESULT OnPlanSettingsRequest(HWND hwnd, UINT, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_USER+10: power plan settings requested");
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_PLAN_SETTINGS, 0), kRequestFromOutside);
    return 0;
}

LRESULT OnEcoButton(HWND hwnd, UINT, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"ECO button");
    if (!EcoInputSuppressed() && EcoOperation()) {
        osd::OnEcoPress();
        return 0;
    }
    tray::OnEcoButtonMenu(hwnd);
    return 0;
}

LRESULT OnEcoButtonPlain(HWND, UINT, WPARAM, LPARAM) {
    if (!EcoInputSuppressed() && EcoOperation()) {
        osd::OnEcoPress();
    }
    return 0;
}

LRESULT OnPeakCutLevelMessage(HWND hwnd, UINT, WPARAM wParam, LPARAM lParam) {
    // Other processes can post this message too: only the levels and reasons there are count.
    if (wParam > kMaxPeakCutLevel || lParam < 0 || lParam > kMaxPeakCutReason) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"0x540 ignored: level %Iu reason %Id", wParam, lParam);
        return 0;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"0x540: level %Iu reason %Id", wParam, lParam);
    peakcut::OnPeakCutLevel(hwnd, static_cast<DWORD>(wParam), static_cast<DWORD>(lParam));
    return 0;
}

LRESULT OnPeakCutApplyMessage(HWND, UINT, WPARAM, LPARAM) {
    peakcut::ApplyPeakCutLevel();
    return 0;
}

struct MessageEntry {
    UINT message;
    LRESULT (*handler)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// One line per message; "TaskbarCreated" is a registered number (g_MainState.uTaskbarCreated)
// and is looked at after the table.
constexpr MessageEntry kMessages[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_CLOSE, OnClose},
    {WM_QUERYENDSESSION, OnQueryEndSession},
    {WM_ENDSESSION, OnEndSession},
    {WM_COMMAND, OnCommand},
    {WM_SYSCOMMAND, OnSysCommand},
    {WM_TIMER, OnTimer},
    {WM_POWERBROADCAST, OnPowerBroadcastMessage},
    {WM_DEVICECHANGE, OnDeviceChangeMessage},
    {WM_WTSSESSION_CHANGE, OnSessionChangeMessage},
    {WM_HOTKEY, OnHotKey},
    {WM_MEASUREITEM, tray::OnMeasureItem},
    {WM_DRAWITEM, tray::OnDrawItem},
    {WM_APP_PROCESSOR_SPEED, OnProcessorSpeed},
    {WM_APP_PLAN_CHANGED, OnPlanChanged},
    {WM_APP_APPLY_BRIGHTNESS, OnApplyBrightness},
    {WM_APP_TRAY_CALLBACK, tray::OnTrayIconCallback},
    {WM_APP_DIALOG_POSITION, tray::OnDialogPosition},
    {WM_APP_ECO_SETTINGS, OnEcoSettingsRequest},
    {WM_APP_PLAN_SETTINGS, OnPlanSettingsRequest},
    {WM_APP_ECO_BUTTON, OnEcoButton},
    {WM_APP_ECO_BUTTON_PLAIN, OnEcoButtonPlain},
    {WM_APP_PEAK_CUT_LEVEL, OnPeakCutLevelMessage},
    {WM_APP_PEAK_CUT_APPLY, OnPeakCutApplyMessage},
};

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.message == message) {
            return entry.handler(hwnd, message, wParam, lParam);
        }
    }
    if (message != 0 && message == g_MainState.uTaskbarCreated) {
        tray::OnTaskbarCreated(hwnd);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
