// The comparisons against a data-service interface made of test functions: missing functions,
// a missing release, an enumeration that never ends.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tarvik/data_service.h"
#include "tests/tarvik/test_support.h"

using namespace tarvik_test;

namespace {

struct FakeService {
    std::vector<OneData> supply, instant, estimated, demand;
    bool endlessInstant = false;
    int opened = 0;
    int released = 0;
    DWORD lastMask = 0;
    DWORD calls = 0;
};
FakeService g_fake;
int g_handle = 0;

BOOL WINAPI FakeGetData(DWORD, DWORD mask, tarvik::ServiceDataHandle* data, DWORD_PTR, DWORD_PTR) {
    g_fake.lastMask = mask;
    ++g_fake.opened;
    *data = &g_handle;
    return TRUE;
}
BOOL Serve(const std::vector<OneData>& records, DWORD index, OneData* out) {
    ++g_fake.calls;
    if (index >= records.size()) {
        return FALSE;
    }
    *out = records[index];
    return TRUE;
}
BOOL WINAPI FakeSupply(tarvik::ServiceDataHandle, DWORD index, OneData* out) { return Serve(g_fake.supply, index, out); }
BOOL WINAPI FakeInstant(tarvik::ServiceDataHandle, DWORD index, OneData* out) {
    if (g_fake.endlessInstant) {
        ++g_fake.calls;
        *out = g_fake.instant.at(0);
        return TRUE;
    }
    return Serve(g_fake.instant, index, out);
}
BOOL WINAPI FakeEstimated(tarvik::ServiceDataHandle, DWORD index, OneData* out) {
    return Serve(g_fake.estimated, index, out);
}
BOOL WINAPI FakeRelease(tarvik::ServiceDataHandle data) {
    EXPECT_EQ(data, &g_handle);
    ++g_fake.released;
    return TRUE;
}

OneData Rec(ULONGLONG value, SYSTEMTIME start) {
    OneData r = {};
    r.value = value;
    r.start = start;
    r.end = start;
    return r;
}

class FakeServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        CleanRegistry();
        g_fake = FakeService{};
        api.EFGetData = FakeGetData;
        api.EFGetPeakSupplyData = FakeSupply;
        api.EFGetInstantData = FakeInstant;
        api.EFGetEstimatedData = FakeEstimated;
        api.EFReleaseData = FakeRelease;
        now = MakeTime(2026, 8, 1, 14, 30);
        ASSERT_TRUE(SetDword(kMorrowKey, L"SelectedCompany", 3));
        ASSERT_TRUE(SetDword((std::wstring(kSiteKey) + L"\\3").c_str(), L"SupportDataType", 31));
        g_fake.supply = {Rec(9000000, MakeTime(2026, 7, 31)), Rec(5000000, MakeTime(2026, 8, 1)),
                         Rec(1, MakeTime(2026, 8, 1))};
        g_fake.instant = {Rec(4300000, MakeTime(2026, 8, 1, 14, 20)), Rec(4000000, MakeTime(2026, 8, 1, 14, 20)),
                          Rec(1000000, MakeTime(2026, 8, 1, 14, 10))};
    }
    void TearDown() override { CleanRegistry(); }

    tarvik::DataServiceApi api;
    SYSTEMTIME now = {};
};

TEST_F(FakeServiceTest, FirstOfTodaysSupplyAndTheEarliestOfTheLatestReadings) {
    DWORD exceed = 7;
    ASSERT_TRUE(tarvik::CompareToThreshold(api, now, 86, &exceed));
    EXPECT_EQ(exceed, 1u);  // 4,300,000 of 5,000,000 (index 0 wins the tie with index 1)
    ASSERT_TRUE(tarvik::CompareToThreshold(api, now, 87, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_EQ(g_fake.lastMask, 9u);
    EXPECT_EQ(g_fake.opened, g_fake.released);
}

TEST_F(FakeServiceTest, NoSupplyForTodayFails) {
    g_fake.supply = {Rec(5000000, MakeTime(2026, 7, 31))};
    DWORD exceed = 7;
    EXPECT_FALSE(tarvik::CompareToThreshold(api, now, 10, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_EQ(g_fake.opened, 1);
    EXPECT_EQ(g_fake.released, 1);
}

TEST_F(FakeServiceTest, MissingFunctionsFailAndAMissingReleaseIsSkipped) {
    DWORD exceed = 7;
    tarvik::DataServiceApi noInstant = api;
    noInstant.EFGetInstantData = nullptr;
    EXPECT_FALSE(tarvik::CompareToThreshold(noInstant, now, 10, &exceed));
    EXPECT_EQ(g_fake.released, 1);

    tarvik::DataServiceApi noSupply = api;
    noSupply.EFGetPeakSupplyData = nullptr;
    EXPECT_FALSE(tarvik::CompareToThreshold(noSupply, now, 10, &exceed));

    tarvik::DataServiceApi noRelease = api;
    noRelease.EFReleaseData = nullptr;
    EXPECT_TRUE(tarvik::CompareToThreshold(noRelease, now, 10, &exceed));
    EXPECT_EQ(exceed, 1u);

    tarvik::DataServiceApi nothing;
    EXPECT_FALSE(tarvik::CompareToThreshold(nothing, now, 10, &exceed));
    OneData window = {};
    EXPECT_FALSE(tarvik::GetTimeExceedThreshold(nothing, now, 10, &window));
}

TEST_F(FakeServiceTest, MissingRecordFunctionFailsTheForecastOnlyAndGivesTheZeroPeakDemandWindow) {
    struct Row {
        const char* name;
        DWORD supportDataType;
        DWORD expectedMask;
        BOOL result;
    };
    const Row rows[] = {
        {"forecast without EFGetEstimatedData", 0x1C, 12, FALSE},
        {"peak demand without EFGetPeakDemandData", 0x18, 24, TRUE},
    };
    tarvik::DataServiceApi noRecords = api;
    noRecords.EFGetEstimatedData = nullptr;
    noRecords.EFGetPeakDemandData = nullptr;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(SetDword((std::wstring(kSiteKey) + L"\\3").c_str(), L"SupportDataType", row.supportDataType));
        OneData window = {};
        window.value = 3;
        window.start.wHour = 9;
        window.end.wHour = 10;
        EXPECT_EQ(tarvik::GetTimeExceedThreshold(noRecords, now, 10, &window), row.result);
        EXPECT_EQ(g_fake.lastMask, row.expectedMask);
        const OneData zero = {};
        EXPECT_EQ(memcmp(&window, &zero, sizeof(window)), 0) << "the result is the zero record";
        EXPECT_EQ(g_fake.opened, g_fake.released);
    }
}

TEST_F(FakeServiceTest, EndlessReadingsAreCutOff) {
    g_fake.endlessInstant = true;
    DWORD exceed = 7;
    EXPECT_FALSE(tarvik::CompareToThreshold(api, now, 10, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_LE(g_fake.calls, tarvik::kMaxServiceRecords + 10);
    EXPECT_EQ(g_fake.opened, g_fake.released);
}

TEST_F(FakeServiceTest, ForecastWindowFromTheHourlyRecords) {
    for (WORD h = 0; h < 24; ++h) {
        g_fake.estimated.push_back(Rec(h >= 13 && h <= 15 ? 4600000 : 2000000, MakeTime(2026, 8, 1, h)));
    }
    g_fake.estimated.push_back(Rec(4900000, MakeTime(2026, 8, 2, 18)));  // tomorrow: not counted
    OneData window = {};
    ASSERT_TRUE(tarvik::GetTimeExceedThreshold(api, now, 92, &window));
    EXPECT_EQ(g_fake.lastMask, 12u);
    EXPECT_EQ(window.start.wHour, 13);
    EXPECT_EQ(window.end.wHour, 15);
    EXPECT_EQ(window.start.wDay, 1);
    EXPECT_FALSE(tarvik::GetTimeExceedThreshold(api, now, 93, &window));
    EXPECT_EQ(g_fake.opened, g_fake.released);
}

}  // namespace
