#include "test_support.h"

#include "common/handles.h"
#include "sim/powrprof/guid_text.h"
#include "sim/powrprof/store_layout.h"

namespace simpower_test {

constexpr DWORD NAME_BUFFER_BYTES = 4096;

KeyStash::KeyStash(const wchar_t* path) : m_path(path), m_backup(std::wstring(path) + L".TestStash"), m_had(false) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_backup.c_str());
    common::UniqueRegKey from;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, KEY_READ, from.Put()) == ERROR_SUCCESS) {
        common::UniqueRegKey to;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, to.Put(), nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeW(from.Get(), nullptr, to.Get()));
        m_had = true;
    }
    from.Reset();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
}

KeyStash::~KeyStash() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
    if (!m_had) return;
    common::UniqueRegKey from;
    common::UniqueRegKey to;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_backup.c_str(), 0, KEY_READ, from.Put()) == ERROR_SUCCESS &&
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, to.Put(),
                        nullptr) == ERROR_SUCCESS) {
        RegCopyTreeW(from.Get(), nullptr, to.Get());
    }
    from.Reset();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_backup.c_str());
}

FreshPowerStore::FreshPowerStore() : m_power(simpower::POWER_KEY) {}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[simpower::GUID_TEXT_CCH];
    simpower::GuidToText(guid, text);
    return text;
}

std::vector<GUID> EnumeratePlans() {
    std::vector<GUID> plans;
    for (ULONG i = 0;; ++i) {
        GUID g{};
        DWORD size = sizeof(g);
        DWORD rc = PowerEnumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, i, reinterpret_cast<UCHAR*>(&g), &size);
        if (rc != ERROR_SUCCESS) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), rc);
            return plans;
        }
        plans.push_back(g);
    }
}

std::wstring ReadName(const GUID* plan, const GUID* subgroup, const GUID* setting, DWORD& rc) {
    std::vector<BYTE> buffer(NAME_BUFFER_BYTES);
    DWORD size = NAME_BUFFER_BYTES;
    rc = PowerReadFriendlyName(nullptr, plan, subgroup, setting, buffer.data(), &size);
    if (rc != ERROR_SUCCESS) return L"";
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()));
}

std::wstring ReadDescription(const GUID* plan, DWORD& rc) {
    std::vector<BYTE> buffer(NAME_BUFFER_BYTES);
    DWORD size = NAME_BUFFER_BYTES;
    rc = PowerReadDescription(nullptr, plan, nullptr, nullptr, buffer.data(), &size);
    if (rc != ERROR_SUCCESS) return L"";
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()));
}

DWORD WriteName(const GUID& plan, const std::wstring& name) {
    return PowerWriteFriendlyName(nullptr, &plan, nullptr, nullptr,
                                  reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(name.c_str())),
                                  static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
}

bool UiIsJapanese() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE; }

DWORD ReadDword(const wchar_t* path, const wchar_t* name, DWORD fallback) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD rc = RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return rc == ERROR_SUCCESS ? value : fallback;
}

void WriteDword(const wchar_t* path, const wchar_t* name, DWORD value) {
    common::UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             key.Put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                            sizeof(value)));
}

TempFile::TempFile(const wchar_t* stem) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    m_path = std::wstring(dir) + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L".pow";
}

TempFile::~TempFile() { DeleteFileW(m_path.c_str()); }

void TempFile::WriteBytes(const std::vector<BYTE>& bytes) const {
    common::UniqueFile file(CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(bytes.size(), written);
}

void TempFile::WriteUtf16(const std::wstring& text) const {
    std::vector<BYTE> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    WriteBytes(bytes);
}

}  // namespace simpower_test
