#include "app/plan_sheet.h"

#include <commctrl.h>
#include <powrprof.h>
#include <prsht.h>

#include "app/app_globals.h"
#include "app/eco_level.h"
#include "app/gauge_icons.h"
#include "app/app_messages.h"
#include "app/help.h"
#include "app/main_state.h"
#include "app/plan_editor.h"
#include "battery/auto_change.h"
#include "battery/battery.h"
#include "app/ui_state.h"
#include "common/handles.h"
#include "app/monitor_events.h"
#include "common/log.h"
#include "plans/error_ids.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "plans/settings.h"

namespace app {

namespace {

constexpr DWORD kLockDetailFill = 4;         // error 48 detail: filling the combo
constexpr DWORD kLockDetailApply = 7;        // error 48 detail: applying
constexpr size_t kMessageChars = 1024;
constexpr size_t kCaptionChars = 128;
constexpr UINT_PTR kSheetSubclassId = 1;
constexpr size_t kSheetPagesMax = 2;         // the plan page and the automatic change page

DWORD DefaultActivate(const GUID& plan) {
    return plans::ActivateScheme(plan);
}

ActivateSchemeFn g_pfnActivate = DefaultActivate;

// The GUIDs behind the combo's entries (one sheet at a time: it is modal and guarded).
std::vector<GUID> g_ComboPlans;

bool FerrowWindowOpen() noexcept {
    common::UniqueHandle ferrow(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, plans::kFerrowSettingMutex));
    return static_cast<bool>(ferrow);
}

void ShowText(HWND owner, UINT id, UINT type) noexcept {
    wchar_t text[kMessageChars] = L"";
    LoadStringW(g_hInstance, id, text, static_cast<int>(ARRAYSIZE(text)));
    MessageBoxW(owner, text, g_szProgramTitle, type);
}

// The stars of the page's gauges (one sheet at a time: it is modal and guarded).
GaugeIcons g_Gauges;

// The gauges as the ECO mode dialog shows them; their labels only while a plan is shown.
void ShowGauges(HWND page, const plans::PlanRecord* record) noexcept {
    const int show = record != nullptr ? SW_SHOW : SW_HIDE;
    ShowWindow(GetDlgItem(page, IDC_PERFORMANCE_LABEL), show);
    ShowWindow(GetDlgItem(page, IDC_SAVING_LABEL), show);
    ShowPlanGauges(g_Gauges, page, IDC_PERFORMANCE_BAR1, IDC_SAVING_BAR1, record);
}

const plans::PlanRecord* FindRecord(const GUID& plan) noexcept {
    for (const plans::PlanRecord* record : BuildSheetPlanChoices()) {
        if (IsEqualGUID(record->guid, plan)) {
            return record;
        }
    }
    return nullptr;
}

const GUID* SelectedPlan(HWND page) noexcept {
    const LRESULT index = SendDlgItemMessageW(page, IDC_PLAN_COMBO, CB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= g_ComboPlans.size()) {
        return nullptr;
    }
    return &g_ComboPlans[static_cast<size_t>(index)];
}

void ShowSelectedPlan(HWND page) noexcept {
    const GUID* selected = SelectedPlan(page);
    // The records may be rebuilt by another thread: read them under the lock (held already
    // when the combo is being filled; the lock is re-entrant for its owner).
    plans::PlanListLock lock(kLockDetailFill);
    const plans::PlanRecord* record = selected != nullptr && lock.Owned() ? FindRecord(*selected) : nullptr;
    SetDlgItemTextW(page, IDC_PLAN_DESCRIPTION, record != nullptr ? record->szDescription : L"");
    ShowGauges(page, record);
    if (record != nullptr && (plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) != 0) {
        battery::SetPlanBatteryTime(page, IDC_BATTERY_TIME, record->guid, true);
    } else {
        SetDlgItemTextW(page, IDC_BATTERY_TIME, L"");
    }
}

// Fills the combo; keeps `keep` selected when listed, else activepsi, else the first entry.
void FillPlanCombo(HWND page, const GUID* keep) noexcept {
    plans::PlanListLock lock(kLockDetailFill);
    if (!lock.Owned()) {
        return;
    }
    const GUID wanted = keep != nullptr ? *keep : plans::activepsi.guid;
    HWND combo = GetDlgItem(page, IDC_PLAN_COMBO);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    g_ComboPlans.clear();
    const std::vector<const plans::PlanRecord*> choices = BuildSheetPlanChoices();
    for (const plans::PlanRecord* record : choices) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record->szName));
        g_ComboPlans.push_back(record->guid);
    }
    int index = FindSheetChoice(choices, wanted);
    if (keep != nullptr && index >= 0 && !IsEqualGUID(choices[static_cast<size_t>(index)]->guid, wanted)) {
        index = FindSheetChoice(choices, plans::activepsi.guid);
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowSelectedPlan(page);
}

// The plan choice and the plan editor's button.
void EnablePlanControls(HWND page, bool enable) noexcept {
    EnableWindow(GetDlgItem(page, IDC_PLAN_COMBO), enable ? TRUE : FALSE);
    EnableWindow(GetDlgItem(page, IDC_PLAN_DETAILS), enable ? TRUE : FALSE);
}

void CheckFerrowWindow(HWND page) noexcept {
    if (FerrowWindowOpen()) {
        EnablePlanControls(page, false);
        SetTimer(page, IDT_FERROW_WATCH, kFerrowWatchMs, nullptr);
    }
}

void OnTimer(HWND page, UINT_PTR id) noexcept {
    if (id == IDT_SHEET_REFRESH) {
        const GUID* selected = SelectedPlan(page);
        const GUID keep = selected != nullptr ? *selected : GUID{};
        plans::RefreshPlanList();
        FillPlanCombo(page, selected != nullptr ? &keep : nullptr);
    } else if (id == IDT_FERROW_WATCH && !FerrowWindowOpen()) {
        KillTimer(page, IDT_FERROW_WATCH);
        EnablePlanControls(page, true);
    }
}

// Button 1033: the plan editor for the selected plan; the combo box is refilled afterwards.
void OnPlanDetails(HWND page) noexcept {
    const GUID* selected = SelectedPlan(page);
    if (selected == nullptr) {
        return;
    }
    const GUID plan = *selected;
    OpenPlanEditor(page, plan, 0);
    plans::RefreshPlanList();
    FillPlanCombo(page, &plan);
}

void OnInitPage(HWND page) noexcept {
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) == 0) {
        ShowWindow(GetDlgItem(page, IDC_BATTERY_TIME), SW_HIDE);
        ShowWindow(GetDlgItem(page, IDC_BATTERY_TIME_LABEL), SW_HIDE);
    }
    g_Gauges.Load(page, IDC_PERFORMANCE_BAR1);
    plans::RefreshPlanList();
    FillPlanCombo(page, nullptr);
    SetTimer(page, IDT_SHEET_REFRESH, kSheetRefreshMs, nullptr);
}

LRESULT OnNotify(HWND page, const NMHDR* header) noexcept {
    switch (header->code) {
    case PSN_SETACTIVE:
        CheckFerrowWindow(page);
        return 0;
    case PSN_APPLY:
        ApplySheetPlan(page, SelectedPlan(page));
        KillTimer(page, IDT_SHEET_REFRESH);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    default:
        return 0;
    }
}

INT_PTR CALLBACK PlanPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitPage(page);
        return TRUE;
    case WM_TIMER:
        OnTimer(page, wParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PLAN_COMBO && HIWORD(wParam) == CBN_SELCHANGE) {
            ShowSelectedPlan(page);
            PropSheet_Changed(GetParent(page), page);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_PLAN_DETAILS) {
            OnPlanDetails(page);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_APP_SETTINGS_REFRESH:
        // The plan changed (or the power status): the main window has rebuilt the plan list.
        FillPlanCombo(page, nullptr);
        return TRUE;
    case WM_SYSCOMMAND:
    case WM_HELP:
        return OpenDialogHelp(message, wParam, kHelpTopicPlanPage) ? TRUE : FALSE;
    case WM_DESTROY:
        KillTimer(page, IDT_SHEET_REFRESH);
        KillTimer(page, IDT_FERROW_WATCH);
        g_ComboPlans.clear();
        GaugeIcons::ClearRow(page, IDC_PERFORMANCE_BAR1);
        GaugeIcons::ClearRow(page, IDC_SAVING_BAR1);
        g_Gauges = GaugeIcons{};
        return FALSE;
    default:
        return FALSE;
    }
}

// The sheet frame passes the main window's refresh request and the "?" caption button on to
// its page (each page opens its own help topic).
LRESULT CALLBACK SheetFrameProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_APP_SETTINGS_REFRESH ||
        (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CONTEXTHELP)) {
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        if (page != nullptr) {
            SendMessageW(page, message, wParam, lParam);
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(sheet, SheetFrameProc, kSheetSubclassId);
    }
    return DefSubclassProc(sheet, message, wParam, lParam);
}

// The open sheet is the program's settings window: a second request brings it to the front.
int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) {
        g_MainState.hSettingsDialog = sheet;
        SetWindowSubclass(sheet, SheetFrameProc, kSheetSubclassId, 0);
        const POINT corner = g_MainState.ptDialog;
        if (corner.x != 0 || corner.y != 0) {
            RECT frame{};
            GetWindowRect(sheet, &frame);
            const POINT topLeft = ui::PlaceAgainstCorner(frame, corner);
            SetWindowPos(sheet, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    return 0;
}

PROPSHEETPAGEW SheetPage(UINT templateId, DLGPROC procedure) noexcept {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof(page);
    page.hInstance = g_hInstance;
    page.pszTemplate = MAKEINTRESOURCEW(templateId);
    page.pfnDlgProc = procedure;
    return page;
}

}  // namespace

std::vector<const plans::PlanRecord*> BuildSheetPlanChoices() {
    return plans::ListedPlans();
}

int FindSheetChoice(const std::vector<const plans::PlanRecord*>& choices, const GUID& active) noexcept {
    for (size_t i = 0; i < choices.size(); ++i) {
        if (IsEqualGUID(choices[i]->guid, active)) {
            return static_cast<int>(i);
        }
    }
    return choices.empty() ? -1 : 0;
}

void SetSheetActivateFn(ActivateSchemeFn fn) noexcept {
    g_pfnActivate = fn != nullptr ? fn : DefaultActivate;
}

DWORD ApplySheetPlan(HWND owner, const GUID* selected) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ApplySheetPlan", L"Enter");
    if (FerrowWindowOpen()) {
        ShowText(owner, IDS_FERROW_RUNNING, MB_ICONWARNING | MB_OK);
        LOG_TRACE(TRACE_LEVEL_APP, L"ApplySheetPlan", L"Exit - Error! retval:%08x", ERROR_BUSY);
        return ERROR_BUSY;
    }
    plans::PlanListLock lock(kLockDetailApply);
    if (!lock.Owned()) {
        LOG_TRACE(TRACE_LEVEL_APP, L"ApplySheetPlan", L"Exit - Error! retval:%08x", ERROR_TIMEOUT);
        return ERROR_TIMEOUT;
    }
    if (selected == nullptr) {
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, ERROR_INVALID_INDEX, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, L"ApplySheetPlan", L"Exit - Error! retval:%08x", ERROR_INVALID_INDEX);
        return ERROR_INVALID_INDEX;
    }
    const GUID plan = *selected;
    const DWORD status = g_pfnActivate(plan);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
        LOG_TRACE(TRACE_LEVEL_APP, L"ApplySheetPlan", L"Exit - Error! retval:%08x", status);
        return status;
    }
    plans::RefreshCurrentPlan(plan);
    plans::PostPlanChanged(0);
    ApplyPlanBrightness(L"ApplySheetPlan");
    LOG_TRACE(TRACE_LEVEL_APP, L"ApplySheetPlan", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

INT_PTR OpenPlanSheet(HWND parent) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"OpenPlanSheet", L"Enter");
    static wchar_t s_caption[kCaptionChars];
    s_caption[0] = L'\0';
    LoadStringW(g_hInstance, IDS_PLAN_SHEET_CAPTION, s_caption, static_cast<int>(ARRAYSIZE(s_caption)));
    // The plan page, then with a battery the automatic change page. The device page (506) is
    // left out: the program keeps no device display-item list to fill it.
    PROPSHEETPAGEW pages[kSheetPagesMax]{};
    UINT count = 0;
    pages[count++] = SheetPage(IDD_PLAN_SETTINGS_PAGE, PlanPageProc);
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) != 0) {
        pages[count++] = SheetPage(IDD_AUTO_SETTINGS, battery::AutoSettingsPageProc);
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_NOAPPLYNOW;
    header.hwndParent = parent;
    header.hInstance = g_hInstance;
    header.pszCaption = s_caption;
    header.nPages = count;
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    const INT_PTR result = PropertySheetW(&header);
    LOG_TRACE(TRACE_LEVEL_APP, L"OpenPlanSheet", L"Exit retval:%08x", static_cast<unsigned>(result));
    return result;
}

}  // namespace app
