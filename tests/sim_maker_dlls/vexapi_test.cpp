// Vexapi.dll: found at the program's default path on a machine with a panel, absent on a desktop.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <vector>

#include "sim/simlib/simlib.h"
#include "sim/vexapi/vexapi_api.h"
#include "tests/sim_maker_dlls/maker_dll.h"

namespace {

using namespace vexapisim;
using makertest::Bind;

std::wstring DefaultVexapiPath() {
    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE);
    return std::wstring(folder) + L"\\OrvelVEX\\Vexapi.dll";
}

class Vexapi : public testing::Test {
protected:
    void SetUp() override {
        module_.Reset(LoadLibraryW(DefaultVexapiPath().c_str()));
        ASSERT_TRUE(module_) << "Vexapi.dll not at the default path";
        query_ = Bind<decltype(&CMOSIF_QuerySupported)>(module_.Get(), "CMOSIF_QuerySupported");
        readValue_ = Bind<decltype(&READ_CMOS_BrightValue)>(module_.Get(), "READ_CMOS_BrightValue");
        write_ = Bind<decltype(&WRITE_CMOS_PMCINFO)>(module_.Get(), "WRITE_CMOS_PMCINFO");
        readMode_ = Bind<decltype(&READ_CMOS_BrightMode)>(module_.Get(), "READ_CMOS_BrightMode");
        readInfo_ = Bind<decltype(&READ_CMOS_INFO)>(module_.Get(), "READ_CMOS_INFO");
        ASSERT_TRUE(query_ && readValue_ && write_ && readMode_ && readInfo_);
        simlib::DeleteTree(simlib::PieceKey(PIECE, L"Failures"));
        common::UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, simlib::PieceKey(PIECE).c_str(), 0, KEY_SET_VALUE, key.Put()) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key.Get(), L"BrightModeOverride");
        }
        simlib::ClearLog(PIECE);
    }
    void TearDown() override { simlib::DeleteTree(simlib::PieceKey(PIECE, L"Failures")); }

    common::UniqueModule module_;
    decltype(&CMOSIF_QuerySupported) query_ = nullptr;
    decltype(&READ_CMOS_BrightValue) readValue_ = nullptr;
    decltype(&WRITE_CMOS_PMCINFO) write_ = nullptr;
    decltype(&READ_CMOS_BrightMode) readMode_ = nullptr;
    decltype(&READ_CMOS_INFO) readInfo_ = nullptr;
};

TEST_F(Vexapi, SupportedAndBlockReachesTheFirmwareByteForByte) {
    EXPECT_EQ(1, query_());
    const BYTE block[PMC_INFO_SIZE] = {0x01, 0x64, 0x0A, 0x50, 0x05};
    ASSERT_NE(0, write_(block));
    std::vector<BYTE> stored;
    ASSERT_EQ(ERROR_SUCCESS, simlib::ReadBinary(simlib::PieceKey(PIECE), L"PmcInfo", stored));
    ASSERT_EQ(PMC_INFO_SIZE, stored.size());
    EXPECT_EQ(0, memcmp(block, stored.data(), PMC_INFO_SIZE));
    BYTE back[PMC_INFO_SIZE] = {};
    ASSERT_NE(0, readInfo_(back));
    EXPECT_EQ(0, memcmp(block, back, PMC_INFO_SIZE));

    std::vector<std::wstring> log = simlib::ReadLog(PIECE);
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(L"CMOSIF_QuerySupported() = 1", log[0]);
    EXPECT_EQ(L"WRITE_CMOS_PMCINFO(01 64 0A 50 05) = 1", log[1]);
}

TEST_F(Vexapi, ModeByteFollowsTheBlockUnlessOverridden) {
    BYTE mode = 0xEE;
    const BYTE automatic[PMC_INFO_SIZE] = {0x01, 90, 10, 80, 5};
    const BYTE manual[PMC_INFO_SIZE] = {0x00, 90, 10, 80, 5};
    ASSERT_NE(0, write_(automatic));
    ASSERT_NE(0, readMode_(&mode));
    EXPECT_EQ(MODE_AUTOMATIC, mode);
    ASSERT_NE(0, write_(manual));
    ASSERT_NE(0, readMode_(&mode));
    EXPECT_EQ(MODE_MANUAL, mode);
    ASSERT_EQ(ERROR_SUCCESS, simlib::WriteDword(simlib::PieceKey(PIECE), L"BrightModeOverride", 0x81));
    ASSERT_NE(0, write_(automatic));
    ASSERT_NE(0, readMode_(&mode));
    EXPECT_EQ(0x81, mode);
    EXPECT_EQ(L"READ_CMOS_BrightMode() = 1 mode 0x81", simlib::ReadLog(PIECE).back());
}

TEST_F(Vexapi, FailedWriteKeepsTheOldBlockAndNullPointersAreRefused) {
    const BYTE first[PMC_INFO_SIZE] = {0x01, 1, 2, 3, 4};
    const BYTE second[PMC_INFO_SIZE] = {0x00, 9, 9, 9, 9};
    ASSERT_NE(0, write_(first));
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"WRITE_CMOS_PMCINFO", 1, ERROR_IO_DEVICE));
    EXPECT_EQ(0, write_(second));
    EXPECT_EQ(static_cast<DWORD>(ERROR_IO_DEVICE), GetLastError());
    BYTE back[PMC_INFO_SIZE] = {};
    ASSERT_NE(0, readInfo_(back));
    EXPECT_EQ(0, memcmp(first, back, PMC_INFO_SIZE));
    BYTE mode = 0;
    ASSERT_NE(0, readMode_(&mode));
    EXPECT_EQ(MODE_AUTOMATIC, mode);  // the failed manual block did not change the mode either

    EXPECT_EQ(0, write_(nullptr));
    EXPECT_EQ(0, readMode_(nullptr));
    EXPECT_EQ(0, readValue_(nullptr));
    BYTE value = 0;
    ASSERT_NE(0, readValue_(&value));
    EXPECT_EQ(DEFAULT_BRIGHT_VALUE, value);
}

TEST_F(Vexapi, UnsupportedFirmwareAnswersZero) {
    ASSERT_EQ(ERROR_SUCCESS, simlib::WriteDword(simlib::PieceKey(PIECE), L"Supported", 0));
    EXPECT_EQ(0, query_());
    ASSERT_EQ(ERROR_SUCCESS, simlib::WriteDword(simlib::PieceKey(PIECE), L"Supported", 1));
    EXPECT_EQ(1, query_());
}

TEST(VexapiOnDesktop, IsNotInstalled) {
    common::UniqueModule module(LoadLibraryW(DefaultVexapiPath().c_str()));
    EXPECT_FALSE(module);
}

}  // namespace
