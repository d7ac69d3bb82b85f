#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "battery/battery.h"
#include "common/log.h"
#include "tests/battery/test_support.h"

namespace {

using battery::BatteryRecord;

constexpr DWORD kCharging = 0x4;

// A valid, present model: a = 0.001, b = 10, c = 100, I = 2000, turn point 80 %, 10000 mWh.
BatteryRecord Model(DWORD slot, DWORD capacity, LONG rate, DWORD powerState = kCharging) {
    BatteryRecord r{};
    r.bChecked = 1;
    r.bExist = 1;
    r.dA = 0.001;
    r.dB = 10.0;
    r.dC = 100.0;
    r.dI = 2000.0;
    r.dwChangePoint = 80;
    r.dwFullPercent = 100;
    r.nSlot = slot;
    r.FullChargedCapacity = 10000;
    r.Capacity = capacity;
    r.Rate = rate;
    r.PowerState = powerState;
    return r;
}

struct ChargeCase {
    const char* name;
    std::vector<BatteryRecord> records;
    int minutes;
    DWORD charging;
    DWORD partial;
};

std::vector<ChargeCase> ChargeCases() {
    BatteryRecord negative = Model(0, 8500, 1500);
    negative.dB = 0.0;
    negative.dC = 9000.0;   // the discriminant at the present capacity is negative
    BatteryRecord invalid = Model(1, 4000, -1500);
    invalid.bChecked = 0;
    BatteryRecord absent = Model(1, 4000, -1500);
    absent.bExist = 0;
    BatteryRecord nearlyFull = Model(1, 9600, 1500, 0);
    nearlyFull.dwFullPercent = 95;
    return {
        {"straight part and curve, rate -1500 taken as 1500", {Model(0, 4000, -1500)}, 162, 0x1, 0x1},
        {"rate 0 uses the model's charge rate", {Model(0, 4000, 0)}, 122, 0x1, 0x1},
        {"curve alone above the turn point", {Model(0, 8500, 1500)}, 2, 0x1, 0x1},
        {"negative discriminant counts as zero", {negative}, 16, 0x1, 0x1},
        {"a full battery needs no time", {Model(0, 10000, 0)}, 0, 0x0, 0x0},
        {"two batteries in slots 0 and 1", {Model(0, 4000, -1500), Model(1, 8500, 1500, 0)}, 165, 0x1, 0x3},
        {"slot 1 above its full percent adds time but is not partial",
         {Model(0, 4000, -1500), nearlyFull}, 163, 0x1, 0x1},
        {"invalid and absent models are skipped", {invalid, Model(0, 4000, -1500), absent}, 162, 0x1, 0x1},
        {"only a battery above its full percent: no time", {nearlyFull}, 0, 0x0, 0x0},
    };
}

TEST(ChargeTime, MinutesAndMasksFollowTheModel) {
    for (const ChargeCase& c : ChargeCases()) {
        const battery::ChargeEstimate e = battery::EstimateChargeTime(c.records.data(), c.records.size());
        EXPECT_EQ(e.nMinutes, c.minutes) << c.name;
        EXPECT_EQ(e.dwChargingMask, c.charging) << c.name;
        EXPECT_EQ(e.dwPartialMask, c.partial) << c.name;
        EXPECT_EQ(e.dwError, 0u) << c.name;
    }
}

TEST(ChargeTime, TotalsAddEveryBatteryCounted) {
    const std::vector<BatteryRecord> records = {Model(0, 4000, -1500), Model(1, 8500, 1500)};
    const battery::ChargeEstimate e = battery::EstimateChargeTime(records.data(), records.size());
    EXPECT_EQ(e.dwTotalCapacity, 20000u);
    EXPECT_EQ(e.dwCurrentCapacity, 12500u);
}

TEST(ChargeTime, ZeroFullCapacityIsRecordedAndGivesNoTime) {
    SetErrorLogModule(GetModuleHandleW(nullptr));
    DeleteFileW(L"error.log");
    BatteryRecord broken = Model(1, 0, 1500);
    broken.FullChargedCapacity = 0;
    const std::vector<BatteryRecord> records = {Model(0, 4000, -1500), broken};
    const battery::ChargeEstimate e = battery::EstimateChargeTime(records.data(), records.size());
    EXPECT_EQ(e.nMinutes, 0);
    EXPECT_EQ(e.dwError, 85u);
    const std::wstring log = battery_test::ErrorLog();
    EXPECT_NE(log.find(L"fail : Division Zero(0x19)"), std::wstring::npos) << log;
    DeleteFileW(L"error.log");
}

TEST(ChargeTime, LargeCapacitiesDoNotWrapThePercent) {
    // 50,000,000 mWh × 100 overflows 32 bits; the unit must still read 40 % (straight part).
    BatteryRecord big = Model(0, 20000000, -1500);
    big.FullChargedCapacity = 50000000;
    const battery::ChargeEstimate e = battery::EstimateChargeTime(&big, 1);
    EXPECT_EQ(e.dwPartialMask, 0x1u);
    EXPECT_GT(e.nMinutes, 20000 * 60 / 1500);  // (T − X) / R alone is 800 hours
}

TEST(ChargeTime, TextIsHoursAndMinutes) {
    struct {
        int minutes;
        const wchar_t* text;
    } cases[] = {{0, L"00:00"}, {59, L"00:59"}, {60, L"01:00"}, {162, L"02:42"}, {600, L"10:00"}};
    for (const auto& c : cases) {
        wchar_t text[6] = L"";
        ASSERT_TRUE(battery::FormatChargeTime(c.minutes, text, ARRAYSIZE(text))) << c.minutes;
        EXPECT_STREQ(text, c.text);
    }
    wchar_t small[3] = L"";
    EXPECT_FALSE(battery::FormatChargeTime(162, small, ARRAYSIZE(small)));
}

struct LowCase {
    int state;
    int percent;
    int next;
    bool report;
};

TEST(LowBattery, StateMachineCrossesBothLevelsBothWays) {
    // Low level 10, critical level 5.
    const LowCase cases[] = {
        {5, 50, 5, false},  // well above
        {5, 11, 5, false},
        {5, 10, 1, true},   // down to the low level
        {5, 5, 0, true},    // straight through both levels: one report
        {1, 8, 1, false},
        {1, 5, 0, true},    // down to the critical level
        {1, 11, 5, false},  // charged back above low
        {0, 3, 0, false},
        {0, 6, 1, false},   // back above critical: no report
        {0, 40, 5, false},  // back above low
        {0, -1, 0, false},  // no battery: nothing happens
        {5, -1, 5, false},
    };
    for (const LowCase& c : cases) {
        bool report = !c.report;
        EXPECT_EQ(battery::StepLowBattery(c.state, c.percent, 10, 5, &report), c.next)
            << c.state << " at " << c.percent;
        EXPECT_EQ(report, c.report) << c.state << " at " << c.percent;
    }
}

TEST(LowBattery, LevelsZeroReportOnlyAtZero) {
    bool report = false;
    EXPECT_EQ(battery::StepLowBattery(5, 1, 0, 0, &report), 5);
    EXPECT_FALSE(report);
    EXPECT_EQ(battery::StepLowBattery(5, 0, 0, 0, &report), 0);
    EXPECT_TRUE(report);
}

struct RateCase {
    bool lcd;
    bool cpu;
    int curLevel;
    int newLevel;
    int curMode;
    int newMode;
    int percent;
};

TEST(DischargeRates, PercentageWithTheDefaultTables) {
    const battery::DischargeRates rates = battery::DefaultDischargeRates();
    const RateCase cases[] = {
        {true, true, 7, 0, 0, 0, 121},     // brightest to darkest
        {true, true, 0, 7, 0, 0, 79},      // (7894 - 10000) / 100 truncates toward zero: -21
        {true, true, 3, 3, 0, 0, 100},
        {true, true, 7, 8, 0, 0, 100},     // level outside the table
        {true, true, 256, 0, 0, 0, 100},   // unknown level
        {false, true, 7, 0, 0, 0, 100},    // the panel is not controlled
        {true, true, 7, 7, 0, 2, 107},     // (10000 - 9209) / 100
        {true, true, 7, 7, 2, 0, 93},
        {true, true, 7, 7, 1, 3, 100},     // only the pair {0, 2} counts
        {true, false, 7, 7, 0, 2, 100},    // no speed stepping
        {true, true, 7, 0, 0, 2, 128},
    };
    for (const RateCase& c : cases) {
        EXPECT_EQ(battery::Percentage(rates, c.lcd, c.cpu, c.curLevel, c.newLevel, c.curMode, c.newMode), c.percent)
            << c.curLevel << "->" << c.newLevel << " mode " << c.curMode << "->" << c.newMode;
    }
}

}  // namespace
