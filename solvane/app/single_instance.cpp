#include "app/single_instance.h"

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/startup.h"
#include "common/log.h"
#include "settingsfile/settings_file.h"

namespace {

DWORD g_dwInstanceMutexError = ERROR_SUCCESS;

}  // namespace

BOOL CreateInstanceMutex() noexcept {
    g_hInstanceMutex.Reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    DWORD error = GetLastError();
    g_dwInstanceMutexError = g_hInstanceMutex ? ERROR_SUCCESS : error;
    return g_hInstanceMutex && error == ERROR_ALREADY_EXISTS;
}

DWORD InstanceMutexError() noexcept {
    return g_dwInstanceMutexError;
}

void PostSettingsRequest(HWND mainWindow, StartRequest request) noexcept {
    if (mainWindow == nullptr) {
        return;
    }
    if (request == StartRequest::PlanSettings) {
        PostMessageW(mainWindow, WM_APP_PLAN_SETTINGS, 0, 0);
    } else if (request == StartRequest::EcoSettings) {
        PostMessageW(mainWindow, WM_APP_ECO_SETTINGS, 0, 0);
    }
}

void ForwardToRunningInstance(HINSTANCE instance, const CommandLineRequest& request) noexcept {
    HWND running = FindWindowW(kMainWindowClass, nullptr);
    SetForegroundWindow(running);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"WinMain", L"instance already running (window %p)", running);
    if (running != nullptr &&
        (request.request == StartRequest::PlanSettings || request.request == StartRequest::EcoSettings)) {
        PostSettingsRequest(running, request.request);
    } else if (request.request == StartRequest::Import) {
        ShowImportRefusal(instance);
    }
}

DWORD ReadDebugLogFlag() noexcept {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProgramKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), kDebugLogFlagValue, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value)) {
        return 0;
    }
    return value;
}
