// Plan activation with its follow-ups (mode LED, pause, plan change, current-plan refresh,
// plan-changed message, processor driver), the tray's plan selection with its "LedNo" hand-over,
// the ECO button's entry, the video-playback warning and the guards before the plan windows.
#pragma once

#include <windows.h>

namespace plans {

// Tray command ids of the plans: pinned plans 1-3 (72, 71, 70) and the other plans (74 + n).
constexpr WORD IDM_PLAN_PINNED3 = 70;
constexpr WORD IDM_PLAN_PINNED2 = 71;
constexpr WORD IDM_PLAN_PINNED1 = 72;
constexpr WORD IDM_PLAN_OTHER_FIRST = 74;

// Plan-changed message (wParam 1 asks for the change notification).
constexpr UINT WM_APP_PLAN_CHANGED = WM_USER + 3;
// Forwarded ECO-button press for the open notification window.
constexpr UINT WM_APP_ECO_PRESS = WM_USER + 317;

// Pause between showing the new mode on the LED and changing the plan.
constexpr DWORD kLedToPlanDelayMs = 800;
// Life of the video-playback warning before it presses its own button.
constexpr DWORD kVideoWarningLifetimeMs = 30000;

// String-table ids.
constexpr UINT IDS_ERR_SET_ACTIVE_SCHEME = 28;  // "fail : SetActivePwrScheme"
constexpr UINT IDS_ERR_GET_ACTIVE_SCHEME = 2;   // "fail : GetActivePwrScheme"
constexpr UINT IDS_ERR_BAD_PLAN_COMMAND = 162;  // the plan named by a message does not exist
constexpr UINT IDS_FERROW_RUNNING = 95;
constexpr UINT IDS_CHANGE_PLAN_QUESTION = 123;
constexpr UINT IDS_VIDEO_WARNING = 262;
constexpr UINT IDS_VIDEO_WARNING_CHECK = 263;
constexpr UINT IDS_MODE_PLAN_DELETED = 274;
constexpr UINT IDS_RESTORE_DEFAULTS = 276;
constexpr UINT IDS_ECO_SETTINGS_TITLE = 317;
constexpr UINT IDS_WINDOWS_PLAN_NOTICE = 532;

// The named mutex the outing-button utility holds while its settings window is open.
constexpr const wchar_t* kFerrowSettingMutex = L"FERROW_SETTING_WINDOW";

// Number sent to the LED for a mode slot (1-based): the slot's "LedNo", except that the
// standard slot of the two-mode variant shows as 0 (LED off). 0 for a slot outside the variant.
DWORD ModeLedValue(int slot, bool threeMode) noexcept;

// Activates a plan the way the ECO button does. Returns the activation's error (0 = success).
DWORD ActivatePlan(const GUID& plan, DWORD ledValue) noexcept;

// The tray's plan commands (70-72, 74 + n). Returns 0 on success, ERROR_INVALID_INDEX for a
// command that names no plan, ERROR_TIMEOUT when the plan-list lock stayed busy, or the
// activation's error. A failed activation puts back every "LedNo" it moved.
DWORD SelectPlanFromMenu(WORD id) noexcept;
// True for the ids SelectPlanFromMenu may be handed (the other-plans count is not checked).
bool IsPlanCommand(WORD id) noexcept;

// The ECO button or hotkey.
void HandleEcoButton() noexcept;

// The video-playback warning (two-mode variant) after a switch to the low plan.
void ShowVideoWarning(bool wasLow) noexcept;
// The same with another lifetime (tests).
void ShowVideoWarningFor(bool wasLow, DWORD lifetimeMs) noexcept;
bool VideoWarningShowing() noexcept;

// The guards before the ECO mode settings dialog (propertySheet false) and the power-plan
// settings sheet (true). False when the window must not open.
bool PassPlanWindowGuards(HWND owner, bool propertySheet) noexcept;

// Where plan changes are announced: the panel when it exists, else the main window.
HWND PlanChangeTarget() noexcept;
void PostPlanChanged(WPARAM wParam) noexcept;

// Applies the active plan's brightness (installed by the display code; may stay null).
extern void (*g_pfnApplyPlanBrightness)();

}  // namespace plans
