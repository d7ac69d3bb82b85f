#include "test_registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "common/log.h"

namespace testreg {

namespace {

LSTATUS SetRaw(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD type, const void* data,
               DWORD size) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status;
}

size_t g_errorLogMark = 0;

std::wstring ReadErrorLog() {
    std::ifstream in("error.log", std::ios::binary);
    if (!in) {
        return std::wstring();
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    return text;
}

// ".\error.log" is written by the code under test; the program leaves none behind.
class ErrorLogCleanup : public testing::Environment {
public:
    void SetUp() override { m_existed = GetFileAttributesW(L"error.log") != INVALID_FILE_ATTRIBUTES; }
    void TearDown() override {
        if (!m_existed) {
            SetFileAttributesW(L"error.log", FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(L"error.log");
        }
    }

private:
    bool m_existed = false;
};

testing::Environment* const g_errorLogCleanup = testing::AddGlobalTestEnvironment(new ErrorLogCleanup);

}  // namespace

void ClearSolvaneKeys() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegDeleteTreeW(root, kKey);
        RegDeleteKeyW(root, L"Software\\Orvel\\Solvane");
        RegDeleteKeyW(root, L"Software\\Orvel");  // only when nothing else lives there
    }
}

LSTATUS SetDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD value) {
    return SetRaw(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

LSTATUS SetString(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    return SetRaw(root, subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

LSTATUS SetMultiString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                       const std::vector<std::wstring>& strings) {
    std::wstring block;
    for (const std::wstring& s : strings) {
        block += s;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return SetRaw(root, subkey, name, REG_MULTI_SZ, block.data(), static_cast<DWORD>(block.size() * 2));
}

LSTATUS SetBinary(HKEY root, const std::wstring& subkey, const wchar_t* name, const void* data, DWORD size) {
    return SetRaw(root, subkey, name, REG_BINARY, data, size);
}

bool GetDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD* value) {
    DWORD cb = sizeof(DWORD);
    DWORD type = 0;
    return RegGetValueW(root, subkey.c_str(), name, RRF_RT_ANY, &type, value, &cb) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool GetString(HKEY root, const std::wstring& subkey, const wchar_t* name, std::wstring* value) {
    wchar_t buffer[1024] = {};
    DWORD cb = sizeof(buffer) - 2;
    if (RegGetValueW(root, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &cb) != ERROR_SUCCESS) {
        return false;
    }
    *value = buffer;
    return true;
}

std::vector<BYTE> GetBinary(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD* type) {
    std::vector<BYTE> data(4096);
    DWORD cb = static_cast<DWORD>(data.size());
    DWORD t = 0;
    if (RegGetValueW(root, subkey.c_str(), name, RRF_RT_ANY, &t, data.data(), &cb) != ERROR_SUCCESS) {
        return {};
    }
    if (type != nullptr) {
        *type = t;
    }
    data.resize(cb);
    return data;
}

bool KeyExists(HKEY root, const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::wstring& subkey, const wchar_t* name) {
    return RegGetValueW(root, subkey.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LSTATUS CreateKey(HKEY root, const std::wstring& subkey) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    return status;
}

std::wstring GuidText(const GUID& g, bool braces) {
    wchar_t text[64];
    swprintf(text, 64, braces ? L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"
                              : L"%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
             static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
             g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::wstring PlanKey(const GUID& plan) {
    return std::wstring(kKey) + L"\\PowerSettings\\" + GuidText(plan, false);
}

namespace {
// The error log writes a record at most once a minute; each mark starts a new minute so that a
// record an earlier test wrote counts again.
ULONGLONG g_clockOffsetMs = 0;
ULONGLONG WINAPI MarkedClock() { return GetTickCount64() + g_clockOffsetMs; }
}  // namespace

void MarkErrorLog() {
    g_clockOffsetMs += 2 * kErrorLogRepeatMs;
    SetErrorLogClock(MarkedClock);
    g_errorLogMark = ReadErrorLog().size();
}

std::vector<std::wstring> NewErrorLogLines() {
    const std::wstring text = ReadErrorLog();
    std::vector<std::wstring> lines;
    // A log that is shorter than at the mark was rotated since: all of it is new.
    std::wstring rest = text.size() < g_errorLogMark ? text : text.substr(g_errorLogMark);
    if (rest.empty()) {
        return lines;
    }
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = rest.find(L"\r\n", pos);
        if (end == std::wstring::npos) {
            end = rest.size();
        }
        lines.push_back(rest.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

}  // namespace testreg
