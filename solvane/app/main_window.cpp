#include "app/main_window.h"

#include <commctrl.h>
#include <wtsapi32.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/eco_level.h"
#include "app/help.h"
#include "app/main_commands.h"
#include "app/main_state.h"
#include "app/power_events.h"
#include "app/thread_pause.h"
#include "app/tray_dispatch.h"
#include "battery/battery.h"
#include "common/log.h"
#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "meter/speed_monitor.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/settings.h"

namespace {

constexpr wchar_t kTraceName[] = L"WndProc";
constexpr float kBaseDpi = 96.0f;
constexpr DWORD kAllControlClasses = 0xFF;
constexpr DWORD kBeforeLedRefreshMs = 200;
constexpr DWORD kAfterLedRefreshMs = 300;
constexpr DWORD kLedReadyWaitMs = 1000;
constexpr int kSessionRegisterRetries = 20;
constexpr DWORD kSessionRegisterRetryMs = 1000;

bool HasFlag(DWORD flag) noexcept { return (plans::g_Settings.blob.dwFlagWord & flag) != 0; }
bool EcoOperation() noexcept { return HasFlag(plans::FLAG_ECO); }
bool EcoInputSuppressed() noexcept { return HasFlag(plans::FLAG_CANTCHGPP); }

// --- Creation and destruction ----------------------------------------------------------------

void ComputeDpiFactors() noexcept {
    HDC screen = GetDC(nullptr);
    if (screen != nullptr) {
        g_MainState.fDpiX = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX)) / kBaseDpi;
        g_MainState.fDpiY = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSY)) / kBaseDpi;
        ReleaseDC(nullptr, screen);
    }
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
        constexpr UINT IDS_ERR_POWER_STATUS = 65;
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
        Sleep(kBeforeLedRefreshMs);
        drivers::WaitLedReady(kLedReadyWaitMs);
        drivers::DelayedLedRefresh(nullptr);
        Sleep(kAfterLedRefreshMs);
    }
    RegisterSessionNotification(hwnd);
    g_MainState.dwBrightnessDelay = ReadBrightnessDelay();
    g_MainState.bSessionUnlocked = true;
    g_MainState.bLedRestorePending = false;
    g_MainState.bLedRestoreDone = false;
    g_MainState.bUserPresent = true;
    g_MainState.uTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    g_MainState.bBrightnessFollowUp = true;
    CacheAcLineStatus();
    ApplyDimTimeoutRule();
    // The ambient-light brightness (mode 0x200) and, with external-monitor support, the plan
    // brightness (mode 1) are applied here once the brightness code joins; then the hotkey is
    // registered by the notification-area code.
    plans::PlanRecord active{};
    active.guid = plans::activepsi.guid;
    plans::ReadPlanRecord(&active);
    if (HasFlag(plans::FLAG_CPU_DRIVER) && !plans::IsNullGuid(active.guid)) {
        drivers::SetPowerSavingState(static_cast<DWORD>(active.nNpdCPU));
    }
    RegisterPowerEvents(hwnd);
    if (EcoOperation()) {
        drivers::ArmLedCheckTimer(hwnd);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_CREATE done");
    return 0;
}

void FreePlanData() noexcept {
    plans::g_PlanList.clear();
    plans::g_PlanCount = 0;
    for (plans::PlanRecord*& pinned : plans::g_PinnedPlanPtrs) {
        pinned = nullptr;
    }
    plans::g_OtherPlans.clear();
    plans::activepsi = plans::PlanRecord{};
}

// Shutdown: every thread is stopped and joined before anything it uses is freed.
LRESULT OnDestroy(HWND hwnd, UINT, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY");
    // With the link library present, "PeakCutLevel" is reset here once the peak-cut client joins.
    UnregisterPowerEvents(hwnd);
    // The notification-area icons and the tray icon are released here by their code.
    plans::SaveSettings();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY: settings saved");
    g_bRunFlag = false;
    drivers::StopLedThread();
    // A paused worker must see the stop request.
    g_AucPauseGate.Resume();
    meter::JoinSpeedMonitor();
    battery::JoinBatteryThread();
    // The peak-cut thread is joined here with JoinWorkerThread when it joins the program.
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_DESTROY: threads joined");
    FreePlanData();
    plans::ClosePlanListLock();
    UninitHelp();
    FinalizeEcoLevelLibrary();
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
    // The panel position is stored and its boost ended (0x406) here once the panel joins.
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
        // Unless the panel's display-settings dialog is open (it joins with the panel).
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, 0), 0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

struct TimerEntry {
    UINT_PTR id;
    void (*handler)(HWND hwnd);
};

// Timers of the main window; the tray click (1010) and ECO-menu (10108) timers and the
// external-monitor timers (10111-10113) join with their code. 10110 has its own procedure.
constexpr TimerEntry kTimers[] = {
    {IDT_PANEL_REPAINT, OnPanelRepaintTimer},
    {IDT_BRIGHTNESS, OnBrightnessTimer},
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
        plans::HandleEcoButton();
    }
    return 0;
}

// --- Private messages --------------------------------------------------------------------------

LRESULT OnProcessorSpeed(HWND, UINT, WPARAM, LPARAM lParam) {
    if (lParam == 0) {
        return 0;
    }
    // In tray-only operation the tray icon and tooltip follow here (notification-area code).
    return 0;
}

LRESULT OnPlanChanged(HWND, UINT, WPARAM wParam, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_USER+3 (%u)", static_cast<unsigned>(wParam));
    // The panel's copy of the plan name is taken here once the panel joins.
    plans::RefreshPlanList();
    // The tray icon and tooltip follow here (notification-area code), with wParam passed on.
    if (g_MainState.hSettingsDialog != nullptr) {
        PostMessageW(g_MainState.hSettingsDialog, WM_APP_SETTINGS_REFRESH, 0, 0);
    }
    if (g_MainState.hPlanEditor != nullptr) {
        PostMessageW(g_MainState.hPlanEditor, WM_APP_EDITOR_REFRESH, 0, 0);
    }
    return 0;
}

LRESULT OnDialogPosition(HWND, UINT, WPARAM wParam, LPARAM lParam) {
    g_MainState.ptDialog = POINT{static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
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
        plans::HandleEcoButton();
        return 0;
    }
    if (g_MainState.hSettingsDialog != nullptr && IsWindow(g_MainState.hSettingsDialog)) {
        SetForegroundWindow(g_MainState.hSettingsDialog);
        return 0;
    }
    // The ECO-button pop-up menu (open: close it; else show it at this window) joins with the
    // notification-area code.
    (void)hwnd;
    return 0;
}

LRESULT OnEcoButtonPlain(HWND, UINT, WPARAM, LPARAM) {
    if (!EcoInputSuppressed() && EcoOperation()) {
        plans::HandleEcoButton();
    }
    return 0;
}

LRESULT OnPeakCutLevelMessage(HWND, UINT, WPARAM wParam, LPARAM lParam) {
    // Other processes can post this message too: only the levels and reasons there are count.
    if (wParam > kMaxPeakCutLevel || lParam < 0 || lParam > kMaxPeakCutReason) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"0x540 ignored: level %Iu reason %Id", wParam, lParam);
        return 0;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"0x540: level %Iu reason %Id", wParam, lParam);
    // The peak-cut client takes the level and reason here (OnPeakCutLevel) once it joins.
    return 0;
}

struct MessageEntry {
    UINT message;
    LRESULT (*handler)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// One line per message. The notification-area code adds WM_DRAWITEM, WM_MEASUREITEM,
// WM_USER+2 and "TaskbarCreated" (a registered number, see g_MainState.uTaskbarCreated).
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
    {WM_APP_PROCESSOR_SPEED, OnProcessorSpeed},
    {WM_APP_PLAN_CHANGED, OnPlanChanged},
    {WM_APP_DIALOG_POSITION, OnDialogPosition},
    {WM_APP_ECO_SETTINGS, OnEcoSettingsRequest},
    {WM_APP_PLAN_SETTINGS, OnPlanSettingsRequest},
    {WM_APP_ECO_BUTTON, OnEcoButton},
    {WM_APP_ECO_BUTTON_PLAIN, OnEcoButtonPlain},
    {WM_APP_PEAK_CUT_LEVEL, OnPeakCutLevelMessage},
};

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Tray icon, menus and hotkey first (they pass on what the table below also handles).
    LRESULT trayResult = 0;
    if (tray::HandleTrayMessage(hwnd, message, wParam, lParam, &trayResult)) {
        return trayResult;
    }
    for (const MessageEntry& entry : kMessages) {
        if (entry.message == message) {
            return entry.handler(hwnd, message, wParam, lParam);
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
