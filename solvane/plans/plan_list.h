// The plan list: a PlanRecord per plan on the machine, the pinned plans, the other plans in menu
// order and the record of the current plan, all guarded by the plan-list lock "sOLVANEmUTEXps".
#pragma once

#include <windows.h>

#include <vector>

#include "common/handles.h"

#include "plans/plan_record.h"

namespace plans {

constexpr const wchar_t* kPlanListLockName = L"sOLVANEmUTEXps";
constexpr DWORD kPlanListWaitMs = 1000;
constexpr DWORD kCurrentPlanWaitMs = 6000;

// Created once at start-up (without owner); false (and error 4 logged) when it fails. Every
// holder below opens the same named mutex on first use if start-up has not created it here.
bool CreatePlanListLock() noexcept;
void ClosePlanListLock() noexcept;
HANDLE PlanListLockHandle() noexcept;

// Holds the plan-list lock for a scope. A time-out logs error 48 with the caller's detail,
// unless the caller passes kQuietLockDetail (it then simply does nothing).
constexpr DWORD kQuietLockDetail = 0xFFFFFFFF;
class PlanListLock {
public:
    PlanListLock(DWORD detail, DWORD timeoutMs = kPlanListWaitMs) noexcept;
    PlanListLock(const PlanListLock&) = delete;
    PlanListLock& operator=(const PlanListLock&) = delete;
    bool Owned() const noexcept { return m_lock.Owned(); }
    void Release() noexcept { m_lock.Release(); }

private:
    common::MutexLock m_lock;
};

// count + 1 records; entry i belongs to the plan enumerated at index i.
extern std::vector<PlanRecord> g_PlanList;
extern DWORD g_PlanCount;
// One pointer per pinned entry into g_PlanList, or null.
extern PlanRecord* g_PinnedPlanPtrs[kMaxPinnedPlans];
// Listed plans that are not pinned, in menu order.
extern std::vector<PlanRecord*> g_OtherPlans;
// The plans every list and combo box offers, in their order: the pinned plans that are not
// hidden, then the other plans. The caller holds the plan-list lock while it uses them.
std::vector<const PlanRecord*> ListedPlans();
// The record of the plan the program believes active.
extern PlanRecord activepsi;
extern bool g_bActiveListed;

// The fixed display order of the plans it names.
constexpr size_t kKnownPlanOrderCount = 19;
extern const GUID kKnownPlanOrder[kKnownPlanOrderCount];

// Rebuilds the plan list, the pinned pointers and the other-plans list from one enumeration of
// the plans. The extension keys of deleted plans are removed at the first refresh of a run and
// whenever the set of plans differs from the one the last cleanup saw. Out of memory leaves
// the lists empty and logs error 51.
void RefreshPlanList() noexcept;
// Empties every list and activepsi under the plan-list lock (shutdown); the next refresh checks
// every extension key again, as the first of a run does.
void ClearPlanLists() noexcept;
// Updates activepsi from a plan GUID or one of the active-scheme markers.
void RefreshCurrentPlan(const GUID& plan);
// Removes extension keys of plans that no longer exist (enumerates the plans itself).
void DeleteStalePlanKeys();

// Ordering rule of the other-plans list, on records already read (exposed for its tests):
// known plans in table order, then the rest in list order; hidden and pinned plans left out.
std::vector<PlanRecord*> BuildOtherPlans(std::vector<PlanRecord>& records, size_t count,
                                         PlanRecord* const (&pinned)[kMaxPinnedPlans]);

}  // namespace plans
