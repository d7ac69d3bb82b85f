#include "common/guid.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// {381b4222-f694-41f0-9685-ff5bb260df2e}
constexpr GUID kBalanced = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}};

TEST(GuidText, PrintsLowerCaseWithAndWithoutBraces) {
    wchar_t plain[common::GUID_STRING_CCH];
    ASSERT_EQ(common::GuidToString(kBalanced, false, plain, common::GUID_STRING_CCH), ERROR_SUCCESS);
    EXPECT_STREQ(plain, L"381b4222-f694-41f0-9685-ff5bb260df2e");
    wchar_t braced[common::GUID_BRACED_CCH];
    ASSERT_EQ(common::GuidToString(kBalanced, true, braced, common::GUID_BRACED_CCH), ERROR_SUCCESS);
    EXPECT_STREQ(braced, L"{381b4222-f694-41f0-9685-ff5bb260df2e}");
}

TEST(GuidText, TooSmallBufferGivesErrorAndEmptyText) {
    wchar_t small[common::GUID_BRACED_CCH - 1];
    EXPECT_EQ(common::GuidToString(kBalanced, true, small, common::GUID_BRACED_CCH - 1),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(small, L"");
    wchar_t tiny[common::GUID_STRING_CCH - 1];
    EXPECT_EQ(common::GuidToString(kBalanced, false, tiny, common::GUID_STRING_CCH - 1),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(GuidText, ParsesBracedUnbracedAndUpperCase) {
    GUID g = {};
    ASSERT_EQ(common::GuidFromString(L"381b4222-f694-41f0-9685-ff5bb260df2e", &g), ERROR_SUCCESS);
    EXPECT_TRUE(IsEqualGUID(g, kBalanced));
    g = GUID{};
    ASSERT_EQ(common::GuidFromString(L"{381B4222-F694-41F0-9685-FF5BB260DF2E}", &g), ERROR_SUCCESS);
    EXPECT_TRUE(IsEqualGUID(g, kBalanced));
}

TEST(GuidText, RejectsMalformedTextAndKeepsOutput) {
    const wchar_t* bad[] = {
        L"",
        L"{381b4222-f694-41f0-9685-ff5bb260df2e",    // one brace only
        L"381b4222-f694-41f0-9685-ff5bb260df2e}",
        L"(381b4222-f694-41f0-9685-ff5bb260df2e)",
        L"381b4222-f694-41f0-9685-ff5bb260df2",      // short
        L"381b4222-f694-41f0-9685-ff5bb260df2e0",    // long
        L"381b4222f694-41f0-9685-ff5bb260df2e0",     // hyphen misplaced
        L"381b4222-f694-41f0-9685-ff5bb260dg2e",     // not hex
        L"{{381b4222-f694-41f0-9685-ff5bb260df2e}}",
    };
    for (const wchar_t* text : bad) {
        GUID g = kBalanced;
        EXPECT_EQ(common::GuidFromString(text, &g), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << testing::PrintToString(std::wstring(text));
        EXPECT_TRUE(IsEqualGUID(g, kBalanced));
    }
    GUID g = {};
    EXPECT_EQ(common::GuidFromString(nullptr, &g), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(GuidText, RoundTrip) {
    const GUID original = {0x0000000a, 0x00b0, 0x0c00, {0, 1, 2, 3, 4, 5, 6, 0xff}};
    wchar_t braced[common::GUID_BRACED_CCH];
    ASSERT_EQ(common::GuidToString(original, true, braced, common::GUID_BRACED_CCH), ERROR_SUCCESS);
    EXPECT_STREQ(braced, L"{0000000a-00b0-0c00-0001-0203040506ff}");
    GUID parsed = {};
    ASSERT_EQ(common::GuidFromString(braced, &parsed), ERROR_SUCCESS);
    EXPECT_TRUE(IsEqualGUID(parsed, original));
}

}  // namespace
