// Message 0x540 and 0x541 on the main window: the origin saved and restored, the level's plan,
// the questions before a demand-driven switch, the user's own change, the restart on the same day.
#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/main_window.h"
#include "app/thread_pause.h"
#include "app/window_classes.h"
#include "peakcut/peakcut.h"
#include "plans/guid_text.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "tests/peakcut/fake_library.h"
#include "tests/peakcut/fake_system.h"
#include "tests/solvane_app/test_support.h"
#include "tests/support/main_window_harness.h"

namespace {

using namespace fakesys;

constexpr wchar_t kEfEnv[] = L"Software\\Orvel\\Solvane\\EFEnv";
constexpr wchar_t kProgramKeyPath[] = L"Software\\Orvel\\Solvane";

bool Same(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != FALSE; }

class LevelMessages : public testing::Test {
protected:
    void SetUp() override {
        fakelib::Reset();
        fakesys::Install();
        ResetPeakCutState();
        m_origin.Delete();
        m_flag.Delete();
        m_persistent.Delete();
        ASSERT_NO_FATAL_FAILURE(m_main.Prepare());
        ASSERT_NO_FATAL_FAILURE(m_main.CreateMain());
        m_hwnd = m_main.Window();
    }
    void TearDown() override {
        m_main.Release();
        ResetPeakCutState();
        fakesys::Uninstall();
    }
    static void ResetPeakCutState() {
        plans::g_dwPeakCutLevel = 0;
        plans::g_dwPeakCutReason = 0;
        plans::g_bSelfSwitchFlag = false;
        peakcut::g_dwPendingNotice = 0;
    }
    void Level(DWORD level, DWORD reason) { SendMessageW(m_hwnd, WM_APP_PEAK_CUT_LEVEL, level, reason); }
    GUID Origin() {
        GUID origin{};
        EXPECT_EQ(peakcut::ReadOrigin(&origin), ERROR_SUCCESS);
        return origin;
    }
    DWORD StoredLevel() {
        DWORD value = 0xFFFF;
        DWORD size = sizeof(value);
        RegGetValueW(HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutLevel", RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }
    // The active-scheme notification as the system delivers it after a switch.
    void PlanNotification(const GUID& plan) { plans::NotePlanChangeDuringPeakCut(plan); }

    testsupport::MainWindowHarness m_main;
    HWND m_hwnd = nullptr;
    testsupport::ScopedRegValue m_level{HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutLevel"};
    testsupport::ScopedRegValue m_origin{HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutOrigin"};
    testsupport::ScopedRegValue m_flag{HKEY_LOCAL_MACHINE, kEfEnv, L"UserChangeFlag"};
    testsupport::ScopedRegValue m_persistent{HKEY_LOCAL_MACHINE, kEfEnv, L"LevelPersistent"};
    testsupport::ScopedRegValue m_settings{HKEY_CURRENT_USER, kProgramKeyPath, L"Settings"};
    testsupport::ScopedRegValue m_saveColor{HKEY_CURRENT_USER, kProgramKeyPath, L"SaveColor"};
};

TEST_F(LevelMessages, TimeWindowEpisodeSavesAndRestoresTheOrigin) {
    struct Case {
        const char* name;
        bool threeMode;
        DWORD level;
        GUID levelPlan;
    } cases[] = {
        {"two modes, Lv2", false, 2, kEcoPlan},
        {"three modes, Lv1", true, 1, kMode2Plan},
        {"three modes, Lv2", true, 2, kMode3Plan},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakesys::Install();
        ResetPeakCutState();
        g_State.threeMode = c.threeMode;
        Level(c.level, peakcut::kReasonTimeWindow);
        ASSERT_EQ(g_State.activations.size(), 1u);
        EXPECT_TRUE(Same(g_State.activations[0], c.levelPlan));
        EXPECT_TRUE(Same(Origin(), kUserPlan));
        EXPECT_EQ(StoredLevel(), c.level);
        EXPECT_TRUE(plans::g_bSelfSwitchFlag.load());
        EXPECT_TRUE(g_State.questions.empty()) << "a time window switches without a question";
        PlanNotification(c.levelPlan);  // the own switch is not the user's
        EXPECT_EQ(plans::g_dwPeakCutReason.load(), peakcut::kReasonTimeWindow);

        Level(0, peakcut::kReasonNone);
        ASSERT_EQ(g_State.activations.size(), 2u);
        EXPECT_TRUE(Same(g_State.activations[1], kUserPlan));
        EXPECT_TRUE(plans::IsNullGuid(Origin()));
        EXPECT_EQ(StoredLevel(), 0u);
    }
}

TEST_F(LevelMessages, TwoModeLevelOneKeepsThePlan) {
    Level(1, peakcut::kReasonTimeWindow);
    ASSERT_EQ(g_State.activations.size(), 1u);
    EXPECT_TRUE(Same(g_State.activations[0], kUserPlan));
    EXPECT_FALSE(plans::g_bSelfSwitchFlag.load());
}

TEST_F(LevelMessages, DemandAsksFirst) {
    struct Case {
        const char* name;
        bool threeMode;
        int answer;
        bool switchFlag;
        GUID expected;  // GUID_NULL: no switch
    } cases[] = {
        {"ECO form, yes (also the 30 s answer)", false, IDYES, true, kEcoPlan},
        {"ECO form, no", false, IDNO, true, GUID{}},
        {"mode-3 form, no (also the 30 s answer)", true, IDNO, false, GUID{}},
        {"mode-3 form, yes", true, IDYES, false, kMode3Plan},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakesys::Install();
        ResetPeakCutState();
        g_State.threeMode = c.threeMode;
        g_State.answer = c.answer;
        Level(2, peakcut::kReasonDemand);
        ASSERT_EQ(g_State.questions.size(), 1u);
        EXPECT_EQ(g_State.questions[0].switchFlag, c.switchFlag);
        EXPECT_EQ(g_State.questions[0].level, 2);
        if (plans::IsNullGuid(c.expected)) {
            EXPECT_TRUE(g_State.activations.empty());
        } else {
            ASSERT_EQ(g_State.activations.size(), 1u);
            EXPECT_TRUE(Same(g_State.activations[0], c.expected));
        }
        EXPECT_EQ(plans::g_dwPeakCutLevel.load(), 2u);
    }
}

TEST_F(LevelMessages, DemandOnTheEcoPlanAsksNothing) {
    g_State.active = kEcoPlan;
    Level(2, peakcut::kReasonDemand);
    EXPECT_TRUE(g_State.questions.empty());
    EXPECT_TRUE(g_State.activations.empty());
}

TEST_F(LevelMessages, PendingNoticeReportsTheSameLevelAgain) {
    g_State.answer = IDNO;
    Level(2, peakcut::kReasonDemand);
    Level(2, peakcut::kReasonDemand);
    EXPECT_EQ(g_State.questions.size(), 1u) << "the same level is not asked again";
    peakcut::g_dwPendingNotice = 1;
    Level(2, peakcut::kReasonDemand);
    EXPECT_EQ(g_State.questions.size(), 2u);
}

TEST_F(LevelMessages, LevelThreeAsksToHibernateAndActivatesNothing) {
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer);
        fakesys::Install();
        ResetPeakCutState();
        g_State.desktop = true;
        g_State.answer = answer;
        Level(3, peakcut::kReasonDemand);
        ASSERT_EQ(g_State.questions.size(), 1u);
        EXPECT_EQ(g_State.questions[0].level, 3);
        EXPECT_EQ(g_State.hibernations, answer == IDYES ? 1 : 0);
        // "apply now" at level 3: there is no plan for it.
        SendMessageW(m_hwnd, WM_APP_PEAK_CUT_APPLY, 0, 0);
        EXPECT_TRUE(g_State.activations.empty());
        // Back to level 2 (demand above the threshold): the ECO question, no second hibernation.
        Level(2, peakcut::kReasonDemand);
        EXPECT_EQ(g_State.hibernations, answer == IDYES ? 1 : 0);
        EXPECT_EQ(g_State.questions.back().level, 2);
    }
}

TEST_F(LevelMessages, UserChangeDuringLevelTwoIsKept) {
    Level(2, peakcut::kReasonTimeWindow);
    PlanNotification(kEcoPlan);  // the own switch
    // The user picks another plan.
    g_State.active = kOtherPlan;
    PlanNotification(kOtherPlan);
    EXPECT_EQ(plans::g_dwPeakCutReason.load(), peakcut::kReasonUserChanged);
    EXPECT_TRUE(Same(Origin(), kOtherPlan));
    SYSTEMTIME today{};
    GetLocalTime(&today);
    EXPECT_TRUE(peakcut::UserChangedOn(today));
    SendMessageW(m_hwnd, WM_APP_PEAK_CUT_APPLY, 0, 0);
    EXPECT_EQ(g_State.activations.size(), 1u) << "no switch back while the user took over";

    Level(0, peakcut::kReasonNone);
    EXPECT_EQ(g_State.activations.size(), 1u) << "the user's plan stays";
    EXPECT_TRUE(plans::IsNullGuid(Origin()));
    EXPECT_FALSE(peakcut::UserChangedOn(today));
    EXPECT_EQ(plans::g_dwPeakCutLevel.load(), 0u);
}

TEST_F(LevelMessages, RestartOnTheSameDayAfterAUserChange) {
    SYSTEMTIME today{};
    GetLocalTime(&today);
    ASSERT_EQ(m_flag.SetRaw(REG_BINARY, &today, sizeof(today)), ERROR_SUCCESS);
    EXPECT_EQ(peakcut::SettleStartup(2, peakcut::kReasonTimeWindow, today), peakcut::kReasonUserChanged);
    Level(2, peakcut::kReasonUserChanged);
    EXPECT_TRUE(g_State.activations.empty()) << "no automatic switching";
    EXPECT_TRUE(g_State.questions.empty());
    EXPECT_EQ(plans::g_dwPeakCutLevel.load(), 2u);

    // On another day the flag is dropped.
    SYSTEMTIME yesterday = today;
    yesterday.wDay = today.wDay == 1 ? 2 : today.wDay - 1;
    ASSERT_EQ(m_flag.SetRaw(REG_BINARY, &yesterday, sizeof(yesterday)), ERROR_SUCCESS);
    EXPECT_EQ(peakcut::SettleStartup(2, peakcut::kReasonTimeWindow, today), peakcut::kReasonTimeWindow);
    SYSTEMTIME stored{};
    ASSERT_EQ(peakcut::ReadUserChangeDay(&stored), ERROR_SUCCESS);
    EXPECT_EQ(stored.wYear, 0u) << "cleared to 16 zero bytes";
}

TEST_F(LevelMessages, StartupAtLevelZeroRestoresASavedOrigin) {
    g_State.threeMode = true;
    ASSERT_EQ(peakcut::WriteOrigin(kOtherPlan), ERROR_SUCCESS);
    ASSERT_EQ(peakcut::WriteLevelPersistent(2), ERROR_SUCCESS);
    SYSTEMTIME today{};
    GetLocalTime(&today);
    peakcut::SettleStartup(0, 0, today);
    ASSERT_EQ(g_State.activations.size(), 1u);
    EXPECT_TRUE(Same(g_State.activations[0], kOtherPlan));
    EXPECT_TRUE(plans::IsNullGuid(Origin()));
    DWORD persistent = 9;
    EXPECT_EQ(peakcut::ReadLevelPersistent(&persistent), ERROR_SUCCESS);
    EXPECT_EQ(persistent, 0u);
}

TEST_F(LevelMessages, ActivePlanUnreadableDropsTheLevel) {
    g_State.getResult = ERROR_ACCESS_DENIED;
    Level(2, peakcut::kReasonTimeWindow);
    EXPECT_EQ(plans::g_dwPeakCutLevel.load(), 0u);
    EXPECT_EQ(plans::g_dwPeakCutReason.load(), 0u);
    EXPECT_TRUE(g_State.activations.empty());
}

TEST_F(LevelMessages, FailedSwitchLeavesNoOwnChangeMark) {
    g_State.setResult = ERROR_ACCESS_DENIED;
    Level(2, peakcut::kReasonTimeWindow);
    EXPECT_EQ(g_State.activations.size(), 1u);
    EXPECT_FALSE(plans::g_bSelfSwitchFlag.load()) << "else the user's next change would be taken as ours";
}

TEST_F(LevelMessages, OutOfRangeMessagesAreIgnored) {
    Level(4, 1);
    Level(2, 4);
    EXPECT_EQ(plans::g_dwPeakCutLevel.load(), 0u);
    EXPECT_TRUE(g_State.activations.empty());
}

TEST_F(LevelMessages, TargetPlanFollowsLevelPersistent) {
    const GUID three[3] = {kMode1Plan, kMode2Plan, kMode3Plan};
    const GUID two[3] = {kEcoPlan, kStandardPlan, GUID{}};
    EXPECT_TRUE(Same(peakcut::PeakCutTargetPlan(1, true, three, 0), kMode2Plan));
    EXPECT_TRUE(Same(peakcut::PeakCutTargetPlan(1, true, three, 2), kMode3Plan));
    EXPECT_TRUE(Same(peakcut::PeakCutTargetPlan(2, true, three, 0), kMode3Plan));
    EXPECT_TRUE(Same(peakcut::PeakCutTargetPlan(2, true, three, 1), kMode2Plan));
    EXPECT_TRUE(plans::IsNullGuid(peakcut::PeakCutTargetPlan(3, true, three, 0)));
    EXPECT_TRUE(Same(peakcut::PeakCutTargetPlan(2, false, two, 0), kEcoPlan));
    EXPECT_TRUE(plans::IsNullGuid(peakcut::PeakCutTargetPlan(1, false, two, 0)));
}

}  // namespace
