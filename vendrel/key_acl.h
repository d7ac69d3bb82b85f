// Rights of the program's registry keys: the users of the machine may read and write the
// values and subkeys the program keeps there.
#pragma once

#include <windows.h>

namespace vendrel {

// What BUILTIN\Users get on the program's keys: read, write values and subkeys, delete.
// Never WRITE_DAC or WRITE_OWNER: those would let any user take the key from the others.
constexpr ACCESS_MASK kUsersKeyAccess = KEY_READ | KEY_WRITE | DELETE;

// Widens every allow entry of `acl` that names BUILTIN\Users to `usersAccess` (a part of
// kUsersKeyAccess; the rest of kUsersKeyAccess is taken away, as are rights changes, ownership
// and link creation); deny entries and other SIDs stay as they are.
// No entry is added. Returns the number of entries changed.
int WidenUsersAces(PACL acl, ACCESS_MASK usersAccess = kUsersKeyAccess) noexcept;

// Fixes the DACL of one open key. ERROR_NOT_FOUND when the key has no DACL.
DWORD FixOneKeyDacl(HKEY key, ACCESS_MASK usersAccess = kUsersKeyAccess) noexcept;

// How FixKeyAcl treats one key.
struct KeyAclRule {
    const wchar_t* const* kept = nullptr;  // direct subkeys that keep the rights they have
    size_t keptCount = 0;
    ACCESS_MASK keyUsersAccess = kUsersKeyAccess;  // what Users get on the key itself
};

// Opens or creates root\path, fixes its DACL and the DACLs of its direct subkeys, except the
// subkeys the rule keeps (names compared without regard to case).
DWORD FixKeyAcl(HKEY root, const wchar_t* path, const KeyAclRule& rule = KeyAclRule{}) noexcept;

// "Software\Orvel\Morrow": its subkeys "Tarvik" (the link library's debug switches "Debug",
// "Utilization": simulated demand for every user of the PC) and "DbgLog" (its trace
// configuration) stay as they are, and users may not create subkeys there, so that only an
// administrator can make either key.
extern const wchar_t* const kMorrowKeptSubkeys[2];
extern const KeyAclRule kMorrowKeyRule;

// The five keys of the program, in order.
void FixProgramKeyAcls() noexcept;

}  // namespace vendrel
