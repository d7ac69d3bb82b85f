// The global hotkey that steps the ECO modes: its table of offered combinations, the stored pair
// (user's choice under HKEY_CURRENT_USER, machine default under HKEY_LOCAL_MACHINE) and its
// registration on the main window (id 1).
#pragma once

#include <windows.h>

#include <cstddef>
#include "resources/resource.h"

namespace hotkey {

constexpr int kHotkeyId = 1;
constexpr size_t kHotkeyEntryCount = 24;
constexpr size_t kHotkeyNameChars = 32;
constexpr wchar_t kHotKeyValue[] = L"HotKey";
constexpr wchar_t kHotKeyOptionValue[] = L"HotKeyOption";

struct HotkeyEntry {
    UINT uModifiers;  // "HotKeyOption"
    UINT uKey;        // "HotKey" (virtual key)
    UINT uStringId;
};
// Index = position in the combo box; entry 0 is "no hotkey". Alt+F4 is not offered.
extern const HotkeyEntry kHotkeyTable[kHotkeyEntryCount];

struct HotkeyPair {
    UINT uModifiers;
    UINT uKey;
};

// Index of the entry with this pair, or 0 when none matches.
size_t FindHotkeyEntry(const HotkeyPair& pair) noexcept;
// A pair with a zero modifier or key means no hotkey.
inline bool IsHotkeyPair(const HotkeyPair& pair) noexcept { return pair.uModifiers != 0 && pair.uKey != 0; }

// Reads both values under root\"Software\Orvel\Solvane"; true only when both were read.
bool ReadHotkeyPair(HKEY root, HotkeyPair* pair) noexcept;
// The pair in force: the user's, else the machine default, else 0, 0.
HotkeyPair ReadStoredHotkey() noexcept;
// Writes the pair to the user's values (key opened with KEY_WRITE). ERROR_SUCCESS or the error
// (error 245 logged).
LSTATUS WriteUserHotkey(const HotkeyPair& pair) noexcept;

// WM_CREATE: registers the stored pair when it names a hotkey (error 244 on failure). Returns
// TRUE when a hotkey is registered.
BOOL RegisterStoredHotkey(HWND mainWindow) noexcept;
// RegisterHotKey(main window, 1, ...) with error 244 on failure.
BOOL RegisterHotkeyPair(HWND mainWindow, const HotkeyPair& pair) noexcept;
void UnregisterMainHotkey(HWND mainWindow) noexcept;

}  // namespace hotkey
