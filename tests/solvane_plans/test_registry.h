// Registry set-up and inspection for the plan tests; every test removes what it created.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testreg {

constexpr const wchar_t* kKey = L"Software\\Orvel\\Solvane";

// Removes "Software\Orvel\Solvane" (and "Software\Orvel" when it is left empty) under HKCU and HKLM.
void ClearSolvaneKeys();

LSTATUS SetDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD value);
LSTATUS SetString(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value);
LSTATUS SetMultiString(HKEY root, const std::wstring& subkey, const wchar_t* name,
                       const std::vector<std::wstring>& strings);
LSTATUS SetBinary(HKEY root, const std::wstring& subkey, const wchar_t* name, const void* data, DWORD size);
bool GetDword(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD* value);
bool GetString(HKEY root, const std::wstring& subkey, const wchar_t* name, std::wstring* value);
std::vector<BYTE> GetBinary(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD* type = nullptr);
bool KeyExists(HKEY root, const std::wstring& subkey);
bool ValueExists(HKEY root, const std::wstring& subkey, const wchar_t* name);
LSTATUS CreateKey(HKEY root, const std::wstring& subkey);

// "Software\Orvel\Solvane\PowerSettings\<lower-case guid>"
std::wstring PlanKey(const GUID& plan);
std::wstring GuidText(const GUID& guid, bool braces);

// Lines of ".\error.log" appended since the last call to MarkErrorLog() (empty when the trace-log
// module keeps no error log).
void MarkErrorLog();
// Removes ".\error.log" at the end of the test program when the program created it.
std::vector<std::wstring> NewErrorLogLines();

}  // namespace testreg
