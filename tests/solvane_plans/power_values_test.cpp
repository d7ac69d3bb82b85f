#include <gtest/gtest.h>

#include <string>

#include "fake_power.h"
#include "plans/guid_text.h"
#include "plans/power_values.h"
#include "plans/settings.h"

using namespace plans;
namespace g = fakes::g;

namespace {

const GUID kPlan = fakes::MakeGuid(1);
const GUID kActive = fakes::MakeGuid(2);

struct Row {
    const GUID* subgroup;
    const GUID* setting;
    PowerSetting id;
};
const Row kRows[] = {
    {&g::Video, &g::MonitorTimeout, PowerSetting::MonitorTimeout},
    {&g::Video, &g::Brightness, PowerSetting::Brightness},
    {&g::Video, &g::DimTimeout, PowerSetting::DimTimeout},
    {&g::Video, &g::DimBrightness, PowerSetting::DimBrightness},
    {&g::Disk, &g::DiskTimeout, PowerSetting::DiskTimeout},
    {&g::Sleep, &g::Standby, PowerSetting::StandbyTimeout},
    {&g::Sleep, &g::Hibernate, PowerSetting::HibernateTimeout},
    {&g::Processor, &g::ProcMin, PowerSetting::ProcessorMin},
    {&g::Processor, &g::ProcMax, PowerSetting::ProcessorMax},
    {&g::Graphics, &g::GraphicsSetting, PowerSetting::Graphics},
    {&g::Wireless, &g::WirelessSetting, PowerSetting::Wireless},
};

class PowerValuesTest : public testing::Test {
protected:
    void SetUp() override {
        fakes::Install();
        g_Settings.dwLowerLimit = 50;
        g_Settings.dwOsGeneration = 2;
        g_Settings.blob.dwFlagWord = FLAG_WIRELESS;
        fakes::Store().AddPlan(kPlan, L"Plan");
        fakes::Store().AddPlan(kActive, L"Active");
        fakes::Store().active = kActive;
    }
    void TearDown() override { fakes::Uninstall(); }

    // Every handled setting with distinct values on AC and DC.
    void SeedPlan(const GUID& plan, DWORD base) {
        DWORD n = base;
        for (const Row& r : kRows) {
            fakes::Store().Set(plan, *r.subgroup, *r.setting, n, n + 1);
            n += 2;
        }
        fakes::Store().Set(plan, g::Sleep, g::HybridSleep, 1, 0);
        fakes::Store().Set(plan, g::Processor, g::ProcMin, 5, 50);
        fakes::Store().Set(plan, g::Processor, g::ProcMax, 50, 100);
    }
    void Present(bool wireless, bool graphics) {
        fakes::Store().SetPresent(g::Wireless, g::WirelessSetting, wireless);
        fakes::Store().SetPresent(g::Graphics, g::GraphicsSetting, graphics);
    }
};

TEST_F(PowerValuesTest, TableUsesTheRecordNames) {
    EXPECT_STREQ(GetHandledSetting(PowerSetting::MonitorTimeout).recordNameAC, L"MonitorTimeoutAC");
    EXPECT_STREQ(GetHandledSetting(PowerSetting::DiskTimeout).recordNameDC, L"HDDTimeoutDC");
    EXPECT_STREQ(GetHandledSetting(PowerSetting::StandbyTimeout).recordNameAC, L"SystemStandbyAC");
    EXPECT_STREQ(GetHandledSetting(PowerSetting::ProcessorMin).recordNameDC, L"MinThrottleDC");
    EXPECT_STREQ(GetHandledSetting(PowerSetting::Graphics).recordNameAC, L"VideoSettingAC");
    EXPECT_STREQ(GetHandledSetting(PowerSetting::Wireless).recordNameDC, L"WLANSettingDC");
    EXPECT_STREQ(GetHandledSetting(PowerSetting::DimBrightness).recordNameAC, L"DIMBrightnessAC");
    EXPECT_EQ(GetHandledSetting(PowerSetting::HybridSleep).recordNameAC, nullptr);
    EXPECT_FALSE(GetHandledSetting(PowerSetting::LidClose).writable);
}

TEST_F(PowerValuesTest, EverySettingRoundTripsOnBothSourcesUnderItsOwnGuids) {
    DWORD n = 1000;
    for (const Row& r : kRows) {
        ASSERT_EQ(WritePowerSetting(kPlan, r.id, PowerSource::AC, n), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_EQ(WritePowerSetting(kPlan, r.id, PowerSource::DC, n + 1), static_cast<DWORD>(ERROR_SUCCESS));
        DWORD ac = 0;
        DWORD dc = 0;
        // stored under the subgroup and setting GUIDs written out in the test
        ASSERT_TRUE(fakes::Store().Get(kPlan, *r.subgroup, *r.setting, &ac, &dc)) << static_cast<int>(r.id);
        EXPECT_EQ(ac, n);
        EXPECT_EQ(dc, n + 1);
        DWORD back = 0;
        EXPECT_EQ(ReadPowerSetting(kPlan, r.id, PowerSource::AC, &back), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(back, n);
        EXPECT_EQ(ReadPowerSetting(kPlan, r.id, PowerSource::DC, &back), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(back, n + 1);
        n += 10;
    }
}

TEST_F(PowerValuesTest, ReadOnlySettingsAndErrorsPassThrough) {
    DWORD v = 0;
    EXPECT_EQ(WritePowerSetting(kPlan, PowerSetting::HybridSleep, PowerSource::AC, 1),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadPowerSetting(kPlan, PowerSetting::MonitorTimeout, PowerSource::AC, &v),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    fakes::Store().Set(kPlan, g::Sleep, g::HybridSleep, 7, 0);
    ASSERT_EQ(ReadPowerSetting(kPlan, PowerSetting::HybridSleep, PowerSource::AC, &v), 0u);
    EXPECT_EQ(v, 3u);
    ASSERT_EQ(ReadPowerSetting(kPlan, PowerSetting::HybridSleep, PowerSource::DC, &v), 0u);
    EXPECT_EQ(v, 0u);
}

TEST_F(PowerValuesTest, SnapshotReadsEverythingWithWirelessAndGraphicsPresent) {
    SeedPlan(kPlan, 10);
    Present(true, true);
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    EXPECT_EQ(v.dwMonitorAC, 10u);
    EXPECT_EQ(v.dwMonitorDC, 11u);
    EXPECT_EQ(v.dwDimTimeoutAC, 14u);
    EXPECT_EQ(v.nDimBrightnessDC, 17);
    EXPECT_EQ(v.dwDiskAC, 18u);
    EXPECT_EQ(v.dwStandbyDC, 21u);
    EXPECT_EQ(v.dwHibernateAC, 22u);
    EXPECT_EQ(v.dwHybridAC, 3u);
    EXPECT_EQ(v.dwHybridDC, 0u);
    EXPECT_EQ(v.dwMinThrottleAC, 5u);
    EXPECT_EQ(v.dwMaxThrottleAC, 50u);
    EXPECT_EQ(v.ucPresetAC, PRESET_LOW);
    EXPECT_EQ(v.dwMinThrottleDC, 50u);
    EXPECT_EQ(v.dwMaxThrottleDC, 100u);
    EXPECT_EQ(v.ucPresetDC, PRESET_AUTO);
    EXPECT_TRUE(v.bGraphics);
    EXPECT_EQ(v.dwGraphicsAC, 28u);
    EXPECT_EQ(v.dwGraphicsDC, 29u);
    EXPECT_TRUE(v.bWireless);
    EXPECT_EQ(v.dwWirelessAC, 30u);
    EXPECT_EQ(v.dwWirelessDC, 31u);
}

TEST_F(PowerValuesTest, AbsentWirelessAndGraphicsAreNeitherReadNorWritten) {
    SeedPlan(kPlan, 10);
    Present(false, false);
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    EXPECT_FALSE(v.bWireless);
    EXPECT_FALSE(v.bGraphics);
    EXPECT_EQ(v.dwWirelessAC, 0u);
    EXPECT_EQ(v.dwGraphicsDC, 0u);
    EXPECT_EQ(fakes::Store().CountAccess('R', g::WirelessSetting), 0u);
    EXPECT_EQ(fakes::Store().CountAccess('R', g::GraphicsSetting), 0u);
    v.dwWirelessAC = 3;  // ignored while absent
    ASSERT_TRUE(WritePowerValues(kPlan, L"Plan", L"Desc", v));
    EXPECT_EQ(fakes::Store().CountAccess('W', g::WirelessSetting), 0u);
    EXPECT_EQ(fakes::Store().CountAccess('W', g::GraphicsSetting), 0u);
}

TEST_F(PowerValuesTest, WirelessSettingWithoutAdapterCountsAsAbsent) {
    SeedPlan(kPlan, 10);
    Present(true, true);
    g_Settings.blob.dwFlagWord = 0;  // no wireless adapter found at start
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    EXPECT_FALSE(v.bWireless);
    EXPECT_TRUE(v.bGraphics);
}

TEST_F(PowerValuesTest, GraphicsAndWirelessFallBackToTheActivePlanThenOne) {
    SeedPlan(kPlan, 10);
    SeedPlan(kActive, 100);
    Present(true, true);
    fakes::Store().Find(kPlan)->values.erase(fakes::SettingKey{g::Graphics, g::GraphicsSetting});
    fakes::Store().Find(kPlan)->values.erase(fakes::SettingKey{g::Wireless, g::WirelessSetting});
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    EXPECT_EQ(v.dwGraphicsAC, 118u);
    EXPECT_EQ(v.dwGraphicsDC, 119u);
    EXPECT_EQ(v.dwWirelessAC, 120u);
    EXPECT_EQ(v.dwWirelessDC, 121u);

    fakes::Store().Find(kActive)->values.erase(fakes::SettingKey{g::Graphics, g::GraphicsSetting});
    fakes::Store().Find(kActive)->values.erase(fakes::SettingKey{g::Wireless, g::WirelessSetting});
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    EXPECT_EQ(v.dwGraphicsAC, 1u);
    EXPECT_EQ(v.dwGraphicsDC, 1u);
    EXPECT_TRUE(v.bWireless);
    EXPECT_EQ(v.dwWirelessAC, 0u);
    DWORD value = 0;
    EXPECT_NE(ReadGraphicsValue(kPlan, PowerSource::AC, &value), 0u);
    EXPECT_EQ(value, 1u);
}

TEST_F(PowerValuesTest, FullRoundTripForBothSources) {
    SeedPlan(kPlan, 10);
    Present(true, true);
    PowerValues in{};
    in.dwMonitorAC = 300;
    in.dwMonitorDC = 120;
    in.dwDiskAC = 1200;
    in.dwDiskDC = 600;
    in.dwStandbyAC = 1800;
    in.dwStandbyDC = 900;
    in.dwHibernateAC = 7200;
    in.dwHibernateDC = 3600;
    in.dwMinThrottleAC = 7;
    in.dwMaxThrottleAC = 77;
    in.ucPresetAC = PRESET_USER;
    in.dwMinThrottleDC = 0;
    in.dwMaxThrottleDC = 0;
    in.ucPresetDC = PRESET_HIGH;
    in.bWireless = true;
    in.dwWirelessAC = 1;
    in.dwWirelessDC = 3;
    in.bGraphics = true;
    in.dwGraphicsAC = 2;
    in.dwGraphicsDC = 4;
    in.dwDimTimeoutAC = 60;
    in.dwDimTimeoutDC = 30;
    in.nDimBrightnessAC = 40;
    in.nDimBrightnessDC = 20;
    ASSERT_TRUE(WritePowerValues(kPlan, L"New name", L"New description", in));
    EXPECT_EQ(fakes::Store().Find(kPlan)->name, L"New name");
    EXPECT_EQ(fakes::Store().Find(kPlan)->description, L"New description");
    PowerValues out;
    ASSERT_TRUE(ReadPowerValues(kPlan, &out));
    EXPECT_EQ(out.dwMonitorAC, 300u);
    EXPECT_EQ(out.dwMonitorDC, 120u);
    EXPECT_EQ(out.dwDiskAC, 1200u);
    EXPECT_EQ(out.dwDiskDC, 600u);
    EXPECT_EQ(out.dwStandbyAC, 1800u);
    EXPECT_EQ(out.dwStandbyDC, 900u);
    EXPECT_EQ(out.dwHibernateAC, 7200u);
    EXPECT_EQ(out.dwHibernateDC, 3600u);
    EXPECT_EQ(out.dwMinThrottleAC, 7u);
    EXPECT_EQ(out.dwMaxThrottleAC, 77u);
    EXPECT_EQ(out.ucPresetAC, PRESET_USER);
    EXPECT_EQ(out.dwMinThrottleDC, 100u);  // code 0 wrote 100/100
    EXPECT_EQ(out.dwMaxThrottleDC, 100u);
    EXPECT_EQ(out.ucPresetDC, PRESET_HIGH);
    EXPECT_EQ(out.dwWirelessAC, 1u);
    EXPECT_EQ(out.dwWirelessDC, 3u);
    EXPECT_EQ(out.dwGraphicsAC, 2u);
    EXPECT_EQ(out.dwGraphicsDC, 4u);
    EXPECT_EQ(out.dwDimTimeoutAC, 60u);
    EXPECT_EQ(out.dwDimTimeoutDC, 30u);
    EXPECT_EQ(out.nDimBrightnessAC, 40);
    EXPECT_EQ(out.nDimBrightnessDC, 20);
}

TEST_F(PowerValuesTest, DimmedBrightnessKeepAndNone) {
    SeedPlan(kPlan, 10);
    fakes::Store().Set(kPlan, g::Video, g::DimBrightness, 35, 25);
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    v.nDimBrightnessAC = kBrightnessKeep;
    v.nDimBrightnessDC = kBrightnessNone;
    ASSERT_TRUE(WritePowerValues(kPlan, L"Plan", L"", v));
    DWORD ac = 0;
    DWORD dc = 0;
    ASSERT_TRUE(fakes::Store().Get(kPlan, g::Video, g::DimBrightness, &ac, &dc));
    EXPECT_EQ(ac, 35u);
    EXPECT_EQ(dc, 0u);
}

TEST_F(PowerValuesTest, DimValuesSkippedOnOsModelOneAndWithExternalMonitors) {
    SeedPlan(kPlan, 10);
    for (int variant = 0; variant < 2; ++variant) {
        fakes::Store().log.clear();
        g_Settings.dwOsGeneration = variant == 0 ? 1 : 3;
        g_Settings.blob.dwFlagWord = variant == 0 ? FLAG_WIRELESS : (FLAG_WIRELESS | FLAG_EXT_MONITOR);
        PowerValues v;
        ASSERT_TRUE(ReadPowerValues(kPlan, &v));
        EXPECT_EQ(v.dwDimTimeoutAC, 0u);
        ASSERT_TRUE(WritePowerValues(kPlan, L"Plan", L"", v));
        EXPECT_EQ(fakes::Store().CountAccess('R', g::DimTimeout), 0u) << variant;
        EXPECT_EQ(fakes::Store().CountAccess('R', g::DimBrightness), 0u) << variant;
        EXPECT_EQ(fakes::Store().CountAccess('W', g::DimTimeout), 0u) << variant;
        EXPECT_EQ(fakes::Store().CountAccess('W', g::DimBrightness), 0u) << variant;
    }
    fakes::Store().log.clear();
    g_Settings.dwOsGeneration = 2;
    g_Settings.blob.dwFlagWord = 0;
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    EXPECT_EQ(fakes::Store().CountAccess('R', g::DimBrightness), 2u);
}

TEST_F(PowerValuesTest, NameAndDescriptionLimits) {
    SeedPlan(kPlan, 10);
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    fakes::Store().log.clear();
    EXPECT_FALSE(WritePowerValues(kPlan, L"", L"d", v));
    EXPECT_EQ(fakes::Store().nameWrites, 0);
    EXPECT_FALSE(WritePowerValues(kPlan, std::wstring(258, L'n').c_str(), L"d", v));
    EXPECT_EQ(fakes::Store().nameWrites, 0);

    const std::wstring desc512(512, L'd');
    EXPECT_FALSE(WritePowerValues(kPlan, L"Plan", desc512.c_str(), v));
    EXPECT_EQ(fakes::Store().descriptionWrites, 0);
    EXPECT_TRUE(fakes::Store().log.empty());  // no setting written after a refused description
    EXPECT_NE(fakes::Store().Find(kPlan)->description, desc512);

    const std::wstring desc511(511, L'd');
    EXPECT_TRUE(WritePowerValues(kPlan, std::wstring(257, L'n').c_str(), desc511.c_str(), v));
    EXPECT_EQ(fakes::Store().Find(kPlan)->description, desc511);
    EXPECT_EQ(fakes::Store().Find(kPlan)->name.size(), 257u);
}

TEST_F(PowerValuesTest, FirstFailingReadEndsTheSnapshot) {
    SeedPlan(kPlan, 10);
    fakes::Store().failRead.insert({g::DiskTimeout, false});
    PowerValues v;
    EXPECT_FALSE(ReadPowerValues(kPlan, &v));
    EXPECT_EQ(fakes::Store().CountAccess('R', g::Standby), 0u);
    EXPECT_EQ(fakes::Store().CountAccess('R', g::ProcMin), 0u);
    fakes::Store().failRead.clear();
    fakes::Store().failRead.insert({g::DimBrightness, true});
    EXPECT_FALSE(ReadPowerValues(kPlan, &v));
}

TEST_F(PowerValuesTest, FailingWriteStopsAndKeepsWhatWasWritten) {
    SeedPlan(kPlan, 10);
    PowerValues v;
    ASSERT_TRUE(ReadPowerValues(kPlan, &v));
    v.dwMonitorAC = 901;
    v.dwMonitorDC = 902;
    v.dwDiskAC = 903;
    v.dwStandbyAC = 905;
    fakes::Store().failWrite.insert({g::DiskTimeout, false});
    EXPECT_FALSE(WritePowerValues(kPlan, L"Plan", L"", v));
    DWORD ac = 0;
    DWORD dc = 0;
    fakes::Store().Get(kPlan, g::Video, g::MonitorTimeout, &ac, &dc);
    EXPECT_EQ(ac, 901u);
    EXPECT_EQ(dc, 902u);
    fakes::Store().Get(kPlan, g::Disk, g::DiskTimeout, &ac, &dc);
    EXPECT_EQ(ac, 903u);
    EXPECT_EQ(fakes::Store().CountAccess('W', g::Standby), 0u);
    fakes::Store().failWrite.clear();
    fakes::Store().failWrite.insert({g::DimBrightness, false});
    EXPECT_FALSE(WritePowerValues(kPlan, L"Plan", L"", v));
}

TEST(ProcessorPresets, ClassificationWithLowerLimitFifty) {
    EXPECT_EQ(ClassifyProcessorPair(50, 50, 50), PRESET_LOW_FIXED);
    EXPECT_EQ(ClassifyProcessorPair(5, 50, 50), PRESET_LOW);
    EXPECT_EQ(ClassifyProcessorPair(100, 50, 50), PRESET_AUTO);  // swapped pair
    EXPECT_EQ(ClassifyProcessorPair(50, 100, 50), PRESET_AUTO);
    EXPECT_EQ(ClassifyProcessorPair(100, 100, 50), PRESET_HIGH);
    EXPECT_EQ(ClassifyProcessorPair(50, 5, 50), PRESET_LOW);
    EXPECT_EQ(ClassifyProcessorPair(5, 100, 50), PRESET_USER);
    EXPECT_EQ(ClassifyProcessorPair(30, 30, 50), PRESET_USER);
    EXPECT_EQ(ClassifyProcessorPair(0, 0, 50), PRESET_USER);
}

TEST(ProcessorPresets, LowerLimitThirtyPairs) {
    DWORD mn = 0;
    DWORD mx = 0;
    ASSERT_TRUE(PresetToProcessorPair(PRESET_LOW_FIXED, 30, &mn, &mx));
    EXPECT_EQ(mn, 30u);
    EXPECT_EQ(mx, 30u);
    ASSERT_TRUE(PresetToProcessorPair(PRESET_LOW, 30, &mn, &mx));
    EXPECT_EQ(mn, 5u);
    EXPECT_EQ(mx, 30u);
    ASSERT_TRUE(PresetToProcessorPair(PRESET_AUTO, 30, &mn, &mx));
    EXPECT_EQ(mn, 30u);
    EXPECT_EQ(mx, 100u);
    ASSERT_TRUE(PresetToProcessorPair(PRESET_HIGH, 30, &mn, &mx));
    EXPECT_EQ(mn, 100u);
    EXPECT_EQ(mx, 100u);
    mn = 12;
    mx = 34;
    EXPECT_FALSE(PresetToProcessorPair(PRESET_USER, 30, &mn, &mx));
    EXPECT_FALSE(PresetToProcessorPair(4, 30, &mn, &mx));
    EXPECT_EQ(mn, 12u);
    EXPECT_EQ(mx, 34u);
    EXPECT_EQ(ClassifyProcessorPair(30, 30, 30), PRESET_LOW_FIXED);
    EXPECT_EQ(ClassifyProcessorPair(5, 30, 30), PRESET_LOW);
    EXPECT_EQ(ClassifyProcessorPair(30, 100, 30), PRESET_AUTO);
}

TEST(ProcessorPresets, PresetListOrderAndAllowConstant) {
    BYTE codes[kMaxPresetEntries];
    ASSERT_EQ(GetProcessorPresetList(true, codes), 5u);
    EXPECT_EQ(codes[0], PRESET_LOW);
    EXPECT_EQ(codes[1], PRESET_LOW_FIXED);
    EXPECT_EQ(codes[2], PRESET_AUTO);
    EXPECT_EQ(codes[3], PRESET_HIGH);
    EXPECT_EQ(codes[4], PRESET_USER);
    ASSERT_EQ(GetProcessorPresetList(false, codes), 4u);
    EXPECT_EQ(codes[0], PRESET_LOW);
    EXPECT_EQ(codes[1], PRESET_AUTO);
    EXPECT_EQ(codes[2], PRESET_HIGH);
    EXPECT_EQ(codes[3], PRESET_USER);
}

TEST_F(PowerValuesTest, ProcessorPairWritesTheLowerLimitOfTheSettings) {
    SeedPlan(kPlan, 10);
    g_Settings.dwLowerLimit = 30;
    ProcessorPair pair{1, 2, PRESET_LOW_FIXED, 3, 4, PRESET_USER};
    ASSERT_TRUE(WriteProcessorPair(kPlan, pair));
    ProcessorPair back{};
    ASSERT_TRUE(ReadProcessorPair(kPlan, &back));
    EXPECT_EQ(back.dwMinAC, 30u);
    EXPECT_EQ(back.dwMaxAC, 30u);
    EXPECT_EQ(back.ucPresetAC, PRESET_LOW_FIXED);
    EXPECT_EQ(back.dwMinDC, 3u);
    EXPECT_EQ(back.dwMaxDC, 4u);
    EXPECT_EQ(back.ucPresetDC, PRESET_USER);
}

TEST_F(PowerValuesTest, EnumerationCountAndActiveScheme) {
    EXPECT_EQ(CountPlans(), 2u);
    GUID plan;
    ASSERT_TRUE(EnumeratePlan(1, &plan));
    EXPECT_TRUE(IsEqualGUID(plan, kActive));
    EXPECT_FALSE(EnumeratePlan(2, &plan));
    DWORD end = 0;
    EXPECT_EQ(EnumerateAllPlans(&end).size(), 2u);
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    fakes::Store().enumerateFailIndex = 1;
    EXPECT_EQ(CountPlans(), 1u);
    EXPECT_EQ(EnumerateAllPlans(&end).size(), 1u);
    EXPECT_EQ(end, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(ReadActiveScheme(&plan), 0u);
    EXPECT_TRUE(IsEqualGUID(plan, kActive));
    fakes::Store().activeError = ERROR_GEN_FAILURE;
    EXPECT_EQ(ReadActiveScheme(&plan), static_cast<DWORD>(ERROR_GEN_FAILURE));
}

TEST_F(PowerValuesTest, SystemActionsOfAPlan) {
    fakes::Store().Set(kActive, g::Buttons, g::PowerButton, 1, 2);
    fakes::Store().Set(kActive, g::Buttons, g::SleepButton, 3, 4);
    fakes::Store().Set(kActive, g::Buttons, g::LidClose, 0, 1);
    fakes::Store().Set(kActive, g::Battery, g::CriticalBattery, 9, 2);
    fakes::Store().Set(kActive, g::Battery, g::LowBattery, 9, 0);
    SystemActions a{};
    ASSERT_EQ(ReadSystemActions(kActive, &a), 0u);
    EXPECT_EQ(a.dwPowerButtonAC, 1u);
    EXPECT_EQ(a.dwPowerButtonDC, 2u);
    EXPECT_EQ(a.dwSleepButtonAC, 3u);
    EXPECT_EQ(a.dwSleepButtonDC, 4u);
    EXPECT_EQ(a.dwLidCloseAC, 0u);
    EXPECT_EQ(a.dwLidCloseDC, 1u);
    EXPECT_EQ(a.dwCriticalBatteryDC, 2u);
    EXPECT_EQ(a.dwLowBatteryDC, 0u);
    EXPECT_NE(ReadSystemActions(kPlan, &a), 0u);
}

// The refresh's copy of the active plan's actions is read again only for another plan, after a
// setting write of this program, after a failed read, or when forgotten.
TEST_F(PowerValuesTest, SystemActionsAreReadAgainOnlyWhenTheyMayHaveChanged) {
    for (const GUID* plan : {&kActive, &kPlan}) {
        fakes::Store().Set(*plan, g::Buttons, g::SleepButton, 1, 1);
        fakes::Store().Set(*plan, g::Buttons, g::LidClose, 1, 1);
        fakes::Store().Set(*plan, g::Battery, g::CriticalBattery, 2, 2);
        fakes::Store().Set(*plan, g::Battery, g::LowBattery, 0, 0);
    }
    fakes::Store().Set(kActive, g::Buttons, g::PowerButton, 1, 2);
    fakes::Store().Set(kPlan, g::Buttons, g::PowerButton, 3, 4);
    ForgetSystemActions();
    struct Step {
        const char* what;
        void (*before)();
        const GUID* active;
        DWORD status;
        bool read;           // the store was asked
        DWORD powerButtonAC;  // g_SystemActions afterwards
    };
    const Step steps[] = {
        {"first", [] {}, &kActive, ERROR_SUCCESS, true, 1},
        {"same plan", [] {}, &kActive, ERROR_SUCCESS, false, 1},
        {"another plan", [] {}, &kPlan, ERROR_SUCCESS, true, 3},
        {"a setting written", [] { WritePowerSetting(kActive, PowerSetting::MonitorTimeout, PowerSource::AC, 60); },
         &kPlan, ERROR_SUCCESS, true, 3},
        {"changed behind the program's back, same plan", [] { fakes::Store().Set(kPlan, g::Buttons, g::PowerButton, 5, 6); },
         &kPlan, ERROR_SUCCESS, false, 3},
        {"forgotten", [] { ForgetSystemActions(); }, &kPlan, ERROR_SUCCESS, true, 5},
        {"failing read", [] { ForgetSystemActions(); fakes::Store().failRead.insert({g::PowerButton, true}); },
         &kPlan, ERROR_GEN_FAILURE, true, 5},
        {"tried again after the failure", [] { fakes::Store().failRead.clear(); }, &kPlan, ERROR_SUCCESS, true, 5},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.before();
        const size_t readsBefore = fakes::Store().CountAccess('R', g::PowerButton);
        const DWORD status = UpdateSystemActions(*step.active);
        EXPECT_EQ(status == ERROR_SUCCESS, step.status == ERROR_SUCCESS);
        EXPECT_EQ(fakes::Store().CountAccess('R', g::PowerButton) > readsBefore, step.read);
        if (status == ERROR_SUCCESS) {
            EXPECT_EQ(g_SystemActions.dwPowerButtonAC, step.powerButtonAC);
        }
    }
}

}  // namespace
