// simctl stock-key-rights: gives a machine key and everything below it the security Windows
// gives the keys under HKEY_LOCAL_MACHINE\Software. Wine gives a new key no security of its
// own (anyone may do anything with it), so a setup package's keys would otherwise never be
// guarded as they are on the maker's PCs.
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "sim/simctl/simctl.h"

namespace {

constexpr wchar_t kCommand[] = L"stock-key-rights";
// Owned by Administrators; SYSTEM and Administrators full control, Users read, the creator of
// a subkey full control of it: every entry inherited from Software and passed on to subkeys.
constexpr wchar_t kStockSecurity[] =
    L"O:BAG:SYD:(A;CIID;KA;;;SY)(A;CIID;KA;;;BA)(A;CIID;KR;;;BU)(A;CIIOID;GA;;;CO)";
constexpr REGSAM kRewriteAccess = READ_CONTROL | WRITE_DAC | WRITE_OWNER | KEY_ENUMERATE_SUB_KEYS;
constexpr SECURITY_INFORMATION kStockParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr DWORD kKeyNameChars = 256;
constexpr int kMaxDepth = 32;

// Subkeys first collected, then visited: the enumeration never sees a changing key.
LONG ApplyTree(HKEY parent, const std::wstring& name, PSECURITY_DESCRIPTOR security, int depth, int& keys) {
    if (depth > kMaxDepth) {
        return ERROR_CANT_RESOLVE_FILENAME;
    }
    common::UniqueRegKey key;
    LONG rc = RegOpenKeyExW(parent, name.c_str(), 0, kRewriteAccess, key.Put());
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl %ls: cannot open %ls (error %ld)\n", kCommand, name.c_str(), rc);
        return rc;
    }
    rc = RegSetKeySecurity(key.Get(), kStockParts, security);
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl %ls: cannot set the rights of %ls (error %ld)\n", kCommand, name.c_str(), rc);
        return rc;
    }
    ++keys;
    std::vector<std::wstring> children;
    for (DWORD index = 0;; ++index) {
        wchar_t child[kKeyNameChars] = {};
        DWORD cch = kKeyNameChars;
        rc = RegEnumKeyExW(key.Get(), index, child, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            simctl::Err(L"simctl %ls: cannot list the subkeys of %ls (error %ld)\n", kCommand, name.c_str(), rc);
            return rc;
        }
        children.emplace_back(child, cch);
    }
    for (const std::wstring& child : children) {
        rc = ApplyTree(key.Get(), child, security, depth + 1, keys);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
    }
    return ERROR_SUCCESS;
}

// stock-key-rights KEY: KEY is a path under HKEY_LOCAL_MACHINE ("Software\Orvel").
int RunStockKeyRights(const std::vector<std::wstring>& args) {
    if (args.size() != 1 || args[0].empty() || args[0].front() == L'\\') {
        return simctl::UsageError(kCommand, L"expected one key path under HKEY_LOCAL_MACHINE");
    }
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kStockSecurity, SDDL_REVISION_1, &security,
                                                              nullptr)) {
        simctl::Err(L"simctl %ls: cannot build the security descriptor (error %lu)\n", kCommand, GetLastError());
        return 1;
    }
    common::UniqueLocal securityMemory(security);
    int keys = 0;
    if (ApplyTree(HKEY_LOCAL_MACHINE, args[0], security, 0, keys) != ERROR_SUCCESS) {
        return 1;
    }
    simctl::Out(L"%ls: stock rights on %d key(s)\n", args[0].c_str(), keys);
    return 0;
}

}  // namespace

SIMCTL_COMMAND(kCommand, L"stock-key-rights KEY",
               L"give HKLM\\KEY and its subkeys the rights Windows gives keys under HKLM\\Software",
               RunStockKeyRights);
