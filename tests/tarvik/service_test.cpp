// Threshold comparison and exceed windows against the demand the simulated data service serves.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "common/handles.h"

#include "tests/tarvik/library_fixture.h"

using namespace tarvik_test;

namespace {

constexpr DWORD kInstant = 0x01, kActual = 0x02, kEstimated = 0x04, kSupply = 0x08, kPeakDemand = 0x10;

std::wstring RegionKey(DWORD region) { return std::wstring(kSimMorrowKey) + L"\\Regions\\" + std::to_wstring(region); }

// 24 hourly percents: `base` everywhere, `high` in the hours listed.
std::wstring Curve(DWORD base, DWORD high, std::initializer_list<DWORD> highHours) {
    std::wstring text;
    for (DWORD h = 0; h < 24; ++h) {
        bool isHigh = false;
        for (DWORD x : highHours) {
            isHigh |= x == h;
        }
        text += std::to_wstring(isHigh ? high : base);
        if (h < 23) {
            text += L",";
        }
    }
    return text;
}

DWORD SimValue(const wchar_t* name) {
    DWORD value = 0;
    GetDword(kSimMorrowKey, name, value);
    return value;
}

class TarvikWithoutService : public TarvikLibraryTest {};

TEST_F(TarvikWithoutService, CompareFailsAndLeavesNoExceed) {
    ASSERT_TRUE(lib.SetSelectedRegion(3));
    DWORD exceed = 7;
    EXPECT_FALSE(lib.CompareToThreshold(50, &exceed));
    EXPECT_EQ(exceed, 0u);
    OneData window = {};
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, &window));
}

TEST_F(TarvikWithoutService, DebugModeSimulatesUtilization) {
    ASSERT_TRUE(SetDword(kTarvikKey, L"Debug", 1));
    ASSERT_TRUE(SetDword(kTarvikKey, L"Utilization", 90));
    ASSERT_TRUE(SetDword(kTarvikKey, L"StartHour", 13));
    ASSERT_TRUE(SetDword(kTarvikKey, L"EndHour", 17));
    DWORD exceed = 7;
    EXPECT_TRUE(lib.CompareToThreshold(85, &exceed));
    EXPECT_EQ(exceed, 1u);
    EXPECT_TRUE(lib.CompareToThreshold(90, &exceed));
    EXPECT_EQ(exceed, 1u);
    EXPECT_TRUE(lib.CompareToThreshold(95, &exceed));
    EXPECT_EQ(exceed, 0u);
    OneData window = {};
    ASSERT_TRUE(lib.GetTimeExceedThreshold(50, &window));
    const SYSTEMTIME today = Today();
    EXPECT_EQ(window.value, 0u);
    EXPECT_EQ(window.start.wDay, today.wDay);
    EXPECT_EQ(window.start.wHour, 13);
    EXPECT_EQ(window.end.wHour, 17);
}

// "StartHour" and "EndHour" are hours of the day: anything above 23 reads as 0, in the getters
// and in the simulated window (a WORD cut of 0x10017 must not turn into 23 either).
TEST_F(TarvikWithoutService, DebugHoursAboveTwentyThreeReadAsZero) {
    struct Case {
        DWORD start;
        DWORD end;
        DWORD startHour;
        DWORD endHour;
    };
    const Case cases[] = {
        {0, 23, 0, 23},
        {23, 24, 23, 0},
        {24, 5, 0, 5},
        {0x10017, 0xFFFF, 0, 0},
        {99, 0xFFFFFFFF, 0, 0},
    };
    ASSERT_TRUE(SetDword(kTarvikKey, L"Debug", 1));
    for (const Case& c : cases) {
        ASSERT_TRUE(SetDword(kTarvikKey, L"StartHour", c.start));
        ASSERT_TRUE(SetDword(kTarvikKey, L"EndHour", c.end));
        EXPECT_EQ(lib.GetStartHour(), c.startHour) << c.start;
        EXPECT_EQ(lib.GetEndHour(), c.endHour) << c.end;
        OneData window = {};
        ASSERT_TRUE(lib.GetTimeExceedThreshold(50, &window));
        EXPECT_EQ(window.start.wHour, c.startHour) << c.start;
        EXPECT_EQ(window.end.wHour, c.endHour) << c.end;
    }
}

class TarvikWithService : public TarvikLibraryTest {
protected:
    void SetUp() override {
        CleanRegistry();
        ASSERT_TRUE(InstallService()) << "MorrowIF.DLL/Morrow.exe must be beside the test program";
        ASSERT_TRUE(lib.Load());
    }
    void TearDown() override {
        lib.Unload();
        RemoveService();
        CleanRegistry();
    }
    void Region(DWORD region, DWORD supply, const std::wstring& curve) {
        ASSERT_TRUE(lib.SetSelectedRegion(region));
        ASSERT_TRUE(SetDword(RegionKey(region).c_str(), L"PeakSupply", supply));
        ASSERT_TRUE(SetString(RegionKey(region).c_str(), L"Curve", curve.c_str()));
    }
    void Percent(DWORD region, DWORD percent) {
        ASSERT_TRUE(SetDword(RegionKey(region).c_str(), L"Percent", percent));
    }
};

TEST_F(TarvikWithService, InitialisesTheServiceOnceAndFinalisesOnUnload) {
    // Loading the library binds nothing yet: the first call does.
    EXPECT_EQ(GetModuleHandleW(L"MorrowIF.DLL"), nullptr);
    EXPECT_EQ(SimValue(L"InitializeCalls"), 0u);
    DWORD exceed = 0;
    lib.CompareToThreshold(50, &exceed);
    lib.CompareToThreshold(50, &exceed);
    EXPECT_EQ(SimValue(L"InitializeCalls"), 1u);
    EXPECT_NE(GetModuleHandleW(L"MorrowIF.DLL"), nullptr);
    EXPECT_EQ(SimValue(L"FinalizeCalls"), 0u);
    lib.Unload();
    EXPECT_EQ(SimValue(L"FinalizeCalls"), 1u);
    EXPECT_EQ(GetModuleHandleW(L"MorrowIF.DLL"), nullptr);
}

TEST_F(TarvikWithService, InstantDemandAgainstTodaysPeakSupply) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 50, {}));
    Percent(3, 86);  // the latest instant reading: 4,300,000
    DWORD exceed = 7;
    ASSERT_TRUE(lib.CompareToThreshold(86, &exceed));
    EXPECT_EQ(exceed, 1u);
    EXPECT_EQ(SimValue(L"LastRegion"), 3u);
    EXPECT_EQ(SimValue(L"LastMask"), kSupply | kInstant);
    ASSERT_TRUE(lib.CompareToThreshold(87, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);  // every data set was released
}

TEST_F(TarvikWithService, ActualDemandWhenTheRegionHasNoInstantData) {
    Region(5, 26000000, Curve(40, 40, {}));  // no site key: built-in 26
    Percent(5, 70);
    DWORD exceed = 7;
    ASSERT_TRUE(lib.CompareToThreshold(70, &exceed));
    EXPECT_EQ(exceed, 1u);
    EXPECT_EQ(SimValue(L"LastMask"), kSupply | kActual);
    ASSERT_TRUE(lib.CompareToThreshold(71, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);
}

TEST_F(TarvikWithService, RegionWithoutDemandKindsIsNotCompared) {
    ASSERT_TRUE(EnableSite(4, kEstimated | kPeakDemand));
    Region(4, 5000000, Curve(99, 99, {}));
    DWORD exceed = 7;
    EXPECT_FALSE(lib.CompareToThreshold(10, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_EQ(SimValue(L"GetDataCalls"), 0u);
}

TEST_F(TarvikWithService, ForecastWindowFromFirstToLastHourAtThreshold) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 95, {13, 14, 15}));
    OneData window = {};
    ASSERT_TRUE(lib.GetTimeExceedThreshold(90, &window));
    EXPECT_EQ(SimValue(L"LastMask"), kSupply | kEstimated);
    const SYSTEMTIME today = Today();
    EXPECT_EQ(window.start.wYear, today.wYear);
    EXPECT_EQ(window.start.wMonth, today.wMonth);
    EXPECT_EQ(window.start.wDay, today.wDay);
    EXPECT_EQ(window.start.wDayOfWeek, today.wDayOfWeek);
    EXPECT_EQ(window.start.wHour, 13);
    EXPECT_EQ(window.start.wMinute, 0);
    EXPECT_EQ(window.end.wHour, 15);
    EXPECT_EQ(window.value, 0u);

    Region(3, 5000000, Curve(50, 95, {14}));
    ASSERT_TRUE(lib.GetTimeExceedThreshold(90, &window));
    EXPECT_EQ(window.start.wHour, 14);
    EXPECT_EQ(window.end.wHour, 15);

    Region(3, 5000000, Curve(50, 95, {0}));
    EXPECT_FALSE(lib.GetTimeExceedThreshold(90, &window));
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);
}

TEST_F(TarvikWithService, PeakDemandWindowWidenedBySeason) {
    ASSERT_TRUE(EnableSite(9, kInstant | kSupply | kPeakDemand));
    Region(9, 5000000, Curve(50, 95, {14}));
    OneData window = {};
    ASSERT_TRUE(lib.GetTimeExceedThreshold(90, &window));
    EXPECT_EQ(SimValue(L"LastMask"), kSupply | kPeakDemand);
    const SYSTEMTIME today = Today();
    const bool summer = today.wMonth >= 5 && today.wMonth <= 10;
    EXPECT_EQ(window.start.wHour, summer ? 13 : 12);
    EXPECT_EQ(window.end.wHour, summer ? 17 : 16);
    EXPECT_EQ(window.start.wDay, today.wDay);
    EXPECT_EQ(window.value, 4750000u);

    OneData none = {};
    EXPECT_FALSE(lib.GetTimeExceedThreshold(96, &none));
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);
}

TEST_F(TarvikWithService, MissingKindsFail) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 95, {14}));
    Percent(3, 90);
    DWORD exceed = 7;
    OneData window = {};
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultMissingKind", kSupply));
    EXPECT_FALSE(lib.CompareToThreshold(50, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, &window));
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultMissingKind", kInstant | kEstimated));
    EXPECT_FALSE(lib.CompareToThreshold(50, &exceed));
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, &window));
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultOpenFails", 1));
    EXPECT_FALSE(lib.CompareToThreshold(50, &exceed));
}

TEST_F(TarvikWithService, PeakDemandWithoutRecordsGivesTheEmptyWindow) {
    ASSERT_TRUE(EnableSite(9, kSupply | kPeakDemand));
    Region(9, 5000000, Curve(50, 95, {14}));
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultMissingKind", kPeakDemand));
    OneData window = {};
    // No demand record at all: nothing reaches the threshold, the window is empty.
    ASSERT_TRUE(lib.GetTimeExceedThreshold(90, &window));
    EXPECT_EQ(window.start.wYear, 0);
}

TEST_F(TarvikWithService, EndlessEnumerationsEndInTime) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 95, {14}));
    Percent(3, 90);
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultEndless", kInstant | kEstimated));
    DWORD exceed = 7;
    const ULONGLONG started = GetTickCount64();
    EXPECT_FALSE(lib.CompareToThreshold(50, &exceed));
    EXPECT_EQ(exceed, 0u);
    OneData window = {};
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, &window));
    EXPECT_LT(GetTickCount64() - started, 30000u);
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);

    // An endless supply enumeration still yields today's record.
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultEndless", kSupply));
    ASSERT_TRUE(lib.CompareToThreshold(90, &exceed));
    EXPECT_EQ(exceed, 1u);
}

TEST_F(TarvikWithService, SupplyDatedOutOfRangeIsNoSupply) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 95, {14}));
    Percent(3, 90);
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultBadDate", kSupply));
    DWORD exceed = 7;
    EXPECT_FALSE(lib.CompareToThreshold(50, &exceed));
    EXPECT_EQ(exceed, 0u);
    OneData window = {};
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, &window));
    EXPECT_EQ(SimValue(L"OpenDataSets"), 0u);
}

TEST_F(TarvikWithService, DemandDatedOutOfRange) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 95, {14}));
    Percent(3, 90);
    ASSERT_TRUE(SetDword(kSimMorrowKey, L"FaultBadDate", kInstant | kEstimated));
    DWORD exceed = 7;
    // The comparison does not look at the readings' dates; all of them count as time 0, so the
    // first one (ten minutes old, 80 percent) is taken.
    ASSERT_TRUE(lib.CompareToThreshold(80, &exceed));
    EXPECT_EQ(exceed, 1u);
    ASSERT_TRUE(lib.CompareToThreshold(81, &exceed));
    EXPECT_EQ(exceed, 0u);
    OneData window = {};
    EXPECT_FALSE(lib.GetTimeExceedThreshold(90, &window));
}

TEST_F(TarvikWithService, ZeroPeakSupplyIsNeverExceeded) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 0, Curve(50, 95, {14}));
    Percent(3, 90);
    DWORD exceed = 7;
    ASSERT_TRUE(lib.CompareToThreshold(0, &exceed));
    EXPECT_EQ(exceed, 0u);
    OneData window = {};
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, &window));
    ASSERT_TRUE(EnableSite(3, kSupply | kPeakDemand));
    EXPECT_TRUE(lib.GetTimeExceedThreshold(0, &window));
    EXPECT_EQ(window.start.wYear, 0);
}

TEST_F(TarvikWithService, DebugModeDoesNotAskTheService) {
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 95, {14}));
    ASSERT_TRUE(SetDword(kTarvikKey, L"Debug", 1));
    ASSERT_TRUE(SetDword(kTarvikKey, L"Utilization", 40));
    DWORD exceed = 7;
    ASSERT_TRUE(lib.CompareToThreshold(50, &exceed));
    EXPECT_EQ(exceed, 0u);
    EXPECT_EQ(SimValue(L"GetDataCalls"), 0u);
}

// The trace log of the library: the header at start-up and at most one data line per interval.
TEST_F(TarvikWithService, DataLineThrottledInTheTraceLog) {
    lib.Unload();
    const wchar_t kDbgLog[] = L"Software\\Orvel\\Morrow\\DbgLog";
    ASSERT_TRUE(SetDword(kDbgLog, L"logform", 1));
    ASSERT_TRUE(SetDword(kDbgLog, L"loglevel", 0));
    ASSERT_TRUE(SetString(kDbgLog, L"filename", L"tarvik_tests_trace.log"));
    wchar_t folder[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE));
    const std::wstring file = std::wstring(folder) + L"\\tarvik_tests_trace.log";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(lib.Load());
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(50, 50, {}));
    Percent(3, 86);
    DWORD exceed = 0;
    ASSERT_TRUE(lib.CompareToThreshold(86, &exceed));
    ASSERT_TRUE(lib.CompareToThreshold(86, &exceed));
    lib.Unload();
    std::wstring text;
    {
        common::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(handle.Valid());
        wchar_t buffer[8192] = {};
        DWORD read = 0;
        ReadFile(handle.Get(), buffer, sizeof(buffer) - sizeof(wchar_t), &read, nullptr);
        text.assign(buffer, read / sizeof(wchar_t));
    }
    DeleteFileW(file.c_str());
    EXPECT_NE(text.find(L"リージョン,最大供給電力量,開始,終了,瞬時値,開始,終了,計測値,開始,終了"), std::wstring::npos)
        << "no header line";
    const size_t first = text.find(L" 3,5000,");
    ASSERT_NE(first, std::wstring::npos) << "no data line";
    EXPECT_NE(text.find(L",4300,", first), std::wstring::npos);
    EXPECT_EQ(text.find(L" 3,5000,", first + 1), std::wstring::npos) << "a second line within the interval";
}

TEST_F(TarvikWithService, DataLineEveryTimeWithAZeroInterval) {
    lib.Unload();
    const wchar_t kDbgLog[] = L"Software\\Orvel\\Morrow\\DbgLog";
    ASSERT_TRUE(SetDword(kDbgLog, L"logform", 1));
    ASSERT_TRUE(SetDword(kDbgLog, L"loglevel", 0));
    ASSERT_TRUE(SetDword(kDbgLog, L"interval", 0));
    ASSERT_TRUE(SetString(kDbgLog, L"filename", L"tarvik_tests_trace0.log"));
    wchar_t folder[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE));
    const std::wstring file = std::wstring(folder) + L"\\tarvik_tests_trace0.log";
    DeleteFileW(file.c_str());
    ASSERT_TRUE(lib.Load());
    Region(5, 26000000, Curve(40, 40, {}));
    Percent(5, 70);
    DWORD exceed = 0;
    ASSERT_TRUE(lib.CompareToThreshold(70, &exceed));
    ASSERT_TRUE(lib.CompareToThreshold(70, &exceed));
    lib.Unload();
    std::wstring text;
    {
        common::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(handle.Valid());
        wchar_t buffer[8192] = {};
        DWORD read = 0;
        ReadFile(handle.Get(), buffer, sizeof(buffer) - sizeof(wchar_t), &read, nullptr);
        text.assign(buffer, read / sizeof(wchar_t));
    }
    DeleteFileW(file.c_str());
    // Region 5 measures demand: the instant columns stay empty, the actual ones are filled.
    const size_t first = text.find(L" 5,26000,");
    ASSERT_NE(first, std::wstring::npos);
    EXPECT_NE(text.find(L",,,,18200,", first), std::wstring::npos);
    EXPECT_NE(text.find(L" 5,26000,", first + 1), std::wstring::npos) << "no second line";
}

TEST_F(TarvikWithService, DemandFromTheServicesDataFile) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring file = std::wstring(folder) + L"tarvik_tests_demand.ini";
    ASSERT_TRUE(WritePrivateProfileStringW(L"Region3", L"PeakSupply", L"1000000", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(L"Region3", L"Percent", L"64", file.c_str()));
    ASSERT_TRUE(SetString(kSimMorrowKey, L"DataFile", file.c_str()));
    ASSERT_TRUE(EnableSite(3, 31));
    Region(3, 5000000, Curve(99, 99, {}));  // the registry's values are not used
    DWORD exceed = 7;
    const bool compared = lib.CompareToThreshold(64, &exceed);
    const DWORD atThreshold = exceed;
    lib.CompareToThreshold(65, &exceed);
    DeleteFileW(file.c_str());
    ASSERT_TRUE(compared);
    EXPECT_EQ(atThreshold, 1u);
    EXPECT_EQ(exceed, 0u);
}

}  // namespace
