#include "test_support.h"

#include <shlobj.h>

namespace testsupport {

namespace {

std::wstring ParentKey(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

ScopedRegValue::ScopedRegValue(HKEY root, const wchar_t* subKey, const wchar_t* name)
    : m_root(root), m_subKey(subKey), m_name(name) {
    for (std::wstring path = m_subKey; !path.empty(); path = ParentKey(path)) {
        common::UniqueRegKey probe;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, probe.Put()) == ERROR_SUCCESS) {
            break;
        }
        m_missingKeys.push_back(path);
    }
    common::UniqueRegKey key;
    m_keyExisted = RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    if (!m_keyExisted) {
        return;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
        m_data.resize(size);
        m_valueExisted = RegQueryValueExW(key.Get(), name, nullptr, &m_type, m_data.data(), &size) ==
                         ERROR_SUCCESS;
        m_data.resize(size);
    }
}

ScopedRegValue::~ScopedRegValue() {
    if (m_valueExisted) {
        SetRaw(m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    } else {
        Delete();
    }
    for (const std::wstring& path : m_missingKeys) {
        DeleteKeyIfEmpty(m_root, path.c_str());
    }
}

LSTATUS ScopedRegValue::SetDword(DWORD value) {
    return SetRaw(REG_DWORD, &value, sizeof(value));
}

LSTATUS ScopedRegValue::SetString(const wchar_t* value) {
    return SetRaw(REG_SZ, value, static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

LSTATUS ScopedRegValue::SetRaw(DWORD type, const void* data, DWORD size) {
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(m_root, m_subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(),
                                     nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return RegSetValueExW(key.Get(), m_name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

LSTATUS ScopedRegValue::Delete() {
    common::UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_WRITE, key.Put());
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return RegDeleteValueW(key.Get(), m_name.c_str());
}

void DeleteKeyIfEmpty(HKEY root, const wchar_t* subKey) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD subKeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subKeys == 0 && values == 0) {
        key.Reset();
        RegDeleteKeyW(root, subKey);
    }
}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring SolvanePath() {
    return ExeFolder() + L"Solvane.exe";
}

std::wstring CommonAppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_APPDATA, FALSE);
    return path;
}

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    m_path = std::wstring(base) + L"solvane_app_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(GetTickCount());
    CreateDirectoryW(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW data;
    common::UniqueFindFile find(FindFirstFileW((m_path + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                std::wstring file = m_path + L"\\" + name;
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(file.c_str());
            }
        } while (FindNextFileW(find.Get(), &data));
    }
    find.Reset();
    RemoveDirectoryW(m_path.c_str());
}

}  // namespace testsupport
