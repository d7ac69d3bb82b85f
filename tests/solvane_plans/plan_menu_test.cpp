#include <gtest/gtest.h>

#include "fake_power.h"
#include "plans/guid_text.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "test_registry.h"

using namespace plans;
namespace g = fakes::g;

namespace {

const GUID kX = fakes::MakeGuid(0x61);
const GUID kY = fakes::MakeGuid(0x62);
const GUID kZ = fakes::MakeGuid(0x63);

class PlanMenuCommand : public testing::Test {
protected:
    void SetUp() override {
        testreg::ClearSolvaneKeys();
        fakes::Install();
        // Plain plan switching (no modes, LED or driver) with the three Windows plans pinned.
        g_Settings.blob.dwFlagWord = 0;
        g_Settings.nPinnedCount = DefaultPinnedPlans(FLAG_ECO | FLAG_THREE_MODE, g_Settings.pinned);
        fakes::Store().AddPlan(g::Balanced, L"Balanced");
        fakes::Store().AddPlan(g::HighPerformance, L"High performance");
        fakes::Store().AddPlan(g::PowerSaver, L"Power saver");
        fakes::Store().active = g::Balanced;
        activepsi = PlanRecord{};
    }
    void TearDown() override {
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
    }
};

// The menu showed the other plans X, Y (74, 75); before its command arrives the list changes.
// The command acts on the plan the menu showed, or on nothing when that plan is gone.
TEST_F(PlanMenuCommand, OtherPlanCommandActsOnThePlanTheMenuShowed) {
    struct Case {
        const char* name;
        void (*change)();
        WORD id;
        const GUID* shown;  // null: no menu showed the command
        DWORD result;
        const GUID* active;  // afterwards
    };
    const Case cases[] = {
        {"unchanged list", [] {}, 75, &kY, ERROR_SUCCESS, &kY},
        {"a plan inserted before the shown one",
         [] {
             fakes::FakePlan z;
             z.guid = kZ;
             z.name = L"Z";
             fakes::Store().plans.insert(fakes::Store().plans.begin(), z);
         },
         75, &kY,
         ERROR_SUCCESS, &kY},
        {"the shown plan deleted, another in its place",
         [] {
             auto& list = fakes::Store().plans;
             for (auto it = list.begin(); it != list.end(); ++it) {
                 if (IsEqualGUID(it->guid, kY)) {
                     it->guid = kZ;
                     it->name = L"Z";
                     break;
                 }
             }
         },
         75, &kY, ERROR_INVALID_INDEX, &g::Balanced},
        {"a command no menu showed: the list as it stands", [] {}, 74, nullptr, ERROR_SUCCESS, &kX},
        {"no menu showed it, beyond the list", [] {}, 76, nullptr, ERROR_INVALID_INDEX, &g::Balanced},
        {"a menu item that named no plan", [] {}, 74, &GUID_NULL, ERROR_INVALID_INDEX, &g::Balanced},
        {"a shown plan under a command id of no plan", [] {}, 60, &kX, ERROR_INVALID_INDEX, &g::Balanced},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Store().plans.clear();
        fakes::Store().AddPlan(g::Balanced, L"Balanced");
        fakes::Store().AddPlan(g::HighPerformance, L"High performance");
        fakes::Store().AddPlan(g::PowerSaver, L"Power saver");
        fakes::Store().active = g::Balanced;
        fakes::Store().AddPlan(kX, L"X");
        fakes::Store().AddPlan(kY, L"Y");
        RefreshPlanList();
        ASSERT_EQ(g_OtherPlans.size(), 2u);
        ASSERT_TRUE(IsEqualGUID(g_OtherPlans[1]->guid, kY));  // the menu shows Y as 75
        c.change();
        RefreshPlanList();
        EXPECT_EQ(SelectPlanFromMenu(c.id, c.shown), c.result);
        EXPECT_TRUE(IsEqualGUID(fakes::Store().active, *c.active));
        if (c.result == ERROR_SUCCESS) {
            EXPECT_TRUE(IsEqualGUID(activepsi.guid, *c.active)) << "the current plan follows";
        }
    }
}

// Pinned commands (72, 71, 70) resolve the same way.
TEST_F(PlanMenuCommand, PinnedCommandActivatesTheShownPlan) {
    RefreshPlanList();
    ASSERT_NE(g_PinnedPlanPtrs[1], nullptr);
    const GUID shown = g_PinnedPlanPtrs[1]->guid;
    EXPECT_EQ(SelectPlanFromMenu(IDM_PLAN_PINNED2, &shown), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(IsEqualGUID(fakes::Store().active, shown));
    fakes::Store().setActiveError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(SelectPlanFromMenu(IDM_PLAN_PINNED1, &g_PinnedPlanPtrs[0]->guid),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsEqualGUID(fakes::Store().active, shown)) << "a refused activation changes nothing";
}

// The plan is activated before any registry work the selection does: a refused activation
// leaves no trace in the chosen plan's record, a successful one moves the mode afterwards.
TEST_F(PlanMenuCommand, ModeMovesToTheChosenPlanOnlyAfterItIsActive) {
    g_Settings.blob.dwFlagWord = FLAG_ECO | FLAG_THREE_MODE;
    fakes::Store().AddPlan(kX, L"X");
    ASSERT_EQ(testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::Balanced), L"LedNo", 2), ERROR_SUCCESS);
    RefreshPlanList();
    RefreshCurrentPlan(kActiveSchemeMarkerForced);
    ASSERT_EQ(activepsi.nLedNo, 2);
    ASSERT_EQ(g_OtherPlans.size(), 1u);
    const WORD command = IDM_PLAN_OTHER_FIRST;

    fakes::Store().setActiveError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(SelectPlanFromMenu(command, &kX), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX)))
        << "nothing was written for a plan that did not become active";
    DWORD ledNo = 99;
    EXPECT_TRUE(testreg::GetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::Balanced), L"LedNo", &ledNo));
    EXPECT_EQ(ledNo, 2u);
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, g::Balanced));

    fakes::Store().setActiveError = ERROR_SUCCESS;
    EXPECT_EQ(SelectPlanFromMenu(command, &kX), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(IsEqualGUID(fakes::Store().active, kX));
    EXPECT_TRUE(testreg::GetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kX), L"LedNo", &ledNo));
    EXPECT_EQ(ledNo, 2u);
    EXPECT_TRUE(testreg::GetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(g::Balanced), L"LedNo", &ledNo));
    EXPECT_EQ(ledNo, 0u);
    EXPECT_TRUE(IsEqualGUID(activepsi.guid, kX));
    EXPECT_EQ(activepsi.nLedNo, 2) << "the current plan is read after the hand-over";
}

}  // namespace
