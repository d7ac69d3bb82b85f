// Demand against peak supply, the exceed windows and the data line, on chosen dates and records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarvik/data_log.h"
#include "tarvik/threshold_rules.h"
#include "tests/tarvik/test_support.h"

using tarvik_test::MakeTime;

namespace {

OneData Rec(ULONGLONG value, SYSTEMTIME start, SYSTEMTIME end = {}) {
    OneData r = {};
    r.value = value;
    r.start = start;
    r.end = end;
    return r;
}

TEST(ThresholdRules, ShareOfSupplyTruncatesAndRefusesZeroSupply) {
    DWORD percent = 0;
    ASSERT_TRUE(tarvik::ShareOfSupply(4300000, 5000000, percent));
    EXPECT_EQ(percent, 86u);
    ASSERT_TRUE(tarvik::ShareOfSupply(4349999, 5000000, percent));
    EXPECT_EQ(percent, 86u);
    percent = 77;
    EXPECT_FALSE(tarvik::ShareOfSupply(4300000, 0, percent));
    EXPECT_EQ(percent, 77u);
}

TEST(ThresholdRules, ExceedAtOrAboveTheThreshold) {
    const OneData demand = Rec(4300000, MakeTime(2026, 8, 1, 14));
    EXPECT_TRUE(tarvik::DemandExceeds(demand, 5000000, 86));
    EXPECT_FALSE(tarvik::DemandExceeds(demand, 5000000, 87));
    EXPECT_FALSE(tarvik::DemandExceeds(demand, 0, 0));
}

TEST(ThresholdRules, LatestRecordByStartTiesKeepTheLowerIndex) {
    std::vector<OneData> records = {Rec(1, MakeTime(2026, 8, 1, 14, 0)), Rec(2, MakeTime(2026, 8, 1, 14, 10)),
                                    Rec(3, MakeTime(2026, 8, 1, 14, 5)), Rec(4, MakeTime(2026, 8, 1, 14, 10))};
    EXPECT_EQ(tarvik::LatestRecordIndex(records.data(), records.size()), 1u);
    // A start before 1900 or out of range counts as 0 and never wins over a real time.
    std::vector<OneData> odd = {Rec(1, MakeTime(2026, 8, 1, 9)), Rec(2, MakeTime(1800, 1, 1)),
                                Rec(3, MakeTime(2026, 13, 1))};
    EXPECT_EQ(tarvik::LatestRecordIndex(odd.data(), odd.size()), 0u);
    std::vector<OneData> firstOld = {Rec(1, MakeTime(1800, 1, 1)), Rec(2, MakeTime(2026, 8, 1, 9))};
    EXPECT_EQ(tarvik::LatestRecordIndex(firstOld.data(), firstOld.size()), 1u);
}

TEST(ThresholdRules, HourlySharesKeepOnlyTodaysHours) {
    const SYSTEMTIME now = MakeTime(2026, 8, 1, 9, 30);
    std::vector<OneData> records = {
        Rec(4000000, MakeTime(2026, 8, 1, 13)),  // 80
        Rec(4500000, MakeTime(2026, 8, 1, 13)),  // 90 overwrites
        Rec(4900000, MakeTime(2026, 7, 31, 14)), // yesterday
        Rec(4900000, MakeTime(2026, 8, 1, 24)),  // no such hour
        Rec(1000000, MakeTime(2026, 8, 1, 0)),   // 20
    };
    tarvik::HourlyShares shares;
    tarvik::FillHourlyShares(records.data(), records.size(), 5000000, now, shares);
    EXPECT_EQ(shares[13], 90u);
    EXPECT_EQ(shares[14], 0u);
    EXPECT_EQ(shares[0], 20u);
    tarvik::FillHourlyShares(records.data(), records.size(), 0, now, shares);
    for (DWORD share : shares) {
        EXPECT_EQ(share, 0u);
    }
}

class EstimatedWindow : public ::testing::Test {
protected:
    tarvik::HourlyShares shares = {};
    SYSTEMTIME now = MakeTime(2026, 8, 1, 9, 30, 12);
    OneData result = {};
};

TEST_F(EstimatedWindow, ThreeHoursGiveFirstToLastHour) {
    shares[13] = 90;
    shares[14] = 95;
    shares[15] = 88;
    shares[16] = 70;
    ASSERT_TRUE(tarvik::WindowFromEstimates(shares, 85, now, result));
    EXPECT_EQ(result.start.wYear, 2026);
    EXPECT_EQ(result.start.wDay, 1);
    EXPECT_EQ(result.start.wHour, 13);
    EXPECT_EQ(result.start.wMinute, 0);
    EXPECT_EQ(result.start.wSecond, 0);
    EXPECT_EQ(result.end.wHour, 15);
    EXPECT_EQ(result.end.wDay, 1);
    EXPECT_EQ(result.value, 0u);
}

TEST_F(EstimatedWindow, OneHourIsOneHourLong) {
    shares[14] = 90;
    ASSERT_TRUE(tarvik::WindowFromEstimates(shares, 85, now, result));
    EXPECT_EQ(result.start.wHour, 14);
    EXPECT_EQ(result.end.wHour, 15);
}

TEST_F(EstimatedWindow, MidnightAloneOrNothingIsNoWindow) {
    shares[0] = 90;
    EXPECT_FALSE(tarvik::WindowFromEstimates(shares, 85, now, result));
    shares[0] = 80;
    EXPECT_FALSE(tarvik::WindowFromEstimates(shares, 85, now, result));
}

TEST_F(EstimatedWindow, LastHourAloneEndsAtTheNextMidnight) {
    shares[23] = 90;
    ASSERT_TRUE(tarvik::WindowFromEstimates(shares, 85, now, result));
    EXPECT_EQ(result.start.wHour, 23);
    EXPECT_EQ(result.end.wDay, 2);
    EXPECT_EQ(result.end.wHour, 0);
    EXPECT_EQ(result.end.wMonth, 8);
}

TEST(PeakDemandWindow, SummerAndWinterMargins) {
    tarvik::HourlyShares shares = {};
    shares[14] = 92;
    OneData demand = Rec(4600000, MakeTime(2026, 8, 1, 14), MakeTime(2026, 8, 1, 15));
    OneData result = {};
    ASSERT_TRUE(tarvik::WindowFromPeakDemand(shares, 90, &demand, MakeTime(2026, 8, 1, 9), result));
    EXPECT_EQ(result.start.wHour, 13);
    EXPECT_EQ(result.end.wHour, 17);
    EXPECT_EQ(result.value, 4600000u);

    demand = Rec(4600000, MakeTime(2026, 12, 1, 14), MakeTime(2026, 12, 1, 15));
    ASSERT_TRUE(tarvik::WindowFromPeakDemand(shares, 90, &demand, MakeTime(2026, 12, 1, 9), result));
    EXPECT_EQ(result.start.wHour, 12);
    EXPECT_EQ(result.end.wHour, 16);

    // April and November are outside the summer months.
    demand = Rec(4600000, MakeTime(2026, 4, 30, 14), MakeTime(2026, 4, 30, 15));
    ASSERT_TRUE(tarvik::WindowFromPeakDemand(shares, 90, &demand, MakeTime(2026, 4, 30, 9), result));
    EXPECT_EQ(result.start.wHour, 12);
    demand = Rec(4600000, MakeTime(2026, 10, 31, 14), MakeTime(2026, 10, 31, 15));
    ASSERT_TRUE(tarvik::WindowFromPeakDemand(shares, 90, &demand, MakeTime(2026, 10, 31, 9), result));
    EXPECT_EQ(result.start.wHour, 13);
}

TEST(PeakDemandWindow, AnHourBelowTheThresholdIsNoWindow) {
    tarvik::HourlyShares shares = {};
    shares[14] = 89;
    OneData demand = Rec(4450000, MakeTime(2026, 8, 1, 14), MakeTime(2026, 8, 1, 15));
    OneData result = {};
    EXPECT_FALSE(tarvik::WindowFromPeakDemand(shares, 90, &demand, MakeTime(2026, 8, 1, 9), result));
    const OneData zero = {};
    EXPECT_EQ(0, memcmp(&zero, &result, sizeof(OneData)));
}

TEST(PeakDemandWindow, NoHourGivesTheZeroRecordAndABadDateNoWindow) {
    tarvik::HourlyShares shares = {};
    OneData result = Rec(5, MakeTime(2026, 8, 1, 1));
    ASSERT_TRUE(tarvik::WindowFromPeakDemand(shares, 90, nullptr, MakeTime(2026, 8, 1, 9), result));
    const OneData zero = {};
    EXPECT_EQ(0, memcmp(&zero, &result, sizeof(OneData)));

    shares[14] = 95;
    OneData bad = Rec(4750000, MakeTime(2026, 13, 1, 14), MakeTime(2026, 13, 1, 15));
    EXPECT_FALSE(tarvik::WindowFromPeakDemand(shares, 90, &bad, MakeTime(2026, 8, 1, 9), result));
}

TEST(DataLog, FirstLineAtOnceThenOncePerInterval) {
    const SYSTEMTIME now = MakeTime(2026, 8, 1, 10, 0);
    SYSTEMTIME last = MakeTime(2026, 8, 1, 9, 30);
    EXPECT_TRUE(tarvik::DataLogDue(now, last, 30));
    EXPECT_FALSE(tarvik::DataLogDue(now, MakeTime(2026, 8, 1, 9, 31), 30));
    EXPECT_TRUE(tarvik::DataLogDue(now, MakeTime(1601, 1, 1), 30));

    tarvik::ResetDataLogClock(now);  // no "interval" value: 30 minutes before now
    const SYSTEMTIME& reset = tarvik::LastDataLogTime();
    EXPECT_EQ(reset.wHour, 9);
    EXPECT_EQ(reset.wMinute, 30);
    const OneData supply = Rec(5000000, MakeTime(2026, 8, 1), MakeTime(2026, 8, 1, 23, 59));
    const OneData instant = Rec(4300000, MakeTime(2026, 8, 1, 9, 58), MakeTime(2026, 8, 1, 9, 59));
    EXPECT_TRUE(tarvik::OutputLog(3, &supply, &instant, nullptr, now));
    EXPECT_FALSE(tarvik::OutputLog(3, &supply, &instant, nullptr, MakeTime(2026, 8, 1, 10, 29)));
    EXPECT_TRUE(tarvik::OutputLog(3, &supply, &instant, nullptr, MakeTime(2026, 8, 1, 10, 30)));
}

TEST(DataLog, LineHasTenColumnsInThousands) {
    const OneData supply = Rec(5000000, MakeTime(2026, 8, 1), MakeTime(2026, 8, 1, 23, 59));
    const OneData actual = Rec(4321999, MakeTime(2026, 8, 1, 9), MakeTime(2026, 8, 1, 10));
    wchar_t line[tarvik::kDataLineChars];
    ASSERT_TRUE(tarvik::FormatDataLine(6, &supply, nullptr, &actual, line, tarvik::kDataLineChars));
    EXPECT_STREQ(line, L"6,5000,2026/08/01 00:00,2026/08/01 23:59,,,,4321,2026/08/01 09:00,2026/08/01 10:00");
    ASSERT_TRUE(tarvik::FormatDataLine(3, &supply, &actual, nullptr, line, tarvik::kDataLineChars));
    EXPECT_STREQ(line, L"3,5000,2026/08/01 00:00,2026/08/01 23:59,4321,2026/08/01 09:00,2026/08/01 10:00,,,");
    EXPECT_FALSE(tarvik::FormatDataLine(3, &supply, nullptr, nullptr, line, tarvik::kDataLineChars));
    EXPECT_FALSE(tarvik::FormatDataLine(3, nullptr, &actual, nullptr, line, tarvik::kDataLineChars));
    // An unconvertible time prints as an empty column.
    const OneData bad = Rec(1000, MakeTime(2026, 13, 1), MakeTime(2026, 8, 1, 10));
    ASSERT_TRUE(tarvik::FormatDataLine(3, &supply, &bad, nullptr, line, tarvik::kDataLineChars));
    EXPECT_STREQ(line, L"3,5000,2026/08/01 00:00,2026/08/01 23:59,1,,2026/08/01 10:00,,,");
}

}  // namespace
