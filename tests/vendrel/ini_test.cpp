#include <gtest/gtest.h>

#include "common/ini.h"
#include "test_support.h"

using vendrel_test::ScratchFolder;
using vendrel_test::WriteUnicodeFile;

TEST(IniCount, ParsesAndBoundsCounts) {
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(L"", 256));
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(nullptr, 256));
    EXPECT_EQ(3, CIniCtl::ParseBoundedCount(L"3", 256));
    EXPECT_EQ(3, CIniCtl::ParseBoundedCount(L"  +3", 256));
    EXPECT_EQ(12, CIniCtl::ParseBoundedCount(L"12abc", 256));
    EXPECT_EQ(256, CIniCtl::ParseBoundedCount(L"256", 256));
    EXPECT_EQ(256, CIniCtl::ParseBoundedCount(L"257", 256));
    EXPECT_EQ(256, CIniCtl::ParseBoundedCount(L"4294967295", 256));
    EXPECT_EQ(256, CIniCtl::ParseBoundedCount(L"99999999999999999999999999999999", 256));
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(L"-1", 256));
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(L"-2147483648", 256));
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(L"abc", 256));
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(L"0x10", 256));
    EXPECT_EQ(5, CIniCtl::ParseBoundedCount(L"9", 5));
    EXPECT_EQ(0, CIniCtl::ParseBoundedCount(L"9", 0));
}

TEST(IniReader, ReadsStringsIntsAndPresenceFromUnicodeFile) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"read.ini");
    ASSERT_TRUE(WriteUnicodeFile(path,
                                 L"[S]\r\nNAME=省エネ モード\r\nNUM=42\r\nEMPTY=\r\nBIG=4294967295\r\n"
                                 L"NEG=-7\r\n"));
    CIniCtl ini(path.c_str());
    ASSERT_TRUE(ini.IsValid());
    wchar_t text[64] = {};
    EXPECT_EQ(7u, ini.ReadString(L"S", L"NAME", L"", text, 64));
    EXPECT_STREQ(L"省エネ モード", text);
    // Cut to the buffer, always terminated.
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    ini.ReadString(L"S", L"NAME", L"", small, 4);
    EXPECT_EQ(3u, wcslen(small));
    EXPECT_EQ(0u, ini.ReadString(L"S", L"MISSING", L"", text, 64));
    EXPECT_STREQ(L"", text);
    ini.ReadString(L"S", L"MISSING", L"dflt", text, 64);
    EXPECT_STREQ(L"dflt", text);
    EXPECT_EQ(42u, ini.ReadInt(L"S", L"NUM", 0));
    EXPECT_EQ(9u, ini.ReadInt(L"S", L"MISSING", 9));
    EXPECT_TRUE(ini.HasValue(L"S", L"NUM"));
    EXPECT_FALSE(ini.HasValue(L"S", L"EMPTY"));
    EXPECT_FALSE(ini.HasValue(L"S", L"MISSING"));
    EXPECT_FALSE(ini.HasValue(L"OTHER", L"NUM"));
    EXPECT_EQ(42, ini.ReadCount(L"S", L"NUM"));
    EXPECT_EQ(CIniCtl::kMaxListCount, ini.ReadCount(L"S", L"BIG"));
    EXPECT_EQ(0, ini.ReadCount(L"S", L"NEG"));
    EXPECT_EQ(0, ini.ReadCount(L"S", L"MISSING"));
}

TEST(IniReader, MissingFileAndOverlongPathGiveDefaults) {
    ScratchFolder folder;
    CIniCtl missing(folder.File(L"none.ini").c_str());
    wchar_t text[16] = {};
    EXPECT_EQ(0u, missing.ReadString(L"S", L"K", L"", text, 16));
    EXPECT_EQ(5u, missing.ReadInt(L"S", L"K", 5));
    EXPECT_EQ(0, missing.ReadCount(L"S", L"K"));

    std::wstring longPath(MAX_PATH + 10, L'a');
    CIniCtl tooLong(longPath.c_str());
    EXPECT_FALSE(tooLong.IsValid());
    EXPECT_EQ(2u, tooLong.ReadString(L"S", L"K", L"dd", text, 16));
    EXPECT_EQ(0, tooLong.ReadCount(L"S", L"K"));
    CIniCtl null(nullptr);
    EXPECT_FALSE(null.IsValid());
}
