// The list of regional power companies offered to the user: slot 0 is "none", then every region
// whose site key has "Enable" = 1, named from the library's string table.
#pragma once

#include <windows.h>

struct RegionEntry {
    DWORD dwRegionId;
    wchar_t* pszName;  // 256-character buffer owned by the library, or null for an unused slot
};

namespace tarvik {

constexpr DWORD kRegionSlots = 11;
constexpr DWORD kMaxRegionId = 10;
constexpr DWORD kRegionNameChars = 256;
constexpr UINT kRegionNameStringBase = 103;  // region n is named by string 103 + n

// Builds the table from the registry and the module's string table; returns the number of slots
// that have a name (1 + offered regions).
DWORD BuildRegionTable(HINSTANCE resources) noexcept;
// Clears the table (unused slots and names).
void ClearRegionTable() noexcept;
RegionEntry* RegionTable() noexcept;
DWORD RegionTableCount() noexcept;

}  // namespace tarvik
