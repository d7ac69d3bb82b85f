// Registration of the program's window classes.
#pragma once

#include <windows.h>
#include "resources/resource.h"

// Icon resource of the program (main window class and tray).

// Registers "Solvane", "frameWndClass" and "OSDWndProc". Returns 0, or the error of the
// registration that failed (already written to the error log as "fail : RegisterClass").
DWORD RegisterWindowClasses(HINSTANCE instance) noexcept;

// ECO mode operation: registers "EcoOSDWndProc", the mode-switch notification window (background
// COLOR_BTNSHADOW). Same results as above.
DWORD RegisterEcoOsdClass(HINSTANCE instance) noexcept;
