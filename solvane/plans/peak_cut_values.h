// The values the peak-cut client and the rest of the program share: the level in force, the
// own-change flag, and the record of a plan change the user made during a peak cut. The stored
// values live in one place, HKEY_LOCAL_MACHINE "Software\Orvel\Solvane\EFEnv".
#pragma once

#include <windows.h>

#include <atomic>

namespace plans {

constexpr const wchar_t* kEfEnvKey = L"Software\\Orvel\\Solvane\\EFEnv";
constexpr const wchar_t* kPeakCutLevelValue = L"PeakCutLevel";
constexpr const wchar_t* kPeakCutOriginValue = L"PeakCutOrigin";      // REG_BINARY, 16-byte GUID
constexpr const wchar_t* kUserChangeFlagValue = L"UserChangeFlag";    // REG_BINARY, 16-byte SYSTEMTIME

// Peak-cut reason meaning "the user changed the plan while the peak cut was active".
constexpr DWORD kPeakCutReasonUserChanged = 3;

// Level in force (0 none, 1-3); set by the peak-cut client.
extern std::atomic<DWORD> g_dwPeakCutLevel;
// Set by the peak-cut client right before it activates a plan itself.
extern std::atomic<bool> g_bSelfSwitchFlag;
// Reason of the level in force (0 none, 1 time window, 2 demand data, 3 user change).
extern std::atomic<DWORD> g_dwPeakCutReason;

// Writes "PeakCutLevel"; the registry status.
LSTATUS WritePeakCutLevel(DWORD level) noexcept;
// "PeakCutOrigin" and "UserChangeFlag"; the registry status (both or neither on a read).
LSTATUS WritePeakCutOrigin(const GUID& plan, const SYSTEMTIME& when) noexcept;
LSTATUS ReadPeakCutOrigin(GUID* plan, SYSTEMTIME* when) noexcept;

// The active plan changed to `plan`: during a peak cut, a change the client did not make itself
// is the user's; it is recorded for the client. Returns true when it was recorded.
bool NotePlanChangeDuringPeakCut(const GUID& plan) noexcept;

}  // namespace plans
