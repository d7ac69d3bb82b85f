// One evaluation of the peak-cut level from the time windows and the demand, against the fake
// library and a set clock.
#include <gtest/gtest.h>

#include "peakcut/peakcut.h"
#include "tests/peakcut/fake_library.h"

namespace {

using fakelib::Day;
using fakelib::g_State;

struct WindowCase {
    const char* name;
    SYSTEMTIME now;
    bool planChange;
    bool timeWindows;
    bool lv1;             // Lv1 window 13:00-16:00
    bool lv2;             // Lv2 window 15:00-15:30
    DWORD demand;         // threshold 90
    DWORD level;
    DWORD reason;
};

class Evaluate : public testing::Test {
protected:
    void SetUp() override { fakelib::Reset(); }
    DWORD Run(peakcut::PeakCutClient& client, bool desktop = false, bool userToday = false) {
        peakcut::EvalContext context;
        context.now = g_State.now;
        context.desktop = desktop;
        context.userChangedToday = userToday;
        return peakcut::EvaluatePeakCut(client, context);
    }
};

TEST_F(Evaluate, TimeWindowsAndDemandGiveTheLevelAndItsReason) {
    const WindowCase cases[] = {
        {"1 August 14:00 in Lv1", Day(2026, 8, 1, 14, 0), true, true, true, false, 0, 1, 1},
        {"1 August 16:00 last minute of Lv1", Day(2026, 8, 1, 16, 0, 59), true, true, true, false, 0, 1, 1},
        {"1 August 16:01 after Lv1", Day(2026, 8, 1, 16, 1), true, true, true, false, 0, 0, 0},
        {"12:59 before Lv1", Day(2026, 8, 1, 12, 59, 59), true, true, true, false, 0, 0, 0},
        {"30 June outside the use period", Day(2026, 6, 30, 14, 0), true, true, true, false, 99, 0, 0},
        {"1 October outside the use period", Day(2026, 10, 1, 14, 0), true, true, true, false, 99, 0, 0},
        {"plan change off", Day(2026, 8, 1, 14, 0), false, true, true, true, 99, 0, 0},
        {"time windows off", Day(2026, 8, 1, 14, 0), true, false, true, true, 0, 0, 0},
        {"Lv2 wins over Lv1", Day(2026, 8, 1, 15, 10), true, true, true, true, 0, 2, 1},
        {"demand at the threshold outside the windows", Day(2026, 8, 1, 9, 0), true, true, true, true, 90, 2, 2},
        {"demand below the threshold", Day(2026, 8, 1, 9, 0), true, true, true, true, 89, 0, 0},
        {"demand wins over Lv1", Day(2026, 8, 1, 14, 0), true, true, true, false, 95, 2, 2},
        {"Lv2 wins over demand", Day(2026, 8, 1, 15, 10), true, true, true, true, 95, 2, 1},
        {"demand counts with time windows off", Day(2026, 8, 1, 15, 10), true, false, true, true, 95, 2, 2},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        fakelib::Reset();
        g_State.now = c.now;
        g_State.planChange = c.planChange;
        g_State.timeWindows = c.timeWindows;
        g_State.lv1Set = c.lv1;
        g_State.lv1Start = {13, 0};
        g_State.lv1End = {16, 0};
        g_State.lv2Set = c.lv2;
        g_State.lv2Start = {15, 0};
        g_State.lv2End = {15, 30};
        g_State.demandLink = TRUE;
        g_State.demand = c.demand;
        peakcut::PeakCutClient client = fakelib::BoundClient();
        EXPECT_EQ(Run(client), c.level);
        EXPECT_EQ(client.level, c.level);
        EXPECT_EQ(client.reason, c.reason);
    }
}

TEST_F(Evaluate, DailyWindowOverMidnight) {
    struct Case {
        WORD hour;
        WORD minute;
        DWORD level;
    } cases[] = {{23, 29, 0}, {23, 30, 1}, {23, 59, 1}, {0, 0, 1}, {0, 15, 1}, {0, 16, 0}, {12, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hour << ":" << c.minute);
        fakelib::Reset();
        g_State.lv1Set = true;
        g_State.lv1Start = {23, 30};
        g_State.lv1End = {0, 15};
        g_State.now = Day(2026, 8, 2, c.hour, c.minute);
        peakcut::PeakCutClient client = fakelib::BoundClient();
        EXPECT_EQ(Run(client), c.level);
    }
}

TEST_F(Evaluate, LevelThreeOncePerEpisodeOnADesktop) {
    g_State.demandLink = TRUE;
    g_State.now = Day(2026, 8, 1, 9, 0);
    peakcut::PeakCutClient client = fakelib::BoundClient();
    // demand per pass and the level it gives (threshold 90, level-3 threshold 97)
    const struct {
        DWORD demand;
        DWORD level;
    } passes[] = {{98, 3}, {98, 2}, {99, 2}, {96, 2}, {97, 3}, {85, 0}, {97, 3}};
    int pass = 0;
    for (const auto& p : passes) {
        SCOPED_TRACE(testing::Message() << "pass " << pass++);
        g_State.demand = p.demand;
        EXPECT_EQ(Run(client, true), p.level);
        EXPECT_EQ(client.reason, p.level == 0 ? 0u : 2u);
    }
    EXPECT_EQ(g_State.engineStarts, 1) << "the engine is started once and kept";
}

TEST_F(Evaluate, LevelThreeThresholdFallsBackTo95AndNotebooksNeverReachIt) {
    g_State.demandLink = TRUE;
    g_State.now = Day(2026, 8, 1, 9, 0);
    g_State.thresholdLv3Ok = FALSE;
    g_State.demand = 95;
    peakcut::PeakCutClient desktop = fakelib::BoundClient();
    EXPECT_EQ(Run(desktop, true), 3u);
    g_State.demand = 94;
    peakcut::PeakCutClient other = fakelib::BoundClient();
    EXPECT_EQ(Run(other, true), 2u);
    g_State.demand = 100;
    peakcut::PeakCutClient notebook = fakelib::BoundClient();
    EXPECT_EQ(Run(notebook, false), 2u);
}

TEST_F(Evaluate, EngineFollowsTheDemandLinkAndThePlanChange) {
    g_State.demandLink = TRUE;
    g_State.demand = 95;
    peakcut::PeakCutClient client = fakelib::BoundClient();
    Run(client);
    EXPECT_EQ(client.engineStarted, 1u);
    g_State.demandLink = FALSE;
    EXPECT_EQ(Run(client), 0u) << "demand no longer counts";
    EXPECT_EQ(client.engineStarted, 0u);
    EXPECT_EQ(g_State.engineStops, 1);
    g_State.demandLink = TRUE;
    Run(client);
    EXPECT_EQ(g_State.engineStarts, 2);
    g_State.planChange = FALSE;
    EXPECT_EQ(Run(client), 0u);
    EXPECT_EQ(g_State.engineStops, 2) << "plan change off stops the engine this client started";
    Run(client);
    EXPECT_EQ(g_State.engineStops, 2) << "and only once";
}

TEST_F(Evaluate, MissingExportsAnswerLevelZero) {
    peakcut::PeakCutClient client;
    client.level = 2;
    client.reason = 2;
    EXPECT_EQ(Run(client), 0u);
    EXPECT_EQ(client.reason, 0u);
    peakcut::PeakCutClient noThreshold = fakelib::BoundClient();
    noThreshold.getThreshold = nullptr;
    g_State.demandLink = TRUE;
    g_State.demand = 100;
    g_State.now = Day(2026, 8, 1, 9, 0);
    EXPECT_EQ(Run(noThreshold), 0u) << "no threshold: demand is not compared";
}

TEST_F(Evaluate, UserChangeTodayKeepsTheReason) {
    g_State.lv1Set = true;
    g_State.lv1Start = {13, 0};
    g_State.lv1End = {16, 0};
    peakcut::PeakCutClient client = fakelib::BoundClient();
    client.reason = peakcut::kReasonUserChanged;
    EXPECT_EQ(Run(client, false, true), 1u);
    EXPECT_EQ(client.reason, peakcut::kReasonUserChanged);
    g_State.now = Day(2026, 8, 1, 17, 0);
    EXPECT_EQ(Run(client, false, true), 0u);
    EXPECT_EQ(client.reason, 0u) << "outside every window the reason falls back";
    g_State.now = Day(2026, 10, 1, 14, 0);
    client.reason = peakcut::kReasonUserChanged;
    EXPECT_EQ(Run(client, false, true), 0u);
    EXPECT_EQ(client.reason, peakcut::kReasonUserChanged) << "outside the use period it is kept";
}

}  // namespace
