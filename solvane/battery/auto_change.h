// Automatic plan change on a low battery: the per-user "Auto" record, the event and mutex that
// enable and guard it, the evaluation thread (aucThread) and the settings command of page 505.
#pragma once

#include <windows.h>

#include <cstddef>

namespace battery {

// HKCU "Software\Orvel\Solvane" value "Auto" (REG_BINARY, exactly 48 bytes, little-endian).
struct AutoRecord {
    DWORD bChecked;            // non-zero: the feature is enabled
    DWORD dwReserved;          // kept as read, not interpreted
    ULONGLONG RemaindPercent;  // threshold in percent of full charge
    GUID guidTarget;           // plan to switch to on a low battery
    GUID guidPrevious;         // plan active before the switch; GUID_NULL when none is pending
};
static_assert(sizeof(AutoRecord) == 48, "the stored record is 48 bytes");
static_assert(offsetof(AutoRecord, RemaindPercent) == 8 && offsetof(AutoRecord, guidTarget) == 16 &&
                  offsetof(AutoRecord, guidPrevious) == 32,
              "stored field offsets");

constexpr const wchar_t* kAutoValueName = L"Auto";
constexpr ULONGLONG kDefaultRemaindPercent = 30;
constexpr size_t kMachineAutoChars = 256;       // HKLM "Auto" is at most 512 bytes
constexpr DWORD kAutoThreadParameter = 1000;    // start-up's parameter: 1000 × 20 ms
constexpr DWORD kAutoIntervalUnitMs = 20;

// Error-log records of the automatic change (string-table ids).
constexpr UINT kErrAutoSize = 16;
constexpr UINT kErrAutoRead = 17;
constexpr UINT kErrAutoEvent = 20;
constexpr UINT kErrAutoKeyOpen = 29;
constexpr UINT kErrAutoPlanLock = 48;
constexpr UINT kErrAutoActivate = 63;
constexpr UINT kErrAutoNoPlan = 162;
constexpr DWORD kAutoLockDetailCombo = 9;

// The record as the program holds it (a copy).
AutoRecord GetAutoRecord() noexcept;
void SetAutoRecord(const AutoRecord& record) noexcept;
AutoRecord DefaultAutoRecord() noexcept;

// Reads the record: a per-user value of exactly 48 bytes, else the HKLM target (REG_SZ) with
// the defaults, else the built-in defaults. Errors 16, 17 and 29 as they arise.
void LoadAutoSettings() noexcept;
// Writes the 48 bytes; the registry status (0 on success).
DWORD SaveAutoSettings() noexcept;

// hASMutex (unowned) and hASEvent (manual reset, clear): ERROR_SUCCESS or the creation error.
DWORD CreateAutoChangeMutex() noexcept;
DWORD CreateAutoChangeEvent() noexcept;
void CloseAutoChangeObjects() noexcept;
HANDLE AutoChangeEvent() noexcept;   // hASEvent
HANDLE AutoChangeMutex() noexcept;   // hASMutex
// Sets or resets hASEvent; the last error on failure, 0 on success.
DWORD SetAutoChangeEvent(BOOL enabled) noexcept;

// What one evaluation decides from the battery state, the record and the active plan.
enum class AutoAction { None, SwitchToTarget, SwitchBack };
struct AutoDecision {
    AutoAction action;
    double dCharge;   // percent, not rounded; -1 when the battery state has no maximum
};
AutoDecision DecideAutoChange(const SYSTEM_BATTERY_STATE& state, const AutoRecord& record,
                              const GUID& active) noexcept;

// Work the evaluation hands to other parts of the program; each may be left null.
struct AutoChangeHooks {
    bool (*boostActive)() = nullptr;
    // Ends the boost on `from` and starts it, forced, on `to` (marked as moved by this change).
    void (*moveBoost)(const GUID& from, const GUID& to) = nullptr;
    // Asks the main thread to apply the active plan's brightness (code 1); never called to do
    // the work on the evaluation thread, which has no COM apartment of its own.
    void (*requestBrightness)(int code) = nullptr;
    // Waits while the console is disconnected; false ends the thread (stop set).
    bool (*waitWhilePaused)(HANDLE stop) = nullptr;
    // Page 505: brings the meter panel back when the page closes; opens a help topic.
    void (*restoreMeterPanel)() = nullptr;
    void (*openHelpTopic)(DWORD topic) = nullptr;
};
extern AutoChangeHooks g_AutoChangeHooks;

// One evaluation under hASMutex, on the battery state last refreshed by CheckBattery.
// Returns the action taken (None also when the activation failed: error 63 recorded).
AutoAction RunAutoChangePass() noexcept;

// aucThread: waits on hASEvent, evaluates, sleeps parameter × 20 ms. Ends on its exit
// conditions (objects missing, a failed wait, FlagWord 0x40) or when Join stops it.
DWORD StartAutoChangeThread(DWORD parameter = kAutoThreadParameter) noexcept;
void JoinAutoChangeThread() noexcept;
// The thread handle (aucThread), null while none runs.
HANDLE AutoChangeThread() noexcept;
bool AutoChangeThreadRunning() noexcept;
// Waits up to timeoutMs for the thread to end on its own; true when it has ended.
bool WaitAutoChangeThreadEnd(DWORD timeoutMs) noexcept;
DWORD AutoChangeThreadPasses() noexcept;

// Page 505's command: compares the page's controls with the record and, in apply mode, stores
// them. Returns 1, or the error of the wait on hASMutex; *changed tells whether they differ.
DWORD AutoSettingCommand(HWND page, HWND trackbar, HWND combo, int mode, BOOL* changed) noexcept;

// The settings page (dialog 505) as a modal dialog; 1 for OK, 2 for Cancel.
INT_PTR ShowAutoSettingsDialog(HWND owner) noexcept;
INT_PTR CALLBACK AutoSettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace battery
