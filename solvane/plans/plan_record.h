// The program's own values kept beside every power plan (one key per plan under
// HKLM "Software\Orvel\Solvane\PowerSettings") and the in-memory PlanRecord.
#pragma once

#include <windows.h>

#include <vector>

#include "plans/power_values.h"
#include "plans/settings.h"

namespace plans {

#pragma pack(push, 1)
struct AmbientLightRange {  // "ALSBC", 5 bytes
    BYTE ucMode;
    BYTE ucAC_MAX;
    BYTE ucAC_MIN;
    BYTE ucDC_MAX;
    BYTE ucDC_MIN;
};
#pragma pack(pop)
static_assert(sizeof(AmbientLightRange) == 5, "ALSBC is 5 bytes");

constexpr size_t kPlanNameChars = 258;
constexpr size_t kPlanNameKeptChars = 128;
constexpr size_t kPlanDescriptionChars = 1026;
constexpr INT32 kDefaultIconNo = 10;
constexpr INT32 kIndicatorCompute = -1;
constexpr INT32 kIndicatorMaxBars = 5;
constexpr DWORD kPlanFlagHidden = 0x1;

struct PlanRecord {
    GUID guid;                     // GUID_NULL: the plan does not exist
    INT32 nBrightnessAC;           // percent; 256 unreadable; -1 keep when saving
    INT32 nBrightnessDC;
    INT32 nReserved;
    wchar_t szName[kPlanNameChars];
    wchar_t szDescription[kPlanDescriptionChars];
    INT32 nIconNo;
    DWORD dwFlags;
    AmbientLightRange biALS;
    INT32 nLedNo;
    INT32 nListIndex;
    INT32 nIndicator;
    INT32 nNpdCPU;
    INT32 nSaveDisplay;
    INT32 nBrightnessMonitor;
    INT32 nBrightnessMonitorEnable;
};

// Highest brightness level index, the default maximum of the ambient-light range (the panel
// brightness code sets it once its level table is known).
void SetHighestBrightnessLevel(BYTE level) noexcept;
AmbientLightRange DefaultAmbientLightRange() noexcept;
// Checks and corrects a stored range (the ambient-light code may install its own check).
extern void (*g_pfnCheckAmbientLightRange)(AmbientLightRange* range);

// "Indicator": performance bars in the high half, energy-saving bars in the low half, each
// clamped to 5. Returns false for -1 (compute from the plan's values).
bool DecodeIndicator(INT32 indicator, int* performanceBars, int* savingBars) noexcept;
// Gauges of a plan whose "Indicator" is -1, from its battery-side setting values (1-5 bars each).
// Performance: the processor ceiling (100 % three points, 75 % or more two, 50 % or more one),
// one point for a processor held at full speed and one for the wireless adapter at full power
// (or no wireless setting). Energy saving: one point each for a ceiling below 100 %, a floor at
// the processor floor (5 %) or below, a monitor timeout of 5 minutes or less, a standby timeout
// of 30 minutes or less and the wireless adapter at power-saving index 2 or more ("never" does
// not count as a short timeout).
void ComputeIndicatorBars(const PowerValues& values, int* performanceBars, int* savingBars) noexcept;

// Key path "Software\Orvel\Solvane\PowerSettings\<guid>".
bool BuildPlanKeyPath(const GUID& plan, wchar_t* path, size_t cchPath) noexcept;

void SetExtensionDefaults(PlanRecord* record) noexcept;
void ReadExtensionValues(PlanRecord* record, HKEY key) noexcept;
bool WriteExtensionValues(const PlanRecord& record, HKEY key) noexcept;

// Fills every field from the GUID on entry; on failure the GUID becomes GUID_NULL.
void ReadPlanRecord(PlanRecord* record) noexcept;
// The editor's save: the plan's values, then its extension values, then the processor pair.
BOOL SavePlan(const PlanRecord& record, const PowerValues& values, const ProcessorPair* processor) noexcept;
BOOL SetLedNo(const GUID& plan, DWORD ledNo) noexcept;

struct ModeSlot {
    GUID guid;
    INT32 nIconNo;
    wchar_t szName[kPlanNameChars];
};
// Writes "LedNo" of every plan from the slot table.
BOOL AssignModes(const GUID (&slots)[kMaxPinnedPlans]) noexcept;
// Two plans may carry the same "LedNo" (a copied plan key, an interrupted hand-over). Every reader
// of the mode table (the slot search, the mode dialog, the settings export) resolves it alike: of
// the plans in enumeration order, the last one carrying the number holds the slot. `ledNos` are
// the plans' values in that order; the result is the holder's index, kNoLedNoHolder for none.
constexpr size_t kNoLedNoHolder = static_cast<size_t>(-1);
size_t FindLedNoHolder(const std::vector<DWORD>& ledNos, DWORD ledNo) noexcept;
// Reads the slot table back from the plans' "LedNo"; *found counts the filled slots.
BOOL FindModeSlots(ModeSlot (&slots)[kMaxPinnedPlans], int* found) noexcept;
bool IsSlotThreePlan(const GUID& plan) noexcept;

}  // namespace plans
