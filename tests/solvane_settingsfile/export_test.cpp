// "/export": the keys written, their conditions and order of precedence, and the messages.
#include <gtest/gtest.h>

#include <string>

#include "settings_file_support.h"
#include "settingsfile/settings_file.h"

namespace {

using namespace sftest;

constexpr UINT kWriteFailed = 3001;
constexpr UINT kCreateFailed = 3006;
constexpr UINT kNotAdministrator = 3008;

class ExportTest : public SettingsFileTest {
protected:
    void SeedMachine() {
        AddPlan(kPlanC, 3);
        AddPlan(kPlanA, 1);
        AddPlan(kPlanB, 2);
        ASSERT_EQ(SetBinary(kEfEnv, L"UseDate", Record(0x10)), ERROR_SUCCESS);
        ASSERT_EQ(SetBinary(kEfEnv, L"Lv1Time", Record(0x20)), ERROR_SUCCESS);
        ASSERT_EQ(SetBinary(kEfEnv, L"Lv2Time", Record(0xE0)), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kEfEnv, L"SelectMode", 6), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kEfEnv, L"Threshold", 92), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kMorrow, L"SelectedCompany", 10), ERROR_SUCCESS);
    }
};

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(ExportTest, WritesEveryKeyOfTheMachine) {
    SeedMachine();
    const std::wstring file = File(L"conf.ECOSettings");
    EXPECT_EQ(ExportSettings(File(L"conf").c_str()), 0u);
    EXPECT_TRUE(s_messages.empty());
    const struct {
        const wchar_t* section;
        const wchar_t* key;
        std::wstring value;
    } expected[] = {
        {L"OS", L"Version", std::to_wstring(MajorVersion())},
        {L"Solvane", L"LedNo1", kPlanA},
        {L"Solvane", L"LedNo2", kPlanB},
        {L"Solvane", L"LedNo3", kPlanC},
        {L"EFEnv", L"UseDate", W(Hex(Record(0x10)))},
        {L"EFEnv", L"Lv1Time", W(Hex(Record(0x20)))},
        {L"EFEnv", L"Lv2Time", W(Hex(Record(0xE0)))},
        {L"EFEnv", L"SelectMode", L"6"},
        {L"EFEnv", L"Threshold", L"92"},
        {L"Morrow", L"SelectedCompany", L"10"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(IniValue(file, e.section, e.key), e.value) << testing::PrintToString(std::wstring(e.key));
    }
}

TEST_F(ExportTest, ThresholdOutsideTheImportRangeIsWrittenAsEightyFive) {
    const struct {
        long long stored;  // -1: missing
        const wchar_t* written;
    } cases[] = {{-1, L"85"}, {79, L"85"}, {80, L"80"}, {99, L"99"}, {100, L"85"}};
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEfEnv);
        if (c.stored >= 0) {
            ASSERT_EQ(SetDword(kEfEnv, L"Threshold", static_cast<DWORD>(c.stored)), ERROR_SUCCESS);
        }
        const std::wstring file = File(L"t.ECOSettings");
        DeleteFileW(file.c_str());
        EXPECT_EQ(ExportSettings(file.c_str()), 0u);
        EXPECT_EQ(IniValue(file, L"EFEnv", L"Threshold"), c.written) << c.stored;
    }
}

TEST_F(ExportTest, MissingValuesAreLeftOutAndEmptySlotsWrittenEmpty) {
    AddPlan(kPlanA, 0);
    AddPlan(kPlanB, 3);
    AddPlan(kPlanC, -1);
    const std::wstring file = File(L"conf.ecosettings");
    EXPECT_EQ(ExportSettings(file.c_str()), 0u);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_FALSE(FileExists(file + L".ECOSettings")) << "a name with the extension in any case is kept";
    EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo1"), L"");
    EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo2"), L"");
    EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo3"), kPlanB);
    for (const wchar_t* key : {L"UseDate", L"Lv1Time", L"Lv2Time", L"SelectMode"}) {
        EXPECT_EQ(IniValue(file, L"EFEnv", key), L"<missing>") << testing::PrintToString(std::wstring(key));
    }
    EXPECT_EQ(IniValue(file, L"EFEnv", L"Threshold"), L"85");
    EXPECT_EQ(IniValue(file, L"Morrow", L"SelectedCompany"), L"<missing>");
}

// Two plans carrying one number: the export names the plan the mode table gives the slot to (the
// last one in enumeration order, as the slot search and the mode dialog decide).
TEST_F(ExportTest, ANumberCarriedByTwoPlansGoesToTheLastOfThem) {
    const struct {
        int a, b, c;  // "LedNo" of plans A, B, C (enumerated in this order)
        const wchar_t* led1;
        const wchar_t* led2;
        const wchar_t* led3;
    } cases[] = {
        {1, 1, 3, kPlanB, L"", kPlanC},
        {2, 3, 2, L"", kPlanC, kPlanB},
        {3, 3, 3, L"", L"", kPlanC},
        {1, 2, 1, kPlanC, kPlanB, L""},
    };
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPowerSettings);
        AddPlan(kPlanA, c.a);
        AddPlan(kPlanB, c.b);
        AddPlan(kPlanC, c.c);
        const std::wstring file = File(L"dup.ECOSettings");
        DeleteFileW(file.c_str());
        ASSERT_EQ(ExportSettings(file.c_str()), 0u);
        SCOPED_TRACE(testing::Message() << c.a << c.b << c.c);
        EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo1"), c.led1);
        EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo2"), c.led2);
        EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo3"), c.led3);
    }
}

TEST_F(ExportTest, ExportOverAnExistingFileKeepsItsForeignKeys) {
    SeedMachine();
    const std::wstring file = File(L"conf.ECOSettings");
    WriteFileBytes(file, "[Solvane]\r\nLedNo1=old\r\nNote=mine\r\n[Extra]\r\nKeep=1\r\n");
    EXPECT_EQ(ExportSettings(file.c_str()), 0u);
    EXPECT_EQ(IniValue(file, L"Solvane", L"LedNo1"), kPlanA);
    EXPECT_EQ(IniValue(file, L"Solvane", L"Note"), L"mine");
    EXPECT_EQ(IniValue(file, L"Extra", L"Keep"), L"1");
}

TEST_F(ExportTest, ABareNameIsWrittenIntoTheCurrentFolder) {
    SeedMachine();
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(m_folder.c_str()));
    DWORD result = ExportSettings(L"bare");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(IniValue(File(L"bare.ECOSettings"), L"Solvane", L"LedNo2"), kPlanB);
}

TEST_F(ExportTest, RefusalsShowTheirMessageOnceAndWriteNothing) {
    SeedMachine();
    const struct {
        const char* what;
        BOOL admin;
        DWORD adminError;
        std::wstring name;
        UINT message;
    } cases[] = {
        {"not an administrator", FALSE, ERROR_SUCCESS, File(L"a"), kNotAdministrator},
        {"membership unknown", TRUE, ERROR_NO_DATA, File(L"a"), kNotAdministrator},
        {"device name", TRUE, ERROR_SUCCESS, File(L"NUL"), kCreateFailed},
        {"device path", TRUE, ERROR_SUCCESS, L"\\\\.\\VUREZORERIDAD", kCreateFailed},
        {"missing folder", TRUE, ERROR_SUCCESS, File(L"no such folder\\a"), kWriteFailed},
        {"empty name", TRUE, ERROR_SUCCESS, L"", 3005},
    };
    for (const auto& c : cases) {
        s_messages.clear();
        s_isAdministrator = c.admin;
        s_adminError = c.adminError;
        EXPECT_NE(ExportSettings(c.name.c_str()), 0u) << c.what;
        EXPECT_EQ(s_messages, std::vector<UINT>{c.message}) << c.what;
        EXPECT_FALSE(FileExists(File(L"a.ECOSettings"))) << c.what;
    }
}

}  // namespace
