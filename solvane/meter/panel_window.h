// The meter panel: a borderless, optionally transparent and topmost modeless dialog (resource
// 535) with the active plan's name, the speed gauge, the nominal frequency, the battery time and
// the minimise, boost and menu buttons. It runs on the main thread; five animation threads only
// read shared values and invalidate it.
#pragma once

#include <windows.h>

namespace meter {

// Private messages of the panel.
constexpr UINT WM_PANEL_PLAN_CHANGED = WM_USER + 3;  // refresh after a plan change
constexpr UINT WM_PANEL_FORWARD = WM_USER + 4;       // passed on to the main window unchanged
constexpr UINT WM_PANEL_APPLY_STYLE = WM_USER + 5;   // wParam z-order (0 leave), lParam transparency
constexpr UINT WM_PANEL_END_BOOST = WM_USER + 6;     // lParam 0: end an active boost; 1 when ended
constexpr LPARAM kLeaveTransparency = -1;

// Timer periods.
constexpr UINT kIdleTimerMs = 5000;
constexpr UINT kGlowTimerMs = 100;
constexpr int kGlowMin = 3;
constexpr int kGlowMax = 60;

// What the panel asks of the rest of the program; each hook may be left null.
struct PanelHooks {
    HWND (*mainWindow)() = nullptr;
    // The right-click menu (panel variant) and the plan menu, at a client point of the panel.
    void (*showPanelMenu)(HWND panel, POINT client) = nullptr;
    void (*showPlanMenu)(HWND panel, POINT client) = nullptr;
    // Owner-drawn items of the plan menu.
    BOOL (*measureItem)(HWND owner, MEASUREITEMSTRUCT* measure) = nullptr;
    BOOL (*drawItem)(HWND owner, const DRAWITEMSTRUCT* draw) = nullptr;
    void (*showHelp)() = nullptr;
    // The display-settings dialog (502), modal over the panel: non-zero when the layout,
    // topmost or transparency bits changed.
    INT_PTR (*openDisplaySettings)(HWND panel) = nullptr;
};
extern PanelHooks g_PanelHooks;

// Creates the panel (hidden) with the given owner (null: the desktop). Null on failure, which
// is written to the error log as record 9.
HWND CreateMeterPanel(HINSTANCE instance, HWND owner) noexcept;
HWND MeterPanelWindow() noexcept;
// Sets the five animation events, waits at most 1000 ms for each thread and closes the handles
// (also done by the panel's destruction; a second call does nothing).
void StopPanelThreads() noexcept;
// A battery gauge run is still going on.
bool PanelUpdateRunning() noexcept;
// Lays the panel out again for the current settings and moves it fully into the work area.
void RelayoutPanel(HWND panel) noexcept;
// Clears the pressed and hot button states.
void ResetPanelButtons() noexcept;
// The screen point where pop-up menus of the panel open.
POINT PanelMenuAnchor(HWND panel) noexcept;

// Five needle swing tables of 37 entries: amplitude × sin((36 − i) × 2°), i = 36 down to 0.
constexpr int kSwingTables = 5;
constexpr int kSwingEntries = 37;
constexpr int kSwingAmplitudes[kSwingTables] = {-20, -23, -14, 23, -8};
double SwingValue(int table, int entry) noexcept;

// The glow counter's next value and direction: one step between 3 and 60, reversing at either
// bound.
void StepGlow(int* value, int* direction) noexcept;

// Character height of the panel's texts in an area of the given height.
int NameFontHeight(int areaHeight) noexcept;

// Tooltip time of the gauge: "%dh %dmin ", "%dh " or "%dmin ".
bool FormatTipTime(int minutes, wchar_t* text, size_t cchText) noexcept;

}  // namespace meter
