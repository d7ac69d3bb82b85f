// Private window messages and command ids of the main window.
#pragma once

#include <windows.h>

// From a second start of the program.
inline constexpr UINT WM_APP_ECO_SETTINGS = WM_USER + 9;    // "/EcoMode": ECO mode settings
inline constexpr UINT WM_APP_PLAN_SETTINGS = WM_USER + 10;  // "/PowerScheme": plan settings sheet
// From the ECO button's process.
inline constexpr UINT WM_APP_ECO_BUTTON = 0x53C;
inline constexpr UINT WM_APP_ECO_BUTTON_PLAIN = 0x53D;

// WM_COMMAND ids of the main window.
inline constexpr WORD IDM_ECO_SETTINGS = 48;
inline constexpr WORD IDM_EXIT = 50;
inline constexpr WORD IDM_MINIMIZE_TO_TRAY = 52;
inline constexpr WORD IDM_PLAN_SETTINGS = 56;
// Notification code of the start-up's own minimise request.
inline constexpr WORD MINIMIZE_CODE_STARTUP = 10;
