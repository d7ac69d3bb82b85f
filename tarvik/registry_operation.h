// CRegistryOperation: the peak-shift settings under HKEY_LOCAL_MACHINE. Stateless: every call
// opens the key, reads or writes one value and closes the key again.
#pragma once

#include "tarvik/one_data.h"

namespace tarvik {

// Key paths under HKEY_LOCAL_MACHINE.
extern const wchar_t kMorrowKey[];       // "Software\Orvel\Morrow"
extern const wchar_t kSiteKey[];         // "Software\Orvel\Morrow\site"
extern const wchar_t kTarvikKey[];       // "Software\Orvel\Morrow\Tarvik"
extern const wchar_t kDbgLogKey[];       // "Software\Orvel\Morrow\DbgLog"
extern const wchar_t kEFEnvKey[];        // "Software\Orvel\Solvane\EFEnv"

// "SelectMode" bits.
constexpr DWORD kSelectPlanChange = 0x1;
constexpr DWORD kSelectTimePeriod = 0x2;
constexpr DWORD kSelectTarvik = 0x4;

// Outcome of reading one value.
enum class ReadResult {
    KeyFailed,   // the key could not be opened
    NoValue,     // the key opened; the value is missing, of another type or too large
    Read,        // the value was read
};

class CRegistryOperation {
public:
    // Generic accessors.
    static ReadResult ReadDword(const wchar_t* keyPath, const wchar_t* name, DWORD& value) noexcept;
    static ReadResult ReadRecord(const wchar_t* keyPath, const wchar_t* name, OneData& record) noexcept;
    static bool WriteDword(const wchar_t* keyPath, const wchar_t* name, DWORD value) noexcept;
    static bool WriteRecord(const wchar_t* keyPath, const wchar_t* name, const OneData& record) noexcept;
    // Reads a DWORD, giving `fallback` when the key or the value is missing.
    static DWORD ReadDwordOr(const wchar_t* keyPath, const wchar_t* name, DWORD fallback) noexcept;

    // EFEnv records: TRUE whenever the key opens (the record is then the value or zeros).
    static BOOL GetUsePeriod(OneData* record) noexcept;
    static BOOL SetUsePeriod(const OneData* record) noexcept;
    static BOOL GetLv1Time(OneData* record) noexcept;
    static BOOL SetLv1Time(const OneData* record) noexcept;
    static BOOL GetLv2Time(OneData* record) noexcept;
    static BOOL SetLv2Time(const OneData* record) noexcept;
    // "Threshold": TRUE whenever the key opens; *threshold untouched when the value is missing.
    static BOOL GetThreshold(DWORD* threshold) noexcept;
    // "ThresholdLv3": TRUE only when the value was read.
    static BOOL GetThresholdLv3(DWORD* threshold) noexcept;
    static BOOL SetThreshold(DWORD threshold) noexcept;

    // "SelectMode" bits; *on is cleared first, TRUE whenever the key opens.
    static BOOL GetPlanChangeEnable(BOOL* on) noexcept;
    static BOOL GetTimePeriodEnable(BOOL* on) noexcept;
    static BOOL GetTarvikEnable(BOOL* on) noexcept;
    // Sets or clears one bit (read, modify, write). A missing value is written only to set a bit.
    static BOOL SetSelectModeBit(DWORD bit, BOOL on) noexcept;

    // "SupportDataType" of a region: the site key's value (0 when missing) or the built-in table
    // when the site key cannot be opened.
    static DWORD GetSupportDataType(DWORD region) noexcept;
    // Site key "Enable" = 1.
    static bool IsRegionOffered(DWORD region) noexcept;

private:
    static BOOL GetRecord(const wchar_t* traceName, const wchar_t* name, OneData* record) noexcept;
    static BOOL SetRecord(const wchar_t* traceName, const wchar_t* name, const OneData* record) noexcept;
    static BOOL GetSelectModeBit(const wchar_t* traceName, DWORD bit, BOOL* on) noexcept;
};

// The "SupportDataType" mask the library assumes for a region without a site key.
DWORD BuiltInSupportDataType(DWORD region) noexcept;

// Builds "Software\Orvel\Morrow\site\<region>".
bool BuildSiteKeyPath(DWORD region, wchar_t* path, size_t cchPath) noexcept;

}  // namespace tarvik
