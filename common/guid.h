// GUID text forms: "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" as UuidToStringW prints it (lower case),
// optionally enclosed in braces.
#pragma once

#include <windows.h>

#include <cstddef>

namespace common {

constexpr size_t GUID_TEXT_CCH = 36;                       // digits and hyphens
constexpr size_t GUID_STRING_CCH = GUID_TEXT_CCH + 1;      // unbraced, with terminator
constexpr size_t GUID_BRACED_CCH = GUID_TEXT_CCH + 2 + 1;  // braced, with terminator

// Prints guid into buffer (cchBuffer characters including the terminator), braced or not.
// ERROR_INSUFFICIENT_BUFFER when it does not fit; the buffer is then left empty.
DWORD GuidToString(const GUID& guid, bool braces, wchar_t* buffer, size_t cchBuffer) noexcept;
// Parses a GUID written with or without braces (both or none). ERROR_INVALID_PARAMETER for any
// other text; *guid is changed only on success.
DWORD GuidFromString(const wchar_t* text, GUID* guid) noexcept;

}  // namespace common
