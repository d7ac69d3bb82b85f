// The settings exports of Tarvik.dll, called through pointers bound by name.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/handles.h"
#include "tarvik/period_rules.h"
#include "tests/tarvik/library_fixture.h"

using namespace tarvik_test;

namespace {

const char* const kExportNames[] = {
    "TarvikGetTimeExceedThreshold", "TarvikCompareToThreshold", "TarvikGetRegionList",
    "TarvikGetSelectedRegion",      "TarvikSetSelectedRegion",  "TarvikStartEngine",
    "TarvikStopEngine",             "TarvikShowDialog",         "TarvikGetUsePeriod",
    "TarvikSetUsePeriod",           "TarvikGetPowerCompany",    "TarvikSetPowerCompany",
    "TarvikGetLv1Time",             "TarvikSetLv1Time",         "TarvikGetLv2Time",
    "TarvikSetLv2Time",             "TarvikGetThreshold",       "TarvikSetThreshold",
    "TarvikGetPlanChangeEnable",    "TarvikSetPlanChangeEnable", "TarvikGetTimePeriodEnable",
    "TarvikSetTimePeriodEnable",    "TarvikGetTarvikEnable",    "TarvikSetTarvikEnable",
    "TarvikGetAgreement",           "TarvikSetAgreement",       "TarvikSetEngineEnable",
    "TarvikGetSupportType",         "TarvikGetDebugMode",       "TarvikGetStartHour",
    "TarvikGetEndHour",             "TarvikGetUtilization",     "TarvikGetThresholdLv3",
};

// Names in the export directory of the DLL file, read from the file itself.
std::vector<std::string> ExportDirectoryNames(const std::wstring& path) {
    std::vector<std::string> names;
    common::UniqueModule image(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!image) {
        return names;
    }
    const auto* base = reinterpret_cast<const BYTE*>(image.Get());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) {
        return names;
    }
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    }
    return names;
}

OneData Window(WORD startHour, WORD startMinute, WORD endHour, WORD endMinute) {
    OneData r = {};
    r.value = 1;
    r.start = MakeTime(2019, 5, 5, startHour, startMinute, 41);
    r.end = MakeTime(2019, 5, 5, endHour, endMinute, 2);
    return r;
}

bool IsZero(const OneData& r) {
    const OneData zero = {};
    return memcmp(&r, &zero, sizeof(OneData)) == 0;
}

TEST(TarvikExportTable, AllThirtyThreeNamesUndecorated) {
    const std::vector<std::string> names = ExportDirectoryNames(LibraryPath());
    ASSERT_EQ(names.size(), 33u);
    const std::set<std::string> present(names.begin(), names.end());
    for (const char* expected : kExportNames) {
        EXPECT_EQ(present.count(expected), 1u) << expected;
    }
    for (const std::string& name : names) {
        EXPECT_EQ(name.find('@'), std::string::npos) << name;
        EXPECT_NE(name[0], '_') << name;
        EXPECT_NE(name[0], '?') << name;
    }
}

using TarvikRegions = TarvikLibraryTest;

TEST_F(TarvikRegions, NoRegionEnabledGivesTheEmptySlotOnly) {
    RegionEntry* list = nullptr;
    ASSERT_EQ(lib.GetRegionList(&list), 1u);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list[0].dwRegionId, 0u);
    ASSERT_NE(list[0].pszName, nullptr);
    EXPECT_STREQ(list[0].pszName, L"");
    for (int i = 1; i < 11; ++i) {
        EXPECT_EQ(list[i].dwRegionId, 0u);
        EXPECT_EQ(list[i].pszName, nullptr);
    }
}

TEST_F(TarvikRegions, EnabledRegionsInAscendingOrderWithTheirNames) {
    // The table is built on the library's first call: reload after writing the site keys.
    lib.Unload();
    ASSERT_TRUE(SetSiteValue(6, L"Enable", 1));
    ASSERT_TRUE(SetSiteValue(3, L"Enable", 1));
    ASSERT_TRUE(SetSiteValue(4, L"Enable", 0));
    ASSERT_TRUE(SetSiteValue(11, L"Enable", 1));  // beyond the list
    ASSERT_TRUE(lib.Load());
    RegionEntry* list = nullptr;
    ASSERT_EQ(lib.GetRegionList(&list), 3u);
    EXPECT_EQ(list[0].dwRegionId, 0u);
    EXPECT_EQ(list[1].dwRegionId, 3u);
    EXPECT_STREQ(list[1].pszName, L"東京電力");
    EXPECT_EQ(list[2].dwRegionId, 6u);
    EXPECT_STREQ(list[2].pszName, L"関西電力");
    EXPECT_EQ(list[3].pszName, nullptr);
}

TEST_F(TarvikRegions, AllTenNamesFromTheStringTable) {
    lib.Unload();
    for (DWORD r = 1; r <= 10; ++r) {
        ASSERT_TRUE(SetSiteValue(r, L"Enable", 1));
    }
    ASSERT_TRUE(lib.Load());
    RegionEntry* list = nullptr;
    ASSERT_EQ(lib.GetRegionList(&list), 11u);
    const wchar_t* names[] = {L"北海道電力", L"東北電力", L"東京電力", L"北陸電力", L"中部電力",
                              L"関西電力",   L"中国電力", L"四国電力", L"九州電力", L"沖縄電力"};
    for (DWORD r = 1; r <= 10; ++r) {
        EXPECT_EQ(list[r].dwRegionId, r);
        EXPECT_STREQ(list[r].pszName, names[r - 1]);
    }
    EXPECT_EQ(lib.GetRegionList(nullptr), 0u);
}

using TarvikSettings = TarvikLibraryTest;

TEST_F(TarvikSettings, SupportTypeFromSiteKeyOrBuiltInTable) {
    EXPECT_EQ(lib.GetSupportType(5), 26u);  // no site key
    EXPECT_EQ(lib.GetSupportType(9), 25u);
    EXPECT_EQ(lib.GetSupportType(3), 31u);
    EXPECT_EQ(lib.GetSupportType(1), 0u);
    EXPECT_EQ(lib.GetSupportType(11), 0u);
    ASSERT_TRUE(SetSiteValue(5, L"SupportDataType", 7));
    EXPECT_EQ(lib.GetSupportType(5), 7u);
    ASSERT_TRUE(SetSiteValue(3, L"Enable", 1));  // key present, value missing
    EXPECT_EQ(lib.GetSupportType(3), 0u);
    ASSERT_TRUE(SetSiteValue(12, L"SupportDataType", 16));
    EXPECT_EQ(lib.GetSupportType(12), 16u);
}

TEST_F(TarvikSettings, SelectedRegionAndPowerCompanyShareOneValue) {
    EXPECT_EQ(lib.GetSelectedRegion(), 0u);
    EXPECT_EQ(lib.GetPowerCompany(), 0u);
    ASSERT_TRUE(lib.SetSelectedRegion(6));
    DWORD stored = 0;
    ASSERT_TRUE(GetDword(kMorrowKey, L"SelectedCompany", stored));
    EXPECT_EQ(stored, 6u);
    EXPECT_EQ(lib.GetPowerCompany(), 6u);
    ASSERT_TRUE(lib.SetPowerCompany(9));
    EXPECT_EQ(lib.GetSelectedRegion(), 9u);
    ASSERT_TRUE(SetString(kMorrowKey, L"SelectedCompany", L"3"));
    EXPECT_EQ(lib.GetSelectedRegion(), 0u);
}

TEST_F(TarvikSettings, SelectModeSetterOnAMissingValue) {
    ASSERT_TRUE(CreateKey(kEFEnvKey));
    EXPECT_FALSE(lib.SetTimePeriodEnable(FALSE));
    EXPECT_FALSE(ValueExists(kEFEnvKey, L"SelectMode"));
    EXPECT_TRUE(lib.SetTimePeriodEnable(TRUE));
    DWORD mode = 0;
    ASSERT_TRUE(GetDword(kEFEnvKey, L"SelectMode", mode));
    EXPECT_EQ(mode, 2u);
}

TEST_F(TarvikSettings, SelectModeBitsAreIndependent) {
    ASSERT_TRUE(SetDword(kEFEnvKey, L"SelectMode", 0x100));
    EXPECT_TRUE(lib.SetPlanChangeEnable(TRUE));
    EXPECT_TRUE(lib.SetTarvikEnable(TRUE));
    DWORD mode = 0;
    ASSERT_TRUE(GetDword(kEFEnvKey, L"SelectMode", mode));
    EXPECT_EQ(mode, 0x105u);
    BOOL on = TRUE;
    EXPECT_TRUE(lib.GetTimePeriodEnable(&on));
    EXPECT_FALSE(on);
    EXPECT_TRUE(lib.GetPlanChangeEnable(&on));
    EXPECT_TRUE(on);
    EXPECT_TRUE(lib.GetTarvikEnable(&on));
    EXPECT_TRUE(on);
    EXPECT_TRUE(lib.SetPlanChangeEnable(FALSE));
    ASSERT_TRUE(GetDword(kEFEnvKey, L"SelectMode", mode));
    EXPECT_EQ(mode, 0x104u);
    EXPECT_TRUE(lib.GetPlanChangeEnable(&on));
    EXPECT_FALSE(on);
}

TEST_F(TarvikSettings, SelectModeGettersClearTheOutputFirst) {
    BOOL on = TRUE;
    EXPECT_FALSE(lib.GetPlanChangeEnable(&on));  // no EFEnv key at all
    EXPECT_FALSE(on);
    ASSERT_TRUE(SetString(kEFEnvKey, L"SelectMode", L"7"));
    on = TRUE;
    EXPECT_TRUE(lib.GetTarvikEnable(&on));  // wrong type: all bits clear
    EXPECT_FALSE(on);
    EXPECT_FALSE(lib.GetTarvikEnable(nullptr));
}

TEST_F(TarvikSettings, DailyWindowMovedToToday) {
    const OneData stored = Window(13, 0, 16, 0);
    ASSERT_TRUE(lib.SetLv1Time(&stored));
    OneData read = {};
    ASSERT_TRUE(lib.GetLv1Time(&read));
    const SYSTEMTIME today = Today();
    for (const SYSTEMTIME* st : {&read.start, &read.end}) {
        EXPECT_EQ(st->wYear, today.wYear);
        EXPECT_EQ(st->wMonth, today.wMonth);
        EXPECT_EQ(st->wDay, today.wDay);
        EXPECT_EQ(st->wDayOfWeek, today.wDayOfWeek);
    }
    EXPECT_EQ(read.start.wHour, 13);
    EXPECT_EQ(read.start.wMinute, 0);
    EXPECT_EQ(read.start.wSecond, 0);
    EXPECT_EQ(read.start.wMilliseconds, 0);
    EXPECT_EQ(read.end.wHour, 16);
    EXPECT_EQ(read.end.wMinute, 0);
    EXPECT_EQ(read.end.wSecond, 59);
    EXPECT_EQ(read.end.wMilliseconds, 999);

    const OneData second = Window(8, 30, 9, 45);
    ASSERT_TRUE(lib.SetLv2Time(&second));
    ASSERT_TRUE(lib.GetLv2Time(&read));
    EXPECT_EQ(read.start.wHour, 8);
    EXPECT_EQ(read.start.wMinute, 30);
    EXPECT_EQ(read.end.wHour, 9);
    EXPECT_EQ(read.end.wMinute, 45);
}

TEST_F(TarvikSettings, DailyWindowStoredBytesAreTheRecord) {
    const OneData stored = Window(13, 0, 16, 0);
    ASSERT_TRUE(lib.SetLv1Time(&stored));
    common::UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEFEnvKey, 0, KEY_READ, key.Put()), ERROR_SUCCESS);
    BYTE bytes[64] = {};
    DWORD type = 0;
    DWORD cb = sizeof(bytes);
    ASSERT_EQ(RegQueryValueExW(key.Get(), L"Lv1Time", nullptr, &type, bytes, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(cb, 40u);
    EXPECT_EQ(bytes[0], 1);                   // value
    EXPECT_EQ(bytes[8] | bytes[9] << 8, 2019);  // start.wYear
    EXPECT_EQ(bytes[16], 13);                 // start.wHour
    EXPECT_EQ(bytes[32], 16);                 // end.wHour
}

TEST_F(TarvikSettings, DailyWindowMissingOrBad) {
    OneData read = Window(1, 2, 3, 4);
    EXPECT_FALSE(lib.GetLv1Time(&read));  // no key
    EXPECT_TRUE(IsZero(read));

    ASSERT_TRUE(CreateKey(kEFEnvKey));
    ASSERT_TRUE(lib.GetLv1Time(&read));  // key without the value: today 00:00:00.000 .. 00:00:59.999
    EXPECT_EQ(read.start.wDay, Today().wDay);
    EXPECT_EQ(read.start.wHour, 0);
    EXPECT_EQ(read.end.wHour, 0);
    EXPECT_EQ(read.end.wMinute, 0);
    EXPECT_EQ(read.end.wSecond, 59);
    EXPECT_EQ(read.end.wMilliseconds, 999);

    BYTE tooLong[41] = {};
    tooLong[16] = 13;
    ASSERT_TRUE(SetBinary(kEFEnvKey, L"Lv2Time", tooLong, sizeof(tooLong)));
    ASSERT_TRUE(lib.GetLv2Time(&read));  // too large to be the record: zeros moved to today
    EXPECT_EQ(read.start.wHour, 0);

    OneData bad = Window(25, 0, 26, 0);
    ASSERT_TRUE(lib.SetLv2Time(&bad));
    read = Window(1, 2, 3, 4);
    EXPECT_FALSE(lib.GetLv2Time(&read));
    EXPECT_TRUE(IsZero(read));
    EXPECT_FALSE(lib.GetLv1Time(nullptr));
    EXPECT_FALSE(lib.SetLv1Time(nullptr));
}

TEST_F(TarvikSettings, UsePeriodOverTheTurnOfTheYear) {
    OneData stored = {};
    stored.value = 1;
    stored.start = MakeTime(2019, 12, 1);
    stored.end = MakeTime(2020, 3, 31, 23, 59);
    ASSERT_TRUE(lib.SetUsePeriod(&stored));
    OneData read = {};
    ASSERT_TRUE(lib.GetUsePeriod(&read));
    const SYSTEMTIME today = Today();
    const bool inDecember = today.wMonth == 12;
    EXPECT_EQ(read.start.wYear, inDecember ? today.wYear : today.wYear - 1);
    EXPECT_EQ(read.start.wMonth, 12);
    EXPECT_EQ(read.start.wDay, 1);
    EXPECT_EQ(read.end.wYear, inDecember ? today.wYear + 1 : today.wYear);
    EXPECT_EQ(read.end.wMonth, 3);
    EXPECT_EQ(read.end.wDay, 31);
    // The export follows the date rule for today.
    OneData expected = stored;
    ASSERT_TRUE(tarvik::MoveUsePeriodToYear(expected, today));
    EXPECT_EQ(0, memcmp(&expected, &read, sizeof(OneData)));
}

TEST_F(TarvikSettings, UsePeriodMissingOrOutOfRange) {
    OneData read = {};
    read.value = 9;
    EXPECT_FALSE(lib.GetUsePeriod(&read));
    EXPECT_TRUE(IsZero(read));
    ASSERT_TRUE(CreateKey(kEFEnvKey));
    read.value = 9;
    EXPECT_TRUE(lib.GetUsePeriod(&read));
    EXPECT_TRUE(IsZero(read));

    OneData bad = {};
    bad.start = MakeTime(2019, 13, 1);
    bad.end = MakeTime(2020, 3, 31);
    ASSERT_TRUE(lib.SetUsePeriod(&bad));
    read.value = 9;
    EXPECT_FALSE(lib.GetUsePeriod(&read));
    EXPECT_TRUE(IsZero(read));

    OneData noYears = {};
    noYears.start = MakeTime(0, 7, 1);
    noYears.end = MakeTime(0, 9, 30);
    ASSERT_TRUE(lib.SetUsePeriod(&noYears));
    ASSERT_TRUE(lib.GetUsePeriod(&read));
    EXPECT_EQ(0, memcmp(&noYears, &read, sizeof(OneData)));
    EXPECT_FALSE(lib.GetUsePeriod(nullptr));
    EXPECT_FALSE(lib.SetUsePeriod(nullptr));
}

TEST_F(TarvikSettings, ThresholdMissingVersusThresholdLv3Missing) {
    DWORD threshold = 0xDEAD;
    EXPECT_FALSE(lib.GetThreshold(&threshold));  // no key
    EXPECT_FALSE(lib.GetThresholdLv3(&threshold));
    EXPECT_EQ(threshold, 0xDEADu);
    ASSERT_TRUE(CreateKey(kEFEnvKey));
    EXPECT_TRUE(lib.GetThreshold(&threshold));
    EXPECT_EQ(threshold, 0xDEADu);
    EXPECT_FALSE(lib.GetThresholdLv3(&threshold));
    EXPECT_EQ(threshold, 0xDEADu);
    ASSERT_TRUE(lib.SetThreshold(85));
    ASSERT_TRUE(SetDword(kEFEnvKey, L"ThresholdLv3", 95));
    EXPECT_TRUE(lib.GetThreshold(&threshold));
    EXPECT_EQ(threshold, 85u);
    EXPECT_TRUE(lib.GetThresholdLv3(&threshold));
    EXPECT_EQ(threshold, 95u);
    EXPECT_FALSE(lib.GetThreshold(nullptr));
    EXPECT_FALSE(lib.GetThresholdLv3(nullptr));
}

TEST_F(TarvikSettings, AgreementEngineEnableAndDebugValues) {
    EXPECT_FALSE(lib.GetAgreement());
    ASSERT_TRUE(SetDword(kMorrowKey, L"Agreement", 2));
    EXPECT_FALSE(lib.GetAgreement());
    EXPECT_TRUE(lib.SetAgreement());
    EXPECT_TRUE(lib.GetAgreement());
    DWORD value = 0;
    EXPECT_TRUE(lib.SetEngineEnable(5));
    ASSERT_TRUE(GetDword(kMorrowKey, L"Enable", value));
    EXPECT_EQ(value, 5u);

    EXPECT_FALSE(lib.GetDebugMode());
    EXPECT_EQ(lib.GetStartHour(), 0u);
    ASSERT_TRUE(SetDword(kTarvikKey, L"Debug", 1));
    ASSERT_TRUE(SetDword(kTarvikKey, L"StartHour", 13));
    ASSERT_TRUE(SetDword(kTarvikKey, L"EndHour", 17));
    ASSERT_TRUE(SetDword(kTarvikKey, L"Utilization", 90));
    EXPECT_TRUE(lib.GetDebugMode());
    EXPECT_EQ(lib.GetStartHour(), 13u);
    EXPECT_EQ(lib.GetEndHour(), 17u);
    EXPECT_EQ(lib.GetUtilization(), 90u);
    ASSERT_TRUE(SetDword(kTarvikKey, L"Debug", 2));
    EXPECT_FALSE(lib.GetDebugMode());
}

TEST_F(TarvikSettings, NullPointersFailWithoutEffect) {
    EXPECT_FALSE(lib.CompareToThreshold(50, nullptr));
    EXPECT_FALSE(lib.GetTimeExceedThreshold(50, nullptr));
    EXPECT_FALSE(lib.GetPlanChangeEnable(nullptr));
    EXPECT_FALSE(lib.GetTimePeriodEnable(nullptr));
    EXPECT_FALSE(lib.SetLv2Time(nullptr));
    EXPECT_FALSE(KeyExists(kEFEnvKey));
}

}  // namespace
