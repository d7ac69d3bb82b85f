// Settings import and export, started by "/export <file>" and "/import <file>". The file (INI
// text, extension ".ECOSettings") carries the plans bound to the ECO modes and the peak-shift
// settings; see settings_file_format.h for its sections and keys.
#pragma once

#include <windows.h>

#include <cstddef>

// Results of ValidateSettingsFile.
constexpr DWORD SETTINGS_FILE_VALID = 0;
constexpr DWORD SETTINGS_FILE_MISSING = 101;
constexpr DWORD SETTINGS_FILE_INVALID = 102;
constexpr DWORD SETTINGS_FILE_UNREADABLE = 103;

// Longest file name, extension included, that the program accepts.
constexpr size_t kSettingsFileNameMaxChars = 259;

// Work the settings file hands to the rest of the program; each hook may be left null.
struct SettingsFileHooks {
    // Shows message `id` (null: MessageBoxW with the string, caption 219, no owner, MB_OK).
    void (*showMessage)(UINT id) = nullptr;
    // Membership of "Administrators" (null: CWinUser::CheckAdministrator).
    DWORD (*checkAdministrator)(BOOL* isMember) = nullptr;
};
extern SettingsFileHooks g_SettingsFileHooks;

// TRUE when `name` ends with ".ECOSettings" (any case, blanks after it ignored); `out` is then
// not written and the name is used as given. Otherwise, with `append`, out = name +
// ".ECOSettings" (message 3005 and FALSE when that exceeds 259 characters); without `append`
// FALSE and no message. An empty name: message 3005, FALSE.
BOOL CheckSettingsFileName(BOOL append, const wchar_t* name, wchar_t* out, size_t cchOut) noexcept;

// Checks a settings file completely without changing anything: 0 valid, 101 missing, 102 a value
// out of its bounds, 103 unreadable (no regular file, or a required key missing).
DWORD ValidateSettingsFile(const wchar_t* file) noexcept;

// Writes the settings file. Shows its own messages; returns 0 when the file was written.
DWORD ExportSettings(const wchar_t* file) noexcept;

// Applies a settings file: validated completely first, then written; a write that fails puts
// every value written so far back. Shows its own messages; returns 0 when everything was imported.
DWORD ImportSettings(const wchar_t* file) noexcept;

// Message 3007: import refused because the program is running.
void ShowImportRefusal(HINSTANCE instance) noexcept;
