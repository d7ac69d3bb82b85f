#include "bench/planlist/plan_setup.h"

#include <strsafe.h>

#include "common/handles.h"
// powrprof.h comes with the power table (it cannot be included twice).
#include "plans/plan_record.h"
#include "plans/power_api.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"

namespace planbench {

namespace {

constexpr size_t kPlanNameBufferChars = 64;
constexpr size_t kPlanKeyPathChars = 128;

std::vector<GUID> ListPlans() {
    std::vector<GUID> all;
    for (ULONG index = 0;; ++index) {
        GUID guid{};
        DWORD cb = sizeof(guid);
        if (PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, index, reinterpret_cast<UCHAR*>(&guid), &cb) !=
            ERROR_SUCCESS) {
            return all;
        }
        all.push_back(guid);
    }
}

DWORD ActivePlan(GUID* plan) {
    GUID* active = nullptr;
    const DWORD status = PowerGetActiveScheme(nullptr, &active);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    common::UniqueLocal owner(active);
    if (active == nullptr) {
        return ERROR_INVALID_DATA;
    }
    *plan = *active;
    return ERROR_SUCCESS;
}

void DeleteExtensionKey(const GUID& plan) {
    wchar_t path[kPlanKeyPathChars];
    if (plans::BuildPlanKeyPath(plan, path, ARRAYSIZE(path))) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
    }
}

DWORD DeletePlan(const GUID& plan) {
    const DWORD status = PowerDeleteScheme(nullptr, &plan);
    if (status == ERROR_SUCCESS) {
        DeleteExtensionKey(plan);
    }
    return status;
}

// A copy of `source` named after `number`, with an extension key.
DWORD AddPlan(const GUID& source, DWORD number, GUID* created) {
    GUID* copy = nullptr;
    DWORD status = PowerDuplicateScheme(nullptr, &source, &copy);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    common::UniqueLocal owner(copy);
    if (copy == nullptr) {
        return ERROR_INVALID_DATA;
    }
    *created = *copy;
    wchar_t name[kPlanNameBufferChars];
    if (FAILED(StringCchPrintfW(name, ARRAYSIZE(name), L"%s%lu", kBenchPlanNamePrefix,
                                static_cast<unsigned long>(number)))) {
        DeletePlan(*created);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    size_t cch = 0;
    StringCchLengthW(name, ARRAYSIZE(name), &cch);
    status = PowerWriteFriendlyName(nullptr, created, nullptr, nullptr, reinterpret_cast<UCHAR*>(name),
                                    static_cast<DWORD>((cch + 1) * sizeof(wchar_t)));
    if (status == ERROR_SUCCESS && !plans::SetLedNo(*created, 0)) {
        status = ERROR_WRITE_FAULT;
    }
    if (status != ERROR_SUCCESS) {
        DeletePlan(*created);
    }
    return status;
}

// The plan to delete next: the newest added one, else the last enumerated plan that is not active.
bool PickPlanToDelete(const std::vector<GUID>& added, const GUID& active, GUID* victim) {
    if (!added.empty()) {
        *victim = added.back();
        return true;
    }
    const std::vector<GUID> all = ListPlans();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (!IsEqualGUID(*it, active)) {
            *victim = *it;
            return true;
        }
    }
    return false;
}

// --- the counting table -------------------------------------------------------------------

PowerCallCounts g_counts{};

DWORD WINAPI CountReadAC(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, LPDWORD index) {
    ++g_counts.readAC;
    return PowerReadACValueIndex(root, scheme, subgroup, setting, index);
}
DWORD WINAPI CountReadDC(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, LPDWORD index) {
    ++g_counts.readDC;
    return PowerReadDCValueIndex(root, scheme, subgroup, setting, index);
}
DWORD WINAPI CountWriteAC(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD index) {
    ++g_counts.writes;
    return PowerWriteACValueIndex(root, scheme, subgroup, setting, index);
}
DWORD WINAPI CountWriteDC(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD index) {
    ++g_counts.writes;
    return PowerWriteDCValueIndex(root, scheme, subgroup, setting, index);
}
DWORD WINAPI CountReadName(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, PUCHAR buffer,
                           LPDWORD cb) {
    ++g_counts.readFriendlyName;
    return PowerReadFriendlyName(root, scheme, subgroup, setting, buffer, cb);
}
DWORD WINAPI CountWriteName(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting, UCHAR* buffer,
                            DWORD cb) {
    ++g_counts.writes;
    return PowerWriteFriendlyName(root, scheme, subgroup, setting, buffer, cb);
}
DWORD WINAPI CountReadDescription(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                  PUCHAR buffer, LPDWORD cb) {
    ++g_counts.readDescription;
    return PowerReadDescription(root, scheme, subgroup, setting, buffer, cb);
}
DWORD WINAPI CountWriteDescription(HKEY root, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                                   UCHAR* buffer, DWORD cb) {
    ++g_counts.writes;
    return PowerWriteDescription(root, scheme, subgroup, setting, buffer, cb);
}
DWORD WINAPI CountEnumerate(HKEY root, const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR flags,
                            ULONG index, UCHAR* buffer, DWORD* cb) {
    ++g_counts.enumerate;
    return PowerEnumerate(root, scheme, subgroup, flags, index, buffer, cb);
}
DWORD WINAPI CountGetActive(HKEY root, GUID** active) {
    ++g_counts.getActiveScheme;
    return PowerGetActiveScheme(root, active);
}

const plans::PowerApi kCountingApi = {
    CountReadAC,   CountReadDC,    CountWriteAC,         CountWriteDC,          CountReadName,
    CountWriteName, CountReadDescription, CountWriteDescription, CountEnumerate, CountGetActive,
    PowerSetActiveScheme,  // activations are not counted
};

}  // namespace

DWORD CountMachinePlans() noexcept {
    return static_cast<DWORD>(ListPlans().size());
}

DWORD ResizePlans(DWORD target, std::vector<GUID>* added) noexcept {
    if (target == 0 || added == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    GUID active{};
    DWORD status = ActivePlan(&active);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD count = CountMachinePlans();
    while (count < target) {
        GUID created{};
        status = AddPlan(active, static_cast<DWORD>(added->size()) + 1, &created);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        added->push_back(created);
        ++count;
    }
    while (count > target) {
        GUID victim{};
        if (!PickPlanToDelete(*added, active, &victim)) {
            return ERROR_INVALID_PARAMETER;
        }
        status = DeletePlan(victim);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (!added->empty() && IsEqualGUID(added->back(), victim)) {
            added->pop_back();
        }
        --count;
    }
    // Someone else may have added or removed plans meanwhile: the machine decides.
    return CountMachinePlans() == target ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

void RemoveAddedPlans(std::vector<GUID>* added) noexcept {
    for (const GUID& plan : *added) {
        DeletePlan(plan);
    }
    added->clear();
}

DWORD BaselinePass(std::vector<GUID>* scratch) noexcept {
    const plans::PowerApi& api = plans::Power();
    scratch->clear();
    for (ULONG index = 0;; ++index) {
        GUID guid{};
        DWORD cb = sizeof(guid);
        if (api.enumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, index, reinterpret_cast<UCHAR*>(&guid), &cb) !=
            ERROR_SUCCESS) {
            break;
        }
        scratch->push_back(guid);
    }
    wchar_t name[plans::kPlanNameChars];
    wchar_t description[plans::kPlanDescriptionChars];
    for (const GUID& plan : *scratch) {
        // The same buffer sizes as the plan record, so that the same copies are made.
        DWORD cb = sizeof(name) - sizeof(wchar_t);
        api.readFriendlyName(nullptr, &plan, nullptr, nullptr, reinterpret_cast<UCHAR*>(name), &cb);
        cb = sizeof(description) - sizeof(wchar_t);
        api.readDescription(nullptr, &plan, nullptr, nullptr, reinterpret_cast<UCHAR*>(description), &cb);
        DWORD value = 0;
        api.readACValueIndex(nullptr, &plan, &plans::kSubgroupVideo, &plans::kSettingBrightness, &value);
        api.readDCValueIndex(nullptr, &plan, &plans::kSubgroupVideo, &plans::kSettingBrightness, &value);
    }
    return static_cast<DWORD>(scratch->size());
}

CallCounter::CallCounter() noexcept {
    g_counts = PowerCallCounts{};
    plans::SetPowerApi(&kCountingApi);
}

CallCounter::~CallCounter() { plans::SetPowerApi(nullptr); }

PowerCallCounts CallCounter::Counts() const noexcept { return g_counts; }

void CallCounter::Reset() noexcept { g_counts = PowerCallCounts{}; }

}  // namespace planbench
