// Helpers of the display tests: the program's string table, the machine key, the error log and
// the brightness state put back to what a fresh start has.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace displaytest {

// Solvane.exe beside the test, loaded for its resources only.
HINSTANCE ProgramResources();
// Values under HKLM "Software\Orvel\Solvane".
void SetMachineDword(const wchar_t* name, DWORD value);
void SetMachineBinary(const wchar_t* name, const void* data, DWORD size, DWORD type = REG_BINARY);
void SetMachineString(const wchar_t* name, const wchar_t* value);
void DeleteMachineValue(const wchar_t* name);
// The UTF-16 error log of the current folder ("" when there is none) and its removal.
std::wstring ErrorLog();
void ClearErrorLog();
// Brightness globals as at program start.
void ResetBrightnessState();

}  // namespace displaytest
