#include "app/power_events.h"

#include <dbt.h>
#include <wtsapi32.h>

#include <vector>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/peakcut_question.h"
#include "app/monitor_events.h"
#include "app/thread_pause.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "display/display.h"
#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "meter/boost.h"
#include "meter/panel_window.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/mode_led.h"
#include "peakcut/peakcut.h"
#include "plans/peak_cut_values.h"
#include "plans/power_api.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kTraceName[] = L"WndProc";

// String-table ids.

constexpr DWORD kDefaultBrightnessDelayMs = 1000;
constexpr UINT kPowerStatusRepaintMs = 1000;
constexpr UINT kUnlockRepaintMs = 2000;
constexpr DWORD kResumeSettleMs = 1000;
constexpr DWORD kResumeLedMs = 1000;
constexpr DWORD kSessionLedMs = 2000;
constexpr DWORD kProcessorStateFull = 100;
constexpr BYTE kAmbientLightOn = 1;
constexpr BYTE kAcOnline = 1;

// Power-setting data of the notifications handled here.
const GUID kGuidActivePowerScheme = {0x31F9F286, 0x5084, 0x42FE, {0xB7, 0x20, 0x2B, 0x02, 0x64, 0x99, 0x37, 0x63}};
const GUID kGuidAcDcPowerSource = {0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
const GUID kGuidLidSwitch = {0xBA3E0F4D, 0xB817, 0x4094, {0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3}};
const GUID kGuidMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
const GUID* const kRegisteredSettings[kPowerNotificationCount] = {
    &kGuidActivePowerScheme, &kGuidAcDcPowerSource,           &kGuidLidSwitch,
    &kGuidMonitorPowerOn,    &plans::kSettingProcessorMin, &plans::kSettingProcessorMax,
};
// Password on wake-up: a setting of the group of settings without subgroup.
const GUID kGuidNoSubgroup = {0xFEA3413E, 0x7E05, 0x4911, {0x9A, 0x71, 0x70, 0x03, 0x31, 0xF1, 0xC2, 0x94}};
const GUID kGuidWakePassword = {0x0E796BDB, 0x100D, 0x47D6, {0xA2, 0xD5, 0xF7, 0xD2, 0xDA, 0xA5, 0x1F, 0x51}};
const GUID kGuidMonitorInterface = {0xE6F07B5F, 0xEE97, 0x4A90, {0xB0, 0x76, 0x33, 0xF5, 0x7B, 0xF4, 0xEA, 0xA7}};

bool g_bStaleKeysDeleted = false;

using plans::HasFlag;

// The active plan's place in the enumeration order; 0 when it cannot be found.
WPARAM CurrentPlanIndex() {
    GUID active = GUID_NULL;
    if (plans::ReadActiveScheme(&active) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD end = ERROR_SUCCESS;
    const std::vector<GUID> all = plans::EnumerateAllPlans(&end);
    for (size_t i = 0; i < all.size(); ++i) {
        if (IsEqualGUID(all[i], active)) {
            return static_cast<WPARAM>(i);
        }
    }
    return 0;
}

// The active scheme; false (error 2 logged) when it cannot be read.
bool ReadActivePlan(GUID* plan) noexcept {
    *plan = plans::ActivePlanOrNull(true);
    return !plans::IsNullGuid(*plan);
}

plans::PlanRecord ReadActivePlanRecord() noexcept {
    plans::PlanRecord record{};
    if (ReadActivePlan(&record.guid)) {
        plans::ReadPlanRecord(&record);
    }
    return record;
}

void SendProcessorValue(const plans::PlanRecord& record) noexcept {
    if (HasFlag(plans::FLAG_CPU_DRIVER) && !plans::IsNullGuid(record.guid)) {
        drivers::SetPowerSavingState(static_cast<DWORD>(record.nNpdCPU));
    }
}

void StartBrightnessTimer(HWND hwnd) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"SetTimer IDT_BRIGHTNESS");
    SetTimer(hwnd, IDT_BRIGHTNESS, g_MainState.dwBrightnessDelay, nullptr);
}

void PostToSettingsDialog() noexcept {
    if (g_MainState.hSettingsDialog != nullptr) {
        PostMessageW(g_MainState.hSettingsDialog, WM_APP_SETTINGS_REFRESH, 0, 0);
    }
}

// Whether the active plan asks for a password on wake-up, for the power source in force.
bool WakePasswordAsked() noexcept {
    GUID plan = GUID_NULL;
    if (!ReadActivePlan(&plan)) {
        return false;
    }
    SYSTEM_POWER_STATUS status{};
    bool onMains = true;
    if (GetSystemPowerStatus(&status)) {
        onMains = status.ACLineStatus == kAcOnline;
    } else {
        WriteErrorLog(IDS_ERR_POWER_STATUS, GetLastError(), ERRLOG_FILE);
    }
    DWORD value = 0;
    const plans::PowerApi& power = plans::Power();
    const DWORD result = onMains ? power.readACValueIndex(nullptr, &plan, &kGuidNoSubgroup, &kGuidWakePassword, &value)
                                 : power.readDCValueIndex(nullptr, &plan, &kGuidNoSubgroup, &kGuidWakePassword, &value);
    if (result != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"wake password setting not readable: %u", result);
        return false;
    }
    return value != 0;
}

void OnResume(HWND hwnd) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"PBT_APMRESUMESUSPEND || PBT_APMRESUMECRITICAL");
    const plans::PlanRecord record = ReadActivePlanRecord();
    if (g_MainState.bUserPresent && display::bALS) {
        if (ColourUtilityPermits()) {
            LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"SETBRIGHTNESS_ALS()");
            display::ChangeBrightness(static_cast<UINT>(display::BC_AUTO));
            StartBrightnessTimer(hwnd);
        }
    } else if (g_MainState.bUserPresent && HasFlag(plans::FLAG_EXT_MONITOR)) {
        if (ColourUtilityPermits()) {
            StartMonitorResumeTimer(hwnd);
        }
    }
    Sleep(kResumeSettleMs);
    if (HasFlag(plans::FLAG_ECO) && g_MainState.bUserPresent) {
        const bool password = WakePasswordAsked();
        drivers::SetLedDesiredState(drivers::LED_STATE_TRANSITION4);
        g_MainState.bLedRestorePending = true;
        drivers::NotifyLedDriver();
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"resume: LED restore pending (password %d)", password ? 1 : 0);
        Sleep(kResumeLedMs);
        if (g_MainState.bSessionUnlocked && g_MainState.bUserPresent && !password) {
            LedStartupStep(hwnd);
            g_MainState.bLedRestorePending = false;
        }
    }
    SendProcessorValue(record);
}

void OnPowerStatusChange(HWND hwnd) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"PBT_APMPOWERSTATUSCHANGE");
    SYSTEM_POWER_STATUS status{};
    if (GetSystemPowerStatus(&status)) {
        g_MainState.ucACLineStatus = status.ACLineStatus;
        battery::CheckBattery();
        if (HWND panel = meter::MeterPanelWindow()) {
            InvalidateRect(panel, nullptr, FALSE);
        }
    } else {
        WriteErrorLog(IDS_ERR_POWER_STATUS, GetLastError(), ERRLOG_FILE);
    }
    SetTimer(hwnd, IDT_PANEL_REPAINT, kPowerStatusRepaintMs, nullptr);
    PostToSettingsDialog();
}

void OnActiveSchemeChange(HWND hwnd, const GUID& plan) {
    KillTimer(hwnd, IDT_BRIGHTNESS);
    const bool eco = HasFlag(plans::FLAG_ECO);
    if (!g_bStaleKeysDeleted) {
        g_bStaleKeysDeleted = true;
        plans::DeleteStalePlanKeys();
    }
    plans::RefreshCurrentPlan(plan);
    plans::PostPlanChanged(0);
    wchar_t text[plans::kBracedGuidBufferChars];
    plans::FormatBracedGuid(plan, text);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"active scheme: %s", text);
    if (g_MainState.bBrightnessFollowUp) {
        if (HasFlag(plans::FLAG_EXT_MONITOR)) {
            ApplyPlanBrightness(kTraceName);
        } else {
            StartBrightnessTimer(hwnd);
        }
        if (eco && g_MainState.bUserPresent) {
            plans::RefreshLedFromCurrentPlan();
            LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"active scheme: LED updated");
        }
    }
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    SendProcessorValue(record);
    plans::NotePlanChangeDuringPeakCut(plan);
}

void FollowBrightnessOfActivePlan(HWND hwnd) {
    const plans::PlanRecord record = ReadActivePlanRecord();
    if (!plans::IsNullGuid(record.guid) && record.biALS.ucMode != 0) {
        StartBrightnessTimer(hwnd);
    }
}

void OnPowerSettingChange(HWND hwnd, const POWERBROADCAST_SETTING* setting) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"PBT_POWERSETTINGCHANGE");
    if (setting == nullptr) {
        return;
    }
    const GUID& which = setting->PowerSetting;
    if (IsEqualGUID(which, kGuidActivePowerScheme)) {
        if (setting->DataLength >= sizeof(GUID)) {
            GUID plan;
            CopyMemory(&plan, setting->Data, sizeof(plan));
            OnActiveSchemeChange(hwnd, plan);
        }
        return;
    }
    DWORD data = 0;
    const bool hasData = setting->DataLength >= sizeof(DWORD);
    if (hasData) {
        CopyMemory(&data, setting->Data, sizeof(data));
    }
    const bool processor =
        IsEqualGUID(which, plans::kSettingProcessorMin) || IsEqualGUID(which, plans::kSettingProcessorMax);
    if (processor && hasData && data != kProcessorStateFull) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"processor state %u", data);
        if (HWND panel = meter::MeterPanelWindow()) {
            // The panel ends an active boost; wParam carries the current plan's place in the
            // enumeration order.
            SendMessageW(panel, meter::WM_PANEL_END_BOOST, CurrentPlanIndex(), 0);
        }
        return;
    }
    const bool follow = IsEqualGUID(which, kGuidAcDcPowerSource) ||
                        (IsEqualGUID(which, kGuidMonitorPowerOn) && hasData && data == 1) ||
                        (IsEqualGUID(which, kGuidLidSwitch) && hasData && data == 1) ||
                        (processor && hasData && data == kProcessorStateFull);
    if (follow) {
        FollowBrightnessOfActivePlan(hwnd);
    }
}

}  // namespace

bool ColourUtilityPermits() noexcept {
    HWND utility = FindWindowW(kColourUtilityClass, kColourUtilityTitle);
    if (utility == nullptr) {
        return true;
    }
    DWORD_PTR result = 1;
    if (SendMessageTimeoutW(utility, WM_APP_COLOUR_MAY_SET, 0, 0, SMTO_ABORTIFHUNG, kColourUtilityTimeoutMs,
                            &result) == 0) {
        result = 1;  // no answer counts as yes
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"colour utility answers %u", static_cast<unsigned>(result));
    return result == 1;
}

DWORD ReadBrightnessDelay() noexcept {
    DWORD delay = kDefaultBrightnessDelayMs;
    common::UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProgramKey, 0, KEY_READ, key.Put());
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND) {
            WriteErrorLog(IDS_ERR_OPEN_PROGRAM_KEY, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        }
        return delay;
    }
    status = common::QueryRegDword(key.Get(), L"DelayBrightness", &delay);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        WriteErrorLog(IDS_ERR_READ_VALUE, static_cast<ULONGLONG>(status), ERRLOG_FILE);
    }
    return status == ERROR_SUCCESS ? delay : kDefaultBrightnessDelayMs;
}

void ApplyDimTimeoutRule() noexcept {
    if (HasFlag(plans::FLAG_EXT_MONITOR) || g_dwOsModel < OS_MODEL_WIN7) {
        return;
    }
    const plans::PlanRecord& current = plans::activepsi;
    if (plans::IsNullGuid(current.guid) || current.biALS.ucMode != kAmbientLightOn) {
        return;
    }
    const DWORD ac = plans::WritePowerSetting(current.guid, plans::PowerSetting::DimTimeout, plans::PowerSource::AC, 0);
    const DWORD dc = plans::WritePowerSetting(current.guid, plans::PowerSetting::DimTimeout, plans::PowerSource::DC, 0);
    if (ac != ERROR_SUCCESS || dc != ERROR_SUCCESS) {
        WriteErrorLogGuid(IDS_ERR_DIM_TIMEOUT, current.guid, 1);
    }
}

bool RestoreSavedBoost() noexcept {
    if (!meter::RestoreInterruptedBoost(meter::kDetailSessionEvent)) {
        return false;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"saved boost state restored");
    return true;
}

void LedStartupStep(HWND hwnd) noexcept {
    plans::DelayedLedRefresh(hwnd);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"LED restored");
}

LRESULT OnPowerBroadcast(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_POWERBROADCAST");
    switch (wParam) {
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
        OnResume(hwnd);
        break;
    case PBT_APMPOWERSTATUSCHANGE:
        OnPowerStatusChange(hwnd);
        break;
    case PBT_POWERSETTINGCHANGE:
        OnPowerSettingChange(hwnd, reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
        break;
    default:
        break;
    }
    return TRUE;
}

LRESULT OnDeviceChange(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    return OnMonitorDeviceChange(hwnd, wParam, lParam);
}

LRESULT OnSessionChange(HWND hwnd, WPARAM wParam, LPARAM) {
    switch (wParam) {
    case WTS_CONSOLE_CONNECT:
        g_AucPauseGate.Resume();
        g_MainState.bUserPresent = true;
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WTS_CONSOLE_CONNECT");
        break;
    case WTS_CONSOLE_DISCONNECT:
        g_AucPauseGate.Pause();
        // Nobody is at the console to answer: an open ECO question ends with No.
        peakcut::OnConsoleLeft();
        g_MainState.bUserPresent = false;
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WTS_CONSOLE_DISCONNECT");
        break;
    case WTS_SESSION_LOCK:
        g_MainState.bSessionUnlocked = false;
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WTS_SESSION_LOCK");
        break;
    case WTS_SESSION_UNLOCK:
        g_MainState.bSessionUnlocked = true;
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WTS_SESSION_UNLOCK");
        if (!HasFlag(plans::FLAG_TRAY_ONLY)) {
            SetTimer(hwnd, IDT_PANEL_REPAINT, kUnlockRepaintMs, nullptr);
        }
        break;
    default:
        return 0;
    }
    const bool locked = !g_MainState.bSessionUnlocked;
    const bool present = g_MainState.bUserPresent;
    if (locked || !present) {
        plans::SaveSettings();
    }
    if (locked || present) {
        HWND panel = meter::MeterPanelWindow();
        if (panel != nullptr && meter::BoostActive()) {
            SendMessageW(panel, meter::WM_PANEL_END_BOOST, 0, 0);
        } else {
            RestoreSavedBoost();
        }
    }
    if (HasFlag(plans::FLAG_ECO)) {
        if (!locked && present) {
            if (drivers::GetLedDesiredState() == drivers::LED_STATE_TRANSITION5) {
                drivers::NotifyLedDriver();
            }
            Sleep(kSessionLedMs);
            LedStartupStep(hwnd);
            g_MainState.bLedRestorePending = false;
            g_MainState.bLedRestoreDone = false;
        } else if (!g_MainState.bLedRestoreDone) {
            if (!g_MainState.bLedRestorePending) {
                drivers::SetLedDesiredState(drivers::LED_STATE_TRANSITION5);
            }
            g_MainState.bLedRestoreDone = true;
        }
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"LED flags: pending %d done %d state %u",
                  g_MainState.bLedRestorePending ? 1 : 0, g_MainState.bLedRestoreDone ? 1 : 0,
                  drivers::GetLedDesiredState());
    }
    return 0;
}

void OnPanelRepaintTimer(HWND hwnd) {
    KillTimer(hwnd, IDT_PANEL_REPAINT);
    if (HWND panel = meter::MeterPanelWindow()) {
        InvalidateRect(panel, nullptr, FALSE);
    }
}

void OnBrightnessTimer(HWND hwnd) {
    KillTimer(hwnd, IDT_BRIGHTNESS);
    const bool permitted = ColourUtilityPermits();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"IDT_BRIGHTNESS: permitted %d", permitted ? 1 : 0);
    if (!permitted) {
        return;
    }
    ApplyDimTimeoutRule();
    ApplyPlanBrightness(kTraceName);
}

void RegisterPowerEvents(HWND hwnd) noexcept {
    for (size_t i = 0; i < kPowerNotificationCount; ++i) {
        g_MainState.powerNotify[i].Reset(
            RegisterPowerSettingNotification(hwnd, kRegisteredSettings[i], DEVICE_NOTIFY_WINDOW_HANDLE));
    }
    if (HasFlag(plans::FLAG_EXT_MONITOR)) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kGuidMonitorInterface;
        g_MainState.deviceNotify.Reset(RegisterDeviceNotificationW(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    }
}

void UnregisterPowerEvents(HWND hwnd) noexcept {
    for (UniquePowerNotify& handle : g_MainState.powerNotify) {
        handle.Reset();
    }
    g_MainState.deviceNotify.Reset();
    if (g_MainState.bSessionNotification) {
        WTSUnRegisterSessionNotification(hwnd);
        g_MainState.bSessionNotification = false;
    }
}
