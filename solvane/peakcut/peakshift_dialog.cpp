// The automatic switching dialog: period of the year, daily windows, demand link and (two
// modes) the battery change, saved through the link library.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "common/registry.h"
#include "app/app_globals.h"
#include "common/handles.h"
#include "common/log.h"
#include "peakcut/peakcut.h"
#include "peakcut/peakshift.h"
#include "plans/plan_record.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace peakcut {

PeakShiftDialogHooks g_PeakShiftDialogHooks;

namespace {

constexpr const wchar_t* kTraceName = L"PeakShiftDialog";
constexpr DWORD kHelpTopicPeakShift = 13001;

// The "?" caption button (SC_CONTEXTHELP) and F1 (WM_HELP).
BOOL OnHelpRequest(UINT message, WPARAM command) noexcept {
    if (message != WM_HELP && (command & 0xFFF0) != SC_CONTEXTHELP) {
        return FALSE;
    }
    if (g_PeakShiftDialogHooks.openHelpTopic != nullptr) {
        g_PeakShiftDialogHooks.openHelpTopic(kHelpTopicPeakShift);
    }
    return TRUE;
}
constexpr wchar_t kDateFormat[] = L"MM/dd";
constexpr wchar_t kTimeFormat[] = L"HH:mm";
constexpr wchar_t kCmlValue[] = L"CML";
constexpr WORD kFirstYear = 2011;
constexpr WORD kLastYear = 2099;
constexpr size_t kTextChars = 256;

struct DialogState {
    bool threeMode = false;
    bool batteryOffered = false;
};

constexpr int kTimeControls[] = {IDC_PS_PERIOD_START, IDC_PS_PERIOD_END, IDC_PS_LV2_START, IDC_PS_LV2_END,
                                 IDC_PS_LV1_START,    IDC_PS_LV1_END,    IDC_PS_TIME_TEXT, IDC_PS_TIME_TEXT_THREE,
                                 IDC_PS_MODE3_NAME,   IDC_PS_MODE2_NAME, IDC_PS_MODE3_NAME_LV1, IDC_PS_DEMAND_ON,
                                 IDC_PS_THRESHOLD,    IDC_PS_THRESHOLD_SPIN, IDC_PS_REGION, IDC_PS_NOTE};
constexpr int kBatteryFields[] = {IDC_PS_BATTERY_PERCENT, IDC_PS_BATTERY_SPIN, IDC_PS_BATTERY_TEXT,
                                  IDC_PS_BATTERY_LABEL, IDC_PS_BATTERY_UNIT};
constexpr int kBatterySection[] = {IDC_PS_BATTERY_GROUP, IDC_PS_BATTERY_ON,    IDC_PS_BATTERY_PERCENT,
                                   IDC_PS_BATTERY_SPIN,  IDC_PS_BATTERY_TEXT,  IDC_PS_BATTERY_LABEL,
                                   IDC_PS_BATTERY_UNIT};

DialogState* State(HWND dialog) { return reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void EnableAll(HWND dialog, const int* ids, size_t count, bool enable) {
    for (size_t i = 0; i < count; ++i) {
        if (HWND control = GetDlgItem(dialog, ids[i]); control != nullptr) {
            EnableWindow(control, enable ? TRUE : FALSE);
        }
    }
}

void Today(SYSTEMTIME* now) {
    if (g_PeakShiftDialogHooks.today != nullptr) {
        g_PeakShiftDialogHooks.today(now);
    } else {
        GetLocalTime(now);
    }
}

int Warn(HWND dialog, UINT id) {
    if (g_PeakShiftDialogHooks.warn != nullptr) {
        return g_PeakShiftDialogHooks.warn(dialog, id);
    }
    wchar_t text[kTextChars] = {};
    wchar_t caption[kTextChars] = {};
    LoadStringW(g_hInstance, id, text, static_cast<int>(kTextChars));
    LoadStringW(g_hInstance, IDS_ECO_PROGRAM_TITLE, caption, static_cast<int>(kTextChars));
    return MessageBoxW(dialog, text, caption, MB_OK | MB_ICONWARNING);
}

bool BatteryPresent() {
    if (g_PeakShiftDialogHooks.batteryPresent != nullptr) {
        return g_PeakShiftDialogHooks.batteryPresent();
    }
    // The battery flag already excludes a desktop chassis.
    return (plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) != 0;
}

bool BatterySectionHiddenByMachine() {
    common::UniqueRegKey key;
    DWORD cml = 0;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
           common::QueryRegDword(key.Get(), kCmlValue, &cml) == ERROR_SUCCESS && cml == 1;
}

void ShowAll(HWND dialog, const int* ids, size_t count, bool show) {
    for (size_t i = 0; i < count; ++i) {
        if (HWND control = GetDlgItem(dialog, ids[i]); control != nullptr) {
            ShowWindow(control, show ? SW_SHOW : SW_HIDE);
        }
    }
}

void SetPicker(HWND dialog, int id, const wchar_t* format, const SYSTEMTIME& value) {
    HWND picker = GetDlgItem(dialog, id);
    if (picker == nullptr) {
        return;
    }
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format));
    SYSTEMTIME range[2] = {};
    range[0].wYear = kFirstYear;
    range[0].wMonth = 1;
    range[0].wDay = 1;
    range[1].wYear = kLastYear;
    range[1].wMonth = 12;
    range[1].wDay = 31;
    range[1].wHour = 23;
    range[1].wMinute = 59;
    range[1].wSecond = 59;
    SendMessageW(picker, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
    SYSTEMTIME copy = value;
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&copy));
}

SYSTEMTIME Picker(HWND dialog, int id) {
    SYSTEMTIME value{};
    SendDlgItemMessageW(dialog, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

SYSTEMTIME AtTime(const SYSTEMTIME& today, WORD hour, WORD minute) {
    SYSTEMTIME value = today;
    value.wHour = hour;
    value.wMinute = minute;
    value.wSecond = 0;
    value.wMilliseconds = 0;
    return value;
}

// A stored daily window, or the default when never saved; the pickers show it on today's date.
void FillWindow(HWND dialog, int startId, int endId, const OneData& stored, const SYSTEMTIME& today,
                WORD defaultStart, WORD defaultEnd) {
    SYSTEMTIME start = AtTime(today, defaultStart, 0);
    SYSTEMTIME end = AtTime(today, defaultEnd, 0);
    if (stored.value != 0) {
        start = AtTime(today, stored.start.wHour, stored.start.wMinute);
        end = AtTime(today, stored.end.wHour, stored.end.wMinute);
    }
    SetPicker(dialog, startId, kTimeFormat, start);
    SetPicker(dialog, endId, kTimeFormat, end);
}

void FillPlanNames(HWND dialog) {
    plans::ModeSlot slots[plans::kMaxPinnedPlans] = {};
    int found = 0;
    const bool read = plans::FindModeSlots(slots, &found) != FALSE;
    wchar_t none[kTextChars] = {};
    LoadStringW(g_hInstance, IDS_NO_PLAN, none, static_cast<int>(kTextChars));
    auto name = [&](int slot) -> const wchar_t* {
        return read && !IsEqualGUID(slots[slot].guid, GUID{}) ? slots[slot].szName : none;
    };
    SetDlgItemTextW(dialog, IDC_PS_MODE2_NAME, name(1));
    SetDlgItemTextW(dialog, IDC_PS_MODE3_NAME, name(2));
    SetDlgItemTextW(dialog, IDC_PS_MODE3_NAME_LV1, name(2));
}

void FillRegions(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_PS_REGION);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    RegionEntry* list = nullptr;
    const DWORD count = g_PeakShiftLibrary.getRegionList != nullptr ? g_PeakShiftLibrary.getRegionList(&list) : 0;
    for (DWORD i = 0; list != nullptr && i < count; ++i) {
        if (list[i].pszName == nullptr || list[i].dwRegionId == 0) {
            continue;
        }
        const LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list[i].pszName));
        if (item >= 0) {
            SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), list[i].dwRegionId);
            if (list[i].dwRegionId == g_PeakShift.region) {
                SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
            }
        }
    }
}

void EnableTimeControls(HWND dialog) {
    const bool on = Checked(dialog, IDC_PS_PLAN_CHANGE);
    EnableAll(dialog, kTimeControls, std::size(kTimeControls), on);
}

void EnableApply(HWND dialog) { EnableWindow(GetDlgItem(dialog, IDC_PS_APPLY), TRUE); }

BOOL OnInitDialog(HWND dialog, LPARAM lParam) {
    auto* state = new DialogState;
    state->threeMode = lParam != 0;
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    LoadPeakShiftSettings();
    const PeakShiftSettings& copy = g_PeakShift;
    state->batteryOffered = !state->threeMode && BatteryPresent() && !BatterySectionHiddenByMachine();
    if (!state->threeMode) {
        if (!state->batteryOffered) {
            ShowAll(dialog, kBatterySection, std::size(kBatterySection), false);
        } else if (copy.batteryChange) {
            CheckDlgButton(dialog, IDC_PS_BATTERY_ON, BST_CHECKED);
        } else {
            EnableAll(dialog, kBatteryFields, std::size(kBatteryFields), false);
        }
    }
    CheckDlgButton(dialog, IDC_PS_PLAN_CHANGE, copy.planChange ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PS_DEMAND_ON, copy.demandLink ? BST_CHECKED : BST_UNCHECKED);

    SYSTEMTIME today{};
    Today(&today);
    SYSTEMTIME start{};
    SYSTEMTIME end{};
    if (copy.usePeriod.value == 0) {
        DefaultUsePeriod(today, &start, &end);
    } else {
        start = copy.usePeriod.start;
        end = copy.usePeriod.end;
        end.wHour = 23;
        end.wMinute = 59;
        end.wSecond = 59;
        end.wMilliseconds = 999;
    }
    MendLeapDay(&start, &end);
    SetPicker(dialog, IDC_PS_PERIOD_START, kDateFormat, start);
    SetPicker(dialog, IDC_PS_PERIOD_END, kDateFormat, end);
    FillWindow(dialog, IDC_PS_LV2_START, IDC_PS_LV2_END, copy.lv2, today, 13, 16);
    if (state->threeMode) {
        FillWindow(dialog, IDC_PS_LV1_START, IDC_PS_LV1_END, copy.lv1, today, 10, 18);
        FillPlanNames(dialog);
    }
    SendDlgItemMessageW(dialog, IDC_PS_THRESHOLD_SPIN, UDM_SETRANGE32, kThresholdLowest, kThresholdHighest);
    const DWORD threshold = copy.threshold > kThresholdHighest ? kThresholdHighest : copy.threshold;
    SendDlgItemMessageW(dialog, IDC_PS_THRESHOLD_SPIN, UDM_SETPOS32, 0, static_cast<LPARAM>(threshold));
    FillRegions(dialog);
    if (state->batteryOffered) {
        SendDlgItemMessageW(dialog, IDC_PS_BATTERY_SPIN, UDM_SETRANGE32, 0, kBatteryHighest);
        SendDlgItemMessageW(dialog, IDC_PS_BATTERY_SPIN, UDM_SETPOS32, 0, static_cast<LPARAM>(copy.batteryPercent));
    }
    EnableTimeControls(dialog);
    EnableWindow(GetDlgItem(dialog, IDC_PS_APPLY), FALSE);  // setting the fields is no change
    return TRUE;
}

OneData RecordOf(const SYSTEMTIME& start, const SYSTEMTIME& end) {
    OneData record{};
    record.value = 1;
    record.start = start;
    record.end = end;
    return record;
}

bool OkOrApply(HWND dialog) {
    if (Checked(dialog, IDC_PS_PLAN_CHANGE) && Checked(dialog, IDC_PS_DEMAND_ON) && !AskConsent()) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"consent refused: nothing saved");
        return false;
    }
    return SavePeakShiftSettings(dialog) != FALSE;
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
    case IDC_PS_PLAN_CHANGE:
        EnableTimeControls(dialog);
        EnableApply(dialog);
        break;
    case IDC_PS_BATTERY_ON:
        EnableAll(dialog, kBatteryFields, std::size(kBatteryFields), Checked(dialog, IDC_PS_BATTERY_ON));
        EnableApply(dialog);
        break;
    case IDC_PS_DEMAND_ON:
        EnableApply(dialog);
        break;
    case IDC_PS_BATTERY_PERCENT:
        if (code == EN_CHANGE) {
            BOOL ok = FALSE;
            const UINT value = GetDlgItemInt(dialog, IDC_PS_BATTERY_PERCENT, &ok, FALSE);
            if (!ok || value != g_PeakShift.batteryPercent) {
                EnableApply(dialog);
            }
        }
        break;
    case IDC_PS_THRESHOLD:
        if (code == EN_CHANGE) {
            EnableApply(dialog);
        }
        break;
    case IDC_PS_REGION:
        if (code == CBN_SELCHANGE) {
            EnableApply(dialog);
        }
        break;
    case IDOK:
        if (OkOrApply(dialog)) {
            EndDialog(dialog, 1);
        }
        break;
    case IDC_PS_APPLY:
        if (OkOrApply(dialog)) {
            EnableWindow(GetDlgItem(dialog, IDC_PS_APPLY), FALSE);
        }
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    default:
        break;
    }
}

}  // namespace

bool AskConsent() noexcept {
    const PeakShiftLibrary& lib = g_PeakShiftLibrary;
    if (lib.getAgreement != nullptr && lib.getAgreement() != FALSE) {
        return true;
    }
    if (lib.showDialog == nullptr || lib.showDialog() == FALSE) {
        return false;
    }
    if (lib.setAgreement != nullptr) {
        lib.setAgreement();
    }
    return true;
}

BOOL SavePeakShiftSettings(HWND dialog) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"SavePeakShiftSettings", L"Enter");
    const DialogState* state = State(dialog);
    const bool threeMode = state != nullptr && state->threeMode;
    const bool batteryOffered = state != nullptr && state->batteryOffered;
    const bool planChange = Checked(dialog, IDC_PS_PLAN_CHANGE);
    const bool demand = Checked(dialog, IDC_PS_DEMAND_ON);
    const SYSTEMTIME lv1Start = Picker(dialog, IDC_PS_LV1_START);
    const SYSTEMTIME lv1End = Picker(dialog, IDC_PS_LV1_END);
    const SYSTEMTIME lv2Start = Picker(dialog, IDC_PS_LV2_START);
    const SYSTEMTIME lv2End = Picker(dialog, IDC_PS_LV2_END);
    BOOL thresholdOk = FALSE;
    const UINT threshold = GetDlgItemInt(dialog, IDC_PS_THRESHOLD, &thresholdOk, FALSE);
    const LRESULT regionItem = SendDlgItemMessageW(dialog, IDC_PS_REGION, CB_GETCURSEL, 0, 0);
    BOOL percentOk = FALSE;
    const UINT percent = GetDlgItemInt(dialog, IDC_PS_BATTERY_PERCENT, &percentOk, FALSE);
    const bool batteryOn = Checked(dialog, IDC_PS_BATTERY_ON);

    // Every field is checked before anything is written: a refused save changes nothing.
    UINT problem = 0;
    if (planChange && threeMode && !DailyWindowInOrder(lv1Start, lv1End)) {
        problem = IDS_PEAKSHIFT_BAD_WINDOW;
    } else if (planChange && !DailyWindowInOrder(lv2Start, lv2End)) {
        problem = IDS_PEAKSHIFT_BAD_WINDOW;
    } else if (planChange && demand && (!thresholdOk || threshold < kThresholdLowest || threshold > kThresholdHighest)) {
        problem = IDS_PEAKSHIFT_BAD_THRESHOLD;
    } else if (planChange && demand && regionItem == CB_ERR) {
        problem = IDS_PEAKSHIFT_NO_REGION;
    } else if (batteryOffered && batteryOn && (!percentOk || percent > kBatteryHighest)) {
        problem = IDS_PEAKSHIFT_BAD_BATTERY;
    }
    if (problem != 0) {
        Warn(dialog, problem);
        LOG_TRACE(TRACE_LEVEL_APP, L"SavePeakShiftSettings", L"Exit - refused (%u)", problem);
        return FALSE;
    }

    const PeakShiftLibrary& lib = g_PeakShiftLibrary;
    PeakShiftSettings& copy = g_PeakShift;
    if (lib.setPlanChangeEnable != nullptr) {
        lib.setPlanChangeEnable(planChange ? TRUE : FALSE);
    }
    if (lib.setTimePeriodEnable != nullptr) {
        lib.setTimePeriodEnable(TRUE);
    }
    if (lib.setTarvikEnable != nullptr) {
        lib.setTarvikEnable(demand ? TRUE : FALSE);
    }
    copy.planChange = planChange ? TRUE : FALSE;
    copy.demandLink = demand ? TRUE : FALSE;
    SYSTEMTIME periodEnd = Picker(dialog, IDC_PS_PERIOD_END);
    periodEnd.wHour = 23;
    periodEnd.wMinute = 59;
    periodEnd.wSecond = 59;
    periodEnd.wMilliseconds = 999;
    copy.usePeriod = RecordOf(Picker(dialog, IDC_PS_PERIOD_START), periodEnd);
    if (lib.setUsePeriod != nullptr) {
        lib.setUsePeriod(&copy.usePeriod);
    }
    if (threeMode) {
        copy.lv1 = RecordOf(lv1Start, lv1End);
        if (lib.setLv1Time != nullptr) {
            lib.setLv1Time(&copy.lv1);
        }
    }
    copy.lv2 = RecordOf(lv2Start, lv2End);
    if (lib.setLv2Time != nullptr) {
        lib.setLv2Time(&copy.lv2);
    }
    // Region and threshold only from their own controls: never 0 over the stored values.
    if (demand && regionItem != CB_ERR) {
        copy.region = static_cast<DWORD>(
            SendDlgItemMessageW(dialog, IDC_PS_REGION, CB_GETITEMDATA, static_cast<WPARAM>(regionItem), 0));
        if (lib.setSelectedRegion != nullptr) {
            lib.setSelectedRegion(copy.region);
        }
    }
    if (demand && thresholdOk && threshold >= kThresholdLowest && threshold <= kThresholdHighest) {
        if (lib.setThreshold != nullptr) {
            lib.setThreshold(threshold);
        }
        KeepSettingsThreshold(threshold);
    }
    if (batteryOffered) {
        copy.batteryChange = batteryOn ? TRUE : FALSE;
        if (percentOk && percent <= kBatteryHighest) {
            copy.batteryPercent = percent;
        }
        WriteBatteryChange(copy.batteryChange, copy.batteryPercent);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"SavePeakShiftSettings", L"Exit retval:%08x", TRUE);
    return TRUE;
}

INT_PTR CALLBACK PeakShiftDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, lParam);
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == DTN_DATETIMECHANGE) {
            EnableApply(dialog);
        }
        return TRUE;
    case WM_SYSCOMMAND:
    case WM_HELP:
        return OnHelpRequest(message, wParam);
    case WM_NCDESTROY:
        delete State(dialog);
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR ShowPeakShiftDialog(HWND owner, bool threeMode) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowPeakShiftDialog", L"Enter");
    const WORD id = threeMode ? IDD_PEAKSHIFT_THREE_MODE : IDD_PEAKSHIFT_TWO_MODE;
    const INT_PTR result =
        DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(id), owner, PeakShiftDialogProc, threeMode ? 1 : 0);
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowPeakShiftDialog", L"Exit retval:%08x", static_cast<unsigned>(result));
    return result;
}

}  // namespace peakcut
