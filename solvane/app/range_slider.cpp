#include "app/range_slider.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "common/handles.h"
#include "common/log.h"

namespace {

constexpr wchar_t kTraceName[] = L"RangeSlider";
constexpr int kLower = 0;
constexpr int kUpper = 1;
constexpr int kTrackHeight = 4;

struct SliderState {
    int rangeMin = 0;
    int rangeMax = 100;
    int pos[2] = {0, 100};  // lower, upper
    int active = kLower;
    int dragging = -1;      // the thumb under the mouse, -1 when no drag goes on
};

SliderState* State(HWND hwnd) noexcept { return reinterpret_cast<SliderState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

int Clamp(int value, int low, int high) noexcept { return value < low ? low : (value > high ? high : value); }

// Width of a thumb: half the control's height, at least 6 pixels.
int ThumbWidth(HWND hwnd) noexcept {
    RECT client{};
    GetClientRect(hwnd, &client);
    const int width = (client.bottom - client.top) / 2;
    return width < 6 ? 6 : width;
}

// The span of the track the positions are spread over (thumb centres).
void TrackSpan(HWND hwnd, int* left, int* right) noexcept {
    RECT client{};
    GetClientRect(hwnd, &client);
    const int half = ThumbWidth(hwnd) / 2 + 1;
    *left = client.left + half;
    *right = client.right - half - 1;
    if (*right < *left) {
        *right = *left;
    }
}

int PositionX(HWND hwnd, const SliderState& s, int position) noexcept {
    int left = 0;
    int right = 0;
    TrackSpan(hwnd, &left, &right);
    const int span = s.rangeMax - s.rangeMin;
    if (span <= 0) {
        return left;
    }
    return left + MulDiv(position - s.rangeMin, right - left, span);
}

int PositionAt(HWND hwnd, const SliderState& s, int x) noexcept {
    int left = 0;
    int right = 0;
    TrackSpan(hwnd, &left, &right);
    const int span = s.rangeMax - s.rangeMin;
    if (span <= 0 || right <= left) {
        return s.rangeMin;
    }
    const int offset = Clamp(x, left, right) - left;
    return s.rangeMin + MulDiv(offset, span, right - left);
}

// The places a thumb may take with the other one where it is.
int LowestFor(const SliderState& s, int thumb) noexcept {
    return thumb == kLower ? s.rangeMin : (s.rangeMax > s.rangeMin ? s.pos[kLower] + 1 : s.rangeMin);
}
int HighestFor(const SliderState& s, int thumb) noexcept {
    return thumb == kUpper ? s.rangeMax : (s.rangeMax > s.rangeMin ? s.pos[kUpper] - 1 : s.rangeMax);
}

// Keeps both thumbs inside the range and apart, the upper one taking precedence.
void Normalise(SliderState* s) noexcept {
    if (s->rangeMax < s->rangeMin) {
        s->rangeMax = s->rangeMin;
    }
    s->pos[kUpper] = Clamp(s->pos[kUpper], s->rangeMin, s->rangeMax);
    if (s->rangeMax > s->rangeMin && s->pos[kUpper] == s->rangeMin) {
        s->pos[kUpper] = s->rangeMin + 1;
    }
    s->pos[kLower] = Clamp(s->pos[kLower], s->rangeMin, HighestFor(*s, kLower));
}

RECT ThumbRect(HWND hwnd, const SliderState& s, int thumb) noexcept {
    RECT client{};
    GetClientRect(hwnd, &client);
    const int centre = PositionX(hwnd, s, s.pos[thumb]);
    const int half = ThumbWidth(hwnd) / 2;
    return RECT{centre - half, client.top + 1, centre + half + 1, client.bottom - 1};
}

void Notify(HWND hwnd, WORD code, int position) noexcept {
    SendMessageW(GetParent(hwnd), WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(position)), reinterpret_cast<LPARAM>(hwnd));
}

// Moves a thumb within what the other one leaves it; true when it moved.
bool MoveThumb(HWND hwnd, SliderState* s, int thumb, int position) noexcept {
    const int target = Clamp(position, LowestFor(*s, thumb), HighestFor(*s, thumb));
    if (target == s->pos[thumb]) {
        return false;
    }
    s->pos[thumb] = target;
    InvalidateRect(hwnd, nullptr, TRUE);
    return true;
}

// --- Drawing ------------------------------------------------------------------------------

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) noexcept {
    common::UniqueGdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
}

void DrawThumb(HWND hwnd, HDC dc, const SliderState& s, int thumb, bool enabled) noexcept {
    RECT rect = ThumbRect(hwnd, s, thumb);
    FillSolid(dc, rect, GetSysColor(COLOR_BTNFACE));
    DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
    // A mark tells the thumbs apart: the lower one's at its foot, the upper one's at its head.
    RECT mark = rect;
    InflateRect(&mark, -3, -3);
    const int third = (mark.bottom - mark.top) / 3;
    if (thumb == kLower) {
        mark.top = mark.bottom - (third > 1 ? third : 1);
    } else {
        mark.bottom = mark.top + (third > 1 ? third : 1);
    }
    if (mark.right > mark.left && mark.bottom > mark.top) {
        FillSolid(dc, mark, GetSysColor(enabled ? COLOR_HIGHLIGHT : COLOR_GRAYTEXT));
    }
    if (enabled && GetFocus() == hwnd && s.active == thumb) {
        InflateRect(&rect, 1, 1);
        DrawFocusRect(dc, &rect);
    }
}

void Paint(HWND hwnd, HDC dc) noexcept {
    const SliderState* s = State(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    FillSolid(dc, client, GetSysColor(COLOR_BTNFACE));
    if (s == nullptr) {
        return;
    }
    const bool enabled = IsWindowEnabled(hwnd) != FALSE;
    const int middle = (client.top + client.bottom) / 2;
    int left = 0;
    int right = 0;
    TrackSpan(hwnd, &left, &right);
    RECT track{left, middle - kTrackHeight / 2, right + 1, middle + kTrackHeight / 2};
    DrawEdge(dc, &track, EDGE_SUNKEN, BF_RECT);
    // The range between the thumbs.
    RECT range{PositionX(hwnd, *s, s->pos[kLower]), track.top + 1, PositionX(hwnd, *s, s->pos[kUpper]) + 1, track.bottom - 1};
    if (range.right > range.left && range.bottom > range.top) {
        FillSolid(dc, range, GetSysColor(enabled ? COLOR_HIGHLIGHT : COLOR_GRAYTEXT));
    }
    DrawThumb(hwnd, dc, *s, kLower, enabled);
    DrawThumb(hwnd, dc, *s, kUpper, enabled);
}

// --- Message handlers -----------------------------------------------------------------------

LRESULT OnNcCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<SliderState> state(new (std::nothrow) SliderState);
    if (!state) {
        return FALSE;
    }
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT OnNcDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_ptr<SliderState> state(State(hwnd));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT OnPaint(HWND hwnd) {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd, &ps);
    Paint(hwnd, dc);
    EndPaint(hwnd, &ps);
    return 0;
}

LRESULT OnLButtonDown(HWND hwnd, LPARAM lParam) {
    SliderState* s = State(hwnd);
    SetFocus(hwnd);
    const int x = GET_X_LPARAM(lParam);
    const int toLower = abs(x - PositionX(hwnd, *s, s->pos[kLower]));
    const int toUpper = abs(x - PositionX(hwnd, *s, s->pos[kUpper]));
    int thumb = s->active;
    if (toLower != toUpper) {
        thumb = toLower < toUpper ? kLower : kUpper;
    }
    s->active = thumb;
    s->dragging = thumb;
    SetCapture(hwnd);
    if (MoveThumb(hwnd, s, thumb, PositionAt(hwnd, *s, x))) {
        Notify(hwnd, TB_THUMBTRACK, s->pos[thumb]);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT OnMouseMove(HWND hwnd, LPARAM lParam) {
    SliderState* s = State(hwnd);
    if (s->dragging >= 0 && MoveThumb(hwnd, s, s->dragging, PositionAt(hwnd, *s, GET_X_LPARAM(lParam)))) {
        Notify(hwnd, TB_THUMBTRACK, s->pos[s->dragging]);
    }
    return 0;
}

// The end of a drag (button released or the capture taken away).
void EndDrag(HWND hwnd) noexcept {
    SliderState* s = State(hwnd);
    if (s == nullptr || s->dragging < 0) {
        return;
    }
    const int thumb = s->dragging;
    s->dragging = -1;
    Notify(hwnd, TB_THUMBPOSITION, s->pos[thumb]);
    Notify(hwnd, TB_ENDTRACK, s->pos[thumb]);
}

LRESULT OnLButtonUp(HWND hwnd, LPARAM lParam) {
    SliderState* s = State(hwnd);
    if (s->dragging >= 0) {
        MoveThumb(hwnd, s, s->dragging, PositionAt(hwnd, *s, GET_X_LPARAM(lParam)));
    }
    EndDrag(hwnd);  // before the capture goes: WM_CAPTURECHANGED then finds no drag
    if (GetCapture() == hwnd) {
        ReleaseCapture();
    }
    return 0;
}

LRESULT OnKeyDown(HWND hwnd, WPARAM key) {
    SliderState* s = State(hwnd);
    const int thumb = s->active;
    int target = s->pos[thumb];
    WORD code = 0;
    switch (key) {
    case VK_LEFT:
    case VK_DOWN:
        target -= 1;
        code = TB_LINEUP;
        break;
    case VK_RIGHT:
    case VK_UP:
        target += 1;
        code = TB_LINEDOWN;
        break;
    case VK_HOME:
        target = LowestFor(*s, thumb);
        code = TB_TOP;
        break;
    case VK_END:
        target = HighestFor(*s, thumb);
        code = TB_BOTTOM;
        break;
    case VK_SPACE:
        s->active = thumb == kLower ? kUpper : kLower;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        return 0;
    }
    if (MoveThumb(hwnd, s, thumb, target)) {
        Notify(hwnd, code, s->pos[thumb]);
        Notify(hwnd, TB_ENDTRACK, s->pos[thumb]);
    }
    return 0;
}

// The trackbar messages the control answers.
LRESULT OnTrackbarMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SliderState* s = State(hwnd);
    switch (message) {
    case TBM_SETRANGE:
        s->rangeMin = static_cast<short>(LOWORD(lParam));
        s->rangeMax = static_cast<short>(HIWORD(lParam));
        break;
    case TBM_SETRANGEMIN:
        s->rangeMin = static_cast<int>(lParam);
        break;
    case TBM_SETRANGEMAX:
        s->rangeMax = static_cast<int>(lParam);
        break;
    case TBM_SETSELSTART:
        s->pos[kLower] = static_cast<int>(lParam);
        break;
    case TBM_SETSELEND:
        // The upper thumb may push the lower one down; the lower one never pushes the upper.
        s->pos[kUpper] = static_cast<int>(lParam);
        if (s->pos[kLower] >= s->pos[kUpper]) {
            s->pos[kLower] = s->pos[kUpper] - 1;
        }
        break;
    case TBM_GETRANGEMIN:
        return s->rangeMin;
    case TBM_GETRANGEMAX:
        return s->rangeMax;
    case TBM_GETSELSTART:
        return s->pos[kLower];
    case TBM_GETSELEND:
        return s->pos[kUpper];
    case TBM_GETPOS:
        return s->pos[s->active];
    default:
        return 0;
    }
    Normalise(s);
    if (wParam != FALSE || message == TBM_SETSELSTART || message == TBM_SETSELEND) {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return 0;
}

LRESULT CALLBACK RangeSliderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        return OnNcCreate(hwnd, message, wParam, lParam);
    }
    if (State(hwnd) == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_NCDESTROY:
        return OnNcDestroy(hwnd, message, wParam, lParam);
    case WM_PAINT:
        return OnPaint(hwnd);
    case WM_PRINTCLIENT:
        Paint(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint fills the whole control
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
        return OnLButtonDown(hwnd, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(hwnd, lParam);
    case WM_LBUTTONUP:
        return OnLButtonUp(hwnd, lParam);
    case WM_CAPTURECHANGED:
        EndDrag(hwnd);
        return 0;
    case WM_KEYDOWN:
        return OnKeyDown(hwnd, wParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TBM_SETRANGE:
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX:
    case TBM_SETSELSTART:
    case TBM_SETSELEND:
    case TBM_GETRANGEMIN:
    case TBM_GETRANGEMAX:
    case TBM_GETSELSTART:
    case TBM_GETSELEND:
    case TBM_GETPOS:
        return OnTrackbarMessage(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterRangeSliderClass(HINSTANCE instance) noexcept {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kRangeSliderClass, &existing)) {
        return true;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RangeSliderProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kRangeSliderClass;
    if (RegisterClassExW(&wc) == 0) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"RegisterClassEx failed: %u", GetLastError());
        return false;
    }
    return true;
}

int RangeSliderPositionX(HWND slider, int position) noexcept {
    const SliderState* s = State(slider);
    return s != nullptr ? PositionX(slider, *s, position) : 0;
}
