// The peak-cut client: a worker thread that evaluates once a pass which peak-cut level applies
// (time windows of the year and the day, regional demand through the link library Tarvik.dll),
// and the main window's side that records the level, saves and restores the plan that was
// active before, and switches to the level's plan.
#pragma once

#include <windows.h>

#include <atomic>

#include "tarvik/tarvik_api.h"

namespace peakcut {

// Thread message to the poll thread: the main window exists.
constexpr UINT WM_PEAKCUT_MAIN_READY = 0x542;
constexpr DWORD kPassMs = 60000;
constexpr DWORD kDefaultLevel3Percent = 95;
constexpr DWORD kReasonNone = 0;
constexpr DWORD kReasonTimeWindow = 1;
constexpr DWORD kReasonDemand = 2;
constexpr DWORD kReasonUserChanged = 3;
constexpr const wchar_t* kLevelPersistentValue = L"LevelPersistent";

// The library's exports the client binds, in this order; each may be null.
struct PeakCutClient {
    DWORD engineStarted = 0;
    DWORD level = 0;
    DWORD reason = 0;
    DWORD levelLatch = 0;  // level 3 already reported in the current exceed episode
    HMODULE module = nullptr;
    PFN_TarvikGetBool startEngine = nullptr;
    PFN_TarvikStopEngine stopEngine = nullptr;
    PFN_TarvikGetEnable getPlanChangeEnable = nullptr;
    PFN_TarvikGetRecord getUsePeriod = nullptr;
    PFN_TarvikGetEnable getTimePeriodEnable = nullptr;
    PFN_TarvikGetRecord getLv2Time = nullptr;
    PFN_TarvikGetRecord getLv1Time = nullptr;
    PFN_TarvikGetEnable getTarvikEnable = nullptr;
    PFN_TarvikGetThreshold getThreshold = nullptr;
    PFN_TarvikCompareToThreshold compareToThreshold = nullptr;
    PFN_TarvikGetThreshold getThresholdLv3 = nullptr;
};

// What one evaluation needs besides the library.
struct EvalContext {
    SYSTEMTIME now{};           // local time
    bool desktop = false;       // the chassis is a desktop kind
    bool userChangedToday = false;  // "UserChangeFlag" names today's date
};

// "<Program Files>\Solvane\Tarvik.dll"; false (path empty) when the folder is unknown.
bool LibraryPath(wchar_t* path, size_t cchPath) noexcept;
// Looks up the eleven exports of a loaded library (module may be null: all stay null).
void BindClient(HMODULE module, PeakCutClient* client) noexcept;
// Window test: the getter's record holds now (start <= now <= end); false when the getter is
// missing or fails. A daily window whose end lies before its start runs over midnight.
bool InWindow(PFN_TarvikGetRecord getter, const SYSTEMTIME& now, bool daily) noexcept;
// One evaluation: returns the level and sets client.level and client.reason.
DWORD EvaluatePeakCut(PeakCutClient& client, const EvalContext& context) noexcept;
// Stops the engine when this client started it.
void StopClientEngine(PeakCutClient& client) noexcept;

// The chassis is one of the desktop kinds (3, 4, 6, 7, 13, 15); read once per process.
bool IsDesktopChassis() noexcept;
bool IsDesktopChassisType(DWORD chassisType) noexcept;
// First chassis type reported by WMI (Win32_SystemEnclosure.ChassisTypes), 0 when none.
DWORD QueryChassisType() noexcept;

// Registry values under HKEY_LOCAL_MACHINE "Software\Orvel\Solvane\EFEnv".
LSTATUS ReadOrigin(GUID* plan) noexcept;
LSTATUS WriteOrigin(const GUID& plan) noexcept;
LSTATUS ReadUserChangeDay(SYSTEMTIME* day) noexcept;
LSTATUS ClearUserChangeFlag() noexcept;
LSTATUS WriteLevelPersistent(DWORD level) noexcept;
LSTATUS ReadLevelPersistent(DWORD* level) noexcept;
bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) noexcept;
bool UserChangedOn(const SYSTEMTIME& today) noexcept;

// What the main window's side uses from the system; a null entry uses the real call.
struct PeakCutSystem {
    DWORD (*getActivePlan)(GUID* plan) = nullptr;        // PowerGetActiveScheme
    DWORD (*setActivePlan)(const GUID& plan) = nullptr;  // PowerSetActiveScheme
    // Mode table: slots[0..2] = modes 1-3 (three modes) or ECO plan, standard plan (two modes).
    bool (*readModeTable)(GUID (&slots)[3]) = nullptr;
    bool (*threeMode)() = nullptr;                       // the settings' variant
    int (*notify)(HWND owner, bool switchFlag, int level) = nullptr;  // the peak-cut question
    DWORD (*hibernate)() = nullptr;                      // SetSuspendState(TRUE, FALSE, FALSE)
    void (*localTime)(SYSTEMTIME* now) = nullptr;        // GetLocalTime
    bool (*desktopChassis)() = nullptr;                  // IsDesktopChassis
};
extern PeakCutSystem g_System;

// Main window's state.
extern std::atomic<DWORD> g_dwPendingNotice;
extern std::atomic<bool> g_bLibraryPresent;

// Message 0x540 and 0x541 on the main window's thread.
void OnPeakCutLevel(HWND mainWindow, DWORD level, DWORD reason) noexcept;
void ApplyPeakCutLevel() noexcept;
// The tray grays the plans the level forbids (tray::PlanGrayedByPeakCut) and the ECO button
// narrows its cycle by plans::g_dwPeakCutLevel, which OnPeakCutLevel keeps.
// Plan the level switches to, GUID_NULL for none (used when saving the origin).
GUID PeakCutTargetPlan(DWORD level, bool threeMode, const GUID (&slots)[3], DWORD levelPersistent) noexcept;

// Start-up evaluation's follow-up on the registry (level > 0: reason 3 on a user change today,
// else the flag is cleared; level 0: the saved origin comes back). Returns the reason to post.
DWORD SettleStartup(DWORD level, DWORD reason, const SYSTEMTIME& now) noexcept;

struct ThreadConfig {
    const std::atomic<bool>* runFlag = nullptr;
    HWND (*mainWindow)() = nullptr;
    DWORD passMs = kPassMs;
    // Tests hand in a bound client instead of the library (the thread then owns a copy).
    const PeakCutClient* client = nullptr;
};
// Creates the poll thread; returns when its message queue exists, so that 0x542 posted
// afterwards is never lost. 0 or the creation error.
DWORD StartPeakCutThread(const ThreadConfig& config) noexcept;
// Tells the thread the main window exists (0x542).
void NotifyMainWindowReady() noexcept;
// Waits for the thread in steps of 500 ms (at most eleven) after the run flag was cleared.
void JoinPeakCutThread() noexcept;
DWORD PeakCutThreadId() noexcept;

// The settings-side threshold the questions show ("Threshold", below 80 or above 100 read as 85).
DWORD NormaliseThreshold(DWORD percent) noexcept;
void LoadPeakShiftThreshold() noexcept;
DWORD SettingsThreshold() noexcept;
// Connects the peak-cut questions to this client (threshold texts, PendingNotice).
void InstallPromptHooks() noexcept;
// The session left the console: an open ECO question ends with No and the level is reported
// again on the next pass.
void OnConsoleLeft() noexcept;
bool TakeQuestionEndedByConsole() noexcept;

// Start-up with the library installed: "PeakCutLevel" = 0 and the thread. False when the
// library is absent (nothing of the client runs); *error = the thread's creation error.
bool StartPeakCut(const std::atomic<bool>* runFlag, HWND (*mainWindow)(), DWORD* error) noexcept;
// Main window destroyed: "PeakCutLevel" = 0 again when the library is present.
void EndPeakCut() noexcept;

}  // namespace peakcut
