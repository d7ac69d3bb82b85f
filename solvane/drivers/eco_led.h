// The ECO indicator LED, driven through the embedded controller's filter driver. One worker thread
// owns the device and the named mutex "_mo1_mutex_"; the operations below run on the callers'
// threads under that mutex.
#pragma once

#include <windows.h>

namespace drivers {

constexpr const wchar_t* kDefaultLedDevicePath = L"\\\\.\\VUREZORERIDAD";
constexpr const wchar_t* kLedMutexName = L"_mo1_mutex_";
constexpr DWORD kLedMutexWaitMs = 3000;

constexpr DWORD IOCTL_LED_READ_STATUS = 0x9C40E084;   // in: 4-byte 0, out: 4-byte LED value
constexpr DWORD IOCTL_LED_READ_CURRENT = 0x9C40E088;  // out: 4-byte LED value
constexpr DWORD IOCTL_LED_SET = 0x9C40E08C;           // in: command word, out: 4 bytes
constexpr DWORD IOCTL_LED_NOTIFY = 0x9C40E094;        // out: 4 bytes
constexpr DWORD kLedCommandTag = 0xE7;                // command word = (0xE7 << 16) | command byte

// Desired-state values besides the LED states 0-3.
constexpr DWORD LED_STATE_UNSET = 127;       // nothing set yet (start)
constexpr DWORD LED_STATE_TRANSITION4 = 4;   // stored by the main window around power transitions
constexpr DWORD LED_STATE_TRANSITION5 = 5;   // stored by the main window around session transitions

constexpr UINT_PTR kLedTimerId = 10110;

constexpr UINT kErrCreateEvent = 20;       // "fail : CreateEvent"
constexpr UINT kErrCreateLedThread = 200;  // "fail : CreateThread/vexb"
constexpr UINT kErrLedStatusRead = 293;    // "fail : LED_Status_get_DeviceIoControl"
constexpr UINT kErrLedChange = 294;        // "fail : DoChangeLED_OSPower"
constexpr UINT kErrCheckLed = 295;         // "IDS_ERR_CHECK_LED"

// Encodings.
bool LedCommandByte(DWORD state, BYTE* command) noexcept;   // 0x80, 0x81, 0x84, 0x82
DWORD LedCommandWord(BYTE command) noexcept;
bool LedReadBackValue(DWORD state, DWORD* value) noexcept;  // 0, 0x71, 0x74, 0x72
DWORD DecodeLedValue(DWORD value) noexcept;                 // read-back value -> state
// LED state shown for a plan's "LedNo" in the variant (two modes: 1 shows as 0).
DWORD LedStateForLedNo(DWORD ledNo, bool threeMode) noexcept;

// Desired state (process global).
DWORD GetLedDesiredState() noexcept;
void SetLedDesiredState(DWORD state) noexcept;
bool LedVerificationPending() noexcept;

// Start-up: sets the desired state to 127, creates the stop event, then the thread at
// above-normal priority. Returns ERROR_SUCCESS; when the event cannot be created the error is
// returned (error 20 logged, start-up fails); when the thread cannot be created error 200 is
// logged and ERROR_SUCCESS returned (the program runs without LED).
DWORD StartLedThread() noexcept;
// Shutdown: sets the stop event and waits for the thread (500 ms steps, at most 11).
void StopLedThread() noexcept;
bool LedThreadExists() noexcept;
// True while the thread holds the LED device open.
bool LedDeviceOpen() noexcept;
// Waits up to timeoutMs for the thread to have opened the device (or ended); for callers that
// must not race the thread's first moments.
bool WaitLedReady(DWORD timeoutMs) noexcept;

// Sets LED state 0-3.
BOOL SetLedState(DWORD state) noexcept;
// Marks the shown state for verification by the worker (after resume and session changes).
void MarkLedForVerification() noexcept;
// The check: 0 when the LED thread does not exist, else 1.
int CheckLedState() noexcept;
// Sends the driver notification; the DeviceIoControl result.
BOOL NotifyLedDriver() noexcept;

// Timer 10110: a one-shot check periodMs later (0: not armed).
void ArmLedCheckTimerFor(HWND hwnd, DWORD periodMs) noexcept;
void CALLBACK LedCheckTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

// Forgets the cached "LedCtrlDrv" path so that the next thread start reads it again.
void ForgetLedDevicePath() noexcept;

}  // namespace drivers
