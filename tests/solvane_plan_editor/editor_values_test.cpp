#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plans/editor_values.h"
#include "plans/settings.h"

using namespace plans;

namespace {

TEST(TimeoutSlider, OffListValuesGetAnExtraEndPositionThatSavesThemUnchanged) {
    struct Row {
        TimeoutList list;
        DWORD planValue;
        size_t positions;
        bool extra;
        size_t position;
    } rows[] = {
        {TimeoutList::Standard, 240, 17, true, 16},   // 4 minutes: not a step
        {TimeoutList::Standard, 300, 16, false, 3},
        {TimeoutList::Standard, 0, 16, false, 15},     // never
        {TimeoutList::Standard, 21600, 17, true, 16},  // a hibernate step only
        {TimeoutList::Hibernate, 21600, 17, false, 15},
        {TimeoutList::Hibernate, 18000, 17, false, 14},
        {TimeoutList::Hibernate, 5400, 18, true, 17},
    };
    for (const Row& row : rows) {
        const TimeoutSlider slider = MakeTimeoutSlider(row.list, row.planValue);
        EXPECT_EQ(slider.positions.size(), row.positions) << row.planValue;
        EXPECT_EQ(slider.hasExtra, row.extra) << row.planValue;
        const size_t position = TimeoutPosition(slider, row.planValue);
        EXPECT_EQ(position, row.position) << row.planValue;
        // Saving without touching the slider keeps the plan's value.
        EXPECT_EQ(slider.positions[position], row.planValue) << row.planValue;
    }
}

TEST(TimeoutSlider, StepsEndWithNever) {
    EXPECT_EQ(TimeoutSteps(TimeoutList::Standard).back(), 0u);
    EXPECT_EQ(TimeoutSteps(TimeoutList::Hibernate).back(), 0u);
    EXPECT_EQ(TimeoutSteps(TimeoutList::Hibernate)[15], 21600u);
}

TEST(Hibernate, SliderShowsTotalIdleTimeAndStoresTheRemainder) {
    struct Row {
        DWORD standby, total, stored;
    } rows[] = {
        {1800, 7200, 5400},  // sleep 30 min, slider on 2 hours
        {0, 3600, 3600},
        {1800, 0, 0},        // never
        {7200, 3600, 3600},  // a total below standby is taken as it is
        {3600, 3600, 3600},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(HibernateFromTotal(row.total, row.standby), row.stored) << row.standby << "/" << row.total;
    }
    EXPECT_EQ(HibernateTotal(1800, 5400), 7200u);
    EXPECT_EQ(HibernateTotal(1800, 0), 0u);
    EXPECT_EQ(HibernateTotal(0xFFFFFF00u, 0x200u), 0xFFFFFFFFu);  // no wrap to a short time
}

TEST(TimeoutLabels, StepsAndExtraPositions) {
    struct Row {
        DWORD seconds;
        UINT id;
        DWORD number;
    } rows[] = {{60, 130, 1}, {120, 131, 2}, {2700, 131, 45}, {3600, 132, 1}, {10800, 133, 3}, {0, 140, 0}};
    for (const Row& row : rows) {
        const TimeoutLabel label = LabelOfStep(row.seconds);
        EXPECT_EQ(label.stringId, row.id) << row.seconds;
        EXPECT_EQ(label.number, row.number) << row.seconds;
    }
    struct Extra {
        DWORD seconds;
        const wchar_t* text;
    } extras[] = {{240, L"4 分後"}, {5400, L"1 時間30 分後"}, {25200, L"7 時間後"}};
    for (const Extra& e : extras) {
        wchar_t text[64] = L"";
        FormatExtraLabel(e.seconds, L"%I64d 時間", L"%I64d 分", L"%s%s後", text, ARRAYSIZE(text));
        EXPECT_STREQ(text, e.text);
    }
}

TEST(Wireless, PositionsRunAgainstTheSavingIndex) {
    for (int position = 0; position < 4; ++position) {
        EXPECT_EQ(WirelessIndexOfPosition(position), static_cast<DWORD>(3 - position));
        EXPECT_EQ(WirelessPositionOfIndex(WirelessIndexOfPosition(position)), position);
    }
    EXPECT_EQ(WirelessPositionOfIndex(7), 0);
}

TEST(PlanNames, ProposalTakesTheSmallestFreeNumber) {
    const std::wstring prefix = L"新設定";
    struct Row {
        std::vector<std::wstring> names;
        std::wstring proposal;
    } rows[] = {
        {{L"バランス"}, L"新設定1"},
        {{L"新設定1", L"新設定2"}, L"新設定3"},
        {{L"新設定2"}, L"新設定1"},
        {{L"新設定1", L"新設定3"}, L"新設定2"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ProposeNewPlanName(prefix, row.names), row.proposal);
    }
}

TEST(PlanNames, RenamingToItsOwnNameIsAcceptedToAnothersRefused) {
    const std::vector<std::wstring> names = {L"ECO 省電力", L"バランス", L"新設定1"};
    EXPECT_TRUE(IsPlanNameFree(L"バランス", names, 1));
    EXPECT_FALSE(IsPlanNameFree(L"ECO 省電力", names, 1));
    EXPECT_FALSE(IsPlanNameFree(L"新設定1", names, -1));
    EXPECT_TRUE(IsPlanNameFree(L"新設定2", names, -1));
}

TEST(PlanDelete, FactoryAndActivePlansAreKept) {
    const GUID a = {1, 0, 0, {0}};
    const GUID b = {2, 0, 0, {0}};
    EXPECT_TRUE(CanDeletePlan(a, b, false));
    EXPECT_FALSE(CanDeletePlan(a, b, true));
    EXPECT_FALSE(CanDeletePlan(a, a, false));
}

TEST(EditorTemplate, ChosenByMachine) {
    struct Row {
        DWORD flags, os;
        bool als;
        UINT id;
    } rows[] = {
        {FLAG_BATTERY, 2, false, 1314}, {FLAG_BATTERY, 1, true, 503},   {FLAG_BATTERY, 1, false, 1179},
        {FLAG_EXT_MONITOR, 3, false, 1184}, {0, 1, false, 1183}, {0, 2, true, 1315},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(EditorTemplateFor(row.flags, row.os, row.als), row.id) << row.flags << "/" << row.os;
    }
}

TEST(BrightnessSlider, PositionOfAStoredValue) {
    const std::vector<DWORD> levels = {0, 1, 2, 3, 4, 5, 6, 7};
    const std::vector<DWORD> sparse = {0, 10, 25, 100};
    struct Row {
        const std::vector<DWORD>* values;
        INT32 value;
        int position;
    } rows[] = {
        {&levels, 0, 0}, {&levels, 7, 7}, {&levels, 8, -1}, {&levels, 256, -1}, {&levels, -1, -1},
        {&sparse, 25, 2}, {&sparse, 24, -1}, {&sparse, 100, 3},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BrightnessPosition(*row.values, row.value), row.position) << row.value;
    }
}

}  // namespace
