// The main window's side of the peak cut: the level in force, the plan saved before the
// episode, the level's plan and the question before a demand-driven switch.
#include "plans/power_values.h"
#include "common/registry.h"
#include "peakcut/peakcut.h"

#include <powrprof.h>

#include "app/peakcut_question.h"
#include "common/log.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_record.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace peakcut {

PeakCutSystem g_System;
std::atomic<DWORD> g_dwPendingNotice{0};
std::atomic<bool> g_bLibraryPresent{false};

namespace {

constexpr const wchar_t* kTraceOn = L"OnPeakCutLevel";
constexpr const wchar_t* kTraceApply = L"ApplyPeakCutLevel";
constexpr size_t kEcoSlot = 0;      // two modes: the ECO plan ("LedNo" 3)
constexpr size_t kMode2Slot = 1;    // three modes
constexpr size_t kMode3Slot = 2;

DWORD GetActivePlan(GUID* plan) {
    *plan = GUID_NULL;
    return g_System.getActivePlan != nullptr ? g_System.getActivePlan(plan) : plans::ReadActiveScheme(plan);
}

DWORD SetActivePlan(const GUID& plan) {
    return g_System.setActivePlan != nullptr ? g_System.setActivePlan(plan) : plans::ActivateScheme(plan);
}

bool ReadModeTable(GUID (&slots)[3]) {
    if (g_System.readModeTable != nullptr) {
        return g_System.readModeTable(slots);
    }
    plans::ModeSlot read[plans::kMaxPinnedPlans] = {};
    int found = 0;
    if (plans::FindModeSlots(read, &found) == FALSE) {
        return false;
    }
    for (size_t i = 0; i < 3; ++i) {
        slots[i] = read[i].guid;
    }
    return true;
}

bool ThreeMode() {
    return g_System.threeMode != nullptr ? g_System.threeMode()
                                         : plans::IsThreeMode(plans::g_Settings.blob.dwFlagWord);
}

int Notify(HWND owner, bool switchFlag, int level) {
    return g_System.notify != nullptr ? g_System.notify(owner, switchFlag, level)
                                      : PeakCutPrompt(owner, switchFlag, level);
}

DWORD Hibernate() {
    if (g_System.hibernate != nullptr) {
        return g_System.hibernate();
    }
    return SetSuspendState(TRUE, FALSE, FALSE) != FALSE ? ERROR_SUCCESS : GetLastError();
}

bool SamePlan(const GUID& a, const GUID& b) { return !plans::IsNullGuid(a) && IsEqualGUID(a, b) != FALSE; }

// Restoring the origin: the saved plan becomes the target and is dropped from the registry.
GUID RestoreTarget(const GUID& active) {
    GUID origin = GUID_NULL;
    if (ReadOrigin(&origin) != ERROR_SUCCESS || plans::IsNullGuid(origin)) {
        return active;
    }
    WriteOrigin(GUID_NULL);
    return origin;
}

void WriteLevel(DWORD level) {
    const LSTATUS status = plans::WritePeakCutLevel(level);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SETTINGS_READ, status, ERRLOG_FILE);
    }
}

void SwitchTo(const GUID& target, bool own) {
    if (plans::IsNullGuid(target)) {
        // No plan for the level (a mode without a plan): nothing is activated.
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceApply, L"no target plan");
        return;
    }
    if (own) {
        plans::g_bSelfSwitchFlag = true;
    }
    const DWORD status = SetActivePlan(target);
    if (status != ERROR_SUCCESS) {
        if (own) {
            plans::g_bSelfSwitchFlag = false;
        }
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
    }
}

// Reason 2: the question first, then the level's plan (2) or hibernation (3).
void AskAndApply(HWND mainWindow, DWORD level, const GUID& active) {
    const bool threeMode = ThreeMode();
    if (level == 2) {
        GUID slots[3] = {};
        const size_t ledNo3Slot = threeMode ? kMode3Slot : kEcoSlot;
        if (ReadModeTable(slots) && SamePlan(slots[ledNo3Slot], active)) {
            return;  // already on the plan with "LedNo" 3
        }
        const int answer = Notify(mainWindow, !threeMode, 2);
        if (TakeQuestionEndedByConsole()) {
            g_dwPendingNotice = 1;  // the question's end cleared it: the user never saw the answer
        }
        if (answer == IDYES) {
            ApplyPeakCutLevel();
        }
        return;
    }
    if (level == 3 && Notify(mainWindow, !threeMode, 3) == IDYES) {
        const DWORD status = Hibernate();
        if (status != ERROR_SUCCESS) {
            WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        }
    }
}

}  // namespace

GUID PeakCutTargetPlan(DWORD level, bool threeMode, const GUID (&slots)[3], DWORD levelPersistent) noexcept {
    if (threeMode) {
        if (level == 1) {
            return levelPersistent == 2 ? slots[kMode3Slot] : slots[kMode2Slot];
        }
        if (level == 2) {
            return levelPersistent == 1 ? slots[kMode2Slot] : slots[kMode3Slot];
        }
        return GUID_NULL;
    }
    return level == 2 ? slots[kEcoSlot] : GUID_NULL;
}

void ApplyPeakCutLevel() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTraceApply, L"Enter");
    const DWORD level = plans::g_dwPeakCutLevel.load();
    if (plans::g_dwPeakCutReason.load() == kReasonUserChanged && level >= 1) {
        LOG_TRACE(TRACE_LEVEL_APP, kTraceApply, L"Exit - the user took over");
        return;
    }
    GUID active = GUID_NULL;
    DWORD status = GetActivePlan(&active);
    GUID slots[3] = {};
    if (status == ERROR_SUCCESS && !ReadModeTable(slots)) {
        status = ERROR_INVALID_DATA;
    }
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_GET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, kTraceApply, L"Exit - Error! retval:%08x", status);
        return;
    }
    const bool threeMode = ThreeMode();
    const GUID levelPlan = threeMode ? slots[kMode3Slot] : slots[kEcoSlot];
    if (level > 0 && SamePlan(levelPlan, active)) {
        LOG_TRACE(TRACE_LEVEL_APP, kTraceApply, L"Exit - already on the level's plan");
        return;
    }
    GUID target = GUID_NULL;
    bool own = false;
    if (level == 0) {
        target = RestoreTarget(active);
        ClearUserChangeFlag();
        if (threeMode) {
            WriteLevelPersistent(0);
        }
    } else if (threeMode && (level == 1 || level == 2)) {
        target = level == 1 ? slots[kMode2Slot] : slots[kMode3Slot];
        own = true;
    } else if (!threeMode && level == 2) {
        target = slots[kEcoSlot];
        own = true;
    } else if (!threeMode && level == 1) {
        target = active;
    }
    // Level 3 has no plan of its own (hibernation is asked for instead): nothing is activated.
    SwitchTo(target, own);
    LOG_TRACE(TRACE_LEVEL_APP, kTraceApply, L"Exit");
}

void OnPeakCutLevel(HWND mainWindow, DWORD level, DWORD reason) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTraceOn, L"Enter level %lu reason %lu", level, reason);
    const DWORD currentLevel = plans::g_dwPeakCutLevel.load();
    const DWORD currentReason = plans::g_dwPeakCutReason.load();
    const bool pending = g_dwPendingNotice.load() == 1;
    if (level == currentLevel &&
        !(level == 2 && reason == kReasonTimeWindow && currentReason == kReasonDemand) && !pending) {
        LOG_TRACE(TRACE_LEVEL_APP, kTraceOn, L"Exit - unchanged");
        return;
    }
    if (level != 2) {
        g_dwPendingNotice = 0;
    }
    if (currentReason == kReasonUserChanged && currentLevel > 0) {
        plans::g_dwPeakCutLevel = level;
        WriteOrigin(GUID_NULL);
        ClearUserChangeFlag();
        LOG_TRACE(TRACE_LEVEL_APP, kTraceOn, L"Exit - the user's plan stays");
        return;
    }
    GUID active = GUID_NULL;
    const DWORD status = GetActivePlan(&active);
    if (status != ERROR_SUCCESS) {
        plans::g_dwPeakCutLevel = 0;
        plans::g_dwPeakCutReason = 0;
        WriteErrorLog(IDS_ERR_GET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, kTraceOn, L"Exit - Error! retval:%08x", status);
        return;
    }
    const bool threeMode = ThreeMode();
    if (currentLevel == 0) {
        GUID origin = GUID_NULL;
        ReadOrigin(&origin);
        GUID slots[3] = {};
        DWORD persistent = 0;
        if (threeMode) {
            ReadLevelPersistent(&persistent);
        }
        const bool tableRead = ReadModeTable(slots);
        const GUID levelPlan = tableRead ? PeakCutTargetPlan(level, threeMode, slots, persistent) : GUID_NULL;
        if (plans::IsNullGuid(origin) || !SamePlan(levelPlan, active)) {
            WriteOrigin(active);
        }
    }
    if (threeMode) {
        WriteLevelPersistent(level);
    }
    plans::g_dwPeakCutLevel = level;
    plans::g_dwPeakCutReason = reason;
    WriteLevel(level);
    switch (reason) {
    case kReasonNone:
        if (level == 0) {
            ApplyPeakCutLevel();
        }
        break;
    case kReasonTimeWindow:
        if (level == 1 || level == 2) {
            ApplyPeakCutLevel();
        }
        break;
    case kReasonDemand:
        AskAndApply(mainWindow, level, active);
        break;
    default:
        break;
    }
    LOG_TRACE(TRACE_LEVEL_APP, kTraceOn, L"Exit");
}

DWORD SettleStartup(DWORD level, DWORD reason, const SYSTEMTIME& now) noexcept {
    if (level > 0) {
        if (UserChangedOn(now)) {
            return kReasonUserChanged;
        }
        ClearUserChangeFlag();
        return reason;
    }
    GUID origin = GUID_NULL;
    if (ReadOrigin(&origin) == ERROR_SUCCESS && !plans::IsNullGuid(origin)) {
        const DWORD status = SetActivePlan(origin);
        if (status != ERROR_SUCCESS) {
            WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        }
        WriteOrigin(GUID_NULL);
    }
    ClearUserChangeFlag();
    if (ThreeMode()) {
        WriteLevelPersistent(0);
    }
    return reason;
}

bool IsDesktopChassisType(DWORD chassisType) noexcept {
    switch (chassisType) {
    case 3: case 4: case 6: case 7: case 13: case 15:
        return true;
    default:
        return false;
    }
}

}  // namespace peakcut
