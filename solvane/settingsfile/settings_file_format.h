// Layout of the settings file and the helpers its reader and writer share (inside
// solvane/settingsfile only; other folders include settings_file.h).
//
//   [OS]       Version=<major version of the system>
//   [Solvane]  LedNo1=, LedNo2=, LedNo3=   name of the plan key holding that "LedNo", or empty
//   [EFEnv]    UseDate=, Lv1Time=, Lv2Time=  40-byte records as 80 hex digits
//              SelectMode=<0..7>  Threshold=<80..99>
//   [Morrow]   SelectedCompany=<0..10>
#pragma once

#include <windows.h>

#include <cstddef>

#include "common/guid.h"

namespace settingsfile {

constexpr wchar_t kExtension[] = L".ECOSettings";

constexpr wchar_t kSectionOs[] = L"OS";
constexpr wchar_t kKeyVersion[] = L"Version";
constexpr wchar_t kSectionSolvane[] = L"Solvane";
constexpr wchar_t kLedNoKeyFormat[] = L"%s%d";
constexpr wchar_t kLedNoKeyStem[] = L"LedNo";
constexpr wchar_t kSectionEfEnv[] = L"EFEnv";
constexpr wchar_t kSectionMorrow[] = L"Morrow";
constexpr wchar_t kKeySelectMode[] = L"SelectMode";
constexpr wchar_t kKeyThreshold[] = L"Threshold";
constexpr wchar_t kKeySelectedCompany[] = L"SelectedCompany";

// The EFEnv records, in file order; the key and registry value names are the same.
constexpr int kRecordCount = 3;
constexpr const wchar_t* kRecordNames[kRecordCount] = {L"UseDate", L"Lv1Time", L"Lv2Time"};
constexpr DWORD kRecordBytes = 40;                    // OneData
constexpr size_t kRecordHexChars = kRecordBytes * 2;  // "%02x" per byte

// Registry (HKEY_LOCAL_MACHINE).
constexpr wchar_t kMorrowKey[] = L"Software\\Orvel\\Morrow";
constexpr wchar_t kLedNoValue[] = L"LedNo";

// Mode slots 1..3 and their keys "LedNo1".."LedNo3".
constexpr int kSlotCount = 3;
constexpr size_t kKeyNameChars = 16;
void LedNoKeyName(int slot, wchar_t (&key)[kKeyNameChars]) noexcept;

// Bounds of the values.
constexpr DWORD kSelectModeMax = 7;
constexpr DWORD kThresholdMin = 80;
constexpr DWORD kThresholdMax = 99;
constexpr DWORD kThresholdExportDefault = 85;
constexpr DWORD kSelectedCompanyMax = 10;
// SelectMode bits: plan change on, time windows on, demand link on.
constexpr DWORD kSelectModePlanChange = 0x1;
constexpr DWORD kSelectModeTimePeriod = 0x2;
constexpr DWORD kSelectModeDemandLink = 0x4;

// Longest value text read from a file; longer texts are cut and then fail their checks.
constexpr size_t kValueChars = 256;

// Everything an import writes, read and checked before anything is written.
struct SettingsFileContent {
    wchar_t szLedNo[kSlotCount][common::GUID_STRING_CCH];  // empty: the slot is taken from every plan
    BOOL bHasRecord[kRecordCount];
    BYTE records[kRecordCount][kRecordBytes];
    DWORD dwSelectMode;
    DWORD dwThreshold;
    DWORD dwSelectedCompany;
};

// Reads and checks the whole file (a full path). 0, or SETTINGS_FILE_MISSING / _INVALID /
// _UNREADABLE; *content is complete only on 0.
DWORD ReadSettingsFileContent(const wchar_t* fullPath, SettingsFileContent* content) noexcept;

// SelectMode as an import stores it: the demand link (which needs the user's consent) is never
// switched on, and plan change stays on only together with the time windows.
DWORD ImportedSelectMode(DWORD selectMode) noexcept;
// "Threshold" as the export writes it: the stored value when it is one the import accepts, else 85.
DWORD ExportedThreshold(bool stored, DWORD threshold) noexcept;

// Lower-case hex dump, two digits a byte; false when `out` is too small.
bool FormatHex(const BYTE* data, size_t cb, wchar_t* out, size_t cchOut) noexcept;
// Exactly 2 * cb hex digits (either case) into cb bytes; false (and `out` unchanged) otherwise.
bool ParseHex(const wchar_t* text, BYTE* out, size_t cb) noexcept;
// Decimal digits only (at most `maxDigits`), nothing else; false otherwise.
bool ParseDecimal(const wchar_t* text, size_t maxDigits, DWORD* value) noexcept;
// A bare GUID text of 36 characters (the form of the plan key names), either case.
bool IsPlanKeyName(const wchar_t* text) noexcept;

// A name that reaches a device instead of a file: "\\.\..." or "\\?\..." paths, and the reserved
// names (CON, NUL, COM1, ...) with or without an extension as the last component.
bool IsDeviceName(const wchar_t* path) noexcept;
// The absolute form of `name` (private-profile calls would take a bare name from the Windows
// folder). Fails for device names and for names that do not fit.
bool MakeSettingsFilePath(const wchar_t* name, wchar_t* out, size_t cchOut) noexcept;

// Major version of the running system (GetVersionExW), 0 when unknown.
DWORD CurrentMajorVersion() noexcept;

// Message `id` through the hook or a message box with caption 219.
void ShowSettingsFileMessage(UINT id) noexcept;

}  // namespace settingsfile
