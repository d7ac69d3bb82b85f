#include "app/mode_dialog.h"

#include <commctrl.h>
#include <strsafe.h>

#include <utility>
#include <vector>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/eco_level.h"
#include "app/gauge_icons.h"
#include "app/help.h"
#include "app/hotkey_dialog.h"
#include "app/launchers.h"
#include "app/plan_editor.h"
#include "app/main_state.h"
#include "app/tray_icon.h"
#include "app/ui_state.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "drivers/eco_led.h"
#include "peakcut/peakcut.h"
#include "peakcut/peakshift.h"
#include "plans/mode_led.h"
#include "plans/factory_defaults.h"
#include "plans/peak_cut_values.h"
#include "plans/plans.h"
#include "resources/resource.h"

namespace {

constexpr const wchar_t* kTraceName = L"ModeDlgProc";
constexpr int kSlotIdStride = 10;
constexpr size_t kTextChars = 512;
// Error 48 details of the dialog's waits on the plan-list lock.
constexpr DWORD kLockDetailApply = 9;
constexpr DWORD kLockDetailFill = 20;
constexpr DWORD kLockDetailShow = 21;
constexpr DWORD kLockDetailRefresh = 23;
constexpr DWORD kLockDetailEditorOpen = 11;
constexpr UINT kErrDeletedPlan = IDS_MODE_DELETED_PLAN;

struct ModeDialogState {
    HWND hwnd = nullptr;
    bool threeMode = true;
    size_t slots = 3;
    GUID working[plans::kMaxPinnedPlans] = {};
    GUID applied[plans::kMaxPinnedPlans] = {};
    std::vector<GUID> offered[plans::kMaxPinnedPlans];  // item data of each combo box
    INT32 appliedLedNo = 0;
    common::UniqueIcon icons[plans::kMaxPinnedPlans];  // shown by the slots' icon controls
    GaugeIcons gauges;                                  // the stars of every slot's gauges
};

ModeDialogState g_Dialog;
ModeDialogMessageFn g_pfnMessage = nullptr;

int Message(HWND owner, UINT id, UINT type) {
    if (g_pfnMessage != nullptr) {
        return g_pfnMessage(owner, id, type);
    }
    wchar_t text[kTextChars] = L"";
    LoadStringW(g_hInstance, id, text, static_cast<int>(ARRAYSIZE(text)));
    return MessageBoxW(owner, text, g_szProgramTitle, type);
}

bool PeakCutLocksSlots() noexcept {
    const DWORD level = plans::g_dwPeakCutLevel.load();
    return level == 1 || level == 2;
}

HWND Item(int id) noexcept { return GetDlgItem(g_Dialog.hwnd, id); }
HWND Combo(size_t slot) noexcept { return Item(IDC_MODE_COMBO1 + static_cast<int>(slot)); }

void EnableApply(bool enable) noexcept { EnableWindow(Item(IDC_MODE_APPLY), enable ? TRUE : FALSE); }
bool ApplyEnabled() noexcept { return IsWindowEnabled(Item(IDC_MODE_APPLY)) != FALSE; }

// The gauges (library answer, "Indicator" or computed from the plan's values): lit and unlit
// stars; every star 534 when the plan's values cannot be read; none for "not set".
void ShowGauges(size_t slot, const plans::PlanRecord* record) noexcept {
    const int base = static_cast<int>(slot) * kSlotIdStride;
    ShowPlanGauges(g_Dialog.gauges, g_Dialog.hwnd, IDC_MODE_PERFORMANCE1 + base, IDC_MODE_SAVING1 + base, record);
}

// The slot's icon: the dialog icon of the plan's "IconNo" with the slot's mode number; none for
// "not set". The former icon is destroyed once the control shows the new one.
void ShowSlotIcon(size_t slot, const plans::PlanRecord* record) noexcept {
    common::UniqueIcon icon;
    if (record != nullptr) {
        const int row = tray::IconRowIndexIn(tray::kEcoIconTable, record->nIconNo);
        const int mode = static_cast<int>(plans::SlotToLedNo(static_cast<int>(slot) + 1, g_Dialog.threeMode));
        const int id = tray::kEcoIconTable[row].nDialogIcon + mode;
        icon.Reset(static_cast<HICON>(
            LoadImageW(g_hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR | LR_DEFAULTSIZE)));
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"slot %u icon %d", static_cast<unsigned>(slot + 1), id);
    }
    SendDlgItemMessageW(g_Dialog.hwnd, IDC_MODE_ICON1 + static_cast<int>(slot), STM_SETICON,
                        reinterpret_cast<WPARAM>(icon.Get()), 0);
    g_Dialog.icons[slot] = std::move(icon);
}

// Shows slot `slot` with the plan of the working table (or "not set").
void ShowSlot(size_t slot) noexcept {
    plans::PlanRecord record{};
    record.guid = g_Dialog.working[slot];
    plans::ReadPlanRecord(&record);
    const bool exists = !plans::IsNullGuid(record.guid);
    const bool locked = PeakCutLocksSlots();
    EnableWindow(Item(IDC_MODE_EDITOR1 + static_cast<int>(slot)), exists && !locked ? TRUE : FALSE);
    EnableWindow(Combo(slot), locked ? FALSE : TRUE);
    if (exists) {
        SetDlgItemTextW(g_Dialog.hwnd, IDC_MODE_DESCRIPTION1 + static_cast<int>(slot), record.szDescription);
    } else {
        wchar_t text[kTextChars] = L"";
        LoadStringW(g_hInstance, g_Dialog.threeMode ? IDS_MODE_NOT_SET_THREE : IDS_MODE_NOT_SET_TWO, text,
                    static_cast<int>(ARRAYSIZE(text)));
        SetDlgItemTextW(g_Dialog.hwnd, IDC_MODE_DESCRIPTION1 + static_cast<int>(slot), text);
    }
    ShowGauges(slot, exists ? &record : nullptr);
    ShowSlotIcon(slot, exists ? &record : nullptr);
    const int timeId = IDC_MODE_BATTERY_TIME1 + static_cast<int>(slot);
    if (exists) {
        battery::SetPlanBatteryTime(g_Dialog.hwnd, timeId, record.guid, false);
    } else {
        wchar_t text[32] = L"";
        LoadStringW(g_hInstance, IDS_MODE_NO_TIME, text, static_cast<int>(ARRAYSIZE(text)));
        SetDlgItemTextW(g_Dialog.hwnd, timeId, text);
    }
}

// Refills every combo box (listed pinned plans, other plans, then "not set") and selects the
// working table; a working plan no longer offered becomes "not set".
void FillCombos(DWORD lockDetail) noexcept {
    plans::PlanListLock lock(lockDetail);
    if (!lock.Owned()) {
        return;
    }
    const std::vector<const plans::PlanRecord*> choices = plans::ListedPlans();
    wchar_t notSet[64] = L"";
    LoadStringW(g_hInstance, IDS_NO_PLAN, notSet, static_cast<int>(ARRAYSIZE(notSet)));
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        HWND combo = Combo(slot);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        g_Dialog.offered[slot].clear();
        LRESULT selection = -1;
        for (const plans::PlanRecord* record : choices) {
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record->szName));
            if (IsEqualGUID(record->guid, g_Dialog.working[slot])) {
                selection = static_cast<LRESULT>(g_Dialog.offered[slot].size());
            }
            g_Dialog.offered[slot].push_back(record->guid);
        }
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(notSet));
        if (selection < 0) {
            selection = static_cast<LRESULT>(g_Dialog.offered[slot].size());
            g_Dialog.working[slot] = GUID_NULL;
        }
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
        ShowSlot(slot);
    }
}

void ReadWorkingTable() noexcept {
    plans::ModeSlot slots[plans::kMaxPinnedPlans] = {};
    int found = 0;
    for (GUID& g : g_Dialog.working) {
        g = GUID_NULL;
    }
    if (plans::FindModeSlots(slots, &found)) {
        for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
            g_Dialog.working[slot] = slots[slot].guid;
        }
    }
}

void ShowChangeMessageBox() noexcept {
    HWND box = Item(IDC_MODE_CHANGE_MESSAGE);
    if (g_Dialog.threeMode) {
        return;  // hidden in three-mode operation
    }
    plans::PlanRecord low{};
    low.guid = plans::g_Settings.guidLow;
    plans::ReadPlanRecord(&low);
    wchar_t format[kTextChars] = L"";
    wchar_t text[kTextChars] = L"";
    LoadStringW(g_hInstance, IDS_MODE_CHANGE_MESSAGE, format, static_cast<int>(ARRAYSIZE(format)));
    StringCchPrintfW(text, ARRAYSIZE(text), format, low.szName);
    SetWindowTextW(box, text);
    SendMessageW(box, BM_SETCHECK, plans::ReadPlanChangeWarning() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool ChangeMessageChecked() noexcept {
    return SendMessageW(Item(IDC_MODE_CHANGE_MESSAGE), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// One tool tip per button: the editor buttons, restore, hotkey, automatic change, peak shift.
void CreateTooltips(HWND hwnd) {
    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, g_hInstance, nullptr);
    if (tips == nullptr) {
        return;
    }
    struct Tip {
        int id;
        UINT text;
    };
    const Tip common[] = {{IDC_MODE_EDITOR1, IDS_TIP_EDITOR},
                          {IDC_MODE_EDITOR1 + 1, IDS_TIP_EDITOR},
                          {IDC_MODE_EDITOR1 + 2, IDS_TIP_EDITOR},
                          {IDC_MODE_RESTORE, static_cast<UINT>(g_Dialog.threeMode ? IDS_TIP_RESTORE_THREE : IDS_TIP_RESTORE_TWO)},
                          {IDC_MODE_HOTKEY, IDS_TIP_HOTKEY},
                          {IDC_MODE_AUTO_CHANGE, IDS_TIP_AUTO_CHANGE},
                          {IDC_MODE_PEAK_SHIFT, IDS_TIP_PEAK_SHIFT}};
    for (const Tip& tip : common) {
        HWND control = GetDlgItem(hwnd, tip.id);
        if (control == nullptr) {
            continue;
        }
        TOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd;
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.hinst = g_hInstance;
        info.lpszText = MAKEINTRESOURCEW(tip.text);
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void SetTextFromTable(HWND hwnd, int control, UINT id) {
    wchar_t text[kTextChars] = L"";
    LoadStringW(g_hInstance, id, text, static_cast<int>(ARRAYSIZE(text)));
    SetDlgItemTextW(hwnd, control, text);
}

// The dialog with its lower-right corner at the dialog position (none: where the template puts it).
void PlaceAtDialogPosition(HWND hwnd, const POINT* corner) {
    if (corner == nullptr || (corner->x == 0 && corner->y == 0)) {
        return;
    }
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    const POINT topLeft = ui::PlaceAgainstCorner(frame, *corner);
    SetWindowPos(hwnd, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnInitDialog(HWND hwnd, const POINT* corner) {
    g_Dialog.hwnd = hwnd;
    g_MainState.hSettingsDialog = hwnd;
    g_Dialog.threeMode = plans::IsThreeMode(plans::g_Settings.blob.dwFlagWord);
    g_Dialog.slots = static_cast<size_t>(plans::ModeSlotCount(g_Dialog.threeMode));
    g_Dialog.gauges.Load(hwnd, IDC_MODE_PERFORMANCE1);
    plans::RefreshPlanList();
    ReadWorkingTable();
    FillCombos(kLockDetailFill);
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        g_Dialog.applied[slot] = g_Dialog.working[slot];
    }
    g_Dialog.appliedLedNo = plans::activepsi.nLedNo;
    const int activeSlot = plans::LedNoToSlot(static_cast<DWORD>(plans::activepsi.nLedNo), g_Dialog.threeMode);
    if (activeSlot > 0) {
        SetFocus(Combo(static_cast<size_t>(activeSlot - 1)));
    }
    if ((plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) == 0) {
        for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
            ShowWindow(Item(IDC_MODE_BATTERY_TIME1 + static_cast<int>(slot)), SW_HIDE);
            ShowWindow(Item(IDC_MODE_BATTERY_LABEL1 + static_cast<int>(slot)), SW_HIDE);
        }
    }
    ShowChangeMessageBox();
    if (g_Dialog.threeMode) {
        // The templates explain the ECO button of the two-mode machines; the hotkey and the
        // third mode are explained here.
        SetTextFromTable(hwnd, IDC_MODE_EXPLANATION1, IDS_MODE_EXPLANATION1_THREE);
        SetTextFromTable(hwnd, IDC_MODE_EXPLANATION2, IDS_MODE_EXPLANATION2_THREE);
    }
    if (!drivers::LedDeviceOpen()) {
        SetTextFromTable(hwnd, IDC_MODE_LED_CAPTION, IDS_MODE_LED_COLOR);
    }
    // The peak-shift settings are offered only where the link library is installed.
    wchar_t library[MAX_PATH];
    if (peakcut::LibraryPath(library, ARRAYSIZE(library)) &&
        GetFileAttributesW(library) != INVALID_FILE_ATTRIBUTES) {
        ShowWindow(Item(IDC_MODE_PEAK_SHIFT), SW_SHOW);
    }
    CreateTooltips(hwnd);
    EnableApply(false);
    SetTimer(hwnd, kModeDialogRefreshTimer, kModeDialogRefreshMs, nullptr);
    PlaceAtDialogPosition(hwnd, corner);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_INITDIALOG: %u slots", static_cast<unsigned>(g_Dialog.slots));
}

void OnSelectionChange(size_t slot) {
    const LRESULT index = SendMessageW(Combo(slot), CB_GETCURSEL, 0, 0);
    const std::vector<GUID>& offered = g_Dialog.offered[slot];
    g_Dialog.working[slot] =
        index >= 0 && static_cast<size_t>(index) < offered.size() ? offered[static_cast<size_t>(index)] : GUID_NULL;
    plans::PlanListLock lock(kLockDetailApply);
    if (lock.Owned()) {
        ShowSlot(slot);
    }
    EnableApply(true);
}

// Apply and OK: false when the table was refused and the dialog stays as it is.
bool ApplyTable() {
    {
        plans::PlanListLock lock(kLockDetailApply);
        if (lock.Owned()) {
            if (g_Dialog.threeMode) {
                for (size_t a = 0; a < g_Dialog.slots; ++a) {
                    for (size_t b = a + 1; b < g_Dialog.slots; ++b) {
                        if (!plans::IsNullGuid(g_Dialog.working[a]) &&
                            IsEqualGUID(g_Dialog.working[a], g_Dialog.working[b])) {
                            Message(g_Dialog.hwnd, IDS_MODE_SAME_PLAN, MB_ICONWARNING | MB_OK);
                            return false;
                        }
                    }
                }
            }
            bool deleted = false;
            for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
                plans::PlanRecord record{};
                record.guid = g_Dialog.working[slot];
                plans::ReadPlanRecord(&record);
                if (!plans::IsNullGuid(g_Dialog.working[slot]) && plans::IsNullGuid(record.guid)) {
                    g_Dialog.working[slot] = GUID_NULL;
                    deleted = true;
                }
            }
            if (deleted) {
                WriteErrorLog(kErrDeletedPlan, 0, ERRLOG_FILE);
                plans::RefreshPlanList();
                FillCombos(kLockDetailRefresh);
                Message(g_Dialog.hwnd, IDS_MODE_DELETED_PLAN, MB_ICONWARNING | MB_OK);
            }
        }
    }
    GUID table[plans::kMaxPinnedPlans] = {};
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        table[slot] = g_Dialog.working[slot];
    }
    plans::AssignModes(table);
    bool changed = false;
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        changed = changed || !IsEqualGUID(g_Dialog.applied[slot], g_Dialog.working[slot]);
        g_Dialog.applied[slot] = g_Dialog.working[slot];
    }
    if (changed) {
        plans::RefreshCurrentPlan(plans::kActiveSchemeMarker);
    }
    if (!plans::IsNullGuid(plans::activepsi.guid) && plans::activepsi.nLedNo != g_Dialog.appliedLedNo) {
        plans::RefreshLedFromCurrentPlan();
        g_Dialog.appliedLedNo = plans::activepsi.nLedNo;
    }
    // The message check box exists only in two-mode operation; the three-mode dialog keeps the
    // stored value instead of writing its hidden, unchecked box.
    if (!g_Dialog.threeMode && plans::g_Settings.dwPwrDlgActivate != 0) {
        plans::WritePlanChangeWarning(ChangeMessageChecked());
    }
    return true;
}

void OnRestore() {
    plans::ModeRestoreTable table{};
    table.threeMode = g_Dialog.threeMode;
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        table.offered[slot] = g_Dialog.offered[slot];
        table.selected[slot] = g_Dialog.working[slot];
    }
    plans::ModeRestoreUi ui;
    ui.ask = [](void*, UINT id) { return Message(g_Dialog.hwnd, id, MB_ICONQUESTION | MB_YESNO) == IDYES; };
    ui.warn = [](void*, UINT id) { Message(g_Dialog.hwnd, id, MB_ICONWARNING | MB_OK); };
    const plans::ModeRestoreResult result = plans::RestoreModeTable(&table, ui);
    if (result == plans::ModeRestoreResult::LockTimedOut || result == plans::ModeRestoreResult::Declined) {
        return;
    }
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        g_Dialog.working[slot] = table.selected[slot];
    }
    FillCombos(kLockDetailRefresh);
    EnableApply(true);
}

// The slot's editor button: the plan editor for the selected plan; a plan it kept (a new one or
// another chosen in it) goes into the slot.
void OnEditor(size_t slot) {
    GUID plan = GUID_NULL;
    {
        plans::PlanListLock lock(kLockDetailEditorOpen);
        if (!lock.Owned()) {
            return;
        }
        plans::PlanRecord record{};
        record.guid = g_Dialog.working[slot];
        plans::ReadPlanRecord(&record);
        plan = record.guid;
    }
    if (plans::IsNullGuid(plan)) {
        return;
    }
    const int mode = static_cast<int>(plans::SlotToLedNo(static_cast<int>(slot) + 1, g_Dialog.threeMode));
    const INT_PTR result = OpenPlanEditor(g_Dialog.hwnd, plan, mode);
    plans::RefreshPlanList();
    if (HIWORD(result) != 0) {
        const size_t index = LOWORD(result);
        if (index < plans::g_PlanList.size() && !IsEqualGUID(plans::g_PlanList[index].guid, g_Dialog.working[slot])) {
            g_Dialog.working[slot] = plans::g_PlanList[index].guid;
            EnableApply(true);
        }
    }
    FillCombos(kLockDetailRefresh);
}

void OnCancel() {
    if (ApplyEnabled() && Message(g_Dialog.hwnd, IDS_DISCARD_CHANGES, MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return;
    }
    EndDialog(g_Dialog.hwnd, 0);
}

void OnCommand(WORD id, WORD code) {
    if (id >= IDC_MODE_COMBO1 && id < IDC_MODE_COMBO1 + static_cast<int>(g_Dialog.slots) && code == CBN_SELCHANGE) {
        OnSelectionChange(static_cast<size_t>(id - IDC_MODE_COMBO1));
        return;
    }
    if (id >= IDC_MODE_EDITOR1 && id < IDC_MODE_EDITOR1 + static_cast<int>(g_Dialog.slots)) {
        OnEditor(static_cast<size_t>(id - IDC_MODE_EDITOR1));
        return;
    }
    switch (id) {
    case IDC_MODE_APPLY:
        if (ApplyTable()) {
            EnableApply(false);
        }
        break;
    case IDOK:
        if (ApplyTable()) {
            EndDialog(g_Dialog.hwnd, 1);
        }
        break;
    case IDCANCEL:
        OnCancel();
        break;
    case IDC_MODE_RESTORE:
        OnRestore();
        break;
    case IDC_MODE_HOTKEY:
        hotkey::ShowHotkeyDialog(g_Dialog.hwnd);
        break;
    case IDC_MODE_POWER_OPTIONS:
        LaunchPowerOptions();
        break;
    case IDC_MODE_PEAK_SHIFT:
        peakcut::ShowPeakShiftDialog(g_Dialog.hwnd, g_Dialog.threeMode);
        break;
    case IDC_MODE_CHANGE_MESSAGE:
        if (ChangeMessageChecked() != (plans::ReadPlanChangeWarning() == 1)) {
            EnableApply(true);
        }
        break;
    default:
        break;
    }
}

void OnRefresh() {
    plans::RefreshPlanList();
    FillCombos(kLockDetailRefresh);
}

void OnDestroy() {
    KillTimer(g_Dialog.hwnd, kModeDialogRefreshTimer);
    for (size_t slot = 0; slot < g_Dialog.slots; ++slot) {
        SendDlgItemMessageW(g_Dialog.hwnd, IDC_MODE_ICON1 + static_cast<int>(slot), STM_SETICON, 0, 0);
        const int base = static_cast<int>(slot) * kSlotIdStride;
        GaugeIcons::ClearRow(g_Dialog.hwnd, IDC_MODE_PERFORMANCE1 + base);
        GaugeIcons::ClearRow(g_Dialog.hwnd, IDC_MODE_SAVING1 + base);
    }
    if (g_MainState.hSettingsDialog == g_Dialog.hwnd) {
        g_MainState.hSettingsDialog = nullptr;
    }
    g_Dialog = ModeDialogState{};
}

INT_PTR CALLBACK ModeDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(hwnd, reinterpret_cast<const POINT*>(lParam));
        return FALSE;  // the focus was set to the active mode's combo box
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kModeDialogRefreshTimer) {
            OnRefresh();
        }
        return TRUE;
    case WM_APP_SETTINGS_REFRESH:
        OnRefresh();
        return TRUE;
    case WM_SYSCOMMAND:
    case WM_HELP:
        return OpenDialogHelp(message, wParam, kHelpTopicEcoSettings) ? TRUE : FALSE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void SetModeDialogMessageFn(ModeDialogMessageFn fn) noexcept { g_pfnMessage = fn; }

HWND ModeDialogWindow() noexcept { return g_Dialog.hwnd; }

INT_PTR OpenModeDialog(HWND parent, POINT corner) {
    if (g_Dialog.hwnd != nullptr && IsWindow(g_Dialog.hwnd)) {
        SetForegroundWindow(g_Dialog.hwnd);
        return -1;
    }
    const bool three = plans::IsThreeMode(plans::g_Settings.blob.dwFlagWord);
    return DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(three ? IDD_MODE_SETTINGS_THREE : IDD_MODE_SETTINGS_TWO),
                           parent, ModeDialogProc, reinterpret_cast<LPARAM>(&corner));
}
