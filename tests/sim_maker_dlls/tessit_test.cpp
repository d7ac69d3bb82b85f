// Tessit.dll: loaded by bare name from the system folder; request record and eco levels.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "sim/simlib/simlib.h"
#include "sim/tessit/tessit_api.h"
#include "tests/sim_maker_dlls/maker_dll.h"

namespace {

using namespace tessitsim;
using makertest::Bind;

TESSIT_REQUEST SampleRequest() {
    TESSIT_REQUEST r{};
    r.dwKind = KIND_BATTERY;
    r.dwMonitorAC = 300;
    r.dwMonitorDC = 120;
    r.dwDiskAC = 1200;
    r.dwDiskDC = 600;
    r.dwStandbyAC = 3600;  // beyond the saving limit
    r.dwStandbyDC = 900;
    r.dwHibernateAC = 0;   // never: no saving
    r.dwHibernateDC = 0;
    r.dwMaxProcessorAC = 80;
    r.dwMinProcessorAC = 5;
    r.dwMaxProcessorDC = 50;
    r.dwMinProcessorDC = 5;
    r.dwBrightnessA = 0;
    r.dwBrightnessB = 6;
    r.dwBrightnessC = 3;
    const BYTE als[ALS_BYTES] = {0x01, 0x64, 0x0A, 0x50, 0x05};
    memcpy(r.abALS, als, ALS_BYTES);
    return r;
}

class Tessit : public testing::Test {
protected:
    void SetUp() override {
        module_.Reset(LoadLibraryW(L"Tessit.dll"));
        ASSERT_TRUE(module_);
        std::wstring path = makertest::ModulePath(module_.Get());
        EXPECT_EQ(0, _wcsicmp((makertest::SystemFolder() + L"\\Tessit.dll").c_str(), path.c_str()));
        init_ = Bind<decltype(&TessitApiInitializeApp)>(module_.Get(), "TessitApiInitializeApp");
        get_ = Bind<decltype(&TessitApiGetTessit)>(module_.Get(), "TessitApiGetTessit");
        fini_ = Bind<decltype(&TessitApiFinalizeApp)>(module_.Get(), "TessitApiFinalizeApp");
        ASSERT_TRUE(init_ && get_ && fini_);
        simlib::ClearLog(PIECE);
    }

    common::UniqueModule module_;
    decltype(&TessitApiInitializeApp) init_ = nullptr;
    decltype(&TessitApiGetTessit) get_ = nullptr;
    decltype(&TessitApiFinalizeApp) fini_ = nullptr;
};

TEST_F(Tessit, RecordLayoutIsSixteenFieldsThenFiveBytes) {
    EXPECT_EQ(64u, offsetof(TESSIT_REQUEST, abALS));
    EXPECT_EQ(52u, offsetof(TESSIT_REQUEST, dwBrightnessA));
    EXPECT_EQ(36u, offsetof(TESSIT_REQUEST, dwMaxProcessorAC));
}

TEST_F(Tessit, NoAnswerBeforeInitialisationAndAfterFinalisation) {
    TESSIT_REQUEST r = SampleRequest();
    EXPECT_EQ(NO_ANSWER, get_(&r));
    ASSERT_EQ(0u, init_());
    EXPECT_NE(NO_ANSWER, get_(&r));
    EXPECT_EQ(NO_ANSWER, get_(nullptr));
    EXPECT_EQ(0u, fini_());
    EXPECT_EQ(NO_ANSWER, get_(&r));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), fini_());
    EXPECT_EQ(0u, simlib::DwordOr(simlib::PieceKey(PIECE), L"Initialized", 9));
}

TEST_F(Tessit, RatesThePlanAndKeepsTheRequestBytes) {
    ASSERT_EQ(0u, init_());
    TESSIT_REQUEST r = SampleRequest();
    // performance 80 / 20 = 4; saving: monitor, disk and processor below 100 = 3.
    EXPECT_EQ(0x0403u, get_(&r) & 0xFFFF);
    r.dwMaxProcessorAC = 100;
    r.dwHibernateAC = 3600;
    EXPECT_EQ(0x0503u, get_(&r) & 0xFFFF);

    std::vector<BYTE> stored;
    ASSERT_EQ(ERROR_SUCCESS, simlib::ReadBinary(simlib::PieceKey(PIECE), L"LastRequest", stored));
    ASSERT_EQ(static_cast<size_t>(TESSIT_REQUEST_BYTES), stored.size());
    EXPECT_EQ(0, memcmp(&r, stored.data(), TESSIT_REQUEST_BYTES));
    EXPECT_EQ(0x05, stored[68]);

    std::vector<std::wstring> log = simlib::ReadLog(PIECE);
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(L"TessitApiGetTessit(kind 1, monitor 300/120, disk 1200/600, standby 3600/900, hibernate 0/0, "
              L"processor AC 80/5 DC 50/5, brightness 0/6/3, als 01 64 0A 50 05) = 0x0403",
              log[1]);
    EXPECT_EQ(0u, fini_());
}

TEST_F(Tessit, ScriptedAnswerAndScriptedFailure) {
    ASSERT_EQ(0u, init_());
    TESSIT_REQUEST r = SampleRequest();
    ASSERT_EQ(ERROR_SUCCESS, simlib::WriteDword(simlib::PieceKey(PIECE), L"Answer", 0x0102));
    EXPECT_EQ(0x0102u, get_(&r));
    common::UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, simlib::PieceKey(PIECE).c_str(), 0, KEY_SET_VALUE, key.Put()));
    RegDeleteValueW(key.Get(), L"Answer");
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"TessitApiGetTessit", 1, ERROR_GEN_FAILURE));
    EXPECT_EQ(NO_ANSWER, get_(&r));
    EXPECT_EQ(0x0403u, get_(&r));
    EXPECT_EQ(0u, fini_());
}

}  // namespace
