#include "plans/peak_cut_values.h"

#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/reg_values.h"

namespace plans {

std::atomic<DWORD> g_dwPeakCutLevel{0};
std::atomic<bool> g_bSelfSwitchFlag{false};
std::atomic<DWORD> g_dwPeakCutReason{0};

namespace {

LSTATUS OpenEfEnv(REGSAM access, common::UniqueRegKey* key) noexcept {
    if ((access & KEY_SET_VALUE) != 0) {
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEfEnvKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                               key->Put(), nullptr);
    }
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEfEnvKey, 0, access, key->Put());
}

}  // namespace

LSTATUS WritePeakCutLevel(DWORD level) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenEfEnv(KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = common::WriteRegDword(key.Get(), kPeakCutLevelValue, level);
    }
    return status;
}

LSTATUS WritePeakCutOrigin(const GUID& plan, const SYSTEMTIME& when) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenEfEnv(KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key.Get(), kPeakCutOriginValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&plan),
                                sizeof(plan));
    }
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key.Get(), kUserChangeFlagValue, 0, REG_BINARY,
                                reinterpret_cast<const BYTE*>(&when), sizeof(when));
    }
    return status;
}

LSTATUS ReadPeakCutOrigin(GUID* plan, SYSTEMTIME* when) noexcept {
    common::UniqueRegKey key;
    LSTATUS status = OpenEfEnv(KEY_QUERY_VALUE, &key);
    GUID readPlan{};
    SYSTEMTIME readWhen{};
    if (status == ERROR_SUCCESS) {
        status = common::ReadRegBinary(key.Get(), kPeakCutOriginValue, &readPlan, sizeof(readPlan));
    }
    if (status == ERROR_SUCCESS) {
        status = common::ReadRegBinary(key.Get(), kUserChangeFlagValue, &readWhen, sizeof(readWhen));
    }
    if (status == ERROR_SUCCESS) {
        *plan = readPlan;
        *when = readWhen;
    }
    return status;
}

bool NotePlanChangeDuringPeakCut(const GUID& plan) noexcept {
    if (g_dwPeakCutLevel.load() == 0) {
        return false;
    }
    if (g_bSelfSwitchFlag.exchange(false)) {
        return false;
    }
    g_dwPeakCutReason = kPeakCutReasonUserChanged;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const LSTATUS status = WritePeakCutOrigin(plan, now);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"NotePlanChangeDuringPeakCut", L"user change recorded: %ld", status);
    return true;
}

}  // namespace plans
