// The main program as the installer helper sees it: its path, its running instance and the
// per-plan keys it keeps.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vendrel {

constexpr wchar_t kProgramMutexName[] = L"sOLVANEmUTEX";
constexpr wchar_t kProgramWindowClass[] = L"Solvane";
constexpr wchar_t kProgramBaseName[] = L"Solvane";
constexpr wchar_t kPlanSettingsKey[] = L"Software\\Orvel\\Solvane\\PowerSettings";
constexpr wchar_t kLedNoValue[] = L"LedNo";
constexpr DWORD kCloseTimeoutMs = 5000;
constexpr DWORD kStartSettleMs = 5000;
constexpr DWORD kFindWindowPeriodMs = 1000;
constexpr DWORD kFindWindowAttempts = 30;

// True when the file opens for reading.
bool FileExists(const wchar_t* path) noexcept;

// The folder of `modulePath` (up to and including its last "\") followed by "Solvane.exe".
HRESULT FormProgramPath(const wchar_t* modulePath, wchar_t* programPath, size_t cchPath) noexcept;
// The same for the running executable.
HRESULT FormOwnProgramPath(wchar_t* programPath, size_t cchPath) noexcept;
// The program path in double quotation marks, in the ANSI code page, for WinExec.
bool FormStartCommand(const wchar_t* programPath, char* command, size_t cchCommand) noexcept;

// When the main program runs (its mutex exists), asks its window to close.
// Returns true when a window was found and asked.
bool CloseRunningProgram() noexcept;
// Waits for the main program to come up (one look a second, `attempts` times) and closes it.
bool WaitAndCloseProgram(DWORD settleMs, DWORD attempts, DWORD periodMs) noexcept;
// Starts the main program with its quoted path.
bool StartProgram(const char* startCommand) noexcept;

// Removes "LedNo" from every subkey of root\path; each key path is written to standard
// output. Returns the number of keys visited.
int RemoveLedNumbers(HKEY root, const wchar_t* path) noexcept;

}  // namespace vendrel
