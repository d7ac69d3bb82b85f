#include "plans/power_values.h"
#include "common/registry.h"
#include "app/plan_editor.h"

#include <commctrl.h>
#include <powrprof.h>
#include <strsafe.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/help.h"
#include "app/main_state.h"
#include "app/editor_brightness.h"
#include "app/mode_dialog.h"
#include "app/range_slider.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "display/display.h"
#include "meter/panel_window.h"
#include "plans/editor_values.h"
#include "plans/factory_defaults.h"
#include "plans/mode_led.h"
#include "plans/mode_switch.h"
#include "plans/plans.h"
#include "resources/resource.h"

namespace {

constexpr const wchar_t* kTraceName = L"PlanEditDlgProc";
constexpr size_t kTextChars = 512;
constexpr size_t kLabelChars = 64;
constexpr DWORD kLockDetailEditor = 9;
constexpr DWORD kLockDetailName = 14;
constexpr DWORD kLockDetailRestore = 17;
constexpr UINT kErrSnapshotRead = IDS_ERR_SNAPSHOT_WRITE;  // 57: reading or saving a snapshot
constexpr int kWirelessLastPosition = 3;
constexpr int kGraphicsLastPosition = 1;
constexpr INT32 kNewPlanIcon = 10;
constexpr int kIconButtons = 12;

using plans::PowerValues;
using plans::TimeoutList;

// The timeout sliders (hibernate last: it shows the total idle time after standby).
struct TimeoutControl {
    int id;
    TimeoutList list;
    DWORD PowerValues::*field;
};
constexpr TimeoutControl kTimeouts[] = {
    {IDC_EDITOR_MONITOR_AC, TimeoutList::Standard, &PowerValues::dwMonitorAC},
    {IDC_EDITOR_MONITOR_DC, TimeoutList::Standard, &PowerValues::dwMonitorDC},
    {IDC_EDITOR_DISK_AC, TimeoutList::Standard, &PowerValues::dwDiskAC},
    {IDC_EDITOR_DISK_DC, TimeoutList::Standard, &PowerValues::dwDiskDC},
    {IDC_EDITOR_STANDBY_AC, TimeoutList::Standard, &PowerValues::dwStandbyAC},
    {IDC_EDITOR_STANDBY_DC, TimeoutList::Standard, &PowerValues::dwStandbyDC},
    {IDC_EDITOR_HIBERNATE_AC, TimeoutList::Hibernate, &PowerValues::dwHibernateAC},
    {IDC_EDITOR_HIBERNATE_DC, TimeoutList::Hibernate, &PowerValues::dwHibernateDC},
    {IDC_EDITOR_DIM_AC, TimeoutList::Standard, &PowerValues::dwDimTimeoutAC},
    {IDC_EDITOR_DIM_DC, TimeoutList::Standard, &PowerValues::dwDimTimeoutDC},
};
constexpr size_t kTimeoutCount = ARRAYSIZE(kTimeouts);
constexpr size_t kHibernateAC = 6;
constexpr size_t kStandbyAC = 4;

struct EditorState {
    HWND hwnd = nullptr;
    GUID plan = GUID_NULL;
    GUID active = GUID_NULL;
    int slot = 0;
    plans::PlanRecord record{};
    PowerValues values{};
    plans::TimeoutSlider sliders[kTimeoutCount];
    BYTE presets[plans::kMaxPresetEntries] = {};
    size_t presetCount = 0;
    std::vector<GUID> combo;
    bool kept = false;
};

EditorState g_Editor;
EditorMessageFn g_pfnMessage = nullptr;

int Message(HWND owner, UINT id, UINT type) {
    if (g_pfnMessage != nullptr) {
        return g_pfnMessage(owner, id, type);
    }
    wchar_t format[kTextChars] = L"";
    wchar_t text[kTextChars] = L"";
    LoadStringW(g_hInstance, id, format, static_cast<int>(ARRAYSIZE(format)));
    StringCchPrintfW(text, ARRAYSIZE(text), format, static_cast<int>(plans::kMaxEditedNameChars));
    return MessageBoxW(owner, text, g_szProgramTitle, type);
}

HWND Item(int id) noexcept { return GetDlgItem(g_Editor.hwnd, id); }
int SliderPos(int id) noexcept { return static_cast<int>(SendMessageW(Item(id), TBM_GETPOS, 0, 0)); }
void SetSlider(int id, int last, int pos) noexcept {
    SendMessageW(Item(id), TBM_SETRANGE, TRUE, MAKELPARAM(0, last));
    SendMessageW(Item(id), TBM_SETPOS, TRUE, pos);
}
void EnableApply(bool enable) noexcept { EnableWindow(Item(IDC_MODE_APPLY), enable ? TRUE : FALSE); }
bool ApplyEnabled() noexcept { return IsWindowEnabled(Item(IDC_MODE_APPLY)) != FALSE; }
bool Has(DWORD flag) noexcept { return (plans::g_Settings.blob.dwFlagWord & flag) != 0; }

void LabelOf(const plans::TimeoutSlider& slider, size_t pos, wchar_t* text, size_t cch) {
    text[0] = L'\0';
    if (pos >= slider.positions.size()) {
        return;
    }
    const DWORD seconds = slider.positions[pos];
    wchar_t format[kLabelChars] = L"";
    if (slider.hasExtra && pos + 1 == slider.positions.size() && seconds != 0) {
        wchar_t hours[kLabelChars] = L"";
        wchar_t minutes[kLabelChars] = L"";
        LoadStringW(g_hInstance, IDS_EXTRA_HOURS, hours, static_cast<int>(ARRAYSIZE(hours)));
        LoadStringW(g_hInstance, IDS_EXTRA_MINUTES, minutes, static_cast<int>(ARRAYSIZE(minutes)));
        LoadStringW(g_hInstance, IDS_EXTRA_JOIN, format, static_cast<int>(ARRAYSIZE(format)));
        plans::FormatExtraLabel(seconds, hours, minutes, format, text, cch);
    } else {
        const plans::TimeoutLabel label = plans::LabelOfStep(seconds);
        LoadStringW(g_hInstance, label.stringId, format, static_cast<int>(ARRAYSIZE(format)));
        StringCchPrintfW(text, cch, format, static_cast<int>(label.number));
    }
}

void ShowTimeoutLabel(size_t index) {
    wchar_t text[kLabelChars] = L"";
    LabelOf(g_Editor.sliders[index], static_cast<size_t>(SliderPos(kTimeouts[index].id)), text, ARRAYSIZE(text));
    SetDlgItemTextW(g_Editor.hwnd, kTimeouts[index].id + 1, text);
}

// The label beside a processor slider names the preset at its position.
void ShowPresetLabel(int sliderId, int labelId) {
    const size_t pos = static_cast<size_t>(SliderPos(sliderId));
    wchar_t text[kLabelChars] = L"";
    if (pos < g_Editor.presetCount) {
        LoadStringW(g_hInstance, plans::PresetLabelId(g_Editor.presets[pos]), text, static_cast<int>(ARRAYSIZE(text)));
    }
    SetDlgItemTextW(g_Editor.hwnd, labelId, text);
}

void ShowPresetLabels() {
    ShowPresetLabel(IDC_EDITOR_PROCESSOR_AC, IDC_EDITOR_PROCESSOR_AC_LABEL);
    ShowPresetLabel(IDC_EDITOR_PROCESSOR_DC, IDC_EDITOR_PROCESSOR_DC_LABEL);
}

int PresetPosition(BYTE code) noexcept {
    for (size_t i = 0; i < g_Editor.presetCount; ++i) {
        if (g_Editor.presets[i] == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FillCombo() {
    plans::PlanListLock lock(kLockDetailEditor);
    if (!lock.Owned()) {
        return;
    }
    HWND combo = Item(IDC_EDITOR_PLAN);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    g_Editor.combo.clear();
    for (const plans::PlanRecord* record : plans::ListedPlans()) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record->szName));
        g_Editor.combo.push_back(record->guid);
    }
}

void SelectInCombo(const GUID& plan) {
    for (size_t i = 0; i < g_Editor.combo.size(); ++i) {
        if (IsEqualGUID(g_Editor.combo[i], plan)) {
            SendMessageW(Item(IDC_EDITOR_PLAN), CB_SETCURSEL, i, 0);
            return;
        }
    }
}

void UpdateButtons() {
    const bool snapshot = plans::HasFactorySnapshot(g_Editor.plan);
    EnableWindow(Item(IDC_EDITOR_DELETE), plans::CanDeletePlan(g_Editor.plan, g_Editor.active, snapshot) ? TRUE : FALSE);
    EnableWindow(Item(IDC_EDITOR_RESTORE), snapshot ? TRUE : FALSE);
}

void ShowBatteryLine() {
    if (Has(plans::FLAG_BATTERY)) {
        battery::SetBatteryInfoById(g_Editor.hwnd, g_Editor.plan, false);
    }
}

// Shows the plan's values; false (162 logged) when it no longer exists.
bool ShowPlan(const GUID& plan) {
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    if (plans::IsNullGuid(record.guid)) {
        WriteErrorLogGuid(IDS_ERR_BAD_PLAN_COMMAND, plan, ERRLOG_FILE);
        return false;
    }
    g_Editor.plan = plan;
    g_Editor.record = record;
    g_Editor.values = PowerValues{};
    plans::ReadPowerValues(plan, &g_Editor.values);
    PowerValues& v = g_Editor.values;
    for (size_t i = 0; i < kTimeoutCount; ++i) {
        DWORD value = v.*kTimeouts[i].field;
        if (kTimeouts[i].list == TimeoutList::Hibernate) {
            const DWORD standby = i == kHibernateAC ? v.dwStandbyAC : v.dwStandbyDC;
            value = plans::HibernateTotal(standby, value);
        }
        g_Editor.sliders[i] = plans::MakeTimeoutSlider(kTimeouts[i].list, value);
        const plans::TimeoutSlider& slider = g_Editor.sliders[i];
        SetSlider(kTimeouts[i].id, static_cast<int>(slider.positions.size()) - 1,
                  static_cast<int>(plans::TimeoutPosition(slider, value)));
        ShowTimeoutLabel(i);
    }
    EnableWindow(Item(IDC_EDITOR_STANDBY_AC), IsPwrSuspendAllowed() ? TRUE : FALSE);
    EnableWindow(Item(IDC_EDITOR_STANDBY_DC), IsPwrSuspendAllowed() ? TRUE : FALSE);
    EnableWindow(Item(IDC_EDITOR_HIBERNATE_AC), IsPwrHibernateAllowed() ? TRUE : FALSE);
    EnableWindow(Item(IDC_EDITOR_HIBERNATE_DC), IsPwrHibernateAllowed() ? TRUE : FALSE);
    g_Editor.presetCount = plans::GetProcessorPresetList(plans::g_Settings.bAllowConstant, g_Editor.presets);
    const int last = static_cast<int>(g_Editor.presetCount) - 1;
    const int posAC = PresetPosition(v.ucPresetAC);
    const int posDC = PresetPosition(v.ucPresetDC);
    SetSlider(IDC_EDITOR_PROCESSOR_AC, last, posAC < 0 ? last : posAC);
    SetSlider(IDC_EDITOR_PROCESSOR_DC, last, posDC < 0 ? last : posDC);
    ShowPresetLabels();
    const int wireless = v.bWireless ? SW_SHOW : SW_HIDE;
    ShowWindow(Item(IDC_EDITOR_WIRELESS_AC), wireless);
    ShowWindow(Item(IDC_EDITOR_WIRELESS_DC), wireless);
    SetSlider(IDC_EDITOR_WIRELESS_AC, kWirelessLastPosition, plans::WirelessPositionOfIndex(v.dwWirelessAC));
    SetSlider(IDC_EDITOR_WIRELESS_DC, kWirelessLastPosition, plans::WirelessPositionOfIndex(v.dwWirelessDC));
    const int graphics = v.bGraphics ? SW_SHOW : SW_HIDE;
    ShowWindow(Item(IDC_EDITOR_GRAPHICS_AC), graphics);
    ShowWindow(Item(IDC_EDITOR_GRAPHICS_DC), graphics);
    SetSlider(IDC_EDITOR_GRAPHICS_AC, kGraphicsLastPosition, v.dwGraphicsAC != 0 ? 1 : 0);
    SetSlider(IDC_EDITOR_GRAPHICS_DC, kGraphicsLastPosition, v.dwGraphicsDC != 0 ? 1 : 0);
    ShowWindow(Item(IDC_EDITOR_NPD_CPU), Has(plans::FLAG_CPU_DRIVER) ? SW_SHOW : SW_HIDE);
    SendMessageW(Item(IDC_EDITOR_NPD_CPU), BM_SETCHECK, record.nNpdCPU != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    editor_brightness::Show(g_Editor.hwnd, record, v);
    SetDlgItemTextW(g_Editor.hwnd, IDC_EDITOR_DESCRIPTION, record.szDescription);
    SelectInCombo(plan);
    UpdateButtons();
    ShowBatteryLine();
    EnableApply(false);
    return true;
}

// "NpdCPU" from its check box: 1 or 0 once the box was changed; while it shows what the plan
// holds, the plan's own number (the installation stores other driver modes than 1) is kept.
INT32 CollectNpdCpu(INT32 former) {
    const bool checked = SendMessageW(Item(IDC_EDITOR_NPD_CPU), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (checked == (former != 0)) {
        return former;
    }
    return checked ? 1 : 0;
}

// The values of the sliders; the extra position gives the plan's own value back. The record
// takes the processor driver mode and the display group's values.
PowerValues Collect(plans::PlanRecord* record) {
    PowerValues v = g_Editor.values;
    for (size_t i = 0; i < kTimeoutCount; ++i) {
        const plans::TimeoutSlider& slider = g_Editor.sliders[i];
        const size_t pos = static_cast<size_t>(SliderPos(kTimeouts[i].id));
        v.*kTimeouts[i].field = pos < slider.positions.size() ? slider.positions[pos] : 0;
    }
    v.dwHibernateAC = plans::HibernateFromTotal(v.dwHibernateAC, v.dwStandbyAC);
    v.dwHibernateDC = plans::HibernateFromTotal(v.dwHibernateDC, v.dwStandbyDC);
    const size_t posAC = static_cast<size_t>(SliderPos(IDC_EDITOR_PROCESSOR_AC));
    const size_t posDC = static_cast<size_t>(SliderPos(IDC_EDITOR_PROCESSOR_DC));
    v.ucPresetAC = posAC < g_Editor.presetCount ? g_Editor.presets[posAC] : v.ucPresetAC;
    v.ucPresetDC = posDC < g_Editor.presetCount ? g_Editor.presets[posDC] : v.ucPresetDC;
    plans::PresetToProcessorPair(v.ucPresetAC, plans::g_Settings.dwLowerLimit, &v.dwMinThrottleAC, &v.dwMaxThrottleAC);
    plans::PresetToProcessorPair(v.ucPresetDC, plans::g_Settings.dwLowerLimit, &v.dwMinThrottleDC, &v.dwMaxThrottleDC);
    if (v.bWireless) {
        v.dwWirelessAC = plans::WirelessIndexOfPosition(SliderPos(IDC_EDITOR_WIRELESS_AC));
        v.dwWirelessDC = plans::WirelessIndexOfPosition(SliderPos(IDC_EDITOR_WIRELESS_DC));
    }
    if (v.bGraphics) {
        v.dwGraphicsAC = static_cast<DWORD>(SliderPos(IDC_EDITOR_GRAPHICS_AC));
        v.dwGraphicsDC = static_cast<DWORD>(SliderPos(IDC_EDITOR_GRAPHICS_DC));
    }
    record->nNpdCPU = CollectNpdCpu(record->nNpdCPU);
    editor_brightness::Collect(g_Editor.hwnd, record, &v);
    return v;
}

bool Differs(const PowerValues& a, const PowerValues& b) {
    return a.dwMonitorAC != b.dwMonitorAC || a.dwMonitorDC != b.dwMonitorDC || a.dwDiskAC != b.dwDiskAC ||
           a.dwDiskDC != b.dwDiskDC || a.dwStandbyAC != b.dwStandbyAC || a.dwStandbyDC != b.dwStandbyDC ||
           a.dwHibernateAC != b.dwHibernateAC || a.dwHibernateDC != b.dwHibernateDC ||
           a.dwMinThrottleAC != b.dwMinThrottleAC || a.dwMaxThrottleAC != b.dwMaxThrottleAC ||
           a.dwMinThrottleDC != b.dwMinThrottleDC || a.dwMaxThrottleDC != b.dwMaxThrottleDC ||
           a.dwWirelessAC != b.dwWirelessAC || a.dwWirelessDC != b.dwWirelessDC || a.dwGraphicsAC != b.dwGraphicsAC ||
           a.dwGraphicsDC != b.dwGraphicsDC;
}

// A brightness that could not be read is left as the plan has it rather than written as 0.
INT32 KeepUnreadable(INT32 value) noexcept { return value == plans::kBrightnessNone ? plans::kBrightnessKeep : value; }

plans::ProcessorPair PairOf(const PowerValues& v) noexcept {
    return plans::ProcessorPair{v.dwMinThrottleAC, v.dwMaxThrottleAC, v.ucPresetAC,
                                v.dwMinThrottleDC, v.dwMaxThrottleDC, v.ucPresetDC};
}

// Saves the record with the values.
BOOL Save(const plans::PlanRecord& record, PowerValues values) {
    plans::PlanRecord saved = record;
    saved.nBrightnessAC = KeepUnreadable(saved.nBrightnessAC);
    saved.nBrightnessDC = KeepUnreadable(saved.nBrightnessDC);
    values.nDimBrightnessAC = KeepUnreadable(values.nDimBrightnessAC);
    values.nDimBrightnessDC = KeepUnreadable(values.nDimBrightnessDC);
    const plans::ProcessorPair pair = PairOf(values);
    return plans::SavePlan(saved, values, &pair);
}

// The active plan's new values reach the devices: brightness, the mode LED (ECO operation) and
// the processor driver's "NpdCPU".
void FollowActivePlan() {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"SETBRIGHTNESS()");
    display::ChangeBrightness(display::BC_SET);
    if (Has(plans::FLAG_ECO)) {
        plans::RefreshLedFromPlan(g_Editor.plan);
    }
    plans::SendProcessorValue(g_Editor.plan);
}

// The active plan was edited: activate it again so the values take effect, and keep the battery
// estimate that goes with it.
void Reactivate() {
    HWND modeDialog = ModeDialogWindow();
    if (modeDialog != nullptr) {
        KillTimer(modeDialog, kModeDialogRefreshTimer);
    }
    const DWORD status = plans::ActivateScheme(g_Editor.plan);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SET_ACTIVE_SCHEME, status, ERRLOG_FILE);
    }
    if (Has(plans::FLAG_BATTERY)) {
        const int percent = battery::GetBatterySnapshot().nChargePercent;
        battery::SetStoredEstimate(battery::InitBatteryInfo(g_Editor.hwnd, g_Editor.active, g_Editor.plan, percent, false));
    }
    if (g_hMainWnd != nullptr) {
        PostMessageW(g_hMainWnd, WM_APP_PLAN_CHANGED, 0, 0);
    }
    // The plan stays the active one even when Windows refused to load it again: its stored
    // values are what the devices follow.
    FollowActivePlan();
    if (modeDialog != nullptr) {
        SetTimer(modeDialog, kModeDialogRefreshTimer, kModeDialogRefreshMs, nullptr);
    }
}

// Apply: false when saving failed (message 56 shown, the editor closed).
bool ApplyEdits() {
    KillTimer(g_Editor.hwnd, kEditorBatteryTimer);
    plans::PlanRecord record = g_Editor.record;
    const PowerValues edited = Collect(&record);
    if (Differs(edited, g_Editor.values) || record.nNpdCPU != g_Editor.record.nNpdCPU || ApplyEnabled()) {
        if (!Save(record, edited)) {
            Message(g_Editor.hwnd, IDS_EDITOR_SAVE_FAILED, MB_ICONWARNING | MB_OK);
            WriteErrorLogGuid(IDS_EDITOR_SAVE_FAILED, g_Editor.plan, ERRLOG_FILE);
            EndDialog(g_Editor.hwnd, 0);
            return false;
        }
        g_Editor.kept = true;
        g_Editor.values = edited;
        g_Editor.record = record;
        if (IsEqualGUID(g_Editor.plan, g_Editor.active)) {
            Reactivate();
        }
    }
    SetTimer(g_Editor.hwnd, kEditorBatteryTimer, kEditorBatteryMs, nullptr);
    EnableApply(false);
    return true;
}

int PlanListIndex(const GUID& plan) {
    for (DWORD i = 0; i < plans::g_PlanCount && i < plans::g_PlanList.size(); ++i) {
        if (IsEqualGUID(plans::g_PlanList[i].guid, plan)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void OnOk() {
    if (!ApplyEdits()) {
        return;
    }
    const int index = PlanListIndex(g_Editor.plan);
    if (index < 0) {
        WriteErrorLogGuid(IDS_ERR_BAD_PLAN_COMMAND, g_Editor.plan, ERRLOG_FILE);
        return;
    }
    EndDialog(g_Editor.hwnd, g_Editor.kept ? MAKELONG(index, 1) : 0);
}

void OnCancel() {
    if (ApplyEnabled() && Message(g_Editor.hwnd, IDS_DISCARD_CHANGES, MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return;
    }
    EndDialog(g_Editor.hwnd, g_Editor.kept ? MAKELONG(std::max(PlanListIndex(g_Editor.plan), 0), 1) : 0);
}

void OnPlanChange() {
    const LRESULT index = SendMessageW(Item(IDC_EDITOR_PLAN), CB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= g_Editor.combo.size()) {
        return;
    }
    const GUID chosen = g_Editor.combo[static_cast<size_t>(index)];
    if (ApplyEnabled()) {
        const int answer = Message(g_Editor.hwnd, IDS_EDITOR_CHANGED_ASK, MB_ICONQUESTION | MB_YESNOCANCEL);
        if (answer == IDCANCEL) {
            SelectInCombo(g_Editor.plan);
            return;
        }
        if (answer == IDYES && !ApplyEdits()) {
            return;
        }
    }
    ShowPlan(chosen);
}

void OnDelete() {
    if (Message(g_Editor.hwnd, IDS_EDITOR_DELETE_ASK, MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return;
    }
    {
        plans::PlanListLock lock(kLockDetailEditor);
        if (!lock.Owned()) {
            return;
        }
        if (PowerDeleteScheme(nullptr, &g_Editor.plan) != ERROR_SUCCESS) {
            Message(g_Editor.hwnd, IDS_EDITOR_DELETE_FAILED, MB_ICONWARNING | MB_OK);
            WriteErrorLogGuid(IDS_EDITOR_DELETE_FAILED, g_Editor.plan, ERRLOG_FILE);
            return;
        }
        plans::RefreshPlanList();
    }
    FillCombo();
    if (!ShowPlan(g_Editor.active)) {
        for (const GUID& g : g_Editor.combo) {
            if (ShowPlan(g)) {
                break;
            }
        }
    }
}

void OnRestore() {
    const bool three = plans::IsThreeMode(plans::g_Settings.blob.dwFlagWord);
    if (Message(g_Editor.hwnd, three ? IDS_EDITOR_RESTORE_ASK_THREE : IDS_EDITOR_RESTORE_ASK,
                MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return;
    }
    plans::PlanRecord record{};
    PowerValues values{};
    plans::ProcessorPair pair{};
    const LSTATUS status = plans::ReadFactorySnapshot(g_Editor.plan, &record, &values, &pair);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(kErrSnapshotRead, static_cast<ULONGLONG>(status), ERRLOG_FILE);
        return;
    }
    if (Has(plans::FLAG_EXT_MONITOR)) {
        // With external monitors only their two brightness values come back from the snapshot;
        // the rest of the plan stays as it is now.
        const INT32 monitor = record.nBrightnessMonitor;
        const INT32 monitorEnable = record.nBrightnessMonitorEnable;
        record = g_Editor.record;
        record.nBrightnessMonitor = monitor;
        record.nBrightnessMonitorEnable = monitorEnable;
        values = PowerValues{};
        if (!plans::ReadPowerValues(g_Editor.plan, &values)) {
            WriteErrorLogGuid(kErrSnapshotRead, g_Editor.plan, ERRLOG_FILE);
            Message(g_Editor.hwnd, IDS_EDITOR_SAVE_FAILED, MB_ICONWARNING | MB_OK);
            return;
        }
        pair = PairOf(values);
    }
    record.nLedNo = g_Editor.record.nLedNo;  // the mode slot is not part of the snapshot
    if (!plans::SavePlan(record, values, &pair)) {
        WriteErrorLogGuid(kErrSnapshotRead, g_Editor.plan, ERRLOG_FILE);
        Message(g_Editor.hwnd, IDS_EDITOR_SAVE_FAILED, MB_ICONWARNING | MB_OK);
        return;
    }
    g_Editor.kept = true;
    plans::PlanListLock lock(kLockDetailRestore);
    if (lock.Owned()) {
        plans::RefreshPlanList();
        FillCombo();
        ShowPlan(g_Editor.plan);
        if (IsEqualGUID(g_Editor.plan, g_Editor.active)) {
            FollowActivePlan();
        }
    }
}

void OnSaveAs() {
    wchar_t name[plans::kPlanNameChars] = L"";
    wchar_t description[plans::kPlanDescriptionChars] = L"";
    INT32 icon = kNewPlanIcon;
    StringCchCopyW(name, ARRAYSIZE(name), g_Editor.record.szName);
    StringCchCopyW(description, ARRAYSIZE(description), g_Editor.record.szDescription);
    if (!ShowPlanNameDialog(g_Editor.hwnd, true, -1, name, ARRAYSIZE(name), description, ARRAYSIZE(description), &icon)) {
        return;
    }
    GUID* created = nullptr;
    const DWORD status = PowerDuplicateScheme(nullptr, &g_Editor.plan, &created);
    common::UniqueLocal owner(created);
    if (status != ERROR_SUCCESS || created == nullptr) {
        Message(g_Editor.hwnd, IDS_EDITOR_NEW_FAILED, MB_ICONWARNING | MB_OK);
        WriteErrorLogGuid(IDS_EDITOR_NEW_FAILED, g_Editor.plan, ERRLOG_FILE);
        EndDialog(g_Editor.hwnd, 0);
        return;
    }
    plans::PlanRecord record = g_Editor.record;
    record.guid = *created;
    record.nLedNo = 0;
    record.nIconNo = icon;
    const PowerValues edited = Collect(&record);
    StringCchCopyW(record.szName, ARRAYSIZE(record.szName), name);
    StringCchCopyW(record.szDescription, ARRAYSIZE(record.szDescription), description);
    if (!Save(record, edited)) {
        Message(g_Editor.hwnd, IDS_EDITOR_NEW_FAILED, MB_ICONWARNING | MB_OK);
        WriteErrorLogGuid(IDS_EDITOR_NEW_FAILED, record.guid, ERRLOG_FILE);
        EndDialog(g_Editor.hwnd, 0);
        return;
    }
    g_Editor.kept = true;
    plans::RefreshPlanList();
    FillCombo();
    ShowPlan(record.guid);
}

void OnRename() {
    wchar_t name[plans::kPlanNameChars] = L"";
    wchar_t description[plans::kPlanDescriptionChars] = L"";
    INT32 icon = g_Editor.record.nIconNo;
    StringCchCopyW(name, ARRAYSIZE(name), g_Editor.record.szName);
    StringCchCopyW(description, ARRAYSIZE(description), g_Editor.record.szDescription);
    if (!ShowPlanNameDialog(g_Editor.hwnd, false, PlanListIndex(g_Editor.plan), name, ARRAYSIZE(name), description,
                            ARRAYSIZE(description), &icon)) {
        return;
    }
    StringCchCopyW(g_Editor.record.szName, ARRAYSIZE(g_Editor.record.szName), name);
    StringCchCopyW(g_Editor.record.szDescription, ARRAYSIZE(g_Editor.record.szDescription), description);
    g_Editor.record.nIconNo = icon;
    SetDlgItemTextW(g_Editor.hwnd, IDC_EDITOR_DESCRIPTION, description);
    EnableApply(true);
}

void OnCommand(WORD id, WORD code) {
    switch (id) {
    case IDC_EDITOR_PLAN:
        if (code == CBN_SELCHANGE) {
            OnPlanChange();
        }
        break;
    case IDC_MODE_APPLY:
        ApplyEdits();
        break;
    case IDOK:
        OnOk();
        break;
    case IDCANCEL:
        OnCancel();
        break;
    case IDC_EDITOR_DELETE:
        OnDelete();
        break;
    case IDC_EDITOR_RESTORE:
        OnRestore();
        break;
    case IDC_EDITOR_SAVE_AS:
        OnSaveAs();
        break;
    case IDC_EDITOR_RENAME:
        OnRename();
        break;
    case IDC_EDITOR_NPD_CPU:
        EnableApply(true);
        break;
    case IDC_EDITOR_FIXED_BRIGHTNESS:
    case IDC_EDITOR_AMBIENT_BRIGHTNESS:
    case IDC_EDITOR_MONITOR_BRIGHTNESS:
        editor_brightness::OnCommand(g_Editor.hwnd, id);
        EnableApply(true);
        break;
    default:
        break;
    }
}

void OnSliderMoved(HWND slider, WORD code) {
    const int id = GetDlgCtrlID(slider);
    // A range slider tells of a drag at every step and again when it ends (TB_ENDTRACK): the
    // labels follow each step, the end changes nothing more.
    const bool rangeSlider = id == IDC_ALS_AC_SLIDER || id == IDC_ALS_DC_SLIDER;
    if (rangeSlider && code == TB_ENDTRACK) {
        return;
    }
    editor_brightness::OnSlider(g_Editor.hwnd, id);
    if (id == IDC_ALS_DC_SLIDER && Has(plans::FLAG_BATTERY)) {
        // What the battery would give with the range's upper level (entry i of the range table is level i).
        const size_t preset = static_cast<size_t>(SliderPos(IDC_EDITOR_PROCESSOR_DC));
        const int mode = preset < g_Editor.presetCount ? g_Editor.presets[preset] : g_Editor.values.ucPresetDC;
        const int level = static_cast<int>(SendMessageW(slider, TBM_GETSELEND, 0, 0));
        battery::SetBatteryInfoByValue(g_Editor.hwnd, g_Editor.plan, mode, level, false);
    }
    for (size_t i = 0; i < kTimeoutCount; ++i) {
        if (kTimeouts[i].id == id) {
            ShowTimeoutLabel(i);
        }
    }
    if (id == IDC_EDITOR_PROCESSOR_AC || id == IDC_EDITOR_PROCESSOR_DC) {
        ShowPresetLabels();
    }
    EnableApply(true);
}

// The plans changed while the editor is open (the main window passes the plan-changed
// notification on): the combo box and the button states follow, the edits stay.
void OnPlansChanged() {
    FillCombo();
    SelectInCombo(g_Editor.plan);
    UpdateButtons();
    ShowBatteryLine();
}

void OnInitDialog(HWND hwnd) {
    g_Editor.hwnd = hwnd;
    g_MainState.hPlanEditor = hwnd;
    // The editor shows and saves a plan's own processor values: a boost of the meter panel ends
    // first, or its full-speed values would be shown and saved as the plan's.
    if (HWND panel = meter::MeterPanelWindow()) {
        SendMessageW(panel, WM_APP_END_BOOST, 0, 0);
    }
    plans::ReadActiveScheme(&g_Editor.active);
    plans::RefreshPlanList();
    FillCombo();
    editor_brightness::Prepare(hwnd);
    ShowPlan(g_Editor.plan);
    SetTimer(hwnd, kEditorBatteryTimer, kEditorBatteryMs, nullptr);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"WM_INITDIALOG");
}

INT_PTR CALLBACK EditorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(hwnd);
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_HSCROLL:
        OnSliderMoved(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return TRUE;
    case WM_SYSCOMMAND:
    case WM_HELP:
        return OpenDialogHelp(message, wParam, kHelpTopicPlanEditor) ? TRUE : FALSE;
    case WM_TIMER:
        if (wParam == kEditorBatteryTimer) {
            ShowBatteryLine();
        }
        return TRUE;
    case WM_APP_EDITOR_REFRESH:
        OnPlansChanged();
        return TRUE;
    case WM_DESTROY:
        KillTimer(hwnd, kEditorBatteryTimer);
        if (g_MainState.hPlanEditor == hwnd) {
            g_MainState.hPlanEditor = nullptr;
        }
        g_Editor = EditorState{};
        return TRUE;
    default:
        return FALSE;
    }
}

// --- name dialog 504 ----------------------------------------------------------------------------

struct NameDialogArgs {
    bool newPlan;
    int self;
    wchar_t* name;
    size_t cchName;
    wchar_t* description;
    size_t cchDescription;
    INT32* icon;
};

std::vector<std::wstring> ListedNames() {
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < plans::g_PlanCount && i < plans::g_PlanList.size(); ++i) {
        names.push_back(plans::g_PlanList[i].szName);
    }
    return names;
}

void NameInit(HWND dialog, NameDialogArgs* args) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(args));
    wchar_t title[kLabelChars] = L"";
    LoadStringW(g_hInstance, args->newPlan ? IDS_NAME_TITLE_NEW : IDS_NAME_TITLE_RENAME, title,
                static_cast<int>(ARRAYSIZE(title)));
    SetWindowTextW(dialog, title);
    SendDlgItemMessageW(dialog, IDC_NAME_EDIT, EM_LIMITTEXT, plans::kMaxEditedNameChars, 0);
    SendDlgItemMessageW(dialog, IDC_DESCRIPTION_EDIT, EM_LIMITTEXT, plans::kMaxEditedDescriptionChars, 0);
    const bool keepCurrent = !args->newPlan || GetKeyState(VK_SHIFT) < 0;
    if (keepCurrent) {
        SetDlgItemTextW(dialog, IDC_NAME_EDIT, args->name);
        SetDlgItemTextW(dialog, IDC_DESCRIPTION_EDIT, args->description);
    } else {
        wchar_t prefix[kLabelChars] = L"";
        LoadStringW(g_hInstance, IDS_NEW_PLAN_PREFIX, prefix, static_cast<int>(ARRAYSIZE(prefix)));
        std::wstring proposal;
        {
            plans::PlanListLock lock(kLockDetailName);
            proposal = plans::ProposeNewPlanName(prefix, ListedNames());
        }
        SetDlgItemTextW(dialog, IDC_NAME_EDIT, proposal.c_str());
        SetDlgItemTextW(dialog, IDC_DESCRIPTION_EDIT, L"");
    }
    const INT32 icon = *args->icon >= 0 && *args->icon < kIconButtons ? *args->icon : kNewPlanIcon;
    CheckRadioButton(dialog, IDC_NAME_ICON_FIRST, IDC_NAME_ICON_FIRST + kIconButtons - 1, IDC_NAME_ICON_FIRST + icon);
}

bool NameOk(HWND dialog, NameDialogArgs* args) {
    wchar_t name[plans::kMaxEditedNameChars + 1] = L"";
    GetDlgItemTextW(dialog, IDC_NAME_EDIT, name, static_cast<int>(ARRAYSIZE(name)));
    if (name[0] == L'\0') {
        return false;
    }
    plans::PlanListLock lock(kLockDetailName);
    if (!lock.Owned()) {
        return false;
    }
    if (!plans::IsPlanNameFree(name, ListedNames(), args->self)) {
        Message(dialog, IDS_NAME_TAKEN, MB_ICONWARNING | MB_OK);
        return false;
    }
    StringCchCopyW(args->name, args->cchName, name);
    GetDlgItemTextW(dialog, IDC_DESCRIPTION_EDIT, args->description, static_cast<int>(args->cchDescription));
    for (int i = 0; i < kIconButtons; ++i) {
        if (IsDlgButtonChecked(dialog, IDC_NAME_ICON_FIRST + i) == BST_CHECKED) {
            *args->icon = i;
        }
    }
    return true;
}

INT_PTR CALLBACK NameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* args = reinterpret_cast<NameDialogArgs*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        NameInit(dialog, reinterpret_cast<NameDialogArgs*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NAME_EDIT && HIWORD(wParam) == EN_CHANGE) {
            EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthW(GetDlgItem(dialog, IDC_NAME_EDIT)) > 0);
        } else if (LOWORD(wParam) == IDOK && args != nullptr && NameOk(dialog, args)) {
            EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    case WM_SYSCOMMAND:
    case WM_HELP:
        // The same dialog names a new plan or renames one: each has its own topic.
        return OpenDialogHelp(message, wParam,
                              args != nullptr && !args->newPlan ? kHelpTopicRenamePlan : kHelpTopicNewPlan)
                   ? TRUE
                   : FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void SetEditorMessageFn(EditorMessageFn fn) noexcept { g_pfnMessage = fn; }

HWND PlanEditorWindow() noexcept { return g_Editor.hwnd; }

bool ShowPlanNameDialog(HWND parent, bool newPlan, int self, wchar_t* name, size_t cchName, wchar_t* description,
                        size_t cchDescription, INT32* iconNo) {
    NameDialogArgs args{newPlan, self, name, cchName, description, cchDescription, iconNo};
    return DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_PLAN_NAME), parent, NameProc,
                           reinterpret_cast<LPARAM>(&args)) == IDOK;
}

INT_PTR OpenPlanEditor(HWND parent, const GUID& plan, int slot) {
    if (g_Editor.hwnd != nullptr) {
        SetForegroundWindow(g_Editor.hwnd);
        return 0;
    }
    g_Editor = EditorState{};
    g_Editor.plan = plan;
    g_Editor.slot = slot;
    // The templates' ambient-light range sliders are of the program's own class.
    RegisterRangeSliderClass(g_hInstance);
    // The ambient-light sensor counts as present when the firmware's brightness interface is bound.
    const UINT id =
        plans::EditorTemplateFor(plans::g_Settings.blob.dwFlagWord, plans::g_Settings.dwOsGeneration, display::bALS);
    return DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(id), parent, EditorProc, 0);
}
