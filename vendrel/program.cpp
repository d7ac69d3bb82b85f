#include "vendrel/program.h"

#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"

namespace vendrel {

namespace {
constexpr size_t kSubkeyNameChars = 260;  // names up to 259 characters
constexpr size_t kOutputLineChars = 1024;

// Sends WM_CLOSE to the main program's window when there is one.
bool AskWindowToClose(HWND window) noexcept {
    DWORD_PTR answer = 0;
    const LRESULT sent = SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, kCloseTimeoutMs,
                                             &answer);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"AskWindowToClose", L"WM_CLOSE sent:%d error:%u",
              static_cast<int>(sent != 0), sent != 0 ? 0 : GetLastError());
    return true;
}

// Creates the program's mutex: true when it existed before, i.e. the program runs.
bool ProgramMutexExists() noexcept {
    common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kProgramMutexName));
    const DWORD error = GetLastError();
    // A mutex that exists but is out of reach (another session's rights) counts as running.
    return error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED);
}

void WriteOutputLine(const wchar_t* text) noexcept {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return;
    }
    char bytes[kOutputLineChars * 3] = {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof(bytes), nullptr,
                                           nullptr);
    if (length <= 1) {
        return;
    }
    DWORD written = 0;
    WriteFile(output, bytes, static_cast<DWORD>(length - 1), &written, nullptr);
}
}  // namespace

bool FileExists(const wchar_t* path) noexcept {
    if (path == nullptr || path[0] == L'\0') {
        return false;
    }
    common::UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid();
}

HRESULT FormProgramPath(const wchar_t* modulePath, wchar_t* programPath, size_t cchPath) noexcept {
    if (modulePath == nullptr || programPath == nullptr || cchPath == 0) {
        return E_INVALIDARG;
    }
    programPath[0] = L'\0';
    wchar_t folder[MAX_PATH] = {};
    HRESULT hr = StringCchCopyW(folder, ARRAYSIZE(folder), modulePath);
    if (FAILED(hr)) {
        return hr;
    }
    wchar_t* lastSlash = wcsrchr(folder, L'\\');
    if (lastSlash == nullptr) {
        folder[0] = L'\0';
    } else {
        lastSlash[1] = L'\0';
    }
    hr = StringCchPrintfW(programPath, cchPath, L"%s%s.exe", folder, kProgramBaseName);
    if (FAILED(hr)) {
        programPath[0] = L'\0';
    }
    return hr;
}

HRESULT FormOwnProgramPath(wchar_t* programPath, size_t cchPath) noexcept {
    wchar_t modulePath[MAX_PATH] = {};
    const DWORD cch = GetModuleFileNameW(nullptr, modulePath, ARRAYSIZE(modulePath));
    if (cch == 0 || cch >= ARRAYSIZE(modulePath)) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return FormProgramPath(modulePath, programPath, cchPath);
}

bool FormStartCommand(const wchar_t* programPath, char* command, size_t cchCommand) noexcept {
    if (programPath == nullptr || command == nullptr || cchCommand == 0) {
        return false;
    }
    command[0] = '\0';
    wchar_t quoted[MAX_PATH + 2] = {};
    if (FAILED(StringCchPrintfW(quoted, ARRAYSIZE(quoted), L"\"%s\"", programPath))) {
        return false;
    }
    BOOL lossy = FALSE;
    const int cchCommandInt = cchCommand > INT_MAX ? INT_MAX : static_cast<int>(cchCommand);
    const int length = WideCharToMultiByte(CP_ACP, 0, quoted, -1, command, cchCommandInt,
                                           nullptr, &lossy);
    if (length == 0 || lossy) {
        command[0] = '\0';  // a path the code page cannot hold would start something else
        return false;
    }
    return true;
}

bool CloseRunningProgram() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"CloseRunningProgram", L"Enter");
    bool asked = false;
    if (ProgramMutexExists()) {
        HWND window = FindWindowW(kProgramWindowClass, nullptr);
        if (window != nullptr) {
            asked = AskWindowToClose(window);
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"CloseRunningProgram", L"Exit retval:%08x", asked ? 1 : 0);
    return asked;
}

bool WaitAndCloseProgram(DWORD settleMs, DWORD attempts, DWORD periodMs) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"WaitAndCloseProgram", L"Enter");
    Sleep(settleMs);
    bool asked = false;
    if (ProgramMutexExists()) {
        for (DWORD attempt = 0; attempt < attempts && !asked; ++attempt) {
            HWND window = FindWindowW(kProgramWindowClass, nullptr);
            if (window != nullptr) {
                asked = AskWindowToClose(window);
            } else {
                Sleep(periodMs);
            }
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"WaitAndCloseProgram", L"Exit retval:%08x", asked ? 1 : 0);
    return asked;
}

bool StartProgram(const char* startCommand) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"StartProgram", L"Enter");
    if (startCommand == nullptr || startCommand[0] == '\0') {
        return false;
    }
    const UINT result = WinExec(startCommand, SW_SHOWNORMAL);
    constexpr UINT kWinExecSucceeded = 31;  // WinExec answers above 31 on success
    LOG_TRACE(TRACE_LEVEL_APP, L"StartProgram", L"Exit retval:%08x", result);
    return result > kWinExecSucceeded;
}

int RemoveLedNumbers(HKEY root, const wchar_t* path) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"RemoveLedNumbers", L"Enter");
    if (path == nullptr) {
        return 0;
    }
    common::UniqueRegKey parent;
    if (RegOpenKeyExW(root, path, 0, KEY_ENUMERATE_SUB_KEYS, parent.Put()) != ERROR_SUCCESS) {
        LOG_TRACE(TRACE_LEVEL_APP, L"RemoveLedNumbers", L"Exit - Error! retval:%08x",
                  ERROR_FILE_NOT_FOUND);
        return 0;
    }
    int visited = 0;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kSubkeyNameChars] = {};
        DWORD cchName = ARRAYSIZE(name);
        const LSTATUS status = RegEnumKeyExW(parent.Get(), index, name, &cchName, nullptr, nullptr,
                                             nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_MORE_DATA) {
            continue;  // a name too long for the buffer: skip that key, keep the rest
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        wchar_t line[kOutputLineChars] = {};
        if (SUCCEEDED(StringCchPrintfW(line, ARRAYSIZE(line), L"%s\\%s\r\n", path, name))) {
            WriteOutputLine(line);
        }
        common::UniqueRegKey plan;
        if (RegOpenKeyExW(parent.Get(), name, 0, KEY_SET_VALUE, plan.Put()) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(plan.Get(), kLedNoValue);
        }
        ++visited;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"RemoveLedNumbers", L"Exit retval:%08x", visited);
    return visited;
}

}  // namespace vendrel
