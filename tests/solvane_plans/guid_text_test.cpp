#include <gtest/gtest.h>

#include "fake_power.h"
#include "plans/guid_text.h"

using namespace plans;

namespace {

const GUID kSample = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};

TEST(GuidText, ParsesWithAndWithoutBracesInEitherCase) {
    GUID g;
    ASSERT_TRUE(ParseGuidText(L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}", &g));
    EXPECT_TRUE(IsEqualGUID(g, kSample));
    ASSERT_TRUE(ParseGuidText(L"9b7d845b-af66-4d2a-b476-d4dab840abf8", &g));
    EXPECT_TRUE(IsEqualGUID(g, kSample));
    ASSERT_TRUE(ParseGuidText(L"  {9B7D845B-AF66-4D2A-B476-D4DAB840ABF8} ", &g));
    EXPECT_TRUE(IsEqualGUID(g, kSample));
}

TEST(GuidText, RejectsMalformedTextAndLeavesNull) {
    const wchar_t* bad[] = {L"",
                            L"garbage",
                            L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8",
                            L"9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}",
                            L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF}",
                            L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8X}",
                            L"9B7D845BXAF66-4D2A-B476-D4DAB840ABF8",
                            L"9B7D845B-AF66-4D2A-B476-D4DAB840ABG8",
                            L"{{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}}"};
    for (const wchar_t* text : bad) {
        GUID g = kSample;
        EXPECT_FALSE(ParseGuidText(text, &g)) << "accepted: " << testing::PrintToString(std::wstring(text));
        EXPECT_TRUE(IsNullGuid(g));
    }
    GUID g = kSample;
    EXPECT_FALSE(ParseGuidText(nullptr, &g));
    EXPECT_TRUE(IsNullGuid(g));
}

TEST(GuidText, MultiStringParsesEachStringOnItsOwn) {
    // braced, garbage, unbraced, then a fourth beyond the limit
    const wchar_t block[] =
        L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}\0junk\0"
        L"00000002-1111-2222-3333-444444444444\0{00000004-1111-2222-3333-444444444444}\0";
    const size_t cch = ARRAYSIZE(block);
    std::vector<GUID> parsed = ParseGuidMultiString(block, cch, 3);
    ASSERT_EQ(parsed.size(), 3u);
    EXPECT_TRUE(IsEqualGUID(parsed[0], kSample));
    EXPECT_TRUE(IsNullGuid(parsed[1]));
    EXPECT_TRUE(IsEqualGUID(parsed[2], fakes::MakeGuid(2)));

    parsed = ParseGuidMultiString(block, cch, 10);
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_TRUE(IsEqualGUID(parsed[3], fakes::MakeGuid(4)));
}

TEST(GuidText, MultiStringWithoutTerminatorIsReadWithinItsLength) {
    const wchar_t text[] = L"00000007-1111-2222-3333-444444444444";
    // length without any terminator: the last string ends at the block's end
    std::vector<GUID> parsed = ParseGuidMultiString(text, ARRAYSIZE(text) - 1, 3);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(parsed[0], fakes::MakeGuid(7)));
    // cut short in the middle: no GUID, no read past the block
    parsed = ParseGuidMultiString(text, 20, 3);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_TRUE(IsNullGuid(parsed[0]));
    EXPECT_TRUE(ParseGuidMultiString(L"\0\0", 2, 3).empty());
}

TEST(GuidText, FormatsBracedUpperAndKeyLowerCase) {
    wchar_t text[kBracedGuidBufferChars];
    FormatBracedGuid(kSample, text);
    EXPECT_STREQ(text, L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}");
    FormatKeyGuid(kSample, text);
    EXPECT_STREQ(text, L"9b7d845b-af66-4d2a-b476-d4dab840abf8");
    GUID back;
    ASSERT_TRUE(ParseGuidText(text, &back));
    EXPECT_TRUE(IsEqualGUID(back, kSample));
}

}  // namespace
