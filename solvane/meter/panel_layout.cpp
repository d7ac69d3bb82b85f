// Layout records of the three panel styles and the rules over them.
#include "meter/panel_layout.h"

#include <strsafe.h>

#include "plans/settings.h"

namespace meter {

namespace {

constexpr DWORD kMhzPerGhz = 1000;
constexpr DWORD kMhzPerTenth = 100;
constexpr DWORD kRoundUpFrom = 49;   // tens and units above this round the tenths up
constexpr int kTenthsPerUnit = 10;
constexpr int kMinutesPerHour = 60;

// Sizes and areas of the three styles (client pixels at 96 DPI).
constexpr PanelLayout kStandard = {
    {220, 96},
    {196, 4, 216, 24},    // minimise
    {8, 60, 72, 90},      // boost
    {172, 4, 194, 24},    // menu
    {80, 30, 212, 90},    // gauge
    {8, 6, 168, 26},      // plan name
    {8, 32, 72, 56},      // frequency
    {80, 70, 212, 90},    // battery
    217};
constexpr PanelLayout kStyleA = {
    {160, 64},
    {138, 2, 156, 20},
    {4, 40, 52, 60},
    {118, 2, 136, 20},
    {56, 22, 156, 60},
    {4, 4, 114, 20},
    {4, 22, 52, 38},
    {104, 44, 156, 60},
    179};
constexpr PanelLayout kStyleB = {
    {260, 40},
    {238, 10, 256, 30},
    {4, 4, 44, 36},
    {218, 10, 236, 30},
    {48, 22, 214, 36},
    {48, 4, 150, 20},
    {154, 4, 214, 20},
    {154, 22, 214, 36},
    128};

// Inside the rectangle without its outer one-pixel edge.
bool InsideButton(const RECT& rc, POINT pt) noexcept {
    return pt.x > rc.left && pt.x < rc.right - 1 && pt.y > rc.top && pt.y < rc.bottom - 1;
}

}  // namespace

PanelStyle StyleFromFlags(DWORD flagWord) noexcept {
    if ((flagWord & plans::FLAG_LAYOUT_ALT1) != 0) {
        return PanelStyle::A;
    }
    if ((flagWord & plans::FLAG_LAYOUT_ALT2) != 0) {
        return PanelStyle::B;
    }
    return PanelStyle::Standard;
}

const PanelLayout& LayoutFor(PanelStyle style) noexcept {
    switch (style) {
    case PanelStyle::A:
        return kStyleA;
    case PanelStyle::B:
        return kStyleB;
    default:
        return kStandard;
    }
}

BYTE PanelAlpha(PanelStyle style, bool transparent) noexcept {
    return transparent ? LayoutFor(style).alphaTransparent : kAlphaOpaque;
}

int PanelHitTest(const PanelLayout& layout, POINT client) noexcept {
    if (InsideButton(layout.rcMinimize, client)) {
        return kHitMinimize;
    }
    if (InsideButton(layout.rcBoost, client)) {
        return kHitBoost;
    }
    if (InsideButton(layout.rcMenu, client)) {
        return kHitMenu;
    }
    if (PtInRect(&layout.rcGauge, client)) {
        return kHitGauge;
    }
    return kHitNone;
}

POINT ClampIntoWorkArea(POINT topLeft, SIZE size, const RECT& workArea) noexcept {
    POINT pt = topLeft;
    if (pt.x + size.cx > workArea.right) {
        pt.x = workArea.right - size.cx;
    }
    if (pt.y + size.cy > workArea.bottom) {
        pt.y = workArea.bottom - size.cy;
    }
    // A panel wider or taller than the work area keeps its top-left corner visible.
    if (pt.x < workArea.left) {
        pt.x = workArea.left;
    }
    if (pt.y < workArea.top) {
        pt.y = workArea.top;
    }
    return pt;
}

POINT FirstStartPosition(SIZE size, const RECT& workArea) noexcept {
    return POINT{workArea.right - size.cx, workArea.bottom - size.cy - kFirstStartBottomGap};
}

bool FormatGigahertz(DWORD mhz, wchar_t* text, size_t cchText) noexcept {
    DWORD whole = mhz / kMhzPerGhz;
    const DWORD rest = mhz % kMhzPerGhz;
    DWORD tenths = rest / kMhzPerTenth;
    if (rest % kMhzPerTenth > kRoundUpFrom) {
        ++tenths;
        if (tenths == static_cast<DWORD>(kTenthsPerUnit)) {
            tenths = 0;
            ++whole;
        }
    }
    return SUCCEEDED(StringCchPrintfW(text, cchText, L"%u.%u", whole, tenths));
}

void BatteryHours(int minutes, int* hours, int* tenths) noexcept {
    *hours = minutes / kMinutesPerHour;
    *tenths = (minutes % kMinutesPerHour) * kTenthsPerUnit / kMinutesPerHour;
}

}  // namespace meter
