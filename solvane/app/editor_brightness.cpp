#include "app/editor_brightness.h"

#include <commctrl.h>

#include <vector>

#include "app/app_globals.h"
#include "common/log.h"
#include "display/display.h"
#include "plans/editor_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace editor_brightness {

namespace {

constexpr const wchar_t* kTraceName = L"PlanEditDlgProc";
constexpr DWORD kMainsRange = 1;    // SetALSSlider kinds
constexpr DWORD kBatteryRange = 2;
constexpr BYTE kModeFixed = 0;
constexpr BYTE kModeAmbient = 1;

// One slider over the offered brightness choices. A stored value that no choice holds shows on
// the top entry and is given back unchanged while the slider stays where it was put.
struct ChoiceSlider {
    int id;
    int label;
    bool found;
    int shownPos;
};
ChoiceSlider g_Sliders[] = {
    {IDC_EDITOR_BRIGHTNESS_AC, IDC_EDITOR_BRIGHTNESS_AC_LABEL, false, 0},
    {IDC_EDITOR_BRIGHTNESS_DC, IDC_EDITOR_BRIGHTNESS_DC_LABEL, false, 0},
    {IDC_EDITOR_DIM_BRIGHTNESS_AC, IDC_EDITOR_DIM_BRIGHTNESS_AC + 1, false, 0},
    {IDC_EDITOR_DIM_BRIGHTNESS_DC, IDC_EDITOR_DIM_BRIGHTNESS_DC + 1, false, 0},
};
constexpr size_t kBrightnessAC = 0;
constexpr size_t kBrightnessDC = 1;
constexpr size_t kDimAC = 2;
constexpr size_t kDimDC = 3;

constexpr int kAmbientControls[] = {IDC_EDITOR_FIXED_BRIGHTNESS, IDC_EDITOR_AMBIENT_BRIGHTNESS,
                                    IDC_EDITOR_ALS_ROW_LABEL,    IDC_ALS_AC_SLIDER,
                                    IDC_ALS_AC_MAX_LABEL,        IDC_ALS_AC_MIN_LABEL,
                                    IDC_ALS_DC_SLIDER,           IDC_ALS_DC_MAX_LABEL,
                                    IDC_ALS_DC_MIN_LABEL};
constexpr int kDimControls[] = {IDC_EDITOR_DIM_ROW_LABEL,
                                IDC_EDITOR_DIM_AC,
                                IDC_EDITOR_DIM_AC + 1,
                                IDC_EDITOR_DIM_DC,
                                IDC_EDITOR_DIM_DC + 1,
                                IDC_EDITOR_DIM_BRIGHTNESS_ROW_LABEL,
                                IDC_EDITOR_DIM_BRIGHTNESS_AC,
                                IDC_EDITOR_DIM_BRIGHTNESS_AC + 1,
                                IDC_EDITOR_DIM_BRIGHTNESS_DC,
                                IDC_EDITOR_DIM_BRIGHTNESS_DC + 1};

bool Has(DWORD flag) noexcept { return (plans::g_Settings.blob.dwFlagWord & flag) != 0; }
// Slider 1080 edits the external monitors' level ("BrightnessMonitor") on such machines.
bool MonitorMode() noexcept { return Has(plans::FLAG_EXT_MONITOR); }
bool DimShown() noexcept { return !Has(plans::FLAG_EXT_MONITOR) && plans::g_Settings.dwOsGeneration >= 2; }

void ShowIds(HWND dialog, const int* ids, size_t count, bool show) noexcept {
    for (size_t i = 0; i < count; ++i) {
        ShowWindow(GetDlgItem(dialog, ids[i]), show ? SW_SHOW : SW_HIDE);
    }
}

std::vector<DWORD> ChoiceValues() {
    std::vector<DWORD> values;
    for (const display::BrightnessChoice& choice : display::BrightnessChoices()) {
        values.push_back(choice.value);
    }
    return values;
}

int Pos(HWND dialog, int id) noexcept { return static_cast<int>(SendDlgItemMessageW(dialog, id, TBM_GETPOS, 0, 0)); }

void ShowChoiceLabel(HWND dialog, const ChoiceSlider& slider) noexcept {
    const std::vector<display::BrightnessChoice>& choices = display::BrightnessChoices();
    const int pos = Pos(dialog, slider.id);
    const bool known = pos >= 0 && static_cast<size_t>(pos) < choices.size();
    SetDlgItemTextW(dialog, slider.label, known ? choices[static_cast<size_t>(pos)].label : L"");
}

void PlaceChoiceSlider(HWND dialog, ChoiceSlider* slider, INT32 value) {
    const std::vector<DWORD> values = ChoiceValues();
    const int last = values.empty() ? 0 : static_cast<int>(values.size()) - 1;
    const int pos = plans::BrightnessPosition(values, value);
    slider->found = pos >= 0;
    slider->shownPos = pos >= 0 ? pos : last;
    SendDlgItemMessageW(dialog, slider->id, TBM_SETRANGE, TRUE, MAKELPARAM(0, last));
    SendDlgItemMessageW(dialog, slider->id, TBM_SETPOS, TRUE, slider->shownPos);
    ShowChoiceLabel(dialog, *slider);
}

INT32 ChoiceValue(HWND dialog, const ChoiceSlider& slider, INT32 former) {
    const std::vector<display::BrightnessChoice>& choices = display::BrightnessChoices();
    const int pos = Pos(dialog, slider.id);
    if ((!slider.found && pos == slider.shownPos) || pos < 0 || static_cast<size_t>(pos) >= choices.size()) {
        return former;
    }
    return static_cast<INT32>(choices[static_cast<size_t>(pos)].value);
}

void EnableMonitorSlider(HWND dialog) noexcept {
    if (MonitorMode()) {
        const bool enabled = IsDlgButtonChecked(dialog, IDC_EDITOR_MONITOR_BRIGHTNESS) == BST_CHECKED;
        EnableWindow(GetDlgItem(dialog, IDC_EDITOR_BRIGHTNESS_AC), enabled ? TRUE : FALSE);
    }
}

// A range slider's thumbs moved: its labels follow (and the thumbs are checked against the
// panel's levels).
void MoveRange(HWND dialog, int id, DWORD kind) {
    const int minimum = static_cast<int>(SendDlgItemMessageW(dialog, id, TBM_GETSELSTART, 0, 0));
    const int maximum = static_cast<int>(SendDlgItemMessageW(dialog, id, TBM_GETSELEND, 0, 0));
    display::SetALSSlider(dialog, kind, minimum, maximum);
}

BYTE RangeBound(HWND dialog, int id, UINT message) noexcept {
    return static_cast<BYTE>(SendDlgItemMessageW(dialog, id, message, 0, 0));
}

}  // namespace

void Prepare(HWND dialog) {
    display::Init_nsr_lcd(g_hInstance);
    ShowWindow(GetDlgItem(dialog, IDC_BRIGHTNESS_GROUP_ALS), display::bALS ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_BRIGHTNESS_GROUP), display::bALS ? SW_HIDE : SW_SHOW);
    display::UpdateLCDValue(dialog);
    ShowIds(dialog, kAmbientControls, ARRAYSIZE(kAmbientControls), display::bALS);
    ShowIds(dialog, kDimControls, ARRAYSIZE(kDimControls), DimShown());
    ShowWindow(GetDlgItem(dialog, IDC_EDITOR_MONITOR_BRIGHTNESS), MonitorMode() ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_EDITOR_BRIGHTNESS_DC), MonitorMode() ? SW_HIDE : SW_SHOW);
    ShowWindow(GetDlgItem(dialog, IDC_EDITOR_BRIGHTNESS_DC_LABEL), MonitorMode() ? SW_HIDE : SW_SHOW);
}

void Show(HWND dialog, const plans::PlanRecord& record, const plans::PowerValues& values) {
    PlaceChoiceSlider(dialog, &g_Sliders[kBrightnessAC], MonitorMode() ? record.nBrightnessMonitor : record.nBrightnessAC);
    PlaceChoiceSlider(dialog, &g_Sliders[kBrightnessDC], record.nBrightnessDC);
    PlaceChoiceSlider(dialog, &g_Sliders[kDimAC], values.nDimBrightnessAC);
    PlaceChoiceSlider(dialog, &g_Sliders[kDimDC], values.nDimBrightnessDC);
    CheckDlgButton(dialog, IDC_EDITOR_MONITOR_BRIGHTNESS, record.nBrightnessMonitorEnable != 0 ? BST_CHECKED : BST_UNCHECKED);
    EnableMonitorSlider(dialog);
    plans::AmbientLightRange range = record.biALS;
    display::VerifyAlsSetting(&range);
    CheckRadioButton(dialog, IDC_EDITOR_FIXED_BRIGHTNESS, IDC_EDITOR_AMBIENT_BRIGHTNESS,
                     range.ucMode == kModeAmbient ? IDC_EDITOR_AMBIENT_BRIGHTNESS : IDC_EDITOR_FIXED_BRIGHTNESS);
    display::SetALSSlider(dialog, kMainsRange, range.ucAC_MIN, range.ucAC_MAX);
    display::SetALSSlider(dialog, kBatteryRange, range.ucDC_MIN, range.ucDC_MAX);
}

void Collect(HWND dialog, plans::PlanRecord* record, plans::PowerValues* values) {
    if (MonitorMode()) {
        record->nBrightnessMonitor = ChoiceValue(dialog, g_Sliders[kBrightnessAC], record->nBrightnessMonitor);
        record->nBrightnessMonitorEnable =
            IsDlgButtonChecked(dialog, IDC_EDITOR_MONITOR_BRIGHTNESS) == BST_CHECKED ? 1 : 0;
    } else {
        record->nBrightnessAC = ChoiceValue(dialog, g_Sliders[kBrightnessAC], record->nBrightnessAC);
        record->nBrightnessDC = ChoiceValue(dialog, g_Sliders[kBrightnessDC], record->nBrightnessDC);
    }
    if (DimShown()) {
        values->nDimBrightnessAC = ChoiceValue(dialog, g_Sliders[kDimAC], values->nDimBrightnessAC);
        values->nDimBrightnessDC = ChoiceValue(dialog, g_Sliders[kDimDC], values->nDimBrightnessDC);
    }
    if (display::bALS) {
        plans::AmbientLightRange range{};
        range.ucMode = IsDlgButtonChecked(dialog, IDC_EDITOR_AMBIENT_BRIGHTNESS) == BST_CHECKED ? kModeAmbient : kModeFixed;
        range.ucAC_MAX = RangeBound(dialog, IDC_ALS_AC_SLIDER, TBM_GETSELEND);
        range.ucAC_MIN = RangeBound(dialog, IDC_ALS_AC_SLIDER, TBM_GETSELSTART);
        range.ucDC_MAX = RangeBound(dialog, IDC_ALS_DC_SLIDER, TBM_GETSELEND);
        range.ucDC_MIN = RangeBound(dialog, IDC_ALS_DC_SLIDER, TBM_GETSELSTART);
        display::VerifyAlsSetting(&range);
        record->biALS = range;
    }
}

bool OnSlider(HWND dialog, int id) {
    if (id == IDC_ALS_AC_SLIDER) {
        MoveRange(dialog, id, kMainsRange);
        return true;
    }
    if (id == IDC_ALS_DC_SLIDER) {
        MoveRange(dialog, id, kBatteryRange);
        return true;
    }
    for (const ChoiceSlider& slider : g_Sliders) {
        if (slider.id == id) {
            ShowChoiceLabel(dialog, slider);
            return true;
        }
    }
    return false;
}

void OnCommand(HWND dialog, int id) {
    if (id == IDC_EDITOR_MONITOR_BRIGHTNESS) {
        EnableMonitorSlider(dialog);
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"brightness control %d", id);
}

}  // namespace editor_brightness
