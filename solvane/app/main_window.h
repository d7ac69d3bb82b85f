// The hidden main window of class "Solvane": the program's switchboard.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Highest peak-cut level and reason that message 0x540 may carry.
inline constexpr WPARAM kMaxPeakCutLevel = 3;
inline constexpr LPARAM kMaxPeakCutReason = 3;
