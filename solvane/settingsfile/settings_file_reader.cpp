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
constexpr size_t kOsVersionDigits = 5;
constexpr size_t kSelectModeDigits = 1;
constexpr size_t kThresholdDigits = 3;
constexpr size_t kSelectedCompanyDigits = 2;
// Room for the key names of one section; a section with more is no section of a settings file.
constexpr DWORD kKeyListChars = 4096;

// The key names of one section of the file, read once.
class SectionKeys {
public:
    SectionKeys(const CIniCtl& ini, const wchar_t* section) noexcept : m_ini(ini), m_section(section) {
        const DWORD length =
            GetPrivateProfileStringW(section, nullptr, L"", m_names, kKeyListChars, ini.FileName());
        m_complete = length + 2 != kKeyListChars;
    }
    // False when the section has more names than fit (the file is then refused).
    bool Complete() const noexcept { return m_complete; }
    bool Has(const wchar_t* key) const noexcept {
        for (const wchar_t* name = m_names; *name != L'\0'; name += wcslen(name) + 1) {
            if (CompareStringOrdinal(name, -1, key, -1, TRUE) == CSTR_EQUAL) {
                return true;
            }
        }
        return false;
    }
    // Reads a key's text; false when the key is not in the section.
    bool Read(const wchar_t* key, wchar_t (&text)[kValueChars]) const noexcept {
        text[0] = L'\0';
        if (!Has(key)) {
            return false;
        }
        m_ini.ReadString(m_section, key, L"", text, kValueChars);
        return true;
    }

private:
    const CIniCtl& m_ini;
    const wchar_t* m_section;
    wchar_t m_names[kKeyListChars] = {};
    bool m_complete = false;
};

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
bool ReadBoundedInt(const SectionKeys& section, const wchar_t* key, size_t digits, DWORD max, DWORD missingValue,
                    DWORD* value) noexcept {
    wchar_t text[kValueChars] = {};
    if (!section.Read(key, text)) {
        *value = missingValue;
        return true;
    }
    return ParseDecimal(text, digits, value) && *value <= max;
}

DWORD ReadContent(const CIniCtl& ini, SettingsFileContent* content) noexcept {
    const SectionKeys os(ini, kSectionOs);
    const SectionKeys solvane(ini, kSectionSolvane);
    const SectionKeys efEnv(ini, kSectionEfEnv);
    const SectionKeys morrow(ini, kSectionMorrow);
    if (!os.Complete() || !solvane.Complete() || !efEnv.Complete() || !morrow.Complete()) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"a section holds too many keys");
        return SETTINGS_FILE_UNREADABLE;
    }
    wchar_t text[kValueChars] = {};
    DWORD version = 0;
    if (!os.Read(kKeyVersion, text) || !ParseDecimal(text, kOsVersionDigits, &version) ||
        version != CurrentMajorVersion()) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"OS version \"%s\" refused", text);
        return SETTINGS_FILE_INVALID;
    }
    for (int i = 0; i < kRecordCount; ++i) {
        content->bHasRecord[i] = efEnv.Read(kRecordNames[i], text) && text[0] != L'\0';
        if (content->bHasRecord[i] && !ParseHex(text, content->records[i], kRecordBytes)) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kRecordNames[i]);
            return SETTINGS_FILE_INVALID;
        }
    }
    if (!ReadBoundedInt(efEnv, kKeySelectMode, kSelectModeDigits, kSelectModeMax, 0,
                        &content->dwSelectMode)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kKeySelectMode);
        return SETTINGS_FILE_INVALID;
    }
    // Required: a missing threshold reads as 0, below the range.
    if (!ReadBoundedInt(efEnv, kKeyThreshold, kThresholdDigits, kThresholdMax, 0,
                        &content->dwThreshold) ||
        content->dwThreshold < kThresholdMin) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kKeyThreshold);
        return SETTINGS_FILE_INVALID;
    }
    if (!ReadBoundedInt(morrow, kKeySelectedCompany, kSelectedCompanyDigits, kSelectedCompanyMax, 0,
                        &content->dwSelectedCompany)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"ValidateSettingsFile", L"%s refused", kKeySelectedCompany);
        return SETTINGS_FILE_INVALID;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        wchar_t key[kKeyNameChars] = {};
        LedNoKeyName(slot, key);
        if (!solvane.Read(key, text)) {
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
