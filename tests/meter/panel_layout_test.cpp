#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "meter/panel_layout.h"
#include "plans/settings.h"

namespace {

using meter::PanelStyle;

TEST(PanelLayoutTest, StyleAndTransparencyFollowTheFlags) {
    struct {
        DWORD flags;
        PanelStyle style;
        BYTE transparent;
    } cases[] = {
        {0, PanelStyle::Standard, 217},
        {plans::FLAG_LAYOUT_ALT1, PanelStyle::A, 179},
        {plans::FLAG_LAYOUT_ALT2, PanelStyle::B, 128},
        {plans::FLAG_LAYOUT_ALT1 | plans::FLAG_TRANSPARENT, PanelStyle::A, 179},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(meter::StyleFromFlags(c.flags), c.style) << c.flags;
        EXPECT_EQ(meter::PanelAlpha(c.style, true), c.transparent) << c.flags;
        EXPECT_EQ(meter::PanelAlpha(c.style, false), 255) << c.flags;
    }
}

TEST(PanelLayoutTest, ButtonsAreHitInsideTheirOuterEdge) {
    for (PanelStyle style : {PanelStyle::Standard, PanelStyle::A, PanelStyle::B}) {
        const meter::PanelLayout& l = meter::LayoutFor(style);
        struct {
            RECT rc;
            int hit;
        } buttons[] = {{l.rcMinimize, meter::kHitMinimize}, {l.rcBoost, meter::kHitBoost}, {l.rcMenu, meter::kHitMenu}};
        for (const auto& b : buttons) {
            const int midX = (b.rc.left + b.rc.right) / 2;
            const int midY = (b.rc.top + b.rc.bottom) / 2;
            EXPECT_EQ(meter::PanelHitTest(l, {midX, midY}), b.hit);
            EXPECT_EQ(meter::PanelHitTest(l, {b.rc.left + 1, b.rc.top + 1}), b.hit);
            EXPECT_EQ(meter::PanelHitTest(l, {b.rc.right - 2, b.rc.bottom - 2}), b.hit);
            // The one-pixel edge belongs to no button.
            EXPECT_NE(meter::PanelHitTest(l, {b.rc.left, midY}), b.hit);
            EXPECT_NE(meter::PanelHitTest(l, {b.rc.right - 1, midY}), b.hit);
            EXPECT_NE(meter::PanelHitTest(l, {midX, b.rc.top}), b.hit);
            EXPECT_NE(meter::PanelHitTest(l, {midX, b.rc.bottom - 1}), b.hit);
            // Every area lies in the panel.
            EXPECT_LE(b.rc.right, l.size.cx);
            EXPECT_LE(b.rc.bottom, l.size.cy);
        }
        // The gauge's centre is the drag area unless a button lies on it.
        const POINT gauge = {(l.rcGauge.left + l.rcGauge.right) / 2, (l.rcGauge.top + l.rcGauge.bottom) / 2};
        EXPECT_EQ(meter::PanelHitTest(l, gauge), meter::kHitGauge);
    }
}

TEST(PanelLayoutTest, PlacementStaysInTheWorkArea) {
    const RECT work = {0, 0, 1280, 984};
    const SIZE size = {220, 96};
    struct {
        POINT in;
        POINT out;
    } cases[] = {
        {{100, 100}, {100, 100}},
        {{1200, 100}, {1060, 100}},
        {{100, 950}, {100, 888}},
        {{-40, -5}, {0, 0}},
        {{5000, 5000}, {1060, 888}},
        {{1060, 888}, {1060, 888}},
    };
    for (const auto& c : cases) {
        const POINT pt = meter::ClampIntoWorkArea(c.in, size, work);
        EXPECT_EQ(pt.x, c.out.x) << c.in.x << "," << c.in.y;
        EXPECT_EQ(pt.y, c.out.y) << c.in.x << "," << c.in.y;
    }
    const POINT first = meter::FirstStartPosition(size, work);
    EXPECT_EQ(first.x, 1060);
    EXPECT_EQ(first.y, 984 - 96 - 26);
    // A work area smaller than the panel keeps the top-left corner on screen.
    const POINT small = meter::ClampIntoWorkArea({50, 50}, size, RECT{0, 0, 200, 80});
    EXPECT_EQ(small.x, 0);
    EXPECT_EQ(small.y, 0);
}

TEST(PanelLayoutTest, GigahertzAndBatteryHours) {
    struct {
        DWORD mhz;
        const wchar_t* text;
    } ghz[] = {{1999, L"2.0"}, {2449, L"2.4"}, {2450, L"2.5"}, {2400, L"2.4"}, {950, L"1.0"}, {49, L"0.0"},
               {2999, L"3.0"}, {2960, L"3.0"}, {2940, L"2.9"}};
    for (const auto& c : ghz) {
        wchar_t text[16] = L"";
        EXPECT_TRUE(meter::FormatGigahertz(c.mhz, text, ARRAYSIZE(text)));
        EXPECT_STREQ(text, c.text) << c.mhz;
    }
    wchar_t tiny[3] = L"";
    EXPECT_FALSE(meter::FormatGigahertz(2400, tiny, ARRAYSIZE(tiny)));
    struct {
        int minutes, hours, tenths;
    } times[] = {{90, 1, 5}, {59, 0, 9}, {60, 1, 0}, {6, 0, 1}, {5, 0, 0}, {125, 2, 0}, {179, 2, 9}};
    for (const auto& t : times) {
        int hours = -1;
        int tenths = -1;
        meter::BatteryHours(t.minutes, &hours, &tenths);
        EXPECT_EQ(hours, t.hours) << t.minutes;
        EXPECT_EQ(tenths, t.tenths) << t.minutes;
    }
}

TEST(PanelLayoutTest, PlanNameIsCutWithAnEllipsisUntilItFits) {
    // Ten pixels a character.
    auto measure = [](const wchar_t* text) { return static_cast<int>(wcslen(text)) * 10; };
    struct {
        const wchar_t* name;
        int width;
        const wchar_t* shown;
    } cases[] = {
        {L"Balanced", 80, L"Balanced"},
        {L"Balanced", 79, L"Bala..."},
        {L"Balanced", 30, L"..."},
        {L"Balanced", 0, L"..."},
        {L"省電力モード設定", 60, L"省電力..."},
        {L"", 0, L""},
    };
    for (const auto& c : cases) {
        wchar_t text[64] = L"";
        meter::FitPlanName(c.name, c.width, measure, text, ARRAYSIZE(text));
        EXPECT_STREQ(text, c.shown) << c.width;
    }
    // A buffer shorter than the name still ends in the ellipsis.
    wchar_t small[6] = L"";
    meter::FitPlanName(L"Balanced", 1000, measure, small, ARRAYSIZE(small));
    EXPECT_STREQ(small, L"Ba...");
}

}  // namespace
