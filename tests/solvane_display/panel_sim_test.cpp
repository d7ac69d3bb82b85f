// The built-in panel of the simulated notebook: discovery through \\.\LCD, the plan's brightness
// applied for the power source in force and written back, the CMOS hand-over of Vexapi, the
// backlight nudge, and the resident program applying a plan's brightness after a plan change.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/brightness_ctrl.h"
#include "display/display.h"
#include "display/display_seams.h"
#include "display_test_support.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "sim/devices/simdev_client.h"
#include "sim/simlib/simlib.h"
#include "tests/e2e_modes/e2e_support.h"

namespace {

using e2e::kEcoBalance;
using e2e::kEcoSave;

BYTE g_acLine = 1;
BOOL WINAPI FakePowerStatus(LPSYSTEM_POWER_STATUS status) {
    ZeroMemory(status, sizeof(*status));
    status->ACLineStatus = g_acLine;
    return TRUE;
}

SIMDEV_STATE Panel() {
    SIMDEV_STATE state{};
    EXPECT_EQ(simdev::GetState(state), static_cast<DWORD>(ERROR_SUCCESS));
    return state;
}

void SetAlsbc(const GUID& plan, plans::AmbientLightRange range) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(plans::kPowerSettingsKey) + L"\\" + e2e::GuidKeyText(plan)).c_str(),
                    L"ALSBC", REG_BINARY, &range, sizeof(range));
}

DWORD PlanBrightness(const GUID& plan, plans::PowerSource source) {
    DWORD value = 0xFFFF;
    plans::ReadPowerSetting(plan, plans::PowerSetting::Brightness, source, &value);
    return value;
}

bool LogHas(const std::vector<std::wstring>& log, const std::wstring& text) {
    for (const std::wstring& line : log) {
        if (line.find(text) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

class PanelOnNotebook : public testing::Test {
protected:
    void SetUp() override {
        displaytest::ProgramResources();
        displaytest::ResetBrightnessState();
        plans::g_Settings.blob.dwFlagWord = 0;
        displaytest::SetMachineDword(L"ECWait0", 0);
        displaytest::SetMachineDword(L"ECWait1", 0);
        ASSERT_TRUE(e2e::Activate(kEcoSave));
        SetAlsbc(kEcoSave, {0, 10, 0, 10, 0});
        g_acLine = 1;
        display::g_pfnGetSystemPowerStatus = FakePowerStatus;
        display::ChangeBrightness(display::BC_INIT);
        ASSERT_EQ(e2e::RunSimctl(L"cmos-mode manual"), 0u);
        simlib::ClearLog(L"Vexapi");
    }
    void TearDown() override {
        display::g_pfnGetSystemPowerStatus = GetSystemPowerStatus;
        displaytest::ResetBrightnessState();
    }
};

TEST_F(PanelOnNotebook, LevelsComeFromTheDisplayDriver) {
    EXPECT_TRUE(display::g_bPanelControl);
    EXPECT_TRUE(display::bLCD);
    EXPECT_TRUE(display::bALS) << "Vexapi.dll answers in its default folder";
    ASSERT_EQ(display::dwBLevel, 11u);
    for (DWORD i = 0; i < 11; ++i) {
        EXPECT_EQ(display::nsr_lcd_val[i], i * 10) << "level " << i;
    }
    EXPECT_EQ(display::gBctl.PercentToLevel(44), 4u);
    DWORD levels = 0;
    EXPECT_TRUE(display::QuerySupportedBrightnessLevels(&levels));
    EXPECT_EQ(levels, 11u);

    ASSERT_EQ(e2e::RunSimctl(L"brightness --levels 5,30,100"), 0u);
    displaytest::ResetBrightnessState();
    display::ChangeBrightness(display::BC_INIT);
    EXPECT_EQ(e2e::RunSimctl(L"brightness --levels 0,10,20,30,40,50,60,70,80,90,100"), 0u);
    ASSERT_EQ(display::dwBLevel, 3u);
    EXPECT_EQ(display::nsr_lcd_val[0], 5);
    EXPECT_EQ(display::nsr_lcd_val[1], 30);
    EXPECT_EQ(display::nsr_lcd_val[2], 100);
}

TEST_F(PanelOnNotebook, PlanBrightnessOfThePowerSourceReachesThePanelAndStaysInThePlan) {
    struct Case {
        BYTE acLine;
        DWORD ac;
        DWORD dc;
        DWORD expected;
        plans::PowerSource source;
    };
    const Case cases[] = {
        {1, 40, 20, 40, plans::PowerSource::AC},
        {0, 40, 20, 20, plans::PowerSource::DC},
        {1, 70, 90, 70, plans::PowerSource::AC},
        {0, 15, 85, 85, plans::PowerSource::DC},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, plans::PowerSetting::Brightness, plans::PowerSource::AC, c.ac), 0u);
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, plans::PowerSetting::Brightness, plans::PowerSource::DC, c.dc), 0u);
        g_acLine = c.acLine;
        const ULONG setsBefore = Panel().BrightnessSetCount;
        EXPECT_EQ(display::ChangeBrightness(display::BC_SET), display::BC_NONE);
        const SIMDEV_STATE after = Panel();
        EXPECT_EQ(after.BrightnessAC, c.expected) << "AC line " << int(c.acLine);
        EXPECT_EQ(after.BrightnessDC, c.expected) << "both bytes carry the value";
        EXPECT_EQ(after.BrightnessSetCount, setsBefore + 1);
        EXPECT_EQ(PlanBrightness(kEcoSave, c.source), c.expected) << "written back for the source in force";
        EXPECT_EQ(display::ChangeBrightness(display::BC_GET), static_cast<int>(c.expected));
    }
}

TEST_F(PanelOnNotebook, AmbientLightModeHandsTheBlockToTheFirmwareAndLeavesPanelAndPlan) {
    ASSERT_EQ(plans::WritePowerSetting(kEcoSave, plans::PowerSetting::Brightness, plans::PowerSource::AC, 30), 0u);
    SetAlsbc(kEcoSave, {1, 9, 2, 8, 1});
    ASSERT_EQ(e2e::RunSimctl(L"cmos-mode off"), 0u);  // the mode byte follows the written block
    const ULONG setsBefore = Panel().BrightnessSetCount;
    display::ChangeBrightness(display::BC_SET);
    EXPECT_TRUE(LogHas(simlib::ReadLog(L"Vexapi"), L"WRITE_CMOS_PMCINFO(01 09 02 08 01) = 1"));
    EXPECT_EQ(Panel().BrightnessSetCount, setsBefore) << "the firmware owns the panel";
    EXPECT_EQ(PlanBrightness(kEcoSave, plans::PowerSource::AC), 30u);
    EXPECT_EQ(display::ChangeBrightness(display::BC_GET), display::BC_AUTO) << "the firmware reports automatic";
}

TEST_F(PanelOnNotebook, BacklightNudgeEndsOnTheValueOnlyInTheNudgedCmosMode) {
    struct Case {
        const wchar_t* cmos;
        DWORD value;
        DWORD final;
        ULONG sets;
    };
    const Case cases[] = {
        {L"cmos-mode 129", 50, 50, 2},  // 0x81: nudged down, then set to the value
        {L"cmos-mode manual", 50, 49, 1},
        {L"cmos-mode manual", 0, 1, 1},  // never below 0
        {L"cmos-mode 129", 0, 0, 2},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(e2e::RunSimctl(c.cmos), 0u) << c.cmos;
        const ULONG before = Panel().BrightnessSetCount;
        display::Call_BLC(c.value);
        const SIMDEV_STATE after = Panel();
        EXPECT_EQ(after.BrightnessAC, c.final) << c.cmos << " value " << c.value;
        EXPECT_EQ(after.BrightnessSetCount - before, c.sets) << c.cmos << " value " << c.value;
    }
}

TEST_F(PanelOnNotebook, AmbientLightHandOverWritesTheBlockAndReappliesThePlanValue) {
    ASSERT_EQ(plans::WritePowerSetting(kEcoSave, plans::PowerSetting::Brightness, plans::PowerSource::AC, 60), 0u);
    SetAlsbc(kEcoSave, {0, 10, 0, 10, 0});
    EXPECT_EQ(display::ChangeBrightness(static_cast<UINT>(display::BC_AUTO)), display::BC_NONE);
    EXPECT_TRUE(LogHas(simlib::ReadLog(L"Vexapi"), L"WRITE_CMOS_PMCINFO(00 0A 00 0A 00) = 1"));
    EXPECT_EQ(Panel().BrightnessAC, 60u);
    EXPECT_EQ(PlanBrightness(kEcoSave, plans::PowerSource::AC), 60u);
}

TEST_F(PanelOnNotebook, CaptionShowsTheCurrentBrightnessOfThePlan) {
    struct Case {
        const wchar_t* cmos;
        plans::AmbientLightRange range;
        DWORD ac;
        const wchar_t* caption;
    };
    const Case cases[] = {
        {L"cmos-mode manual", {0, 10, 0, 10, 0}, 40, L"ディスプレイの明るさ設定 (現在：40%)"},
        {L"cmos-mode manual", {0, 10, 0, 10, 0}, 100, L"ディスプレイの明るさ設定 (現在：100%)"},
        {L"cmos-mode auto", {0, 10, 0, 10, 0}, 40, L"ディスプレイの明るさ設定 (現在：自動調節)"},
    };
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND group = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | BS_GROUPBOX, 0, 0, 200, 100, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(1078)), nullptr, nullptr);
    ASSERT_NE(group, nullptr);
    display::Init_nsr_lcd(displaytest::ProgramResources());
    for (const Case& c : cases) {
        ASSERT_EQ(e2e::RunSimctl(c.cmos), 0u);
        SetAlsbc(kEcoSave, c.range);
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, plans::PowerSetting::Brightness, plans::PowerSource::AC, c.ac), 0u);
        display::UpdateLCDValue(dialog);
        wchar_t text[128] = {};
        GetWindowTextW(group, text, ARRAYSIZE(text));
        EXPECT_EQ(std::wstring(text), c.caption);
    }
    DestroyWindow(dialog);
    display::FreeBrightnessTables();
}

// A separate process: the CMOS library's path is read once per run.
TEST(NoVexapi, AnEmptyVexDllTurnsTheCmosInterfaceOff) {
    displaytest::ResetBrightnessState();
    displaytest::SetMachineString(L"VexDll", L"");
    displaytest::SetMachineDword(L"ECWait0", 0);
    displaytest::SetMachineDword(L"ECWait1", 0);
    ASSERT_TRUE(e2e::Activate(kEcoSave));
    ASSERT_EQ(e2e::RunSimctl(L"cmos-mode auto"), 0u);
    simlib::ClearLog(L"Vexapi");
    display::ChangeBrightness(display::BC_INIT);
    EXPECT_FALSE(display::bALS);
    EXPECT_TRUE(display::g_bPanelControl);
    const ULONG before = Panel().BrightnessSetCount;
    EXPECT_EQ(display::ChangeBrightness(static_cast<UINT>(display::BC_AUTO)), display::BC_NONE);
    EXPECT_NE(display::ChangeBrightness(display::BC_GET), display::BC_AUTO);
    EXPECT_EQ(Panel().BrightnessSetCount, before) << "the hand-over does nothing without the library";
    EXPECT_TRUE(simlib::ReadLog(L"Vexapi").empty()) << "the library was never called";
    displaytest::DeleteMachineValue(L"VexDll");
}

// The resident program: a plan changed by another program is followed by its brightness.
TEST(ResidentPanel, PlanChangeAppliesThePlanBrightnessAfterTheDelay) {
    displaytest::SetMachineDword(L"ECWait0", 0);
    displaytest::SetMachineDword(L"ECWait1", 0);
    ASSERT_TRUE(e2e::Activate(kEcoSave));
    SetAlsbc(kEcoBalance, {0, 10, 0, 10, 0});
    ASSERT_EQ(plans::WritePowerSetting(kEcoBalance, plans::PowerSetting::Brightness, plans::PowerSource::AC, 30), 0u);
    e2e::Resident resident;
    ASSERT_TRUE(resident.Start());
    ASSERT_EQ(e2e::RunSimctl(L"activate " + e2e::GuidKeyText(kEcoBalance)), 0u);
    const std::vector<int> order = resident.WaitInOrder(
        {L"IDT_BRIGHTNESS: permitted 1", L"SETBRIGHTNESS()", L"LastSetBrightness:30", L"activepsi.biALS.ucMode == 0",
         L"Exit retval:00000100"});
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_GE(order[i], 0) << "step " << i << " missing or out of order";
    }
    EXPECT_EQ(Panel().BrightnessAC, 30u);
    EXPECT_TRUE(resident.Close());
}

}  // namespace
