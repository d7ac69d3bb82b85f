// The two-thumb range slider driven by the mouse and key messages a user's actions send it: the
// thumbs move, never cross, and the parent hears of every move as from a trackbar.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/range_slider.h"

namespace {

struct Scroll {
    WORD code;
    int position;
    HWND from;
};
std::vector<Scroll> g_Scrolls;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL) {
        g_Scrolls.push_back({LOWORD(wParam), static_cast<short>(HIWORD(wParam)), reinterpret_cast<HWND>(lParam)});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class RangeSliderTest : public testing::Test {
protected:
    void SetUp() override {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterRangeSliderClass(instance));
        ASSERT_TRUE(RegisterRangeSliderClass(instance)) << "a second registration is no failure";
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = instance;
        wc.lpszClassName = L"RangeSliderTestParent";
        RegisterClassW(&wc);
        m_parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 300, 60, nullptr, nullptr, instance, nullptr);
        ASSERT_NE(m_parent, nullptr);
        ShowWindow(m_parent, SW_SHOWNOACTIVATE);
        m_slider = CreateWindowExW(0, kRangeSliderClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 220, 24, m_parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(1095)), instance, nullptr);
        ASSERT_NE(m_slider, nullptr);
        Send(TBM_SETRANGE, FALSE, MAKELPARAM(0, 7));
        Send(TBM_SETSELEND, FALSE, 5);
        Send(TBM_SETSELSTART, FALSE, 2);
        g_Scrolls.clear();
    }
    void TearDown() override {
        if (m_parent != nullptr) {
            DestroyWindow(m_parent);
        }
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return SendMessageW(m_slider, message, wParam, lParam); }
    int Lower() { return static_cast<int>(Send(TBM_GETSELSTART, 0, 0)); }
    int Upper() { return static_cast<int>(Send(TBM_GETSELEND, 0, 0)); }
    int X(int position) { return RangeSliderPositionX(m_slider, position); }
    void Drag(int fromX, int toX) {
        const int y = 12;
        Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, y));
        Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((fromX + toX) / 2, y));
        Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, y));
        Send(WM_LBUTTONUP, 0, MAKELPARAM(toX, y));
    }

    HWND m_parent = nullptr;
    HWND m_slider = nullptr;
};

TEST_F(RangeSliderTest, PositionsAreSpreadOverTheTrackInOrder) {
    for (int p = 0; p < 7; ++p) {
        EXPECT_LT(X(p), X(p + 1)) << p;
    }
    RECT client{};
    GetClientRect(m_slider, &client);
    EXPECT_GE(X(0), 0);
    EXPECT_LT(X(7), client.right);
}

TEST_F(RangeSliderTest, DraggingMovesTheThumbGrabbedAndNeverCrosses) {
    const struct {
        int from;  // where the button goes down: a position, or -1 / 99 for beyond the track
        int to;
        int lower, upper;
    } cases[] = {
        {2, 4, 4, 5},    // the lower thumb
        {5, 7, 2, 7},    // the upper thumb
        {2, 7, 4, 5},    // the lower thumb stops below the upper one
        {5, 0, 2, 3},    // the upper thumb stops above the lower one
        {0, 1, 1, 5},    // a press on the track takes the nearer thumb there
        {6, 6, 2, 6},
        {5, 99, 2, 7},   // past the end is the end
        {2, -1, 0, 5},   // before the start is the start
    };
    for (const auto& c : cases) {
        Send(TBM_SETSELEND, FALSE, 5);
        Send(TBM_SETSELSTART, FALSE, 2);
        g_Scrolls.clear();
        const int fromX = c.from < 0 ? -40 : (c.from > 7 ? 400 : X(c.from));
        const int toX = c.to < 0 ? -40 : (c.to > 7 ? 400 : X(c.to));
        Drag(fromX, toX);
        EXPECT_EQ(Lower(), c.lower) << c.from << " to " << c.to;
        EXPECT_EQ(Upper(), c.upper) << c.from << " to " << c.to;
        // The drag ends with the thumb's place and the end of the track, told to the parent.
        ASSERT_GE(g_Scrolls.size(), 2u);
        const Scroll& last = g_Scrolls[g_Scrolls.size() - 1];
        const Scroll& position = g_Scrolls[g_Scrolls.size() - 2];
        EXPECT_EQ(last.code, TB_ENDTRACK);
        EXPECT_EQ(position.code, TB_THUMBPOSITION);
        EXPECT_EQ(position.from, m_slider);
        EXPECT_EQ(position.position, c.lower != 2 ? c.lower : c.upper) << c.from << " to " << c.to;
        EXPECT_EQ(GetCapture(), nullptr) << "the mouse is let go";
    }
}

TEST_F(RangeSliderTest, DragStepsAreToldWhileTheDragGoesOn) {
    const int y = 12;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(5), y));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(6), y));
    ASSERT_FALSE(g_Scrolls.empty());
    EXPECT_EQ(g_Scrolls.back().code, TB_THUMBTRACK);
    EXPECT_EQ(g_Scrolls.back().position, 6);
    EXPECT_EQ(Upper(), 6) << "the thumb follows the mouse";
    EXPECT_EQ(Send(TBM_GETPOS, 0, 0), 6) << "the thumb being moved";
    // Losing the mouse to another window ends the drag where it is.
    ReleaseCapture();
    EXPECT_EQ(g_Scrolls.back().code, TB_ENDTRACK);
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(7), y));
    EXPECT_EQ(Upper(), 6) << "no drag after the capture went";
}

TEST_F(RangeSliderTest, KeysMoveTheActiveThumbAndSpaceSwitchesIt) {
    const struct {
        std::vector<WPARAM> keys;
        int lower, upper;
    } cases[] = {
        {{VK_RIGHT}, 3, 5},
        {{VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_UP}, 4, 5},   // the lower thumb stops below the upper
        {{VK_LEFT, VK_DOWN, VK_LEFT}, 0, 5},             // and at the start
        {{VK_SPACE, VK_RIGHT, VK_RIGHT, VK_RIGHT}, 2, 7},
        {{VK_SPACE, VK_LEFT, VK_LEFT, VK_LEFT, VK_LEFT}, 2, 3},
        {{VK_END}, 4, 5},
        {{VK_HOME}, 0, 5},
        {{VK_SPACE, VK_HOME}, 2, 3},
        {{VK_SPACE, VK_END}, 2, 7},
        {{VK_SPACE, VK_SPACE, VK_END}, 4, 5},
    };
    for (const auto& c : cases) {
        DestroyWindow(m_slider);
        m_slider = CreateWindowExW(0, kRangeSliderClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 220, 24,
                                   m_parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_slider, nullptr);
        Send(TBM_SETRANGE, FALSE, MAKELPARAM(0, 7));
        Send(TBM_SETSELEND, FALSE, 5);
        Send(TBM_SETSELSTART, FALSE, 2);
        g_Scrolls.clear();
        EXPECT_EQ(Send(WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
        for (WPARAM key : c.keys) {
            Send(WM_KEYDOWN, key, 0);
            Send(WM_KEYUP, key, 0);
        }
        const std::string name = testing::PrintToString(c.keys);
        EXPECT_EQ(Lower(), c.lower) << name;
        EXPECT_EQ(Upper(), c.upper) << name;
        if (c.lower != 2 || c.upper != 5) {
            ASSERT_FALSE(g_Scrolls.empty()) << name;
            EXPECT_EQ(g_Scrolls.back().code, TB_ENDTRACK) << name;
        }
    }
}

// The track between the thumbs is drawn in the highlight colour, the track outside them is not.
TEST_F(RangeSliderTest, TheRangeBetweenTheThumbsIsHighlighted) {
    RECT client{};
    GetClientRect(m_slider, &client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const DWORD wanted = (GetRValue(highlight) << 16) | (GetGValue(highlight) << 8) | GetBValue(highlight);
    const struct {
        int lower, upper;
    } cases[] = {{2, 5}, {0, 1}, {4, 7}};
    for (const auto& c : cases) {
        Send(TBM_SETSELEND, FALSE, c.upper);
        Send(TBM_SETSELSTART, FALSE, c.lower);
        Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
        GdiFlush();
        const DWORD* pixels = static_cast<const DWORD*>(bits);
        const int middle = client.bottom / 2;
        // Columns halfway between neighbouring positions, away from the thumbs' faces.
        for (int p = 0; p < 7; ++p) {
            const int x = (X(p) + X(p + 1)) / 2;
            bool lit = false;
            for (int y = middle - 2; y <= middle + 2; ++y) {
                lit = lit || (pixels[static_cast<size_t>(y) * client.right + x] & 0xFFFFFF) == wanted;
            }
            const bool inside = p >= c.lower && p < c.upper;
            const bool onThumb = abs(x - X(c.lower)) <= client.bottom / 4 + 1 || abs(x - X(c.upper)) <= client.bottom / 4 + 1;
            if (!onThumb) {
                EXPECT_EQ(lit, inside) << "between " << p << " and " << p + 1 << " with " << c.lower << "-" << c.upper;
            }
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Placing the thumbs as a trackbar's selection: the upper thumb may push the lower one down,
// the lower one stops below the upper one, both stay in the range.
TEST_F(RangeSliderTest, SelectionMessagesKeepTheThumbsApartAndInRange) {
    const struct {
        int start, end;  // sent in this order: end, then start
        int lower, upper;
    } cases[] = {
        {1, 6, 1, 6}, {6, 6, 5, 6}, {0, 0, 0, 1}, {-4, 12, 0, 7}, {9, 3, 2, 3}, {3, 7, 3, 7},
    };
    for (const auto& c : cases) {
        Send(TBM_SETSELEND, FALSE, c.end);
        Send(TBM_SETSELSTART, FALSE, c.start);
        EXPECT_EQ(Lower(), c.lower) << c.start << "-" << c.end;
        EXPECT_EQ(Upper(), c.upper) << c.start << "-" << c.end;
    }
    Send(TBM_SETRANGE, FALSE, MAKELPARAM(0, 3));
    EXPECT_EQ(Send(TBM_GETRANGEMAX, 0, 0), 3);
    EXPECT_EQ(Upper(), 3) << "a shorter range takes the thumbs in";
    EXPECT_LT(Lower(), 3);
}

}  // namespace
