// Reading and checking a settings file. Nothing here writes to the registry or the file.
#include <strsafe.h>

#include "common/handles.h"
#include "common/ini.h"
#include "common/log.h"
#include "common/registry.h"
#include "plans/reg_values.h"
#include "settingsfile/settings_file.h"
#include "settingsfile/settings_file_format.h"

namespace settingsfile {
namespace {

// A settings file is a few hundred bytes; anything far larger is no settings file.
constexpr LONGLONG kMaxFileBytes = 1024 * 1024;
// Two defaults no file line can hold both of: a key is missing when they come back unchanged.
constexpr wchar_t kMissingA[] = L"\x1\x2";
constexpr wchar_t kMissingB[] = L"\x1\x3";
constexpr size_t kOsVersionDigits = 5;
constexpr size_t kSelectModeDigits = 1;
constexpr size_t kThresholdDigits = 3;
constexpr size_t kSelectedCompanyDigits = 2;

// Reads a key's text; false when the key is not in the file.
bool ReadKey(const CIniCtl& ini, const wchar_t* section, const wchar_t* key, wchar_t (&text)[kValueChars]) noexcept {
    wchar_t probe[kValueChars] = {};
    ini.ReadString(section, key, kMissingA, text, kValueChars);
    ini.ReadString(section, key, kMissingB, probe, kValueChars);
    if (wcscmp(text, kMissingA) == 0 && wcscmp(probe, kMissingB) == 0) {
        text[0] = L'\0';
        return false;
    }
    return true;
}

// 0 when the file exists as a plain file on a disk, 101 when it does not exist, 103 otherwise.
DWORD CheckRegularFile(const wchar_t* path) noexcept {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SETTINGS_FILE_MISSING
                                                                              : SETTINGS_FILE_UNREADABLE;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return SETTINGS_FILE_UNREADABLE;
    }
    common::UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return SETTINGS_FILE_UNREADABLE;
    }
    LARGE_INTEGER size{};
    if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.Get(), &size) ||
        size.QuadPart > kMaxFileBytes) {
        return SETTINGS_FILE_UNREADABLE;
    }
    return SETTINGS_FILE_VALID;
}

}  // namespace

DWORD CurrentMajorVersion() noexcept {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) {
        return 0;
    }
    return info.dwMajorVersion;
}

namespace {

bool PlanKeyExists(const wchar_t* name) noexcept {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(StringCchPrintfW(path, ARRAYSIZE(path), L"%s\\%s", plans::kPowerSettingsKey, name))) {
        return false;
    }
    common::UniqueRegKey key;
    return common::OpenRegKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE, key) == ERROR_SUCCESS;
}

// An optional integer: missing gives `missingValue`, else decimal text of at most `digits`
// digits not above `max`.
bool ReadBoundedInt(const CIniCtl& ini, const wchar_t* section, const wchar_t* key, size_t digits, DWORD max,
                    DWORD missingValue, DWORD* value) noexcept {
    wchar_t text[kValueChars] = {};
    if (!ReadKey(ini, section, key, text)) {
        *value = missingValue;
        return true;
    }
    return ParseDecimal(text, digits, value) && *value <= max;
}

DWORD ReadContent(const CIniCtl& ini, SettingsFileContent* content) noexcept {
    wchar_t text[kValueChars] = {};
    DWORD version = 0;
    if (!ReadKey(ini, kSectionOs, kKeyVersion, text) || !ParseDecimal(text, kOsVersionDigits, &version) ||
        version != CurrentMajorVersion()) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"OS version \"%s\" refused", text);
        return SETTINGS_FILE_INVALID;
    }
    for (int i = 0; i < kRecordCount; ++i) {
        content->bHasRecord[i] = ReadKey(ini, kSectionEfEnv, kRecordNames[i], text) && text[0] != L'\0';
        if (content->bHasRecord[i] && !ParseHex(text, content->records[i], kRecordBytes)) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kRecordNames[i]);
            return SETTINGS_FILE_INVALID;
        }
    }
    if (!ReadBoundedInt(ini, kSectionEfEnv, kKeySelectMode, kSelectModeDigits, kSelectModeMax, 0,
                        &content->dwSelectMode)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kKeySelectMode);
        return SETTINGS_FILE_INVALID;
    }
    // Required: a missing threshold reads as 0, below the range.
    if (!ReadBoundedInt(ini, kSectionEfEnv, kKeyThreshold, kThresholdDigits, kThresholdMax, 0,
                        &content->dwThreshold) ||
        content->dwThreshold < kThresholdMin) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kKeyThreshold);
        return SETTINGS_FILE_INVALID;
    }
    if (!ReadBoundedInt(ini, kSectionMorrow, kKeySelectedCompany, kSelectedCompanyDigits, kSelectedCompanyMax, 0,
                        &content->dwSelectedCompany)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kKeySelectedCompany);
        return SETTINGS_FILE_INVALID;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        wchar_t key[kKeyNameChars] = {};
        LedNoKeyName(slot, key);
        if (!ReadKey(ini, kSectionSolvane, key, text)) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s missing", key);
            return SETTINGS_FILE_UNREADABLE;
        }
        if (text[0] != L'\0' && (!IsPlanKeyName(text) || !PlanKeyExists(text))) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s names no plan", key);
            return SETTINGS_FILE_INVALID;
        }
        StringCchCopyW(content->szLedNo[slot - 1], ARRAYSIZE(content->szLedNo[slot - 1]), text);
    }
    return SETTINGS_FILE_VALID;
}

}  // namespace

DWORD ReadSettingsFileContent(const wchar_t* fullPath, SettingsFileContent* content) noexcept {
    if (fullPath == nullptr || content == nullptr) {
        return SETTINGS_FILE_UNREADABLE;
    }
    *content = SettingsFileContent{};
    DWORD result = CheckRegularFile(fullPath);
    if (result != SETTINGS_FILE_VALID) {
        return result;
    }
    CIniCtl ini;
    if (ini.Initialize(fullPath) != ERROR_SUCCESS) {
        return SETTINGS_FILE_UNREADABLE;
    }
    result = ReadContent(ini, content);
    ini.Finalize();
    if (result != SETTINGS_FILE_VALID) {
        *content = SettingsFileContent{};
    }
    return result;
}

}  // namespace settingsfile

DWORD ValidateSettingsFile(const wchar_t* file) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ValidateSettingsFile", L"Enter");
    wchar_t path[MAX_PATH] = {};
    settingsfile::SettingsFileContent content{};
    DWORD result = SETTINGS_FILE_UNREADABLE;
    if (settingsfile::MakeSettingsFilePath(file, path, ARRAYSIZE(path))) {
        result = settingsfile::ReadSettingsFileContent(path, &content);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"ValidateSettingsFile", L"Exit retval:%08x", result);
    return result;
}
