// The hotkey settings dialog (dialog 1307), opened modally by the ECO mode settings dialogs.
#pragma once

#include <windows.h>

namespace hotkey {

constexpr WORD IDD_HOTKEY = 1307;
constexpr WORD IDC_HOTKEY_RESET = 1308;
constexpr WORD IDC_HOTKEY_COMBO = 1309;
constexpr UINT IDS_HOTKEY_RESET_LABEL = 248;
constexpr UINT IDS_HOTKEY_RESET_QUESTION = 246;
constexpr UINT IDS_HOTKEY_FAILED = 249;
constexpr UINT IDS_DISCARD_CHANGES = 535;
constexpr DWORD kHotkeyHelpTopic = 10506;

// Opens the dialog; returns IDOK when a new choice was stored, IDCANCEL otherwise.
INT_PTR ShowHotkeyDialog(HWND parent) noexcept;
INT_PTR CALLBACK HotkeyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's questions and warnings go through this (MessageBoxW by default; tests answer).
using MessageBoxFn = int (*)(HWND owner, UINT stringId, UINT type);
void SetHotkeyMessageBox(MessageBoxFn fn) noexcept;

// Opens a help topic (the help code installs the real one).
extern void (*g_pfnOpenHelpTopic)(DWORD topic);

}  // namespace hotkey
