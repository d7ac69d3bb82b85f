// The main window's messages that belong to the tray icon, its menus, the hotkey and the mode
// notification: one entry the main window procedure calls before its own table.
#pragma once

#include <windows.h>

namespace tray {

constexpr UINT_PTR kTrayAddRetryTimerId = 10120;
constexpr UINT kTrayAddRetryMs = 2000;
constexpr int kTrayAddRetryLimit = 60;

// Returns true with *result set when the message was handled here.
bool HandleTrayMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) noexcept;

// The registered "TaskbarCreated" message (0 before the main window's creation).
UINT TaskbarCreatedMessage() noexcept;

// Command 52: hide the panel, add the icon; on success hide the main window, draw the icon and
// set tray-only operation. While the shell is not ready yet the add is retried on a timer.
void MinimizeToTray(HWND hwnd) noexcept;

}  // namespace tray
