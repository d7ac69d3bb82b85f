// The plan editor "詳細設定": edits one power plan's timeouts, processor preset, wireless and
// graphics settings and processor ECO mode; saves, saves as new, renames, deletes and restores
// the factory snapshot. Opened from the ECO mode settings dialog and the plan settings page.
#pragma once

#include <windows.h>

constexpr UINT_PTR kEditorBatteryTimer = 10103;
constexpr UINT kEditorBatteryMs = 30000;

// Modal. 0 when nothing was kept; otherwise the high 16 bits are nonzero and the low 16 bits
// give the index in the plan list of the plan shown last.
INT_PTR OpenPlanEditor(HWND parent, const GUID& plan, int slot);
HWND PlanEditorWindow() noexcept;

// How the editor and its name dialog ask and warn (MessageBoxW by default; tests may record).
using EditorMessageFn = int (*)(HWND owner, UINT stringId, UINT type);
void SetEditorMessageFn(EditorMessageFn fn) noexcept;

// The name dialog 504: name, description and icon of a plan. `self` is the index in the plan
// list of the plan being renamed, -1 for a new plan. True on OK.
bool ShowPlanNameDialog(HWND parent, bool newPlan, int self, wchar_t* name, size_t cchName, wchar_t* description,
                        size_t cchDescription, INT32* iconNo);
