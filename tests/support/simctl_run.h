// Runs the simulated PC's simctl.exe from a test: its exit code and what it printed.
// simctl's output goes to a file read afterwards (never a pipe under Wine); the calling thread's
// windows keep answering messages sent to them while it runs (simctl may send to them), and with
// Pump::All its posted messages are dispatched too.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace testsupport {

constexpr DWORD kSimctlNotRun = 0xFFFFFFFF;
constexpr DWORD kSimctlWaitMs = 30000;

struct SimctlRun {
    DWORD exitCode = kSimctlNotRun;
    std::string output;   // stdout and stderr, UTF-8, without carriage returns
};

// SIM_BIN's simctl.exe (the simulated PC's programs); beside this program when SIM_BIN is unset.
inline std::wstring SimctlPath() {
    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"SIM_BIN", folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        return std::wstring(folder) + L"\\simctl.exe";
    }
    n = GetModuleFileNameW(nullptr, folder, MAX_PATH);
    std::wstring self(folder, n < MAX_PATH ? n : 0);
    return self.substr(0, self.find_last_of(L'\\') + 1) + L"simctl.exe";
}

enum class Pump { Sent, All };

// Waits for the process while this thread's windows answer; ends it after the wait.
inline bool WaitPumping(HANDLE process, DWORD timeoutMs, Pump pump) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    const DWORD wake = pump == Pump::All ? QS_ALLINPUT : QS_SENDMESSAGE;
    while (MsgWaitForMultipleObjects(1, &process, FALSE, 100, wake) != WAIT_OBJECT_0) {
        MSG msg;
        if (pump == Pump::All) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        } else {
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        if (GetTickCount64() >= end) {
            TerminateProcess(process, kSimctlNotRun);
            WaitForSingleObject(process, timeoutMs);
            return false;
        }
    }
    return true;
}

inline std::string ReadAndDeleteOutput(const wchar_t* path) {
    std::string output;
    {
        common::UniqueFile in(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        char buffer[4096];
        DWORD read = 0;
        while (in && ReadFile(in.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            for (DWORD i = 0; i < read; ++i) {
                if (buffer[i] != '\r') {   // the console runtime writes CRLF: compare plain lines
                    output += buffer[i];
                }
            }
        }
    }
    DeleteFileW(path);
    return output;
}

// Runs simctl with the arguments. Wine fails CreateProcess with ERROR_INTERNAL_ERROR when the
// new process ended before it finished starting (none of simctl ran): such a start is tried again.
inline SimctlRun RunSimctlCommand(const std::wstring& arguments, Pump pump = Pump::Sent,
                                   DWORD timeoutMs = kSimctlWaitMs) {
    SimctlRun result;
    wchar_t tempDir[MAX_PATH] = {};
    wchar_t outPath[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, tempDir) == 0 || GetTempFileNameW(tempDir, L"sct", 0, outPath) == 0) {
        return result;
    }
    const std::wstring exe = SimctlPath();
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    common::UniqueFile out(CreateFileW(outPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        DeleteFileW(outPath);
        return result;
    }
    constexpr int kStartAttempts = 3;
    PROCESS_INFORMATION pi{};
    BOOL started = FALSE;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out.Get();
        si.hStdError = out.Get();
        started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &si, &pi);
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) {
            break;
        }
    }
    out.Reset();
    if (started) {
        common::UniqueHandle process(pi.hProcess);
        common::UniqueHandle thread(pi.hThread);
        if (WaitPumping(process.Get(), timeoutMs, pump)) {
            GetExitCodeProcess(process.Get(), &result.exitCode);
        }
    }
    result.output = ReadAndDeleteOutput(outPath);
    return result;
}

}  // namespace testsupport
