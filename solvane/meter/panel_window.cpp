// The meter panel's dialog procedure: creation, its private messages, commands and timers.
#include "meter/panel_window.h"

#include <commctrl.h>
#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "meter/boost.h"
#include "meter/panel_state.h"
#include "meter/speed_monitor.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace meter {

PanelHooks g_PanelHooks;
PanelState g_Panel;

namespace {

constexpr wchar_t kTrace[] = L"MeterPanel";
constexpr size_t kTitleChars = 256;
constexpr size_t kTipChars = 256;
// The plan commands of the menus: the pinned modes and the other plans.
constexpr WORD kPlanCommandFirst = IDM_PLAN_PINNED3;
constexpr WORD kPlanCommandLast = IDM_PLAN_OTHER_FIRST + 255;

HWND MainWindow() noexcept { return g_PanelHooks.mainWindow != nullptr ? g_PanelHooks.mainWindow() : nullptr; }

void SetResult(HWND hwnd, LRESULT result) noexcept { SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result); }

bool StandardStyleShown() noexcept {
    const DWORD flags = plans::g_Settings.blob.dwFlagWord;
    return (flags & (plans::FLAG_LAYOUT_ALT1 | plans::FLAG_LAYOUT_ALT2 | plans::FLAG_TRAY_ONLY)) == 0;
}

bool WorkArea(RECT* area) noexcept {
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, area, 0)) {
        return true;
    }
    WriteErrorLog(IDS_ERR_WORK_AREA, GetLastError(), ERRLOG_FILE);
    return false;
}

// Size from the style's layout; the position (the stored one at start, else where the panel
// is) clamped into the work area.
void LayOut(HWND hwnd, bool storedPosition) noexcept {
    g_Panel.style = StyleFromFlags(plans::g_Settings.blob.dwFlagWord);
    g_Panel.dpi = common::ScreenDpiFactors();
    g_Panel.layout = ScaledLayout(g_Panel.style, g_Panel.dpi);
    RECT window{};
    GetWindowRect(hwnd, &window);
    POINT position{window.left, window.top};
    if (storedPosition) {
        position = POINT{plans::g_Settings.blob.left, plans::g_Settings.blob.top};
    }
    RECT area{};
    if (WorkArea(&area)) {
        position = ClampIntoWorkArea(position, g_Panel.layout.size, area);
    }
    SetWindowPos(hwnd, nullptr, position.x, position.y, g_Panel.layout.size.cx, g_Panel.layout.size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CopyPlanName() noexcept {
    StringCchCopyW(g_Panel.szPlanName, ARRAYSIZE(g_Panel.szPlanName), plans::activepsi.szName);
}

// --- Tooltips ------------------------------------------------------------------------------

struct ToolArea {
    int hit;
    const RECT PanelLayout::*area;
};
constexpr ToolArea kTools[] = {
    {kHitMinimize, &PanelLayout::rcMinimize},
    {kHitBoost, &PanelLayout::rcBoost},
    {kHitMenu, &PanelLayout::rcMenu},
    {kHitGauge, &PanelLayout::rcGauge},
};

wchar_t g_szMinimizeTip[kTitleChars] = L"";
wchar_t g_szBoostTip[kTipChars] = L"";

void LoadTipTexts() noexcept {
    LoadStringW(GetModuleHandleW(nullptr), IDS_BUTTON_TITLE, g_szMinimizeTip, static_cast<int>(kTitleChars));
    wchar_t boost[kTitleChars] = L"";
    LoadStringW(GetModuleHandleW(nullptr), IDS_BOOST_BUTTON, boost, static_cast<int>(kTitleChars));
    StringCchCopyW(g_szBoostTip, kTipChars, boost);
    if (plans::HasFlag(plans::FLAG_CANTCHGPP)) {
        wchar_t format[kTitleChars] = L"";
        LoadStringW(GetModuleHandleW(nullptr), IDS_NOT_AVAILABLE_NOW, format, static_cast<int>(kTitleChars));
        StringCchPrintfW(g_szBoostTip, kTipChars, format, boost);
    }
}

wchar_t* ToolText(int hit) noexcept {
    switch (hit) {
    case kHitMinimize:
        return g_szMinimizeTip;
    case kHitBoost:
        return g_szBoostTip;
    default:
        return LPSTR_TEXTCALLBACKW;   // the plan name and the battery time change
    }
}

bool CreateTooltips(HWND hwnd) noexcept {
    // Not owned by the panel: a topmost window it owned would keep the panel itself from being
    // made topmost on some systems. The tools name the panel, which gets the notifications.
    g_Panel.hTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    if (g_Panel.hTooltip == nullptr) {
        return false;
    }
    LoadTipTexts();
    for (const ToolArea& tool : kTools) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_SUBCLASS;
        info.hwnd = hwnd;
        info.uId = static_cast<UINT_PTR>(tool.hit);
        info.rect = g_Panel.layout.*tool.area;
        info.lpszText = ToolText(tool.hit);
        if (!SendMessageW(g_Panel.hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info))) {
            return false;
        }
    }
    return true;
}

void MoveTools(HWND hwnd) noexcept {
    if (g_Panel.hTooltip == nullptr) {
        return;
    }
    for (const ToolArea& tool : kTools) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.hwnd = hwnd;
        info.uId = static_cast<UINT_PTR>(tool.hit);
        info.rect = g_Panel.layout.*tool.area;
        SendMessageW(g_Panel.hTooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

// The gauge tip: the battery time while it is known; the menu tip: the whole plan name.
void FillToolText(NMTTDISPINFOW* info) noexcept {
    static wchar_t s_text[kTipChars];
    s_text[0] = L'\0';
    if (info->hdr.idFrom == static_cast<UINT_PTR>(kHitMenu)) {
        StringCchCopyW(s_text, ARRAYSIZE(s_text), g_Panel.szPlanName);
    } else {
        GaugeTipText(s_text, ARRAYSIZE(s_text));
    }
    info->lpszText = s_text;
}

// --- Style, boost and commands ---------------------------------------------------------------

void ApplyStyle(HWND hwnd, WPARAM zOrder, LPARAM transparency) noexcept {
    if (transparency != kLeaveTransparency) {
        const BYTE alpha = PanelAlpha(g_Panel.style, transparency != 0);
        if (!SetLayeredWindowAttributes(hwnd, 0, alpha, LWA_ALPHA)) {
            WriteErrorLog(IDS_ERR_LAYERED_ATTRIBUTES, GetLastError(), ERRLOG_FILE);
        }
    }
    if (zOrder != 0) {
        if (!SetWindowPos(hwnd, reinterpret_cast<HWND>(zOrder), 0, 0, 0, 0,
                          SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
            WriteErrorLog(IDS_ERR_PANEL_ZORDER, GetLastError(), ERRLOG_FILE);
        }
    }
}

// The glow frames change ten times a second: they are drawn straight onto the window, without
// a paint cycle (a later paint draws them the same way).
void RedrawGlow(HWND hwnd) noexcept {
    common::WindowDc dc(hwnd);
    if (dc) {
        DrawGlow(dc.Get());
    }
}

void BoostChanged() noexcept {
    g_Panel.bBoosting = BoostActive();
    WakeAnimation(kAnimBoost);
    InvalidateArea(g_Panel.layout.rcBoost);
    InvalidateArea(g_Panel.layout.rcGauge);
}

void ToggleBoost() noexcept {
    if (BoostActive()) {
        BoostOff();
    } else {
        g_Panel.nBoostStartShown = ShownPercent();
        if (!BoostOn()) {
            return;   // refused or failed: nothing changes on the panel
        }
    }
    BoostChanged();
}

void PostStyle(HWND hwnd, WPARAM zOrder, LPARAM transparency) noexcept {
    PostMessageW(hwnd, WM_PANEL_APPLY_STYLE, zOrder, transparency);
}

void ToggleTopmost(HWND hwnd) noexcept {
    plans::g_Settings.blob.dwFlagWord ^= plans::FLAG_TOPMOST;
    const bool topmost = plans::HasFlag(plans::FLAG_TOPMOST);
    PostStyle(hwnd, reinterpret_cast<WPARAM>(topmost ? HWND_TOPMOST : HWND_NOTOPMOST), kLeaveTransparency);
    plans::SaveSettings();
}

void ToggleTransparency(HWND hwnd) noexcept {
    plans::g_Settings.blob.dwFlagWord ^= plans::FLAG_TRANSPARENT;
    PostStyle(hwnd, 0, plans::HasFlag(plans::FLAG_TRANSPARENT) ? 1 : 0);
    plans::SaveSettings();
}

// New display settings: the style's layout, then z-order and transparency as the bits say.
void ApplyDisplaySettings(HWND hwnd) noexcept {
    RelayoutPanel(hwnd);
    const bool topmost = plans::HasFlag(plans::FLAG_TOPMOST);
    PostStyle(hwnd, reinterpret_cast<WPARAM>(topmost ? HWND_TOPMOST : HWND_NOTOPMOST),
              plans::HasFlag(plans::FLAG_TRANSPARENT) ? 1 : 0);
}

void Minimize(HWND hwnd) noexcept {
    ShowWindow(hwnd, SW_HIDE);
    if (HWND main = MainWindow()) {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, 0), 0);
    }
}

void Forward(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (HWND main = MainWindow()) {
        PostMessageW(main, message, wParam, lParam);
    }
}

// --- Message handlers ------------------------------------------------------------------------

INT_PTR OnInitDialog(HWND hwnd, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"WM_INITDIALOG Enter");
    g_Panel.hwnd = hwnd;
    g_Panel.bBoosting = BoostActive();
    CopyPlanName();
    // 1. Size and place.
    LayOut(hwnd, true);
    // 2. Layered, topmost as set; the title.
    LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED;
    const bool topmost = plans::HasFlag(plans::FLAG_TOPMOST);
    if (topmost) {
        exStyle |= WS_EX_TOPMOST;
    }
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, exStyle);
    wchar_t title[kTitleChars] = L"";
    LoadStringW(GetModuleHandleW(nullptr), IDS_ECO_PROGRAM_TITLE, title, static_cast<int>(kTitleChars));
    SetWindowTextW(hwnd, title);
    // 3. The gauge starts from 0 towards the measured speed. The animation threads start when
    //    the panel is first shown (WM_SHOWWINDOW): a panel kept hidden in tray-only operation
    //    never animates and does not keep five idle threads.
    RestartGauge();
    // 4. Transparency and z-order once the dialog exists.
    PostStyle(hwnd, topmost ? reinterpret_cast<WPARAM>(HWND_TOPMOST) : 0,
              plans::HasFlag(plans::FLAG_TRANSPARENT) ? 1 : 0);
    // 5. An interrupted boost was already undone in its own plan by the start-up, before any
    //    window existed (RestoreInterruptedBoost); it is not restored a second time here.
    // 6. Tooltips.
    if (!CreateTooltips(hwnd)) {
        WriteErrorLog(IDS_ERR_CREATE_TOOLTIP, GetLastError(), ERRLOG_FILE);
    }
    // 7. Timers.
    SetTimer(hwnd, IDT_PANEL_IDLE, kIdleTimerMs, nullptr);
    SetTimer(hwnd, IDT_PANEL_GLOW, kGlowTimerMs, nullptr);
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"WM_INITDIALOG Exit");
    return FALSE;   // no control to focus
}

INT_PTR OnPlanChanged(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"WM_USER+3 (%u)", static_cast<unsigned>(wParam));
    // The main window rebuilds the plan list, refreshes the tray and the open dialogs.
    if (HWND main = MainWindow()) {
        SendMessageW(main, WM_PANEL_PLAN_CHANGED, wParam, lParam);
    }
    if (wcscmp(g_Panel.szPlanName, plans::activepsi.szName) != 0) {
        CopyPlanName();
        g_Panel.nScrollOffset = 0;
        if (g_Panel.style != PanelStyle::B) {
            WakeAnimation(kAnimScroll);
        }
    }
    GUID active{};
    if (BoostActive() && plans::ReadActiveScheme(&active) == ERROR_SUCCESS && EndBoostForPlanChange(active)) {
        BoostChanged();
    }
    ReportTarget();
    InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

INT_PTR OnForward(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    HWND main = MainWindow();
    SetResult(hwnd, main != nullptr ? SendMessageW(main, WM_PANEL_FORWARD, wParam, lParam) : 0);
    return TRUE;
}

INT_PTR OnApplyStyle(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    ApplyStyle(hwnd, wParam, lParam);
    return TRUE;
}

INT_PTR OnEndBoost(HWND hwnd, WPARAM, LPARAM lParam) {
    bool ended = false;
    if (lParam == 0 && BoostActive()) {
        ended = BoostOff();
        if (ended) {
            BoostChanged();
        }
    }
    SetResult(hwnd, ended ? 1 : 0);
    return TRUE;
}

INT_PTR OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const WORD id = LOWORD(wParam);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"WM_COMMAND %u", id);
    switch (id) {
    case IDM_BOOST:
        ToggleBoost();
        return TRUE;
    case IDM_TOPMOST:
        ToggleTopmost(hwnd);
        return TRUE;
    case IDM_TRANSPARENT:
        ToggleTransparency(hwnd);
        return TRUE;
    case IDM_MINIMIZE_TO_TRAY:
        Minimize(hwnd);
        return TRUE;
    case IDM_HELP:
        if (g_PanelHooks.showHelp != nullptr) {
            g_PanelHooks.showHelp();
        }
        return TRUE;
    case IDM_DISPLAY_SETTINGS:
        if (g_PanelHooks.openDisplaySettings != nullptr && g_PanelHooks.openDisplaySettings(hwnd) != 0) {
            ApplyDisplaySettings(hwnd);
        }
        return TRUE;
    case IDCANCEL:
    case IDOK:
        return TRUE;   // Esc and Enter never close the panel
    default:
        break;
    }
    if ((id >= kPlanCommandFirst && id <= kPlanCommandLast) || id == IDM_RESTORE_PANEL || id == IDM_EXIT ||
        id == IDM_ECO_SETTINGS || id == IDM_PLAN_SETTINGS || id == IDM_SETTINGS_ALIAS ||
        id == IDM_ENERGY_VIEWER || id == IDM_MONITOR_INFO) {
        Forward(WM_COMMAND, wParam, lParam);
    }
    return TRUE;
}

INT_PTR OnSysCommand(HWND hwnd, WPARAM wParam, LPARAM) {
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, 0), 0);
        return TRUE;
    case SC_CLOSE:
        Forward(WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnTimer(HWND hwnd, WPARAM wParam, LPARAM) {
    switch (wParam) {
    case IDT_PANEL_IDLE:
        if (StandardStyleShown()) {
            WakeAnimation(kAnimIdle);
        }
        return TRUE;
    case IDT_PANEL_GLOW:
        if (StandardStyleShown() && IsWindowVisible(hwnd)) {
            StepGlow(&g_Panel.nGlow, &g_Panel.nGlowDirection);
            RedrawGlow(hwnd);
        }
        return TRUE;
    case IDT_PANEL_MENU:
        KillTimer(hwnd, IDT_PANEL_MENU);
        EndMenu();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnPaint(HWND hwnd, WPARAM, LPARAM) {
    common::PaintDc paint(hwnd);
    PaintPanel(hwnd, paint.Get());
    return TRUE;
}

INT_PTR OnShowWindow(HWND, WPARAM wParam, LPARAM) {
    if (wParam != FALSE) {
        const DWORD started = StartPanelThreads();   // once; nothing while they run
        if (started != ERROR_SUCCESS) {
            WriteErrorLog(IDS_ERR_THREAD_PPI, started, ERRLOG_FILE);
        }
    }
    return FALSE;
}

INT_PTR OnEraseBackground(HWND hwnd, WPARAM, LPARAM) {
    SetResult(hwnd, 1);   // the paint covers every pixel
    return TRUE;
}

INT_PTR OnNotify(HWND, WPARAM, LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->hwndFrom == g_Panel.hTooltip && header->code == TTN_GETDISPINFOW) {
        FillToolText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR OnMeasureItem(HWND hwnd, WPARAM, LPARAM lParam) {
    return g_PanelHooks.measureItem != nullptr &&
           g_PanelHooks.measureItem(hwnd, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
}

INT_PTR OnDrawItem(HWND hwnd, WPARAM, LPARAM lParam) {
    return g_PanelHooks.drawItem != nullptr &&
           g_PanelHooks.drawItem(hwnd, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
}

INT_PTR OnDestroy(HWND hwnd, WPARAM, LPARAM) {
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"WM_DESTROY");
    KillTimer(hwnd, IDT_PANEL_IDLE);
    KillTimer(hwnd, IDT_PANEL_GLOW);
    RECT window{};
    if (GetWindowRect(hwnd, &window)) {
        plans::g_Settings.blob.left = window.left;
        plans::g_Settings.blob.top = window.top;
    }
    StopPanelThreads();
    if (g_Panel.hTooltip != nullptr) {
        DestroyWindow(g_Panel.hTooltip);
        g_Panel.hTooltip = nullptr;
    }
    g_Panel.hwnd = nullptr;
    return TRUE;
}

INT_PTR OnLButtonDown(HWND hwnd, WPARAM, LPARAM lParam) { return OnPanelLButtonDown(hwnd, lParam); }
INT_PTR OnMouseMove(HWND hwnd, WPARAM, LPARAM lParam) { return OnPanelMouseMove(hwnd, lParam); }
INT_PTR OnLButtonUp(HWND hwnd, WPARAM, LPARAM lParam) { return OnPanelLButtonUp(hwnd, lParam); }
INT_PTR OnRButtonUp(HWND hwnd, WPARAM, LPARAM lParam) { return OnPanelRButtonUp(hwnd, lParam); }
INT_PTR OnMouseLeave(HWND hwnd, WPARAM, LPARAM) { return OnPanelMouseLeave(hwnd); }
INT_PTR OnCaptureChanged(HWND hwnd, WPARAM, LPARAM) { return OnPanelCaptureChanged(hwnd); }

struct MessageEntry {
    UINT message;
    INT_PTR (*handler)(HWND hwnd, WPARAM wParam, LPARAM lParam);
};

constexpr MessageEntry kMessages[] = {
    {WM_INITDIALOG, OnInitDialog},
    {WM_PANEL_PLAN_CHANGED, OnPlanChanged},
    {WM_PANEL_FORWARD, OnForward},
    {WM_PANEL_APPLY_STYLE, OnApplyStyle},
    {WM_PANEL_END_BOOST, OnEndBoost},
    {WM_COMMAND, OnCommand},
    {WM_SYSCOMMAND, OnSysCommand},
    {WM_TIMER, OnTimer},
    {WM_SHOWWINDOW, OnShowWindow},
    {WM_PAINT, OnPaint},
    {WM_ERASEBKGND, OnEraseBackground},
    {WM_NOTIFY, OnNotify},
    {WM_MEASUREITEM, OnMeasureItem},
    {WM_DRAWITEM, OnDrawItem},
    {WM_LBUTTONDOWN, OnLButtonDown},
    {WM_MOUSEMOVE, OnMouseMove},
    {WM_LBUTTONUP, OnLButtonUp},
    {WM_RBUTTONUP, OnRButtonUp},
    {WM_MOUSELEAVE, OnMouseLeave},
    {WM_CAPTURECHANGED, OnCaptureChanged},
    {WM_DESTROY, OnDestroy},
};

INT_PTR CALLBACK PanelDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.message == message) {
            return entry.handler(hwnd, wParam, lParam);
        }
    }
    return FALSE;
}

}  // namespace

PanelLayout ScaledLayout(PanelStyle style, const common::DpiFactors& dpi) noexcept {
    PanelLayout layout = LayoutFor(style);
    auto scale = [&dpi](RECT& rc) {
        rc = RECT{common::ScaleX(dpi, rc.left), common::ScaleY(dpi, rc.top), common::ScaleX(dpi, rc.right),
                  common::ScaleY(dpi, rc.bottom)};
    };
    layout.size = SIZE{common::ScaleX(dpi, layout.size.cx), common::ScaleY(dpi, layout.size.cy)};
    for (RECT* rc : {&layout.rcMinimize, &layout.rcBoost, &layout.rcMenu, &layout.rcGauge, &layout.rcName,
                     &layout.rcFrequency, &layout.rcBattery}) {
        scale(*rc);
    }
    return layout;
}

void InvalidateArea(const RECT& area) noexcept {
    if (g_Panel.hwnd != nullptr) {
        InvalidateRect(g_Panel.hwnd, &area, FALSE);
    }
}

HWND CreateMeterPanel(HINSTANCE instance, HWND owner) noexcept {
    HWND panel = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_METER_PANEL), owner, PanelDialogProc, 0);
    if (panel == nullptr) {
        WriteErrorLog(IDS_ERR_REGISTER_CLASS, GetLastError(), ERRLOG_FILE);
        StopPanelThreads();
    }
    return panel;
}

HWND MeterPanelWindow() noexcept { return g_Panel.hwnd; }

void RelayoutPanel(HWND panel) noexcept {
    LayOut(panel, false);
    MoveTools(panel);
    InvalidateRect(panel, nullptr, FALSE);
}

void ResetPanelButtons() noexcept {
    g_Panel.nPressed = kHitNone;
    g_Panel.nHot = kHitNone;
    g_Panel.bDragging = false;
}

POINT PanelMenuAnchor(HWND panel) noexcept {
    POINT anchor{g_Panel.layout.rcMenu.left, g_Panel.layout.rcMenu.bottom};
    ClientToScreen(panel, &anchor);
    return anchor;
}

void StepGlow(int* value, int* direction) noexcept {
    int next = *value + *direction;
    if (next > kGlowMax || next < kGlowMin) {
        *direction = -*direction;
        next = *value + *direction;
    }
    *value = next;
}

bool FormatTipTime(int minutes, wchar_t* text, size_t cchText) noexcept {
    constexpr int kMinutesPerHour = 60;
    const int hours = minutes / kMinutesPerHour;
    const int rest = minutes % kMinutesPerHour;
    HRESULT result;
    if (hours == 0) {
        result = StringCchPrintfW(text, cchText, L"%dmin ", rest);
    } else if (rest == 0) {
        result = StringCchPrintfW(text, cchText, L"%dh ", hours);
    } else {
        result = StringCchPrintfW(text, cchText, L"%dh %dmin ", hours, rest);
    }
    return SUCCEEDED(result);
}

}  // namespace meter
