// What the benchmarks share about the programs they start: the folder they are built into, a
// started program with its window, its orderly end, and its private bytes.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "common/handles.h"

namespace benchprog {

constexpr DWORD kTimeoutMs = 20000;
constexpr DWORD kPollMs = 20;

// The folder of the running benchmark, with its trailing separator.
inline std::wstring Folder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// A top-level window of the process (of the class, when one is given), waited for; null after
// the time-out.
inline HWND WaitWindow(DWORD pid, const wchar_t* className) {
    struct FindData {
        DWORD pid;
        const wchar_t* className;
        HWND found;
    };
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
        FindData data{pid, className, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto* d = reinterpret_cast<FindData*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                wchar_t name[64] = {};
                GetClassNameW(hwnd, name, ARRAYSIZE(name));
                if (owner == d->pid && (d->className == nullptr || lstrcmpW(name, d->className) == 0)) {
                    d->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&data));
        if (data.found != nullptr) {
            return data.found;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

// The commit charge of the process (Wine leaves PrivateUsage at 0; PagefileUsage is the same
// charge there).
inline SIZE_T PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
        return 0;
    }
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

// A program of the benchmark's folder, started and waited for until its window of the class
// exists; ended the orderly way (WM_CLOSE) and terminated only when that fails.
class Program {
public:
    bool Start(const std::wstring& exeName, const wchar_t* className, const std::wstring& arguments = {}) {
        const std::wstring path = Folder() + exeName;
        std::wstring commandLine = L"\"" + path + L"\"";
        if (!arguments.empty()) {
            commandLine += L" " + arguments;
        }
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi)) {
            std::fwprintf(stderr, L"cannot start %ls: %lu\n", path.c_str(), GetLastError());
            return false;
        }
        m_process.Reset(pi.hProcess);
        common::UniqueHandle thread(pi.hThread);
        m_pid = pi.dwProcessId;
        m_window = WaitWindow(m_pid, className);
        if (m_window == nullptr) {
            std::fwprintf(stderr, L"%ls: no window of class %ls\n", path.c_str(), className);
        }
        return m_window != nullptr;
    }
    HANDLE Process() const { return m_process.Get(); }
    DWORD Pid() const { return m_pid; }
    HWND Window() const { return m_window; }
    void Close() {
        if (!m_process) {
            return;
        }
        if (m_window != nullptr) {
            PostMessageW(m_window, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(m_process.Get(), kTimeoutMs) != WAIT_OBJECT_0) {
            std::fwprintf(stderr, L"process %lu did not end on WM_CLOSE; terminated\n", m_pid);
            TerminateProcess(m_process.Get(), 1);
            WaitForSingleObject(m_process.Get(), kTimeoutMs);
        }
        m_process.Reset();
    }
    ~Program() { Close(); }

private:
    common::UniqueHandle m_process;
    DWORD m_pid = 0;
    HWND m_window = nullptr;
};

}  // namespace benchprog
