// The property sheet "電源プランの設定変更" (tray command 56, variant without ECO modes) and its
// page "設定変更" (dialog 501): choose the plan to activate.
#pragma once

#include <windows.h>

#include <vector>

#include "plans/plan_record.h"

namespace app {

constexpr UINT IDD_PLAN_SETTINGS_PAGE = 501;
constexpr UINT IDS_PLAN_SHEET_CAPTION = 102;

constexpr int IDC_PLAN_DETAILS = 1033;      // "詳細設定(&C)...": the plan editor
constexpr int IDC_PLAN_COMBO = 1035;
constexpr int IDC_PLAN_DESCRIPTION = 1036;
constexpr int IDC_PERFORMANCE_LABEL = 1186;
constexpr int IDC_SAVING_LABEL = 1187;
constexpr int IDC_PERFORMANCE_BAR1 = 1188;  // 1188-1192
constexpr int IDC_SAVING_BAR1 = 1193;       // 1193-1197
constexpr int IDC_GAUGE_BARS = 5;
constexpr int IDC_BATTERY_TIME = 1199;
constexpr int IDC_BATTERY_TIME_LABEL = 1211;

constexpr UINT_PTR kSheetRefreshTimer = 10102;
constexpr UINT kSheetRefreshMs = 30000;
constexpr UINT_PTR kFerrowWatchTimer = 10105;
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
