// The WM_COMMAND table of the main window.
#pragma once

#include <windows.h>

// Handles WM_COMMAND; false when the command is not one of the main window's (default processing).
bool OnMainCommand(HWND hwnd, WPARAM wParam, LPARAM lParam);

// Highest number of other-plans entries a plan command may name (74 + n, n below this).
inline constexpr WORD kMaxOtherPlanCommands = 256;
