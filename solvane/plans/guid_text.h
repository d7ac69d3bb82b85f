// GUID text forms: brace-enclosed strings in registry values, bare lower-case strings in key names.
#pragma once

#include <windows.h>
#include <cguid.h>

#include <vector>

namespace plans {

// Characters of a bare GUID string without terminator ("xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx").
constexpr size_t kGuidTextChars = 36;
// Buffer size for a brace-enclosed GUID string with terminator.
constexpr size_t kBracedGuidBufferChars = 39;

// Parses a GUID written with or without braces, ignoring surrounding blanks. Returns false and
// leaves GUID_NULL in *guid for anything else.
bool ParseGuidText(const wchar_t* text, GUID* guid) noexcept;

// Parses every string of a REG_MULTI_SZ block on its own. cchData is the block length in
// characters as read (the terminators may be missing). A string that does not parse yields
// GUID_NULL at its position; at most maxEntries GUIDs are returned.
std::vector<GUID> ParseGuidMultiString(const wchar_t* data, size_t cchData, size_t maxEntries);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case, as the registry values hold them).
void FormatBracedGuid(const GUID& guid, wchar_t (&text)[kBracedGuidBufferChars]) noexcept;
// Lower case without braces, as UuidToStringW prints it (names of the per-plan keys).
void FormatKeyGuid(const GUID& guid, wchar_t (&text)[kBracedGuidBufferChars]) noexcept;

inline bool IsNullGuid(const GUID& guid) noexcept { return IsEqualGUID(guid, GUID_NULL) != FALSE; }

}  // namespace plans
