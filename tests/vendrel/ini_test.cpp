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
    ASSERT_TRUE(ini.IsInitialised());
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

    std::wstring longPath = folder.Path() + std::wstring(MAX_PATH + 10, L'a') + L".ini";
    CIniCtl tooLong(longPath.c_str());
    EXPECT_EQ(2u, tooLong.ReadString(L"S", L"K", L"dd", text, 16));
    EXPECT_STREQ(L"dd", text);
    EXPECT_EQ(0, tooLong.ReadCount(L"S", L"K"));
    CIniCtl null(nullptr);
    EXPECT_FALSE(null.IsInitialised());
    EXPECT_EQ(3u, null.ReadInt(L"S", L"K", 3));
    EXPECT_FALSE(null.HasValue(L"S", L"K"));
}

TEST(IniCtl, InitializeAndFinalize) {
    CIniCtl ini;
    EXPECT_FALSE(ini.IsInitialised());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.Initialize(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.Initialize(L""));
    EXPECT_FALSE(ini.IsInitialised());
    DWORD value = 0;
    wchar_t text[8] = {};
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), ini.GetKeyInt(L"S", L"K", &value, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), ini.GetKeyString(L"S", L"K", text, 8, L""));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), ini.SetKeyInt(L"S", L"K", 1));
    std::wstring name = L"C:\\nowhere\\x.ini";
    ASSERT_EQ(0u, ini.Initialize(name.c_str()));
    name[3] = L'Z';  // the reader keeps its own copy
    EXPECT_STREQ(L"C:\\nowhere\\x.ini", ini.FileName());
    ini.Finalize();
    EXPECT_FALSE(ini.IsInitialised());
    EXPECT_EQ(nullptr, ini.FileName());
}

TEST(IniCtl, WritesAndReadsBack) {
    ScratchFolder folder;
    const std::wstring path = folder.File(L"settings.ECOSettings");
    ASSERT_TRUE(WriteUnicodeFile(path, L""));
    CIniCtl ini;
    ASSERT_EQ(0u, ini.Initialize(path.c_str()));
    EXPECT_EQ(0u, ini.SetKeyInt(L"Mode", L"LedNo", 3));
    EXPECT_EQ(0u, ini.SetKeyString(L"Mode", L"Name", L"モード２"));
    EXPECT_EQ(0u, ini.SetKeyData(L"Mode", L"Big", 4294967295u, nullptr, CIniCtl::kKindNumber));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ini.SetKeyInt(L"", L"K", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ini.SetKeyInt(L"Mode", L"", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ini.SetKeyInt(L"Mode", L"A=B", 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.SetKeyString(L"Mode", L"K", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.SetKeyData(L"Mode", L"K", 1, L"x", 2));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.SetKeyInt(nullptr, L"K", 1));

    DWORD value = 0;
    ASSERT_EQ(0u, ini.GetKeyInt(L"Mode", L"LedNo", &value, 0));
    EXPECT_EQ(3u, value);
    ASSERT_EQ(0u, ini.GetKeyInt(L"Mode", L"Big", &value, 0));
    EXPECT_EQ(4294967295u, value);
    ASSERT_EQ(0u, ini.GetKeyInt(L"Mode", L"Missing", &value, 7));
    EXPECT_EQ(7u, value);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.GetKeyInt(L"Mode", L"LedNo", nullptr, 0));
    wchar_t text[32] = {};
    ASSERT_EQ(0u, ini.GetKeyString(L"Mode", L"Name", text, 32, L""));
    EXPECT_STREQ(L"モード２", text);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ini.GetKeyString(L"Mode", nullptr, text, 32, L""));
    // The other keys stayed when the file was rewritten.
    CIniCtl again(path.c_str());
    EXPECT_EQ(3u, again.ReadInt(L"Mode", L"LedNo", 0));
    EXPECT_TRUE(again.HasValue(L"Mode", L"Name"));
}
