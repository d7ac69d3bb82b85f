// The ambient-light range slider on a dialog of its own: range, both bounds and their captions.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "display/display.h"
#include "display_test_support.h"
#include "resources/resource.h"

namespace {

class AlsSlider : public testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        m_dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_dialog, nullptr);
        for (int id : {IDC_ALS_AC_MAX_LABEL, IDC_ALS_AC_MIN_LABEL}) {
            CreateWindowExW(0, L"STATIC", L"unchanged", WS_CHILD, 0, 0, 200, 20, m_dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        }
        m_slider = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | TBS_ENABLESELRANGE, 0, 40, 200, 30, m_dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ALS_AC_SLIDER)), nullptr, nullptr);
        ASSERT_NE(m_slider, nullptr);
    }
    void TearDown() override {
        DestroyWindow(m_dialog);
        display::bALS = false;
        display::SetPanelLevelCount(0);
        display::FreeBrightnessTables();
    }
    std::wstring Text(int id) const {
        wchar_t text[128] = {};
        GetDlgItemTextW(m_dialog, id, text, ARRAYSIZE(text));
        return text;
    }
    LRESULT Slider(UINT message) const { return SendMessageW(m_slider, message, 0, 0); }

    HWND m_dialog = nullptr;
    HWND m_slider = nullptr;
};

TEST_F(AlsSlider, BoundsAndCaptionsFollowTheRangeTable) {
    struct Case {
        const char* name;
        bool cmos;
        DWORD levels;
        DWORD kind;
        int minimum;
        int maximum;
        bool changed;
        LRESULT selStart;
        LRESULT selEnd;
        const wchar_t* minText;
        const wchar_t* maxText;
    };
    const Case cases[] = {
        {"plan range", true, 8, 1, 2, 6, true, 2, 6, L"最小値: 輝度 3", L"最大値: 輝度 7"},
        {"without the CMOS interface: whole range", false, 8, 1, 2, 6, true, 0, 7, L"最小値: 暗い", L"最大値: 明るい"},
        {"bounds clamped", true, 10, 1, -3, 20, true, 0, 9, L"最小値: 暗い", L"最大値: 明るい"},
        {"one level: left alone", true, 1, 1, 0, 0, false, 0, 0, L"unchanged", L"unchanged"},
        {"unknown kind: left alone", true, 8, 3, 2, 6, false, 0, 0, L"unchanged", L"unchanged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetDlgItemTextW(m_dialog, IDC_ALS_AC_MIN_LABEL, L"unchanged");
        SetDlgItemTextW(m_dialog, IDC_ALS_AC_MAX_LABEL, L"unchanged");
        SendMessageW(m_slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 0));
        SendMessageW(m_slider, TBM_CLEARSEL, FALSE, 0);
        display::bALS = c.cmos;
        display::SetPanelLevelCount(c.levels);
        display::Init_nsr_lcd(displaytest::ProgramResources());
        display::SetALSSlider(m_dialog, c.kind, c.minimum, c.maximum);
        EXPECT_EQ(Text(IDC_ALS_AC_MIN_LABEL), c.minText);
        EXPECT_EQ(Text(IDC_ALS_AC_MAX_LABEL), c.maxText);
        if (c.changed) {
            EXPECT_EQ(Slider(TBM_GETRANGEMAX), static_cast<LRESULT>(c.levels - 1));
            EXPECT_EQ(Slider(TBM_GETSELSTART), c.selStart);
            EXPECT_EQ(Slider(TBM_GETSELEND), c.selEnd);
            EXPECT_EQ(Slider(TBM_GETPOS), c.selEnd);
        } else {
            EXPECT_EQ(Slider(TBM_GETRANGEMAX), 0);
        }
    }
}

}  // namespace
