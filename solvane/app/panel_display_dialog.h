// The meter panel's display settings (dialog 502): the panel's layout, topmost and transparency.
#pragma once

#include <windows.h>

// Opens the dialog modally over the panel. Non-zero when the settings changed and were stored
// (the panel is then laid out again and its z-order and transparency re-applied).
INT_PTR OpenPanelDisplaySettings(HWND panel) noexcept;
// The dialog is open (the main window's minimise waits for it).
bool PanelDisplaySettingsOpen() noexcept;

// The FlagWord that the dialog's choice makes of `flagWord`: layout 0 standard, 1 the first
// alternative layout (0x4), 2 the second (0x8); topmost 0x1, transparent 0x10. Other bits stay.
DWORD PanelDisplayFlags(DWORD flagWord, int layout, bool topmost, bool transparent) noexcept;
// The layout choice a FlagWord shows (0x4 before 0x8, as the panel reads it).
int PanelDisplayLayout(DWORD flagWord) noexcept;
