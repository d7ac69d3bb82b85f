// The meter panel's layout records and the rules its drawing and mouse handling follow: styles,
// transparency, button hit-testing, placement in the work area and the texts it draws.
#pragma once

#include <windows.h>

#include <cstddef>

namespace meter {

enum class PanelStyle { Standard, A, B };

// Hit codes of the panel's areas.
constexpr int kHitNone = 0;
constexpr int kHitMinimize = 2;
constexpr int kHitBoost = 3;
constexpr int kHitMenu = 4;
constexpr int kHitGauge = 5;

constexpr BYTE kAlphaOpaque = 255;
constexpr int kFirstStartBottomGap = 26;   // first start: this far above the work area's bottom

struct PanelLayout {
    SIZE size;
    RECT rcMinimize;
    RECT rcBoost;
    RECT rcMenu;
    RECT rcGauge;   // also the drag area
    RECT rcName;
    RECT rcFrequency;
    RECT rcBattery;
    BYTE alphaTransparent;
};

// Style A with FlagWord 0x4, style B with 0x8, otherwise the standard style.
PanelStyle StyleFromFlags(DWORD flagWord) noexcept;
const PanelLayout& LayoutFor(PanelStyle style) noexcept;
BYTE PanelAlpha(PanelStyle style, bool transparent) noexcept;

// The button or area under a client point; the outer one-pixel edge of a button is outside.
int PanelHitTest(const PanelLayout& layout, POINT client) noexcept;
// Moves the panel's top-left so that the whole panel lies in the work area.
POINT ClampIntoWorkArea(POINT topLeft, SIZE size, const RECT& workArea) noexcept;
// First start: the bottom right of the work area.
POINT FirstStartPosition(SIZE size, const RECT& workArea) noexcept;

// Nominal frequency "%d.%d" GHz, the tenths rounded on the tens of MHz (2449 → "2.4",
// 2450 → "2.5", 1999 → "2.0"). False when it does not fit.
bool FormatGigahertz(DWORD mhz, wchar_t* text, size_t cchText) noexcept;
// Hours and tenths of a battery time in minutes (90 → 1, 5; 59 → 0, 9).
void BatteryHours(int minutes, int* hours, int* tenths) noexcept;
// Cuts `name` from its end and appends "..." until measure(text) fits `width`; the whole name
// when it fits. measure returns the drawn width of a text.
template <typename Measure>
void FitPlanName(const wchar_t* name, int width, Measure measure, wchar_t* text, size_t cchText) noexcept;

}  // namespace meter

#include "meter/panel_layout_fit.inl"
