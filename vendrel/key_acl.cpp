#include "vendrel/key_acl.h"

#include <vector>

#include "common/handles.h"
#include "common/log.h"

namespace vendrel {

namespace {
constexpr DWORD kInitialSecurityBytes = 256;
constexpr size_t kSubkeyNameChars = 256;  // names up to 255 characters
// Rights a user must never hold on a shared key: changing its rights or owner (GENERIC_ALL
// maps to both) and creating registry links, which would redirect what the program writes.
constexpr ACCESS_MASK kForbiddenUserRights = WRITE_DAC | WRITE_OWNER | GENERIC_ALL | KEY_CREATE_LINK;

// Rights the helper itself needs on a key whose DACL it rewrites.
constexpr REGSAM kFixParentAccess = KEY_ENUMERATE_SUB_KEYS | READ_CONTROL | WRITE_DAC;
constexpr REGSAM kFixSubkeyAccess = READ_CONTROL | WRITE_DAC;

struct ProgramKey {
    const wchar_t* path;
    const KeyAclRule* rule;
};

}  // namespace

const wchar_t* const kMorrowKeptSubkeys[2] = {L"Tarvik", L"DbgLog"};
const KeyAclRule kMorrowKeyRule = {kMorrowKeptSubkeys, ARRAYSIZE(kMorrowKeptSubkeys),
                                   kUsersKeyAccess & ~static_cast<ACCESS_MASK>(KEY_CREATE_SUB_KEY)};

namespace {

const KeyAclRule kPlainRule = {};

const ProgramKey kProgramKeys[] = {
    {L"Software\\Orvel\\Solvane\\PowerSettings", &kPlainRule},
    {L"Software\\Orvel\\Solvane\\EFEnv", &kPlainRule},
    {L"Software\\Orvel\\Solvane\\SupportMonitor", &kPlainRule},
    {L"Software\\Orvel\\Solvane\\AttachedMonitor", &kPlainRule},
    {L"Software\\Orvel\\Morrow", &kMorrowKeyRule},
};

bool IsKept(const wchar_t* name, const wchar_t* const* kept, size_t keptCount) noexcept {
    for (size_t i = 0; kept != nullptr && i < keptCount; ++i) {
        if (kept[i] != nullptr && CompareStringOrdinal(name, -1, kept[i], -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

// BUILTIN\Users (S-1-5-32-545).
struct UsersSid {
    UsersSid() noexcept {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS,
                                      0, 0, 0, 0, 0, 0, &sid)) {
            sid = nullptr;
        }
    }
    ~UsersSid() {
        if (sid != nullptr) {
            FreeSid(sid);
        }
    }
    UsersSid(const UsersSid&) = delete;
    UsersSid& operator=(const UsersSid&) = delete;
    PSID sid = nullptr;
};

// Reads the key's DACL into `buffer` (256 bytes, grown once when the key asks for more).
DWORD ReadKeyDacl(HKEY key, std::vector<BYTE>& buffer) noexcept {
    try {
        buffer.assign(kInitialSecurityBytes, 0);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD size = static_cast<DWORD>(buffer.size());
    LSTATUS status = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size);
    if (status == ERROR_INSUFFICIENT_BUFFER) {
        try {
            buffer.assign(size, 0);
        } catch (...) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        status = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size);
    }
    return static_cast<DWORD>(status);
}
}  // namespace

int WidenUsersAces(PACL acl, ACCESS_MASK usersAccess) noexcept {
    if (acl == nullptr) {
        return 0;
    }
    UsersSid users;
    if (users.sid == nullptr) {
        return 0;
    }
    usersAccess &= kUsersKeyAccess;
    ACCESS_MASK taken = kForbiddenUserRights | (kUsersKeyAccess & ~usersAccess);
    if ((usersAccess & KEY_CREATE_SUB_KEY) == 0) {
        taken |= GENERIC_WRITE;  // maps to subkey creation
    }
    int changed = 0;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(acl, index, &ace)) {
            break;
        }
        auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;  // widening a deny entry would take the users' rights away
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), users.sid)) {
            continue;
        }
        const ACCESS_MASK mask = (allowed->Mask | usersAccess) & ~taken;
        if (mask != allowed->Mask) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"WidenUsersAces", L"entry %u: %08x -> %08x", index,
                      allowed->Mask, mask);
            allowed->Mask = mask;
            ++changed;
        }
    }
    return changed;
}

DWORD FixOneKeyDacl(HKEY key, ACCESS_MASK usersAccess) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"FixOneKeyDacl", L"Enter");
    std::vector<BYTE> buffer;
    DWORD result = ReadKeyDacl(key, buffer);
    if (result != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"FixOneKeyDacl", L"Exit - Error! retval:%08x", result);
        return result;
    }
    auto* descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(buffer.data());
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        dacl == nullptr) {
        LOG_TRACE(TRACE_LEVEL_APP, L"FixOneKeyDacl", L"Exit - Error! retval:%08x", ERROR_NOT_FOUND);
        return ERROR_NOT_FOUND;
    }
    if (WidenUsersAces(dacl, usersAccess) > 0) {
        result = static_cast<DWORD>(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"FixOneKeyDacl", L"Exit retval:%08x", result);
    return result;
}

DWORD FixKeyAcl(HKEY root, const wchar_t* path, const KeyAclRule& rule) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"FixKeyAcl", L"Enter");
    if (path == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"FixKeyAcl", L"%s is NULL.", L"path");
        return ERROR_INVALID_PARAMETER;
    }
    common::UniqueRegKey key;
    DWORD result = static_cast<DWORD>(RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                      kFixParentAccess, nullptr, key.Put(), nullptr));
    if (result != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"FixKeyAcl", L"Exit - Error! retval:%08x", result);
        return result;
    }
    result = FixOneKeyDacl(key.Get(), rule.keyUsersAccess);
    for (DWORD index = 0;; ++index) {
        wchar_t name[kSubkeyNameChars] = {};
        DWORD cchName = ARRAYSIZE(name);
        const LSTATUS status = RegEnumKeyExW(key.Get(), index, name, &cchName, nullptr, nullptr,
                                             nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        if (IsKept(name, rule.kept, rule.keptCount)) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"FixKeyAcl", L"%s keeps its rights", name);
            continue;
        }
        common::UniqueRegKey subkey;
        if (RegOpenKeyExW(key.Get(), name, 0, kFixSubkeyAccess, subkey.Put()) == ERROR_SUCCESS) {
            FixOneKeyDacl(subkey.Get());
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"FixKeyAcl", L"Exit retval:%08x", result);
    return result;
}

void FixProgramKeyAcls() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"FixProgramKeyAcls", L"Enter");
    for (const ProgramKey& programKey : kProgramKeys) {
        const DWORD result = FixKeyAcl(HKEY_LOCAL_MACHINE, programKey.path, *programKey.rule);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"FixProgramKeyAcls", L"%s: %u", programKey.path, result);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"FixProgramKeyAcls", L"Exit");
}

}  // namespace vendrel
