// Rights of the program's registry keys: the users of the machine may read and write the
// values and subkeys the program keeps there.
#pragma once

#include <windows.h>

namespace vendrel {

// What BUILTIN\Users get on the program's keys: read, write values and subkeys, delete.
// Never WRITE_DAC or WRITE_OWNER: those would let any user take the key from the others.
constexpr ACCESS_MASK kUsersKeyAccess = KEY_READ | KEY_WRITE | DELETE;

// Widens every allow entry of `acl` that names BUILTIN\Users to kUsersKeyAccess (and takes
// rights changes, ownership and link creation away from it); deny entries and other SIDs stay
// as they are.
// No entry is added. Returns the number of entries changed.
int WidenUsersAces(PACL acl) noexcept;

// Fixes the DACL of one open key. ERROR_NOT_FOUND when the key has no DACL.
DWORD FixOneKeyDacl(HKEY key) noexcept;

// Opens or creates root\path, fixes its DACL and the DACLs of its direct subkeys, except the
// subkeys named in `kept` (compared without regard to case), which keep the rights they have.
DWORD FixKeyAcl(HKEY root, const wchar_t* path, const wchar_t* const* kept = nullptr,
                size_t keptCount = 0) noexcept;

// Subkeys of "Software\Orvel\Morrow" that stay as they are: the link library's debug switches
// ("Tarvik": "Debug", "Utilization", simulated demand for every user of the PC) and its trace
// configuration ("DbgLog"). Only administrators may change them.
extern const wchar_t* const kMorrowKeptSubkeys[2];

// The five keys of the program, in order.
void FixProgramKeyAcls() noexcept;

}  // namespace vendrel
