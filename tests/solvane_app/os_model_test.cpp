#include "app/os_model.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using testsupport::ScopedRegValue;

constexpr wchar_t kProgramKeyPath[] = L"Software\\Orvel\\Solvane";

// A pretended running system for ClassifyOsVersion.
struct FakeVersion {
    DWORD major;
    DWORD minor;
    DWORD expected;
};

TEST(ClassifyOsVersion, MapsEveryVersionToItsModel) {
    for (const FakeVersion& v : {
             FakeVersion{6, 0, OS_MODEL_VISTA},
             FakeVersion{6, 1, OS_MODEL_WIN7},
             FakeVersion{6, 2, OS_MODEL_WIN8_OR_LATER},
             FakeVersion{6, 3, OS_MODEL_WIN8_OR_LATER},
             FakeVersion{10, 0, OS_MODEL_WIN8_OR_LATER},
             FakeVersion{11, 5, OS_MODEL_WIN8_OR_LATER},
             FakeVersion{5, 1, OS_MODEL_WIN7},  // older systems fall back to model 2
             FakeVersion{5, 2, OS_MODEL_WIN7},
         }) {
        auto equals = [&](DWORD major, DWORD minor) { return v.major == major && v.minor == minor; };
        auto atLeast = [&](DWORD major, DWORD minor) {
            return v.major > major || (v.major == major && v.minor >= minor);
        };
        EXPECT_EQ(ClassifyOsVersion(equals, atLeast), v.expected) << v.major << "." << v.minor;
    }
}

TEST(OsVersion, ChecksAgreeWithTheRunningSystem) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&info));
#pragma GCC diagnostic pop
    EXPECT_TRUE(OsVersionEquals(info.dwMajorVersion, info.dwMinorVersion));
    EXPECT_FALSE(OsVersionEquals(info.dwMajorVersion, info.dwMinorVersion + 1));
    EXPECT_TRUE(OsVersionAtLeast(info.dwMajorVersion, info.dwMinorVersion));
    EXPECT_TRUE(OsVersionAtLeast(6, 0));
    EXPECT_FALSE(OsVersionAtLeast(info.dwMajorVersion + 1, 0));
    auto equals = [&](DWORD major, DWORD minor) { return info.dwMajorVersion == major && info.dwMinorVersion == minor; };
    auto atLeast = [&](DWORD major, DWORD minor) {
        return info.dwMajorVersion > major || (info.dwMajorVersion == major && info.dwMinorVersion >= minor);
    };
    EXPECT_EQ(OsModelOfSystem(), ClassifyOsVersion(equals, atLeast));
}

class OsModelOverride : public testing::Test {
protected:
    ScopedRegValue m_value{HKEY_LOCAL_MACHINE, kProgramKeyPath, L"OSModel"};
};

TEST_F(OsModelOverride, MissingValueKeepsTheSystemsModel) {
    m_value.Delete();
    for (DWORD model : {OS_MODEL_VISTA, OS_MODEL_WIN7, OS_MODEL_WIN8_OR_LATER}) {
        EXPECT_EQ(ApplyOsModelOverride(model), model);
    }
    EXPECT_EQ(DetermineOsModel(), OsModelOfSystem());
}

TEST_F(OsModelOverride, OneTwoOrThreeReplaceEveryModel) {
    for (DWORD stored : {OS_MODEL_VISTA, OS_MODEL_WIN7, OS_MODEL_WIN8_OR_LATER}) {
        ASSERT_EQ(m_value.SetDword(stored), ERROR_SUCCESS);
        for (DWORD model : {OS_MODEL_VISTA, OS_MODEL_WIN7, OS_MODEL_WIN8_OR_LATER}) {
            EXPECT_EQ(ApplyOsModelOverride(model), stored) << "stored " << stored << " model " << model;
        }
        EXPECT_EQ(DetermineOsModel(), stored);
    }
}

TEST_F(OsModelOverride, OtherValuesAndTypesAreIgnored) {
    for (DWORD stored : {0u, 4u, 0xFFFFFFFFu, 0x102u}) {
        ASSERT_EQ(m_value.SetDword(stored), ERROR_SUCCESS);
        EXPECT_EQ(ApplyOsModelOverride(OS_MODEL_WIN7), OS_MODEL_WIN7) << stored;
        EXPECT_EQ(ApplyOsModelOverride(OS_MODEL_WIN8_OR_LATER), OS_MODEL_WIN8_OR_LATER) << stored;
    }
    ASSERT_EQ(m_value.SetString(L"3"), ERROR_SUCCESS);
    EXPECT_EQ(ApplyOsModelOverride(OS_MODEL_WIN7), OS_MODEL_WIN7) << "REG_SZ must not count";
    DWORD three = 3;
    ASSERT_EQ(m_value.SetRaw(REG_BINARY, &three, sizeof(three)), ERROR_SUCCESS);
    EXPECT_EQ(ApplyOsModelOverride(OS_MODEL_WIN7), OS_MODEL_WIN7) << "REG_BINARY must not count";
    ULONGLONG wide = 3;
    ASSERT_EQ(m_value.SetRaw(REG_QWORD, &wide, sizeof(wide)), ERROR_SUCCESS);
    EXPECT_EQ(ApplyOsModelOverride(OS_MODEL_WIN7), OS_MODEL_WIN7) << "REG_QWORD must not count";
}

TEST(UiLanguage, ComesFromTheVersionResource) {
    EXPECT_EQ(ReadVersionLanguage(testsupport::SolvanePath().c_str()), LANG_JAPANESE);
    // The test program has no version resource, and a missing file has none either.
    EXPECT_EQ(DetermineUiLanguage(), 0);
    EXPECT_EQ(ReadVersionLanguage((testsupport::ExeFolder() + L"no_such_file.exe").c_str()), 0);
    EXPECT_EQ(ReadVersionLanguage(nullptr), 0);
}

TEST(UiLanguage, EnglishShrinksThePanelText) {
    PanelTextLayout english = PanelTextLayoutForLanguage(LANG_ENGLISH);
    EXPECT_EQ(english.nLargeFontHeight, 18);
    EXPECT_EQ(english.nSmallFontHeight, 16);
    EXPECT_EQ(english.nTextLeft, 224);
    for (WORD language : {WORD(LANG_JAPANESE), WORD(0), WORD(LANG_GERMAN)}) {
        PanelTextLayout layout = PanelTextLayoutForLanguage(language);
        EXPECT_EQ(layout.nLargeFontHeight, 25) << language;
        EXPECT_EQ(layout.nSmallFontHeight, 22) << language;
        EXPECT_EQ(layout.nTextLeft, 242) << language;
    }
}

}  // namespace
