// State of the user interface that the tray icon, its menus, the hotkey and the mode notification
// windows share with the main window (main thread only unless said).
#pragma once

#include <windows.h>

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

// Horizontal and vertical DPI factors of the screen (LOGPIXELSX / 96, LOGPIXELSY / 96).
struct DpiFactors {
    float x;
    float y;
};
DpiFactors ScreenDpiFactors() noexcept;
inline int ScaleX(const DpiFactors& dpi, int logical) noexcept { return static_cast<int>(logical * dpi.x); }
inline int ScaleY(const DpiFactors& dpi, int logical) noexcept { return static_cast<int>(logical * dpi.y); }

// Brings a window to the foreground even when another thread owns the foreground window: attach
// to its input, lift the foreground lock time-out for the call, detach again.
void ForceForeground(HWND hwnd) noexcept;

// Sets "user present" (a left click on the tray icon, console connect).
void SetUserPresent(bool present) noexcept;
bool UserPresent() noexcept;

// When a settings dialog is open, brings it to the foreground and returns true.
bool FocusOpenSettingsDialog() noexcept;

}  // namespace ui
