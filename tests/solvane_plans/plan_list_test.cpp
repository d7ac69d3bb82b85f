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
        ClearPlanLists();  // every test starts a run: its first refresh checks every key
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

// One enumeration per refresh; the keys are checked at the first refresh and again only once
// the set of plans has changed, which still catches a plan deleted between two refreshes.
TEST_F(PlanListTest, RefreshEnumeratesOnceAndCleansUpWhenThePlanSetChanges) {
    AddWindowsPlans();
    fakes::Store().AddPlan(kX, L"X");
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX), L"LedNo", 2);
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY), L"LedNo", 1);  // stale at start
    fakes::Store().enumerateCalls = 0;
    RefreshPlanList();
    // plans + 1 calls: the one that ends the enumeration
    EXPECT_EQ(fakes::Store().enumerateCalls, 5);
    EXPECT_EQ(g_PlanCount, 4u);
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX)));
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY)));

    // Unchanged set: no cleanup, so a key written for an unknown plan now stays.
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY), L"LedNo", 1);
    fakes::Store().enumerateCalls = 0;
    RefreshPlanList();
    EXPECT_EQ(fakes::Store().enumerateCalls, 5);
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY)));

    // kX deleted between refreshes: both keys of absent plans go at the next refresh.
    fakes::Store().plans.pop_back();
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 3u);
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX)));
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY)));

    // One plan replaced by another: the same count, another set.
    fakes::Store().plans.pop_back();  // Power saver
    fakes::Store().AddPlan(kY, L"Y");
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::PowerSaver), L"LedNo", 3);
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY), L"LedNo", 1);
    RefreshPlanList();
    EXPECT_EQ(g_PlanCount, 3u);
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::PowerSaver)));
    EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kY)));
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

// The display order of the plans named by the known-plan table, entry by entry, as the maker's
// plan documentation writes them.
TEST(KnownPlanOrder, EveryEntryMatchesItsPublishedText) {
    static const wchar_t* const kTexts[] = {
        L"{6658A2A5-119C-4E4E-931B-972BCFDD14A6}", L"{B06FB371-2C24-43A7-B87B-5EEDE712B549}",
        L"{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}", L"{D3036FF0-0D25-4C9D-A96C-778C9264D4F5}",
        L"{9D65F79D-7BBE-4AA8-B1AC-E6D8A5D5B64F}", L"{814053B4-9209-49A0-99F1-115D99A35ACA}",
        L"{68FB8244-663E-4E69-BD9C-4AB509017FD5}", L"{3EE4A2D4-4543-4753-80BC-4C7CDA6C03C9}",
        L"{437E2150-08E4-498A-BDA6-E2DE2B89B506}", L"{443A836D-6360-4722-9142-5648B1791FDE}",
        L"{4A3C3C2B-B5FC-4898-B03A-A47E8163989A}", L"{3C140AFB-EA53-4F9D-B431-BCC9F0E2BBF0}",
        L"{B60905C0-3422-4F4A-BE11-575178A6D1F6}", L"{9166C53E-34BE-43DB-A1BF-043186BAC675}",
        L"{C908807A-5866-4DCA-849E-ABBC244D06AB}", L"{77199EB2-19E8-4724-8566-4840FC67C68C}",
        L"{5495058A-2CB2-4777-9C4F-C81599452117}", L"{4368BC51-AE9B-4517-AAAF-9DFD80540ACF}",
        L"{381B4222-F694-41F0-9685-FF5BB260DF2E}",
    };
    static_assert(ARRAYSIZE(kTexts) == kKnownPlanOrderCount);
    for (size_t i = 0; i < kKnownPlanOrderCount; ++i) {
        GUID expected;
        ASSERT_TRUE(ParseGuidText(kTexts[i], &expected)) << kTexts[i];
        wchar_t actual[kBracedGuidBufferChars];
        FormatBracedGuid(kKnownPlanOrder[i], actual);
        EXPECT_TRUE(IsEqualGUID(kKnownPlanOrder[i], expected)) << "entry " << i + 1 << ": " << actual;
    }
}

// Entry 17 sorts a plan of that GUID before entry 18 in the other-plans list.
TEST_F(PlanListTest, EntrySeventeenSortsBeforeEntryEighteen) {
    GUID known17;
    ASSERT_TRUE(ParseGuidText(L"{5495058A-2CB2-4777-9C4F-C81599452117}", &known17));
    AddWindowsPlans();
    fakes::Store().AddPlan(kKnown18, L"Eighteen");
    fakes::Store().AddPlan(known17, L"Seventeen");
    RefreshPlanList();
    const std::vector<std::wstring> names = OtherNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], L"Seventeen");
    EXPECT_EQ(names[1], L"Eighteen");
}

// A pinned plan whose record cannot be read is offered nowhere: no pinned pointer to an empty
// record, no entry among the other plans; repeated refreshes log its failure (error 3) once.
TEST_F(PlanListTest, PinnedPlanWithUnreadableRecordIsNotOffered) {
    struct Case {
        const GUID* unreadable;
        size_t pinnedIndex;  // kMaxPinnedPlans: not pinned
    };
    const Case cases[] = {{&g::Balanced, 0}, {&g::PowerSaver, 1}, {&g::HighPerformance, 2}, {&kX, kMaxPinnedPlans}};
    for (const Case& c : cases) {
        fakes::Uninstall();
        fakes::Install();
        AddWindowsPlans();
        fakes::Store().AddPlan(kX, L"X");
        fakes::Store().Find(*c.unreadable)->descriptionReadable = false;
        fakes::Store().Find(*c.unreadable)->descriptionError = ERROR_ACCESS_DENIED;
        testreg::MarkErrorLog();
        RefreshPlanList();
        RefreshPlanList();
        RefreshPlanList();
        for (size_t j = 0; j < kMaxPinnedPlans; ++j) {
            if (j == c.pinnedIndex) {
                EXPECT_EQ(g_PinnedPlanPtrs[j], nullptr) << "pinned entry " << j;
            } else {
                ASSERT_NE(g_PinnedPlanPtrs[j], nullptr) << "pinned entry " << j;
                EXPECT_FALSE(IsNullGuid(g_PinnedPlanPtrs[j]->guid));
                EXPECT_NE(g_PinnedPlanPtrs[j]->szName[0], L'\0');
            }
        }
        for (PlanRecord* other : g_OtherPlans) {
            EXPECT_FALSE(IsNullGuid(other->guid));
            EXPECT_FALSE(IsEqualGUID(other->guid, *c.unreadable));
        }
        EXPECT_EQ(g_OtherPlans.size(), c.pinnedIndex == kMaxPinnedPlans ? 0u : 1u);
        const std::vector<std::wstring> lines = testreg::NewErrorLogLines();
        // Error 3 with the read's error, and error 51 of the store's missing system actions: each
        // written once for the three refreshes.
        size_t descriptionRecords = 0;
        size_t actionRecords = 0;
        for (const std::wstring& line : lines) {
            descriptionRecords += line.find(L"(0x5)") != std::wstring::npos ? 1 : 0;
            actionRecords += line.find(L"(0x2)") != std::wstring::npos ? 1 : 0;
        }
        EXPECT_EQ(descriptionRecords, 1u) << testing::PrintToString(lines);
        EXPECT_EQ(actionRecords, 1u) << testing::PrintToString(lines);
        EXPECT_EQ(lines.size(), 2u) << testing::PrintToString(lines);
    }
}

// Shutdown empties the lists through the plan code, under the lock.
TEST_F(PlanListTest, ClearPlanListsEmptiesEverything) {
    AddWindowsPlans();
    RefreshPlanList();
    RefreshCurrentPlan(kActiveSchemeMarkerForced);
    ASSERT_EQ(g_PlanCount, 3u);
    ASSERT_FALSE(IsNullGuid(activepsi.guid));
    ClearPlanLists();
    EXPECT_EQ(g_PlanCount, 0u);
    EXPECT_TRUE(g_PlanList.empty());
    EXPECT_TRUE(g_OtherPlans.empty());
    for (PlanRecord* p : g_PinnedPlanPtrs) {
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_TRUE(IsNullGuid(activepsi.guid));
}
