// The panel's level table: midpoints and conversions, the registry's "BLevel"/"BValue" override,
// the waits and the brightness choice tables.
#include <gtest/gtest.h>

#include <vector>

#include "display/brightness_ctrl.h"
#include "display/display.h"
#include "display_test_support.h"
#include "plans/settings.h"

namespace {

using display::gBctl;

class LevelTable : public testing::Test {
protected:
    void SetUp() override {
        displaytest::ResetBrightnessState();
        const WORD levels[] = {0, 10, 25, 100};
        ASSERT_TRUE(gBctl.InitFromTable(display::kTableMode, levels, 4));
    }
    void TearDown() override { displaytest::ResetBrightnessState(); }
};

TEST_F(LevelTable, MidpointsLieHalfwayBetweenNeighbours) {
    const BYTE expected[] = {0, 5, 18, 63};
    for (DWORD i = 0; i < 4; ++i) {
        EXPECT_EQ(gBctl.Midpoint(i), expected[i]) << "midpoint " << i;
    }
}

TEST_F(LevelTable, PercentFallsIntoTheLevelOfItsMidpointRange) {
    struct Case {
        DWORD percent;
        DWORD level;
    };
    const Case cases[] = {{0, 0},  {4, 0},  {5, 1},  {17, 1},  {18, 2},
                          {62, 2}, {63, 3}, {100, 3}, {255, 3}, {0xFFFFFFFF, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(gBctl.PercentToLevel(c.percent), c.level) << "percent " << c.percent;
    }
}

TEST_F(LevelTable, LevelGivesItsTableValueAndNothingBeyondTheTable) {
    struct Case {
        DWORD level;
        DWORD percent;
    };
    const Case cases[] = {{0, 0}, {1, 10}, {2, 25}, {3, 100}, {4, display::kNoPercent}, {255, display::kNoPercent}};
    for (const Case& c : cases) {
        EXPECT_EQ(gBctl.LevelToPercent(c.level), c.percent) << "level " << c.level;
    }
}

TEST_F(LevelTable, LinearModeSpreadsPercentOverTheLevelsAndRoundsUpBack) {
    const WORD four[] = {0, 1, 2, 3};
    ASSERT_TRUE(gBctl.InitFromTable(0, four, 4));
    struct Case {
        DWORD percent;
        DWORD level;
    };
    const Case toLevel[] = {{0, 0}, {33, 0}, {34, 1}, {66, 1}, {67, 2}, {100, 3}};
    for (const Case& c : toLevel) {
        EXPECT_EQ(gBctl.PercentToLevel(c.percent), c.level) << "percent " << c.percent;
    }
    struct Back {
        DWORD level;
        DWORD percent;
    };
    const Back toPercent[] = {{0, 0}, {1, 34}, {2, 67}, {3, 100}};
    for (const Back& c : toPercent) {
        EXPECT_EQ(gBctl.LevelToPercent(c.level), c.percent) << "level " << c.level;
    }
}

TEST_F(LevelTable, RejectedTablesLeaveTheConversionsAsTheyWere) {
    EXPECT_FALSE(gBctl.InitFromTable(display::kTableMode, nullptr, 2));
    std::vector<WORD> tooLong(display::kMaxLevels + 1, 50);
    EXPECT_FALSE(gBctl.InitFromTable(display::kTableMode, tooLong.data(), display::kMaxLevels + 1));
    EXPECT_EQ(gBctl.Count(), 4u);
    EXPECT_EQ(gBctl.PercentToLevel(18), 2u);
}

TEST_F(LevelTable, OnlyTheLowByteOfAnEntryIsAConversionLevel) {
    const WORD levels[] = {0x0100, 0x0132};
    ASSERT_TRUE(gBctl.InitFromTable(display::kTableMode, levels, 2));
    EXPECT_EQ(gBctl.LevelToPercent(1), 0x32u);
    EXPECT_EQ(gBctl.Midpoint(1), 0x19);
}

TEST(SupportedLevels, NullArgumentsAreRefused) {
    BYTE buffer[4] = {};
    DWORD size = sizeof(buffer);
    EXPECT_FALSE(display::QuerySupportedBrightnessLevels(nullptr));
    EXPECT_FALSE(gBctl.QuerySupportedBrightness(nullptr, &size));
    EXPECT_FALSE(gBctl.QuerySupportedBrightness(buffer, nullptr));
}

// --- "BLevel"/"BValue" and the waits, read by the initialisation -----------------------------

class RegistryLevels : public testing::Test {
protected:
    void SetUp() override {
        displaytest::ProgramResources();
        displaytest::ResetBrightnessState();
        displaytest::SetMachineString(L"VexDll", L"");
        for (const wchar_t* name : {L"BLevel", L"BValue", L"ECWait0", L"ECWait1", L"ASLSupported"}) {
            displaytest::DeleteMachineValue(name);
        }
        displaytest::ClearErrorLog();
    }
    void TearDown() override {
        for (const wchar_t* name : {L"BLevel", L"BValue", L"ECWait0", L"ECWait1", L"VexDll"}) {
            displaytest::DeleteMachineValue(name);
        }
        displaytest::ResetBrightnessState();
        displaytest::ClearErrorLog();
    }
};

TEST_F(RegistryLevels, BLevelAndBValueReplaceTheTableAndTheConversions) {
    struct Case {
        const char* name;
        bool writeLevel;
        DWORD level;
        std::vector<WORD> values;  // written as "BValue" when not empty
        DWORD valueType;
        DWORD expectedCount;
        WORD expectedFirst;
        WORD expectedLast;
        bool expectBValueError;
    };
    std::vector<WORD> many(300);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i] = static_cast<WORD>(i % 101);
    }
    const Case cases[] = {
        {"five levels", true, 5, {0, 20, 40, 60, 100}, REG_BINARY, 5, 0, 100, false},
        {"BLevel 300 clamped", true, 300, many, REG_BINARY, 256, 0, static_cast<WORD>(255 % 101), false},
        {"BLevel 0 ignored", true, 0, {5, 6}, REG_BINARY, 8, 0, 7, false},
        {"BValue missing", true, 5, {}, REG_BINARY, 8, 0, 7, false},
        {"BValue not binary", true, 3, {1, 2, 3}, REG_DWORD, 8, 0, 7, true},
        {"no BLevel", false, 0, {9, 9}, REG_BINARY, 8, 0, 7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        displaytest::ResetBrightnessState();
        displaytest::DeleteMachineValue(L"BLevel");
        displaytest::DeleteMachineValue(L"BValue");
        displaytest::ClearErrorLog();
        if (c.writeLevel) {
            displaytest::SetMachineDword(L"BLevel", c.level);
        }
        if (!c.values.empty()) {
            const DWORD size = c.valueType == REG_DWORD ? sizeof(DWORD)
                                                        : static_cast<DWORD>(c.values.size() * sizeof(WORD));
            displaytest::SetMachineBinary(L"BValue", c.values.data(), size, c.valueType);
        }
        EXPECT_EQ(display::ChangeBrightness(display::BC_INIT), display::BC_NONE);
        EXPECT_EQ(display::dwBLevel, c.expectedCount);
        ASSERT_EQ(display::nsr_lcd_val.size(), display::dwBLevel) << "the table has dwBLevel entries";
        EXPECT_EQ(display::nsr_lcd_val.front(), c.expectedFirst);
        EXPECT_EQ(display::nsr_lcd_val.back(), c.expectedLast);
        EXPECT_EQ(gBctl.Count(), c.expectedCount);
        EXPECT_EQ(gBctl.Mode(), display::kTableMode);
        EXPECT_EQ(displaytest::ErrorLog().find(L"BValue") != std::wstring::npos, c.expectBValueError)
            << "error log: " << testing::PrintToString(displaytest::ErrorLog());
    }
}

TEST_F(RegistryLevels, WaitsComeFromTheRegistryOrTheirDefaults) {
    struct Case {
        bool present;
        DWORD first;
        DWORD als;
        DWORD expectedFirst;
        DWORD expectedAls;
    };
    const Case cases[] = {{false, 0, 0, 100, 500}, {true, 0, 7, 0, 7}, {true, 2500, 40, 2500, 40}};
    for (const Case& c : cases) {
        if (c.present) {
            displaytest::SetMachineDword(L"ECWait0", c.first);
            displaytest::SetMachineDword(L"ECWait1", c.als);
        } else {
            displaytest::DeleteMachineValue(L"ECWait0");
            displaytest::DeleteMachineValue(L"ECWait1");
        }
        display::ChangeBrightness(display::BC_INIT);
        EXPECT_EQ(display::g_dwFirstWaitMs, c.expectedFirst);
        EXPECT_EQ(display::g_dwAlsWaitMs, c.expectedAls);
    }
}

TEST_F(RegistryLevels, AnEmptyVexDllDisablesTheCmosInterface) {
    EXPECT_FALSE(display::LoadVexapi());
    display::ChangeBrightness(display::BC_INIT);
    EXPECT_FALSE(display::bALS);
    EXPECT_FALSE(display::bLCD) << "no panel discovery without ASLSupported";
    EXPECT_EQ(display::ChangeBrightness(display::BC_GET), display::BC_NONE);
}

// --- Choice tables -----------------------------------------------------------------------------

class ChoiceTables : public testing::Test {
protected:
    void SetUp() override { displaytest::ResetBrightnessState(); }
    void TearDown() override {
        display::FreeBrightnessTables();
        display::SetPanelLevelCount(0);
        plans::g_Settings.blob.dwFlagWord = 0;
        displaytest::ResetBrightnessState();
    }
};

TEST_F(ChoiceTables, OfferedTableFollowsTheControlAndTheLevelCount) {
    struct Case {
        const char* name;
        bool lcd;
        DWORD flags;
        DWORD levels;
        size_t expectedEntries;
        const wchar_t* first;
        const wchar_t* second;
        const wchar_t* last;
    };
    const Case cases[] = {
        {"panel control: percentages", true, 0, 11, 101, L"0%", L"1%", L"100%"},
        {"one level: default table", false, 0, 1, 8, L"暗い", L"輝度 2", L"明るい"},
        {"eight levels: default table", false, 0, 8, 8, L"暗い", L"輝度 2", L"明るい"},
        {"twelve levels", false, 0, 12, 12, L"暗い", L"輝度 2", L"明るい"},
        {"monitors: level table", true, plans::FLAG_EXT_MONITOR, 3, 3, L"暗い", L"輝度 2", L"明るい"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        display::bLCD = c.lcd;
        display::dwBLevel = c.levels;
        plans::g_Settings.blob.dwFlagWord = c.flags;
        display::Init_nsr_lcd(displaytest::ProgramResources());
        const auto& table = display::BrightnessChoices();
        ASSERT_EQ(table.size(), c.expectedEntries);
        EXPECT_STREQ(table.front().label, c.first);
        EXPECT_STREQ(table[1].label, c.second);
        EXPECT_STREQ(table.back().label, c.last);
        EXPECT_EQ(table.back().value, c.expectedEntries - 1);
    }
}

}  // namespace
