// Small registry helpers: open a key path, read and write typed values with checks. The one set
// of readers of every deliverable: each reports why it failed (the registry's own status, or
// ERROR_INVALID_DATA for a value of another type or size) so the caller can fall back to its
// own default and record the reason.
#pragma once

#include <windows.h>

#include "common/handles.h"

namespace common {

// Opens root\path (path may be null or empty for the root itself) with the given access.
LSTATUS OpenRegKey(HKEY root, const wchar_t* path, REGSAM access, UniqueRegKey& key) noexcept;
// Opens root\path, creating the missing components.
LSTATUS CreateRegKey(HKEY root, const wchar_t* path, REGSAM access, UniqueRegKey& key) noexcept;

// Reads a REG_DWORD; ERROR_INVALID_DATA for another type or a shorter value, ERROR_MORE_DATA for
// a value longer than four bytes (of any type). *value is changed only on success.
LSTATUS QueryRegDword(HKEY key, const wchar_t* name, DWORD* value) noexcept;
// Reads a REG_DWORD, or returns defaultValue when it is missing, of another type or unreadable.
DWORD ReadRegDword(HKEY key, const wchar_t* name, DWORD defaultValue) noexcept;
// Which value types a text reader takes.
enum class RegText {
    Plain,       // REG_SZ only
    Expandable,  // REG_SZ, or REG_EXPAND_SZ taken as it is stored (not expanded)
};
// Reads a text value into buffer (cchBuffer characters including the terminator). Fails with
// ERROR_INVALID_DATA for another type and ERROR_MORE_DATA when the text does not fit; the
// buffer is changed only on success and is always terminated then.
LSTATUS ReadRegString(HKEY key, const wchar_t* name, wchar_t* buffer, size_t cchBuffer,
                      RegText accepted = RegText::Plain) noexcept;
// Reads a REG_BINARY of exactly cbData bytes; ERROR_INVALID_DATA for another type or size.
// data is changed only on success. *cbStored (optional) receives the size of the stored value
// whenever it exists, so that a caller can report a record of the wrong size.
LSTATUS ReadRegBinary(HKEY key, const wchar_t* name, void* data, DWORD cbData,
                      DWORD* cbStored = nullptr) noexcept;

// Reads a REG_BINARY of any size into data: its first min(stored, cbData) bytes; the rest of data
// is left as it was. *cbStored receives the stored size; ERROR_INVALID_DATA for another type.
// For records whose stored length the caller judges itself (tables read in part).
LSTATUS ReadRegBinaryPrefix(HKEY key, const wchar_t* name, void* data, DWORD cbData, DWORD* cbStored) noexcept;

LSTATUS WriteRegDword(HKEY key, const wchar_t* name, DWORD value) noexcept;
LSTATUS WriteRegString(HKEY key, const wchar_t* name, const wchar_t* value) noexcept;
LSTATUS WriteRegBinary(HKEY key, const wchar_t* name, const void* data, DWORD cbData) noexcept;
// Deletes a value; a value that is already missing counts as deleted.
LSTATUS DeleteRegValue(HKEY key, const wchar_t* name) noexcept;
// Deletes root\path with all its subkeys and values; a missing key counts as deleted.
LSTATUS DeleteRegTree(HKEY root, const wchar_t* path) noexcept;

}  // namespace common
