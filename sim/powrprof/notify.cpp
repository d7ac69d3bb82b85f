// Delivery of active-plan changes. Every process that has the stand-in loaded runs one watcher
// thread on the active-plan value; when another process (or this one) activates a plan, the
// watcher sends WM_POWERBROADCAST / PBT_POWERSETTINGCHANGE with GUID_ACTIVE_POWERSCHEME and the
// new plan to this process's top-level windows, the way Windows notifies its windows.
#include <windows.h>

#include <vector>

#include "sim/powrprof/exports_common.h"
#include "sim/powrprof/power_guids.h"
#include "sim/powrprof/store.h"
#include "sim/powrprof/store_layout.h"

namespace simpower {
namespace {

constexpr DWORD RECHECK_MS = 5000;       // a safety net besides the change notification
constexpr DWORD REOPEN_DELAY_MS = 500;   // while the simulated-PC key is missing
constexpr UINT SEND_TIMEOUT_MS = 5000;
constexpr SIZE_T WATCHER_STACK_BYTES = 64 * 1024;  // waits and sends messages only
#ifndef PBT_POWERSETTINGCHANGE
constexpr WPARAM PBT_POWERSETTINGCHANGE = 0x8013;
#endif

INIT_ONCE g_startOnce = INIT_ONCE_STATIC_INIT;
DWORD g_lastSerial = 0;

// POWERBROADCAST_SETTING with the 16-byte plan GUID as its data.
struct ActiveSchemeSetting {
    GUID PowerSetting;
    DWORD DataLength;
    GUID Data;
};
static_assert(sizeof(ActiveSchemeSetting) == sizeof(GUID) + sizeof(DWORD) + sizeof(GUID));

BOOL CALLBACK CollectOwnWindow(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId()) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

void Broadcast(const GUID& plan) {
    std::vector<HWND> windows;
    EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows) {
        // One block per window: a receiver that times out may still read it later, so such a
        // block is never freed.
        auto* setting = static_cast<ActiveSchemeSetting*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ActiveSchemeSetting)));
        if (setting == nullptr) return;
        setting->PowerSetting = GUID_ACTIVE_SCHEME_CHANGE;
        setting->DataLength = sizeof(GUID);
        setting->Data = plan;
        DWORD_PTR result = 0;
        SetLastError(ERROR_SUCCESS);
        LRESULT sent = SendMessageTimeoutW(hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                                           reinterpret_cast<LPARAM>(setting), SMTO_NORMAL, SEND_TIMEOUT_MS, &result);
        if (sent != 0 || GetLastError() != ERROR_TIMEOUT) HeapFree(GetProcessHeap(), 0, setting);
    }
}

bool ReadSerial(HKEY power, DWORD& serial) {
    return ReadDwordValue(power, VALUE_ACTIVE_SERIAL, serial) == ERROR_SUCCESS;
}

void CheckForChange() {
    UniqueRegKey power;
    DWORD serial = 0;
    if (OpenPowerKey(KEY_READ, power) != ERROR_SUCCESS || !ReadSerial(power.Get(), serial)) return;
    if (serial == g_lastSerial) return;
    g_lastSerial = serial;
    GUID plan{};
    if (ReadActiveScheme(plan) == ERROR_SUCCESS) Broadcast(plan);
}

// Watches the whole simulated-PC tree rather than the Power key alone, so that a Power key that
// is deleted and built again is followed at once.
DWORD WINAPI WatchActiveScheme(LPVOID) {
    common::UniqueHandle changed(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!changed) return GetLastError();
    for (;;) {
        UniqueRegKey machine;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SIMULATED_PC_KEY, 0, KEY_NOTIFY, machine.Put()) != ERROR_SUCCESS) {
            Sleep(REOPEN_DELAY_MS);
            continue;
        }
        // Armed before the check, so no change between the two is lost.
        LONG armed = RegNotifyChangeKeyValue(machine.Get(), TRUE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME,
                                             changed.Get(), TRUE);
        CheckForChange();
        WaitForSingleObject(changed.Get(), armed == ERROR_SUCCESS ? RECHECK_MS : REOPEN_DELAY_MS);
    }
}

BOOL CALLBACK StartOnce(PINIT_ONCE, PVOID, PVOID*) {
    // The thread runs until the process ends; the module stays loaded for it.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&StartOnce), &self);
    UniqueRegKey power;
    if (OpenPowerKey(KEY_READ, power) == ERROR_SUCCESS) ReadSerial(power.Get(), g_lastSerial);
    common::UniqueHandle thread(CreateThread(nullptr, WATCHER_STACK_BYTES, WatchActiveScheme, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    return TRUE;
}

}  // namespace

void StartActiveSchemeWatcher() { InitOnceExecuteOnce(&g_startOnce, StartOnce, nullptr, nullptr); }

}  // namespace simpower
