#include "app/launchers.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"

namespace {

constexpr wchar_t kLaunchMenuNameValue[] = L"LaunchMenuName";
constexpr wchar_t kLaunchPathValue[] = L"LaunchPath";
constexpr wchar_t kPowerOptionsCommand[] = L"rundll32.exe shell32.dll,Control_RunDLL powercfg.cpl";
constexpr size_t kCommandChars = 64;

wchar_t g_szEnergyViewerPath[kEnergyViewerTextChars] = L"";
CreateProcessFn g_pfnCreateProcess = CreateProcessW;

}  // namespace

bool ReadEnergyViewerEntry(wchar_t* menuName, size_t cchMenuName, wchar_t* launchPath, size_t cchPath) noexcept {
    if (menuName == nullptr || cchMenuName == 0 || launchPath == nullptr || cchPath == 0) {
        return false;
    }
    menuName[0] = L'\0';
    launchPath[0] = L'\0';
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, kEnergyViewerKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) {
        return false;
    }
    if (common::ReadRegString(key.Get(), kLaunchPathValue, launchPath, cchPath) != ERROR_SUCCESS ||
        launchPath[0] == L'\0' || !PathFileExistsW(launchPath)) {
        launchPath[0] = L'\0';
        return false;
    }
    if (common::ReadRegString(key.Get(), kLaunchMenuNameValue, menuName, cchMenuName) != ERROR_SUCCESS) {
        menuName[0] = L'\0';
    }
    return true;
}

void RememberEnergyViewerPath(const wchar_t* launchPath) noexcept {
    StringCchCopyW(g_szEnergyViewerPath, kEnergyViewerTextChars, launchPath != nullptr ? launchPath : L"");
}

const wchar_t* EnergyViewerPath() noexcept { return g_szEnergyViewerPath; }

void LaunchEnergyViewer() noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, L"LaunchEnergyViewer", L"launch \"%s\"", g_szEnergyViewerPath);
    if (g_szEnergyViewerPath[0] == L'\0') {
        return;  // the menu never offered the entry
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.lpFile = g_szEnergyViewerPath;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}

DWORD LaunchPowerOptions() noexcept {
    // CreateProcessW may write into the command line: a copy of its own.
    wchar_t commandLine[kCommandChars] = L"";
    StringCchCopyW(commandLine, kCommandChars, kPowerOptionsCommand);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!g_pfnCreateProcess(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        LOG_TRACE(TRACE_LEVEL_VALUES, L"LaunchPowerOptions", L"CreateProcessW failed: %u", error);
        return error;
    }
    common::UniqueHandle processHandle(process.hProcess);
    common::UniqueHandle threadHandle(process.hThread);
    return ERROR_SUCCESS;
}

void SetCreateProcessFn(CreateProcessFn fn) noexcept { g_pfnCreateProcess = fn != nullptr ? fn : CreateProcessW; }
