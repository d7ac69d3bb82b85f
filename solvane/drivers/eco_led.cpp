#include "drivers/eco_led.h"

#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "common/threads.h"
#include "common/registry.h"
#include "drivers/device_io.h"

namespace drivers {

namespace {

constexpr DWORD kLedPathMaxBytes = 520;
constexpr DWORD kAfterCommandSleepMs = 100;

struct LedCode {
    DWORD state;
    BYTE command;
    DWORD readBack;
};
constexpr LedCode kLedCodes[] = {
    {0, 0x80, 0x00},
    {1, 0x81, 0x71},
    {2, 0x84, 0x74},
    {3, 0x82, 0x72},
};

volatile LONG g_desiredState = LED_STATE_UNSET;
volatile LONG g_verify = 0;
volatile LONG g_deviceOpen = 0;

common::UniqueHandle g_thread;
common::UniqueHandle g_stopEvent;
common::UniqueHandle g_readyEvent;
common::UniqueHandle g_mutex;
common::UniqueFile g_device;

bool g_pathCached = false;
wchar_t g_path[kLedPathMaxBytes / sizeof(wchar_t) + 1] = {};

constexpr const wchar_t* kSolvaneKey = L"Software\\Orvel\\Solvane";

// "LedCtrlDrv" (REG_SZ); an empty text is a valid answer.
bool ReadLedPathValue(HKEY key, wchar_t* text, size_t cchText) {
    return common::ReadRegString(key, L"LedCtrlDrv", text, cchText, common::RegText::Expandable) == ERROR_SUCCESS;
}

const wchar_t* LedDevicePath() {
    if (!g_pathCached) {
        StringCchCopyW(g_path, ARRAYSIZE(g_path), kDefaultLedDevicePath);
        common::UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSolvaneKey, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS) {
            wchar_t text[ARRAYSIZE(g_path)] = {};
            if (ReadLedPathValue(key.Get(), text, ARRAYSIZE(text))) {
                StringCchCopyW(g_path, ARRAYSIZE(g_path), text);  // an empty text disables the LED
            }
        }
        g_pathCached = true;
    }
    return g_path;
}

DWORD WINAPI LedThreadProc(void*) {
    LOG_TRACE(TRACE_LEVEL_APP, L"LedThreadProc", L"Enter");
    const wchar_t* path = LedDevicePath();
    if (path[0] != L'\0') {
        g_device.Reset(OpenDriverDevice(path, 0));
    }
    if (!g_device) {
        SetEvent(g_readyEvent.Get());
        LOG_TRACE(TRACE_LEVEL_APP, L"LedThreadProc", L"Exit retval:%08x", 0);
        return 0;
    }
    g_mutex.Reset(CreateMutexW(nullptr, FALSE, kLedMutexName));
    if (g_mutex) {
        InterlockedExchange(&g_deviceOpen, 1);
    }
    SetEvent(g_readyEvent.Get());
    WaitForSingleObject(g_stopEvent.Get(), INFINITE);
    {
        common::MutexLock lock(g_mutex.Get(), kLedMutexWaitMs);
        InterlockedExchange(&g_deviceOpen, 0);
        g_device.Reset();
    }
    g_mutex.Reset();
    LOG_TRACE(TRACE_LEVEL_APP, L"LedThreadProc", L"Exit retval:%08x", 0);
    return 0;
}

bool Ioctl(DWORD code, void* in, DWORD cbIn, DWORD* out) {
    DWORD returned = 0;
    *out = 0;
    return DeviceIo().deviceIoControl(g_device.Get(), code, in, cbIn, out, sizeof(DWORD), &returned, nullptr) !=
           FALSE;
}

// Sends the command for a state unless the LED already shows it. Caller holds the mutex.
BOOL SendLedCommand(DWORD state) {
    BYTE command = 0;
    DWORD expected = 0;
    if (!LedCommandByte(state, &command) || !LedReadBackValue(state, &expected)) {
        return FALSE;
    }
    InterlockedExchange(&g_desiredState, static_cast<LONG>(state));
    DWORD current = 0;
    if (Ioctl(IOCTL_LED_READ_CURRENT, nullptr, 0, &current) && current == expected) {
        InterlockedExchange(&g_verify, 0);
        return TRUE;
    }
    InterlockedExchange(&g_verify, 0);
    DWORD word = LedCommandWord(command);
    DWORD result = 0;
    const bool sent = Ioctl(IOCTL_LED_SET, &word, sizeof(word), &result);
    Sleep(kAfterCommandSleepMs);
    return sent ? TRUE : FALSE;
}

bool DeviceReady() { return g_thread && InterlockedCompareExchange(&g_deviceOpen, 0, 0) != 0; }

}  // namespace

bool LedCommandByte(DWORD state, BYTE* command) noexcept {
    for (const LedCode& c : kLedCodes) {
        if (c.state == state) {
            *command = c.command;
            return true;
        }
    }
    return false;
}

DWORD LedCommandWord(BYTE command) noexcept { return (kLedCommandTag << 16) | command; }

bool LedReadBackValue(DWORD state, DWORD* value) noexcept {
    for (const LedCode& c : kLedCodes) {
        if (c.state == state) {
            *value = c.readBack;
            return true;
        }
    }
    return false;
}

DWORD DecodeLedValue(DWORD value) noexcept {
    for (const LedCode& c : kLedCodes) {
        if (c.readBack != 0 && c.readBack == value) {
            return c.state;
        }
    }
    return 0;
}

DWORD LedStateForLedNo(DWORD ledNo, bool threeMode) noexcept {
    if (!threeMode && ledNo == 1) {
        return 0;
    }
    return ledNo;
}

DWORD GetLedDesiredState() noexcept { return static_cast<DWORD>(InterlockedCompareExchange(&g_desiredState, 0, 0)); }

void SetLedDesiredState(DWORD state) noexcept { InterlockedExchange(&g_desiredState, static_cast<LONG>(state)); }

bool LedVerificationPending() noexcept { return InterlockedCompareExchange(&g_verify, 0, 0) != 0; }

DWORD StartLedThread() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"StartLedThread", L"Enter");
    if (g_thread) {
        return ERROR_SUCCESS;
    }
    SetLedDesiredState(LED_STATE_UNSET);
    // The stop event exists before the thread that waits on it.
    g_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_readyEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_stopEvent || !g_readyEvent) {
        const DWORD error = GetLastError();
        WriteErrorLog(kErrCreateEvent, error, ERRLOG_FILE);
        g_stopEvent.Reset();
        g_readyEvent.Reset();
        LOG_TRACE(TRACE_LEVEL_APP, L"StartLedThread", L"Exit - Error! retval:%08x", error);
        return error != ERROR_SUCCESS ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD threadId = 0;
    g_thread.Reset(common::StartWorkerThread(LedThreadProc, nullptr, common::kSmallStackBytes, &threadId));
    if (!g_thread) {
        WriteErrorLog(kErrCreateLedThread, GetLastError(), ERRLOG_FILE);
        g_stopEvent.Reset();
        g_readyEvent.Reset();
        LOG_TRACE(TRACE_LEVEL_APP, L"StartLedThread", L"Exit retval:%08x", 0);
        return ERROR_SUCCESS;
    }
    SetThreadPriority(g_thread.Get(), THREAD_PRIORITY_ABOVE_NORMAL);
    LOG_TRACE(TRACE_LEVEL_APP, L"StartLedThread", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

void StopLedThread() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"StopLedThread", L"Enter");
    if (g_thread) {
        SetEvent(g_stopEvent.Get());
    }
    common::JoinThread(g_thread);
    g_stopEvent.Reset();
    g_readyEvent.Reset();
    LOG_TRACE(TRACE_LEVEL_APP, L"StopLedThread", L"Exit");
}

bool LedThreadExists() noexcept { return static_cast<bool>(g_thread); }

bool LedDeviceOpen() noexcept { return DeviceReady(); }

bool WaitLedReady(DWORD timeoutMs) noexcept {
    return g_readyEvent && WaitForSingleObject(g_readyEvent.Get(), timeoutMs) == WAIT_OBJECT_0;
}

BOOL SetLedState(DWORD state) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SetLedState", L"Enter");
    if (!DeviceReady()) {
        return FALSE;
    }
    common::MutexLock lock(g_mutex.Get(), kLedMutexWaitMs);
    if (!lock.Owned() || InterlockedCompareExchange(&g_deviceOpen, 0, 0) == 0) {
        return FALSE;
    }
    const BOOL result = SendLedCommand(state);
    LOG_TRACE(TRACE_LEVEL_APP, L"SetLedState", L"Exit retval:%08x", result);
    return result;
}

void MarkLedForVerification() noexcept { InterlockedExchange(&g_verify, 1); }

int CheckLedState() noexcept {
    if (!g_thread) {
        return 0;
    }
    common::MutexLock lock(g_mutex.Get(), kLedMutexWaitMs);
    if (!lock.Owned() || InterlockedCompareExchange(&g_deviceOpen, 0, 0) == 0) {
        return 1;
    }
    DWORD input = 0;
    DWORD value = 0;
    if (!Ioctl(IOCTL_LED_READ_STATUS, &input, sizeof(input), &value)) {
        WriteErrorLog(kErrLedStatusRead, GetLastError(), ERRLOG_FILE);
        return 1;
    }
    const DWORD shown = DecodeLedValue(value);
    const DWORD desired = GetLedDesiredState();
    // 127, 4 and 5 have no command: the send refuses them before any I/O and the check logs that.
    if (shown != desired && !SendLedCommand(desired)) {
        WriteErrorLog(kErrLedChange, desired, ERRLOG_FILE);
    }
    return 1;
}

BOOL NotifyLedDriver() noexcept {
    if (!DeviceReady()) {
        return FALSE;
    }
    common::MutexLock lock(g_mutex.Get(), kLedMutexWaitMs);
    if (!lock.Owned() || InterlockedCompareExchange(&g_deviceOpen, 0, 0) == 0) {
        return FALSE;
    }
    DWORD output = 0;
    return Ioctl(IOCTL_LED_NOTIFY, nullptr, 0, &output) ? TRUE : FALSE;
}

void ArmLedCheckTimerFor(HWND hwnd, DWORD periodMs) noexcept {
    if (hwnd == nullptr || periodMs == 0) {
        return;
    }
    SetTimer(hwnd, kLedTimerId, periodMs, LedCheckTimerProc);
}

void CALLBACK LedCheckTimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    if (CheckLedState() == 0) {
        WriteErrorLog(kErrCheckLed, 0, ERRLOG_FILE);
    }
}

void ForgetLedDevicePath() noexcept { g_pathCached = false; }

}  // namespace drivers
