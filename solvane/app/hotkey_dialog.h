// The hotkey settings dialog (dialog 1307), opened modally by the ECO mode settings dialogs.
#pragma once

#include <windows.h>
#include "resources/resource.h"

namespace hotkey {

// Opens the dialog; returns IDOK when a new choice was stored, IDCANCEL otherwise.
INT_PTR ShowHotkeyDialog(HWND parent) noexcept;
INT_PTR CALLBACK HotkeyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's questions and warnings go through this (MessageBoxW by default; tests answer).
using MessageBoxFn = int (*)(HWND owner, UINT stringId, UINT type);
void SetHotkeyMessageBox(MessageBoxFn fn) noexcept;

}  // namespace hotkey
