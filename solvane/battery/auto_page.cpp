// Settings page "自動切替" (dialog 505) and the command that stores its values.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <strsafe.h>

#include <vector>

#include "battery/auto_change.h"
#include "common/handles.h"
#include "common/log.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace battery {

namespace {

constexpr int kTrackMax = 100;
constexpr int kTrackPage = 10;
constexpr DWORD kFerrowWatchMs = 1000;
constexpr wchar_t kFerrowPath[] = L"C:\\Program Files\\Ferrow\\Ferrow.exe";
constexpr size_t kTextChars = 256;

// Controls switched off while the outing-button utility is open.
constexpr int kPageControls[] = {IDC_AUTO_EXPLANATION, IDC_AUTO_ENABLE, IDC_AUTO_VALUE, IDC_AUTO_TRACKBAR,
                                 IDC_AUTO_PLAN_LABEL, IDC_AUTO_PLAN_COMBO, IDC_AUTO_LABEL_MIN,
                                 IDC_AUTO_LABEL_MAX, IDC_AUTO_FERROW};
// Controls that follow the check box.
constexpr int kSettingControls[] = {IDC_AUTO_TRACKBAR, IDC_AUTO_LABEL_MIN, IDC_AUTO_LABEL_MAX, IDC_AUTO_VALUE,
                                    IDC_AUTO_PLAN_LABEL, IDC_AUTO_PLAN_COMBO};

// The plans of the combo box in item order (item data = index here). The page is opened once
// at a time, from the main thread.
std::vector<GUID> g_comboPlans;
GUID g_pageChoice = GUID_NULL;

bool HasFlag(DWORD flag) noexcept { return (plans::g_Settings.blob.dwFlagWord & flag) != 0; }

HMODULE ResourceModule() noexcept { return GetModuleHandleW(nullptr); }

void LoadText(UINT id, wchar_t* text, size_t cchText) noexcept {
    text[0] = L'\0';
    LoadStringW(ResourceModule(), id, text, static_cast<int>(cchText));
}

int MessageBoxFromTable(HWND owner, UINT id, UINT style) noexcept {
    wchar_t text[kTextChars];
    wchar_t title[kTextChars];
    LoadText(id, text, ARRAYSIZE(text));
    LoadText(HasFlag(plans::FLAG_ECO) ? IDS_ECO_PROGRAM_TITLE : IDS_PROGRAM_TITLE, title, ARRAYSIZE(title));
    return MessageBoxW(owner, text, title, style);
}

bool FerrowWindowOpen() noexcept {
    common::UniqueHandle ferrow(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, plans::kFerrowSettingMutex));
    return static_cast<bool>(ferrow);
}

int KnownOrder(const GUID& plan) noexcept {
    for (size_t i = 0; i < plans::kKnownPlanOrderCount; ++i) {
        if (IsEqualGUID(plans::kKnownPlanOrder[i], plan)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void SetValueText(HWND page) noexcept {
    const LRESULT position = SendDlgItemMessageW(page, IDC_AUTO_TRACKBAR, TBM_GETPOS, 0, 0);
    wchar_t text[16];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%d%%", static_cast<int>(position));
    SetDlgItemTextW(page, IDC_AUTO_VALUE, text);
}

void FollowCheckBox(HWND page) noexcept {
    const BOOL enabled = IsDlgButtonChecked(page, IDC_AUTO_ENABLE) == BST_CHECKED;
    for (int id : kSettingControls) {
        EnableWindow(GetDlgItem(page, id), enabled);
    }
}

// Lists the plans that are not hidden, known plans first in table order, keeping `wanted`
// selected when it is listed.
void FillPlanCombo(HWND page, const GUID& wanted) noexcept {
    HWND combo = GetDlgItem(page, IDC_AUTO_PLAN_COMBO);
    plans::PlanListLock lock(kAutoLockDetailCombo);
    if (!lock.Owned()) {
        return;
    }
    std::vector<const plans::PlanRecord*> listed;
    for (DWORD i = 0; i < plans::g_PlanCount && i < plans::g_PlanList.size(); ++i) {
        const plans::PlanRecord& record = plans::g_PlanList[i];
        if (!plans::IsNullGuid(record.guid) && (record.dwFlags & plans::kPlanFlagHidden) == 0) {
            listed.push_back(&record);
        }
    }
    std::vector<const plans::PlanRecord*> ordered;
    for (size_t k = 0; k < plans::kKnownPlanOrderCount; ++k) {
        for (const plans::PlanRecord* record : listed) {
            if (IsEqualGUID(record->guid, plans::kKnownPlanOrder[k])) {
                ordered.push_back(record);
            }
        }
    }
    for (const plans::PlanRecord* record : listed) {
        if (KnownOrder(record->guid) < 0) {
            ordered.push_back(record);
        }
    }
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    g_comboPlans.clear();
    int selected = -1;
    for (const plans::PlanRecord* record : ordered) {
        const LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record->szName));
        if (item < 0) {
            continue;
        }
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(g_comboPlans.size()));
        g_comboPlans.push_back(record->guid);
        if (IsEqualGUID(record->guid, wanted)) {
            selected = static_cast<int>(item);
        }
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The plan of the combo's selection; GUID_NULL when none is selected.
GUID SelectedPlan(HWND combo) noexcept {
    const LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (item < 0) {
        return GUID_NULL;
    }
    const LRESULT index = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
    if (index < 0 || static_cast<size_t>(index) >= g_comboPlans.size()) {
        return GUID_NULL;
    }
    return g_comboPlans[static_cast<size_t>(index)];
}

void RestoreMeterPanel() noexcept {
    if (g_AutoChangeHooks.restoreMeterPanel != nullptr) {
        g_AutoChangeHooks.restoreMeterPanel();
    }
}

void EnablePageControls(HWND page, bool enable) noexcept {
    for (int id : kPageControls) {
        EnableWindow(GetDlgItem(page, id), enable ? TRUE : FALSE);
    }
    if (enable) {
        FollowCheckBox(page);
    }
}

void LaunchFerrow(HWND page) noexcept {
    if (FerrowWindowOpen()) {
        MessageBoxFromTable(page, IDS_FERROW_RUNNING, MB_OK | MB_ICONWARNING);
        return;
    }
    wchar_t commandLine[MAX_PATH];
    if (FAILED(StringCchCopyW(commandLine, ARRAYSIZE(commandLine), kFerrowPath))) {
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        return;
    }
    common::UniqueHandle processHandle(process.hProcess);
    common::UniqueHandle threadHandle(process.hThread);
    EnablePageControls(page, false);
    SetTimer(page, IDT_FERROW_WATCH, kFerrowWatchMs, nullptr);
}

// Inside a property sheet the page is a child window and the sheet's own OK and Cancel close
// it: the page's buttons would end the page alone.
bool InsideSheet(HWND page) noexcept { return (GetWindowLongPtrW(page, GWL_STYLE) & WS_CHILD) != 0; }

BOOL OnInitDialog(HWND page) noexcept {
    const AutoRecord record = GetAutoRecord();
    if (InsideSheet(page)) {
        DestroyWindow(GetDlgItem(page, IDOK));
        DestroyWindow(GetDlgItem(page, IDCANCEL));
    }
    const bool eco = HasFlag(plans::FLAG_ECO);
    if (eco) {
        wchar_t note[kTextChars];
        LoadText(IDS_AUTO_ECO_NOTE, note, ARRAYSIZE(note));
        SetDlgItemTextW(page, IDC_AUTO_NOTE_ECO, note);
    }
    ShowWindow(GetDlgItem(page, IDC_AUTO_NOTE_ECO), eco ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_AUTO_NOTE), eco ? SW_SHOW : SW_HIDE);
    g_pageChoice = record.guidTarget;
    FillPlanCombo(page, g_pageChoice);
    HWND trackbar = GetDlgItem(page, IDC_AUTO_TRACKBAR);
    SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, kTrackMax));
    SendMessageW(trackbar, TBM_SETPAGESIZE, 0, kTrackPage);
    const ULONGLONG threshold = record.RemaindPercent > static_cast<ULONGLONG>(kTrackMax) ? kTrackMax
                                                                                          : record.RemaindPercent;
    SendMessageW(trackbar, TBM_SETPOS, TRUE, static_cast<LPARAM>(threshold));
    SetValueText(page);
    CheckDlgButton(page, IDC_AUTO_ENABLE, record.bChecked != 0 ? BST_CHECKED : BST_UNCHECKED);
    FollowCheckBox(page);
    if (plans::g_Settings.nFerrow == 0) {
        DestroyWindow(GetDlgItem(page, IDC_AUTO_FERROW));
    }
    return TRUE;
}

void OnComboChange(HWND page) noexcept {
    plans::PlanListLock lock(kAutoLockDetailCombo);
    if (!lock.Owned()) {
        return;
    }
    const GUID chosen = SelectedPlan(GetDlgItem(page, IDC_AUTO_PLAN_COMBO));
    if (plans::IsNullGuid(chosen)) {
        WriteErrorLog(kErrAutoNoPlan, 0, ERRLOG_FILE);
        return;
    }
    g_pageChoice = chosen;
}

void Apply(HWND page) noexcept {
    RestoreMeterPanel();
    BOOL changed = FALSE;
    AutoSettingCommand(page, GetDlgItem(page, IDC_AUTO_TRACKBAR), GetDlgItem(page, IDC_AUTO_PLAN_COMBO), 1, &changed);
}

// True when the page may close without its changes.
bool ConfirmCancel(HWND page) noexcept {
    RestoreMeterPanel();
    BOOL changed = FALSE;
    AutoSettingCommand(page, GetDlgItem(page, IDC_AUTO_TRACKBAR), GetDlgItem(page, IDC_AUTO_PLAN_COMBO), 0, &changed);
    return !changed || MessageBoxFromTable(page, IDS_DISCARD_CHANGES, MB_OKCANCEL | MB_ICONQUESTION) != IDCANCEL;
}

BOOL OnCommand(HWND page, WORD id, WORD code) noexcept {
    switch (id) {
    case IDC_AUTO_ENABLE:
        FollowCheckBox(page);
        return TRUE;
    case IDC_AUTO_PLAN_COMBO:
        if (code == CBN_SELCHANGE) {
            OnComboChange(page);
        }
        return TRUE;
    case IDC_AUTO_FERROW:
        LaunchFerrow(page);
        return TRUE;
    case IDOK:
        if (InsideSheet(page)) {
            return FALSE;   // the sheet's buttons apply the page (PSN_APPLY)
        }
        Apply(page);
        EndDialog(page, IDOK);
        return TRUE;
    case IDCANCEL:
        if (InsideSheet(page)) {
            return FALSE;
        }
        if (ConfirmCancel(page)) {
            EndDialog(page, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL OnNotify(HWND page, const NMHDR* header) noexcept {
    switch (header->code) {
    case PSN_APPLY:
        Apply(page);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    case PSN_SETACTIVE:
        FillPlanCombo(page, g_pageChoice);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_QUERYCANCEL:
        RestoreMeterPanel();
        SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}

void OnTimer(HWND page, UINT_PTR id) noexcept {
    if (id != IDT_FERROW_WATCH) {
        return;
    }
    KillTimer(page, IDT_FERROW_WATCH);
    if (FerrowWindowOpen()) {
        SetTimer(page, IDT_FERROW_WATCH, kFerrowWatchMs, nullptr);
    } else {
        EnablePageControls(page, true);
    }
}

// The "?" caption button (SC_CONTEXTHELP) and F1 (WM_HELP).
BOOL OnHelpRequest(UINT message, WPARAM command) noexcept {
    if (message != WM_HELP && (command & 0xFFF0) != SC_CONTEXTHELP) {
        return FALSE;
    }
    if (g_AutoChangeHooks.openHelpTopic != nullptr) {
        g_AutoChangeHooks.openHelpTopic(IDH_AUTO_SETTINGS);
    }
    return TRUE;
}

}  // namespace

DWORD AutoSettingCommand(HWND page, HWND trackbar, HWND combo, int mode, BOOL* changed) noexcept {
    constexpr wchar_t kTrace[] = L"AutoSettingCommand";
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"AutoSettingCommand Start");
    if (changed != nullptr) {
        *changed = FALSE;
    }
    if (FerrowWindowOpen()) {
        return 1;
    }
    HANDLE mutex = AutoChangeMutex();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"WaitForSingleObject(hASMutex=%#8x) Start",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(mutex)));
    const DWORD wait = mutex != nullptr ? WaitForSingleObject(mutex, INFINITE) : WAIT_FAILED;
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        const DWORD error = mutex != nullptr ? GetLastError() : ERROR_INVALID_HANDLE;
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"CloseHandle hASMutex=%#8x, LastError=%d",
                  static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(mutex)), static_cast<int>(error));
        return error;
    }
    AutoRecord record = GetAutoRecord();
    const ULONGLONG threshold = static_cast<ULONGLONG>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    GUID target = SelectedPlan(combo);
    if (plans::IsNullGuid(target)) {
        WriteErrorLog(kErrAutoNoPlan, static_cast<ULONGLONG>(SendMessageW(combo, CB_GETCURSEL, 0, 0)), ERRLOG_FILE);
        // Without a chosen plan the stored target stays.
        target = record.guidTarget;
    }
    const DWORD enabled = IsDlgButtonChecked(page, IDC_AUTO_ENABLE) == BST_CHECKED ? 1 : 0;
    const bool differs = threshold != record.RemaindPercent || !IsEqualGUID(target, record.guidTarget) ||
                         (enabled != 0) != (record.bChecked != 0);
    if (differs && mode == 1) {
        record.RemaindPercent = threshold;
        record.guidTarget = target;
        record.bChecked = enabled;
        SetAutoRecord(record);
        SaveAutoSettings();
        LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"auto_info.bChecked=%s", enabled != 0 ? L"TRUE" : L"FALSE");
        const DWORD error = SetAutoChangeEvent(enabled != 0 ? TRUE : FALSE);
        if (error != ERROR_SUCCESS) {
            WriteErrorLog(kErrAutoEvent, error, ERRLOG_FILE);
        }
    } else if (differs && changed != nullptr) {
        *changed = TRUE;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"ReleaseMutex(hASMutex=%#8x)",
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(mutex)));
    ReleaseMutex(mutex);
    return 1;
}

INT_PTR CALLBACK AutoSettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_HSCROLL:
        SetValueText(page);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
        OnTimer(page, static_cast<UINT_PTR>(wParam));
        return TRUE;
    case WM_SYSCOMMAND:
    case WM_HELP:
        return OnHelpRequest(message, wParam);
    default:
        return FALSE;
    }
}

INT_PTR ShowAutoSettingsDialog(HWND owner) noexcept {
    return DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_AUTO_SETTINGS), owner, AutoSettingsPageProc, 0);
}

}  // namespace battery
