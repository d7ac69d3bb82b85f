// Factory defaults of the maker's plans: a snapshot of each factory plan taken at the first start
// ("DefaultSettings" below the plan's key), the extension values the installation recorded
// ("BKSettings"), the maker's plan files a deleted factory plan is re-created from, and the
// restore of the ECO mode table.
#pragma once

#include <windows.h>

#include <vector>

#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/settings.h"

namespace plans {

constexpr const wchar_t* kSnapshotSubkey = L"DefaultSettings";
constexpr const wchar_t* kInstalledExtensionsKey = L"Software\\Orvel\\Solvane\\BKSettings";
// The maker's plan files in the program's folder below Program Files: factory slot 0, slot 1.
constexpr const wchar_t* kFactoryPlanFiles[] = {L"Solvane\\ECOMode.pow", L"Solvane\\StdMode.pow"};
constexpr size_t kFactoryPlanFileCount = ARRAYSIZE(kFactoryPlanFiles);

// Takes a snapshot of the first "NumDefScheme" plans in enumeration order that have none yet.
void CaptureFactoryDefaults();
// Whether the plan's "DefaultSettings" key exists (an error other than "not found" counts).
bool HasFactorySnapshot(const GUID& plan) noexcept;
// Fills the record, values and processor pair from the snapshot; the registry status.
LSTATUS ReadFactorySnapshot(const GUID& plan, PlanRecord* record, PowerValues* values,
                            ProcessorPair* processor) noexcept;
// Re-creates factory slot `slot` (0 or 1) of the two-mode table from its plan file under its
// former GUID, with its installed extension values and a fresh snapshot. *plan receives the
// slot's factory GUID (also on failure).
bool RestorePlanFromFile(size_t slot, GUID* plan);

// How the mode-table restore talks to the user: ask returns true for Yes; warn shows a warning.
// Both receive a string-table id.
struct ModeRestoreUi {
    bool (*ask)(void* context, UINT messageId) = nullptr;
    void (*warn)(void* context, UINT messageId) = nullptr;
    void* context = nullptr;
};

enum class ModeRestoreResult {
    LockTimedOut,   // nothing happened
    Declined,       // the user answered No
    Restored,       // every slot holds its factory plan
    Incomplete,     // at least one slot became "no plan" (the warning was shown)
};

struct ModeRestoreTable {
    bool threeMode;
    // The plans each slot's combo box offers; refilled from the factory table when a plan was
    // re-created from its file.
    std::vector<GUID> offered[kMaxPinnedPlans];
    // The working selection of each slot; GUID_NULL is "no plan".
    GUID selected[kMaxPinnedPlans];
    // Set when plans were re-created and the plan list was refreshed.
    bool planListRefreshed;
};

// Sets every slot of the working table back to its factory plan (asking first). Nothing is
// written to the plans: the caller applies the table when the user confirms the dialog.
ModeRestoreResult RestoreModeTable(ModeRestoreTable* table, const ModeRestoreUi& ui);

}  // namespace plans
