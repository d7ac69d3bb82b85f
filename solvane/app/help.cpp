#include "app/help.h"

#include <htmlhelp.h>
#include <strsafe.h>

#include "battery/auto_change.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "peakcut/peakshift.h"

namespace {

constexpr wchar_t kHtmlHelpServerKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr wchar_t kHtmlHelpFallback[] = L"hhctrl.ocx";
constexpr char kHtmlHelpEntry[] = "HtmlHelpW";
constexpr size_t kPathChars = MAX_PATH;
constexpr wchar_t kLanguageFileExtension[] = L".mui";

wchar_t g_szHelpPath[kPathChars] = L"";
common::UniqueModule g_hHtmlHelp;
HtmlHelpFn g_pfnHtmlHelp = nullptr;
bool g_bHtmlHelpTried = false;
DWORD_PTR g_dwHelpCookie = 0;
// HTML Help is loaded and initialised at the first topic asked for, not at start-up.
bool g_bHelpSession = false;
HtmlHelpFn g_pfnHtmlHelpOverride = nullptr;

// The registered HTML Help server (its path may hold environment variables), else hhctrl.ocx.
HtmlHelpFn LoadHtmlHelp() noexcept {
    if (g_pfnHtmlHelpOverride != nullptr) {
        return g_pfnHtmlHelpOverride;
    }
    if (g_bHtmlHelpTried) {
        return g_pfnHtmlHelp;
    }
    g_bHtmlHelpTried = true;
    common::UniqueRegKey key;
    wchar_t server[kPathChars] = L"";
    if (common::OpenRegKey(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, KEY_QUERY_VALUE, key) == ERROR_SUCCESS) {
        wchar_t raw[kPathChars] = L"";
        DWORD cb = sizeof(raw) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(raw), &cb) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            raw[cb / sizeof(wchar_t)] = L'\0';
            const DWORD length = ExpandEnvironmentStringsW(raw, server, kPathChars);
            if (length == 0 || length > kPathChars) {
                server[0] = L'\0';
            }
        }
    }
    if (server[0] != L'\0') {
        g_hHtmlHelp.Reset(LoadLibraryW(server));
    }
    if (!g_hHtmlHelp) {
        g_hHtmlHelp.Reset(LoadLibraryW(kHtmlHelpFallback));
    }
    if (g_hHtmlHelp) {
        g_pfnHtmlHelp = reinterpret_cast<HtmlHelpFn>(
            reinterpret_cast<void*>(GetProcAddress(g_hHtmlHelp.Get(), kHtmlHelpEntry)));
    }
    return g_pfnHtmlHelp;
}

// The language resource file where the loader keeps it, "<folder>\<locale>\<file>.mui", for a
// system whose GetFileMUIPath does not look there itself.
bool FindLanguageFile(const wchar_t* modulePath, const wchar_t* locale, wchar_t* out, size_t cchOut) noexcept {
    const wchar_t* slash = wcsrchr(modulePath, L'\\');
    if (slash == nullptr) {
        return false;
    }
    const size_t folderChars = static_cast<size_t>(slash - modulePath) + 1;
    if (folderChars >= cchOut || FAILED(StringCchCopyNW(out, cchOut, modulePath, folderChars)) ||
        FAILED(StringCchCatW(out, cchOut, locale)) || FAILED(StringCchCatW(out, cchOut, slash)) ||
        FAILED(StringCchCatW(out, cchOut, kLanguageFileExtension))) {
        out[0] = L'\0';
        return false;
    }
    const DWORD attributes = GetFileAttributesW(out);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        out[0] = L'\0';
        return false;
    }
    return true;
}

}  // namespace

DWORD LocateHelpFile(const wchar_t* modulePath, LANGID uiLanguage, wchar_t* out, size_t cchOut) noexcept {
    if (modulePath == nullptr || out == nullptr || cchOut == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    out[0] = L'\0';
    wchar_t base[kPathChars] = L"";
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = L"";
    wchar_t mui[kPathChars] = L"";
    ULONG cchLocale = LOCALE_NAME_MAX_LENGTH;
    ULONG cchMui = kPathChars;
    ULONGLONG enumerator = 0;
    const bool haveLocale = LCIDToLocaleName(MAKELCID(uiLanguage, SORT_DEFAULT), locale, LOCALE_NAME_MAX_LENGTH, 0) != 0;
    if (haveLocale && ((GetFileMUIPath(0, modulePath, locale, &cchLocale, mui, &cchMui, &enumerator) &&
                        mui[0] != L'\0') ||
                       FindLanguageFile(modulePath, locale, mui, kPathChars))) {
        StringCchCopyW(base, kPathChars, mui);
    } else if (FAILED(StringCchCopyW(base, kPathChars, modulePath))) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    wchar_t* slash = wcsrchr(base, L'\\');
    if (slash != nullptr) {
        slash[1] = L'\0';
    } else if (FAILED(StringCchCatW(base, kPathChars, L"\\"))) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (FAILED(StringCchCopyW(out, cchOut, base)) || FAILED(StringCchCatW(out, cchOut, kHelpFileName))) {
        out[0] = L'\0';
        return ERROR_INSUFFICIENT_BUFFER;
    }
    return ERROR_SUCCESS;
}

DWORD InitHelp(HMODULE module) noexcept {
    wchar_t modulePath[kPathChars] = L"";
    const DWORD length = GetModuleFileNameW(module, modulePath, kPathChars);
    if (length == 0 || length >= kPathChars) {
        const DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        LOG_TRACE(TRACE_LEVEL_VALUES, L"InitHelp", L"GetModuleFileNameW failed: %u", error);
        return error;
    }
    LocateHelpFile(modulePath, GetUserDefaultUILanguage(), g_szHelpPath, kPathChars);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"InitHelp", L"htmlhelp:%s", g_szHelpPath);
    battery::g_AutoChangeHooks.openHelpTopic = OpenHelpTopic;
    peakcut::g_PeakShiftDialogHooks.openHelpTopic = OpenHelpTopic;
    return ERROR_SUCCESS;
}

void UninitHelp() noexcept {
    battery::g_AutoChangeHooks.openHelpTopic = nullptr;
    peakcut::g_PeakShiftDialogHooks.openHelpTopic = nullptr;
    if (HtmlHelpFn htmlHelp = g_pfnHtmlHelpOverride != nullptr ? g_pfnHtmlHelpOverride : g_pfnHtmlHelp;
        htmlHelp != nullptr && g_bHelpSession) {
        htmlHelp(nullptr, nullptr, HH_UNINITIALIZE, g_dwHelpCookie);
    }
    g_bHelpSession = false;
    g_dwHelpCookie = 0;
    g_pfnHtmlHelp = nullptr;
    g_hHtmlHelp.Reset();
    g_bHtmlHelpTried = false;
}

void OpenHelpTopic(DWORD topic) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, L"OpenHelpTopic", L"topic %u", topic);
    if (g_szHelpPath[0] == L'\0') {
        return;
    }
    if (HtmlHelpFn htmlHelp = LoadHtmlHelp(); htmlHelp != nullptr) {
        if (!g_bHelpSession) {
            htmlHelp(nullptr, nullptr, HH_INITIALIZE, reinterpret_cast<DWORD_PTR>(&g_dwHelpCookie));
            g_bHelpSession = true;
        }
        htmlHelp(GetDesktopWindow(), g_szHelpPath, HH_HELP_CONTEXT, topic);
    }
}

bool OpenDialogHelp(UINT message, WPARAM wParam, DWORD topic) noexcept {
    if (message == WM_HELP || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CONTEXTHELP)) {
        OpenHelpTopic(topic);
        return true;
    }
    return false;
}

void SetHtmlHelpFn(HtmlHelpFn fn) noexcept { g_pfnHtmlHelpOverride = fn; }

const wchar_t* HelpFilePath() noexcept { return g_szHelpPath; }
