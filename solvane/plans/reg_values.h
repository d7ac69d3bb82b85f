// Small typed registry reads and writes used by the settings and plan records.
#pragma once

#include <windows.h>

namespace plans {

// The program's key, under HKEY_CURRENT_USER (per user) and HKEY_LOCAL_MACHINE (per machine).
constexpr const wchar_t* kSolvaneKey = L"Software\\Orvel\\Solvane";
// Parent of the per-plan extension keys, under HKEY_LOCAL_MACHINE.
constexpr const wchar_t* kPowerSettingsKey = L"Software\\Orvel\\Solvane\\PowerSettings";

// Reads a REG_DWORD. Returns the registry status; a value of another type or size is
// ERROR_INVALID_DATA and leaves *value untouched.
LSTATUS ReadDwordValue(HKEY key, const wchar_t* name, DWORD* value) noexcept;
LSTATUS WriteDwordValue(HKEY key, const wchar_t* name, DWORD value) noexcept;
// Reads a REG_SZ into text (always terminated; too long a value is ERROR_MORE_DATA).
LSTATUS ReadStringValue(HKEY key, const wchar_t* name, wchar_t* text, size_t cchText) noexcept;
LSTATUS WriteStringValue(HKEY key, const wchar_t* name, const wchar_t* text) noexcept;
// Reads a REG_BINARY; *cbRead receives the stored size (also on ERROR_MORE_DATA).
LSTATUS ReadBinaryValue(HKEY key, const wchar_t* name, void* data, DWORD cbData, DWORD* cbRead) noexcept;

}  // namespace plans
