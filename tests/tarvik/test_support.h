// Helpers of the link-library tests: the library loaded and bound by name as its callers do,
// registry set-up and clean-up, the simulated data service placed where the library looks.
#pragma once

#include <windows.h>

#include <string>

#include "tarvik/tarvik_api.h"

namespace tarvik_test {

constexpr wchar_t kMorrowKey[] = L"Software\\Orvel\\Morrow";
constexpr wchar_t kTarvikKey[] = L"Software\\Orvel\\Morrow\\Tarvik";
constexpr wchar_t kSiteKey[] = L"Software\\Orvel\\Morrow\\site";
constexpr wchar_t kEFEnvKey[] = L"Software\\Orvel\\Solvane\\EFEnv";
constexpr wchar_t kSimMorrowKey[] = L"Software\\SimulatedPC\\Morrow";
constexpr wchar_t kServiceFolder[] = L"C:\\Program Files\\Morrow";

// The 33 exports, bound by name from a freshly loaded Tarvik.dll.
struct Tarvik {
    HMODULE module = nullptr;
    PFN_TarvikGetTimeExceedThreshold GetTimeExceedThreshold = nullptr;
    PFN_TarvikCompareToThreshold CompareToThreshold = nullptr;
    PFN_TarvikGetRegionList GetRegionList = nullptr;
    PFN_TarvikGetDword GetSelectedRegion = nullptr;
    PFN_TarvikSetDword SetSelectedRegion = nullptr;
    PFN_TarvikGetBool StartEngine = nullptr;
    PFN_TarvikStopEngine StopEngine = nullptr;
    PFN_TarvikGetBool ShowDialog = nullptr;
    PFN_TarvikGetRecord GetUsePeriod = nullptr;
    PFN_TarvikSetRecord SetUsePeriod = nullptr;
    PFN_TarvikGetDword GetPowerCompany = nullptr;
    PFN_TarvikSetDword SetPowerCompany = nullptr;
    PFN_TarvikGetRecord GetLv1Time = nullptr;
    PFN_TarvikSetRecord SetLv1Time = nullptr;
    PFN_TarvikGetRecord GetLv2Time = nullptr;
    PFN_TarvikSetRecord SetLv2Time = nullptr;
    PFN_TarvikGetThreshold GetThreshold = nullptr;
    PFN_TarvikSetDword SetThreshold = nullptr;
    PFN_TarvikGetEnable GetPlanChangeEnable = nullptr;
    PFN_TarvikSetEnable SetPlanChangeEnable = nullptr;
    PFN_TarvikGetEnable GetTimePeriodEnable = nullptr;
    PFN_TarvikSetEnable SetTimePeriodEnable = nullptr;
    PFN_TarvikGetEnable GetTarvikEnable = nullptr;
    PFN_TarvikSetEnable SetTarvikEnable = nullptr;
    PFN_TarvikGetBool GetAgreement = nullptr;
    PFN_TarvikGetBool SetAgreement = nullptr;
    PFN_TarvikSetDword SetEngineEnable = nullptr;
    PFN_TarvikGetSupportType GetSupportType = nullptr;
    PFN_TarvikGetBool GetDebugMode = nullptr;
    PFN_TarvikGetDword GetStartHour = nullptr;
    PFN_TarvikGetDword GetEndHour = nullptr;
    PFN_TarvikGetDword GetUtilization = nullptr;
    PFN_TarvikGetThreshold GetThresholdLv3 = nullptr;

    // Loads the library beside the test program; false when it or an export is missing.
    bool Load();
    void Unload();
};

std::wstring ProgramFolder();
std::wstring LibraryPath();

// Registry helpers (HKEY_LOCAL_MACHINE).
bool SetDword(const wchar_t* keyPath, const wchar_t* name, DWORD value);
bool SetString(const wchar_t* keyPath, const wchar_t* name, const wchar_t* value);
bool SetBinary(const wchar_t* keyPath, const wchar_t* name, const void* data, DWORD size);
bool CreateKey(const wchar_t* keyPath);
bool GetDword(const wchar_t* keyPath, const wchar_t* name, DWORD& value);
bool ValueExists(const wchar_t* keyPath, const wchar_t* name);
bool KeyExists(const wchar_t* keyPath);
void DeleteTree(const wchar_t* keyPath);
void DeleteValue(const wchar_t* keyPath, const wchar_t* name);
bool EnableSite(DWORD region, DWORD supportDataType);
bool SetSiteValue(DWORD region, const wchar_t* name, DWORD value);

// Removes every value and key the tests write: the library's keys, the EFEnv values of the
// peak-shift settings and the simulated data service's configuration.
void CleanRegistry();

// Places MorrowIF.DLL and Morrow.exe (built beside the test program) in C:\Program Files\Morrow;
// RemoveService ends any service still running and takes both files away again.
bool InstallService();
void RemoveService();

// Processes named Morrow.exe that are running now.
int CountServiceProcesses();
void EndServiceProcesses();
bool ProcessRuns(DWORD processId);

// The count in "Tarvik_COUNTER" (-1000 when the block does not exist) and the slot's value.
LONG EngineCount();
ULONGLONG EngineSlot();
bool SetEngineSlot(ULONGLONG value);

SYSTEMTIME Today();
SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0);

}  // namespace tarvik_test
