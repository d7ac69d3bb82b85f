#include "solvane_process.h"

#include "test_support.h"

namespace testsupport {

namespace {

constexpr DWORD kPollMs = 50;
constexpr int kClassChars = 64;

struct FindData {
    DWORD pid;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindByClassAndPid(HWND hwnd, LPARAM param) {
    auto* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[kClassChars] = {};
    GetClassNameW(hwnd, name, kClassChars);
    if (pid == data->pid && wcscmp(name, data->className) == 0) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindStaticText(HWND hwnd, LPARAM param) {
    wchar_t name[kClassChars] = {};
    GetClassNameW(hwnd, name, kClassChars);
    if (_wcsicmp(name, L"Static") == 0) {
        std::wstring text = WindowText(hwnd);
        if (!text.empty()) {
            *reinterpret_cast<std::wstring*>(param) = text;
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace

SolvaneProcess::~SolvaneProcess() {
    Kill();
}

bool SolvaneProcess::Start(const std::wstring& arguments, const std::wstring& currentDirectory,
                           const std::wstring& argv0) {
    std::wstring path = SolvanePath();
    std::wstring commandLine = (argv0.empty() ? L"\"" + path + L"\"" : argv0);
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.c_str(), &si, &pi)) {
        return false;
    }
    common::UniqueHandle thread(pi.hThread);
    m_process.Reset(pi.hProcess);
    m_pid = pi.dwProcessId;
    return true;
}

bool SolvaneProcess::Running() const {
    return m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

bool SolvaneProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
    if (!m_process || WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(m_process.Get(), exitCode) != FALSE;
}

HWND SolvaneProcess::StartHere() {
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return Start(L"", folder) ? WaitForMainWindow() : nullptr;
}

HWND SolvaneProcess::WaitForMainWindow(DWORD timeoutMs) const {
    for (DWORD waited = 0; waited < timeoutMs && Running(); waited += kPollMs) {
        if (HWND hwnd = FindProcessWindow(m_pid, L"Solvane")) {
            return hwnd;
        }
        Sleep(kPollMs);
    }
    return FindProcessWindow(m_pid, L"Solvane");
}

HWND SolvaneProcess::WaitForMessageBox(DWORD timeoutMs) const {
    for (DWORD waited = 0; waited < timeoutMs && Running(); waited += kPollMs) {
        // Found only once shown: before that the box is still filling in its texts.
        HWND hwnd = FindProcessWindow(m_pid, L"#32770");
        if (hwnd != nullptr && IsWindowVisible(hwnd)) {
            return hwnd;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

void SolvaneProcess::Kill() {
    if (Running()) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), kProcessTimeoutMs);
    }
    m_process.Reset();
}

HWND FindProcessWindow(DWORD pid, const wchar_t* className) {
    FindData data = {pid, className, nullptr};
    EnumWindows(FindByClassAndPid, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

std::wstring DialogStaticText(HWND dialog) {
    std::wstring text;
    EnumChildWindows(dialog, FindStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[1024] = {};
    int length = GetWindowTextW(hwnd, text, 1024);
    return std::wstring(text, length > 0 ? length : 0);
}

}  // namespace testsupport
