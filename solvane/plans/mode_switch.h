// Plan activation with its follow-ups (mode LED, pause, plan change, current-plan refresh,
// plan-changed message, processor driver), the tray's plan selection with its "LedNo" hand-over,
// the ECO button's entry, the video-playback warning and the guards before the plan windows.
#pragma once

#include <windows.h>

#include "resources/resource.h"

namespace plans {

// Tray command ids of the plans: IDM_PLAN_PINNED3..1 (70-72) and IDM_PLAN_OTHER_FIRST + n.

// Plan-changed message (wParam 1 asks for the change notification).
constexpr UINT WM_APP_PLAN_CHANGED = WM_USER + 3;
// Forwarded ECO-button press for the open notification window.
constexpr UINT WM_APP_ECO_PRESS = WM_USER + 317;

// Pause between showing the new mode on the LED and changing the plan.
constexpr DWORD kLedToPlanDelayMs = 800;
// Life of the video-playback warning before it presses its own button.
constexpr DWORD kVideoWarningLifetimeMs = 30000;

// The named mutex the outing-button utility holds while its settings window is open.
constexpr const wchar_t* kFerrowSettingMutex = L"FERROW_SETTING_WINDOW";

// Number sent to the LED for a mode slot (1-based): the slot's "LedNo", except that the
// standard slot of the two-mode variant shows as 0 (LED off). 0 for a slot outside the variant.
DWORD ModeLedValue(int slot, bool threeMode) noexcept;

// Activates a plan the way the ECO button does. Returns the activation's error (0 = success).
DWORD ActivatePlan(const GUID& plan, DWORD ledValue) noexcept;

// The tray's plan commands (70-72, 74 + n) with the plan the menu showed for the command. The
// plan is activated wherever the list holds it now; a plan no longer offered is not activated.
// shown null: no menu showed the command (a message from elsewhere): the list as it stands
// decides. Returns 0 on success, ERROR_INVALID_INDEX for a command that names no offered plan,
// ERROR_TIMEOUT when the plan-list lock stayed busy, or the activation's error. The plan is
// activated first; "LedNo" moves, the current plan, LED, brightness and processor driver follow
// it, so a failed activation leaves every record as it was.
DWORD SelectPlanFromMenu(WORD id, const GUID* shown) noexcept;
// True for the ids SelectPlanFromMenu may be handed (the other-plans count is not checked).
bool IsPlanCommand(WORD id) noexcept;

// The ECO button or hotkey.

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

// Sends the plan's "NpdCPU" to the processor power-saving driver when the machine has one
// (FlagWord 0x20000); nothing for a plan whose record cannot be read.
void SendProcessorValue(const GUID& plan) noexcept;

// Applies the active plan's brightness (installed by the display code; may stay null).
extern void (*g_pfnApplyPlanBrightness)();

}  // namespace plans
