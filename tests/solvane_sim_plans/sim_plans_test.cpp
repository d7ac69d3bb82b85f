// Runs inside a freshly built simulated PC (notebook with three modes, or desktop with two).
#include <windows.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include <string>

#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "plans/guid_text.h"
#include "plans/mode_led.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "sim/devices/simdev_client.h"

using namespace plans;

namespace {

constexpr const wchar_t* kKey = L"Software\\Orvel\\Solvane";

// ".\error.log" is written by the code under test in the working folder; leave none behind.
class ErrorLogCleanup : public testing::Environment {
public:
    void SetUp() override { m_existed = GetFileAttributesW(L"error.log") != INVALID_FILE_ATTRIBUTES; }
    void TearDown() override {
        if (!m_existed) {
            SetFileAttributesW(L"error.log", FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(L"error.log");
        }
    }

private:
    bool m_existed = false;
};
testing::Environment* const g_errorLogCleanup = testing::AddGlobalTestEnvironment(new ErrorLogCleanup);

void SetDword(const std::wstring& subkey, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

std::wstring PlanKey(const GUID& plan) {
    wchar_t text[kBracedGuidBufferChars];
    FormatKeyGuid(plan, text);
    return std::wstring(kKey) + L"\\PowerSettings\\" + text;
}

bool KeyExists(const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

SIMDEV_STATE Device() {
    SIMDEV_STATE state;
    EXPECT_EQ(simdev::GetState(state), 0u);
    return state;
}

void Load(DWORD ecoMode) {
    SetDword(kKey, L"EcoMode", ecoMode);
    g_SettingsHooks = SettingsHooks{};
    g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    g_Settings.dwOsGeneration = 2;
    LoadSettings();
}

// --- notebook, three modes ------------------------------------------------------------------

TEST(Notebook, SettingsFindTheProcessorDriverAndTheWindowsPlansArePinned) {
    Load(2);
    const DWORD flags = g_Settings.blob.dwFlagWord;
    EXPECT_NE(flags & FLAG_CPU_DRIVER, 0u);
    EXPECT_NE(flags & FLAG_THREE_MODE, 0u);
    EXPECT_EQ(Device().CpuSetCount, 0u);  // loading only asks for the capabilities
    ASSERT_EQ(g_PlanCount, 3u);
    ASSERT_NE(g_PinnedPlanPtrs[0], nullptr);
    ASSERT_NE(g_PinnedPlanPtrs[1], nullptr);
    ASSERT_NE(g_PinnedPlanPtrs[2], nullptr);
    EXPECT_TRUE(IsEqualGUID(g_PinnedPlanPtrs[1]->guid, kPlanPowerSaver));
    EXPECT_NE(g_PinnedPlanPtrs[0]->szName[0], L'\0');
    EXPECT_EQ(g_PinnedPlanPtrs[0]->nBrightnessAC, 100);
    EXPECT_EQ(g_PinnedPlanPtrs[0]->nBrightnessDC, 40);
    EXPECT_TRUE(g_OtherPlans.empty());
    RefreshCurrentPlan(kActiveSchemeMarker);
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, kPlanBalanced));
}

TEST(Notebook, SeededPlanReadsAsItsTableAndEverySettingRoundTrips) {
    Load(2);
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlanPowerSaver, &v));
    EXPECT_EQ(v.dwMonitorAC, 300u);
    EXPECT_EQ(v.dwMonitorDC, 120u);
    EXPECT_EQ(v.dwDiskDC, 300u);
    EXPECT_EQ(v.dwStandbyAC, 900u);
    EXPECT_EQ(v.dwHibernateDC, 10800u);
    EXPECT_EQ(v.dwMinThrottleDC, 5u);
    EXPECT_EQ(v.dwMaxThrottleDC, 50u);
    EXPECT_EQ(v.ucPresetDC, PRESET_LOW);
    EXPECT_EQ(v.ucPresetAC, PRESET_USER);  // 5/100
    EXPECT_TRUE(v.bGraphics);
    EXPECT_EQ(v.dwGraphicsAC, 1u);
    EXPECT_EQ(v.dwGraphicsDC, 0u);
    EXPECT_TRUE(v.bWireless);
    EXPECT_EQ(v.dwWirelessAC, 2u);
    EXPECT_EQ(v.dwWirelessDC, 3u);
    EXPECT_EQ(v.dwDimTimeoutAC, 120u);
    EXPECT_EQ(v.nDimBrightnessAC, 50);

    PowerValues w = v;
    w.dwMonitorAC = 420;
    w.dwMonitorDC = 180;
    w.dwDiskAC = 900;
    w.dwDiskDC = 240;
    w.dwStandbyAC = 1200;
    w.dwStandbyDC = 300;
    w.dwHibernateAC = 3600;
    w.dwHibernateDC = 7200;
    w.ucPresetAC = PRESET_AUTO;
    w.ucPresetDC = PRESET_HIGH;
    w.dwGraphicsAC = 2;
    w.dwGraphicsDC = 1;
    w.dwWirelessAC = 1;
    w.dwWirelessDC = 0;
    w.dwDimTimeoutAC = 90;
    w.dwDimTimeoutDC = 45;
    w.nDimBrightnessAC = 30;
    w.nDimBrightnessDC = kBrightnessNone;
    ASSERT_TRUE(WritePowerValues(kPlanPowerSaver, L"省電力テスト", L"説明", w));
    PowerValues r;
    ASSERT_TRUE(ReadPowerValues(kPlanPowerSaver, &r));
    EXPECT_EQ(r.dwMonitorAC, 420u);
    EXPECT_EQ(r.dwMonitorDC, 180u);
    EXPECT_EQ(r.dwDiskAC, 900u);
    EXPECT_EQ(r.dwDiskDC, 240u);
    EXPECT_EQ(r.dwStandbyAC, 1200u);
    EXPECT_EQ(r.dwStandbyDC, 300u);
    EXPECT_EQ(r.dwHibernateAC, 3600u);
    EXPECT_EQ(r.dwHibernateDC, 7200u);
    EXPECT_EQ(r.dwMinThrottleAC, 50u);
    EXPECT_EQ(r.dwMaxThrottleAC, 100u);
    EXPECT_EQ(r.dwMinThrottleDC, 100u);
    EXPECT_EQ(r.dwMaxThrottleDC, 100u);
    EXPECT_EQ(r.dwGraphicsAC, 2u);
    EXPECT_EQ(r.dwGraphicsDC, 1u);
    EXPECT_EQ(r.dwWirelessAC, 1u);
    EXPECT_EQ(r.dwWirelessDC, 0u);
    EXPECT_EQ(r.dwDimTimeoutAC, 90u);
    EXPECT_EQ(r.dwDimTimeoutDC, 45u);
    EXPECT_EQ(r.nDimBrightnessAC, 30);
    EXPECT_EQ(r.nDimBrightnessDC, 0);
    PlanRecord record{};
    record.guid = kPlanPowerSaver;
    ReadPlanRecord(&record);
    EXPECT_STREQ(record.szName, L"省電力テスト");
    EXPECT_STREQ(record.szDescription, L"説明");
}

TEST(Notebook, LedCommandsReachTheDriverOnlyWhenTheStateChanges) {
    Load(2);
    ASSERT_EQ(drivers::StartLedThread(), 0u);
    ASSERT_TRUE(drivers::WaitLedReady(5000));
    const ULONG before = Device().LedCommandCount;
    ASSERT_TRUE(drivers::SetLedState(2));
    SIMDEV_STATE s = Device();
    EXPECT_EQ(s.LedValue, 0x74u);
    EXPECT_EQ(s.LedLastCommand, 0xE70084u);
    EXPECT_EQ(s.LedCommandCount, before + 1);
    ASSERT_TRUE(drivers::SetLedState(2));
    EXPECT_EQ(Device().LedCommandCount, before + 1);  // already shown: nothing sent

    // something else changes the LED: the periodic check puts it back
    ASSERT_EQ(simdev::SetValue(SIMDEV_ITEM_LED_VALUE, 0x71), 0u);
    EXPECT_EQ(drivers::CheckLedState(), 1);
    s = Device();
    EXPECT_EQ(s.LedValue, 0x74u);
    EXPECT_EQ(s.LedCommandCount, before + 2);

    // the plan's LED number, three modes
    SetDword(PlanKey(kPlanHighPerformance), L"LedNo", 3);
    ASSERT_TRUE(plans::RefreshLedFromPlan(kPlanHighPerformance));
    EXPECT_EQ(Device().LedValue, 0x72u);

    EXPECT_TRUE(drivers::NotifyLedDriver());
    EXPECT_EQ(Device().LedNotifyCount, 1u);
    drivers::StopLedThread();
}

TEST(Notebook, ProcessorStateZeroIsStillSent) {
    const ULONG before = Device().CpuSetCount;
    EXPECT_EQ(drivers::QueryPowerSavingCapabilities() & 1u, 1u);
    EXPECT_TRUE(drivers::SetPowerSavingState(0));
    SIMDEV_STATE s = Device();
    EXPECT_EQ(s.CpuSetCount, before + 1);
    EXPECT_EQ(s.CpuState, 0u);
}

TEST(Notebook, WithoutTheProcessorDriverNoSetRequestIsEverSent) {
    ASSERT_EQ(simdev::SetValue(SIMDEV_ITEM_CPU_PRESENT, 0), 0u);
    const ULONG before = Device().CpuSetCount;
    Load(2);
    EXPECT_EQ(g_Settings.blob.dwFlagWord & FLAG_CPU_DRIVER, 0u);
    EXPECT_FALSE(drivers::SetPowerSavingState(1));
    EXPECT_EQ(Device().CpuSetCount, before);
    ASSERT_EQ(simdev::SetValue(SIMDEV_ITEM_CPU_PRESENT, 1), 0u);
}

TEST(Notebook, DeletedPlanLosesItsExtensionKeyAtTheNextRefresh) {
    Load(2);
    GUID* copy = nullptr;
    ASSERT_EQ(PowerDuplicateScheme(nullptr, &kPlanBalanced, &copy), 0u);
    const GUID plan = *copy;
    LocalFree(copy);
    SetDword(PlanKey(plan), L"IconNo", 3);
    const GUID kept = plan;
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 4u);
    EXPECT_TRUE(KeyExists(PlanKey(kept)));
    ASSERT_EQ(g_OtherPlans.size(), 1u);
    EXPECT_EQ(g_OtherPlans[0]->nIconNo, 3);
    ASSERT_EQ(PowerDeleteScheme(nullptr, &plan), 0u);
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 3u);
    EXPECT_FALSE(KeyExists(PlanKey(kept)));
    EXPECT_TRUE(g_OtherPlans.empty());
}

// --- desktop, two modes ---------------------------------------------------------------------

TEST(Desktop, WirelessAndGraphicsAbsentAreNotReadOrWritten) {
    Load(1);
    EXPECT_EQ(g_Settings.blob.dwFlagWord & (FLAG_ECO | FLAG_THREE_MODE), FLAG_ECO);
    ASSERT_EQ(g_PlanCount, 3u);
    EXPECT_EQ(g_OtherPlans.size(), 3u);  // two modes pin nothing by default
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlanBalanced, &v));
    EXPECT_FALSE(v.bWireless);
    EXPECT_FALSE(v.bGraphics);
    EXPECT_EQ(v.dwWirelessAC, 0u);
    v.dwMonitorAC = 1500;
    ASSERT_TRUE(WritePowerValues(kPlanBalanced, L"Balanced", L"", v));
    PowerValues r;
    ASSERT_TRUE(ReadPowerValues(kPlanBalanced, &r));
    EXPECT_EQ(r.dwMonitorAC, 1500u);
    DWORD index = 0;
    EXPECT_NE(PowerReadACValueIndex(nullptr, &kPlanBalanced, &kSubgroupWireless, &kSettingWireless, &index), 0u);
}

TEST(Desktop, TwoModeLedNumberOneShowsStateZero) {
    Load(1);
    ASSERT_EQ(drivers::StartLedThread(), 0u);
    ASSERT_TRUE(drivers::WaitLedReady(5000));
    ASSERT_EQ(simdev::SetValue(SIMDEV_ITEM_LED_VALUE, 0x71), 0u);
    SetDword(PlanKey(kPlanPowerSaver), L"LedNo", 1);
    SetDword(PlanKey(kPlanBalanced), L"LedNo", 3);
    ASSERT_TRUE(plans::RefreshLedFromPlan(kPlanPowerSaver));
    EXPECT_EQ(Device().LedValue, 0x00u);
    EXPECT_EQ(Device().LedLastCommand, 0xE70080u);
    ASSERT_TRUE(plans::RefreshLedFromPlan(kPlanBalanced));
    EXPECT_EQ(Device().LedValue, 0x72u);
    ModeSlot slots[kMaxPinnedPlans];
    int found = 0;
    ASSERT_TRUE(FindModeSlots(slots, &found));
    EXPECT_EQ(found, 2);
    EXPECT_TRUE(IsEqualGUID(slots[0].guid, kPlanBalanced));
    EXPECT_TRUE(IsEqualGUID(slots[1].guid, kPlanPowerSaver));
    drivers::StopLedThread();
}

}  // namespace
