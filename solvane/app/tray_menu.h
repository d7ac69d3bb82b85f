// The pop-up menus of the tray icon and the panel: the right-click menu, the owner-drawn
// left-click plan menu (grayed during a peak cut), the ECO-button menu for when ECO mode operation
// is off, and the measuring and drawing of their owner-drawn items. The menus only produce
// WM_COMMAND ids for the main window.
#pragma once

#include <windows.h>

#include <vector>

#include "app/app_messages.h"
#include "plans/plan_record.h"
#include "resources/resource.h"

namespace tray {

constexpr UINT kLeftClickExtraMs = 100;
constexpr UINT kEcoMenuTimerMs = 200;

// Error-log ids.
constexpr DWORD kPlanLockDetailMenu = 18;

// Layout of the owner-drawn items (logical pixels, scaled by the DPI factors).
struct MenuLayout {
    int nItemHeight = 24;
    int nExtraWidth = 50;
    int nMarkTop = 4;
    int nIconLeft = 16;
    int nIconTop = 4;
    int nIconSize = 16;
    int nNameLeft = 42;
    int nNameTop = 5;
    int nTextLeft = 8;
    int nTextTop = 5;
};
inline constexpr MenuLayout kMenuLayout{};

// One owner-drawn item of the menu being shown.
struct MenuPlanItem {
    UINT uId;
    GUID guid;       // GUID_NULL for the text items
    int nIconNo;
    int nLedNo;
    bool bFound;     // the plan's record was read
    bool bGrayed;
    wchar_t szText[plans::kPlanNameChars];
};

// The items of the menu being built or shown (main thread).
const std::vector<MenuPlanItem>& CurrentMenuItems() noexcept;

// The two owner-drawn plan menus. The left-click menu is grayed during a peak cut and, in two-mode
// operation, puts its separator after mode 1; the ECO-button menu is never grayed and lists both
// modes before its separator.
enum class PlanMenuKind { LeftClick, EcoButton };
// Fills a menu with the plan items and the settings item. Returns the number of plan items.
int BuildPlanMenu(HMENU menu, PlanMenuKind kind) noexcept;
// Fills the right-click menu of the tray (true) or the panel (false) variant.
void BuildRightMenu(HMENU menu, bool trayVariant, bool panelTopmost) noexcept;

// Whether a plan item is grayed at the peak-cut level; *tableRead = false when the mode table
// could not be read (the item is grayed then).
bool PlanGrayedByPeakCut(const GUID& plan, int level, bool threeMode, const plans::ModeSlot (&slots)[3],
                         bool tableRead) noexcept;

// Right-click menu at a screen point (tray variant) or a client point of the panel.
void ShowRightClickMenu(HWND owner, bool trayVariant, POINT point) noexcept;
// Left-click menu at the cursor (clientPoint null) or at a client point of the owner.
void ShowLeftClickMenu(HWND owner, const POINT* clientPoint) noexcept;
// ECO-button menu (ECO mode operation off), anchored near the lower-right corner of the work
// area in tray-only operation, else at panelAnchor (screen coordinates).
void ShowEcoButtonMenu(HWND owner, POINT panelAnchor) noexcept;
bool EcoButtonMenuOpen() noexcept;
// A second press while the ECO-button menu is open: destroy it and close the menu loop.
void CloseEcoButtonMenu(HWND escapeTarget) noexcept;
// Timer 10108: destroys the ECO-button menu when it still exists.
void OnEcoMenuTimer(HWND owner) noexcept;

// WM_MEASUREITEM / WM_DRAWITEM of the owner-drawn items. TRUE when handled.
BOOL OnMeasureMenuItem(HWND owner, MEASUREITEMSTRUCT* measure) noexcept;
BOOL OnDrawMenuItem(HWND owner, const DRAWITEMSTRUCT* draw) noexcept;

// The tray callback (lParam of WM_USER+2) and timer 1010.
void OnTrayCallback(HWND owner, LPARAM mouseMessage) noexcept;
void OnLeftClickTimer(HWND owner) noexcept;
bool LeftClickPending() noexcept;
// How often the left-click menu was opened from timer 1010 (for the tests and the trace).
int LeftClickMenuCount() noexcept;
bool DoubleClickSeen() noexcept;

}  // namespace tray
