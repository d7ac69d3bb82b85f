// The automatic plan change: hASEvent/hASMutex, one evaluation and the thread that repeats it.
#include <windows.h>
#include <powrprof.h>

#include <atomic>

#include "battery/auto_change.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/threads.h"
#include "common/log.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/settings.h"

namespace battery {

AutoChangeHooks g_AutoChangeHooks;

namespace {

constexpr wchar_t kThreadTrace[] = L"aucThread";
constexpr double kPercentScale = 100.0;

common::UniqueHandle g_hASEvent;
common::UniqueHandle g_hASMutex;
common::UniqueHandle g_thread;
common::UniqueHandle g_stop;
std::atomic<DWORD> g_passes{0};

bool HasFlag(DWORD flag) noexcept { return (plans::g_Settings.blob.dwFlagWord & flag) != 0; }

void RequestBrightness() noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"SETBRIGHTNESS()");
    if (g_AutoChangeHooks.requestBrightness != nullptr) {
        g_AutoChangeHooks.requestBrightness(1);
    }
}

bool PlanExists(const GUID& plan) noexcept {
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    return !plans::IsNullGuid(record.guid);
}

// Activates `to`, moving an active boost first. False (error 63) when the activation failed.
// A plan that does not exist cannot take the boost: it stays on the plan that stays active.
bool Activate(const GUID& from, const GUID& to) noexcept {
    if (g_AutoChangeHooks.boostActive != nullptr && g_AutoChangeHooks.boostActive() &&
        g_AutoChangeHooks.moveBoost != nullptr && PlanExists(to)) {
        g_AutoChangeHooks.moveBoost(from, to);
    }
    const DWORD status = plans::ActivateScheme(to);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrAutoActivate, status, ERRLOG_FILE);
        return false;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"PowerSetActiveScheme SUCCESS!");
    plans::RefreshCurrentPlan(to);
    return true;
}

// The plan left is stored first: a failed activation (a target that names no plan included)
// leaves it stored, and each later evaluation tries again and records 63.
AutoAction SwitchToTarget(const AutoRecord& record, const GUID& active) noexcept {
    AutoRecord stored = record;
    stored.guidPrevious = active;
    SetAutoRecord(stored);
    SaveAutoSettings();
    if (!Activate(active, record.guidTarget)) {
        return AutoAction::None;
    }
    plans::PostPlanChanged(1);
    RequestBrightness();
    plans::SendProcessorValue(record.guidTarget);
    return AutoAction::SwitchToTarget;
}

AutoAction SwitchBack(const GUID& active) noexcept {
    LoadAutoSettings();
    AutoRecord record = GetAutoRecord();
    if (plans::IsNullGuid(record.guidPrevious) || IsEqualGUID(record.guidPrevious, active)) {
        return AutoAction::None;
    }
    const GUID previous = record.guidPrevious;
    if (!Activate(active, previous)) {
        return AutoAction::None;
    }
    record.guidPrevious = GUID_NULL;
    SetAutoRecord(record);
    SaveAutoSettings();
    plans::PostPlanChanged(0);
    RequestBrightness();
    plans::SendProcessorValue(previous);
    return AutoAction::SwitchBack;
}

AutoAction Evaluate() noexcept {
    const SYSTEM_BATTERY_STATE state = GetBatterySnapshot().sys;
    LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"Discharg=%s MaxCap=%d", state.Discharging ? L"TRUE" : L"FALSE",
              static_cast<int>(state.MaxCapacity));
    GUID active = GUID_NULL;
    if (plans::ReadActiveScheme(&active) != ERROR_SUCCESS) {
        return AutoAction::None;
    }
    const AutoRecord record = GetAutoRecord();
    const AutoDecision decision = DecideAutoChange(state, record, active);
    if (decision.dCharge >= 0) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"curPar=%f(%d/%d)", decision.dCharge,
                  static_cast<int>(state.RemainingCapacity), static_cast<int>(state.MaxCapacity));
        LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"RemaindPercent=%d%%", static_cast<int>(record.RemaindPercent));
    }
    switch (decision.action) {
    case AutoAction::SwitchToTarget:
        return SwitchToTarget(record, active);
    case AutoAction::SwitchBack:
        return SwitchBack(active);
    default:
        return AutoAction::None;
    }
}

// Waits for the stop event or `handle`: true when `handle` came.
bool WaitUnlessStopped(HANDLE handle, DWORD timeoutMs) noexcept {
    const HANDLE handles[] = {g_stop.Get(), handle};
    const DWORD wait = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
    return wait == WAIT_OBJECT_0 + 1 || wait == WAIT_ABANDONED_0 + 1;
}

DWORD WINAPI AutoChangeThread(void* parameter) {
    const DWORD intervalMs = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(parameter)) * kAutoIntervalUnitMs;
    LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"aucThread Start hASEvent=%#8x,hASMutex=%#8x",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(g_hASEvent.Get())),
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(g_hASMutex.Get())));
    for (;;) {
        if (!g_hASEvent || !g_hASMutex) {
            LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"ExitThread(0)");
            return 0;
        }
        if (g_AutoChangeHooks.waitWhilePaused != nullptr && !g_AutoChangeHooks.waitWhilePaused(g_stop.Get())) {
            return 0;
        }
        LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"WaitForSingleObject(hASEvent=%#8x) Start",
                  static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(g_hASEvent.Get())));
        if (!WaitUnlessStopped(g_hASEvent.Get(), INFINITE)) {
            return 0;
        }
        ++g_passes;
        LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"info.flags=%#x", plans::g_Settings.blob.dwFlagWord);
        if (HasFlag(plans::FLAG_CANTCHGPP)) {
            LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"FLAG_CANTCHGPP Error(LastError=%d)",
                      static_cast<int>(GetLastError()));
            return 0;
        }
        RunAutoChangePass();
        LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"Sleep...");
        if (WaitForSingleObject(g_stop.Get(), intervalMs) != WAIT_TIMEOUT) {
            return 0;
        }
    }
}

}  // namespace

AutoDecision DecideAutoChange(const SYSTEM_BATTERY_STATE& state, const AutoRecord& record,
                              const GUID& active) noexcept {
    AutoDecision decision{AutoAction::None, -1.0};
    if (state.MaxCapacity == 0) {
        return decision;
    }
    decision.dCharge = static_cast<double>(state.RemainingCapacity) / static_cast<double>(state.MaxCapacity) *
                       kPercentScale;
    const double threshold = static_cast<double>(record.RemaindPercent);
    const bool idle = !state.Charging && !state.Discharging;
    if (state.Discharging || (idle && !state.AcOnLine)) {
        if (decision.dCharge <= threshold && !IsEqualGUID(active, record.guidTarget)) {
            decision.action = AutoAction::SwitchToTarget;
        }
    } else if (state.Charging || idle) {
        if (decision.dCharge > threshold && !plans::IsNullGuid(record.guidPrevious) &&
            !IsEqualGUID(active, record.guidPrevious)) {
            decision.action = AutoAction::SwitchBack;
        }
    }
    return decision;
}

DWORD CreateAutoChangeMutex() noexcept {
    g_hASMutex.Reset(CreateMutexW(nullptr, FALSE, nullptr));
    return g_hASMutex ? ERROR_SUCCESS : GetLastError();
}

DWORD CreateAutoChangeEvent() noexcept {
    g_hASEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return g_hASEvent ? ERROR_SUCCESS : GetLastError();
}

void CloseAutoChangeObjects() noexcept {
    JoinAutoChangeThread();
    g_hASEvent.Reset();
    g_hASMutex.Reset();
}

HANDLE AutoChangeEvent() noexcept { return g_hASEvent.Get(); }
HANDLE AutoChangeMutex() noexcept { return g_hASMutex.Get(); }

DWORD SetAutoChangeEvent(BOOL enabled) noexcept {
    constexpr wchar_t kTrace[] = L"SetAutoChangeEvent";
    if (enabled) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"bChecked=%s", L"TRUE");
    }
    const BOOL ok = enabled ? SetEvent(g_hASEvent.Get()) : ResetEvent(g_hASEvent.Get());
    if (!ok) {
        const DWORD error = GetLastError();
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"hASEventSetFailed(LastError=%d)", static_cast<int>(error));
        return error;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, enabled ? L"SetEvent hASEvent SUCCESS(%#8x)" : L"ResetEvent hASEvent SUCCESS(%#8x)",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(g_hASEvent.Get())));
    return ERROR_SUCCESS;
}

AutoAction RunAutoChangePass() noexcept {
    if (!g_hASMutex) {
        return AutoAction::None;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"WaitForSingleObject(hASMutex=%#8x) Start",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(g_hASMutex.Get())));
    const DWORD wait = WaitForSingleObject(g_hASMutex.Get(), INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"WaitForSingleObject(hASMutex) Error(LastError=%d)",
                  static_cast<int>(GetLastError()));
        return AutoAction::None;
    }
    const AutoAction action = Evaluate();
    LOG_TRACE(TRACE_LEVEL_VALUES, kThreadTrace, L"ReleaseMutex(hASMutex=%#8x)",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(g_hASMutex.Get())));
    ReleaseMutex(g_hASMutex.Get());
    return action;
}

DWORD StartAutoChangeThread(DWORD parameter) noexcept {
    if (g_thread) {
        return ERROR_ALREADY_EXISTS;
    }
    g_stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_stop) {
        return GetLastError();
    }
    g_thread.Reset(common::StartWorkerThread(AutoChangeThread, reinterpret_cast<void*>(static_cast<ULONG_PTR>(parameter)),
                                              common::kLibraryStackBytes));
    if (!g_thread) {
        const DWORD error = GetLastError();
        g_stop.Reset();
        return error;
    }
    return ERROR_SUCCESS;
}

void JoinAutoChangeThread() noexcept {
    if (!g_thread) {
        return;
    }
    SetEvent(g_stop.Get());
    WaitForSingleObject(g_thread.Get(), INFINITE);
    g_thread.Reset();
    g_stop.Reset();
}

HANDLE AutoChangeThread() noexcept { return g_thread.Get(); }

bool AutoChangeThreadRunning() noexcept {
    return g_thread && WaitForSingleObject(g_thread.Get(), 0) == WAIT_TIMEOUT;
}

bool WaitAutoChangeThreadEnd(DWORD timeoutMs) noexcept {
    return !g_thread || WaitForSingleObject(g_thread.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD AutoChangeThreadPasses() noexcept { return g_passes.load(); }

}  // namespace battery
