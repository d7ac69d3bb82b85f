#include <gtest/gtest.h>

#include <vector>

#include <cstring>
#include <string>

#include "fake_power.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "test_registry.h"

using namespace plans;
namespace g = fakes::g;

namespace {

const GUID kA = fakes::MakeGuid(0xA);
const GUID kB = fakes::MakeGuid(0xB);
const GUID kC = fakes::MakeGuid(0xC);

class PlanRecordTest : public testing::Test {
protected:
    void SetUp() override {
        testreg::ClearSolvaneKeys();
        fakes::Install();
        g_Settings.blob.dwFlagWord = FLAG_ECO | FLAG_THREE_MODE;
        g_Settings.dwOsGeneration = 2;
        g_Settings.dwLowerLimit = 50;
        SetHighestBrightnessLevel(7);
        for (const GUID* p : {&kA, &kB, &kC}) {
            fakes::Store().AddPlan(*p, L"Plan");
            fakes::Store().Set(*p, g::Video, g::Brightness, 80, 40);
            fakes::Store().Set(*p, g::Processor, g::ProcMin, 5, 5);
            fakes::Store().Set(*p, g::Processor, g::ProcMax, 100, 100);
        }
        fakes::Store().active = kA;
    }
    void TearDown() override {
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
        EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::kKey));
    }
    static PlanRecord Read(const GUID& guid) {
        PlanRecord r{};
        r.guid = guid;
        ReadPlanRecord(&r);
        return r;
    }
    static DWORD Stored(const GUID& plan, const wchar_t* name) {
        DWORD v = 0xDEAD;
        testreg::GetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(plan), name, &v);
        return v;
    }
};

TEST_F(PlanRecordTest, PlanWithoutKeyTakesEveryDefault) {
    PlanRecord r = Read(kA);
    EXPECT_TRUE(IsEqualGUID(r.guid, kA));
    EXPECT_STREQ(r.szName, L"Plan");
    EXPECT_STREQ(r.szDescription, L"Plan description");
    EXPECT_EQ(r.nBrightnessAC, 80);
    EXPECT_EQ(r.nBrightnessDC, 40);
    EXPECT_EQ(r.nIconNo, 10);
    EXPECT_EQ(r.dwFlags, 0u);
    EXPECT_EQ(r.nLedNo, 0);
    EXPECT_EQ(r.nIndicator, -1);
    EXPECT_EQ(r.nNpdCPU, 0);
    EXPECT_EQ(r.nSaveDisplay, 0);
    EXPECT_EQ(r.nBrightnessMonitor, 0);
    EXPECT_EQ(r.nBrightnessMonitorEnable, 0);
    EXPECT_EQ(r.biALS.ucMode, 0);
    EXPECT_EQ(r.biALS.ucAC_MAX, 7);
    EXPECT_EQ(r.biALS.ucAC_MIN, 0);
    EXPECT_EQ(r.biALS.ucDC_MAX, 7);
    EXPECT_EQ(r.biALS.ucDC_MIN, 0);
}

TEST_F(PlanRecordTest, StoredExtensionValuesAreRead) {
    const std::wstring key = testreg::PlanKey(kB);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"IconNo", 3);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"Flags", 0x11);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"LedNo", 2);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"Indicator", 0x00030002);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"NpdCPU", 1);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"SaveDisplay", 4);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"BrightnessMonitor", 5);
    testreg::SetDword(HKEY_LOCAL_MACHINE, key, L"BrightnessMonitorEnable", 1);
    const BYTE als[5] = {1, 6, 2, 5, 1};
    testreg::SetBinary(HKEY_LOCAL_MACHINE, key, L"ALSBC", als, sizeof(als));
    PlanRecord r = Read(kB);
    EXPECT_EQ(r.nIconNo, 3);
    EXPECT_EQ(r.dwFlags, 0x11u);
    EXPECT_EQ(r.nLedNo, 2);
    EXPECT_EQ(r.nIndicator, 0x00030002);
    EXPECT_EQ(r.nNpdCPU, 1);
    EXPECT_EQ(r.nSaveDisplay, 4);
    EXPECT_EQ(r.nBrightnessMonitor, 5);
    EXPECT_EQ(r.nBrightnessMonitorEnable, 1);
    EXPECT_EQ(memcmp(&r.biALS, als, 5), 0);
    // an "ALSBC" of the wrong length keeps the default range
    const BYTE shortAls[3] = {1, 2, 3};
    testreg::SetBinary(HKEY_LOCAL_MACHINE, key, L"ALSBC", shortAls, sizeof(shortAls));
    EXPECT_EQ(Read(kB).biALS.ucAC_MAX, 7);
}

TEST_F(PlanRecordTest, LongNamesAreCutAtOneHundredTwentyEightCharacters) {
    std::wstring name200;
    for (int i = 0; i < 200; ++i) {
        name200.push_back(static_cast<wchar_t>(L'A' + i % 26));
    }
    fakes::Store().Find(kA)->name = name200;
    PlanRecord r = Read(kA);
    EXPECT_EQ(std::wstring(r.szName), name200.substr(0, 128));
    // longer than the field: the API asks for a larger buffer
    const std::wstring name300 = name200 + std::wstring(100, L'z');
    fakes::Store().Find(kA)->name = name300;
    r = Read(kA);
    EXPECT_EQ(std::wstring(r.szName), name300.substr(0, 128));
    fakes::Store().Find(kA)->name = L"Short";
    EXPECT_STREQ(Read(kA).szName, L"Short");
}

TEST_F(PlanRecordTest, UnreadableDescriptionOrUnknownPlanGivesNullGuid) {
    fakes::Store().Find(kA)->descriptionReadable = false;
    EXPECT_TRUE(IsNullGuid(Read(kA).guid));
    EXPECT_TRUE(IsNullGuid(Read(fakes::MakeGuid(0x77)).guid));
    PlanRecord none{};
    ReadPlanRecord(&none);  // GUID_NULL on entry: nothing is read
    EXPECT_EQ(none.nIconNo, 0);
    fakes::Store().Find(kB)->values.clear();  // brightness unreadable
    EXPECT_EQ(Read(kB).nBrightnessAC, 256);
}

TEST(Indicator, HalvesAndClamping) {
    int perf = -1;
    int saving = -1;
    ASSERT_TRUE(DecodeIndicator(0x00030002, &perf, &saving));
    EXPECT_EQ(perf, 3);
    EXPECT_EQ(saving, 2);
    ASSERT_TRUE(DecodeIndicator(0x00070007, &perf, &saving));
    EXPECT_EQ(perf, 5);
    EXPECT_EQ(saving, 5);
    ASSERT_TRUE(DecodeIndicator(0x00000005, &perf, &saving));
    EXPECT_EQ(perf, 0);
    EXPECT_EQ(saving, 5);
    EXPECT_FALSE(DecodeIndicator(-1, &perf, &saving));
}

TEST(Indicator, ComputedFromTheBatteryValues) {
    struct Row {
        const char* name;
        DWORD minCpu, maxCpu, monitor, standby;
        bool wireless;
        DWORD wirelessIndex;
        int performance, saving;
    } rows[] = {
        // Full speed everywhere, long timeouts: all performance, the one-bar floor of saving.
        {"full speed", 100, 100, 3600, 0, true, 0, 5, 1},
        {"no wireless setting counts as full power", 100, 100, 0, 0, false, 3, 5, 1},
        {"automatic processor, short timeouts", 5, 100, 300, 1800, true, 0, 4, 3},
        {"one second past the monitor limit", 5, 100, 301, 1800, true, 0, 4, 2},
        {"one second past the standby limit", 5, 100, 300, 1801, true, 0, 4, 2},
        {"ceiling 99 % drops to the middle step", 5, 99, 0, 0, true, 0, 3, 2},
        {"ceiling 75 %", 5, 75, 0, 0, true, 0, 3, 2},
        {"ceiling 74 %", 5, 74, 0, 0, true, 0, 2, 2},
        {"ceiling 50 %", 5, 50, 0, 0, true, 1, 1, 2},
        {"floor 6 % is not the processor floor", 6, 49, 0, 0, true, 1, 1, 1},
        {"every saving, wireless index 2", 5, 40, 60, 60, true, 2, 1, 5},
        {"wireless index 3 without a setting does not count", 5, 40, 60, 60, false, 3, 1, 4},
    };
    for (const Row& row : rows) {
        PowerValues values{};
        values.dwMinThrottleDC = row.minCpu;
        values.dwMaxThrottleDC = row.maxCpu;
        values.dwMonitorDC = row.monitor;
        values.dwStandbyDC = row.standby;
        values.bWireless = row.wireless;
        values.dwWirelessDC = row.wirelessIndex;
        // The mains side must not matter.
        values.dwMaxThrottleAC = 1;
        values.dwMonitorAC = 60;
        int performance = -1;
        int saving = -1;
        ComputeIndicatorBars(values, &performance, &saving);
        EXPECT_EQ(performance, row.performance) << row.name;
        EXPECT_EQ(saving, row.saving) << row.name;
    }
}

TEST_F(PlanRecordTest, SavePlanWritesValuesAndTheExtensionKey) {
    g_Settings.blob.dwFlagWord = FLAG_CPU_DRIVER;
    PlanRecord r = Read(kA);
    wcscpy(r.szName, L"Saved");
    wcscpy(r.szDescription, L"Saved description");
    r.nIconNo = 4;
    r.nIndicator = 0x00010004;
    r.nNpdCPU = 1;
    r.nSaveDisplay = 9;  // bit 0x80000 clear: not written
    r.nBrightnessAC = 256;
    r.nBrightnessDC = -1;
    r.biALS = AmbientLightRange{1, 5, 1, 4, 0};
    PowerValues v{};
    v.dwMonitorAC = 60;
    v.ucPresetAC = PRESET_AUTO;
    v.ucPresetDC = PRESET_LOW;
    v.dwDimTimeoutAC = 45;
    v.dwDimTimeoutDC = 15;
    v.nDimBrightnessAC = 10;
    v.nDimBrightnessDC = 10;
    ASSERT_TRUE(SavePlan(r, v, nullptr));
    EXPECT_EQ(fakes::Store().Find(kA)->name, L"Saved");
    DWORD ac = 0;
    DWORD dc = 0;
    fakes::Store().Get(kA, g::Video, g::Brightness, &ac, &dc);
    EXPECT_EQ(ac, 0u);   // 256 is written as 0
    EXPECT_EQ(dc, 40u);  // -1 keeps the plan's value
    fakes::Store().Get(kA, g::Processor, g::ProcMin, &ac, &dc);
    EXPECT_EQ(ac, 50u);
    EXPECT_EQ(dc, 5u);
    fakes::Store().Get(kA, g::Processor, g::ProcMax, &ac, &dc);
    EXPECT_EQ(ac, 100u);
    EXPECT_EQ(dc, 50u);
    EXPECT_EQ(Stored(kA, L"IconNo"), 4u);
    EXPECT_EQ(Stored(kA, L"Indicator"), 0x00010004u);
    EXPECT_EQ(Stored(kA, L"NpdCPU"), 1u);
    EXPECT_EQ(Stored(kA, L"DIMTimeoutAC"), 45u);
    EXPECT_EQ(Stored(kA, L"DIMTimeoutDC"), 15u);
    EXPECT_FALSE(testreg::ValueExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"SaveDisplay"));
    EXPECT_FALSE(testreg::ValueExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"BrightnessMonitor"));
    std::vector<BYTE> als = testreg::GetBinary(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"ALSBC");
    ASSERT_EQ(als.size(), 5u);
    EXPECT_EQ(als[1], 5);
    PlanRecord back = Read(kA);
    EXPECT_EQ(back.nIconNo, 4);
    EXPECT_EQ(back.nNpdCPU, 1);
}

TEST_F(PlanRecordTest, SavingIndicatorMinusOneLeavesTheStoredValue) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"Indicator", 0x00020003);
    PlanRecord r = Read(kA);
    r.nIndicator = -1;
    PowerValues v{};
    v.ucPresetAC = PRESET_HIGH;
    v.ucPresetDC = PRESET_HIGH;
    ASSERT_TRUE(SavePlan(r, v, nullptr));
    EXPECT_EQ(Stored(kA, L"Indicator"), 0x00020003u);
    // without the driver bit "NpdCPU" is not written
    EXPECT_FALSE(testreg::ValueExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"NpdCPU"));
}

TEST_F(PlanRecordTest, SavePlanUsesCallersProcessorValuesAndReportsFailures) {
    PlanRecord r = Read(kB);
    PowerValues v{};
    ProcessorPair pair{20, 80, PRESET_USER, 10, 60, PRESET_USER};
    ASSERT_TRUE(SavePlan(r, v, &pair));
    DWORD ac = 0;
    DWORD dc = 0;
    fakes::Store().Get(kB, g::Processor, g::ProcMax, &ac, &dc);
    EXPECT_EQ(ac, 80u);
    EXPECT_EQ(dc, 60u);
    // a failing plan write fails the save but the extension values are still stored
    fakes::Store().failWrite.insert({g::MonitorTimeout, true});
    r.nIconNo = 8;
    EXPECT_FALSE(SavePlan(r, v, &pair));
    EXPECT_EQ(Stored(kB, L"IconNo"), 8u);
}

TEST_F(PlanRecordTest, SetLedNoCreatesTheKey) {
    ASSERT_TRUE(SetLedNo(kC, 3));
    EXPECT_EQ(Stored(kC, L"LedNo"), 3u);
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE,
                                   L"Software\\Orvel\\Solvane\\PowerSettings\\0000000c-1111-2222-3333-444444444444"));
}

TEST_F(PlanRecordTest, ExtensionValueGroupRoundTripsThroughAnyKey) {
    g_Settings.blob.dwFlagWord = FLAG_CPU_DRIVER | FLAG_EXT_MONITOR;
    PlanRecord r = Read(kA);
    r.nIconNo = 2;
    r.dwFlags = 1;
    r.nIndicator = 0x00050001;
    r.nLedNo = 3;
    r.nNpdCPU = 1;
    r.nSaveDisplay = 6;
    r.nBrightnessMonitor = 4;
    r.nBrightnessMonitorEnable = 1;
    r.biALS = AmbientLightRange{1, 2, 3, 4, 5};
    const std::wstring path = std::wstring(testreg::kKey) + L"\\BKSettings\\x";
    ASSERT_EQ(testreg::CreateKey(HKEY_LOCAL_MACHINE, path), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_TRUE(WriteExtensionValues(r, key));
    PlanRecord back{};
    ReadExtensionValues(&back, key);
    RegCloseKey(key);
    EXPECT_EQ(back.nIconNo, 2);
    EXPECT_EQ(back.dwFlags, 1u);
    EXPECT_EQ(back.nIndicator, 0x00050001);
    EXPECT_EQ(back.nLedNo, 3);
    EXPECT_EQ(back.nNpdCPU, 1);
    EXPECT_EQ(back.nSaveDisplay, 0);  // bit 0x80000 clear: not written, default read
    EXPECT_EQ(back.nBrightnessMonitor, 4);
    EXPECT_EQ(back.nBrightnessMonitorEnable, 1);
    EXPECT_EQ(memcmp(&back.biALS, &r.biALS, 5), 0);
}

class ModeSlotsTest : public PlanRecordTest {
protected:
    void SetUp() override {
        PlanRecordTest::SetUp();
        RefreshPlanList();
        ASSERT_EQ(g_PlanCount, 3u);
    }
};

TEST_F(ModeSlotsTest, TwoModeAssignmentWritesThreeOneAndZero) {
    g_Settings.blob.dwFlagWord = FLAG_ECO;
    SetLedNo(kC, 2);
    const GUID slots[kMaxPinnedPlans] = {kA, kB, GUID_NULL};
    ASSERT_TRUE(AssignModes(slots));
    EXPECT_EQ(Stored(kA, L"LedNo"), 3u);
    EXPECT_EQ(Stored(kB, L"LedNo"), 1u);
    EXPECT_EQ(Stored(kC, L"LedNo"), 0u);
    ModeSlot found[kMaxPinnedPlans];
    int count = -1;
    ASSERT_TRUE(FindModeSlots(found, &count));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(IsEqualGUID(found[0].guid, kA));
    EXPECT_TRUE(IsEqualGUID(found[1].guid, kB));
    EXPECT_TRUE(IsNullGuid(found[2].guid));
    EXPECT_TRUE(IsSlotThreePlan(kA));
    EXPECT_FALSE(IsSlotThreePlan(kB));
}

TEST_F(ModeSlotsTest, ThreeModeAssignmentAndSlotLookup) {
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"IconNo", 6);
    fakes::Store().Find(kA)->name = L"Eco A";
    const GUID slots[kMaxPinnedPlans] = {kC, kA, kB};
    ASSERT_TRUE(AssignModes(slots));
    EXPECT_EQ(Stored(kC, L"LedNo"), 1u);
    EXPECT_EQ(Stored(kA, L"LedNo"), 2u);
    EXPECT_EQ(Stored(kB, L"LedNo"), 3u);
    ModeSlot found[kMaxPinnedPlans];
    int count = 0;
    ASSERT_TRUE(FindModeSlots(found, &count));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(IsEqualGUID(found[0].guid, kC));
    EXPECT_TRUE(IsEqualGUID(found[1].guid, kA));
    EXPECT_EQ(found[1].nIconNo, 6);
    EXPECT_STREQ(found[1].szName, L"Eco A");
    EXPECT_TRUE(IsEqualGUID(found[2].guid, kB));
}

TEST_F(ModeSlotsTest, DuplicateLedNoLaterPlanWins) {
    SetLedNo(kA, 1);
    SetLedNo(kB, 1);
    SetLedNo(kC, 9);  // names no slot
    ModeSlot found[kMaxPinnedPlans];
    int count = 0;
    ASSERT_TRUE(FindModeSlots(found, &count));
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(IsEqualGUID(found[0].guid, kB));
    EXPECT_TRUE(IsNullGuid(found[1].guid));
    EXPECT_TRUE(IsNullGuid(found[2].guid));
}

TEST(LedNoHolder, TheLastPlanCarryingTheNumberHoldsTheSlot) {
    const struct {
        std::vector<DWORD> ledNos;  // the plans' values in enumeration order
        DWORD ledNo;
        size_t holder;
    } cases[] = {
        {{}, 1, kNoLedNoHolder},
        {{2, 3}, 1, kNoLedNoHolder},
        {{1, 2, 3}, 1, 0},
        {{1, 2, 1}, 1, 2},
        {{3, 3, 0}, 3, 1},
        {{0, 0, 2}, 0, kNoLedNoHolder},  // 0 is no mode, whoever carries it
        {{2, 9, 2, 9}, 9, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindLedNoHolder(c.ledNos, c.ledNo), c.holder) << testing::PrintToString(c.ledNos) << " " << c.ledNo;
    }
}

TEST_F(ModeSlotsTest, LockHeldElsewhereMeansNothingIsWrittenOrFound) {
    ASSERT_TRUE(CreatePlanListLock());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Ctx {
        HANDLE ready, release;
    } ctx{ready, release};
    HANDLE holder = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* c = static_cast<Ctx*>(p);
            HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, kPlanListLockName);
            WaitForSingleObject(m, INFINITE);
            SetEvent(c->ready);
            WaitForSingleObject(c->release, INFINITE);
            ReleaseMutex(m);
            CloseHandle(m);
            return 0;
        },
        &ctx, 0, nullptr);
    WaitForSingleObject(ready, 5000);
    const GUID slots[kMaxPinnedPlans] = {kA, kB, kC};
    EXPECT_FALSE(AssignModes(slots));
    EXPECT_FALSE(testreg::ValueExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kA), L"LedNo"));
    SetLedNo(kA, 2);  // written without the lock
    ModeSlot found[kMaxPinnedPlans];
    int count = -1;
    EXPECT_FALSE(FindModeSlots(found, &count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(IsNullGuid(found[1].guid));
    PlanRecord r = Read(kA);
    r.nIconNo = 9;
    EXPECT_FALSE(SavePlan(r, PowerValues{}, nullptr));
    EXPECT_EQ(Stored(kA, L"IconNo"), 0xDEADu);  // nothing saved
    SetEvent(release);
    WaitForSingleObject(holder, 5000);
    CloseHandle(holder);
    CloseHandle(ready);
    CloseHandle(release);
    ClosePlanListLock();
}

}  // namespace
