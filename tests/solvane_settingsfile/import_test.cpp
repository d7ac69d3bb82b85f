// "/import": what a valid file changes, what a refused file leaves alone, and a failed write.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "common/handles.h"
#include "settings_file_support.h"
#include "settingsfile/settings_file.h"

namespace {

using namespace sftest;

constexpr UINT kMissing = 3002;
constexpr UINT kRejected = 3003;

std::string Narrow(const wchar_t* w) { return std::string(w, w + wcslen(w)); }

// Replaces the first "key=..." line of the text (or removes it when value is null).
std::string WithValue(std::string text, const std::string& key, const char* value) {
    size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) {
        ADD_FAILURE() << key;
        return text;
    }
    size_t end = text.find("\r\n", at + 1);
    text.replace(at + 1, end + 2 - (at + 1), value == nullptr ? "" : key + "=" + value + "\r\n");
    return text;
}

class ImportTest : public SettingsFileTest {
protected:
    void SetUp() override {
        SettingsFileTest::SetUp();
        AddPlan(kPlanA, 3);
        AddPlan(kPlanB, 0);
        AddPlan(kPlanC, -1);
        ASSERT_EQ(SetDword(kEfEnv, L"SelectMode", 0), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kEfEnv, L"Threshold", 100), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kMorrow, L"SelectedCompany", 2), ERROR_SUCCESS);
    }
    // Writes the text as conf.ECOSettings and imports it.
    DWORD Import(const std::string& text) {
        // A new name each time: the private-profile functions may cache a file they read.
        const std::wstring file = File((L"conf" + std::to_wstring(++m_files) + L".ECOSettings").c_str());
        WriteFileBytes(file, text);
        return ImportSettings(file.c_str());
    }
    int m_files = 0;
};

TEST_F(ImportTest, AValidFileSetsEveryValue) {
    EXPECT_EQ(Import(ValidFileText()), 0u);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_EQ(LedNoOf(kPlanA), 1);
    EXPECT_EQ(LedNoOf(kPlanB), 2);
    EXPECT_EQ(LedNoOf(kPlanC), 3);
    EXPECT_EQ(GetBinary(kEfEnv, L"UseDate"), Record(0x10));
    EXPECT_EQ(GetBinary(kEfEnv, L"Lv1Time"), Record(0x20));
    EXPECT_EQ(GetBinary(kEfEnv, L"Lv2Time"), Record(0x30));
    EXPECT_EQ(GetDword(kEfEnv, L"SelectMode"), 3);
    EXPECT_EQ(GetDword(kEfEnv, L"Threshold"), 90);
    EXPECT_EQ(GetDword(kMorrow, L"SelectedCompany"), 7);
}

TEST_F(ImportTest, UpperCaseHexAndPlanNamesAreAccepted) {
    std::string text = WithValue(ValidFileText(), "UseDate", Hex(Record(0xC5), true).c_str());
    std::wstring upperPlan = kPlanB;
    for (wchar_t& c : upperPlan) {
        c = static_cast<wchar_t>(towupper(c));
    }
    text = WithValue(text, "LedNo2", Narrow(upperPlan.c_str()).c_str());
    EXPECT_EQ(Import(text), 0u);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_EQ(GetBinary(kEfEnv, L"UseDate"), Record(0xC5));
    EXPECT_EQ(LedNoOf(kPlanB), 2);
}

TEST_F(ImportTest, SelectModeIsStoredWithoutTheDemandLink) {
    const struct {
        const char* file;
        long long stored;
    } cases[] = {{"7", 3}, {"5", 0}, {"1", 0}, {"3", 3}, {"6", 2}, {"0", 0}};
    for (const auto& c : cases) {
        s_messages.clear();
        EXPECT_EQ(Import(WithValue(ValidFileText(), "SelectMode", c.file)), 0u) << c.file;
        EXPECT_TRUE(s_messages.empty());
        EXPECT_EQ(GetDword(kEfEnv, L"SelectMode"), c.stored) << c.file;
    }
}

TEST_F(ImportTest, AnEmptySlotTakesTheModeFromEveryPlan) {
    AddPlan(kPlanB, 2);
    AddPlan(kPlanC, 2);
    std::string text = WithValue(ValidFileText(), "LedNo2", "");
    text = WithValue(text, "LedNo3", "");
    EXPECT_EQ(Import(text), 0u);
    EXPECT_EQ(LedNoOf(kPlanA), 1) << "plan A leaves mode 3 for mode 1";
    EXPECT_EQ(LedNoOf(kPlanB), 0);
    EXPECT_EQ(LedNoOf(kPlanC), 0);
}

TEST_F(ImportTest, OptionalKeysMayBeMissing) {
    std::string text = WithValue(ValidFileText(), "UseDate", nullptr);
    text = WithValue(text, "Lv1Time", "");
    text = WithValue(text, "SelectMode", nullptr);
    text = WithValue(text, "SelectedCompany", nullptr);
    EXPECT_EQ(Import(text), 0u);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_TRUE(GetBinary(kEfEnv, L"UseDate").empty());
    EXPECT_TRUE(GetBinary(kEfEnv, L"Lv1Time").empty());
    EXPECT_EQ(GetBinary(kEfEnv, L"Lv2Time"), Record(0x30));
    EXPECT_EQ(GetDword(kEfEnv, L"SelectMode"), 0);
    EXPECT_EQ(GetDword(kMorrow, L"SelectedCompany"), 0);
}

TEST_F(ImportTest, RefusedFilesChangeNothing) {
    const std::string valid = ValidFileText();
    const std::string otherOs = std::to_string(MajorVersion() + 1);
    const std::string hex = Hex(Record(0x10));
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"another OS major version", WithValue(valid, "Version", otherOs.c_str())},
        {"no OS section", valid.substr(valid.find("[Solvane]"))},
        {"Threshold 100", WithValue(valid, "Threshold", "100")},
        {"Threshold 79", WithValue(valid, "Threshold", "79")},
        {"Threshold missing", WithValue(valid, "Threshold", nullptr)},
        {"Threshold not a number", WithValue(valid, "Threshold", "85x")},
        {"SelectMode 8", WithValue(valid, "SelectMode", "8")},
        {"SelectMode two digits", WithValue(valid, "SelectMode", "03")},
        {"SelectedCompany 11", WithValue(valid, "SelectedCompany", "11")},
        {"SelectedCompany empty", WithValue(valid, "SelectedCompany", "")},
        {"UseDate 79 digits", WithValue(valid, "UseDate", hex.substr(1).c_str())},
        {"Lv2Time 82 digits", WithValue(valid, "Lv2Time", (hex + "00").c_str())},
        {"Lv1Time not hex", WithValue(valid, "Lv1Time", std::string("zz").append(hex, 2).c_str())},
        {"LedNo1 missing", WithValue(valid, "LedNo1", nullptr)},
        {"LedNo2 unknown plan", WithValue(valid, "LedNo2", "a1b2c3d4-0009-4000-8000-00000000000f")},
        {"LedNo3 walks out of the plans", WithValue(valid, "LedNo3", "..\\EFEnv")},
        {"LedNo3 the plans key itself", WithValue(valid, "LedNo3", "\\")},
        {"LedNo1 with braces", WithValue(valid, "LedNo1", std::string("{").append(Narrow(kPlanA)).append("}").c_str())},
        {"empty file", ""},
        {"binary junk", std::string("\0\xff\xfe[OS]\0\n", 10)},
    };
    const std::wstring before = DumpOrvel();
    for (const auto& c : cases) {
        s_messages.clear();
        EXPECT_NE(Import(c.text), 0u) << c.what;
        EXPECT_EQ(s_messages, std::vector<UINT>{kRejected}) << c.what;
        EXPECT_EQ(DumpOrvel(), before) << c.what;
    }
}

TEST_F(ImportTest, NamesThatAreNoSettingsFile) {
    const std::wstring before = DumpOrvel();
    WriteFileBytes(File(L"conf.txt"), ValidFileText());
    ASSERT_TRUE(CreateDirectoryW(File(L"folder.ECOSettings").c_str(), nullptr));
    const struct {
        const char* what;
        std::wstring name;
        std::vector<UINT> messages;
    } cases[] = {
        {"other extension", File(L"conf.txt"), {}},
        {"missing file", File(L"gone.ECOSettings"), {kMissing}},
        {"missing folder", File(L"gone\\conf.ECOSettings"), {kMissing}},
        {"a folder", File(L"folder.ECOSettings"), {kRejected}},
        {"a device", L"NUL.ECOSettings", {kRejected}},
        {"a device path", L"\\\\.\\VUREZORERIDAD.ECOSettings", {kRejected}},
        {"empty name", L"", {3005}},
    };
    for (const auto& c : cases) {
        s_messages.clear();
        EXPECT_NE(ImportSettings(c.name.c_str()), 0u) << c.what;
        EXPECT_EQ(s_messages, c.messages) << c.what;
        EXPECT_EQ(DumpOrvel(), before) << c.what;
    }
    EXPECT_EQ(ValidateSettingsFile(File(L"gone.ECOSettings").c_str()), 101u);
    EXPECT_EQ(ValidateSettingsFile(File(L"folder.ECOSettings").c_str()), 103u);
}

TEST_F(ImportTest, ValidationCodes) {
    const std::string valid = ValidFileText();
    const struct {
        const char* what;
        std::string text;
        DWORD code;
    } cases[] = {
        {"valid", valid, 0},
        {"bad value", WithValue(valid, "Threshold", "100"), 102},
        {"slot key missing", WithValue(valid, "LedNo3", nullptr), 103},
    };
    for (const auto& c : cases) {
        const std::wstring file = File((L"v" + std::to_wstring(&c - cases) + L".ECOSettings").c_str());
        WriteFileBytes(file, c.text);
        EXPECT_EQ(ValidateSettingsFile(file.c_str()), c.code) << c.what;
    }
}

TEST_F(ImportTest, TrailingBlanksAfterTheNameStillFindTheFile) {
    WriteFileBytes(File(L"conf.ECOSettings"), ValidFileText());
    EXPECT_EQ(ImportSettings((File(L"conf.ECOSettings") + L"  ").c_str()), 0u);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_EQ(LedNoOf(kPlanC), 3);
}

// A write that fails half way puts back every value written before it.
TEST_F(ImportTest, AFailedWritePutsBackWhatWasWritten) {
    // "EFEnv" is created by the import, and the last value written, "SelectedCompany", is refused.
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEfEnv), ERROR_SUCCESS);  // the key itself goes too
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x0002;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                     &sd, nullptr));
    common::UniqueLocal sdOwner(sd);
    {
        common::UniqueRegKey morrow;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMorrow, 0, WRITE_DAC, morrow.Put()), ERROR_SUCCESS);
        ASSERT_EQ(RegSetKeySecurity(morrow.Get(), DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    }
    {
        common::UniqueRegKey probe;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMorrow, 0, KEY_SET_VALUE, probe.Put()) == ERROR_SUCCESS) {
            GTEST_SKIP() << "this registry does not enforce key rights";
        }
    }
    const std::wstring before = DumpOrvel();
    EXPECT_NE(Import(ValidFileText()), 0u);
    EXPECT_EQ(s_messages, std::vector<UINT>{kRejected});
    EXPECT_EQ(DumpOrvel(), before);
    EXPECT_EQ(LedNoOf(kPlanA), 3) << "the slots moved before the failure are back";
    common::UniqueRegKey efEnv;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEfEnv, 0, KEY_QUERY_VALUE, efEnv.Put()), ERROR_FILE_NOT_FOUND)
        << "the key the import created is gone again";
}

TEST_F(ImportTest, ExportThenImportRestoresTheSettings) {
    AddPlan(kPlanB, 1);
    AddPlan(kPlanC, 2);
    ASSERT_EQ(SetBinary(kEfEnv, L"UseDate", Record(0x77)), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kEfEnv, L"SelectMode", 3), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kEfEnv, L"Threshold", 88), ERROR_SUCCESS);
    const std::wstring file = File(L"round.ECOSettings");
    ASSERT_EQ(ExportSettings(file.c_str()), 0u);
    const std::wstring exported = DumpOrvel();
    AddPlan(kPlanA, 0);
    AddPlan(kPlanB, 3);
    AddPlan(kPlanC, 0);
    ASSERT_EQ(SetBinary(kEfEnv, L"UseDate", Record(0x01)), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kEfEnv, L"SelectMode", 2), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kEfEnv, L"Threshold", 95), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kMorrow, L"SelectedCompany", 9), ERROR_SUCCESS);
    EXPECT_EQ(ImportSettings(file.c_str()), 0u);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_EQ(DumpOrvel(), exported);
}

}  // namespace
