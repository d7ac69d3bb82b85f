#include "plans/mode_switch.h"

#include <commctrl.h>
#include <strsafe.h>

#include <atomic>

#include "common/handles.h"
#include "common/log.h"
#include "common/os_model.h"
#include "common/text.h"
#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "plans/guid_text.h"
#include "plans/mode_led.h"
#include "plans/mode_ui.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"

namespace plans {

namespace {

constexpr size_t kMessageChars = 1024;
constexpr size_t kMaxLedNoMoves = 2;

// The video warning and the "plan deleted" box are each shown once at a time.
std::atomic<bool> g_bVideoWarningShowing{false};
bool g_bGuardOpen = false;

using common::LoadText;

// "LedNo" values moved for one selection, so that a failed write can put the others back.
class LedNoHandOver {
public:
    // Stores `after` for the plan and remembers what it held; false when the write failed.
    bool Move(const GUID& plan, DWORD before, DWORD after, INT32* memory) noexcept {
        if (m_count == kMaxLedNoMoves || !SetLedNo(plan, after)) {
            return false;
        }
        m_moves[m_count++] = {plan, before, memory};
        if (memory != nullptr) {
            *memory = static_cast<INT32>(after);
        }
        return true;
    }
    void RollBack() noexcept {
        while (m_count > 0) {
            const Entry& e = m_moves[--m_count];
            SetLedNo(e.plan, e.before);
            if (e.memory != nullptr) {
                *e.memory = static_cast<INT32>(e.before);
            }
            LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"LedNo put back: %u", e.before);
        }
    }
    size_t Count() const noexcept { return m_count; }

private:
    struct Entry {
        GUID plan;
        DWORD before;
        INT32* memory;
    };
    Entry m_moves[kMaxLedNoMoves] = {};
    size_t m_count = 0;
};

// Moves the mode membership to a chosen plan that has no "LedNo". False when a write failed
// (what was moved is put back then).
bool HandOverLedNo(PlanRecord* chosen, LedNoHandOver* moves) noexcept {
    bool ok = true;
    if (IsThreeMode(g_Settings.blob.dwFlagWord)) {
        const DWORD ledNo = static_cast<DWORD>(activepsi.nLedNo);
        if (ledNo != 0 && !IsEqualGUID(activepsi.guid, chosen->guid)) {
            ok = moves->Move(chosen->guid, 0, ledNo, &chosen->nLedNo) &&
                 moves->Move(activepsi.guid, ledNo, 0, &activepsi.nLedNo);
        }
    } else {
        constexpr DWORD kStandardLedNo = 1;
        PlanRecord* holder = nullptr;
        PlanRecord* pinned2 = g_PinnedPlanPtrs[1];
        if (pinned2 != nullptr && pinned2 != chosen && pinned2->nLedNo == static_cast<INT32>(kStandardLedNo)) {
            holder = pinned2;
        } else {
            for (PlanRecord* other : g_OtherPlans) {
                if (other != chosen && other->nLedNo == static_cast<INT32>(kStandardLedNo)) {
                    holder = other;
                    break;
                }
            }
        }
        ok = moves->Move(chosen->guid, 0, kStandardLedNo, &chosen->nLedNo);
        if (ok && holder != nullptr) {
            ok = moves->Move(holder->guid, kStandardLedNo, 0, &holder->nLedNo);
        }
    }
    if (!ok) {
        moves->RollBack();
    }
    return ok;
}

// Resolves a plan command to its record in the plan list; null when it names none.
PlanRecord* ResolvePlanCommand(WORD id) noexcept {
    if (id >= IDM_PLAN_PINNED3 && id <= IDM_PLAN_PINNED1) {
        const size_t index = static_cast<size_t>(IDM_PLAN_PINNED1 - id);
        return index < kMaxPinnedPlans ? g_PinnedPlanPtrs[index] : nullptr;
    }
    if (id >= IDM_PLAN_OTHER_FIRST) {
        const size_t index = static_cast<size_t>(id - IDM_PLAN_OTHER_FIRST);
        return index < g_OtherPlans.size() ? g_OtherPlans[index] : nullptr;
    }
    return nullptr;
}

// The listed record of a plan (pinned or among the other plans); null when it is not offered.
PlanRecord* FindOfferedPlan(const GUID& plan) noexcept {
    if (IsNullGuid(plan)) {
        return nullptr;
    }
    for (PlanRecord* pinned : g_PinnedPlanPtrs) {
        if (pinned != nullptr && IsEqualGUID(pinned->guid, plan)) {
            return pinned;
        }
    }
    for (PlanRecord* other : g_OtherPlans) {
        if (other != nullptr && IsEqualGUID(other->guid, plan)) {
            return other;
        }
    }
    return nullptr;
}

struct VideoWarningState {
    DWORD lifetimeMs;
    bool showNext;
};

HRESULT CALLBACK VideoWarningCallback(HWND hwnd, UINT notification, WPARAM wParam, LPARAM, LONG_PTR data) {
    auto* state = reinterpret_cast<VideoWarningState*>(data);
    switch (notification) {
    case TDN_CREATED:
        // The box starts checked; clearing it here leaves the dialog with "show again".
        SendMessageW(hwnd, TDM_CLICK_VERIFICATION, FALSE, FALSE);
        break;
    case TDN_VERIFICATION_CLICKED:
        state->showNext = wParam == 0;
        break;
    case TDN_TIMER:
        if (static_cast<DWORD>(wParam) >= state->lifetimeMs) {
            SendMessageW(hwnd, TDM_CLICK_BUTTON, IDOK, 0);
        }
        break;
    case TDN_BUTTON_CLICKED:
        WritePlanChangeWarning(state->showNext);
        break;
    default:
        break;
    }
    return S_OK;
}

bool IsWindowsPlan(const GUID& plan) noexcept {
    return IsEqualGUID(plan, kPlanBalanced) || IsEqualGUID(plan, kPlanPowerSaver) ||
           IsEqualGUID(plan, kPlanHighPerformance);
}

}  // namespace

void SendProcessorValue(const GUID& plan) noexcept {
    if (!HasFlag(FLAG_CPU_DRIVER)) {
        return;
    }
    PlanRecord record{};
    record.guid = plan;
    ReadPlanRecord(&record);
    if (!IsNullGuid(record.guid)) {
        drivers::SetPowerSavingState(static_cast<DWORD>(record.nNpdCPU));
    }
}

DWORD ModeLedValue(int slot, bool threeMode) noexcept {
    return drivers::LedStateForLedNo(SlotToLedNo(slot, threeMode), threeMode);
}

HWND PlanChangeTarget() noexcept { return CurrentModeUi().PlanChangeTarget(); }

void (*g_pfnApplyPlanBrightness)() = nullptr;

void PostPlanChanged(WPARAM wParam) noexcept {
    if (HWND target = PlanChangeTarget(); target != nullptr) {
        PostMessageW(target, WM_APP_PLAN_CHANGED, wParam, 0);
    }
}

DWORD ActivatePlan(const GUID& plan, DWORD ledValue) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ActivatePlan", L"Enter");
    drivers::SetLedState(ledValue);
    Sleep(kLedToPlanDelayMs);
    const DWORD status = ActivateScheme(plan);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        // The plan stays as it was: so does the mode the LED shows.
        RefreshLedFromCurrentPlan();
        LOG_TRACE(TRACE_LEVEL_APP, L"ActivatePlan", L"Exit - Error! retval:%08x", status);
        return status;
    }
    RefreshCurrentPlan(plan);
    PostPlanChanged(0);
    SendProcessorValue(plan);
    LOG_TRACE(TRACE_LEVEL_APP, L"ActivatePlan", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

bool IsPlanCommand(WORD id) noexcept {
    return (id >= IDM_PLAN_PINNED3 && id <= IDM_PLAN_PINNED1) || id >= IDM_PLAN_OTHER_FIRST;
}

DWORD SelectPlanFromMenu(WORD id, const GUID* shown) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Enter");
    // A busy list makes the selection do nothing, without a record.
    PlanListLock lock(kQuietLockDetail);
    if (!lock.Owned()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit - Error! retval:%08x", ERROR_TIMEOUT);
        return ERROR_TIMEOUT;
    }
    // The list may have been rebuilt since the menu was shown: the command acts on the plan the
    // menu showed, wherever it stands now, and on nothing when that plan is no longer offered.
    PlanRecord* chosen = IsPlanCommand(id) ? ResolvePlanCommand(id) : nullptr;
    if (shown != nullptr && (chosen == nullptr || !IsEqualGUID(chosen->guid, *shown))) {
        chosen = IsPlanCommand(id) ? FindOfferedPlan(*shown) : nullptr;
    }
    if (chosen == nullptr || IsNullGuid(chosen->guid)) {
        // A command naming no plan (a stale menu, or a message from another process).
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, ERROR_INVALID_INDEX, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"command %u names no plan: ignored", id);
        LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit - Error! retval:%08x", ERROR_INVALID_INDEX);
        return ERROR_INVALID_INDEX;
    }
    const GUID plan = chosen->guid;
    const bool eco = HasFlag(FLAG_ECO);
    const bool mayWarn = eco && !IsThreeMode(g_Settings.blob.dwFlagWord) && g_Settings.dwPwrDlgActivate != 0 &&
                         IsEqualGUID(plan, g_Settings.guidLow);
    // Only the video warning asks which plan was active before: it is read only when the
    // warning may follow. Everything else waits until the chosen plan is active.
    const GUID previous = mayWarn ? ActivePlanOrNull(true) : GUID_NULL;
    const DWORD status = ActivateScheme(plan);
    if (status != ERROR_SUCCESS) {
        // Nothing was moved yet: the plans keep the modes they had.
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit - Error! retval:%08x", status);
        return status;
    }
    // The mode membership follows the plan (activepsi still holds the previous plan here).
    LedNoHandOver moves;
    if (eco && chosen->nLedNo == 0 && !HandOverLedNo(chosen, &moves)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"LedNo not moved");
    }
    RefreshCurrentPlan(plan);
    PostPlanChanged(0);
    // External monitors take the new plan's brightness now; the panel takes it from the delayed
    // step that follows Windows' announcement of the new scheme.
    if (HasFlag(FLAG_EXT_MONITOR) && g_pfnApplyPlanBrightness != nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"SETBRIGHTNESS()");
        g_pfnApplyPlanBrightness();
    }
    if (eco) {
        RefreshLedFromCurrentPlan();
    }
    SendProcessorValue(plan);
    const bool warn = mayWarn && ReadPlanChangeWarning() == 1;
    // The warning waits for the user: the plan list is not held meanwhile.
    lock.Release();
    if (warn) {
        ShowVideoWarning(IsEqualGUID(previous, g_Settings.guidLow) != FALSE);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

bool VideoWarningShowing() noexcept { return g_bVideoWarningShowing.load(); }

void ShowVideoWarning(bool wasLow) noexcept { ShowVideoWarningFor(wasLow, kVideoWarningLifetimeMs); }

void ShowVideoWarningFor(bool wasLow, DWORD lifetimeMs) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowVideoWarning", L"Enter");
    if (wasLow || g_bVideoWarningShowing.exchange(true)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"ShowVideoWarning", L"Exit");
        return;
    }
    PlanRecord low{};
    low.guid = g_Settings.guidLow;
    ReadPlanRecord(&low);
    PlanRecord high{};
    high.guid = g_Settings.guidHigh;
    ReadPlanRecord(&high);
    wchar_t format[kMessageChars];
    wchar_t text[kMessageChars];
    wchar_t check[kMessageChars];
    LoadText(IDS_VIDEO_WARNING, format, ARRAYSIZE(format));
    LoadText(IDS_VIDEO_WARNING_CHECK, check, ARRAYSIZE(check));
    if (FAILED(StringCchPrintfW(text, ARRAYSIZE(text), format, low.szName, high.szName))) {
        StringCchCopyW(text, ARRAYSIZE(text), format);
    }
    VideoWarningState state{lifetimeMs, true};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = nullptr;
    config.dwFlags = TDF_CALLBACK_TIMER | TDF_VERIFICATION_FLAG_CHECKED;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszContent = text;
    config.pszVerificationText = check;
    config.pfCallback = VideoWarningCallback;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&state);
    const HRESULT result = CurrentModeUi().ShowTaskDialog(&config);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ShowVideoWarning", L"TaskDialogIndirect: %08x", static_cast<unsigned>(result));
    g_bVideoWarningShowing = false;
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowVideoWarning", L"Exit");
}

bool PassPlanWindowGuards(HWND owner, bool propertySheet) noexcept {
    if (g_bGuardOpen) {
        return false;  // the question of an earlier request is still open
    }
    g_bGuardOpen = true;
    ModeUi& ui = CurrentModeUi();
    bool pass = true;
    if ((activepsi.dwFlags & kPlanFlagHidden) != 0) {
        wchar_t format[kMessageChars];
        wchar_t text[kMessageChars];
        if (IsWindowsPlan(activepsi.guid)) {
            LoadText(IDS_WINDOWS_PLAN_NOTICE, format, ARRAYSIZE(format));
            if (FAILED(StringCchPrintfW(text, ARRAYSIZE(text), format, ui.ProgramTitle()))) {
                StringCchCopyW(text, ARRAYSIZE(text), format);
            }
            ui.ShowMessage(owner, text, MB_ICONINFORMATION | MB_OK);
        } else {
            LoadText(IDS_CHANGE_PLAN_QUESTION, text, ARRAYSIZE(text));
            pass = ui.ShowMessage(owner, text, MB_ICONQUESTION | MB_YESNO) == IDYES;
        }
    }
    if (pass && propertySheet) {
        common::UniqueHandle ferrow(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kFerrowSettingMutex));
        if (ferrow) {
            ferrow.Reset();
            wchar_t text[kMessageChars];
            LoadText(IDS_FERROW_RUNNING, text, ARRAYSIZE(text));
            ui.ShowMessage(owner, text, MB_ICONWARNING | MB_OK);
            pass = false;
        }
    }
    g_bGuardOpen = false;
    return pass;
}

}  // namespace plans
