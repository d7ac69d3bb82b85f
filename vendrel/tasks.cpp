#include "vendrel/tasks.h"

#include <shellapi.h>
#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "vendrel/program.h"

namespace vendrel {

namespace {
constexpr size_t kCommandChars = 8191;  // cmd.exe's longest command line
constexpr size_t kParameterChars = kCommandChars + 8;
constexpr wchar_t kCmdName[] = L"\\cmd.exe";
constexpr wchar_t kDeleteRegFix[] = L"SCHTASKS /Delete /TN SolvaneRegFix /F";
constexpr wchar_t kDeleteRun[] = L"SCHTASKS /Delete /TN SolvaneRun /F";
}  // namespace

DWORD RunHidden(const wchar_t* command, DWORD waitMs, DWORD* exitCode) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"RunHidden", L"Enter");
    if (exitCode != nullptr) {
        *exitCode = static_cast<DWORD>(-1);
    }
    if (command == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"RunHidden", L"%s is NULL.", L"command");
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t systemDir[MAX_PATH] = {};
    const UINT cchDir = GetSystemDirectoryW(systemDir, ARRAYSIZE(systemDir));
    if (cchDir == 0 || cchDir >= ARRAYSIZE(systemDir)) {
        return GetLastError();
    }
    wchar_t file[MAX_PATH + 16] = {};
    wchar_t parameters[kParameterChars] = {};
    if (FAILED(StringCchPrintfW(file, ARRAYSIZE(file), L"\"%s%s\"", systemDir, kCmdName)) ||
        wcslen(command) >= kCommandChars ||
        FAILED(StringCchPrintfW(parameters, ARRAYSIZE(parameters), L"/c \"%s\"", command))) {
        LOG_TRACE(TRACE_LEVEL_APP, L"RunHidden", L"Exit - Error! retval:%08x", ERROR_INVALID_DATA);
        return ERROR_INVALID_DATA;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, L"RunHidden", L"%s %s", file, parameters);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = systemDir;
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        LOG_TRACE(TRACE_LEVEL_APP, L"RunHidden", L"Exit - Error! retval:%08x", error);
        return error;
    }
    common::UniqueHandle process(info.hProcess);
    if (!process) {
        return ERROR_INVALID_HANDLE;
    }
    const DWORD wait = WaitForSingleObject(process.Get(), waitMs);
    if (wait != WAIT_OBJECT_0) {
        const DWORD error = wait == WAIT_TIMEOUT ? static_cast<DWORD>(WAIT_TIMEOUT) : GetLastError();
        LOG_TRACE(TRACE_LEVEL_APP, L"RunHidden", L"Exit - Error! retval:%08x", error);
        return error;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code)) {
        return GetLastError();
    }
    if (exitCode != nullptr) {
        *exitCode = code;
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"RunHidden", L"Exit retval:%08x", code);
    return ERROR_SUCCESS;
}

HRESULT FormatCreateTaskCommand(const wchar_t* xmlPath, const wchar_t* taskName, wchar_t* command,
                                size_t cchCommand) noexcept {
    if (xmlPath == nullptr || taskName == nullptr || command == nullptr) {
        return E_INVALIDARG;
    }
    return StringCchPrintfW(command, cchCommand, L"SCHTASKS /create /xml \"%s\" /tn %s", xmlPath,
                            taskName);
}

HRESULT FormatChangeDelayCommand(const wchar_t* delay, const wchar_t* taskName, wchar_t* command,
                                 size_t cchCommand) noexcept {
    if (delay == nullptr || taskName == nullptr || command == nullptr) {
        return E_INVALIDARG;
    }
    return StringCchPrintfW(command, cchCommand, L"schtasks /Change /Delay %s /tn %s", delay,
                            taskName);
}

DWORD CreateTaskFromXml(const wchar_t* programPath, const wchar_t* xmlSuffix,
                        const wchar_t* taskName, DWORD settleMs, DWORD* exitCode) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"CreateTaskFromXml", L"Enter");
    if (exitCode != nullptr) {
        *exitCode = static_cast<DWORD>(-1);
    }
    if (programPath == nullptr || xmlSuffix == nullptr || taskName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t xmlPath[MAX_PATH] = {};
    if (FAILED(StringCchPrintfW(xmlPath, ARRAYSIZE(xmlPath), L"%s%s", programPath, xmlSuffix))) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (!FileExists(xmlPath)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CreateTaskFromXml", L"Exit - Error! retval:%08x",
                  ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    wchar_t command[kCommandChars] = {};
    if (FAILED(FormatCreateTaskCommand(xmlPath, taskName, command, ARRAYSIZE(command)))) {
        return ERROR_INVALID_DATA;
    }
    const DWORD result = RunHidden(command, INFINITE, exitCode);
    Sleep(settleMs);
    LOG_TRACE(TRACE_LEVEL_APP, L"CreateTaskFromXml", L"Exit retval:%08x", result);
    return result;
}

void DeleteTasks() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"DeleteTasks", L"Enter");
    RunHidden(kDeleteRegFix, INFINITE);
    RunHidden(kDeleteRun, INFINITE);
    LOG_TRACE(TRACE_LEVEL_APP, L"DeleteTasks", L"Exit");
}

void ChangeTaskDelays(const TaskDelays& delays) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ChangeTaskDelays", L"Enter");
    if (!delays.present) {
        return;
    }
    wchar_t command[kCommandChars] = {};
    if (SUCCEEDED(FormatChangeDelayCommand(delays.regFix, kTaskRegFix, command, ARRAYSIZE(command)))) {
        RunHidden(command, kTaskDelayWaitMs);
    }
    if (SUCCEEDED(FormatChangeDelayCommand(delays.run, kTaskRun, command, ARRAYSIZE(command)))) {
        RunHidden(command, kTaskDelayWaitMs);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"ChangeTaskDelays", L"Exit");
}

}  // namespace vendrel
