#include <gtest/gtest.h>

#include <string>

#include "fake_power.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "test_registry.h"

using namespace plans;
namespace g = fakes::g;

namespace {

const GUID kKnown4 = {0xD3036FF0, 0x0D25, 0x4C9D, {0xA9, 0x6C, 0x77, 0x8C, 0x92, 0x64, 0xD4, 0xF5}};
const GUID kKnown18 = {0x4368BC51, 0xAE9B, 0x4517, {0xAA, 0xAF, 0x9D, 0xFD, 0x80, 0x54, 0x0A, 0xCF}};
const GUID kX = fakes::MakeGuid(0x51);
const GUID kY = fakes::MakeGuid(0x52);

class PlanListTest : public testing::Test {
protected:
    void SetUp() override {
        testreg::ClearSolvaneKeys();
        fakes::Install();
        g_Settings.blob.dwFlagWord = FLAG_ECO | FLAG_THREE_MODE;
        g_Settings.nPinnedCount = DefaultPinnedPlans(g_Settings.blob.dwFlagWord, g_Settings.pinned);
        activepsi = PlanRecord{};
    }
    void TearDown() override {
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
        EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::kKey));
    }
    void AddWindowsPlans() {
        fakes::Store().AddPlan(g::Balanced, L"Balanced");
        fakes::Store().AddPlan(g::HighPerformance, L"High performance");
        fakes::Store().AddPlan(g::PowerSaver, L"Power saver");
        fakes::Store().active = g::Balanced;
    }
    static std::vector<std::wstring> OtherNames() {
        std::vector<std::wstring> names;
        for (PlanRecord* p : g_OtherPlans) {
            names.push_back(p->szName);
        }
        return names;
    }
};

TEST_F(PlanListTest, ThreeWindowsPlansAreAllPinnedInThreeModeVariant) {
    AddWindowsPlans();
    RefreshPlanList();
    ASSERT_EQ(g_PlanCount, 3u);
    ASSERT_EQ(g_PlanList.size(), 4u);
    EXPECT_TRUE(IsNullGuid(g_PlanList[3].guid));  // the extra record stays empty
    ASSERT_NE(g_PinnedPlanPtrs[0], nullptr);
    ASSERT_NE(g_PinnedPlanPtrs[1], nullptr);
    ASSERT_NE(g_PinnedPlanPtrs[2], nullptr);
    EXPECT_STREQ(g_PinnedPlanPtrs[0]->szName, L"Balanced");
    EXPECT_STREQ(g_PinnedPlanPtrs[1]->szName, L"Power saver");
    EXPECT_STREQ(g_PinnedPlanPtrs[2]->szName, L"High performance");
    EXPECT_EQ(g_PinnedPlanPtrs[1]->nListIndex, 2);
    EXPECT_TRUE(g_OtherPlans.empty());
}

TEST_F(PlanListTest, OtherPlansFollowTheKnownOrderThenEnumerationOrder) {
    g_Settings.blob.dwFlagWord = FLAG_ECO;
    g_Settings.nPinnedCount = DefaultPinnedPlans(g_Settings.blob.dwFlagWord, g_Settings.pinned);
    fakes::Store().AddPlan(kY, L"Y");
    fakes::Store().AddPlan(g::Balanced, L"Balanced");
    fakes::Store().AddPlan(kKnown18, L"K18");
    fakes::Store().AddPlan(kX, L"X");
    fakes::Store().AddPlan(g::Eco3, L"Eco3");
    fakes::Store().AddPlan(kKnown4, L"K4");
    fakes::Store().AddPlan(g::Eco2, L"Eco2");
    fakes::Store().active = kX;
    RefreshPlanList();
    const std::vector<std::wstring> expected = {L"Eco2", L"Eco3", L"K4", L"K18", L"Balanced", L"Y", L"X"};
    EXPECT_EQ(OtherNames(), expected);
}

TEST_F(PlanListTest, HiddenPlansStayInThePlanListButNotInMenusUnlessPinned) {
    AddWindowsPlans();
    fakes::Store().AddPlan(kX, L"X");
    fakes::Store().AddPlan(kY, L"Y");
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX), L"Flags", 1);
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::PowerSaver), L"Flags", 3);
    RefreshPlanList();
    ASSERT_EQ(g_PlanCount, 5u);
    EXPECT_EQ(g_PlanList[3].dwFlags, 1u);
    const std::vector<std::wstring> expected = {L"Y"};
    EXPECT_EQ(OtherNames(), expected);
    ASSERT_NE(g_PinnedPlanPtrs[1], nullptr);  // hidden but pinned: still shown
    EXPECT_STREQ(g_PinnedPlanPtrs[1]->szName, L"Power saver");
}

TEST_F(PlanListTest, DuplicateAndNullPinnedEntriesNeverOverrunTheOtherList) {
    AddWindowsPlans();
    fakes::Store().AddPlan(kX, L"X");
    g_Settings.pinned[0] = g::Balanced;
    g_Settings.pinned[1] = g::Balanced;
    g_Settings.pinned[2] = GUID_NULL;
    RefreshPlanList();
    EXPECT_EQ(g_PinnedPlanPtrs[0], g_PinnedPlanPtrs[1]);
    EXPECT_EQ(g_PinnedPlanPtrs[2], nullptr);
    const std::vector<std::wstring> expected = {L"Power saver", L"High performance", L"X"};
    // High performance and Power saver are outside the known table: enumeration order
    const std::vector<std::wstring> enumerated = {L"High performance", L"Power saver", L"X"};
    EXPECT_EQ(OtherNames(), enumerated);
    EXPECT_LE(g_OtherPlans.size(), g_PlanCount);
    for (PlanRecord* p : g_OtherPlans) {
        EXPECT_GE(p, &g_PlanList[0]);
        EXPECT_LT(p, &g_PlanList[0] + g_PlanCount);
    }
    (void)expected;
}

TEST_F(PlanListTest, BuildOtherPlansOnInjectedRecords) {
    std::vector<PlanRecord> records(5);
    records[0].guid = kX;
    records[1].guid = g::Balanced;
    records[2].guid = GUID_NULL;  // enumeration failed: never listed
    records[3].guid = g::Eco1;
    records[4].guid = kY;
    records[4].dwFlags = kPlanFlagHidden;
    PlanRecord* const pinned[kMaxPinnedPlans] = {&records[1], &records[1], nullptr};
    std::vector<PlanRecord*> others = BuildOtherPlans(records, 5, pinned);
    ASSERT_EQ(others.size(), 2u);
    EXPECT_EQ(others[0], &records[3]);
    EXPECT_EQ(others[1], &records[0]);
    // a count larger than the records is clamped
    EXPECT_EQ(BuildOtherPlans(records, 50, pinned).size(), 2u);
}

TEST_F(PlanListTest, NoPlansGivesEmptyLists) {
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 0u);
    EXPECT_TRUE(g_OtherPlans.empty());
    EXPECT_EQ(g_PinnedPlanPtrs[0], nullptr);
}

TEST_F(PlanListTest, CurrentPlanMarkersAndUnchangedGuid) {
    AddWindowsPlans();
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::PowerSaver), L"Flags", 1);
    RefreshCurrentPlan(kActiveSchemeMarker);
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, g::Balanced));
    EXPECT_STREQ(activepsi.szName, L"Balanced");
    EXPECT_TRUE(g_bActiveListed);

    const int reads = fakes::Store().planNameReads;
    RefreshCurrentPlan(g::Balanced);  // already held: nothing is read
    EXPECT_EQ(fakes::Store().planNameReads, reads);

    RefreshCurrentPlan(g::PowerSaver);
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, g::PowerSaver));
    EXPECT_FALSE(g_bActiveListed);
    EXPECT_GT(fakes::Store().planNameReads, reads);

    fakes::Store().active = g::HighPerformance;
    RefreshCurrentPlan(kActiveSchemeMarkerForced);
    EXPECT_STREQ(activepsi.szName, L"High performance");
    EXPECT_TRUE(g_bActiveListed);

    fakes::Store().activeError = ERROR_GEN_FAILURE;
    RefreshCurrentPlan(kActiveSchemeMarker);
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, g::HighPerformance));  // unchanged
}

TEST_F(PlanListTest, StaleExtensionKeysAreRemovedUnlessTheyHoldFactorySettings) {
    AddWindowsPlans();
    const GUID gone = fakes::MakeGuid(0x99);
    const GUID goneWithSnapshot = fakes::MakeGuid(0x98);
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::Balanced), L"LedNo", 1);
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(gone), L"LedNo", 2);
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(goneWithSnapshot) + L"\\DefaultSettings", L"IconNo", 1);
    // a braced key name and a foreign key are not plan keys of this program's making
    const std::wstring foreign = std::wstring(testreg::kKey) + L"\\PowerSettings\\Notes";
    testreg::CreateKey(HKEY_LOCAL_MACHINE, foreign);
    RefreshPlanList();
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::Balanced)));
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(gone)));
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(goneWithSnapshot)));
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, foreign));
}

TEST_F(PlanListTest, EnumerationCutShortByAnErrorLosesNoKey) {
    AddWindowsPlans();
    fakes::Store().AddPlan(kX, L"X");
    for (const GUID* p : {&g::Balanced, &g::HighPerformance, &g::PowerSaver, &kX}) {
        testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(*p), L"LedNo", 1);
    }
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY), L"LedNo", 1);  // stale
    fakes::Store().enumerateFailIndex = 2;
    fakes::Store().enumerateError = ERROR_ACCESS_DENIED;
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 2u);
    for (const GUID* p : {&g::Balanced, &g::HighPerformance, &g::PowerSaver, &kX, &kY}) {
        EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(*p)));
    }
    // the next normal refresh removes only the stale key
    fakes::Store().enumerateFailIndex = -1;
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 4u);
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX)));
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY)));
}

TEST_F(PlanListTest, RefreshTimesOutWhileTheLockIsHeldAndKeepsTheOldList) {
    AddWindowsPlans();
    RefreshPlanList();
    ASSERT_EQ(g_PlanCount, 3u);
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
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    fakes::Store().AddPlan(kX, L"X");
    testreg::MarkErrorLog();
    const DWORD start = GetTickCount();
    RefreshPlanList();
    const DWORD waited = GetTickCount() - start;
    EXPECT_EQ(g_PlanCount, 3u);  // skipped
    EXPECT_GE(waited, 900u);
    const std::vector<std::wstring> lines = testreg::NewErrorLogLines();
    ASSERT_EQ(lines.size(), 1u);  // the time-out, with the caller's detail 1
    EXPECT_NE(lines[0].find(L"(0x1)"), std::wstring::npos);
    SetEvent(release);
    WaitForSingleObject(holder, 5000);
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 4u);
    CloseHandle(holder);
    CloseHandle(ready);
    CloseHandle(release);
    ClosePlanListLock();
}

TEST_F(PlanListTest, ForcedMarkerRereadsTheCurrentPlanEvenWhenTheLockTimesOut) {
    AddWindowsPlans();
    RefreshCurrentPlan(kActiveSchemeMarker);
    ASSERT_STREQ(activepsi.szName, L"Balanced");
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
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    fakes::Store().Find(g::Balanced)->name = L"Renamed";
    fakes::Store().active = g::PowerSaver;
    testreg::MarkErrorLog();
    const DWORD start = GetTickCount();
    RefreshCurrentPlan(kActiveSchemeMarkerForced);
    EXPECT_GE(GetTickCount() - start, 5900u);
    // the present plan is read again without the lock; the active scheme is not taken
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, g::Balanced));
    EXPECT_STREQ(activepsi.szName, L"Renamed");
    const std::vector<std::wstring> lines = testreg::NewErrorLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"(0xd)"), std::wstring::npos);
    SetEvent(release);
    WaitForSingleObject(holder, 5000);
    CloseHandle(holder);
    CloseHandle(ready);
    CloseHandle(release);
    ClosePlanListLock();
}

}  // namespace
