// Runs in a fresh simulated PC: the plan-list benchmark's helpers give the machine the number of
// plans asked for, the refresh sees every one of them, and the baseline makes the same per-plan
// reads as the refresh (otherwise the printed ratio compares different work).
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

#include "bench/planlist/plan_setup.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_api.h"
#include "plans/settings.h"

using planbench::PowerCallCounts;

namespace {

// Reads of the active plan's button, lid and battery actions: made by the first refresh after
// the active plan changed, not by the refreshes after it.
constexpr DWORD kActiveActionReadsAC = 3;
constexpr DWORD kActiveActionReadsDC = 5;

class PlanSetup : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plans::CreatePlanListLock());
        m_initial = planbench::CountMachinePlans();
        ASSERT_GE(m_initial, 1u);
    }
    void TearDown() override {
        planbench::RemoveAddedPlans(&m_added);
        plans::ClosePlanListLock();
    }

    static bool Listed(const GUID& plan) {
        for (DWORD i = 0; i < plans::g_PlanCount; ++i) {
            if (IsEqualGUID(plans::g_PlanList[i].guid, plan)) {
                return true;
            }
        }
        return false;
    }

    static const plans::PlanRecord* Record(const GUID& plan) {
        for (DWORD i = 0; i < plans::g_PlanCount; ++i) {
            if (IsEqualGUID(plans::g_PlanList[i].guid, plan)) {
                return &plans::g_PlanList[i];
            }
        }
        return nullptr;
    }

    DWORD m_initial = 0;
    std::vector<GUID> m_added;
};

TEST_F(PlanSetup, GrowsTheMachineAndTheRefreshListsEveryAddedPlanByName) {
    const DWORD target = m_initial + 27;
    ASSERT_EQ(planbench::ResizePlans(target, &m_added), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(planbench::CountMachinePlans(), target);
    ASSERT_EQ(m_added.size(), 27u);

    plans::RefreshPlanList();
    ASSERT_EQ(plans::g_PlanCount, target);
    for (size_t i = 0; i < m_added.size(); ++i) {
        const plans::PlanRecord* record = Record(m_added[i]);
        ASSERT_NE(record, nullptr) << "added plan " << i + 1 << " is not listed";
        wchar_t expected[64];
        swprintf(expected, 64, L"%ls%zu", planbench::kBenchPlanNamePrefix, i + 1);
        EXPECT_STREQ(record->szName, expected);
        // The extension key exists, so the record carries the written LedNo and default icon.
        EXPECT_EQ(record->nLedNo, 0);
        EXPECT_EQ(record->nIconNo, plans::kDefaultIconNo);
    }
    for (size_t i = 0; i + 1 < m_added.size(); ++i) {
        EXPECT_FALSE(IsEqualGUID(m_added[i], m_added[i + 1])) << "plans " << i + 1 << " and " << i + 2;
    }
}

TEST_F(PlanSetup, ShrinksWithoutTouchingTheActivePlanAndRemovesWhatItAdded) {
    GUID* active = nullptr;
    ASSERT_EQ(PowerGetActiveScheme(nullptr, &active), static_cast<DWORD>(ERROR_SUCCESS));
    const GUID activePlan = *active;
    LocalFree(active);

    ASSERT_EQ(planbench::ResizePlans(m_initial + 5, &m_added), static_cast<DWORD>(ERROR_SUCCESS));
    const std::vector<GUID> firstAdded = m_added;
    ASSERT_EQ(planbench::ResizePlans(m_initial + 2, &m_added), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(planbench::CountMachinePlans(), m_initial + 2);
    ASSERT_EQ(m_added.size(), 2u);
    // The newest added plans went first.
    EXPECT_TRUE(IsEqualGUID(m_added[0], firstAdded[0]));
    EXPECT_TRUE(IsEqualGUID(m_added[1], firstAdded[1]));
    plans::RefreshPlanList();
    EXPECT_EQ(plans::g_PlanCount, m_initial + 2);
    EXPECT_TRUE(Listed(activePlan));
    for (size_t i = 2; i < firstAdded.size(); ++i) {
        EXPECT_FALSE(Listed(firstAdded[i])) << "deleted plan " << i + 1 << " is still listed";
    }

    // A machine cannot be left without plans; the active plan survives any shrinking.
    EXPECT_EQ(planbench::ResizePlans(0, &m_added), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    planbench::RemoveAddedPlans(&m_added);
    EXPECT_TRUE(m_added.empty());
    EXPECT_EQ(planbench::CountMachinePlans(), m_initial);
}

TEST_F(PlanSetup, TheBaselineMakesTheRefreshsPerPlanReadsAndOneEnumeration) {
    const DWORD target = m_initial + 10;
    ASSERT_EQ(planbench::ResizePlans(target, &m_added), static_cast<DWORD>(ERROR_SUCCESS));
    plans::ClearPlanLists();  // the next refresh is the first of a run
    planbench::CallCounter counter;
    plans::RefreshPlanList();  // removes extension keys of plans deleted before
    const PowerCallCounts refresh = counter.Counts();
    counter.Reset();
    plans::RefreshPlanList();
    const PowerCallCounts again = counter.Counts();
    counter.Reset();
    std::vector<GUID> scratch;
    EXPECT_EQ(planbench::BaselinePass(&scratch), target);
    const PowerCallCounts baseline = counter.Counts();

    EXPECT_EQ(baseline.enumerate, target + 1);  // every plan, then the end
    EXPECT_EQ(baseline.readFriendlyName, target);
    EXPECT_EQ(baseline.readDescription, target);
    EXPECT_EQ(baseline.readAC, target);
    EXPECT_EQ(baseline.readDC, target);
    EXPECT_EQ(baseline.getActiveScheme, 0u);
    EXPECT_EQ(baseline.writes, 0u);

    EXPECT_EQ(refresh.readFriendlyName, baseline.readFriendlyName);
    EXPECT_EQ(refresh.readDescription, baseline.readDescription);
    EXPECT_EQ(refresh.readAC, baseline.readAC + kActiveActionReadsAC);
    EXPECT_EQ(refresh.readDC, baseline.readDC + kActiveActionReadsDC);
    EXPECT_EQ(refresh.getActiveScheme, 1u);
    EXPECT_EQ(refresh.writes, 0u);
    // One enumeration serves counting, listing and the stale-key check.
    EXPECT_EQ(refresh.enumerate, target + 1);
    // The same active plan, nothing written: its actions are not read again.
    EXPECT_EQ(again.enumerate, target + 1);
    EXPECT_EQ(again.readAC, baseline.readAC);
    EXPECT_EQ(again.readDC, baseline.readDC);
    EXPECT_EQ(again.getActiveScheme, 1u);
}

TEST(PlanCounter, CountsOnlyWhileItLivesAndPutsPowrprofBack) {
    std::vector<GUID> scratch;
    {
        planbench::CallCounter counter;
        EXPECT_NE(reinterpret_cast<void*>(plans::Power().enumerate), reinterpret_cast<void*>(&PowerEnumerate));
        planbench::BaselinePass(&scratch);
        EXPECT_EQ(counter.Counts().enumerate, static_cast<DWORD>(scratch.size()) + 1);
    }
    EXPECT_EQ(reinterpret_cast<void*>(plans::Power().enumerate), reinterpret_cast<void*>(&PowerEnumerate));
    EXPECT_EQ(reinterpret_cast<void*>(plans::Power().readFriendlyName),
              reinterpret_cast<void*>(&PowerReadFriendlyName));
}

}  // namespace
