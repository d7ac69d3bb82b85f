// Yarrow.dll: all seven entry points, the common information and toast records, display mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "sim/simlib/simlib.h"
#include "sim/yarrow/yarrow_api.h"
#include "tests/sim_maker_dlls/maker_dll.h"

namespace {

using namespace yarrowsim;
using makertest::Bind;

constexpr wchar_t APP_ID[] = L"OrvelPC.RIDaro.Kaviro";
constexpr wchar_t SOUND[] = L"ms-winsoundevent:Notification.Default";

std::wstring ReadText(const wchar_t* name) {
    std::wstring value;
    simlib::ReadString(simlib::PieceKey(PIECE), name, value);
    return value;
}

class Yarrow : public testing::Test {
protected:
    void SetUp() override {
        module_.Reset(LoadLibraryW(L"Yarrow.dll"));
        ASSERT_TRUE(module_);
        EXPECT_EQ(0, _wcsicmp((makertest::SystemFolder() + L"\\Yarrow.dll").c_str(),
                              makertest::ModulePath(module_.Get()).c_str()));
        initCmn_ = Bind<decltype(&Yarrow_InitToastCmnInf)>(module_.Get(), "Yarrow_InitToastCmnInf");
        display_ = Bind<decltype(&Yarrow_DisplayToast)>(module_.Get(), "Yarrow_DisplayToast");
        hide_ = Bind<decltype(&Yarrow_HideToast)>(module_.Get(), "Yarrow_HideToast");
        switch_ = Bind<decltype(&Yarrow_SwitchToDT)>(module_.Get(), "Yarrow_SwitchToDT");
        mode_ = Bind<decltype(&Yarrow_GetDisplayMode)>(module_.Get(), "Yarrow_GetDisplayMode");
        init_ = Bind<decltype(&Yarrow_Initialize)>(module_.Get(), "Yarrow_Initialize");
        fini_ = Bind<decltype(&Yarrow_Finalize)>(module_.Get(), "Yarrow_Finalize");
        ASSERT_TRUE(initCmn_ && display_ && hide_ && switch_ && mode_ && init_ && fini_);
        simlib::WriteDword(simlib::PieceKey(PIECE), L"DisplayMode", MODE_DESKTOP);
        simlib::ClearLog(PIECE);
    }

    YARROW_TOAST Toast(DWORD kind, LPCWSTR title, LPCWSTR text) const {
        YARROW_TOAST t{};
        t.dwKind = kind;
        t.pszTitle = title;
        t.pszText = text;
        t.pszSound = SOUND;
        t.pszDuration = L"short";
        return t;
    }

    common::UniqueModule module_;
    decltype(&Yarrow_InitToastCmnInf) initCmn_ = nullptr;
    decltype(&Yarrow_DisplayToast) display_ = nullptr;
    decltype(&Yarrow_HideToast) hide_ = nullptr;
    decltype(&Yarrow_SwitchToDT) switch_ = nullptr;
    decltype(&Yarrow_GetDisplayMode) mode_ = nullptr;
    decltype(&Yarrow_Initialize) init_ = nullptr;
    decltype(&Yarrow_Finalize) fini_ = nullptr;
};

// The record layouts the caller and the library share, checked when this file compiles.
static_assert(sizeof(YARROW_TOAST_CMNINF) == 40);
static_assert(offsetof(YARROW_TOAST, dwKind) == 4);
static_assert(offsetof(YARROW_TOAST, pszTitle) == 16);
static_assert(offsetof(YARROW_TOAST, pszSound) == 48);
static_assert(offsetof(YARROW_TOAST, pszDuration) == 64);

TEST_F(Yarrow, NothingWorksBeforeInitialize) {
    DWORD mode = 0;
    EXPECT_EQ(E_UNEXPECTED, mode_(&mode));
    YARROW_TOAST t = Toast(KIND_PEAK_CUT, L"t", L"x");
    EXPECT_EQ(E_UNEXPECTED, display_(&t));
    EXPECT_EQ(E_UNEXPECTED, fini_());
}

TEST_F(Yarrow, ToastIsRecordedWithItsFields) {
    ASSERT_EQ(S_OK, init_());
    YARROW_TOAST early = Toast(KIND_PEAK_CUT, nullptr, L"early");
    EXPECT_EQ(E_UNEXPECTED, display_(&early)) << "no toast before the common information";
    YARROW_TOAST_CMNINF info{};
    info.pszAppId = APP_ID;
    info.hWnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x100A2));
    ASSERT_EQ(S_OK, initCmn_(&info));
    EXPECT_EQ(APP_ID, ReadText(L"AppId"));
    EXPECT_EQ(0x100A2u, simlib::DwordOr(simlib::PieceKey(PIECE), L"Window", 0));

    DWORD before = simlib::DwordOr(simlib::PieceKey(PIECE), L"ToastCount", 0);
    YARROW_TOAST t = Toast(KIND_LOW_BATTERY_CHANGE, L"電源プラン", L"バッテリー残量が少なくなりました");
    ASSERT_EQ(S_OK, display_(&t));
    EXPECT_EQ(before + 1, simlib::DwordOr(simlib::PieceKey(PIECE), L"ToastCount", 0));
    EXPECT_EQ(KIND_LOW_BATTERY_CHANGE, simlib::DwordOr(simlib::PieceKey(PIECE), L"LastToastKind", 0));
    EXPECT_EQ(L"電源プラン", ReadText(L"LastToastTitle"));
    EXPECT_EQ(L"バッテリー残量が少なくなりました", ReadText(L"LastToastText"));
    EXPECT_EQ(SOUND, ReadText(L"LastToastSound"));
    EXPECT_EQ(L"short", ReadText(L"LastToastDuration"));

    // Without text nothing is shown and nothing recorded.
    YARROW_TOAST empty = Toast(KIND_PEAK_CUT, L"title", nullptr);
    EXPECT_EQ(E_INVALIDARG, display_(&empty));
    EXPECT_EQ(before + 1, simlib::DwordOr(simlib::PieceKey(PIECE), L"ToastCount", 0));
    EXPECT_EQ(E_INVALIDARG, display_(nullptr));

    std::vector<std::wstring> log = simlib::ReadLog(PIECE);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(L"Yarrow_InitToastCmnInf(OrvelPC.RIDaro.Kaviro, window 0x000100A2) = 0x00000000", log[2]);
    EXPECT_EQ(L"Yarrow_DisplayToast(kind 5, title \"電源プラン\", text \"バッテリー残量が少なくなりました\", "
              L"sound \"ms-winsoundevent:Notification.Default\", duration \"short\") = 0x00000000",
              log[3]);
    EXPECT_EQ(S_OK, fini_());
}

TEST_F(Yarrow, DisplayModeAndSwitchToDesktop) {
    ASSERT_EQ(S_OK, init_());
    DWORD mode = 0;
    ASSERT_EQ(S_OK, mode_(&mode));
    EXPECT_EQ(MODE_DESKTOP, mode);
    ASSERT_EQ(ERROR_SUCCESS, simlib::WriteDword(simlib::PieceKey(PIECE), L"DisplayMode", 2));
    ASSERT_EQ(S_OK, mode_(&mode));
    EXPECT_EQ(2u, mode);
    EXPECT_EQ(S_OK, switch_(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x2002))));
    ASSERT_EQ(S_OK, mode_(&mode));
    EXPECT_EQ(MODE_DESKTOP, mode);
    EXPECT_EQ(E_INVALIDARG, mode_(nullptr));
    EXPECT_EQ(S_OK, hide_());
    ASSERT_EQ(ERROR_SUCCESS, simlib::ScriptFailure(PIECE, L"Yarrow_GetDisplayMode", 1, static_cast<DWORD>(E_ACCESSDENIED)));
    EXPECT_EQ(E_ACCESSDENIED, mode_(&mode));
    EXPECT_EQ(S_OK, fini_());
    EXPECT_EQ(0u, simlib::DwordOr(simlib::PieceKey(PIECE), L"Initialized", 9));
}

}  // namespace
