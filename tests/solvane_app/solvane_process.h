// A Solvane.exe started by a test: ended by the test or, at the latest, by this object.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace testsupport {

constexpr DWORD kProcessTimeoutMs = 20000;

class SolvaneProcess {
public:
    SolvaneProcess() = default;
    ~SolvaneProcess();
    SolvaneProcess(const SolvaneProcess&) = delete;
    SolvaneProcess& operator=(const SolvaneProcess&) = delete;

    // Starts Solvane.exe with "<argv0> <arguments>" as its command line (argv0 defaults to the
    // quoted real path) in the given current directory.
    bool Start(const std::wstring& arguments, const std::wstring& currentDirectory,
               const std::wstring& argv0 = std::wstring());
    // Starts it without arguments in the test's current directory and waits for its main window;
    // nullptr when it did not start or never showed one.
    HWND StartHere();
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process.Get(); }
    bool Running() const;
    // Waits for the end; returns false on time-out. The exit code goes to *exitCode.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode) const;
    // The program's main window (class "Solvane") once it exists; nullptr after the time-out.
    HWND WaitForMainWindow(DWORD timeoutMs = kProcessTimeoutMs) const;
    // A message box of the program, once shown; nullptr after the time-out.
    HWND WaitForMessageBox(DWORD timeoutMs = kProcessTimeoutMs) const;
    // Ends the process if it still runs (the test's own process only).
    void Kill();

private:
    common::UniqueHandle m_process;
    DWORD m_pid = 0;
};

// A top-level window of the given class that belongs to the process, or nullptr.
HWND FindProcessWindow(DWORD pid, const wchar_t* className);
// Text of the first static control with text inside a dialog.
std::wstring DialogStaticText(HWND dialog);
std::wstring WindowText(HWND hwnd);

}  // namespace testsupport
