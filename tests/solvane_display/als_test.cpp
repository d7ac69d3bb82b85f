// The ambient-light range of a plan: checks against the panel's level count and the range table.
#include <gtest/gtest.h>

#include "display/display.h"
#include "display_test_support.h"
#include "plans/plan_record.h"

namespace {

class AmbientLight : public testing::Test {
protected:
    void TearDown() override {
        display::SetPanelLevelCount(0);
        display::FreeBrightnessTables();
    }
};

TEST_F(AmbientLight, StoredRangesAreCorrectedForTheLevelCount) {
    struct Case {
        DWORD levels;
        plans::AmbientLightRange stored;
        plans::AmbientLightRange expected;
    };
    const Case cases[] = {
        {8, {2, 9, 3, 7, 7}, {0, 7, 3, 7, 0}},      // mode reset, AC max clamped, DC min not below max
        {8, {1, 6, 2, 5, 1}, {1, 6, 2, 5, 1}},      // a sound range stays
        {8, {1, 0, 0, 0, 0}, {1, 7, 0, 7, 0}},      // maximum 0: default range
        {8, {0, 7, 7, 7, 6}, {0, 7, 0, 7, 6}},      // AC min at the top
        {1, {1, 5, 3, 0, 0}, {1, 0, 0, 0, 0}},
        {1, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
        {10, {0, 0, 0, 0, 0}, {0, 9, 0, 9, 0}},     // a plan without a range gets the default
        {0, {0, 0, 0, 0, 0}, {0, 255, 0, 255, 0}},  // no levels reported
    };
    for (const Case& c : cases) {
        display::SetPanelLevelCount(c.levels);
        plans::AmbientLightRange block = c.stored;
        display::VerifyAlsSetting(&block);
        const BYTE* got = reinterpret_cast<const BYTE*>(&block);
        const BYTE* want = reinterpret_cast<const BYTE*>(&c.expected);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(got[i], want[i]) << "N=" << c.levels << " byte " << i;
        }
    }
}

TEST_F(AmbientLight, PlanReadingChecksTheStoredRangeThroughTheInstalledCheck) {
    display::InstallDisplayHooks();
    ASSERT_EQ(plans::g_pfnCheckAmbientLightRange, &display::VerifyAlsSetting);
    display::SetPanelLevelCount(8);
    plans::AmbientLightRange block = {2, 9, 3, 7, 7};
    plans::g_pfnCheckAmbientLightRange(&block);
    EXPECT_EQ(block.ucMode, 0);
    EXPECT_EQ(block.ucAC_MAX, 7);
    EXPECT_EQ(block.ucDC_MIN, 0);
}

TEST_F(AmbientLight, RangeTableLabelsTheEndsDarkAndBright) {
    struct Case {
        DWORD levels;
        std::vector<std::wstring> labels;
    };
    const Case cases[] = {
        {1, {L"暗い"}},
        {2, {L"暗い", L"明るい"}},
        {10, {L"暗い", L"輝度 2", L"輝度 3", L"輝度 4", L"輝度 5", L"輝度 6", L"輝度 7", L"輝度 8", L"輝度 9", L"明るい"}},
        {0, {}},
    };
    for (const Case& c : cases) {
        display::SetPanelLevelCount(c.levels);
        display::Init_nsr_lcd(displaytest::ProgramResources());
        const auto& table = display::AmbientLightRangeTable();
        ASSERT_EQ(table.size(), c.labels.size()) << "N=" << c.levels;
        for (size_t i = 0; i < table.size(); ++i) {
            EXPECT_EQ(table[i].value, i);
            EXPECT_EQ(std::wstring(table[i].label), c.labels[i]) << "N=" << c.levels << " entry " << i;
        }
    }
}

}  // namespace
