#include "settingsfile/settings_file_format.h"

#include <strsafe.h>

#include <cwchar>

#include "common/log.h"
#include "resources/resource.h"
#include "settingsfile/settings_file.h"

SettingsFileHooks g_SettingsFileHooks;

namespace settingsfile {
namespace {

constexpr int kCaptionChars = 64;
constexpr int kMessageChars = 512;

// Names Windows gives to devices in every folder, with or without an extension.
constexpr const wchar_t* kDeviceNames[] = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",  L"CONIN$", L"CONOUT$", L"CLOCK$", L"COM1", L"COM2",
    L"COM3", L"COM4", L"COM5", L"COM6", L"COM7",   L"COM8",    L"COM9",   L"LPT1", L"LPT2",
    L"LPT3", L"LPT4", L"LPT5", L"LPT6", L"LPT7",   L"LPT8",    L"LPT9"};
constexpr size_t kDeviceNameMaxChars = 8;
constexpr size_t kNameBufferChars = 2 * MAX_PATH;

int HexDigit(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

bool IsPathSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/' || c == L':'; }

}  // namespace

void LedNoKeyName(int slot, wchar_t (&key)[kKeyNameChars]) noexcept {
    StringCchPrintfW(key, kKeyNameChars, kLedNoKeyFormat, kLedNoKeyStem, slot);
}

DWORD ImportedSelectMode(DWORD selectMode) noexcept {
    DWORD value = selectMode;
    if ((value & kSelectModePlanChange) != 0 && (value & kSelectModeTimePeriod) == 0) {
        value &= ~kSelectModePlanChange;
    }
    return value & ~kSelectModeDemandLink;
}

DWORD ExportedThreshold(bool stored, DWORD threshold) noexcept {
    return stored && threshold >= kThresholdMin && threshold <= kThresholdMax ? threshold
                                                                             : kThresholdExportDefault;
}

bool FormatHex(const BYTE* data, size_t cb, wchar_t* out, size_t cchOut) noexcept {
    if (data == nullptr || out == nullptr || cchOut < cb * 2 + 1) {
        return false;
    }
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    for (size_t i = 0; i < cb; ++i) {
        out[i * 2] = kDigits[data[i] >> 4];
        out[i * 2 + 1] = kDigits[data[i] & 0xF];
    }
    out[cb * 2] = L'\0';
    return true;
}

bool ParseHex(const wchar_t* text, BYTE* out, size_t cb) noexcept {
    if (text == nullptr || out == nullptr || wcsnlen(text, cb * 2 + 1) != cb * 2) {
        return false;
    }
    for (size_t i = 0; i < cb * 2; ++i) {
        if (HexDigit(text[i]) < 0) {
            return false;
        }
    }
    for (size_t i = 0; i < cb; ++i) {
        out[i] = static_cast<BYTE>(HexDigit(text[i * 2]) * 16 + HexDigit(text[i * 2 + 1]));
    }
    return true;
}

bool ParseDecimal(const wchar_t* text, size_t maxDigits, DWORD* value) noexcept {
    if (text == nullptr || value == nullptr || text[0] == L'\0' || maxDigits == 0 || maxDigits > 9) {
        return false;
    }
    DWORD result = 0;
    size_t i = 0;
    for (; text[i] != L'\0'; ++i) {
        if (i >= maxDigits || text[i] < L'0' || text[i] > L'9') {
            return false;
        }
        result = result * 10 + static_cast<DWORD>(text[i] - L'0');
    }
    *value = result;
    return true;
}

bool IsPlanKeyName(const wchar_t* text) noexcept {
    GUID guid{};
    return text != nullptr && wcsnlen(text, common::GUID_TEXT_CCH + 1) == common::GUID_TEXT_CCH &&
           common::GuidFromString(text, &guid) == ERROR_SUCCESS;
}

bool IsDeviceName(const wchar_t* path) noexcept {
    if (path == nullptr) {
        return false;
    }
    if (path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'.' || path[2] == L'?') && path[3] == L'\\') {
        return true;
    }
    const wchar_t* last = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (IsPathSeparator(*p)) {
            last = p + 1;
        }
    }
    size_t length = 0;
    while (last[length] != L'\0' && last[length] != L'.') {
        ++length;
    }
    while (length > 0 && last[length - 1] == L' ') {
        --length;
    }
    if (length == 0 || length > kDeviceNameMaxChars) {
        return false;
    }
    wchar_t base[kDeviceNameMaxChars + 1] = {};
    wmemcpy(base, last, length);
    for (const wchar_t* device : kDeviceNames) {
        if (CompareStringOrdinal(base, -1, device, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

bool MakeSettingsFilePath(const wchar_t* name, wchar_t* out, size_t cchOut) noexcept {
    if (name == nullptr || name[0] == L'\0' || out == nullptr || cchOut == 0 || cchOut > MAXDWORD ||
        IsDeviceName(name)) {
        return false;
    }
    out[0] = L'\0';
    // Blanks after the name belong to no file name ("conf.ECOSettings " is conf.ECOSettings).
    wchar_t trimmed[kNameBufferChars] = {};
    if (FAILED(StringCchCopyW(trimmed, ARRAYSIZE(trimmed), name))) {
        return false;
    }
    size_t end = wcslen(trimmed);
    while (end > 0 && (trimmed[end - 1] == L' ' || trimmed[end - 1] == L'\t')) {
        trimmed[--end] = L'\0';
    }
    if (end == 0) {
        return false;
    }
    const DWORD length = GetFullPathNameW(trimmed, static_cast<DWORD>(cchOut), out, nullptr);
    if (length == 0 || length >= cchOut || IsDeviceName(out)) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

void ShowSettingsFileMessage(UINT id) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ShowSettingsFileMessage", L"message %u", id);
    if (g_SettingsFileHooks.showMessage != nullptr) {
        g_SettingsFileHooks.showMessage(id);
        return;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    wchar_t text[kMessageChars] = {};
    wchar_t caption[kCaptionChars] = {};
    LoadStringW(instance, id, text, kMessageChars);
    LoadStringW(instance, IDS_ECO_PROGRAM_TITLE, caption, kCaptionChars);
    MessageBoxW(nullptr, text, caption, MB_OK);
}

}  // namespace settingsfile

BOOL CheckSettingsFileName(BOOL append, const wchar_t* name, wchar_t* out, size_t cchOut) noexcept {
    using settingsfile::kExtension;
    LOG_TRACE(TRACE_LEVEL_APP, L"CheckSettingsFileName", L"Enter");
    const size_t length = name != nullptr ? wcsnlen(name, STRSAFE_MAX_CCH) : 0;
    if (length == 0) {
        settingsfile::ShowSettingsFileMessage(IDS_FILE_NAME_MISSING);
        LOG_TRACE(TRACE_LEVEL_APP, L"CheckSettingsFileName", L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    size_t end = length;
    while (end > 0 && (name[end - 1] == L' ' || name[end - 1] == L'\t')) {
        --end;
    }
    const size_t extensionChars = ARRAYSIZE(kExtension) - 1;
    if (end >= extensionChars &&
        CompareStringOrdinal(name + end - extensionChars, static_cast<int>(extensionChars), kExtension,
                             static_cast<int>(extensionChars), TRUE) == CSTR_EQUAL) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CheckSettingsFileName", L"Exit retval:%08x", TRUE);
        return TRUE;
    }
    if (!append) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CheckSettingsFileName", L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    if (length + extensionChars > kSettingsFileNameMaxChars || out == nullptr ||
        FAILED(StringCchCopyW(out, cchOut, name)) || FAILED(StringCchCatW(out, cchOut, kExtension))) {
        if (out != nullptr && cchOut > 0) {
            out[0] = L'\0';
        }
        settingsfile::ShowSettingsFileMessage(IDS_FILE_NAME_MISSING);
        LOG_TRACE(TRACE_LEVEL_APP, L"CheckSettingsFileName", L"Exit retval:%08x", FALSE);
        return FALSE;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"CheckSettingsFileName", L"Exit retval:%08x", TRUE);
    return TRUE;
}

void ShowImportRefusal(HINSTANCE instance) noexcept {
    (void)instance;  // the strings come from the program's own module
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ShowImportRefusal", L"import refused: an instance is running");
    settingsfile::ShowSettingsFileMessage(IDS_IMPORT_REFUSED_RUNNING);
}
