#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "common/handles.h"
#include "test_support.h"
#include "vendrel/key_acl.h"

using namespace vendrel;
using namespace vendrel_test;

namespace {
constexpr wchar_t kUsersSid[] = L"S-1-5-32-545";

// Rights a DACL gives one SID: allow entries minus deny entries (entries that only pass
// down to subkeys do not count for the key itself).
struct SidRights {
    ACCESS_MASK allowed = 0;
    ACCESS_MASK denied = 0;
    int entries = 0;
};

SidRights RightsOf(HKEY key, const wchar_t* sidText) {
    SidRights rights;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> buffer(size);
    if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size) != ERROR_SUCCESS) {
        return rights;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted);
    PSID sid = nullptr;
    ConvertStringSidToSidW(sidText, &sid);
    common::UniqueLocal sidMemory(sid);
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        GetAce(dacl, i, &ace);
        auto* header = static_cast<ACE_HEADER*>(ace);
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);  // same layout for deny entries
        if (!EqualSid(&allowed->SidStart, sid)) {
            continue;
        }
        ++rights.entries;
        if (header->AceFlags & INHERIT_ONLY_ACE) {
            continue;
        }
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            rights.allowed |= allowed->Mask;
        } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            rights.denied |= allowed->Mask;
        }
    }
    return rights;
}

bool SetDacl(HKEY key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    common::UniqueLocal memory(descriptor);
    return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

// Keys an administrator creates belong to the Administrators group, as on the maker's PCs.
bool SetOwnerAdministrators(HKEY key) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BA", SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    common::UniqueLocal memory(descriptor);
    return RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

common::UniqueRegKey Open(const std::wstring& path) {
    common::UniqueRegKey key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, key.Put());
    return key;
}

common::UniqueRegKey Create(const std::wstring& path) {
    common::UniqueRegKey key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    key.Put(), nullptr);
    return key;
}

// What a member of Users (not an administrator) may do with the key: an access check against
// the key's security with this process's token, its Administrators group set to deny-only.
bool UserMay(HKEY key, ACCESS_MASK desired) {
    DWORD size = 0;
    const SECURITY_INFORMATION info =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    RegGetKeySecurity(key, info, nullptr, &size);
    std::vector<BYTE> descriptor(size);
    if (size == 0 || RegGetKeySecurity(key, info, descriptor.data(), &size) != ERROR_SUCCESS) {
        ADD_FAILURE() << "no security descriptor";
        return false;
    }
    common::UniqueHandle processToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, processToken.Put())) {
        ADD_FAILURE() << "OpenProcessToken " << GetLastError();
        return false;
    }
    PSID admins = nullptr;
    ConvertStringSidToSidW(L"S-1-5-32-544", &admins);
    common::UniqueLocal adminsMemory(admins);
    SID_AND_ATTRIBUTES disable = {admins, 0};
    common::UniqueHandle restricted;
    if (!CreateRestrictedToken(processToken.Get(), 0, 1, &disable, 0, nullptr, 0, nullptr,
                               restricted.Put())) {
        ADD_FAILURE() << "CreateRestrictedToken " << GetLastError();
        return false;
    }
    common::UniqueHandle impersonation;
    if (!DuplicateToken(restricted.Get(), SecurityImpersonation, impersonation.Put())) {
        ADD_FAILURE() << "DuplicateToken " << GetLastError();
        return false;
    }
    GENERIC_MAPPING mapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
    PRIVILEGE_SET privileges = {};
    DWORD privilegesSize = sizeof(privileges);
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!AccessCheck(descriptor.data(), impersonation.Get(), desired, &mapping, &privileges,
                     &privilegesSize, &granted, &status)) {
        ADD_FAILURE() << "AccessCheck " << GetLastError();
        return false;
    }
    return status != FALSE;
}

// Administrators full, SYSTEM full, Users read: the rights of a fresh key under Software.
constexpr wchar_t kStockDacl[] = L"D:(A;;KA;;;BA)(A;;KA;;;SY)(A;;KR;;;BU)";
}  // namespace

TEST(KeyAcl, UsersMayReadWriteAndDeleteButNotTakeTheKey) {
    ScratchKey scratch;
    const std::wstring planKey = scratch.Path() + L"\\9b7d845b-af66-4d2a-b476-d4dab840abf8";
    {
        common::UniqueRegKey parent = Open(scratch.Path());
        ASSERT_TRUE(parent);
        ASSERT_TRUE(SetDacl(parent.Get(), kStockDacl));
        ASSERT_TRUE(SetOwnerAdministrators(parent.Get()));
        common::UniqueRegKey plan = Create(planKey);
        ASSERT_TRUE(plan);
        ASSERT_TRUE(SetDacl(plan.Get(), kStockDacl));
        ASSERT_TRUE(SetOwnerAdministrators(plan.Get()));
        EXPECT_EQ(static_cast<ACCESS_MASK>(KEY_READ), RightsOf(plan.Get(), kUsersSid).allowed);
        EXPECT_TRUE(UserMay(plan.Get(), KEY_QUERY_VALUE));
        EXPECT_FALSE(UserMay(plan.Get(), KEY_SET_VALUE)) << "the check sees the user's rights only";
    }
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), FixKeyAcl(HKEY_LOCAL_MACHINE, scratch.Path().c_str()));
    for (const std::wstring& path : {scratch.Path(), planKey}) {
        common::UniqueRegKey key = Open(path);
        ASSERT_TRUE(key);
        const SidRights users = RightsOf(key.Get(), kUsersSid);
        EXPECT_EQ(1, users.entries) << "no entry is added";
        EXPECT_EQ(KEY_QUERY_VALUE, users.allowed & KEY_QUERY_VALUE);
        EXPECT_EQ(KEY_SET_VALUE, users.allowed & KEY_SET_VALUE);
        EXPECT_EQ(KEY_CREATE_SUB_KEY, users.allowed & KEY_CREATE_SUB_KEY);
        EXPECT_EQ(static_cast<ACCESS_MASK>(DELETE), users.allowed & DELETE);
        EXPECT_EQ(0u, users.allowed & WRITE_DAC) << "users could rewrite the key's rights";
        EXPECT_EQ(0u, users.allowed & WRITE_OWNER) << "users could take the key";
        EXPECT_EQ(kUsersKeyAccess, users.allowed);
        // What that means for a user who is not an administrator.
        EXPECT_TRUE(UserMay(key.Get(), KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS));
        EXPECT_TRUE(UserMay(key.Get(), KEY_SET_VALUE));
        EXPECT_TRUE(UserMay(key.Get(), DELETE));
        EXPECT_FALSE(UserMay(key.Get(), WRITE_DAC));
        EXPECT_FALSE(UserMay(key.Get(), WRITE_OWNER));
        // The other entries keep their rights.
        EXPECT_EQ(static_cast<ACCESS_MASK>(KEY_ALL_ACCESS), RightsOf(key.Get(), L"S-1-5-32-544").allowed);
        EXPECT_EQ(static_cast<ACCESS_MASK>(KEY_ALL_ACCESS), RightsOf(key.Get(), L"S-1-5-18").allowed);
    }
}

// The link library's debug switches and trace configuration stay for administrators only, and
// users cannot make them either (no subkey creation on the library's key); the library's other
// subkeys are widened in full.
TEST(KeyAcl, KeptSubkeysKeepTheirRights) {
    ScratchKey scratch;
    struct Sub {
        const wchar_t* name;
        bool widened;
    };
    const Sub subs[] = {
        {L"site", true},
        {L"Tarvik", false},
        {L"dbglog", false},  // names compare without regard to case
        {L"Tarvik2", true},
    };
    {
        common::UniqueRegKey parent = Open(scratch.Path());
        ASSERT_TRUE(parent);
        ASSERT_TRUE(SetDacl(parent.Get(), kStockDacl));
        ASSERT_TRUE(SetOwnerAdministrators(parent.Get()));
        for (const Sub& sub : subs) {
            common::UniqueRegKey key = Create(scratch.Path() + L"\\" + sub.name);
            ASSERT_TRUE(key) << sub.name;
            ASSERT_TRUE(SetDacl(key.Get(), kStockDacl));
            ASSERT_TRUE(SetOwnerAdministrators(key.Get()));
        }
    }
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              FixKeyAcl(HKEY_LOCAL_MACHINE, scratch.Path().c_str(), kMorrowKeyRule));
    {
        common::UniqueRegKey parent = Open(scratch.Path());
        EXPECT_EQ(kUsersKeyAccess & ~static_cast<ACCESS_MASK>(KEY_CREATE_SUB_KEY),
                  RightsOf(parent.Get(), kUsersSid).allowed);
        EXPECT_TRUE(UserMay(parent.Get(), KEY_QUERY_VALUE | KEY_SET_VALUE | DELETE));
        EXPECT_FALSE(UserMay(parent.Get(), KEY_CREATE_SUB_KEY));
    }
    for (const Sub& sub : subs) {
        common::UniqueRegKey key = Open(scratch.Path() + L"\\" + sub.name);
        ASSERT_TRUE(key) << sub.name;
        EXPECT_EQ(sub.widened ? kUsersKeyAccess : static_cast<ACCESS_MASK>(KEY_READ),
                  RightsOf(key.Get(), kUsersSid).allowed)
            << sub.name;
        EXPECT_EQ(sub.widened, UserMay(key.Get(), KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) << sub.name;
        EXPECT_TRUE(UserMay(key.Get(), KEY_QUERY_VALUE)) << sub.name;
    }
}

TEST(KeyAcl, EarlierFullControlOfUsersIsTakenBackAndDenyEntriesStay) {
    ScratchKey scratch;
    {
        common::UniqueRegKey key = Open(scratch.Path());
        ASSERT_TRUE(key);
        // Full control left by an older installation, a deny entry, and an inherit-only entry.
        ASSERT_TRUE(SetDacl(key.Get(),
                            L"D:(A;;KA;;;BA)(D;;0x2;;;BU)(A;;KA;;;BU)(A;OICIIO;GA;;;BU)"));
    }
    FixKeyAcl(HKEY_LOCAL_MACHINE, scratch.Path().c_str());
    common::UniqueRegKey key = Open(scratch.Path());
    const SidRights users = RightsOf(key.Get(), kUsersSid);
    EXPECT_EQ(3, users.entries);
    EXPECT_EQ(kUsersKeyAccess, users.allowed);
    EXPECT_EQ(static_cast<ACCESS_MASK>(KEY_SET_VALUE), users.denied) << "deny entry unchanged";
}

TEST(KeyAcl, KeyWithoutUsersEntryKeepsItsRights) {
    ScratchKey scratch;
    {
        common::UniqueRegKey key = Open(scratch.Path());
        ASSERT_TRUE(SetDacl(key.Get(), L"D:(A;;KA;;;BA)(A;;KR;;;WD)"));
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), FixKeyAcl(HKEY_LOCAL_MACHINE, scratch.Path().c_str()));
    common::UniqueRegKey key = Open(scratch.Path());
    EXPECT_EQ(0, RightsOf(key.Get(), kUsersSid).entries);
    EXPECT_EQ(static_cast<ACCESS_MASK>(KEY_READ), RightsOf(key.Get(), L"S-1-1-0").allowed);
}

TEST(KeyAcl, MissingKeyIsCreatedAndNullPathRefused) {
    ScratchKey scratch;
    const std::wstring path = scratch.Path() + L"\\Morrow";
    ASSERT_FALSE(Open(path));
    const DWORD result = FixKeyAcl(HKEY_LOCAL_MACHINE, path.c_str());
    // A new key without a DACL of its own has nothing to widen.
    EXPECT_TRUE(result == ERROR_SUCCESS || result == ERROR_NOT_FOUND) << result;
    EXPECT_TRUE(Open(path));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), FixKeyAcl(HKEY_LOCAL_MACHINE, nullptr));
}

TEST(KeyAcl, WidenUsersAcesWorksOnAnAclInMemory) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;;0x20019;;;BU)(A;;0xF003F;;;BU)(A;;0x20019;;;AU)", SDDL_REVISION_1, &descriptor,
        nullptr));
    common::UniqueLocal memory(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_EQ(2, WidenUsersAces(dacl));
    EXPECT_EQ(0, WidenUsersAces(dacl)) << "a second pass changes nothing";
    EXPECT_EQ(0, WidenUsersAces(nullptr));
    // A narrower grant takes back what the standard one would give, generic write included.
    PSECURITY_DESCRIPTOR narrow = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;CI;0x40020019;;;BU)", SDDL_REVISION_1,
                                                                     &narrow, nullptr));
    common::UniqueLocal narrowMemory(narrow);
    PACL narrowDacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(narrow, &present, &narrowDacl, &defaulted));
    const ACCESS_MASK noCreate = kUsersKeyAccess & ~static_cast<ACCESS_MASK>(KEY_CREATE_SUB_KEY);
    EXPECT_EQ(1, WidenUsersAces(narrowDacl, noCreate));
    void* narrowAce = nullptr;
    ASSERT_TRUE(GetAce(narrowDacl, 0, &narrowAce));
    EXPECT_EQ(noCreate, static_cast<ACCESS_ALLOWED_ACE*>(narrowAce)->Mask);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 2, &ace));
    EXPECT_EQ(0x20019u, static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask) << "Authenticated Users untouched";
    ASSERT_TRUE(GetAce(dacl, 1, &ace));
    EXPECT_EQ(kUsersKeyAccess, static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask);
}
