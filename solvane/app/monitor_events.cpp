#include "app/monitor_events.h"

#include <dbt.h>

#include "app/app_messages.h"
#include "common/log.h"
#include "display/display.h"
#include "display/monitor_wait.h"
#include "display/monitors.h"
#include "plans/plan_list.h"
#include "plans/settings.h"

namespace {

constexpr wchar_t kTraceName[] = L"WndProc";
const GUID kGuidMonitorInterface = {0xE6F07B5F, 0xEE97, 0x4A90, {0xB0, 0x76, 0x33, 0xF5, 0x7B, 0xF4, 0xEA, 0xA7}};

// Which of the three monitor timers run.
bool g_bRefreshPending = false;
bool g_bRetryPending = false;
bool g_bResumePending = false;

void Start(HWND hwnd, UINT_PTR id, DWORD periodMs, bool* pending) noexcept {
    *pending = SetTimer(hwnd, id, periodMs, nullptr) != 0;
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"SetTimer %u", static_cast<unsigned>(id));
}

void Stop(HWND hwnd, UINT_PTR id, bool* pending) noexcept {
    if (*pending) {
        KillTimer(hwnd, id);
        *pending = false;
    }
}

bool IsMonitorInterface(LPARAM lParam) noexcept {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) {
        return false;
    }
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
    return IsEqualGUID(device->dbcc_classguid, kGuidMonitorInterface) != FALSE;
}

void PublishCurrentPlan() {
    display::SetInfoExMonitor(static_cast<DWORD>(plans::activepsi.nBrightnessMonitor),
                              static_cast<DWORD>(plans::activepsi.nBrightnessMonitorEnable));
}

}  // namespace

void ApplyPlanBrightness(const wchar_t* traceName) {
    LOG_TRACE(TRACE_LEVEL_VALUES, traceName, L"SETBRIGHTNESS()");
    display::ChangeBrightness(display::BC_SET);
}

LRESULT OnMonitorDeviceChange(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_EXT_MONITOR) == 0) {
        return TRUE;
    }
    if ((wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) || !IsMonitorInterface(lParam)) {
        return TRUE;
    }
    const bool arrival = wParam == DBT_DEVICEARRIVAL;
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, arrival ? L"monitor arrival" : L"monitor removal");
    const plans::ExternalMonitorTiming& timing = display::RetrySettings();
    if (display::IsMonitorAccessBlocked()) {
        if (!arrival) {
            Stop(hwnd, IDT_MONITOR_REFRESH, &g_bRefreshPending);
            Stop(hwnd, IDT_MONITOR_RESUME, &g_bResumePending);
            Start(hwnd, IDT_MONITOR_RETRY, timing.luiChkTime, &g_bRetryPending);
        }
        return TRUE;
    }
    Stop(hwnd, IDT_MONITOR_RETRY, &g_bRetryPending);
    Stop(hwnd, IDT_MONITOR_RESUME, &g_bResumePending);
    Start(hwnd, IDT_MONITOR_REFRESH, timing.devChgTime, &g_bRefreshPending);
    return TRUE;
}

void OnMonitorRefreshTimer(HWND hwnd) {
    KillTimer(hwnd, IDT_MONITOR_REFRESH);
    g_bRefreshPending = false;
    // The records follow the monitors now attached before their names are published.
    if (!display::IsMonitorAccessBlocked()) {
        display::InitializeMonitorData();
    }
    PublishCurrentPlan();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"monitor refresh: %d monitors", display::g_iNumMonitor);
}

void OnMonitorRetryTimer(HWND hwnd) {
    if (display::IsMonitorAccessBlocked()) {
        return;  // tried again at the next period
    }
    KillTimer(hwnd, IDT_MONITOR_RETRY);
    g_bRetryPending = false;
    Stop(hwnd, IDT_MONITOR_RESUME, &g_bResumePending);
    Start(hwnd, IDT_MONITOR_REFRESH, display::RetrySettings().devChgTime, &g_bRefreshPending);
}

void OnMonitorResumeTimer(HWND hwnd) {
    KillTimer(hwnd, IDT_MONITOR_RESUME);
    g_bResumePending = false;
    if (!display::IsMonitorAccessBlocked() && !g_bRefreshPending && !g_bRetryPending) {
        ApplyPlanBrightness(kTraceName);
    }
}

void StartMonitorResumeTimer(HWND hwnd) {
    if (!display::IsMonitorAccessBlocked() && !g_bRefreshPending && !g_bRetryPending) {
        Start(hwnd, IDT_MONITOR_RESUME, display::RetrySettings().sleepTime, &g_bResumePending);
    }
}

bool OnMonitorRefreshCommand(HWND hwnd, WPARAM, LPARAM) {
    display::InitializeMonitorDataWithUI(hwnd);
    PublishCurrentPlan();
    return true;
}
