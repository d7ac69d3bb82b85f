#include "settings_file_support.h"

#include <shlobj.h>

#include <cstdio>

#include "common/handles.h"
#include "settingsfile/settings_file.h"

namespace sftest {

std::vector<UINT> SettingsFileTest::s_messages;
BOOL SettingsFileTest::s_isAdministrator = TRUE;
DWORD SettingsFileTest::s_adminError = ERROR_SUCCESS;

namespace {

constexpr const wchar_t* kSolvane = L"Software\\Orvel\\Solvane";

void ClearKeys() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSolvane);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSolvane);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMorrow);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kMorrow);
}

LSTATUS SetRaw(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD cb) {
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     key.Put(), nullptr);
    return status == ERROR_SUCCESS
               ? RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), cb)
               : status;
}

void DumpKey(HKEY root, const std::wstring& path, std::wstring* out) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    *out += L"[" + path + L"]\n";
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD cchName = ARRAYSIZE(name);
        BYTE data[4096];
        DWORD cb = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key.Get(), i, name, &cchName, nullptr, &type, data, &cb) != ERROR_SUCCESS) {
            break;
        }
        wchar_t line[64];
        swprintf(line, ARRAYSIZE(line), L"=%u:", type);
        *out += std::wstring(name) + line;
        for (DWORD b = 0; b < cb; ++b) {
            swprintf(line, ARRAYSIZE(line), L"%02x", data[b]);
            *out += line;
        }
        *out += L"\n";
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD cch = ARRAYSIZE(name);
        if (RegEnumKeyExW(key.Get(), i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(name);
    }
    for (const std::wstring& child : children) {
        DumpKey(root, path + L"\\" + child, out);
    }
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data{};
    common::UniqueFindFile find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveFolder(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.Get(), &data));
    }
    find.Reset();
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

LSTATUS SetDword(const std::wstring& path, const wchar_t* name, DWORD value) {
    return SetRaw(path, name, REG_DWORD, &value, sizeof(value));
}

LSTATUS SetBinary(const std::wstring& path, const wchar_t* name, const std::vector<BYTE>& data) {
    return SetRaw(path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

long long GetDword(const std::wstring& path, const wchar_t* name) {
    DWORD value = 0;
    DWORD cb = sizeof(value);
    DWORD type = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY, &type, &value, &cb) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return -1;
    }
    return value;
}

std::vector<BYTE> GetBinary(const std::wstring& path, const wchar_t* name) {
    std::vector<BYTE> data(256);
    DWORD cb = static_cast<DWORD>(data.size());
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_BINARY, nullptr, data.data(), &cb) !=
        ERROR_SUCCESS) {
        return {};
    }
    data.resize(cb);
    return data;
}

void AddPlan(const wchar_t* plan, int ledNo) {
    std::wstring path = std::wstring(kPowerSettings) + L"\\" + plan;
    common::UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                              nullptr),
              ERROR_SUCCESS);
    if (ledNo >= 0) {
        ASSERT_EQ(SetDword(path, L"LedNo", static_cast<DWORD>(ledNo)), ERROR_SUCCESS);
    }
}

long long LedNoOf(const wchar_t* plan) { return GetDword(std::wstring(kPowerSettings) + L"\\" + plan, L"LedNo"); }

std::wstring DumpOrvel() {
    std::wstring out;
    DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Orvel", &out);
    return out;
}

std::vector<BYTE> Record(BYTE seed) {
    std::vector<BYTE> bytes(kRecordBytes);
    for (DWORD i = 0; i < kRecordBytes; ++i) {
        bytes[i] = static_cast<BYTE>(seed + i * 7);
    }
    return bytes;
}

std::string Hex(const std::vector<BYTE>& bytes, bool upper) {
    std::string text;
    char pair[3];
    for (BYTE b : bytes) {
        snprintf(pair, sizeof(pair), upper ? "%02X" : "%02x", b);
        text += pair;
    }
    return text;
}

DWORD MajorVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExW(&info);
    return info.dwMajorVersion;
}

std::string ValidFileText() {
    auto narrow = [](const wchar_t* w) { return std::string(w, w + wcslen(w)); };
    return "[OS]\r\nVersion=" + std::to_string(MajorVersion()) + "\r\n" +
           "[Solvane]\r\nLedNo1=" + narrow(kPlanA) + "\r\nLedNo2=" + narrow(kPlanB) + "\r\nLedNo3=" +
           narrow(kPlanC) + "\r\n" + "[EFEnv]\r\nUseDate=" + Hex(Record(0x10)) + "\r\nLv1Time=" +
           Hex(Record(0x20)) + "\r\nLv2Time=" + Hex(Record(0x30)) + "\r\nSelectMode=3\r\nThreshold=90\r\n" +
           "[Morrow]\r\nSelectedCompany=7\r\n";
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::wstring IniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    wchar_t text[512] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", text, ARRAYSIZE(text), path.c_str());
    return text;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void SettingsFileTest::SetUp() {
    ClearKeys();
    s_messages.clear();
    s_isAdministrator = TRUE;
    s_adminError = ERROR_SUCCESS;
    g_SettingsFileHooks.showMessage = [](UINT id) { s_messages.push_back(id); };
    g_SettingsFileHooks.checkAdministrator = [](BOOL* member) {
        *member = s_isAdministrator;
        return s_adminError;
    };
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64] = {};
    swprintf(name, ARRAYSIZE(name), L"sftest_%lu_%lu", GetCurrentProcessId(), GetTickCount());
    m_folder = std::wstring(temp) + name;
    ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr));
}

void SettingsFileTest::TearDown() {
    g_SettingsFileHooks = SettingsFileHooks{};
    ClearKeys();
    RemoveFolder(m_folder);
}

}  // namespace sftest
