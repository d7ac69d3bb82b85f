// Boost on the simulated notebook: on and off on plans that allow it and on one that refuses,
// the saved block with its plan, the hand-over to another plan and the restore at the next start.
#include <gtest/gtest.h>
#include <windows.h>
#include <powrprof.h>

#include <cstring>
#include <string>
#include <vector>

#include "battery/auto_change.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "meter/boost.h"
#include "meter_sim_support.h"
#include "plans/guid_text.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "solvane_process.h"
#include "tests/sim_devices/device_io.h"

using namespace metertest;

namespace {

bool g_onLine = true;

BOOL LineStatus(SYSTEM_POWER_STATUS* status) {
    *status = SYSTEM_POWER_STATUS{};
    status->ACLineStatus = g_onLine ? 1 : 0;
    return TRUE;
}

// The stored block (empty when absent) and the plan named beside it.
std::vector<DWORD> SavedBlock(GUID* owner = nullptr) {
    common::UniqueRegKey key;
    std::vector<DWORD> block(8);
    DWORD cb = static_cast<DWORD>(block.size() * sizeof(DWORD));
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        RegQueryValueExW(key.Get(), L"Saved_pt", nullptr, nullptr, reinterpret_cast<BYTE*>(block.data()), &cb) !=
            ERROR_SUCCESS) {
        return {};
    }
    block.resize(cb / sizeof(DWORD));
    if (owner != nullptr) {
        wchar_t text[64] = L"";
        *owner = GUID_NULL;
        if (common::ReadRegString(key.Get(), L"Saved_pt_plan", text, 64) == ERROR_SUCCESS) {
            plans::ParseGuidText(text, owner);
        }
    }
    return block;
}

class BoostSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        plans::g_Settings.dwLowerLimit = plans::kDefaultLowerLimit;   // 50
        plans::g_Settings.blob.dwFlagWord = plans::FLAG_BATTERY;
        battery::g_BatteryHooks.getSystemPowerStatus = LineStatus;
        g_onLine = true;
        Activate(plans::kPlanBalanced);
    }
    void TearDown() override {
        meter::BoostOff();
        battery::g_BatteryHooks = battery::BatteryHooks{};
        DeleteFileW(L"error.log");
    }
};

TEST_F(BoostSimTest, NotebookBoostOnAndOffFollowsThePlansPresets) {
    struct {
        const char* name;
        GUID plan;
        bool onLine;
        Pair before;
        bool boosts;
        std::vector<DWORD> saved;   // the block written by the boost
    } cases[] = {
        {"balanced on mains (5/100, own pair)", plans::kPlanBalanced, true, kBalanced, true, {5, 100, 255, 5, 100, 255}},
        {"power saver on battery (5/50, low)", plans::kPlanPowerSaver, false, kSaver, true, {5, 100, 255, 5, 50, 2}},
        {"high performance on mains (100/100)", plans::kPlanHighPerformance, true, kHigh, false, {}},
    };
    for (const auto& c : cases) {
        Activate(c.plan);
        g_onLine = c.onLine;
        ASSERT_EQ(Values(c.plan), c.before) << c.name;
        EXPECT_EQ(meter::BoostOn(), c.boosts) << c.name;
        EXPECT_EQ(meter::BoostActive(), c.boosts) << c.name;
        GUID owner = GUID_NULL;
        EXPECT_EQ(SavedBlock(&owner), c.saved) << c.name;
        if (c.boosts) {
            EXPECT_EQ(Values(c.plan), kFull) << c.name;
            EXPECT_TRUE(IsEqualGUID(owner, c.plan)) << c.name;
            EXPECT_TRUE(IsEqualGUID(meter::BoostedPlan(), c.plan)) << c.name;
        }
        EXPECT_EQ(meter::BoostOff(), c.boosts) << c.name;
        EXPECT_EQ(Values(c.plan), c.before) << c.name;
        EXPECT_TRUE(SavedBlock().empty()) << c.name;
        EXPECT_TRUE(IsEqualGUID(ActivePlan(), c.plan)) << c.name;
    }
    // The refusal is silent.
    EXPECT_EQ(ErrorLog(), L"");
}

TEST_F(BoostSimTest, NotebookBoostEndsInItsOwnPlanWhenAnotherPlanBecomesActive) {
    ASSERT_TRUE(meter::BoostOn());
    Activate(plans::kPlanPowerSaver);
    EXPECT_FALSE(meter::EndBoostForPlanChange(plans::kPlanBalanced));   // still its own plan: nothing ends
    EXPECT_TRUE(meter::EndBoostForPlanChange(plans::kPlanPowerSaver));
    EXPECT_FALSE(meter::BoostActive());
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(Values(plans::kPlanPowerSaver), kSaver);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanPowerSaver));
}

TEST_F(BoostSimTest, NotebookBoostMovesWithTheAutomaticChangeAndBack) {
    ASSERT_EQ(battery::CreateAutoChangeMutex(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(battery::CreateAutoChangeEvent(), static_cast<DWORD>(ERROR_SUCCESS));
    battery::g_AutoChangeHooks.boostActive = meter::BoostActive;
    battery::g_AutoChangeHooks.moveBoost = meter::MoveBoost;
    battery::AutoRecord record = battery::DefaultAutoRecord();
    record.bChecked = 1;
    battery::SetAutoRecord(record);
    ASSERT_TRUE(meter::BoostOn());
    std::string output;
    ASSERT_EQ(simdev_test::RunSimctl(L"battery --full 10000 --design 10000 --ac off --percent 10", output), 0);
    battery::CheckBattery();
    g_onLine = false;
    ASSERT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchToTarget);
    EXPECT_TRUE(meter::BoostActive());
    EXPECT_TRUE(IsEqualGUID(meter::BoostedPlan(), plans::kPlanPowerSaver));
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(Values(plans::kPlanPowerSaver), kFull);
    GUID owner = GUID_NULL;
    EXPECT_EQ(SavedBlock(&owner), (std::vector<DWORD>{5, 100, 255, 5, 50, 2}));
    EXPECT_TRUE(IsEqualGUID(owner, plans::kPlanPowerSaver));

    ASSERT_EQ(simdev_test::RunSimctl(L"battery --full 10000 --design 10000 --ac on --charging on --percent 50", output), 0);
    battery::CheckBattery();
    g_onLine = true;
    ASSERT_EQ(battery::RunAutoChangePass(), battery::AutoAction::SwitchBack);
    EXPECT_TRUE(IsEqualGUID(meter::BoostedPlan(), plans::kPlanBalanced));
    EXPECT_EQ(Values(plans::kPlanPowerSaver), kSaver);
    EXPECT_EQ(Values(plans::kPlanBalanced), kFull);
    EXPECT_TRUE(meter::BoostOff());
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    battery::CloseAutoChangeObjects();
    battery::g_AutoChangeHooks = battery::AutoChangeHooks{};
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_SET_VALUE, key) == ERROR_SUCCESS) {
        common::DeleteRegValue(key.Get(), L"Auto");
    }
}

TEST_F(BoostSimTest, NotebookBlockWithoutItsPlanGoesOnlyIntoAPlanStillAtFullSpeed) {
    struct {
        const char* name;
        bool activeAtFull;
        Pair after;
    } cases[] = {
        {"active plan at full speed takes the block", true, {5, 60, 5, 40}},
        {"active plan not at full speed keeps its values", false, kBalanced},
    };
    for (const auto& c : cases) {
        if (c.activeAtFull) {
            plans::ProcessorPair full{100, 100, plans::PRESET_HIGH, 100, 100, plans::PRESET_HIGH};
            ASSERT_TRUE(plans::WriteProcessorPair(plans::kPlanBalanced, full));
        }
        // A block as an earlier version left it: no plan beside it.
        const DWORD block[6] = {5, 60, 255, 5, 40, 255};
        {
            common::UniqueRegKey key;
            ASSERT_EQ(common::CreateRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_SET_VALUE, key),
                      ERROR_SUCCESS);
            ASSERT_EQ(common::WriteRegBinary(key.Get(), L"Saved_pt", block, sizeof(block)), ERROR_SUCCESS);
        }
        meter::RestoreInterruptedBoost();
        EXPECT_EQ(Values(plans::kPlanBalanced), c.after) << c.name;
        EXPECT_TRUE(SavedBlock().empty()) << c.name;
        plans::ProcessorPair original{5, 100, plans::PRESET_USER, 5, 100, plans::PRESET_USER};
        ASSERT_TRUE(plans::WriteProcessorPair(plans::kPlanBalanced, original));
    }
}

TEST_F(BoostSimTest, NotebookBoostInterruptedByTheEndOfTheProgramIsRestoredOnlyIntoItsPlan) {
    // The program that boosted ended without switching the boost off; another plan was
    // activated meanwhile.
    ASSERT_TRUE(meter::BoostOn());
    Activate(plans::kPlanPowerSaver);
    ASSERT_EQ(Values(plans::kPlanBalanced), kFull);
    ASSERT_EQ(SavedBlock().size(), 6u);

    testsupport::SolvaneProcess program;
    HWND main = program.StartHere();
    ASSERT_NE(main, nullptr);
    // The restore runs before the main window exists.
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(Values(plans::kPlanPowerSaver), kSaver);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanPowerSaver));
    EXPECT_TRUE(SavedBlock().empty());
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(program.WaitForExit(testsupport::kProcessTimeoutMs, &exitCode));
}

}  // namespace
