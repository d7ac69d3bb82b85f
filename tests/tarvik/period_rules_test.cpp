// The date rules of the stored settings, run on chosen dates.
#include <gtest/gtest.h>

#include "tarvik/one_data.h"
#include "tarvik/period_rules.h"
#include "tests/tarvik/test_support.h"

using tarvik_test::MakeTime;

namespace {

OneData Period(SYSTEMTIME start, SYSTEMTIME end) {
    OneData r = {};
    r.value = 1;
    r.start = start;
    r.end = end;
    return r;
}

void ExpectDate(const SYSTEMTIME& st, WORD year, WORD month, WORD day) {
    EXPECT_EQ(st.wYear, year);
    EXPECT_EQ(st.wMonth, month);
    EXPECT_EQ(st.wDay, day);
}

// The stored record: forty bytes, its times at eight and twenty-four (checked when this compiles).
static_assert(sizeof(OneData) == 40);
static_assert(offsetof(OneData, start) == 8);
static_assert(offsetof(OneData, end) == 24);

TEST(OneDataConversion, YearBefore1900IsZeroSecondsAndOutOfRangeFieldsFail) {
    long long seconds = 123;
    EXPECT_TRUE(tarvik::SystemTimeToSeconds(MakeTime(1899, 13, 40), seconds));
    EXPECT_EQ(seconds, 0);
    EXPECT_FALSE(tarvik::SystemTimeToSeconds(MakeTime(2026, 13, 1), seconds));
    EXPECT_FALSE(tarvik::SystemTimeToSeconds(MakeTime(2026, 0, 1), seconds));
    EXPECT_FALSE(tarvik::SystemTimeToSeconds(MakeTime(2026, 5, 32), seconds));
    EXPECT_FALSE(tarvik::SystemTimeToSeconds(MakeTime(2026, 5, 1, 24), seconds));
    EXPECT_FALSE(tarvik::SystemTimeToSeconds(MakeTime(2026, 5, 1, 10, 60), seconds));
    EXPECT_FALSE(tarvik::SystemTimeToSeconds(MakeTime(2026, 5, 1, 10, 0, 60), seconds));
}

TEST(OneDataConversion, NormalisingRollsOverflowingDaysAndFillsDayOfWeek) {
    SYSTEMTIME st = MakeTime(2027, 2, 31, 13, 5, 7);
    st.wMilliseconds = 500;
    ASSERT_TRUE(tarvik::NormaliseSystemTime(st));
    ExpectDate(st, 2027, 3, 3);
    EXPECT_EQ(st.wHour, 13);
    EXPECT_EQ(st.wMinute, 5);
    EXPECT_EQ(st.wSecond, 7);
    EXPECT_EQ(st.wMilliseconds, 0);
    EXPECT_EQ(st.wDayOfWeek, 3);  // Wednesday
}

TEST(PeriodRules, LeapYears) {
    EXPECT_TRUE(tarvik::IsLeapYear(2024));
    EXPECT_FALSE(tarvik::IsLeapYear(2026));
    EXPECT_FALSE(tarvik::IsLeapYear(1900));
    EXPECT_FALSE(tarvik::IsLeapYear(2100));
    EXPECT_TRUE(tarvik::IsLeapYear(2000));
}

TEST(PeriodRules, DailyWindowMovesToTheGivenDay) {
    OneData window = Period(MakeTime(2019, 5, 5, 13, 0, 33), MakeTime(2019, 5, 5, 16, 0, 12));
    SYSTEMTIME now = MakeTime(2027, 1, 15, 9, 41, 2);
    now.wDayOfWeek = 5;
    tarvik::MoveDailyWindowToDay(window, now);
    ExpectDate(window.start, 2027, 1, 15);
    ExpectDate(window.end, 2027, 1, 15);
    EXPECT_EQ(window.start.wDayOfWeek, 5);
    EXPECT_EQ(window.end.wDayOfWeek, 5);
    EXPECT_EQ(window.start.wHour, 13);
    EXPECT_EQ(window.start.wMinute, 0);
    EXPECT_EQ(window.start.wSecond, 0);
    EXPECT_EQ(window.start.wMilliseconds, 0);
    EXPECT_EQ(window.end.wHour, 16);
    EXPECT_EQ(window.end.wMinute, 0);
    EXPECT_EQ(window.end.wSecond, 59);
    EXPECT_EQ(window.end.wMilliseconds, 999);
    EXPECT_EQ(window.value, 1u);
}

TEST(PeriodRules, DailyWindowWithHourOrMinuteOutOfRangeIsRejected) {
    EXPECT_TRUE(tarvik::DailyWindowValid(OneData{}));
    EXPECT_TRUE(tarvik::DailyWindowValid(Period(MakeTime(0, 0, 0, 23, 59), MakeTime(0, 0, 0, 0, 0))));
    EXPECT_FALSE(tarvik::DailyWindowValid(Period(MakeTime(0, 0, 0, 24, 0), MakeTime(0, 0, 0, 1, 0))));
    EXPECT_FALSE(tarvik::DailyWindowValid(Period(MakeTime(0, 0, 0, 1, 0), MakeTime(0, 0, 0, 2, 60))));
}

TEST(PeriodRules, WinterPeriodReadInJanuaryStartsTheYearBefore) {
    OneData period = Period(MakeTime(2020, 12, 1), MakeTime(2021, 3, 31));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(period, MakeTime(2027, 1, 15, 10)));
    ExpectDate(period.start, 2026, 12, 1);
    ExpectDate(period.end, 2027, 3, 31);
}

TEST(PeriodRules, WinterPeriodReadInDecemberEndsTheYearAfter) {
    OneData period = Period(MakeTime(2020, 12, 1), MakeTime(2021, 3, 31));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(period, MakeTime(2026, 12, 10, 10)));
    ExpectDate(period.start, 2026, 12, 1);
    ExpectDate(period.end, 2027, 3, 31);
}

TEST(PeriodRules, SummerPeriodMovesToTheCurrentYear) {
    OneData period = Period(MakeTime(2019, 7, 1, 0, 0), MakeTime(2019, 9, 30, 23, 59));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(period, MakeTime(2026, 12, 10)));
    ExpectDate(period.start, 2026, 7, 1);
    ExpectDate(period.end, 2026, 9, 30);
    EXPECT_EQ(period.end.wHour, 23);
    EXPECT_EQ(period.end.wMinute, 59);
}

TEST(PeriodRules, LeapDayToTwentyEighthInACommonYear) {
    // 29 February becomes 28 February; the end, now on the same day, moves to 27 February, and
    // the period then runs over the turn of the year.
    OneData early = Period(MakeTime(2024, 2, 29), MakeTime(2025, 2, 28));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(early, MakeTime(2027, 1, 10)));
    ExpectDate(early.start, 2026, 2, 28);
    ExpectDate(early.end, 2027, 2, 27);

    OneData late = Period(MakeTime(2024, 2, 29), MakeTime(2025, 2, 28));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(late, MakeTime(2027, 6, 1)));
    ExpectDate(late.start, 2027, 2, 28);
    ExpectDate(late.end, 2028, 2, 27);
}

TEST(PeriodRules, LeapDayStaysInALeapYear) {
    OneData period = Period(MakeTime(2024, 2, 29), MakeTime(2024, 3, 10));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(period, MakeTime(2028, 1, 10)));
    ExpectDate(period.start, 2028, 2, 29);
    ExpectDate(period.end, 2028, 3, 10);
}

TEST(PeriodRules, EndOnLeapDayInACommonYear) {
    OneData period = Period(MakeTime(2024, 1, 1), MakeTime(2024, 2, 29));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(period, MakeTime(2026, 1, 20)));
    ExpectDate(period.start, 2026, 1, 1);
    ExpectDate(period.end, 2026, 2, 28);

    // End on 29 February and start on 28 February: the start moves a day earlier.
    OneData tight = Period(MakeTime(2024, 2, 28), MakeTime(2024, 2, 29));
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(tight, MakeTime(2026, 2, 1)));
    ExpectDate(tight.start, 2026, 2, 27);
    ExpectDate(tight.end, 2026, 2, 28);
}

TEST(PeriodRules, PeriodWithoutYearsIsLeftAsRead) {
    OneData period = Period(MakeTime(0, 12, 1), MakeTime(2021, 3, 31));
    const OneData before = period;
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(period, MakeTime(2026, 12, 10)));
    EXPECT_EQ(0, memcmp(&before, &period, sizeof(OneData)));
}

TEST(PeriodRules, UsePeriodValidity) {
    EXPECT_TRUE(tarvik::UsePeriodValid(OneData{}));
    EXPECT_TRUE(tarvik::UsePeriodValid(Period(MakeTime(2020, 12, 1), MakeTime(2021, 3, 31))));
    EXPECT_FALSE(tarvik::UsePeriodValid(Period(MakeTime(2020, 13, 1), MakeTime(2021, 3, 31))));
    EXPECT_FALSE(tarvik::UsePeriodValid(Period(MakeTime(2020, 12, 1), MakeTime(2021, 3, 0))));
    EXPECT_FALSE(tarvik::UsePeriodValid(Period(MakeTime(2020, 12, 1, 25), MakeTime(2021, 3, 31))));
}

}  // namespace
