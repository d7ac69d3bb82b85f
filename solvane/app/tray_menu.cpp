#include "app/tray_menu.h"

#include <shlwapi.h>
#include <strsafe.h>

#include <utility>

#include "app/app_globals.h"
#include "app/launchers.h"
#include "app/main_state.h"
#include "app/tray_icon.h"
#include "app/ui_state.h"
#include "common/log.h"
#include "common/registry.h"
#include "common/text.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "resources/resource.h"

namespace tray {
namespace {

// String ids of the menus.

constexpr size_t kViewerTextChars = 260;
constexpr size_t kMenuTextChars = 128;
constexpr int kWorkAreaMarginDivisor = 128;

std::vector<MenuPlanItem> g_MenuItems;
GUID g_CurrentPlan = GUID_NULL;
common::UniqueGdiObject g_MenuFont;
COLORREF g_crHighlight = 0;
COLORREF g_crHighlightText = 0;
common::UniqueMenu g_hEcoMenu;  // the open ECO-button menu
int g_nLeftClickMenus = 0;

using common::LoadText;

// The system menu font and highlight colours, read each time a menu opens.
void ReadMenuMetrics() noexcept {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        g_MenuFont.Reset(CreateFontIndirectW(&metrics.lfMenuFont));
    }
    g_crHighlight = GetSysColor(COLOR_HIGHLIGHT);
    g_crHighlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
}

void RememberActivePlan() noexcept {
    g_CurrentPlan = plans::ActivePlanOrNull(false);
}

MenuPlanItem MakePlanItem(UINT id, const plans::PlanRecord& record) noexcept {
    MenuPlanItem item = {};
    item.uId = id;
    item.guid = record.guid;
    item.nIconNo = record.nIconNo;
    item.nLedNo = record.nLedNo;
    item.bFound = !plans::IsNullGuid(record.guid);
    StringCchCopyW(item.szText, ARRAYSIZE(item.szText), record.szName);
    return item;
}

MenuPlanItem MakeTextItem(UINT id, UINT stringId) noexcept {
    MenuPlanItem item = {};
    item.uId = id;
    item.nIconNo = kDefaultIconRow;
    LoadText(stringId, item.szText, ARRAYSIZE(item.szText));
    return item;
}

const MenuPlanItem* FindItem(UINT id) noexcept {
    for (const MenuPlanItem& item : g_MenuItems) {
        if (item.uId == id) {
            return &item;
        }
    }
    return nullptr;
}

void AppendOwnerDrawn(HMENU menu, const MenuPlanItem& item) noexcept {
    UINT flags = MF_OWNERDRAW | (item.bGrayed ? MF_GRAYED : MF_ENABLED);
    g_MenuItems.push_back(item);
    AppendMenuW(menu, flags, item.uId, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(item.uId)));
}

// The pinned plan of a mode item (72 mode 1, 71 mode 2, 70 mode 3), or null.
const plans::PlanRecord* ModePlan(UINT id) noexcept {
    const plans::PlanRecord* record = plans::g_PinnedPlanPtrs[IDM_PLAN_PINNED1 - id];
    if (record == nullptr || plans::IsNullGuid(record->guid)) {
        return nullptr;
    }
    return record;
}

bool ReadModeTable(plans::ModeSlot (&slots)[plans::kMaxPinnedPlans]) noexcept {
    int found = 0;
    return plans::FindModeSlots(slots, &found) != FALSE;
}

bool ReadViewerEntry(wchar_t (&menuName)[kViewerTextChars]) noexcept {
    wchar_t path[kEnergyViewerTextChars] = L"";
    if (!ReadEnergyViewerEntry(menuName, kViewerTextChars, path, kEnergyViewerTextChars)) {
        return false;
    }
    if (menuName[0] == L'\0') {
        LoadText(IDS_MENU_ENERGY_VIEWER, menuName, kViewerTextChars);
    }
    RememberEnergyViewerPath(path);  // command 64 launches what the menu offered
    return true;
}

void AppendString(HMENU menu, UINT flags, UINT id, UINT stringId) noexcept {
    wchar_t text[kMenuTextChars];
    LoadText(stringId, text, kMenuTextChars);
    AppendMenuW(menu, MF_STRING | flags, id, text);
}

POINT CursorOrClientPoint(HWND owner, const POINT* clientPoint) noexcept {
    POINT point = {};
    if (clientPoint != nullptr) {
        point = *clientPoint;
        ClientToScreen(owner, &point);
    } else {
        GetCursorPos(&point);
    }
    return point;
}

UINT SettingsStringForText() noexcept { return ui::EcoOperation() ? IDS_TEXT_ECO_SETTINGS : IDS_TEXT_PLAN_SETTINGS; }

}  // namespace

const std::vector<MenuPlanItem>& CurrentMenuItems() noexcept { return g_MenuItems; }

bool PlanGrayedByPeakCut(const GUID& plan, int level, bool threeMode, const plans::ModeSlot (&slots)[3],
                         bool tableRead) noexcept {
    if (level != 1 && level != 2) {
        return false;
    }
    // Without the mode table nothing may be chosen at levels 1 and 2, in both variants.
    if (!tableRead) {
        WriteErrorLog(IDS_ERR_GET_ACTIVE_SCHEME, 0, ERRLOG_FILE);
        return true;
    }
    if (level == 1 && !threeMode) {
        return false;
    }
    auto isSlot = [&](int index) {
        return !plans::IsNullGuid(slots[index].guid) && IsEqualGUID(slots[index].guid, plan) != FALSE;
    };
    if (level == 1) {
        return !(isSlot(1) || isSlot(2));
    }
    // Level 2: only the mode-3 plan (three modes) or the ECO plan, LED number 3 (two modes).
    return threeMode ? !isSlot(2) : !isSlot(0);
}

int BuildPlanMenu(HMENU menu, PlanMenuKind kind) noexcept {
    g_MenuItems.clear();
    RememberActivePlan();
    const bool threeMode = ui::ThreeModeOperation();
    // Only the left-click menu is grayed during a peak cut.
    const int level = kind == PlanMenuKind::LeftClick ? ui::PeakCutLevel() : 0;
    plans::ModeSlot slots[plans::kMaxPinnedPlans] = {};
    bool tableRead = true;
    if (level == 1 || level == 2) {
        tableRead = ReadModeTable(slots);
    }
    int planItems = 0;
    auto addPlan = [&](UINT id, const plans::PlanRecord& record) {
        MenuPlanItem item = MakePlanItem(id, record);
        item.bGrayed = PlanGrayedByPeakCut(record.guid, level, threeMode, slots, tableRead);
        AppendOwnerDrawn(menu, item);
        ++planItems;
    };
    {
        plans::PlanListLock lock(kPlanLockDetailMenu);
        bool anyMode = false;
        const UINT modeIds[] = {IDM_PLAN_PINNED1, IDM_PLAN_PINNED2, IDM_PLAN_PINNED3};
        if (threeMode) {
            for (UINT id : modeIds) {
                if (lock.Owned() && ModePlan(id) != nullptr) {
                    addPlan(id, *ModePlan(id));
                    anyMode = true;
                }
            }
            if (anyMode) {
                AppendMenuW(menu, MF_SEPARATOR, IDM_SEPARATOR_MODES, nullptr);
            }
        } else if (lock.Owned() && kind == PlanMenuKind::EcoButton) {
            // The ECO-button menu: both modes, then the separator.
            for (UINT id : {IDM_PLAN_PINNED1, IDM_PLAN_PINNED2}) {
                if (ModePlan(id) != nullptr) {
                    addPlan(id, *ModePlan(id));
                    anyMode = true;
                }
            }
            if (anyMode) {
                AppendMenuW(menu, MF_SEPARATOR, IDM_SEPARATOR_MODES, nullptr);
            }
        } else if (lock.Owned()) {
            if (ModePlan(IDM_PLAN_PINNED1) != nullptr) {
                addPlan(IDM_PLAN_PINNED1, *ModePlan(IDM_PLAN_PINNED1));
                AppendMenuW(menu, MF_SEPARATOR, IDM_SEPARATOR_MODES, nullptr);
            }
            if (ModePlan(IDM_PLAN_PINNED2) != nullptr) {
                addPlan(IDM_PLAN_PINNED2, *ModePlan(IDM_PLAN_PINNED2));
            }
        }
        if (lock.Owned()) {
            for (size_t n = 0; n < plans::g_OtherPlans.size(); ++n) {
                const plans::PlanRecord* record = plans::g_OtherPlans[n];
                if (record != nullptr && record->szName[0] != L'\0') {
                    addPlan(IDM_PLAN_OTHER_FIRST + static_cast<UINT>(n), *record);
                }
            }
        }
        // A time-out is logged by the lock (error 48); no plans are listed then.
    }
    AppendMenuW(menu, MF_SEPARATOR, IDM_SEPARATOR_PLANS, nullptr);
    AppendOwnerDrawn(menu, MakeTextItem(IDM_SETTINGS_ALIAS, SettingsStringForText()));
    return planItems;
}

void BuildRightMenu(HMENU menu, bool trayVariant, bool panelTopmost) noexcept {
    const bool eco = ui::EcoOperation();
    wchar_t viewerName[kViewerTextChars] = L"";
    if (eco && ReadViewerEntry(viewerName)) {
        AppendMenuW(menu, MF_STRING, IDM_ENERGY_VIEWER, viewerName);
    }
    if (trayVariant) {
        if (ui::PanelConfigured()) {
            AppendString(menu, 0, IDM_RESTORE_PANEL, IDS_MENU_PANEL);
        }
    } else {
        AppendString(menu, 0, IDM_MINIMIZE_TO_TRAY, IDS_MENU_MINIMIZE);
        AppendString(menu, panelTopmost ? MF_CHECKED : 0, IDM_TOPMOST, IDS_MENU_TOPMOST);
        bool transparent = (plans::g_Settings.blob.dwFlagWord & plans::FLAG_TRANSPARENT) != 0;
        AppendString(menu, transparent ? MF_CHECKED : 0, IDM_TRANSPARENT, IDS_MENU_TRANSPARENT);
    }
    UINT grayed = ui::EcoInputSuppressed() ? MF_GRAYED : 0;
    if (eco) {
        AppendString(menu, grayed, IDM_ECO_SETTINGS, IDS_MENU_ECO_SETTINGS);
    } else {
        AppendString(menu, grayed, IDM_PLAN_SETTINGS, IDS_MENU_PLAN_SETTINGS);
    }
    if (!trayVariant) {
        AppendString(menu, 0, IDM_DISPLAY_SETTINGS, IDS_MENU_DISPLAY_SETTINGS);
        AppendString(menu, 0, IDM_HELP, IDS_MENU_HELP);
    }
    if (ui::ExternalMonitorSupport()) {
        AppendString(menu, 0, IDM_MONITOR_INFO, IDS_MENU_MONITOR_INFO);
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendString(menu, 0, IDM_EXIT, IDS_MENU_EXIT);
}

void ShowRightClickMenu(HWND owner, bool trayVariant, POINT point) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowRightClickMenu", L"Enter");
    if (trayVariant) {
        GetCursorPos(&point);
        SendMessageW(owner, WM_APP_DIALOG_POSITION, static_cast<WPARAM>(point.x), static_cast<LPARAM>(point.y));
    } else {
        ClientToScreen(owner, &point);
    }
    if (ui::FocusOpenSettingsDialog()) {
        return;
    }
    common::UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        WriteErrorLog(IDS_ERR_CREATE_RIGHT_MENU, GetLastError(), ERRLOG_FILE);
        return;
    }
    bool topmost = (GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    BuildRightMenu(menu.Get(), trayVariant, topmost);
    SetForegroundWindow(owner);
    TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr);
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowRightClickMenu", L"Exit");
}

void ShowLeftClickMenu(HWND owner, const POINT* clientPoint) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowLeftClickMenu", L"Enter");
    if (ui::FocusOpenSettingsDialog()) {
        return;
    }
    common::UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        WriteErrorLog(IDS_ERR_CREATE_LEFT_MENU, GetLastError(), ERRLOG_FILE);
        return;
    }
    ReadMenuMetrics();
    BuildPlanMenu(menu.Get(), PlanMenuKind::LeftClick);
    DrawMenuBar(owner);
    POINT point = CursorOrClientPoint(owner, clientPoint);
    SetForegroundWindow(owner);
    TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr);
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowLeftClickMenu", L"Exit");
}

void ShowEcoButtonMenu(HWND owner, POINT panelAnchor) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowEcoButtonMenu", L"Enter");
    common::UniqueMenu created(CreatePopupMenu());
    if (!created) {
        WriteErrorLog(IDS_ERR_CREATE_LEFT_MENU, GetLastError(), ERRLOG_FILE);
        return;
    }
    HMENU menu = created.Get();
    ReadMenuMetrics();
    BuildPlanMenu(menu, PlanMenuKind::EcoButton);
    ui::ForceForeground(owner);
    RECT work = {};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        WriteErrorLog(IDS_ERR_WORK_AREA, GetLastError(), ERRLOG_FILE);
        return;
    }
    g_hEcoMenu = std::move(created);
    BOOL shown;
    if (ui::TrayOnly()) {
        int x = work.right - work.right / kWorkAreaMarginDivisor;
        int y = work.bottom - work.bottom / kWorkAreaMarginDivisor;
        shown = TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
    } else {
        shown = TrackPopupMenu(menu, TPM_RIGHTBUTTON, panelAnchor.x, panelAnchor.y, 0, owner, nullptr);
    }
    if (!shown && g_hEcoMenu) {
        WriteErrorLog(IDS_ERR_CREATE_LEFT_MENU, GetLastError(), ERRLOG_FILE);
    }
    SetTimer(owner, IDT_ECO_MENU, kEcoMenuTimerMs, nullptr);
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowEcoButtonMenu", L"Exit");
}

bool EcoButtonMenuOpen() noexcept { return g_hEcoMenu && IsMenu(g_hEcoMenu.Get()); }

// The menu may have been destroyed by the system already: then only the handle is dropped.
void DropEcoMenu() noexcept {
    if (g_hEcoMenu && !IsMenu(g_hEcoMenu.Get())) {
        g_hEcoMenu.Release();
    }
    g_hEcoMenu.Reset();
}

void CloseEcoButtonMenu(HWND escapeTarget) noexcept {
    DropEcoMenu();
    PostMessageW(escapeTarget, WM_KEYDOWN, VK_ESCAPE, 0);
}

void OnEcoMenuTimer(HWND owner) noexcept {
    KillTimer(owner, IDT_ECO_MENU);
    DropEcoMenu();
}

BOOL OnMeasureMenuItem(HWND, MEASUREITEMSTRUCT* measure) noexcept {
    if (measure == nullptr || measure->CtlType != ODT_MENU) {
        return FALSE;
    }
    const UINT id = measure->itemID;
    wchar_t text[plans::kPlanNameChars] = L"";
    if (id == IDM_MONITOR_INFO) {
        LoadText(IDS_TEXT_PERFORMANCE, text, ARRAYSIZE(text));
    } else if (id == IDM_TEXT_SCENES) {
        LoadText(IDS_TEXT_SCENES, text, ARRAYSIZE(text));
    } else if (id == IDM_SETTINGS_ALIAS) {
        LoadText(SettingsStringForText(), text, ARRAYSIZE(text));
    } else if (id == IDM_PLAN_PINNED1 || id == IDM_PLAN_PINNED2 || id == IDM_PLAN_PINNED3 || id >= IDM_PLAN_OTHER_FIRST) {
        const MenuPlanItem* item = FindItem(id);
        if (item != nullptr) {
            StringCchCopyW(text, ARRAYSIZE(text), item->szText);
        }
    } else {
        WriteErrorLog(IDS_ERR_CREATE_LEFT_MENU, id, ERRLOG_FILE);
        return FALSE;
    }
    const ui::DpiFactors dpi = ui::ScreenDpiFactors();
    SIZE extent = {};
    common::WindowDc screen(nullptr);
    if (screen) {
        // Restored before the DC is released (declared after it).
        common::ScopedSelect font(screen.Get(), g_MenuFont ? g_MenuFont.Get() : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(screen.Get(), text, static_cast<int>(wcslen(text)), &extent);
    }
    measure->itemWidth = static_cast<UINT>(extent.cx + ui::ScaleX(dpi, kMenuLayout.nExtraWidth));
    measure->itemHeight = static_cast<UINT>(ui::ScaleY(dpi, kMenuLayout.nItemHeight));
    return TRUE;
}

BOOL OnDrawMenuItem(HWND, const DRAWITEMSTRUCT* draw) noexcept {
    if (draw == nullptr || draw->CtlType != ODT_MENU) {
        return FALSE;
    }
    const UINT id = draw->itemID;
    const MenuPlanItem* item = FindItem(id);
    if (item == nullptr) {
        return FALSE;
    }
    HDC dc = draw->hDC;
    const RECT& rc = draw->rcItem;
    const bool disabled = (draw->itemState & ODS_DISABLED) != 0 || (draw->itemState & ODS_GRAYED) != 0;
    const bool selected = (draw->itemState & ODS_SELECTED) != 0 && id != IDM_MONITOR_INFO && id != IDM_TEXT_SCENES;
    COLORREF background = GetSysColor(COLOR_MENU);
    COLORREF textColour = GetSysColor(COLOR_MENUTEXT);
    if (disabled) {
        textColour = GetSysColor(COLOR_GRAYTEXT);
    } else if (selected) {
        background = g_crHighlight != 0 ? g_crHighlight : GetSysColor(COLOR_HIGHLIGHT);
        textColour = g_crHighlightText != 0 ? g_crHighlightText : GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    common::UniqueGdiObject brush(CreateSolidBrush(background));
    FillRect(dc, &rc, static_cast<HBRUSH>(brush.Get()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour);
    common::ScopedSelect font(dc, g_MenuFont ? g_MenuFont.Get() : GetStockObject(DEFAULT_GUI_FONT));
    const ui::DpiFactors dpi = ui::ScreenDpiFactors();
    const int iconSize = ui::ScaleX(dpi, kMenuLayout.nIconSize);
    const bool planItem = id == IDM_PLAN_PINNED1 || id == IDM_PLAN_PINNED2 || id == IDM_PLAN_PINNED3 || id >= IDM_PLAN_OTHER_FIRST;
    if (!planItem) {
        TextOutW(dc, rc.left + ui::ScaleX(dpi, kMenuLayout.nTextLeft), rc.top + ui::ScaleY(dpi, kMenuLayout.nTextTop),
                 item->szText, static_cast<int>(wcslen(item->szText)));
        return TRUE;
    }
    int iconNo = item->nIconNo;
    if (!item->bFound) {
        WriteErrorLogGuid(IDS_ERR_BAD_PLAN_COMMAND, item->guid, ERRLOG_FILE);
        iconNo = -1;  // row 10
    }
    if (item->bFound && IsEqualGUID(item->guid, g_CurrentPlan)) {
        common::UniqueIcon mark(static_cast<HICON>(
            LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDI_PLAN_MARK), IMAGE_ICON, kMenuLayout.nIconSize,
                       kMenuLayout.nIconSize, LR_DEFAULTCOLOR)));
        DrawIconEx(dc, rc.left, rc.top + ui::ScaleY(dpi, kMenuLayout.nMarkTop), mark.Get(), iconSize, iconSize, 0,
                   nullptr, DI_NORMAL);
    }
    const bool withLed = ui::EcoOperation() && !disabled;
    int iconId = TrayIconResourceId(CurrentIconTable(), iconNo, item->nLedNo, withLed);
    common::UniqueIcon icon(static_cast<HICON>(
        LoadImageW(g_hInstance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    DrawIconEx(dc, rc.left + ui::ScaleX(dpi, kMenuLayout.nIconLeft), rc.top + ui::ScaleY(dpi, kMenuLayout.nIconTop),
               icon.Get(), iconSize, iconSize, 0, nullptr, DI_NORMAL);
    TextOutW(dc, rc.left + ui::ScaleX(dpi, kMenuLayout.nNameLeft), rc.top + ui::ScaleY(dpi, kMenuLayout.nNameTop),
             item->szText, static_cast<int>(wcslen(item->szText)));
    return TRUE;
}

bool LeftClickPending() noexcept { return g_MainState.bLeftClickPending; }
int LeftClickMenuCount() noexcept { return g_nLeftClickMenus; }
bool DoubleClickSeen() noexcept { return g_MainState.bDoubleClickSeen; }

void OnTrayCallback(HWND owner, LPARAM mouseMessage) noexcept {
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_MOUSEMOVE:
        RefreshTrayIconIfPlanChanged(owner);
        break;
    case WM_LBUTTONUP:
        ui::SetUserPresent(true);
        if (!ui::FocusOpenSettingsDialog() && !g_MainState.bLeftClickPending && !ui::EcoInputSuppressed() && ui::TrayOnly() &&
            !g_MainState.bDoubleClickSeen) {
            SetTimer(owner, IDT_TRAY_CLICK, GetDoubleClickTime() + kLeftClickExtraMs, nullptr);
            g_MainState.bLeftClickPending = true;
        }
        g_MainState.bDoubleClickSeen = false;
        break;
    case WM_LBUTTONDBLCLK: {
        if (ui::FocusOpenSettingsDialog()) {
            break;
        }
        g_MainState.bLeftClickPending = false;
        POINT cursor = {};
        GetCursorPos(&cursor);
        RECT work = {};
        if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
            g_MainState.ptDialog = {work.right, work.bottom};
        } else {
            g_MainState.ptDialog = cursor;
        }
        PostMessageW(owner, WM_COMMAND, ui::EcoOperation() ? IDM_ECO_SETTINGS : IDM_PLAN_SETTINGS, 0);
        SetForegroundWindow(owner);
        g_MainState.bDoubleClickSeen = true;
        break;
    }
    case WM_RBUTTONUP:
        g_MainState.bLeftClickPending = false;
        ShowRightClickMenu(owner, true, POINT{});
        break;
    default:
        break;
    }
}

void OnLeftClickTimer(HWND owner) noexcept {
    KillTimer(owner, IDT_TRAY_CLICK);
    if (!g_MainState.bLeftClickPending) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"WndProc", L"timer 1010: no pending click");
        return;
    }
    g_MainState.bLeftClickPending = false;
    ++g_nLeftClickMenus;
    plans::RefreshPlanList();
    ShowLeftClickMenu(owner, nullptr);
}

}  // namespace tray
