// The main window's handlers that belong to the tray icon, its menus and the hotkey. The main
// window's message table (main_window.cpp) names them; nothing here dispatches by itself.
#pragma once

#include <windows.h>

namespace tray {

constexpr UINT kTrayAddRetryMs = 2000;
constexpr int kTrayAddRetryLimit = 60;

// Creation of the main window: the icon table of the operation and the stored hotkey.
void OnMainCreate(HWND hwnd) noexcept;
// Destruction: the retry timer, the icon and the hotkey go.
void OnMainDestroy(HWND hwnd) noexcept;

// Owner-drawn menu items.
LRESULT OnMeasureItem(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnDrawItem(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_USER+2: mouse messages of the icon.
LRESULT OnTrayIconCallback(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_USER+4: where the next dialog opens.
LRESULT OnDialogPosition(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// "TaskbarCreated" (a registered number): the shell restarted or came up late.
void OnTaskbarCreated(HWND hwnd) noexcept;
// Timer IDT_TRAY_ADD_RETRY.
void OnAddRetryTimer(HWND hwnd) noexcept;

// ECO button without ECO mode operation (or with ECO input suppressed): close the open ECO-button
// menu, else bring an open settings dialog to the front, else show the menu.
void OnEcoButtonMenu(HWND hwnd) noexcept;

// Command 52: hide the panel, add the icon; on success hide the main window, draw the icon and
// set tray-only operation. While the shell is not ready yet the add is retried on a timer.
void MinimizeToTray(HWND hwnd) noexcept;

}  // namespace tray
