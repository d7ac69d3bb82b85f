// Boost on and off, the saved throttle block and its restore after an interruption.
#include "meter/boost.h"

#include <powrprof.h>

#include <mutex>

#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "meter/speed_monitor.h"
#include "plans/guid_text.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"

namespace meter {

namespace {

constexpr wchar_t kTrace[] = L"Boost";
constexpr BYTE kNeverBoostsPreset = 4;   // the preset test's code for an unknown line status
constexpr BYTE kUnknownLineStatus = 255;

std::mutex g_lock;   // the main thread and the automatic change thread both move the boost
bool g_bActive = false;
GUID g_guidPlan = GUID_NULL;

BYTE LineStatus() noexcept {
    SYSTEM_POWER_STATUS status{};
    const BOOL ok = battery::g_BatteryHooks.getSystemPowerStatus != nullptr
                        ? battery::g_BatteryHooks.getSystemPowerStatus(&status)
                        : GetSystemPowerStatus(&status);
    return ok ? status.ACLineStatus : kUnknownLineStatus;
}

SavedThrottle ToBlock(const plans::ProcessorPair& pair) noexcept {
    return SavedThrottle{pair.dwMinAC, pair.dwMaxAC, pair.ucPresetAC, pair.dwMinDC, pair.dwMaxDC, pair.ucPresetDC};
}

plans::ProcessorPair FromBlock(const SavedThrottle& block) noexcept {
    plans::ProcessorPair pair{};
    pair.dwMinAC = block.dwMinAC;
    pair.dwMaxAC = block.dwMaxAC;
    pair.ucPresetAC = static_cast<BYTE>(block.dwPresetAC);
    pair.dwMinDC = block.dwMinDC;
    pair.dwMaxDC = block.dwMaxDC;
    pair.ucPresetDC = static_cast<BYTE>(block.dwPresetDC);
    return pair;
}

// The saved block and the plan named beside it (GUID_NULL when no name is stored).
bool ReadSavedBlock(SavedThrottle* block, GUID* plan) noexcept {
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD cbRead = 0;
    if (common::ReadRegBinary(key.Get(), kSavedThrottleValue, block, sizeof(*block), &cbRead) != ERROR_SUCCESS ||
        cbRead != sizeof(*block)) {
        return false;
    }
    wchar_t text[plans::kBracedGuidBufferChars + 1] = L"";
    *plan = GUID_NULL;
    if (common::ReadRegString(key.Get(), kSavedThrottlePlanValue, text, ARRAYSIZE(text)) == ERROR_SUCCESS) {
        plans::ParseGuidText(text, plan);
    }
    return true;
}

bool WriteSavedBlock(const SavedThrottle& block, const GUID& plan) noexcept {
    common::UniqueRegKey key;
    if (common::CreateRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_SET_VALUE, key) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t text[plans::kBracedGuidBufferChars];
    plans::FormatBracedGuid(plan, text);
    // The plan first: a block never stands without the plan it belongs to.
    return common::WriteRegString(key.Get(), kSavedThrottlePlanValue, text) == ERROR_SUCCESS &&
           common::WriteRegBinary(key.Get(), kSavedThrottleValue, &block, sizeof(block)) == ERROR_SUCCESS;
}

void DeleteSavedBlock() noexcept {
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
        common::DeleteRegValue(key.Get(), kSavedThrottleValue);
        common::DeleteRegValue(key.Get(), kSavedThrottlePlanValue);
    }
}

bool Activate(const GUID& plan) noexcept {
    const DWORD status = plans::ActivateScheme(plan);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrBoostActivate, status, ERRLOG_FILE);
        return false;
    }
    return true;
}

// Steps 1-3 of boost on for `plan`; kBoostApplied, kBoostNothingToChange or kBoostFailed.
DWORD ApplyBoost(const GUID& plan, bool forced) noexcept {
    plans::ProcessorPair pair{};
    if (!plans::ReadProcessorPair(plan, &pair)) {
        WriteErrorLog(kErrReadProcessor, 0, ERRLOG_FILE);
        return kBoostFailed;
    }
    const BYTE line = LineStatus();
    const bool onLine = line == 1;
    const DWORD minimum = onLine ? pair.dwMinAC : pair.dwMinDC;
    const DWORD maximum = onLine ? pair.dwMaxAC : pair.dwMaxDC;
    const BYTE preset = line == kUnknownLineStatus ? kNeverBoostsPreset : (onLine ? pair.ucPresetAC : pair.ucPresetDC);
    // A plan already at full speed cannot be boosted.
    if (minimum >= plans::kProcessorFull || (NoSpeedStep() && maximum >= plans::kProcessorFull)) {
        return kBoostNothingToChange;
    }
    const bool boostable = preset != plans::PRESET_HIGH && preset != kNeverBoostsPreset &&
                           !(preset == plans::PRESET_AUTO && NoSpeedStep());
    if (!boostable && !forced) {
        return kBoostNothingToChange;
    }
    if (!WriteSavedBlock(ToBlock(pair), plan)) {
        WriteErrorLog(kErrBoostSetting, kDetailBoostOn, ERRLOG_FILE);
        return kBoostFailed;
    }
    plans::ProcessorPair full = pair;
    full.dwMinAC = full.dwMaxAC = full.dwMinDC = full.dwMaxDC = plans::kProcessorFull;
    full.ucPresetAC = full.ucPresetDC = plans::PRESET_HIGH;
    if (!plans::WriteProcessorPair(plan, full)) {
        WriteErrorLog(kErrWriteProcessor, 0, ERRLOG_FILE);
        WriteErrorLog(kErrBoostSetting, kDetailBoostOn, ERRLOG_FILE);
        // The plan keeps its own values; so must the registry.
        plans::WriteProcessorPair(plan, pair);
        DeleteSavedBlock();
        return kBoostFailed;
    }
    return kBoostApplied;
}

// Steps 1-3 of boost off for `plan`. False when the plan's values could not be restored.
bool RestorePlan(const GUID& plan, bool activate, DWORD detail) noexcept {
    plans::ProcessorPair current{};
    if (!plans::ReadProcessorPair(plan, &current)) {
        WriteErrorLog(kErrReadProcessor, 0, ERRLOG_FILE);
        WriteErrorLog(kErrBoostSetting, detail, ERRLOG_FILE);
        return false;
    }
    if (current.ucPresetAC != plans::PRESET_HIGH || current.ucPresetDC != plans::PRESET_HIGH) {
        // The user changed the plan's processor values meanwhile: they stay.
        DeleteSavedBlock();
        return true;
    }
    SavedThrottle block{};
    GUID owner = GUID_NULL;
    if (!ReadSavedBlock(&block, &owner) || (!plans::IsNullGuid(owner) && !IsEqualGUID(owner, plan))) {
        WriteErrorLog(kErrBoostSetting, detail, ERRLOG_FILE);
        return false;
    }
    if (!plans::WriteProcessorPair(plan, FromBlock(block))) {
        WriteErrorLog(kErrWriteProcessor, 0, ERRLOG_FILE);
        WriteErrorLog(kErrBoostSetting, detail, ERRLOG_FILE);
        return false;
    }
    DeleteSavedBlock();
    return !activate || Activate(plan);
}

void Forget() noexcept {
    g_bActive = false;
    g_guidPlan = GUID_NULL;
}

bool StartOn(const GUID& plan, bool forced, bool activate) noexcept {
    const DWORD result = ApplyBoost(plan, forced);
    if (result != kBoostApplied) {
        return false;
    }
    if (activate && !Activate(plan)) {
        // Not in force: put the plan's own values back.
        RestorePlan(plan, false, kDetailBoostOn);
        return false;
    }
    g_bActive = true;
    g_guidPlan = plan;
    return true;
}

}  // namespace

bool BoostActive() noexcept {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_bActive;
}

GUID BoostedPlan() noexcept {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_guidPlan;
}

bool BoostOn() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"BoostOn Enter");
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_bActive || (plans::g_Settings.blob.dwFlagWord & plans::FLAG_CANTCHGPP) != 0) {
        return g_bActive;
    }
    GUID active = GUID_NULL;
    const DWORD status = plans::ReadActiveScheme(&active);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrActiveScheme, status, ERRLOG_FILE);
        return false;
    }
    return StartOn(active, false, true);
}

bool BoostOff() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"BoostOff Enter");
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_bActive) {
        return false;
    }
    RestorePlan(g_guidPlan, true, kDetailBoostOff);
    Forget();
    return true;
}

bool EndBoostForPlanChange(const GUID& active) noexcept {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_bActive || IsEqualGUID(active, g_guidPlan)) {
        return false;
    }
    RestorePlan(g_guidPlan, false, kDetailPlanChanged);
    Forget();
    return true;
}

void MoveBoost(const GUID& from, const GUID& to) noexcept {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_bActive) {
        return;
    }
    RestorePlan(IsEqualGUID(from, g_guidPlan) ? from : g_guidPlan, false, kDetailPlanChanged);
    Forget();
    StartOn(to, true, false);
}

bool RestoreInterruptedBoost(DWORD detail) noexcept {
    std::lock_guard<std::mutex> hold(g_lock);
    SavedThrottle block{};
    GUID owner = GUID_NULL;
    if (!ReadSavedBlock(&block, &owner)) {
        return false;
    }
    GUID active = GUID_NULL;
    if (plans::ReadActiveScheme(&active) != ERROR_SUCCESS) {
        WriteErrorLog(kErrActiveScheme, 0, ERRLOG_FILE);
        return false;
    }
    GUID plan = owner;
    if (plans::IsNullGuid(plan)) {
        // A block without its plan: only the active plan still at full speed can be its owner.
        plans::ProcessorPair current{};
        if (!plans::ReadProcessorPair(active, &current) || current.ucPresetAC != plans::PRESET_HIGH ||
            current.ucPresetDC != plans::PRESET_HIGH) {
            DeleteSavedBlock();
            return false;
        }
        plan = active;
    }
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    if (plans::IsNullGuid(record.guid)) {
        DeleteSavedBlock();   // the plan was deleted meanwhile
        return false;
    }
    return RestorePlan(plan, IsEqualGUID(plan, active), detail);
}

}  // namespace meter
