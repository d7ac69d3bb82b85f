// Runs this test program again, filtered, with the screen at another DPI: the per-user
// "LogPixels" is set for the child's start and put back afterwards. The child is told apart by an
// environment variable it inherits.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace testsupport {

constexpr DWORD kChildNotRun = 0xFFFFFFFF;
constexpr DWORD kChildWaitMs = 100000;

// True in the child started by RunSelfAtDpi with this marker.
inline bool IsDpiChild(const wchar_t* marker) {
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(marker, value, ARRAYSIZE(value)) != 0;
}

// The child's exit code; kChildNotRun when it could not start or did not end in time.
// `markerValue` is what the child finds in `marker` (a file-name suffix, or just "1").
inline DWORD RunSelfAtDpi(DWORD dpi, const std::wstring& filter, const wchar_t* marker,
                          const wchar_t* markerValue = L"1") {
    constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
    DWORD previous = 0;
    DWORD size = sizeof(previous);
    const bool hadValue = RegGetValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                                       &previous, &size) == ERROR_SUCCESS;
    if (RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)) != ERROR_SUCCESS) {
        return kChildNotRun;
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter;
    SetEnvironmentVariableW(marker, markerValue);
    // Wine refuses a start now and then when the new process ends before it finished starting
    // (ERROR_INTERNAL_ERROR) or the machine is short of resources: tried again a few times.
    PROCESS_INFORMATION info = {};
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) {
            Sleep(500);
        }
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        started = CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    }
    SetEnvironmentVariableW(marker, nullptr);
    DWORD exitCode = kChildNotRun;
    if (started) {
        common::UniqueHandle process(info.hProcess);
        common::UniqueHandle thread(info.hThread);
        if (WaitForSingleObject(process.Get(), kChildWaitMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.Get(), &exitCode);
        } else {
            TerminateProcess(process.Get(), kChildNotRun);
        }
    }
    if (hadValue) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &previous, sizeof(previous));
    } else {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
    }
    return exitCode;
}

}  // namespace testsupport
