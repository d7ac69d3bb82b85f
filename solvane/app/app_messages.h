// Private window messages of the program's windows.
#pragma once

#include <windows.h>

#include "resources/resource.h"

// From worker threads, dialogs and the notification area.
inline constexpr UINT WM_APP_PROCESSOR_SPEED = WM_USER + 1;  // wParam current MHz, lParam maximum MHz
inline constexpr UINT WM_APP_TRAY_CALLBACK = WM_USER + 2;
inline constexpr UINT WM_APP_PLAN_CHANGED = WM_USER + 3;     // wParam 1: show the change notification
inline constexpr UINT WM_APP_DIALOG_POSITION = WM_USER + 4;  // wParam x, lParam y of the next dialog
inline constexpr UINT WM_APP_END_BOOST = WM_USER + 6;        // to the panel
inline constexpr UINT WM_APP_SETTINGS_REFRESH = WM_USER + 7; // to the open settings dialog
inline constexpr UINT WM_APP_EDITOR_REFRESH = WM_USER + 11;  // to the open plan editor
inline constexpr UINT WM_APP_APPLY_BRIGHTNESS = WM_USER + 12; // from aucThread: wParam ChangeBrightness code
// From a second start of the program.
inline constexpr UINT WM_APP_ECO_SETTINGS = WM_USER + 9;    // "/EcoMode": ECO mode settings
inline constexpr UINT WM_APP_PLAN_SETTINGS = WM_USER + 10;  // "/PowerScheme": plan settings sheet
// From the ECO button's process.
inline constexpr UINT WM_APP_ECO_BUTTON = 0x53C;
inline constexpr UINT WM_APP_ECO_BUTTON_PLAIN = 0x53D;
// To the open mode notification window: the next press (the same number as the plain press).
inline constexpr UINT WM_APP_OSD_ADVANCE = 0x53D;
// From the peak-cut poll thread.
inline constexpr UINT WM_APP_PEAK_CUT_LEVEL = 0x540;  // wParam level 0-3, lParam reason 0-3
inline constexpr UINT WM_APP_PEAK_CUT_APPLY = 0x541;
// To the colour utility's resident window: may brightness be set now?
inline constexpr UINT WM_APP_COLOUR_MAY_SET = 0x800;

// Command ids (WM_COMMAND), timer ids and every other resource id: resources/resource.h.
// Notification code of the start-up's own minimise request.
inline constexpr WORD MINIMIZE_CODE_STARTUP = 10;
// lParam of a request from outside: open at the work-area position.
inline constexpr LPARAM kRequestFromOutside = -1;
// wParam of WM_APP_PLAN_CHANGED that asks for the change notification.
inline constexpr WPARAM kPlanChangedNotify = 1;
