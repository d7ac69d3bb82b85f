// Boost: runs the active plan's processor at full speed until it is switched off, keeping the
// plan's own processor values in HKLM "...\PowerSettings" value "Saved_pt" (24 bytes) together
// with the boosted plan's GUID ("Saved_pt_plan") so that an interrupted boost is undone in the
// plan it belongs to.
#pragma once

#include <windows.h>

namespace meter {

constexpr const wchar_t* kSavedThrottleValue = L"Saved_pt";
constexpr const wchar_t* kSavedThrottlePlanValue = L"Saved_pt_plan";

// The stored block: AC minimum, maximum, preset code, then the same for DC.
struct SavedThrottle {
    DWORD dwMinAC;
    DWORD dwMaxAC;
    DWORD dwPresetAC;
    DWORD dwMinDC;
    DWORD dwMaxDC;
    DWORD dwPresetDC;
};
static_assert(sizeof(SavedThrottle) == 24, "the stored block is 24 bytes");

// Results of the boost write (steps 2 and 3 of boost on).
constexpr DWORD kBoostFailed = 0;
constexpr DWORD kBoostApplied = 1;
constexpr DWORD kBoostNothingToChange = 3;
// Error-log records.
constexpr UINT kErrActiveScheme = 2;
constexpr UINT kErrReadProcessor = 54;
constexpr UINT kErrWriteProcessor = 55;
constexpr UINT kErrBoostSetting = 62;
constexpr UINT kErrBoostActivate = 63;
// Details of kErrBoostSetting.
constexpr DWORD kDetailPlanChanged = 1;
constexpr DWORD kDetailBoostOff = 2;
constexpr DWORD kDetailBoostOn = 4;
constexpr DWORD kDetailRestoreAtStart = 5;

bool BoostActive() noexcept;
GUID BoostedPlan() noexcept;   // GUID_NULL when no boost is active

// Boost on for the active plan (command 1056 while off). Returns true when a boost is active
// afterwards. Ignored while the plan may not be changed (FlagWord 0x40).
bool BoostOn() noexcept;
// Boost off (command 1056 while on, message 1030): restores the plan's values and activates it
// again. True when a boost was ended.
bool BoostOff() noexcept;
// Another plan became active (message 1027): the boosted plan gets its values back without
// being activated again. True when a boost was ended.
bool EndBoostForPlanChange(const GUID& active) noexcept;
// The automatic plan change leaves `from` for `to`: the boost ends on `from` and starts,
// forced, on `to` (which the caller then activates).
void MoveBoost(const GUID& from, const GUID& to) noexcept;
// Start and the session events: a "Saved_pt" of 24 bytes left by an interrupted boost goes back
// into the plan named beside it (re-activated when it is the active plan). Without a plan name it
// goes into the active plan only when that plan is still at full speed on both power sources.
// `detail` goes with a failed write's record 62. True when a block was put back.
constexpr DWORD kDetailSessionEvent = 6;
bool RestoreInterruptedBoost(DWORD detail = kDetailRestoreAtStart) noexcept;

}  // namespace meter
