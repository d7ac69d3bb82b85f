// CWinUser: what Windows says about the logged-on user's rights. The settings export asks it
// whether the user is a member of the local "Administrators" group (directly or through a nested
// group); whether the process runs elevated does not matter.
#pragma once

#include <windows.h>
#include <lm.h>

#include <string>
#include <vector>

class CWinUser {
public:
    // GetUserNameExW(NameSamCompatible) fills at most this many characters.
    static constexpr DWORD kNameChars = 257;
    // Longest local group name kept; longer names are cut.
    static constexpr size_t kGroupChars = 260;

    // NetUserGetLocalGroups as the class calls it; tests replace it to answer nested groups.
    using LocalGroupsFn = NET_API_STATUS(WINAPI*)(LPCWSTR server, LPCWSTR user, DWORD level, DWORD flags,
                                                  LPBYTE* buffer, DWORD preferredLength, LPDWORD read,
                                                  LPDWORD total);
    static LocalGroupsFn s_pfnNetUserGetLocalGroups;

    CWinUser() noexcept = default;
    virtual ~CWinUser() = default;
    CWinUser(const CWinUser&) = delete;
    CWinUser& operator=(const CWinUser&) = delete;

    // The current user as "DOMAIN\user" (GetUserNameW's plain name when that fails). Returns the
    // error of the last call tried, 0 on success.
    DWORD GetNameSamCompatible(wchar_t* lpszName, DWORD cchName) noexcept;
    // The local groups of `user`, nested ones included. ERROR_NO_DATA when there is none,
    // ERROR_NOT_ENOUGH_MEMORY when the list cannot be built, else the NetApi error.
    DWORD EnumLocalGroups(const wchar_t* lpszUser, std::vector<std::wstring>* groups) noexcept;
    // 0 when an entry equals `name` exactly (lstrcmpW), else ERROR_NO_DATA.
    static DWORD LookupGroup(const std::vector<std::wstring>& groups, const wchar_t* name) noexcept;
    // *lpbResult = TRUE when the current user belongs to "Administrators". Returns the error that
    // kept the check from finishing, 0 otherwise (the result says FALSE then).
    DWORD CheckAdministrator(BOOL* lpbResult) noexcept;
};
