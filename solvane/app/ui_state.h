// State of the user interface that the tray icon, its menus, the hotkey and the mode notification
// windows share with the main window (main thread only unless said).
#pragma once

#include <windows.h>

#include "common/dpi.h"

namespace ui {

// The open settings dialog, the next dialog position and "user present" are kept in the main
// window's state (g_MainState); the peak-cut level by the peak-cut values (g_dwPeakCutLevel).
int PeakCutLevel() noexcept;

// Settings flags by meaning.
bool EcoOperation() noexcept;        // ECO mode operation
bool ThreeModeOperation() noexcept;  // three-mode variant
bool TrayOnly() noexcept;            // panel hidden, icon in the notification area
void SetTrayOnly(bool on) noexcept;
bool PanelConfigured() noexcept;
bool EcoInputSuppressed() noexcept;
bool ExternalMonitorSupport() noexcept;

// Horizontal and vertical DPI factors of the screen (common/dpi.h).
using common::DpiFactors;
using common::ScaleX;
using common::ScaleY;
using common::ScreenDpiFactors;

// Brings a window to the foreground even when another thread owns the foreground window: attach
// to its input, lift the foreground lock time-out for the call, detach again.
void ForceForeground(HWND hwnd) noexcept;

// Sets "user present" (a left click on the tray icon, console connect).
void SetUserPresent(bool present) noexcept;
bool UserPresent() noexcept;

// Top-left corner that puts a window of frame's size with its lower-right corner at `corner`
// (the dialog position: the work area's lower-right corner or the cursor), moved into the work
// area of the monitor of `corner` where it would stick out.
POINT PlaceAgainstCorner(const RECT& frame, POINT corner) noexcept;
// The same within a given work area.
POINT PlaceAgainstCornerIn(const RECT& frame, POINT corner, const RECT& workArea) noexcept;

// When a settings dialog is open, brings it to the foreground and returns true.
bool FocusOpenSettingsDialog() noexcept;

}  // namespace ui
