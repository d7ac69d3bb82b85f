// Mouse handling of the meter panel: dragging on the gauge or outside the buttons, buttons that
// act on release, the context menus of the right button.
#include <windowsx.h>

#include "common/handles.h"
#include "common/log.h"
#include "meter/boost.h"
#include "meter/panel_state.h"
#include "meter/panel_window.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace meter {

namespace {

constexpr size_t kMenuTextChars = 128;

POINT ClientPoint(LPARAM lParam) noexcept { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

bool IsButton(int hit) noexcept { return hit == kHitMinimize || hit == kHitBoost || hit == kHitMenu; }

void InvalidateButtons() noexcept {
    InvalidateArea(g_Panel.layout.rcMinimize);
    InvalidateArea(g_Panel.layout.rcBoost);
    InvalidateArea(g_Panel.layout.rcMenu);
}

void TrackLeave(HWND hwnd) noexcept {
    if (g_Panel.bTracking) {
        return;
    }
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
    g_Panel.bTracking = TrackMouseEvent(&track) != FALSE;
}

void SetHot(int hit) noexcept {
    if (g_Panel.nHot == hit) {
        return;
    }
    g_Panel.nHot = hit;
    InvalidateButtons();
    if (hit == kHitMenu && g_Panel.style != PanelStyle::B) {
        WakeAnimation(kAnimScroll);   // the name scrolls while the pointer rests on the menu button
    }
}

void ShowPlanMenu(HWND hwnd, POINT client) noexcept {
    if (g_PanelHooks.showPlanMenu != nullptr) {
        g_PanelHooks.showPlanMenu(hwnd, client);
    }
}

// The boost button's own menu: the boost command, checked while boosting.
void ShowBoostMenu(HWND hwnd, POINT client) noexcept {
    common::UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        WriteErrorLog(IDS_ERR_CREATE_RIGHT_MENU, GetLastError(), ERRLOG_FILE);
        return;
    }
    wchar_t text[kMenuTextChars] = L"";
    LoadStringW(GetModuleHandleW(nullptr), IDS_BOOST_BUTTON, text, static_cast<int>(kMenuTextChars));
    UINT flags = MF_STRING | (BoostActive() ? MF_CHECKED : 0);
    if (plans::HasFlag(plans::FLAG_CANTCHGPP)) {
        flags |= MF_GRAYED;
    }
    AppendMenuW(menu.Get(), flags, IDM_BOOST, text);
    POINT screen = client;
    ClientToScreen(hwnd, &screen);
    SetForegroundWindow(hwnd);
    TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd, nullptr);
}

void EndDrag(HWND hwnd) noexcept {
    g_Panel.bDragging = false;
    RECT window{};
    if (GetWindowRect(hwnd, &window)) {
        plans::g_Settings.blob.left = window.left;
        plans::g_Settings.blob.top = window.top;
    }
}

void ActOnButton(HWND hwnd, int hit) noexcept {
    switch (hit) {
    case kHitMinimize:
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, 0), 0);
        break;
    case kHitBoost:
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_BOOST, 0), 0);
        break;
    case kHitMenu:
        ShowPlanMenu(hwnd, POINT{g_Panel.layout.rcMenu.left, g_Panel.layout.rcMenu.bottom});
        break;
    default:
        break;
    }
}

}  // namespace

INT_PTR OnPanelLButtonDown(HWND hwnd, LPARAM lParam) noexcept {
    const POINT pt = ClientPoint(lParam);
    const int hit = PanelHitTest(g_Panel.layout, pt);
    if (IsButton(hit)) {
        g_Panel.nPressed = hit;
        InvalidateButtons();
    } else {
        g_Panel.bDragging = true;
        g_Panel.ptDragOffset = pt;
    }
    SetCapture(hwnd);
    return TRUE;
}

INT_PTR OnPanelMouseMove(HWND hwnd, LPARAM lParam) noexcept {
    if (g_Panel.bDragging) {
        POINT cursor{};
        GetCursorPos(&cursor);
        SetWindowPos(hwnd, nullptr, cursor.x - g_Panel.ptDragOffset.x, cursor.y - g_Panel.ptDragOffset.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;
    }
    TrackLeave(hwnd);
    const int hit = PanelHitTest(g_Panel.layout, ClientPoint(lParam));
    SetHot(IsButton(hit) ? hit : kHitNone);
    return TRUE;
}

INT_PTR OnPanelLButtonUp(HWND hwnd, LPARAM lParam) noexcept {
    if (g_Panel.bDragging) {
        EndDrag(hwnd);
        ReleaseCapture();
        return TRUE;
    }
    const int pressed = g_Panel.nPressed;
    g_Panel.nPressed = kHitNone;
    InvalidateButtons();
    ReleaseCapture();
    if (pressed != kHitNone && PanelHitTest(g_Panel.layout, ClientPoint(lParam)) == pressed) {
        ActOnButton(hwnd, pressed);
    }
    return TRUE;
}

INT_PTR OnPanelRButtonUp(HWND hwnd, LPARAM lParam) noexcept {
    const POINT pt = ClientPoint(lParam);
    switch (PanelHitTest(g_Panel.layout, pt)) {
    case kHitBoost:
        ShowBoostMenu(hwnd, pt);
        break;
    case kHitGauge:
        ShowPlanMenu(hwnd, pt);
        break;
    default:
        if (g_PanelHooks.showPanelMenu != nullptr) {
            g_PanelHooks.showPanelMenu(hwnd, pt);
        }
        break;
    }
    return TRUE;
}

INT_PTR OnPanelMouseLeave(HWND) noexcept {
    g_Panel.bTracking = false;
    SetHot(kHitNone);
    return TRUE;
}

INT_PTR OnPanelCaptureChanged(HWND hwnd) noexcept {
    if (g_Panel.bDragging) {
        EndDrag(hwnd);
    }
    if (g_Panel.nPressed != kHitNone) {
        g_Panel.nPressed = kHitNone;
        InvalidateButtons();
    }
    return TRUE;
}

}  // namespace meter
