// The DDC/CI monitors of the simulated desktop: the records, the retried calls with their error
// records, the verified setters, the access gate, applying and publishing a plan's monitor level,
// and the resident program following a monitor that is unplugged and plugged back.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "display/display.h"
#include "display/monitors.h"
#include "display_test_support.h"
#include "plans/plan_record.h"
#include "plans/settings.h"
#include "sim/simlib/simlib.h"
#include "tests/e2e_modes/e2e_support.h"

namespace {

constexpr wchar_t kDxva2[] = L"Dxva2";
constexpr wchar_t kMonitor2Key[] = L"Software\\SimulatedPC\\Dxva2\\Monitor2";
constexpr wchar_t kSupportKey[] = L"Software\\Orvel\\Solvane\\SupportMonitor";

size_t Calls(const std::wstring& function) {
    size_t n = 0;
    for (const std::wstring& line : simlib::ReadLog(kDxva2)) {
        if (line.rfind(function + L"(", 0) == 0) {
            ++n;
        }
    }
    return n;
}

bool LogHas(const std::wstring& text) {
    for (const std::wstring& line : simlib::ReadLog(kDxva2)) {
        if (line.find(text) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

std::wstring ReadString(const wchar_t* key, const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return text;
}

DWORD ReadDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

constexpr wchar_t kAttached[] = L"Software\\Orvel\\Solvane\\AttachedMonitor";
constexpr wchar_t kPowerSettings[] = L"Software\\Orvel\\Solvane\\PowerSettings";

plans::ExternalMonitorTiming Timing(DWORD retryCount) {
    plans::ExternalMonitorTiming timing;
    timing.retryCount = retryCount;
    timing.retryTime = 0;
    return timing;
}

class MonitorsOnDesktop : public testing::Test {
protected:
    void SetUp() override {
        displaytest::ProgramResources();
        displaytest::ClearErrorLog();
        displaytest::ResetBrightnessState();
        plans::g_Settings.blob.dwFlagWord = plans::FLAG_EXT_MONITOR;
        display::SetRetrySettings(Timing(10));
        ASSERT_EQ(display::CountSupportMonitors(), 2) << "the setup package lists two models";
        display::InitializeMonitorData();
        simlib::ClearLog(kDxva2);
    }
    void TearDown() override {
        for (const wchar_t* f : {L"GetMonitorBrightness", L"SetMonitorBrightness", L"SetVCPFeature"}) {
            e2e::RunSimctl(std::wstring(L"monitor-fail ") + f + L" 0");
        }
        display::ReleaseMonitorData();
        displaytest::ResetBrightnessState();
        plans::g_Settings.blob.dwFlagWord = 0;
    }
};

TEST_F(MonitorsOnDesktop, BothMonitorsGetRecordsOnTheirOwnPath) {
    ASSERT_EQ(display::g_iNumMonitor, 2);
    EXPECT_TRUE(display::g_bExternalMonitorSupported);
    const display::MonitorRecord& first = display::g_monitors[0];
    const display::MonitorRecord& second = display::g_monitors[1];
    EXPECT_STREQ(first.szModel, L"SV-E2410");
    EXPECT_EQ(first.dwCapsBrightnessFlag, display::kCapsVcpBrightness | display::kCapsHighLevel);
    EXPECT_EQ(first.dwBrightnessMaxRate, 100u);
    EXPECT_EQ(first.dwCurrent, 80u);
    EXPECT_STREQ(second.szModel, L"SV-W2790");
    EXPECT_EQ(second.dwCapsBrightnessFlag, display::kCapsVcpBrightness) << "no high-level support: VCP path";
    EXPECT_EQ(second.dwBrightnessMaxRate, 50u);
    EXPECT_EQ(ReadDword(kAttached, L"NumMonitors"), 2u);
    EXPECT_EQ(ReadString(kAttached, L"MonitorModel1"), L"SV-E2410");
    EXPECT_EQ(ReadString(kAttached, L"MonitorModel2"), L"SV-W2790");
    const std::wstring model2 = std::wstring(kSupportKey) + L"\\SV-W2790";
    EXPECT_EQ(ReadDword(model2.c_str(), L"BrightnessMaxRate"), 50u);
    EXPECT_EQ(ReadDword(model2.c_str(), L"CapsBrightnessFlag"), 1u);
    EXPECT_EQ(display::GetExternalMonitorBrightness(), 80) << "the first monitor answers";
}

TEST_F(MonitorsOnDesktop, MonitorThatDoesNotAnswerTakesTheStoredRangeAndPath) {
    // Stored by the first build: SV-E2410 high-level with 0..100, SV-W2790 over VCP with 0..50.
    const std::wstring model1 = std::wstring(kSupportKey) + L"\\SV-E2410";
    ASSERT_EQ(ReadDword(model1.c_str(), L"CapsBrightnessFlag"), 3u);
    const wchar_t* silent[] = {L"GetMonitorCapabilities", L"GetMonitorBrightness", L"GetVCPFeatureAndVCPFeatureReply"};
    const auto rebuildSilent = [&silent] {
        for (const wchar_t* f : silent) {
            ASSERT_EQ(e2e::RunSimctl(std::wstring(L"monitor-fail ") + f + L" always"), 0u);
        }
        display::InitializeMonitorData();
        for (const wchar_t* f : silent) {
            e2e::RunSimctl(std::wstring(L"monitor-fail ") + f + L" 0");
        }
    };
    display::SetRetrySettings(Timing(1));
    rebuildSilent();
    ASSERT_EQ(display::g_iNumMonitor, 2);
    const display::MonitorRecord& first = display::g_monitors[0];
    EXPECT_EQ(first.dwCapsBrightnessFlag, display::kCapsVcpBrightness | display::kCapsHighLevel);
    EXPECT_EQ(first.dwBrightnessMaxRate, 100u);
    EXPECT_EQ(first.dwCurrent, 0u);
    EXPECT_EQ(display::g_monitors[1].dwCapsBrightnessFlag, display::kCapsVcpBrightness);
    EXPECT_EQ(display::g_monitors[1].dwBrightnessMaxRate, 50u);
    // Once the monitor answers again it is read on the stored high-level path.
    simlib::ClearLog(kDxva2);
    EXPECT_EQ(display::GetExternalMonitorBrightness(), 80);
    EXPECT_EQ(Calls(L"GetMonitorBrightness"), 1u);
    EXPECT_EQ(Calls(L"GetVCPFeatureAndVCPFeatureReply"), 0u);

    // Without a stored record the path found now stays (VCP only) and the range is 0..100.
    for (const wchar_t* value : {L"BrightnessMaxRate", L"BrightnessMinRate", L"CapsBrightnessFlag"}) {
        ASSERT_EQ(RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, model1.c_str(), value), ERROR_SUCCESS);
    }
    rebuildSilent();
    ASSERT_EQ(display::g_iNumMonitor, 2);
    EXPECT_EQ(display::g_monitors[0].dwCapsBrightnessFlag, display::kCapsVcpBrightness);
    EXPECT_EQ(display::g_monitors[0].dwBrightnessMaxRate, 100u);
    EXPECT_EQ(display::g_monitors[1].dwBrightnessMaxRate, 50u);
}

TEST_F(MonitorsOnDesktop, RebuildDestroysTheHandlesOfTheOldRecords) {
    display::InitializeMonitorData();
    EXPECT_EQ(Calls(L"DestroyPhysicalMonitor"), 2u) << "one per old record";
    EXPECT_EQ(display::g_iNumMonitor, 2);
    EXPECT_EQ(display::GetExternalMonitorBrightness(), 80) << "the new handles work";
}

TEST_F(MonitorsOnDesktop, MonitorWithoutModelIsListedUnknownAndGetsNoRecord) {
    const std::wstring saved = ReadString(kMonitor2Key, L"Capabilities");
    ASSERT_NE(saved, L"<none>");
    const wchar_t noModel[] = L"(prot(monitor)type(LCD)vcp(02 10 12)mccs_ver(2.2))";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitor2Key, L"Capabilities", REG_SZ, noModel, sizeof(noModel));
    display::InitializeMonitorData();
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitor2Key, L"Capabilities", REG_SZ, saved.c_str(),
                    static_cast<DWORD>((saved.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(display::g_iNumMonitor, 1);
    EXPECT_EQ(ReadDword(kAttached, L"NumMonitors"), 2u);
    EXPECT_EQ(ReadString(kAttached, L"MonitorModel2"), L"unknown");
}

TEST_F(MonitorsOnDesktop, ReadFailuresAreRetriedAndRecordedUnlessTheMonitorIsGone) {
    struct Case {
        const wchar_t* script;
        BOOL expected;
        size_t calls;
        const wchar_t* record;  // null: no error record at all
    };
    const Case cases[] = {
        {L"monitor-fail GetMonitorBrightness 1 MONITOR_NO_LONGER_EXISTS", FALSE, 1, nullptr},
        {L"monitor-fail GetMonitorBrightness 2", TRUE, 3, L"fail : GetMonitorBrightness()(0xc0262582)"},
        {L"monitor-fail GetMonitorBrightness always", FALSE, 10, L"fail : GetMonitorBrightness()(0xc0262582)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.script)));
        displaytest::ClearErrorLog();
        simlib::ClearLog(kDxva2);
        ASSERT_EQ(e2e::RunSimctl(c.script), 0u);
        DWORD minimum = 0, current = 0, maximum = 0;
        EXPECT_EQ(display::RetryGetMonitorBrightness(display::g_monitors[0].physical.hPhysicalMonitor, &minimum,
                                                     &current, &maximum),
                  c.expected);
        e2e::RunSimctl(L"monitor-fail GetMonitorBrightness 0");
        EXPECT_EQ(Calls(L"GetMonitorBrightness"), c.calls);
        const std::wstring log = displaytest::ErrorLog();
        if (c.record == nullptr) {
            EXPECT_TRUE(log.empty()) << testing::PrintToString(log);
        } else {
            EXPECT_NE(log.find(c.record), std::wstring::npos) << testing::PrintToString(log);
            wchar_t count[48] = {};
            wsprintfW(count, L"Monitor Retry Count(0x%x)", static_cast<unsigned>(c.calls - (c.expected ? 1 : 0)));
            EXPECT_NE(log.find(count), std::wstring::npos) << testing::PrintToString(log);
        }
    }
}

TEST_F(MonitorsOnDesktop, SetWhoseReadBackDiffersIsRepeatedUpToTheRetryCount) {
    display::SetRetrySettings(Timing(3));
    ASSERT_EQ(e2e::RunSimctl(L"monitor-fail SetMonitorBrightness always NOT_APPLIED"), 0u);
    EXPECT_TRUE(display::RetrySetMonitorBrightness(display::g_monitors[0].physical.hPhysicalMonitor, 37))
        << "the result of the last set";
    EXPECT_EQ(Calls(L"SetMonitorBrightness"), 3u);
    EXPECT_EQ(Calls(L"GetMonitorBrightness"), 3u) << "each set is read back";
    const std::wstring log = displaytest::ErrorLog();
    EXPECT_NE(log.find(L"fail : SetMonitorBrightness()(0x0)"), std::wstring::npos) << testing::PrintToString(log);
    EXPECT_NE(log.find(L"Monitor Retry Count(0x3)"), std::wstring::npos);
}

TEST_F(MonitorsOnDesktop, RetryCountZeroCallsNoMonitorFunction) {
    display::SetRetrySettings(Timing(0));
    const HANDLE h = display::g_monitors[0].physical.hPhysicalMonitor;
    DWORD a = 0, b = 0, c = 0;
    EXPECT_FALSE(display::RetryGetMonitorBrightness(h, &a, &b, &c));
    EXPECT_FALSE(display::RetrySetMonitorBrightness(h, 10));
    EXPECT_FALSE(display::RetrySetVCPFeature(h, display::kVcpBrightness, 10));
    EXPECT_FALSE(display::RetrySaveCurrentMonitorSettings(h));
    EXPECT_FALSE(display::RetryGetMonitorCapabilities(h, &a, &b));
    EXPECT_TRUE(simlib::ReadLog(kDxva2).empty());
    EXPECT_TRUE(displaytest::ErrorLog().empty());
}

TEST_F(MonitorsOnDesktop, PlanLevelReachesBothMonitorsAndIsPublished) {
    struct Case {
        INT32 level;
        INT32 enable;
        const wchar_t* firstSet;   // null: no set call
        const wchar_t* secondSet;
        DWORD published;
    };
    const Case cases[] = {
        {2, 1, L"SetMonitorBrightness(1, 40) = 1", L"SetVCPFeature(2, 0x10, 20) = 1", 2},
        {5, 1, L"SetMonitorBrightness(1, 100) = 1", L"SetVCPFeature(2, 0x10, 50) = 1", 5},
        {3, 0, nullptr, nullptr, display::kMonitorLevelNotManaged},
        {9, 1, nullptr, nullptr, 9},  // beyond the level table: nothing is set
    };
    display::nsr_lcd_val = {0, 20, 40, 60, 80, 100};
    display::dwBLevel = 6;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        simlib::ClearLog(kDxva2);
        plans::PlanRecord record{};
        record.nBrightnessMonitor = c.level;
        record.nBrightnessMonitorEnable = c.enable;
        display::ApplyPlanToMonitors(record);
        if (c.firstSet != nullptr) {
            EXPECT_TRUE(LogHas(c.firstSet));
            EXPECT_TRUE(LogHas(c.secondSet));
            EXPECT_EQ(Calls(L"SaveCurrentMonitorSettings"), 1u);
            EXPECT_EQ(Calls(L"SaveCurrentSettings"), 1u);
        } else {
            EXPECT_EQ(Calls(L"SetMonitorBrightness") + Calls(L"SetVCPFeature"), 0u);
        }
        EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName1"), L"Orvel SV-E2410");
        EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName2"), L"Orvel SV-W2790");
        EXPECT_EQ(ReadDword(kPowerSettings, L"MonitorBLevel1"), c.published);
        EXPECT_EQ(ReadDword(kPowerSettings, L"MonitorBLevel2"), c.published);
    }
}

TEST_F(MonitorsOnDesktop, WithoutMonitorInfoNothingIsPublished) {
    const std::wstring first = std::wstring(kSupportKey) + L"\\SV-E2410";
    const std::wstring second = std::wstring(kSupportKey) + L"\\SV-W2790";
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, first.c_str(), L"MonitorInfo");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, second.c_str(), L"MonitorInfo");
    EXPECT_TRUE(display::SetInfoExMonitor(3, 1));
    const wchar_t info1[] = L"Orvel SV-E2410";
    const wchar_t info2[] = L"Orvel SV-W2790";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, first.c_str(), L"MonitorInfo", REG_SZ, info1, sizeof(info1));
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, second.c_str(), L"MonitorInfo", REG_SZ, info2, sizeof(info2));
    EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName1"), L"");
    EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName2"), L"");
    EXPECT_EQ(ReadDword(kPowerSettings, L"MonitorBLevel1"), display::kNoMonitorLevel);
    EXPECT_EQ(ReadDword(kPowerSettings, L"MonitorBLevel2"), display::kNoMonitorLevel);
}

TEST_F(MonitorsOnDesktop, HeldGateKeepsEveryMonitorCallAway) {
    display::bLCD = true;
    display::g_bExternalMonitorSupported = true;
    ASSERT_EQ(e2e::RunSimctl(L"monitor-busy on"), 0u);
    EXPECT_TRUE(display::IsMonitorAccessBlocked());
    EXPECT_EQ(display::ChangeBrightness(display::BC_GET), display::BC_NONE);
    display::ChangeBrightness(display::BC_SET);
    EXPECT_TRUE(simlib::ReadLog(kDxva2).empty()) << "no monitor function while another program holds them";
    ASSERT_EQ(e2e::RunSimctl(L"monitor-busy off"), 0u);
    EXPECT_FALSE(display::IsMonitorAccessBlocked());
    const int level = display::ChangeBrightness(display::BC_GET);
    EXPECT_NE(level, display::BC_NONE) << "the first monitor answers once the gate is free";
}

// The resident program: a monitor unplugged and plugged back is announced through
// WM_DEVICECHANGE; the refresh timer rebuilds the records and publishes them again.
TEST(ResidentMonitors, UnpluggedAndPluggedBackMonitorIsPublishedAgain) {
    e2e::Resident resident;
    ASSERT_TRUE(resident.Start());
    ASSERT_TRUE(resident.WaitTrace(L"WM_CREATE done"));
    ASSERT_EQ(e2e::RunSimctl(L"monitor-plug 1"), 0u);
    EXPECT_TRUE(resident.WaitTrace(L"monitor refresh: 1 monitors"));
    EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName1"), L"Orvel SV-E2410");
    EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName2"), L"");
    EXPECT_EQ(ReadDword(kPowerSettings, L"MonitorBLevel2"), display::kNoMonitorLevel);
    ASSERT_EQ(e2e::RunSimctl(L"monitor-plug 2"), 0u);
    EXPECT_TRUE(resident.WaitTrace(L"monitor refresh: 2 monitors"));
    EXPECT_EQ(ReadString(kPowerSettings, L"MonitorName2"), L"Orvel SV-W2790");
    const std::vector<int> order = resident.FindInOrder(
        {L"monitor removal", L"SetTimer 10111", L"monitor refresh: 1 monitors", L"monitor arrival", L"SetTimer 10111",
         L"monitor refresh: 2 monitors"});
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_GE(order[i], 0) << "step " << i;
    }
    EXPECT_TRUE(resident.Close());
}

TEST(ResidentMonitors, RemovalWhileAnotherProgramHoldsTheMonitorsWaitsForTheGate) {
    e2e::Resident resident;
    ASSERT_TRUE(resident.Start());
    ASSERT_TRUE(resident.WaitTrace(L"WM_CREATE done"));
    ASSERT_EQ(e2e::RunSimctl(L"monitor-busy on"), 0u);
    ASSERT_EQ(e2e::RunSimctl(L"monitor-plug 1"), 0u);
    EXPECT_TRUE(resident.WaitTrace(L"SetTimer 10112"));
    ASSERT_EQ(e2e::RunSimctl(L"monitor-busy off"), 0u);
    EXPECT_TRUE(resident.WaitTrace(L"monitor refresh: 1 monitors"));
    const std::vector<int> order =
        resident.FindInOrder({L"monitor removal", L"SetTimer 10112", L"SetTimer 10111", L"monitor refresh: 1 monitors"});
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_GE(order[i], 0) << "step " << i;
    }
    EXPECT_TRUE(resident.Close());
}

}  // namespace
