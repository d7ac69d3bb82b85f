#include "app/win_user.h"

#define SECURITY_WIN32
#include <security.h>

#include <new>

#include "common/handles.h"
#include "common/log.h"

namespace {

constexpr wchar_t kAdministratorsGroup[] = L"Administrators";
// NetUserGetLocalGroups with MAX_PREFERRED_LENGTH answers at once; a server that keeps answering
// ERROR_MORE_DATA is not asked for ever.
constexpr int kMaxMoreDataRounds = 8;

struct NetApiBufferTraits {
    using Handle = LPBYTE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::NetApiBufferFree(h); }
};
using UniqueNetApiBuffer = common::UniqueResource<NetApiBufferTraits>;

using GetUserNameExFn = BOOLEAN(SEC_ENTRY*)(EXTENDED_NAME_FORMAT, LPWSTR, PULONG);

// GetUserNameExW(NameSamCompatible) through secur32 loaded for this call only: the library
// starts its security providers when it loads, which the resident program never needs.
// Returns 0 or the error of the call (ERROR_PROC_NOT_FOUND without the library).
DWORD UserNameSamCompatible(wchar_t* name, ULONG* cch) noexcept {
    common::UniqueModule secur32(LoadLibraryW(L"secur32.dll"));
    const auto getUserNameEx =
        secur32 ? reinterpret_cast<GetUserNameExFn>(
                      reinterpret_cast<void*>(GetProcAddress(secur32.Get(), "GetUserNameExW")))
                : nullptr;
    if (getUserNameEx == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    if (!getUserNameEx(NameSamCompatible, name, cch)) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
    }
    return ERROR_SUCCESS;
}

}  // namespace

CWinUser::LocalGroupsFn CWinUser::s_pfnNetUserGetLocalGroups = ::NetUserGetLocalGroups;

DWORD CWinUser::GetNameSamCompatible(wchar_t* lpszName, DWORD cchName) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::GetNameSamCompatible", L"Enter");
    if (lpszName == nullptr || cchName == 0) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::GetNameSamCompatible", L"%s is NULL.", L"lpszName");
        return ERROR_INVALID_PARAMETER;
    }
    lpszName[0] = L'\0';
    ULONG cch = cchName;
    DWORD error = UserNameSamCompatible(lpszName, &cch);
    if (error != ERROR_SUCCESS) {
        DWORD cchPlain = cchName;
        error = GetUserNameW(lpszName, &cchPlain) ? ERROR_SUCCESS : GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        lpszName[0] = L'\0';
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::GetNameSamCompatible", L"Exit - Error! retval:%08x", error);
        return error;
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::GetNameSamCompatible", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

DWORD CWinUser::EnumLocalGroups(const wchar_t* lpszUser, std::vector<std::wstring>* groups) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::EnumLocalGroups", L"Enter");
    if (lpszUser == nullptr || groups == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::EnumLocalGroups", L"%s is NULL.",
                  lpszUser == nullptr ? L"lpszUser" : L"groups");
        return ERROR_INVALID_PARAMETER;
    }
    groups->clear();
    NET_API_STATUS status = ERROR_MORE_DATA;
    for (int round = 0; round < kMaxMoreDataRounds && status == ERROR_MORE_DATA; ++round) {
        UniqueNetApiBuffer buffer;
        DWORD read = 0;
        DWORD total = 0;
        status = s_pfnNetUserGetLocalGroups(nullptr, lpszUser, 0, LG_INCLUDE_INDIRECT, buffer.Put(),
                                            MAX_PREFERRED_LENGTH, &read, &total);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            break;
        }
        groups->clear();
        const auto* entries = reinterpret_cast<const LOCALGROUP_USERS_INFO_0*>(buffer.Get());
        for (DWORD i = 0; entries != nullptr && i < read; ++i) {
            const wchar_t* name = entries[i].lgrui0_name != nullptr ? entries[i].lgrui0_name : L"";
            try {
                groups->emplace_back(name, wcsnlen(name, kGroupChars));
            } catch (const std::bad_alloc&) {
                groups->clear();
                LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::EnumLocalGroups", L"Exit - Error! retval:%08x",
                          ERROR_NOT_ENOUGH_MEMORY);
                return ERROR_NOT_ENOUGH_MEMORY;
            }
        }
    }
    DWORD result = status;
    if (status == NERR_Success || status == ERROR_MORE_DATA) {
        result = groups->empty() ? ERROR_NO_DATA : ERROR_SUCCESS;
    } else {
        groups->clear();
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::EnumLocalGroups", L"Exit retval:%08x", result);
    return result;
}

DWORD CWinUser::LookupGroup(const std::vector<std::wstring>& groups, const wchar_t* name) noexcept {
    if (name == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::LookupGroup", L"%s is NULL.", L"name");
        return ERROR_INVALID_PARAMETER;
    }
    for (const std::wstring& group : groups) {
        if (lstrcmpW(group.c_str(), name) == 0) {
            return ERROR_SUCCESS;
        }
    }
    return ERROR_NO_DATA;
}

DWORD CWinUser::CheckAdministrator(BOOL* lpbResult) noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::CheckAdministrator", L"Enter");
    if (lpbResult == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::CheckAdministrator", L"%s is NULL.", L"lpbResult");
        return ERROR_INVALID_PARAMETER;
    }
    *lpbResult = FALSE;
    wchar_t user[kNameChars] = {};
    DWORD error = GetNameSamCompatible(user, kNameChars);
    std::vector<std::wstring> groups;
    if (error == ERROR_SUCCESS) {
        error = EnumLocalGroups(user, &groups);
    }
    if (error == ERROR_SUCCESS && LookupGroup(groups, kAdministratorsGroup) == ERROR_SUCCESS) {
        *lpbResult = TRUE;
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CWinUser::CheckAdministrator", L"Exit retval:%08x (member %d)", error,
              *lpbResult);
    return error;
}
