// Settings file names, device names and the value rules of the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_file_support.h"
#include "settingsfile/settings_file.h"
#include "settingsfile/settings_file_format.h"

namespace {

using sftest::SettingsFileTest;
constexpr UINT kNoNameMessage = 3005;

struct NameCase {
    BOOL append;
    std::wstring name;
    BOOL expected;
    std::wstring expectedOut;  // "" when the name is used as given (out not written)
    std::vector<UINT> messages;
};

class FileNameTest : public SettingsFileTest {};

TEST_F(FileNameTest, CheckSettingsFileNameFollowsTheExtensionRules) {
    const std::wstring longest(259 - 12, L'a');  // plus ".ECOSettings": 259 characters
    const NameCase cases[] = {
        {TRUE, L"C:\\x\\conf", TRUE, L"C:\\x\\conf.ECOSettings", {}},
        {TRUE, L"C:\\x\\conf.ecosettings", TRUE, L"", {}},
        {TRUE, L"C:\\x\\conf.ECOSETTINGS", TRUE, L"", {}},
        {FALSE, L"C:\\x\\conf.ECOSettings  ", TRUE, L"", {}},
        {FALSE, L"C:\\x\\conf.txt", FALSE, L"", {}},
        {FALSE, L"C:\\x\\conf", FALSE, L"", {}},
        {TRUE, L"C:\\x\\conf.ECOSettings.txt", TRUE, L"C:\\x\\conf.ECOSettings.txt.ECOSettings", {}},
        {TRUE, L"ECOSettings", TRUE, L"ECOSettings.ECOSettings", {}},
        {TRUE, L"", FALSE, L"", {kNoNameMessage}},
        {FALSE, L"", FALSE, L"", {kNoNameMessage}},
        {TRUE, longest, TRUE, longest + L".ECOSettings", {}},
        {TRUE, longest + L"b", FALSE, L"", {kNoNameMessage}},
    };
    for (const NameCase& c : cases) {
        s_messages.clear();
        wchar_t out[300] = L"untouched";
        BOOL result = CheckSettingsFileName(c.append, c.name.c_str(), out, ARRAYSIZE(out));
        EXPECT_EQ(result, c.expected) << testing::PrintToString(c.name);
        EXPECT_EQ(s_messages, c.messages) << testing::PrintToString(c.name);
        if (result && !c.expectedOut.empty()) {
            EXPECT_EQ(std::wstring(out), c.expectedOut);
        } else if (result) {
            EXPECT_STREQ(out, L"untouched") << "a name that already ends with the extension is used as given";
        }
    }
    EXPECT_FALSE(CheckSettingsFileName(TRUE, nullptr, nullptr, 0));
}

TEST(SettingsFileNames, DeviceNamesAreNoFiles) {
    const struct {
        const wchar_t* path;
        bool device;
    } cases[] = {
        {L"CON", true},
        {L"nul.ECOSettings", true},
        {L"C:\\x\\COM1.ECOSettings", true},
        {L"C:\\x\\lpt9 .ECOSettings", true},
        {L"conin$.ECOSettings", true},
        {L"\\\\.\\PhysicalDrive0", true},
        {L"\\\\?\\C:\\x\\conf.ECOSettings", true},
        {L"\\\\.\\VUREZORERIDAD.ECOSettings", true},
        {L"C:\\x\\console.ECOSettings", false},
        {L"C:\\CON\\conf.ECOSettings", false},
        {L"C:\\x\\COM10.ECOSettings", false},
        {L"C:\\x\\conf.ECOSettings", false},
        {L"\\\\server\\share\\conf.ECOSettings", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settingsfile::IsDeviceName(c.path), c.device) << testing::PrintToString(std::wstring(c.path));
    }
}

TEST(SettingsFileNames, FullPathTakesBareNamesFromTheCurrentFolderAndDropsTrailingBlanks) {
    wchar_t current[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring folder = current;
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(settingsfile::MakeSettingsFilePath(L"conf.ECOSettings  ", path, MAX_PATH));
    EXPECT_EQ(std::wstring(path), folder + L"conf.ECOSettings");
    EXPECT_FALSE(settingsfile::MakeSettingsFilePath(L"NUL.ECOSettings", path, MAX_PATH));
    EXPECT_FALSE(settingsfile::MakeSettingsFilePath(L"   ", path, MAX_PATH));
    EXPECT_FALSE(settingsfile::MakeSettingsFilePath(L"C:\\x\\conf.ECOSettings", path, 10)) << "does not fit";
}

TEST(SettingsFileValues, HexDumpRoundTripsAndRejectsAnythingButEightyDigits) {
    std::vector<BYTE> record = sftest::Record(0xF3);
    wchar_t hex[81] = {};
    ASSERT_TRUE(settingsfile::FormatHex(record.data(), record.size(), hex, ARRAYSIZE(hex)));
    const std::string lower = sftest::Hex(record);
    EXPECT_EQ(std::wstring(hex), std::wstring(lower.begin(), lower.end()));
    EXPECT_FALSE(settingsfile::FormatHex(record.data(), record.size(), hex, 80)) << "no room for the terminator";

    const std::string upper = sftest::Hex(record, true);
    const struct {
        std::string text;
        bool ok;
    } cases[] = {
        {lower, true},
        {upper, true},
        {lower.substr(0, 79), false},
        {lower + "0", false},
        {lower.substr(0, 78) + "0g", false},
        {std::string(" ").append(lower, 1), false},
        {lower.substr(0, 40) + "-" + lower.substr(41), false},
        {"", false},
    };
    for (const auto& c : cases) {
        std::wstring text(c.text.begin(), c.text.end());
        BYTE out[40];
        memset(out, 0xAA, sizeof(out));
        EXPECT_EQ(settingsfile::ParseHex(text.c_str(), out, sizeof(out)), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(std::vector<BYTE>(out, out + 40), record) << c.text;
        } else {
            EXPECT_EQ(std::vector<BYTE>(out, out + 40), std::vector<BYTE>(40, 0xAA)) << "unchanged on failure";
        }
    }
}

TEST(SettingsFileValues, ImportedSelectModeNeverSwitchesTheDemandLinkOn) {
    const DWORD expected[8] = {0, 0, 2, 3, 0, 0, 2, 3};
    for (DWORD mode = 0; mode < 8; ++mode) {
        EXPECT_EQ(settingsfile::ImportedSelectMode(mode), expected[mode]) << mode;
    }
}

TEST(SettingsFileValues, ExportedThresholdKeepsOnlyValuesTheImportAccepts) {
    const struct {
        bool stored;
        DWORD value;
        DWORD expected;
    } cases[] = {{false, 90, 85}, {true, 0, 85}, {true, 79, 85}, {true, 80, 80},
                 {true, 93, 93},  {true, 99, 99}, {true, 100, 85}, {true, 0xFFFFFFFF, 85}};
    for (const auto& c : cases) {
        EXPECT_EQ(settingsfile::ExportedThreshold(c.stored, c.value), c.expected) << c.stored << " " << c.value;
    }
}

TEST(SettingsFileValues, DecimalsAndPlanNamesAreStrict) {
    const struct {
        const wchar_t* text;
        size_t digits;
        bool ok;
        DWORD value;
    } numbers[] = {{L"7", 1, true, 7},   {L"07", 2, true, 7},  {L"12", 1, false, 0}, {L"", 1, false, 0},
                   {L"-1", 2, false, 0}, {L"9x", 2, false, 0}, {L" 9", 2, false, 0}, {L"999", 3, true, 999}};
    for (const auto& n : numbers) {
        DWORD value = 12345;
        EXPECT_EQ(settingsfile::ParseDecimal(n.text, n.digits, &value), n.ok) << testing::PrintToString(std::wstring(n.text));
        if (n.ok) {
            EXPECT_EQ(value, n.value);
        }
    }
    EXPECT_TRUE(settingsfile::IsPlanKeyName(sftest::kPlanA));
    EXPECT_TRUE(settingsfile::IsPlanKeyName(L"A1B2C3D4-0001-4000-8000-00000000000A"));
    EXPECT_FALSE(settingsfile::IsPlanKeyName(L"{a1b2c3d4-0001-4000-8000-00000000000a}"));
    EXPECT_FALSE(settingsfile::IsPlanKeyName(L"..\\..\\..\\Morrow"));
    EXPECT_FALSE(settingsfile::IsPlanKeyName(L"a1b2c3d4-0001-4000-8000-00000000000\\"));
    EXPECT_FALSE(settingsfile::IsPlanKeyName(L""));
}

}  // namespace
