// Power, session and device events of the main window and the timers that follow them.
#pragma once

#include <windows.h>

// The colour utility's resident window, asked before brightness is set.
inline constexpr wchar_t kColourUtilityClass[] = L"AVDmClass";
inline constexpr wchar_t kColourUtilityTitle[] = L"Velumiの設定-常駐監視";
inline constexpr UINT kColourUtilityTimeoutMs = 5000;

// Handlers called by the main window procedure with the message parameters.
LRESULT OnPowerBroadcast(HWND hwnd, WPARAM wParam, LPARAM lParam);   // always 1
LRESULT OnDeviceChange(HWND hwnd, WPARAM wParam, LPARAM lParam);     // always 1
LRESULT OnSessionChange(HWND hwnd, WPARAM wParam, LPARAM lParam);    // always 0
void OnPanelRepaintTimer(HWND hwnd);
void OnBrightnessTimer(HWND hwnd);

// Registration at creation and removal at destruction.
void RegisterPowerEvents(HWND hwnd) noexcept;
void UnregisterPowerEvents(HWND hwnd) noexcept;

// True when the colour utility lets the program set brightness now (also when it is absent).
bool ColourUtilityPermits() noexcept;
// "DelayBrightness" (ms), 1000 when absent; other failures are logged and give 1000.
DWORD ReadBrightnessDelay() noexcept;
// Without external-monitor support, on OS model 2 or later and with the current plan's ambient-
// light mode 1: the plan's display-dim time-out becomes 0 for both power sources.
void ApplyDimTimeoutRule() noexcept;
// Ends a boost interrupted in an earlier run ("Saved_pt", see meter/boost.h). True when one
// was undone.
bool RestoreSavedBoost() noexcept;
// After resume and session changes: shows the current mode on the LED and arms its check.
void LedStartupStep(HWND hwnd) noexcept;
