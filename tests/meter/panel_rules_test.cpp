// The meter panel's small rules: needle swing tables, the glow counter and the gauge tip time.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "meter/panel_window.h"

namespace {

TEST(PanelRules, SwingTablesFollowTheirAmplitudeAndQuarterTurn) {
    struct {
        int table;
        int entry;
        double expected;
    } cases[] = {
        {0, 36, 0.0},                                  // sin(0°)
        {0, 0, -20 * std::sin(72 * 3.14159265358979 / 180)},
        {1, 0, -23 * std::sin(72 * 3.14159265358979 / 180)},
        {2, 18, -14 * std::sin(36 * 3.14159265358979 / 180)},
        {3, 21, 23 * std::sin(30 * 3.14159265358979 / 180)},   // 11.5
        {4, 35, -8 * std::sin(2 * 3.14159265358979 / 180)},
        {5, 0, 0.0},                                   // no sixth table
        {0, 37, 0.0},                                  // past the last entry
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(meter::SwingValue(c.table, c.entry), c.expected, 1e-9) << c.table << "/" << c.entry;
    }
}

TEST(PanelRules, GlowBouncesBetweenThreeAndSixty) {
    int value = 58;
    int direction = 1;
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        meter::StepGlow(&value, &direction);
        seen.push_back(value);
    }
    EXPECT_EQ(seen, (std::vector<int>{59, 60, 59, 58, 57}));
    value = 4;
    direction = -1;
    seen.clear();
    for (int i = 0; i < 4; ++i) {
        meter::StepGlow(&value, &direction);
        seen.push_back(value);
    }
    EXPECT_EQ(seen, (std::vector<int>{3, 4, 5, 6}));
    // A full cycle never leaves the range.
    for (int i = 0; i < 500; ++i) {
        meter::StepGlow(&value, &direction);
        ASSERT_GE(value, meter::kGlowMin);
        ASSERT_LE(value, meter::kGlowMax);
    }
}

TEST(PanelRules, GaugeTipTimeLeavesOutZeroParts) {
    struct {
        int minutes;
        const wchar_t* expected;
    } cases[] = {
        {59, L"59min "}, {60, L"1h "}, {90, L"1h 30min "}, {125, L"2h 5min "}, {1, L"1min "}, {600, L"10h "},
    };
    for (const auto& c : cases) {
        wchar_t text[32] = L"";
        ASSERT_TRUE(meter::FormatTipTime(c.minutes, text, 32));
        EXPECT_STREQ(text, c.expected) << c.minutes;
    }
    wchar_t tiny[4] = L"";
    EXPECT_FALSE(meter::FormatTipTime(90, tiny, 4)) << "a text that does not fit is reported";
}

}  // namespace
