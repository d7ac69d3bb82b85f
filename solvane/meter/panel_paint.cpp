// Drawing of the meter panel with plain GDI: background, glow, gauge, buttons and the texts
// (plan name, nominal frequency, battery time). Drawn into a memory bitmap, then copied.
#include <strsafe.h>

#include <algorithm>
#include <cmath>

#include "battery/battery.h"
#include "common/handles.h"
#include "meter/boost.h"
#include "meter/panel_state.h"
#include "meter/panel_window.h"
#include "meter/speed_monitor.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace meter {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr wchar_t kNameFont[] = L"MS Shell Dlg";
constexpr wchar_t kFrequencyFont[] = L"Tahoma";
constexpr size_t kTextChars = 128;
constexpr int kTextMargin = 2;
constexpr int kFullPercent = 100;
constexpr int kTenthsPerPercent = 10;
constexpr int kBatterySteps = 10;
constexpr int kBatteryBarWidth = 28;

struct StyleColours {
    COLORREF background;
    COLORREF text;
    COLORREF arc;
    COLORREF arcBoost;
    COLORREF button;
    COLORREF buttonHot;
    COLORREF buttonPressed;
};

constexpr StyleColours kColours[] = {
    // standard
    {RGB(24, 32, 48), RGB(255, 255, 255), RGB(40, 170, 90), RGB(240, 140, 20), RGB(52, 64, 88), RGB(72, 90, 124),
     RGB(36, 44, 60)},
    // A
    {RGB(16, 16, 16), RGB(230, 230, 230), RGB(60, 140, 220), RGB(240, 80, 40), RGB(48, 48, 48), RGB(80, 80, 80),
     RGB(30, 30, 30)},
    // B
    {RGB(236, 240, 244), RGB(0, 0, 0), RGB(60, 120, 200), RGB(220, 60, 60), RGB(200, 208, 216), RGB(220, 228, 236),
     RGB(170, 178, 186)},
};
const COLORREF kDisabled = RGB(120, 120, 120);

const StyleColours& Colours() noexcept {
    switch (g_Panel.style) {
    case PanelStyle::A:
        return kColours[1];
    case PanelStyle::B:
        return kColours[2];
    default:
        return kColours[0];
    }
}

COLORREF Blend(COLORREF from, COLORREF to, int percent) noexcept {
    auto mix = [percent](int a, int b) { return static_cast<BYTE>(a + (b - a) * percent / kFullPercent); };
    return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
               mix(GetBValue(from), GetBValue(to)));
}

void Fill(HDC dc, const RECT& rc, COLORREF colour) noexcept {
    common::UniqueGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rc, static_cast<HBRUSH>(brush.Get()));
}

HFONT MakeFont(const wchar_t* face, int height) noexcept {
    return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

int Height(const RECT& rc) noexcept { return rc.bottom - rc.top; }
int Width(const RECT& rc) noexcept { return rc.right - rc.left; }

// --- Texts -----------------------------------------------------------------------------------

void DrawName(HDC dc, const RECT& area) noexcept {
    common::UniqueGdiObject font(MakeFont(kNameFont, NameFontHeight(Height(area))));
    common::ScopedSelect select(dc, font.Get());
    Fill(dc, area, Colours().background);
    const int scroll = g_Panel.nScrollOffset.load();
    const int width = Width(area) - 2 * kTextMargin;
    wchar_t text[plans::kPlanNameChars + 4];
    int x = area.left + kTextMargin;
    if (scroll == 0) {
        FitPlanName(
            g_Panel.szPlanName, width,
            [dc](const wchar_t* candidate) {
                SIZE size{};
                GetTextExtentPoint32W(dc, candidate, static_cast<int>(wcslen(candidate)), &size);
                return static_cast<int>(size.cx);
            },
            text, ARRAYSIZE(text));
    } else {
        StringCchCopyW(text, ARRAYSIZE(text), g_Panel.szPlanName);
        SIZE size{};
        GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
        x -= scroll;
        if (x + size.cx < area.left) {
            x += size.cx + Width(area);   // the name comes back in from the right
        }
    }
    common::UniqueGdiObject clip(CreateRectRgnIndirect(&area));
    SelectClipRgn(dc, static_cast<HRGN>(clip.Get()));
    SIZE size{};
    GetTextExtentPoint32W(dc, L"M", 1, &size);
    TextOutW(dc, x, area.top + (Height(area) - size.cy) / 2, text, static_cast<int>(wcslen(text)));
    SelectClipRgn(dc, nullptr);
}

void DrawFrequency(HDC dc, const RECT& area) noexcept {
    wchar_t text[kTextChars] = L"";
    if (plans::g_Settings.dwProcessorMhz == 0 ||
        !FormatGigahertz(plans::g_Settings.dwProcessorMhz, text, ARRAYSIZE(text))) {
        return;
    }
    common::UniqueGdiObject font(MakeFont(kFrequencyFont, NameFontHeight(Height(area))));
    common::ScopedSelect select(dc, font.Get());
    RECT rc = area;
    DrawTextW(dc, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

bool BatteryCharging(const battery::BatterySnapshot& snapshot) noexcept {
    return snapshot.sys.Charging != FALSE || snapshot.dwChargingMask != 0;
}

void DrawBattery(HDC dc, const RECT& area) noexcept {
    Fill(dc, area, Colours().background);
    if (g_Panel.bBatteryHidden.load() || !plans::HasFlag(plans::FLAG_BATTERY)) {
        return;
    }
    const battery::BatterySnapshot snapshot = battery::GetBatterySnapshot();
    RECT textArea = area;
    if (g_Panel.style == PanelStyle::Standard && snapshot.nChargePercent >= 0) {
        // The charge bar grows into place when the battery check wakes its animation.
        RECT bar{area.left + kTextMargin, area.top + 4, area.left + kTextMargin + kBatteryBarWidth, area.bottom - 4};
        common::UniqueGdiObject pen(CreatePen(PS_SOLID, 1, Colours().text));
        common::ScopedSelect selectPen(dc, pen.Get());
        common::ScopedSelect selectBrush(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
        const int step = std::clamp(g_Panel.nBatteryStep.load(), 0, kBatterySteps);
        RECT level = bar;
        InflateRect(&level, -2, -2);
        level.right = level.left + Width(level) * snapshot.nChargePercent / kFullPercent * step / kBatterySteps;
        Fill(dc, level, Colours().arc);
        textArea.left = bar.right + kTextMargin;
    }
    if (snapshot.nRemainMin <= 0) {
        return;
    }
    int hours = 0;
    int tenths = 0;
    BatteryHours(snapshot.nRemainMin, &hours, &tenths);
    wchar_t format[kTextChars] = L"%d.%dh";
    if (g_Panel.style != PanelStyle::A) {
        LoadStringW(GetModuleHandleW(nullptr),
                    BatteryCharging(snapshot) ? IDS_PANEL_BATTERY_TIME_CHARGING : IDS_PANEL_BATTERY_TIME, format,
                    static_cast<int>(ARRAYSIZE(format)));
    }
    wchar_t text[kTextChars] = L"";
    StringCchPrintfW(text, ARRAYSIZE(text), format, hours, tenths);
    common::UniqueGdiObject font(MakeFont(kNameFont, NameFontHeight(Height(area))));
    common::ScopedSelect select(dc, font.Get());
    DrawTextW(dc, text, -1, &textArea, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// --- Gauge, glow and buttons -----------------------------------------------------------------

// The gauge's own part: the gauge area without the battery area that shares it.
RECT GaugeFace() noexcept {
    RECT face = g_Panel.layout.rcGauge;
    const RECT& battery = g_Panel.layout.rcBattery;
    if (battery.top > face.top && battery.top < face.bottom) {
        face.bottom = battery.top;
    } else if (battery.left > face.left && battery.left < face.right) {
        face.right = battery.left;
    }
    return face;
}

int NeedlePercentTenths() noexcept {
    const int tenths = ShownPercent() * kTenthsPerPercent + g_Panel.nNeedleOffset.load();
    return std::clamp(tenths, 0, kFullPercent * kTenthsPerPercent);
}

COLORREF ArcColour() noexcept {
    return Blend(Colours().arc, Colours().arcBoost, std::clamp(g_Panel.nBoostStep.load(), 0, kFullPercent));
}

void DrawBarGauge(HDC dc, const RECT& face) noexcept {
    RECT track = face;
    InflateRect(&track, -kTextMargin, -3);
    Fill(dc, track, Colours().button);
    RECT level = track;
    level.right = level.left + Width(track) * NeedlePercentTenths() / (kFullPercent * kTenthsPerPercent);
    Fill(dc, level, ArcColour());
}

void DrawDialGauge(HDC dc, const RECT& face) noexcept {
    const int radius = std::max(4, std::min(Width(face) / 2, Height(face)) - kTextMargin);
    const POINT centre{(face.left + face.right) / 2, face.bottom - 1};
    common::UniqueGdiObject arcPen(CreatePen(PS_SOLID, 3, ArcColour()));
    {
        common::ScopedSelect selectPen(dc, arcPen.Get());
        Arc(dc, centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius, centre.x + radius,
            centre.y, centre.x - radius, centre.y);
    }
    const double angle = kPi - kPi * NeedlePercentTenths() / (kFullPercent * kTenthsPerPercent);
    const int length = radius - 4;
    common::UniqueGdiObject needlePen(CreatePen(PS_SOLID, 2, Colours().text));
    common::ScopedSelect selectPen(dc, needlePen.Get());
    MoveToEx(dc, centre.x, centre.y, nullptr);
    LineTo(dc, centre.x + static_cast<int>(std::lround(length * std::cos(angle))),
           centre.y - static_cast<int>(std::lround(length * std::sin(angle))));
}

void DrawGauge(HDC dc) noexcept {
    const RECT face = GaugeFace();
    Fill(dc, face, Colours().background);
    if (g_Panel.style == PanelStyle::B) {
        DrawBarGauge(dc, face);
    } else {
        DrawDialGauge(dc, face);
    }
}

}  // namespace

void GlowFrames(RECT (&frames)[2]) noexcept {
    frames[0] = g_Panel.layout.rcGauge;
    frames[1] = g_Panel.layout.rcBoost;
    for (RECT& frame : frames) {
        InflateRect(&frame, 2, 2);
    }
}

namespace {

}  // namespace

void DrawGlow(HDC dc) noexcept {
    if (g_Panel.style != PanelStyle::Standard) {
        return;
    }
    const int glow = g_Panel.nGlow;
    const COLORREF colour = RGB(0, 40 + glow * 3, 80 + glow * 2);
    common::UniqueGdiObject brush(CreateSolidBrush(colour));
    RECT frames[2];
    GlowFrames(frames);
    for (const RECT& frame : frames) {
        FrameRect(dc, &frame, static_cast<HBRUSH>(brush.Get()));
    }
}

namespace {

COLORREF ButtonColour(int hit) noexcept {
    if (g_Panel.nPressed == hit) {
        return Colours().buttonPressed;
    }
    return g_Panel.nHot == hit ? Colours().buttonHot : Colours().button;
}

void DrawMinimize(HDC dc, const RECT& rc) noexcept {
    Fill(dc, rc, ButtonColour(kHitMinimize));
    RECT line{rc.left + Width(rc) / 4, rc.bottom - Height(rc) / 3 - 1, rc.right - Width(rc) / 4,
              rc.bottom - Height(rc) / 3 + 1};
    Fill(dc, line, Colours().text);
}

void DrawMenuButton(HDC dc, const RECT& rc) noexcept {
    Fill(dc, rc, ButtonColour(kHitMenu));
    const POINT triangle[3] = {{rc.left + Width(rc) / 4, rc.top + Height(rc) / 3},
                               {rc.right - Width(rc) / 4, rc.top + Height(rc) / 3},
                               {(rc.left + rc.right) / 2, rc.bottom - Height(rc) / 3}};
    common::UniqueGdiObject brush(CreateSolidBrush(Colours().text));
    common::ScopedSelect selectBrush(dc, brush.Get());
    common::ScopedSelect selectPen(dc, GetStockObject(NULL_PEN));
    Polygon(dc, triangle, 3);
}

void DrawBoostButton(HDC dc, const RECT& rc) noexcept {
    const bool disabled = plans::HasFlag(plans::FLAG_CANTCHGPP);
    Fill(dc, rc, ButtonColour(kHitBoost));
    const COLORREF mark = disabled ? kDisabled : Blend(Colours().text, Colours().arcBoost, g_Panel.nBoostStep.load());
    // A lightning mark.
    const int w = Width(rc);
    const int h = Height(rc);
    const POINT bolt[6] = {{rc.left + w * 9 / 16, rc.top + h / 8},      {rc.left + w * 6 / 16, rc.top + h * 9 / 16},
                           {rc.left + w * 8 / 16, rc.top + h * 9 / 16}, {rc.left + w * 7 / 16, rc.bottom - h / 8},
                           {rc.left + w * 10 / 16, rc.top + h * 7 / 16}, {rc.left + w * 8 / 16, rc.top + h * 7 / 16}};
    common::UniqueGdiObject brush(CreateSolidBrush(mark));
    common::ScopedSelect selectBrush(dc, brush.Get());
    common::ScopedSelect selectPen(dc, GetStockObject(NULL_PEN));
    Polygon(dc, bolt, 6);
}

// Draws the parts that the window's update region touches (`target` is the window's paint DC,
// clipped to that region; the animations repaint small parts many times a second).
void DrawAll(HDC dc, HDC target, const RECT& paint) noexcept {
    Fill(dc, paint, Colours().background);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Colours().text);
    DrawGlow(dc);
    const PanelLayout& layout = g_Panel.layout;
    auto Touches = [target](const RECT& area, const RECT&) { return RectVisible(target, &area) != FALSE; };
    if (Touches(layout.rcGauge, paint)) {
        DrawGauge(dc);
    }
    if (Touches(layout.rcBattery, paint)) {
        DrawBattery(dc, layout.rcBattery);
    }
    if (Touches(layout.rcName, paint)) {
        DrawName(dc, layout.rcName);
    }
    if (Touches(layout.rcFrequency, paint)) {
        DrawFrequency(dc, layout.rcFrequency);
    }
    if (Touches(layout.rcMinimize, paint)) {
        DrawMinimize(dc, layout.rcMinimize);
    }
    if (Touches(layout.rcMenu, paint)) {
        DrawMenuButton(dc, layout.rcMenu);
    }
    if (Touches(layout.rcBoost, paint)) {
        DrawBoostButton(dc, layout.rcBoost);
    }
}

}  // namespace

int NameFontHeight(int areaHeight) noexcept { return std::max(8, areaHeight * 3 / 4); }

void PaintPanel(HWND hwnd, HDC dc) noexcept {
    RECT client{};
    GetClientRect(hwnd, &client);
    RECT paint{};
    if (GetClipBox(dc, &paint) == ERROR || IsRectEmpty(&paint)) {
        paint = client;
    }
    common::UniqueMemoryDc memory(CreateCompatibleDC(dc));
    common::UniqueGdiObject bitmap(CreateCompatibleBitmap(dc, Width(paint), Height(paint)));
    if (!memory || !bitmap) {
        DrawAll(dc, dc, paint);   // straight onto the screen rather than nothing
        return;
    }
    {
        // Only the part to repaint is drawn, into a bitmap of its size.
        common::ScopedSelect select(memory.Get(), bitmap.Get());
        SetViewportOrgEx(memory.Get(), -paint.left, -paint.top, nullptr);
        DrawAll(memory.Get(), dc, paint);
        BitBlt(dc, paint.left, paint.top, Width(paint), Height(paint), memory.Get(), paint.left, paint.top, SRCCOPY);
    }
}

int NameTextWidth(HWND hwnd, const wchar_t* text) noexcept {
    common::WindowDc dc(hwnd);
    if (!dc) {
        return 0;
    }
    common::UniqueGdiObject font(MakeFont(kNameFont, NameFontHeight(Height(g_Panel.layout.rcName))));
    common::ScopedSelect select(dc.Get(), font.Get());
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text, static_cast<int>(wcslen(text)), &size);
    return size.cx;
}

void GaugeTipText(wchar_t* text, size_t cchText) noexcept {
    text[0] = L'\0';
    const battery::BatterySnapshot snapshot = battery::GetBatterySnapshot();
    if (snapshot.nRemainMin <= 0) {
        return;
    }
    wchar_t time[kTextChars] = L"";
    wchar_t format[kTextChars] = L"";
    if (!FormatTipTime(snapshot.nRemainMin, time, ARRAYSIZE(time)) ||
        LoadStringW(GetModuleHandleW(nullptr), BatteryCharging(snapshot) ? IDS_GAUGE_TIP_CHARGING : IDS_GAUGE_TIP_LEFT,
                    format, static_cast<int>(ARRAYSIZE(format))) == 0) {
        return;
    }
    StringCchPrintfW(text, cchText, format, time);
}

}  // namespace meter
