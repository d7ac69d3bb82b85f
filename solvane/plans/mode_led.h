// The ECO indicator LED as the modes see it: a plan's "LedNo" shown on the LED, and the check
// timer armed with the settings' period in ECO operation.
#pragma once

#include <windows.h>

namespace plans {

// Shows the LED number of a plan (FALSE for GUID_NULL or a plan whose record cannot be read).
BOOL RefreshLedFromPlan(const GUID& plan) noexcept;
// Shows the LED number of the current plan (activepsi).
BOOL RefreshLedFromCurrentPlan() noexcept;
// Shows a mode's LED state and arms the check timer of hwndTimer (when not null) afterwards.
BOOL ShowModeLed(DWORD state, HWND hwndTimer) noexcept;
// After resume and session changes: wait 1000 ms, mark for verification, refresh, and arm the
// check timer of hwndTimer (when not null).
void DelayedLedRefresh(HWND hwndTimer) noexcept;
// Timer 10110 of hwnd, "TimerLED" ms (default 1000) from now, in ECO operation only.
void ArmLedCheckTimer(HWND hwnd) noexcept;

}  // namespace plans
