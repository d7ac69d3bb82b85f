// State the meter panel's window, drawing, mouse and animation code share (inside meter/).
#pragma once

#include <windows.h>

#include <atomic>

#include "common/dpi.h"
#include "meter/panel_layout.h"
#include "plans/plan_record.h"

namespace meter {

// Animation threads; each waits on its own manual-reset event.
enum PanelAnimation { kAnimBoost, kAnimBlink, kAnimScroll, kAnimIdle, kAnimBattery, kAnimCount };

struct PanelState {
    HWND hwnd = nullptr;
    HWND hTooltip = nullptr;
    PanelStyle style = PanelStyle::Standard;
    PanelLayout layout{};          // scaled to the screen
    common::DpiFactors dpi{1.0f, 1.0f};
    wchar_t szPlanName[plans::kPlanNameChars] = L"";
    // Mouse.
    bool bDragging = false;
    POINT ptDragOffset{};
    int nPressed = kHitNone;       // button under the left press
    int nHot = kHitNone;           // button under the pointer
    bool bTracking = false;        // WM_MOUSELEAVE requested
    // Glow (standard style).
    int nGlow = 3;
    int nGlowDirection = 1;
    // Shared with the animation threads (they only read the window and these values).
    std::atomic<int> nBoostStep{0};      // colour or fade step of the boost transition
    std::atomic<int> nNeedleOffset{0};   // tremble or swing added to the needle, tenths of a percent
    std::atomic<bool> bBatteryHidden{false};
    std::atomic<int> nScrollOffset{0};   // plan-name scroll, pixels
    std::atomic<int> nBatteryStep{0};    // battery gauge animation step
    std::atomic<int> nBoostStartShown{0};
    std::atomic<bool> bBoosting{false};
};
extern PanelState g_Panel;

// The style's layout record scaled by the DPI factors.
PanelLayout ScaledLayout(PanelStyle style, const common::DpiFactors& dpi) noexcept;

// Drawing (panel_paint.cpp).
void GlowFrames(RECT (&frames)[2]) noexcept;
void DrawGlow(HDC dc) noexcept;   // the two frames in the current glow colour (standard style)   // the two glow frames around gauge and boost button
void PaintPanel(HWND hwnd, HDC dc) noexcept;
int NameTextWidth(HWND hwnd, const wchar_t* text) noexcept;
// The gauge's tooltip: string 126 (charging) or 125 with the battery time; empty when unknown.
void GaugeTipText(wchar_t* text, size_t cchText) noexcept;

// Animation threads (panel_threads.cpp).
DWORD StartPanelThreads() noexcept;
void WakeAnimation(PanelAnimation which) noexcept;
bool AnimationRunning(PanelAnimation which) noexcept;

// Mouse (panel_mouse.cpp); each returns TRUE when handled.
INT_PTR OnPanelLButtonDown(HWND hwnd, LPARAM lParam) noexcept;
INT_PTR OnPanelMouseMove(HWND hwnd, LPARAM lParam) noexcept;
INT_PTR OnPanelLButtonUp(HWND hwnd, LPARAM lParam) noexcept;
INT_PTR OnPanelRButtonUp(HWND hwnd, LPARAM lParam) noexcept;
INT_PTR OnPanelMouseLeave(HWND hwnd) noexcept;
INT_PTR OnPanelCaptureChanged(HWND hwnd) noexcept;

// Invalidates one area of the panel (client coordinates of the scaled layout).
void InvalidateArea(const RECT& area) noexcept;

}  // namespace meter
