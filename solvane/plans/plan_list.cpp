#include "plans/plan_list.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "common/handles.h"
#include "common/log.h"
#include "plans/error_ids.h"
#include "plans/guid_text.h"
#include "plans/power_guids.h"
#include "plans/reg_values.h"

namespace plans {

std::vector<PlanRecord> g_PlanList;
DWORD g_PlanCount = 0;
PlanRecord* g_PinnedPlanPtrs[kMaxPinnedPlans] = {};
std::vector<PlanRecord*> g_OtherPlans;
PlanRecord activepsi{};
bool g_bActiveListed = false;

const GUID kKnownPlanOrder[kKnownPlanOrderCount] = {
    {0x6658A2A5, 0x119C, 0x4E4E, {0x93, 0x1B, 0x97, 0x2B, 0xCF, 0xDD, 0x14, 0xA6}},
    {0xB06FB371, 0x2C24, 0x43A7, {0xB8, 0x7B, 0x5E, 0xED, 0xE7, 0x12, 0xB5, 0x49}},
    {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}},
    {0xD3036FF0, 0x0D25, 0x4C9D, {0xA9, 0x6C, 0x77, 0x8C, 0x92, 0x64, 0xD4, 0xF5}},
    {0x9D65F79D, 0x7BBE, 0x4AA8, {0xB1, 0xAC, 0xE6, 0xD8, 0xA5, 0xD5, 0xB6, 0x4F}},
    {0x814053B4, 0x9209, 0x49A0, {0x99, 0xF1, 0x11, 0x5D, 0x99, 0xA3, 0x5A, 0xCA}},
    {0x68FB8244, 0x663E, 0x4E69, {0xBD, 0x9C, 0x4A, 0xB5, 0x09, 0x01, 0x7F, 0xD5}},
    {0x3EE4A2D4, 0x4543, 0x4753, {0x80, 0xBC, 0x4C, 0x7C, 0xDA, 0x6C, 0x03, 0xC9}},
    {0x437E2150, 0x08E4, 0x498A, {0xBD, 0xA6, 0xE2, 0xDE, 0x2B, 0x89, 0xB5, 0x06}},
    {0x443A836D, 0x6360, 0x4722, {0x91, 0x42, 0x56, 0x48, 0xB1, 0x79, 0x1F, 0xDE}},
    {0x4A3C3C2B, 0xB5FC, 0x4898, {0xB0, 0x3A, 0xA4, 0x7E, 0x81, 0x63, 0x98, 0x9A}},
    {0x3C140AFB, 0xEA53, 0x4F9D, {0xB4, 0x31, 0xBC, 0xC9, 0xF0, 0xE2, 0xBB, 0xF0}},
    {0xB60905C0, 0x3422, 0x4F4A, {0xBE, 0x11, 0x57, 0x51, 0x78, 0xA6, 0xD1, 0xF6}},
    {0x9166C53E, 0x34BE, 0x43DB, {0xA1, 0xBF, 0x04, 0x31, 0x86, 0xBA, 0xC6, 0x75}},
    {0xC908807A, 0x5866, 0x4DCA, {0x84, 0x9E, 0xAB, 0xBC, 0x24, 0x4D, 0x06, 0xAB}},
    {0x77199EB2, 0x19E8, 0x4724, {0x85, 0x66, 0x48, 0x40, 0xFC, 0x67, 0xC6, 0x8C}},
    {0x5495058A, 0x2CB2, 0x4777, {0x9C, 0x4F, 0xC8, 0x15, 0x99, 0x45, 0x21, 0x17}},
    {0x4368BC51, 0xAE9B, 0x4517, {0xAA, 0xAF, 0x9D, 0xFD, 0x80, 0x54, 0x0A, 0xCF}},
    {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}},
};

namespace {

common::UniqueHandle g_planListLock;
volatile LONG g_cleanupRunning = 0;
constexpr DWORD kKeyNameChars = 256;

bool IsPinned(const PlanRecord* record, PlanRecord* const (&pinned)[kMaxPinnedPlans]) {
    for (PlanRecord* p : pinned) {
        if (p == record) {
            return true;
        }
    }
    return false;
}

bool IsKnownPlan(const GUID& guid) {
    for (const GUID& known : kKnownPlanOrder) {
        if (IsEqualGUID(guid, known)) {
            return true;
        }
    }
    return false;
}

bool Listable(const PlanRecord& record, PlanRecord* const (&pinned)[kMaxPinnedPlans]) {
    return !IsNullGuid(record.guid) && (record.dwFlags & kPlanFlagHidden) == 0 && !IsPinned(&record, pinned);
}

}  // namespace

std::vector<const PlanRecord*> ListedPlans() {
    std::vector<const PlanRecord*> listed;
    for (const PlanRecord* pinned : g_PinnedPlanPtrs) {
        if (pinned != nullptr && !IsNullGuid(pinned->guid) && (pinned->dwFlags & kPlanFlagHidden) == 0) {
            listed.push_back(pinned);
        }
    }
    for (const PlanRecord* other : g_OtherPlans) {
        if (other != nullptr) {
            listed.push_back(other);
        }
    }
    return listed;
}

namespace {

void ClearLists() noexcept {
    g_PlanList.clear();
    g_PlanCount = 0;
    for (PlanRecord*& p : g_PinnedPlanPtrs) {
        p = nullptr;
    }
    g_OtherPlans.clear();
}

// Names of every subkey of an open key; false when the enumeration did not end normally.
bool ListSubkeys(HKEY key, std::vector<std::wstring>* names) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[kKeyNameChars];
        DWORD cch = ARRAYSIZE(name);
        const LSTATUS status = RegEnumKeyExW(key, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        if (status != ERROR_SUCCESS) {
            return false;
        }
        names->emplace_back(name, cch);
    }
}

struct CleanupGuard {
    bool entered;
    CleanupGuard() : entered(InterlockedExchange(&g_cleanupRunning, 1) == 0) {}
    ~CleanupGuard() {
        if (entered) {
            InterlockedExchange(&g_cleanupRunning, 0);
        }
    }
};

}  // namespace

bool CreatePlanListLock() noexcept {
    if (g_planListLock) {
        return true;
    }
    g_planListLock.Reset(CreateMutexW(nullptr, FALSE, kPlanListLockName));
    if (!g_planListLock) {
        WriteErrorLog(kErrCreatePlanLock, GetLastError(), ERRLOG_FILE);
        return false;
    }
    return true;
}

void ClosePlanListLock() noexcept { g_planListLock.Reset(); }

HANDLE PlanListLockHandle() noexcept {
    // The lock is created at start-up; a walker that comes first (a tool, a test) opens the same
    // named mutex itself rather than running unguarded.
    if (!g_planListLock) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, kPlanListLockName);
        if (mutex != nullptr) {
            g_planListLock.Reset(mutex);
        }
    }
    return g_planListLock.Get();
}

PlanListLock::PlanListLock(DWORD detail, DWORD timeoutMs) noexcept : m_lock(PlanListLockHandle(), timeoutMs) {
    if (!m_lock.Owned() && detail != kQuietLockDetail) {
        WriteErrorLog(kErrPlanListLock, detail, ERRLOG_FILE);
    }
}

std::vector<PlanRecord*> BuildOtherPlans(std::vector<PlanRecord>& records, size_t count,
                                         PlanRecord* const (&pinned)[kMaxPinnedPlans]) {
    if (count > records.size()) {
        count = records.size();
    }
    std::vector<PlanRecord*> others;
    // Room for every plan, whatever the pinned entries hold.
    others.reserve(count + 1);
    for (const GUID& known : kKnownPlanOrder) {
        for (size_t i = 0; i < count; ++i) {
            if (IsEqualGUID(records[i].guid, known) && Listable(records[i], pinned)) {
                others.push_back(&records[i]);
            }
        }
    }
    for (size_t i = 0; i < count; ++i) {
        if (!IsKnownPlan(records[i].guid) && Listable(records[i], pinned)) {
            others.push_back(&records[i]);
        }
    }
    return others;
}

namespace {

// Points each pinned entry at its plan's record, for records that were read: a plan whose record
// could not be read (its GUID is null then) is offered nowhere.
void PinReadPlans(DWORD count) noexcept {
    const INT32 pinnedCount = g_Settings.nPinnedCount < 0 ? 0
                              : (g_Settings.nPinnedCount > static_cast<INT32>(kMaxPinnedPlans)
                                     ? static_cast<INT32>(kMaxPinnedPlans)
                                     : g_Settings.nPinnedCount);
    for (INT32 j = 0; j < pinnedCount; ++j) {
        const GUID& wanted = g_Settings.pinned[j];
        if (IsNullGuid(wanted)) {
            continue;
        }
        for (DWORD i = 0; i < count; ++i) {
            if (IsEqualGUID(g_PlanList[i].guid, wanted)) {
                g_PinnedPlanPtrs[j] = &g_PlanList[i];
                break;
            }
        }
    }
}

// The plan set the last completed cleanup saw (sorted); none before the first of a run.
std::vector<GUID> g_cleanedPlanSet;
bool g_bCleanedOnce = false;

bool GuidLess(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) < 0; }

// Removes the extension keys of plans not in `live` (a complete enumeration). False when the
// cleanup did not run (another one is running) or stopped before deciding every key.
bool DeleteStaleKeysOf(const std::vector<GUID>& live) {
    CleanupGuard guard;
    if (!guard.entered) {
        return false;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"DeleteStalePlanKeys", L"Enter");
    for (const GUID& g : live) {
        if (IsNullGuid(g)) {
            return false;
        }
    }
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPowerSettingsKey, 0, KEY_ENUMERATE_SUB_KEYS, key.Put()) != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"DeleteStalePlanKeys", L"Exit");
        return true;  // no extension keys at all
    }
    std::vector<std::wstring> names;
    if (!ListSubkeys(key.Get(), &names)) {
        return false;
    }
    for (const std::wstring& name : names) {
        GUID keyGuid;
        if (!ParseGuidText(name.c_str(), &keyGuid) || IsNullGuid(keyGuid)) {
            continue;  // not a plan's key
        }
        bool alive = false;
        for (const GUID& g : live) {
            if (IsEqualGUID(g, keyGuid)) {
                alive = true;
                break;
            }
        }
        if (!alive) {
            // Fails (and keeps the key) while a "DefaultSettings" subkey is left in it.
            const LSTATUS status = RegDeleteKeyW(key.Get(), name.c_str());
            LOG_TRACE(TRACE_LEVEL_VALUES, L"DeleteStalePlanKeys", L"%s: %ld", name.c_str(), status);
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"DeleteStalePlanKeys", L"Exit");
    return true;
}

// The refresh's cleanup: at the first refresh of a run and whenever the set of plans differs
// from the one the last completed cleanup saw. Only an enumeration that ran to its normal end
// names every live plan; anything else could make a live plan look deleted.
void CleanUpAfterRefresh(const std::vector<GUID>& live, DWORD endStatus) {
    if (endStatus != ERROR_NO_MORE_ITEMS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"DeleteStalePlanKeys", L"plan enumeration ended with %lu: kept",
                  static_cast<unsigned long>(endStatus));
        return;
    }
    std::vector<GUID> sorted = live;
    std::sort(sorted.begin(), sorted.end(), GuidLess);
    const bool same = g_bCleanedOnce && sorted.size() == g_cleanedPlanSet.size() &&
                      std::equal(sorted.begin(), sorted.end(), g_cleanedPlanSet.begin(),
                                 [](const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != FALSE; });
    if (same) {
        return;
    }
    if (DeleteStaleKeysOf(live)) {
        g_cleanedPlanSet = std::move(sorted);
        g_bCleanedOnce = true;
    }
}

void RebuildLists() {
    ClearLists();
    // One enumeration serves the list and the cleanup.
    DWORD endStatus = ERROR_SUCCESS;
    const std::vector<GUID> live = EnumerateAllPlans(&endStatus);
    const DWORD count = static_cast<DWORD>(live.size());
    if (count == 0) {
        return;
    }
    g_PlanList.assign(count + 1, PlanRecord{});
    g_PlanCount = count;
    for (DWORD i = 0; i < count; ++i) {
        g_PlanList[i].guid = live[i];  // a null GUID leaves the record empty
    }
    GUID active = GUID_NULL;
    DWORD status = ReadActiveScheme(&active);
    if (status == ERROR_SUCCESS) {
        status = UpdateSystemActions(active);
    }
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrPlanList, status, ERRLOG_FILE);
    }
    for (DWORD i = 0; i < count; ++i) {
        ReadPlanRecord(&g_PlanList[i]);
        g_PlanList[i].nListIndex = static_cast<INT32>(i);
    }
    PinReadPlans(count);
    g_OtherPlans = BuildOtherPlans(g_PlanList, count, g_PinnedPlanPtrs);
    CleanUpAfterRefresh(live, endStatus);
}

}  // namespace

void RefreshPlanList() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"RefreshPlanList", L"Enter");
    PlanListLock lock(kLockDetailListRefresh);
    if (!lock.Owned()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"RefreshPlanList", L"Exit - Error! retval:%08x", WAIT_TIMEOUT);
        return;
    }
    try {
        RebuildLists();
    } catch (const std::bad_alloc&) {
        // No half-built list: readers find no plans until the next refresh.
        ClearLists();
        WriteErrorLog(kErrPlanList, ERROR_NOT_ENOUGH_MEMORY, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, L"RefreshPlanList", L"Exit - Error! retval:%08x", ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"RefreshPlanList", L"Exit");
}

void ClearPlanLists() noexcept {
    PlanListLock lock(kLockDetailListRefresh);
    if (!lock.Owned()) {
        return;  // a walker still holds them; they go with the process
    }
    ClearLists();
    activepsi = PlanRecord{};
    // A list built after this is the first of a run again: it checks every extension key and
    // reads the actions of the active plan.
    ForgetSystemActions();
    g_cleanedPlanSet.clear();
    g_bCleanedOnce = false;
}

void RefreshCurrentPlan(const GUID& plan) {
    LOG_TRACE(TRACE_LEVEL_APP, L"RefreshCurrentPlan", L"Enter");
    const bool forced = IsEqualGUID(plan, kActiveSchemeMarkerForced) != FALSE;
    const bool marker = forced || IsEqualGUID(plan, kActiveSchemeMarker) != FALSE;
    if (!marker && IsEqualGUID(plan, activepsi.guid)) {
        return;
    }
    PlanListLock lock(kLockDetailCurrentPlan, kCurrentPlanWaitMs);
    if (!lock.Owned()) {
        if (forced) {
            PlanRecord record{};
            record.guid = activepsi.guid;
            ReadPlanRecord(&record);
            activepsi = record;
            if (!IsNullGuid(activepsi.guid)) {
                g_bActiveListed = (activepsi.dwFlags & kPlanFlagHidden) == 0;
            }
        }
        return;
    }
    GUID target = plan;
    if (marker) {
        const DWORD status = ReadActiveScheme(&target);
        if (status != ERROR_SUCCESS) {
            WriteErrorLog(kErrActiveScheme, status, ERRLOG_FILE);
            return;
        }
    }
    PlanRecord record{};
    record.guid = target;
    ReadPlanRecord(&record);
    activepsi = record;
    if (!IsNullGuid(activepsi.guid)) {
        g_bActiveListed = (activepsi.dwFlags & kPlanFlagHidden) == 0;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"RefreshCurrentPlan", L"Exit");
}

void DeleteStalePlanKeys() {
    DWORD endStatus = ERROR_SUCCESS;
    const std::vector<GUID> live = EnumerateAllPlans(&endStatus);
    if (endStatus != ERROR_NO_MORE_ITEMS) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"DeleteStalePlanKeys", L"plan enumeration ended with %lu: kept",
                  static_cast<unsigned long>(endStatus));
        return;
    }
    DeleteStaleKeysOf(live);
}

}  // namespace plans
