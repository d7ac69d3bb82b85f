#include "plans/mode_switch.h"

#include <commctrl.h>
#include <powrprof.h>
#include <strsafe.h>

#include <atomic>

#include "app/app_globals.h"
#include "common/handles.h"
#include "common/log.h"
#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_guids.h"
#include "plans/settings.h"

namespace plans {

namespace {

constexpr size_t kMessageChars = 1024;
constexpr size_t kMaxLedNoMoves = 2;
constexpr UINT kWarningBoxStyle = MB_ICONWARNING | MB_OK;

// The video warning and the "plan deleted" box are each shown once at a time.
std::atomic<bool> g_bVideoWarningShowing{false};
std::atomic<bool> g_bSlotWarningShowing{false};
bool g_bGuardOpen = false;

bool HasFlag(DWORD flag) noexcept { return (g_Settings.blob.dwFlagWord & flag) != 0; }

void LoadText(UINT id, wchar_t* text, size_t cchText) noexcept {
    text[0] = L'\0';
    LoadStringW(g_hInstance, id, text, static_cast<int>(cchText));
}

// The active scheme, GUID_NULL when it cannot be read (error 2 logged).
GUID ActiveScheme() noexcept {
    GUID* active = nullptr;
    const DWORD status = PowerGetActiveScheme(nullptr, &active);
    GUID result = GUID_NULL;
    if (status == ERROR_SUCCESS && active != nullptr) {
        result = *active;
    } else {
        WriteErrorLog(IDS_ERR_GET_ACTIVE_SCHEME, status, ERRLOG_FILE);
    }
    if (active != nullptr) {
        LocalFree(active);
    }
    return result;
}

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

// "LedNo" values moved for one selection, so that a failed activation can put them back.
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

// Holds the plan-list lock without logging a time-out (the tray selection then does nothing).
class QuietPlanListLock {
public:
    QuietPlanListLock() noexcept : m_mutex(PlanListLockHandle()) {
        if (m_mutex == nullptr) {
            m_owned = true;
            return;
        }
        const DWORD wait = WaitForSingleObject(m_mutex, kPlanListWaitMs);
        m_owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    ~QuietPlanListLock() { Release(); }
    QuietPlanListLock(const QuietPlanListLock&) = delete;
    QuietPlanListLock& operator=(const QuietPlanListLock&) = delete;
    bool Owned() const noexcept { return m_owned; }
    void Release() noexcept {
        if (m_owned && m_mutex != nullptr) {
            ReleaseMutex(m_mutex);
        }
        m_owned = false;
    }

private:
    HANDLE m_mutex;
    bool m_owned = false;
};

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

using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogIndirectFn FindTaskDialog() noexcept {
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    return comctl != nullptr
               ? reinterpret_cast<TaskDialogIndirectFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")))
               : nullptr;
}

bool IsWindowsPlan(const GUID& plan) noexcept {
    return IsEqualGUID(plan, kPlanBalanced) || IsEqualGUID(plan, kPlanPowerSaver) ||
           IsEqualGUID(plan, kPlanHighPerformance);
}

// A dialog box of this thread with the program's caption, or null.
HWND FindOwnMessageBox() noexcept {
    struct Search {
        HWND found;
    } search{nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            wchar_t className[16] = {};
            wchar_t caption[kTitleChars] = {};
            GetClassNameW(hwnd, className, ARRAYSIZE(className));
            GetWindowTextW(hwnd, caption, ARRAYSIZE(caption));
            if (lstrcmpW(className, L"#32770") == 0 && lstrcmpW(caption, g_szProgramTitle) == 0) {
                reinterpret_cast<Search*>(lParam)->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Two-mode variant: both slots must hold a plan. False when the press must go no further.
bool TwoModeSlotsReady() noexcept {
    ModeSlot slots[kMaxPinnedPlans];
    int found = 0;
    FindModeSlots(slots, &found);
    if (!IsNullGuid(slots[0].guid) && !IsNullGuid(slots[1].guid)) {
        return true;
    }
    if (g_bSlotWarningShowing.load()) {
        if (HWND box = FindOwnMessageBox(); box != nullptr) {
            SetForegroundWindow(box);
        }
        return false;
    }
    if (g_Settings.dwOsGeneration >= OS_MODEL_WIN8_OR_LATER) {
        return false;
    }
    wchar_t format[kMessageChars];
    wchar_t screen[kMessageChars];
    wchar_t button[kMessageChars];
    wchar_t text[kMessageChars];
    LoadText(IDS_MODE_PLAN_DELETED, format, ARRAYSIZE(format));
    LoadText(IDS_ECO_SETTINGS_TITLE, screen, ARRAYSIZE(screen));
    LoadText(IDS_RESTORE_DEFAULTS, button, ARRAYSIZE(button));
    if (FAILED(StringCchPrintfW(text, ARRAYSIZE(text), format, screen, button))) {
        StringCchCopyW(text, ARRAYSIZE(text), format);
    }
    g_bSlotWarningShowing = true;
    MessageBoxW(g_hMainWnd, text, g_szProgramTitle, kWarningBoxStyle);
    g_bSlotWarningShowing = false;
    return false;
}

}  // namespace

DWORD ModeLedValue(int slot, bool threeMode) noexcept {
    return drivers::LedStateForLedNo(SlotToLedNo(slot, threeMode), threeMode);
}

HWND PlanChangeTarget() noexcept {
    // The meter panel takes the message once it exists.
    return g_hMainWnd;
}

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
    const DWORD status = PowerSetActiveScheme(nullptr, &plan);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        // The plan stays as it was: so does the mode the LED shows.
        drivers::RefreshLedFromCurrentPlan();
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

DWORD SelectPlanFromMenu(WORD id) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Enter");
    QuietPlanListLock lock;
    if (!lock.Owned()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit - Error! retval:%08x", ERROR_TIMEOUT);
        return ERROR_TIMEOUT;
    }
    const GUID previous = ActiveScheme();
    PlanRecord* chosen = ResolvePlanCommand(id);
    if (chosen == nullptr || IsNullGuid(chosen->guid)) {
        // A command naming no plan (a stale menu, or a message from another process).
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, ERROR_INVALID_INDEX, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"command %u names no plan: ignored", id);
        LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit - Error! retval:%08x", ERROR_INVALID_INDEX);
        return ERROR_INVALID_INDEX;
    }
    const GUID plan = chosen->guid;
    const bool eco = HasFlag(FLAG_ECO);
    LedNoHandOver moves;
    if (eco && chosen->nLedNo == 0 && !HandOverLedNo(chosen, &moves)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"LedNo not moved");
    }
    const DWORD status = PowerSetActiveScheme(nullptr, &plan);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        // No half-moved mode: the plans keep the slots they had.
        moves.RollBack();
        LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit - Error! retval:%08x", status);
        return status;
    }
    RefreshCurrentPlan(plan);
    PostPlanChanged(0);
    if (HasFlag(FLAG_EXT_MONITOR) && g_pfnApplyPlanBrightness != nullptr) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"SelectPlanFromMenu", L"SETBRIGHTNESS()");
        g_pfnApplyPlanBrightness();
    }
    if (eco) {
        drivers::RefreshLedFromCurrentPlan();
    }
    SendProcessorValue(plan);
    const bool warn = eco && !IsThreeMode(g_Settings.blob.dwFlagWord) && g_Settings.dwPwrDlgActivate != 0 &&
                      ReadPlanChangeWarning() == 1 && IsEqualGUID(plan, g_Settings.guidLow);
    // The warning waits for the user: the plan list is not held meanwhile.
    lock.Release();
    if (warn) {
        ShowVideoWarning(IsEqualGUID(previous, g_Settings.guidLow) != FALSE);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SelectPlanFromMenu", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

void HandleEcoButton() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"HandleEcoButton", L"Enter");
    if (!IsThreeMode(g_Settings.blob.dwFlagWord) && !TwoModeSlotsReady()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"HandleEcoButton", L"Exit");
        return;
    }
    HWND window = FindWindowW(kEcoOsdWindowClass, nullptr);
    DWORD pid = 0;
    if (window != nullptr && GetWindowThreadProcessId(window, &pid) != 0 && pid == GetCurrentProcessId()) {
        PostMessageW(window, WM_APP_ECO_PRESS, 0, 0);
    } else {
        // The notification window places, sizes and shows itself, or refuses to open.
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kEcoOsdWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, g_hInstance, nullptr);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"HandleEcoButton", L"notification window %s",
                  window != nullptr ? L"opened" : L"not opened");
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"HandleEcoButton", L"Exit");
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
    config.hInstance = g_hInstance;
    config.dwFlags = TDF_CALLBACK_TIMER | TDF_VERIFICATION_FLAG_CHECKED;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = g_szProgramTitle;
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszContent = text;
    config.pszVerificationText = check;
    config.pfCallback = VideoWarningCallback;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&state);
    TaskDialogIndirectFn taskDialog = FindTaskDialog();
    HRESULT result = E_NOTIMPL;
    if (taskDialog != nullptr) {
        result = taskDialog(&config, nullptr, nullptr, nullptr);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, L"ShowVideoWarning", L"TaskDialogIndirect: %08x", static_cast<unsigned>(result));
    g_bVideoWarningShowing = false;
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowVideoWarning", L"Exit");
}

bool PassPlanWindowGuards(HWND owner, bool propertySheet) noexcept {
    if (g_bGuardOpen) {
        return false;  // the question of an earlier request is still open
    }
    g_bGuardOpen = true;
    bool pass = true;
    if ((activepsi.dwFlags & kPlanFlagHidden) != 0) {
        wchar_t format[kMessageChars];
        wchar_t text[kMessageChars];
        if (IsWindowsPlan(activepsi.guid)) {
            LoadText(IDS_WINDOWS_PLAN_NOTICE, format, ARRAYSIZE(format));
            if (FAILED(StringCchPrintfW(text, ARRAYSIZE(text), format, g_szProgramTitle))) {
                StringCchCopyW(text, ARRAYSIZE(text), format);
            }
            MessageBoxW(owner, text, g_szProgramTitle, MB_ICONINFORMATION | MB_OK);
        } else {
            LoadText(IDS_CHANGE_PLAN_QUESTION, text, ARRAYSIZE(text));
            pass = MessageBoxW(owner, text, g_szProgramTitle, MB_ICONQUESTION | MB_YESNO) == IDYES;
        }
    }
    if (pass && propertySheet) {
        common::UniqueHandle ferrow(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kFerrowSettingMutex));
        if (ferrow) {
            ferrow.Reset();
            wchar_t text[kMessageChars];
            LoadText(IDS_FERROW_RUNNING, text, ARRAYSIZE(text));
            MessageBoxW(owner, text, g_szProgramTitle, MB_ICONWARNING | MB_OK);
            pass = false;
        }
    }
    g_bGuardOpen = false;
    return pass;
}

}  // namespace plans
