// The property sheet "電源プランの設定変更" (tray command 56, variant without ECO modes) and its
// page "設定変更" (dialog 501): choose the plan to activate. With a battery the sheet also holds
// the automatic change page "自動切替" (dialog 505).
#pragma once

#include <windows.h>

#include <vector>

#include "plans/plan_record.h"
#include "resources/resource.h"

namespace app {


constexpr int kGaugeBars = 5;

constexpr UINT kSheetRefreshMs = 30000;
constexpr UINT kFerrowWatchMs = 1000;

// The combo's plans: the pinned plans whose "Flags" bit 0 is clear, then the other plans.
// The caller holds the plan-list lock.
std::vector<const plans::PlanRecord*> BuildSheetPlanChoices();
// Index of `active` in `choices`; the first entry when it is not listed; -1 when empty.
int FindSheetChoice(const std::vector<const plans::PlanRecord*>& choices, const GUID& active) noexcept;

// The activation the page uses (PowerSetActiveScheme by default; tests replace it).
using ActivateSchemeFn = DWORD (*)(const GUID& plan);
void SetSheetActivateFn(ActivateSchemeFn fn) noexcept;

// Applying the page: with the outing-button utility's settings window open, message 95 and
// nothing activated (ERROR_BUSY); a missing selection (null) or a failed activation logs 28.
DWORD ApplySheetPlan(HWND owner, const GUID* selected) noexcept;

// Opens the sheet modally; the result of PropertySheetW.
INT_PTR OpenPlanSheet(HWND parent) noexcept;

}  // namespace app
