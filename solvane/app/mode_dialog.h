// The ECO mode settings dialog "ECOモードの設定(省電力設定)" (tray command 48): which plan fills
// each ECO mode slot. Template 1178 in three-mode operation, 1313 in two-mode operation.
#pragma once

#include <windows.h>

constexpr UINT_PTR kModeDialogRefreshTimer = 10102;
constexpr UINT kModeDialogRefreshMs = 30000;

// Opens the dialog modally; returns 1 after OK, 0 after Cancel, -1 when it could not open.
// A non-zero corner (the dialog position: the work area's lower-right corner or the cursor)
// places the dialog with its lower-right corner there, inside the work area.
INT_PTR OpenModeDialog(HWND parent, POINT corner = POINT{0, 0});
// The open dialog, or null.
HWND ModeDialogWindow() noexcept;

// How the dialog asks and warns (MessageBoxW with the program title by default; tests may
// install their own). Returns the button pressed.
using ModeDialogMessageFn = int (*)(HWND owner, UINT stringId, UINT type);
void SetModeDialogMessageFn(ModeDialogMessageFn fn) noexcept;
