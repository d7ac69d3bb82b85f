// The automatic switching dialogs inside the test process with a fake library: defaults on the
// first opening, the checks before saving, the battery section, consent.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "common/handles.h"
#include "peakcut/peakshift.h"
#include "resources/resource.h"
#include "tests/solvane_app/test_support.h"
#include "tests/support/dpi_child.h"

namespace {

constexpr wchar_t kProgramKey[] = L"Software\\Orvel\\Solvane";

struct Library {
    BOOL planChange = FALSE;
    BOOL demand = FALSE;
    BOOL agreement = FALSE;
    BOOL consentAnswer = FALSE;
    DWORD threshold = 90;
    DWORD region = 3;
    int planChangeWrites = 0;
    int agreementWrites = 0;
    std::vector<OneData> lv1Writes;
    std::vector<OneData> lv2Writes;
    std::vector<OneData> periodWrites;
    std::vector<DWORD> thresholdWrites;
    std::vector<DWORD> regionWrites;
    std::vector<UINT> warnings;
    bool battery = true;
};
Library g_Lib;
wchar_t g_Tokyo[] = L"Tokyo";
wchar_t g_Kansai[] = L"Kansai";
RegionEntry g_Regions[] = {{3, g_Tokyo}, {5, g_Kansai}};

void Install() {
    g_Lib = Library{};
    peakcut::PeakShiftLibrary lib;
    lib.getPlanChangeEnable = [](BOOL* on) -> BOOL WINAPI { *on = g_Lib.planChange; return TRUE; };
    lib.setPlanChangeEnable = [](BOOL on) -> BOOL WINAPI { g_Lib.planChange = on; ++g_Lib.planChangeWrites; return TRUE; };
    lib.getTarvikEnable = [](BOOL* on) -> BOOL WINAPI { *on = g_Lib.demand; return TRUE; };
    lib.setTarvikEnable = [](BOOL on) -> BOOL WINAPI { g_Lib.demand = on; return TRUE; };
    lib.setTimePeriodEnable = [](BOOL) -> BOOL WINAPI { return TRUE; };
    lib.getUsePeriod = [](OneData* r) -> BOOL WINAPI { *r = OneData{}; return TRUE; };
    lib.getLv1Time = [](OneData* r) -> BOOL WINAPI { *r = OneData{}; return TRUE; };
    lib.getLv2Time = [](OneData* r) -> BOOL WINAPI { *r = OneData{}; return TRUE; };
    lib.setUsePeriod = [](const OneData* r) -> BOOL WINAPI { g_Lib.periodWrites.push_back(*r); return TRUE; };
    lib.setLv1Time = [](const OneData* r) -> BOOL WINAPI { g_Lib.lv1Writes.push_back(*r); return TRUE; };
    lib.setLv2Time = [](const OneData* r) -> BOOL WINAPI { g_Lib.lv2Writes.push_back(*r); return TRUE; };
    lib.getThreshold = [](DWORD* p) -> BOOL WINAPI { *p = g_Lib.threshold; return TRUE; };
    lib.setThreshold = [](DWORD p) -> BOOL WINAPI { g_Lib.thresholdWrites.push_back(p); return TRUE; };
    lib.getSelectedRegion = []() -> DWORD WINAPI { return g_Lib.region; };
    lib.setSelectedRegion = [](DWORD r) -> BOOL WINAPI { g_Lib.regionWrites.push_back(r); return TRUE; };
    lib.getRegionList = [](RegionEntry** list) -> DWORD WINAPI { *list = g_Regions; return 2; };
    lib.getAgreement = []() -> BOOL WINAPI { return g_Lib.agreement; };
    lib.showDialog = []() -> BOOL WINAPI { return g_Lib.consentAnswer; };
    lib.setAgreement = []() -> BOOL WINAPI { ++g_Lib.agreementWrites; g_Lib.agreement = TRUE; return TRUE; };
    peakcut::g_PeakShiftLibrary = lib;
    peakcut::MarkPeakShiftLibraryBound();
    peakcut::g_PeakShiftDialogHooks.warn = [](HWND, UINT id) { g_Lib.warnings.push_back(id); return IDOK; };
    peakcut::g_PeakShiftDialogHooks.batteryPresent = []() { return g_Lib.battery; };
    peakcut::g_PeakShiftDialogHooks.today = [](SYSTEMTIME* now) {
        *now = SYSTEMTIME{};
        now->wYear = 2026;
        now->wMonth = 11;
        now->wDay = 15;
        now->wHour = 9;
    };
}

class PeakShiftDialog : public testing::Test {
protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleW(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        Install();
        m_cml.Delete();
        m_auto.Delete();
    }
    void TearDown() override {
        if (m_dialog != nullptr && IsWindow(m_dialog)) {
            DestroyWindow(m_dialog);
        }
        peakcut::g_PeakShiftDialogHooks = peakcut::PeakShiftDialogHooks{};
        peakcut::g_PeakShiftLibrary = peakcut::PeakShiftLibrary{};
    }
    void Open(bool threeMode) {
        m_dialog = CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(threeMode ? IDD_PEAKSHIFT_THREE_MODE
                                                                                : IDD_PEAKSHIFT_TWO_MODE),
                                      nullptr, peakcut::PeakShiftDialogProc, threeMode ? 1 : 0);
        ASSERT_NE(m_dialog, nullptr);
    }
    SYSTEMTIME Picker(int id) {
        SYSTEMTIME value{};
        SendDlgItemMessageW(m_dialog, id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value));
        return value;
    }
    void SetTime(int id, WORD hour, WORD minute) {
        SYSTEMTIME value = Picker(id);
        value.wHour = hour;
        value.wMinute = minute;
        SendDlgItemMessageW(m_dialog, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value));
    }
    void Click(int id) {
        SendMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(m_dialog, id)));
    }
    void Toggle(int id, bool on) {
        CheckDlgButton(m_dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
        Click(id);
    }
    bool ApplyEnabled() { return IsWindowEnabled(GetDlgItem(m_dialog, IDC_PS_APPLY)) != FALSE; }

    HWND m_dialog = nullptr;
    testsupport::ScopedRegValue m_cml{HKEY_LOCAL_MACHINE, kProgramKey, L"CML"};
    testsupport::ScopedRegValue m_auto{HKEY_CURRENT_USER, kProgramKey, L"Auto"};
};

TEST_F(PeakShiftDialog, FirstOpeningShowsTheDefaults) {
    for (bool threeMode : {false, true}) {
        SCOPED_TRACE(threeMode ? "three modes" : "two modes");
        Open(threeMode);
        const SYSTEMTIME start = Picker(IDC_PS_PERIOD_START);
        const SYSTEMTIME end = Picker(IDC_PS_PERIOD_END);
        EXPECT_EQ(start.wMonth, 11);
        EXPECT_EQ(start.wDay, 15);
        EXPECT_EQ(end.wMonth, 2);
        EXPECT_EQ(end.wDay, 15);
        EXPECT_EQ(Picker(IDC_PS_LV2_START).wHour, 13);
        EXPECT_EQ(Picker(IDC_PS_LV2_END).wHour, 16);
        if (threeMode) {
            EXPECT_EQ(Picker(IDC_PS_LV1_START).wHour, 10);
            EXPECT_EQ(Picker(IDC_PS_LV1_END).wHour, 18);
        }
        EXPECT_FALSE(ApplyEnabled());
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_dialog, IDC_PS_LV2_START))) << "plan change off";
        Toggle(IDC_PS_PLAN_CHANGE, true);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_dialog, IDC_PS_LV2_START)));
        EXPECT_TRUE(ApplyEnabled());
        DestroyWindow(m_dialog);
    }
}

TEST_F(PeakShiftDialog, DefaultUsePeriodRule) {
    const struct {
        WORD month, day, endMonth, endDay;
    } cases[] = {{11, 15, 2, 15}, {1, 31, 4, 30}, {6, 30, 9, 30}, {7, 31, 10, 31}, {11, 30, 3, 2}, {12, 31, 3, 31}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.month << "/" << c.day);
        SYSTEMTIME today{};
        today.wYear = 2026;
        today.wMonth = c.month;
        today.wDay = c.day;
        today.wHour = 10;
        SYSTEMTIME start{};
        SYSTEMTIME end{};
        peakcut::DefaultUsePeriod(today, &start, &end);
        EXPECT_EQ(start.wHour, 0);
        EXPECT_EQ(end.wMonth, c.endMonth);
        EXPECT_EQ(end.wDay, c.endDay);
        EXPECT_EQ(end.wYear, 2026) << "the year is not changed";
        EXPECT_EQ(end.wHour, 23);
        EXPECT_EQ(end.wMilliseconds, 999);
    }
}

TEST_F(PeakShiftDialog, WindowsOutOfOrderAreRefusedOnlyWithPlanChange) {
    const struct {
        const char* name;
        bool planChange;
        WORD startHour, endHour;
        bool refused;
    } cases[] = {
        {"16:00-13:00 with plan change", true, 16, 13, true},
        {"equal times", true, 14, 14, true},
        {"16:00-13:00 without plan change", false, 16, 13, false},
        {"13:00-16:00", true, 13, 16, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install();
        Open(false);
        Toggle(IDC_PS_PLAN_CHANGE, c.planChange);
        SetTime(IDC_PS_LV2_START, c.startHour, 0);
        SetTime(IDC_PS_LV2_END, c.endHour, 0);
        Click(IDC_PS_APPLY);
        if (c.refused) {
            ASSERT_EQ(g_Lib.warnings.size(), 1u);
            EXPECT_EQ(g_Lib.warnings[0], static_cast<UINT>(IDS_PEAKSHIFT_BAD_WINDOW));
            EXPECT_TRUE(g_Lib.lv2Writes.empty());
            EXPECT_EQ(g_Lib.planChangeWrites, 0) << "a refused save writes nothing";
            EXPECT_TRUE(ApplyEnabled());
        } else {
            EXPECT_TRUE(g_Lib.warnings.empty());
            ASSERT_EQ(g_Lib.lv2Writes.size(), 1u);
            EXPECT_EQ(g_Lib.lv2Writes[0].start.wHour, c.startHour);
            EXPECT_EQ(g_Lib.lv2Writes[0].end.wHour, c.endHour);
            EXPECT_EQ(g_Lib.lv2Writes[0].value, 1u);
            ASSERT_EQ(g_Lib.periodWrites.size(), 1u);
            EXPECT_EQ(g_Lib.periodWrites[0].value, 1u);
            EXPECT_EQ(g_Lib.periodWrites[0].end.wHour, 23);
            EXPECT_FALSE(ApplyEnabled()) << "applied";
        }
        DestroyWindow(m_dialog);
    }
}

TEST_F(PeakShiftDialog, ThreeModeLevelOneWindowIsCheckedToo) {
    Open(true);
    Toggle(IDC_PS_PLAN_CHANGE, true);
    SetTime(IDC_PS_LV1_START, 18, 0);
    SetTime(IDC_PS_LV1_END, 10, 0);
    Click(IDOK);
    ASSERT_EQ(g_Lib.warnings.size(), 1u);
    EXPECT_EQ(g_Lib.warnings[0], static_cast<UINT>(IDS_PEAKSHIFT_BAD_WINDOW));
    EXPECT_TRUE(g_Lib.lv1Writes.empty());
    EXPECT_TRUE(g_Lib.lv2Writes.empty());
}

TEST_F(PeakShiftDialog, BatteryPercentAbove99IsRefused) {
    for (UINT percent : {101u, 100u, 99u}) {
        SCOPED_TRACE(percent);
        Install();
        m_auto.Delete();
        Open(false);
        Toggle(IDC_PS_BATTERY_ON, true);
        SetDlgItemInt(m_dialog, IDC_PS_BATTERY_PERCENT, percent, FALSE);
        Click(IDC_PS_APPLY);
        BOOL on = FALSE;
        DWORD stored = 0;
        if (percent > 99) {
            ASSERT_EQ(g_Lib.warnings.size(), 1u);
            EXPECT_EQ(g_Lib.warnings[0], static_cast<UINT>(IDS_PEAKSHIFT_BAD_BATTERY));
            EXPECT_FALSE(peakcut::ReadBatteryChange(&on, &stored)) << "nothing written";
        } else {
            EXPECT_TRUE(g_Lib.warnings.empty());
            ASSERT_TRUE(peakcut::ReadBatteryChange(&on, &stored));
            EXPECT_TRUE(on);
            EXPECT_EQ(stored, percent);
        }
        DestroyWindow(m_dialog);
    }
}

TEST_F(PeakShiftDialog, BatterySectionFollowsCmlAndTheBattery) {
    const struct {
        const char* name;
        DWORD cml;
        bool battery;
        bool shown;
    } cases[] = {{"CML 1", 1, true, false}, {"CML 0", 0, true, true}, {"no battery", 0, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install();
        g_Lib.battery = c.battery;
        ASSERT_EQ(m_cml.SetDword(c.cml), ERROR_SUCCESS);
        Open(false);
        for (int id : {IDC_PS_BATTERY_ON, IDC_PS_BATTERY_PERCENT, IDC_PS_BATTERY_TEXT}) {
            EXPECT_EQ((GetWindowLongW(GetDlgItem(m_dialog, id), GWL_STYLE) & WS_VISIBLE) != 0, c.shown) << id;
        }
        DestroyWindow(m_dialog);
    }
}

TEST_F(PeakShiftDialog, ConsentRefusedKeepsTheDialogOpenAndSavesNothing) {
    Open(false);
    Toggle(IDC_PS_PLAN_CHANGE, true);
    Toggle(IDC_PS_DEMAND_ON, true);
    g_Lib.consentAnswer = FALSE;
    Click(IDOK);
    EXPECT_TRUE(IsWindow(m_dialog));
    EXPECT_EQ(g_Lib.planChangeWrites, 0);
    EXPECT_TRUE(g_Lib.warnings.empty());
    g_Lib.consentAnswer = TRUE;
    Click(IDC_PS_APPLY);
    EXPECT_EQ(g_Lib.agreementWrites, 1);
    EXPECT_EQ(g_Lib.planChangeWrites, 1);
    ASSERT_EQ(g_Lib.regionWrites.size(), 1u);
    EXPECT_EQ(g_Lib.regionWrites[0], 3u) << "the stored region is preselected";
    ASSERT_EQ(g_Lib.thresholdWrites.size(), 1u);
    EXPECT_EQ(g_Lib.thresholdWrites[0], 90u);
}

TEST_F(PeakShiftDialog, DemandFieldsAreCheckedAndNeverWrittenAsZero) {
    const struct {
        const char* name;
        bool demand;
        UINT threshold;
        bool selectRegion;
        UINT warning;
    } cases[] = {
        {"threshold 79", true, 79, true, IDS_PEAKSHIFT_BAD_THRESHOLD},
        {"threshold 100", true, 100, true, IDS_PEAKSHIFT_BAD_THRESHOLD},
        {"no region", true, 85, false, IDS_PEAKSHIFT_NO_REGION},
        {"demand off: nothing checked", false, 0, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Install();
        g_Lib.agreement = TRUE;
        g_Lib.region = 0;  // nothing preselected
        Open(false);
        Toggle(IDC_PS_PLAN_CHANGE, true);
        Toggle(IDC_PS_DEMAND_ON, c.demand);
        SetDlgItemInt(m_dialog, IDC_PS_THRESHOLD, c.threshold, FALSE);
        if (c.selectRegion) {
            SendDlgItemMessageW(m_dialog, IDC_PS_REGION, CB_SETCURSEL, 1, 0);
        }
        Click(IDC_PS_APPLY);
        if (c.warning != 0) {
            ASSERT_EQ(g_Lib.warnings.size(), 1u);
            EXPECT_EQ(g_Lib.warnings[0], c.warning);
            EXPECT_EQ(g_Lib.planChangeWrites, 0);
        } else {
            EXPECT_TRUE(g_Lib.warnings.empty());
            EXPECT_EQ(g_Lib.planChangeWrites, 1);
            EXPECT_TRUE(g_Lib.thresholdWrites.empty());
            EXPECT_TRUE(g_Lib.regionWrites.empty());
        }
        DestroyWindow(m_dialog);
    }
}

TEST_F(PeakShiftDialog, PickerChangeEnablesApply) {
    Open(false);
    EXPECT_FALSE(ApplyEnabled());
    NMDATETIMECHANGE change{};
    change.nmhdr.hwndFrom = GetDlgItem(m_dialog, IDC_PS_PERIOD_START);
    change.nmhdr.idFrom = IDC_PS_PERIOD_START;
    change.nmhdr.code = DTN_DATETIMECHANGE;
    SendMessageW(m_dialog, WM_NOTIFY, IDC_PS_PERIOD_START, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(ApplyEnabled());
}

// Pixels of the dialog's picture inside a control's rectangle that differ from the dialog's face
// colour (text, enabled or grayed).
int InkIn(HWND dialog, const std::vector<COLORREF>& pixels, int width, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    int ink = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y) * width + x];
            const int diff = abs(GetRValue(c) - GetRValue(face)) + abs(GetGValue(c) - GetGValue(face)) +
                             abs(GetBValue(c) - GetBValue(face));
            ink += diff > 60 ? 1 : 0;
        }
    }
    return ink;
}

// The dialog's client area as the screen shows it (32-bit top-down).
std::vector<COLORREF> Picture(HWND dialog, int* width) {
    RECT client{};
    GetClientRect(dialog, &client);
    *width = client.right;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // Drawn on the screen first, then copied from it as it is shown.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
    GdiFlush();
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    BitBlt(dc, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    std::vector<COLORREF> pixels(static_cast<size_t>(client.right) * client.bottom);
    const auto* raw = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = RGB((raw[i] >> 16) & 0xFF, (raw[i] >> 8) & 0xFF, raw[i] & 0xFF);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

TEST_F(PeakShiftDialog, PictureShowsTheTextsAndLeavesAHiddenBatterySectionEmpty) {
    for (DWORD cml : {0u, 1u}) {
        SCOPED_TRACE(cml);
        Install();
        ASSERT_EQ(m_cml.SetDword(cml), ERROR_SUCCESS);
        Open(false);
        ShowWindow(m_dialog, SW_SHOWNOACTIVATE);
        UpdateWindow(m_dialog);
        int width = 0;
        const std::vector<COLORREF> pixels = Picture(m_dialog, &width);
        EXPECT_GT(InkIn(m_dialog, pixels, width, IDC_PS_EXPLANATION_TWO), 50) << "the explanation is drawn";
        EXPECT_GT(InkIn(m_dialog, pixels, width, IDC_PS_NOTE), 50) << "the note is drawn";
        const int batteryInk = InkIn(m_dialog, pixels, width, IDC_PS_BATTERY_TEXT);
        if (cml == 1) {
            EXPECT_EQ(batteryInk, 0) << "the hidden battery section leaves no trace";
        } else {
            EXPECT_GT(batteryInk, 50);
        }
        DestroyWindow(m_dialog);
    }
}

// The picture test again in a child process with the screen at 144 DPI.
TEST(PeakShiftDialogHighDpi, PictureAt144Dpi) {
    if (testsupport::IsDpiChild(L"PEAKSHIFT_HIGH_DPI")) {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(dpi, 144) << "the child runs at 144 DPI";
        return;
    }
    EXPECT_EQ(testsupport::RunSelfAtDpi(144, L"PeakShiftDialog.Picture*:PeakShiftDialogHighDpi.*", L"PEAKSHIFT_HIGH_DPI"),
              0u)
        << "the picture test at 144 DPI failed (its output is above)";
}

}  // namespace
