#include <windows.h>
#include <commctrl.h>
#include <strsafe.h>

#include "common/log.h"
#include "display/display.h"
#include "resources/resource.h"

namespace display {

namespace {
DWORD g_dwPanelLevels = 0;
constexpr BYTE kModeFixed = 0;
constexpr BYTE kModeSensor = 1;

void VerifyPair(BYTE* maximum, BYTE* minimum, BYTE top) noexcept {
    if (*maximum > top) {
        *maximum = top;
    }
    if (static_cast<int>(*minimum) > static_cast<int>(top) - 1 || *minimum >= *maximum || *maximum == 0) {
        *maximum = top;
        *minimum = 0;
    }
}
}  // namespace

void SetPanelLevelCount(DWORD levels) noexcept { g_dwPanelLevels = levels; }
DWORD PanelLevelCount() noexcept { return g_dwPanelLevels; }

void VerifyAlsSetting(plans::AmbientLightRange* block) noexcept {
    if (block == nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, L"VerifyAlsSetting", L"%s is NULL.", L"pbiALS");
        return;
    }
    const BYTE top = static_cast<BYTE>(g_dwPanelLevels - 1);
    if (block->ucMode != kModeFixed && block->ucMode != kModeSensor) {
        block->ucMode = kModeFixed;
    }
    if (block->ucAC_MAX > top) {
        block->ucAC_MAX = top;
    }
    if (block->ucDC_MAX > top) {
        block->ucDC_MAX = top;
    }
    VerifyPair(&block->ucAC_MAX, &block->ucAC_MIN, top);
    VerifyPair(&block->ucDC_MAX, &block->ucDC_MIN, top);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"VerifyAlsSetting", L"ucMode:%d,ucAC_MAX:%d,ucAC_MIN:%d,ucDC_MAX:%d,ucDC_MIN:%d",
              block->ucMode, block->ucAC_MAX, block->ucAC_MIN, block->ucDC_MAX, block->ucDC_MIN);
}

namespace {

constexpr DWORD kSliderMains = 1;
constexpr DWORD kSliderBattery = 2;
constexpr size_t kLabelChars = 64;

int Clamp(int value, int low, int high) noexcept { return value < low ? low : (value > high ? high : value); }

void ShowBoundLabel(HWND dialog, int control, UINT formatId, const wchar_t* label) {
    wchar_t format[kLabelChars] = {};
    wchar_t text[kLabelChars] = {};
    LoadStringW(BrightnessResources(), formatId, format, static_cast<int>(ARRAYSIZE(format)));
    if (FAILED(StringCchPrintfW(text, ARRAYSIZE(text), format, label))) {
        return;  // a cut caption would misname the level
    }
    SetDlgItemTextW(dialog, control, text);
}

}  // namespace

void SetALSSlider(HWND dialog, DWORD kind, int nMin, int nMax) {
    constexpr wchar_t kName[] = L"SetALSSlider";
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"nMin:%d nMax:%d", nMin, nMax);
    const int levels = static_cast<int>(g_dwPanelLevels);
    if (!bALS) {
        nMin = 0;
        nMax = levels > 0 ? levels - 1 : 0;
    }
    int slider = 0;
    if (kind == kSliderMains) {
        slider = IDC_ALS_AC_SLIDER;
    } else if (kind == kSliderBattery) {
        slider = IDC_ALS_DC_SLIDER;
    } else {
        LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"dwACDC is invalid parameter.");
        return;
    }
    const std::vector<BrightnessChoice>& range = AmbientLightRangeTable();
    if (levels < 2 || range.size() < static_cast<size_t>(levels)) {
        return;
    }
    HWND control = GetDlgItem(dialog, slider);
    const int top = levels - 1;
    nMin = Clamp(nMin, 0, top);
    nMax = Clamp(nMax, 0, top);
    SendMessageW(control, TBM_SETRANGE, FALSE, MAKELPARAM(0, top));
    // Upper thumb to the end first, so that the lower thumb can move anywhere below it.
    SendMessageW(control, TBM_SETSELEND, FALSE, top);
    SendMessageW(control, TBM_SETSELSTART, FALSE, nMin);
    SendMessageW(control, TBM_SETSELEND, FALSE, nMax);
    SendMessageW(control, TBM_SETPOS, TRUE, nMax);
    ShowBoundLabel(dialog, slider - 1, IDS_ALS_MINIMUM, range[static_cast<size_t>(nMin)].label);
    ShowBoundLabel(dialog, slider - 2, IDS_ALS_MAXIMUM, range[static_cast<size_t>(nMax)].label);
}

}  // namespace display
