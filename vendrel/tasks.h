// The scheduled tasks that start the main program and repair the registry, through the
// system's task tool run by cmd.exe without a window.
#pragma once

#include <windows.h>

#include <cstddef>

#include "vendrel/delay.h"

namespace vendrel {

constexpr wchar_t kTaskRegFix[] = L"SolvaneRegFix";
constexpr wchar_t kTaskRun[] = L"SolvaneRun";
constexpr DWORD kTaskDelayWaitMs = 5000;
constexpr DWORD kTaskSettleMs = 3000;  // the scheduler's pause after creating a task

// Runs `cmd.exe /c "command"` from the system folder, hidden, and waits up to waitMs for it.
// Returns the error of starting or waiting; *exitCode (optional) gets the command's exit code.
DWORD RunHidden(const wchar_t* command, DWORD waitMs, DWORD* exitCode = nullptr) noexcept;

// The command that creates task `taskName` from the definition file `xmlPath`.
HRESULT FormatCreateTaskCommand(const wchar_t* xmlPath, const wchar_t* taskName, wchar_t* command,
                                size_t cchCommand) noexcept;
// The command that moves the start delay of task `taskName` (delay as "mmmm:ss").
HRESULT FormatChangeDelayCommand(const wchar_t* delay, const wchar_t* taskName, wchar_t* command,
                                 size_t cchCommand) noexcept;

// Creates task `taskName` from "<programPath><xmlSuffix>" when that file exists, then waits
// settleMs. Returns ERROR_FILE_NOT_FOUND without a definition file, else RunHidden's result
// (the tool's exit code in *exitCode).
DWORD CreateTaskFromXml(const wchar_t* programPath, const wchar_t* xmlSuffix,
                        const wchar_t* taskName, DWORD settleMs, DWORD* exitCode = nullptr) noexcept;
// Deletes both tasks (a missing task is no error of the caller's).
void DeleteTasks() noexcept;
// Moves the delays of both tasks.
void ChangeTaskDelays(const TaskDelays& delays) noexcept;

}  // namespace vendrel
