// The ECO button's choice rules, driven without a window.
#include "plans/mode_choice.h"
#include "plans/mode_switch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plans::ThreeModeChoice;
using plans::TwoModeChoice;

// The slots shown after each further press.
std::vector<int> Presses(ThreeModeChoice& choice, int count) {
    std::vector<int> shown;
    for (int i = 0; i < count; ++i) {
        choice.Press();
        shown.push_back(choice.Chosen());
    }
    return shown;
}

TEST(ThreeModeChoice, AllSlotsSetCycleFromTheActiveSlot) {
    ThreeModeChoice choice;
    const bool set[3] = {true, true, true};
    ASSERT_TRUE(choice.Open(set, 2, 0));
    EXPECT_EQ(choice.Initial(), 2);
    EXPECT_EQ(choice.Chosen(), 2) << "the first press only shows the current mode";
    EXPECT_EQ(Presses(choice, 4), (std::vector<int>{3, 1, 2, 3}));
}

TEST(ThreeModeChoice, EmptyMiddleSlotIsSkipped) {
    ThreeModeChoice choice;
    const bool set[3] = {true, false, true};
    ASSERT_TRUE(choice.Open(set, 1, 0));
    EXPECT_EQ(choice.Chosen(), 1);
    EXPECT_EQ(Presses(choice, 3), (std::vector<int>{3, 1, 3}));
}

TEST(ThreeModeChoice, SingleSlotIsReachedFromAnyPlace) {
    for (int only = 1; only <= 3; ++only) {
        ThreeModeChoice choice;
        bool set[3] = {false, false, false};
        set[only - 1] = true;
        ASSERT_TRUE(choice.Open(set, 0, 0)) << only;
        EXPECT_EQ(choice.Chosen(), 0) << "no slot of the active plan";
        EXPECT_EQ(Presses(choice, 3), (std::vector<int>{only, only, only})) << only;
        EXPECT_EQ(choice.SlotToActivate(), only);
    }
}

TEST(ThreeModeChoice, ActivePlanOutsideTheSlotsStartsAtNone) {
    ThreeModeChoice choice;
    const bool set[3] = {false, true, true};
    ASSERT_TRUE(choice.Open(set, 0, 0));
    EXPECT_EQ(choice.SlotToActivate(), 0) << "the first press switches nothing";
    EXPECT_EQ(Presses(choice, 3), (std::vector<int>{2, 3, 2}));
}

TEST(ThreeModeChoice, ActiveSlotThatIsNotSetCountsAsNone) {
    ThreeModeChoice choice;
    const bool set[3] = {true, false, true};
    ASSERT_TRUE(choice.Open(set, 2, 0));
    EXPECT_EQ(choice.Initial(), 0);
}

TEST(ThreeModeChoice, RefusesWithoutAnySlot) {
    ThreeModeChoice choice;
    const bool none[3] = {false, false, false};
    EXPECT_FALSE(choice.Open(none, 0, 0));
    EXPECT_FALSE(choice.IsOpen());
}

TEST(ThreeModeChoice, PeakCutLevelTwoNeedsSlotThree) {
    ThreeModeChoice choice;
    const bool withoutThree[3] = {true, true, false};
    EXPECT_FALSE(choice.Open(withoutThree, 1, 2)) << "the ECO button does nothing";
    const bool withThree[3] = {true, true, true};
    ASSERT_TRUE(choice.Open(withThree, 1, 2));
    EXPECT_EQ(Presses(choice, 3), (std::vector<int>{3, 3, 3}));
    EXPECT_EQ(choice.SlotToActivate(), 3);
}

TEST(ThreeModeChoice, PeakCutLevelOneGoesBetweenSlotsTwoAndThree) {
    ThreeModeChoice choice;
    const bool all[3] = {true, true, true};
    ASSERT_TRUE(choice.Open(all, 1, 1));
    EXPECT_EQ(Presses(choice, 4), (std::vector<int>{2, 3, 2, 3}));

    const bool noTwo[3] = {true, false, true};
    ASSERT_TRUE(choice.Open(noTwo, 1, 1));
    EXPECT_EQ(Presses(choice, 2), (std::vector<int>{3, 3}));

    const bool onlyTwo[3] = {true, true, false};
    ASSERT_TRUE(choice.Open(onlyTwo, 1, 1));
    EXPECT_EQ(Presses(choice, 2), (std::vector<int>{2, 2})) << "slot 3 missing: slot 2 is held";

    const bool onlyOne[3] = {true, false, false};
    EXPECT_FALSE(choice.Open(onlyOne, 1, 1)) << "neither slot 2 nor slot 3";
}

TEST(ThreeModeChoice, PeakCutLevelThreeChoosesFreely) {
    ThreeModeChoice choice;
    const bool all[3] = {true, true, true};
    ASSERT_TRUE(choice.Open(all, 3, 3));
    EXPECT_EQ(Presses(choice, 3), (std::vector<int>{1, 2, 3}));
}

TEST(ThreeModeChoice, ThreePressesSwitchOnceToTheLastShownSlot) {
    ThreeModeChoice choice;
    const bool all[3] = {true, true, true};
    ASSERT_TRUE(choice.Open(all, 1, 0));
    Presses(choice, 2);  // 2, 3
    EXPECT_EQ(choice.SlotToActivate(), 3);
}

TEST(ThreeModeChoice, ChoosingTheActiveSlotAgainSwitchesNothing) {
    ThreeModeChoice choice;
    const bool all[3] = {true, true, true};
    ASSERT_TRUE(choice.Open(all, 2, 0));
    EXPECT_EQ(choice.SlotToActivate(), 0);
    Presses(choice, 3);  // 3, 1, 2
    EXPECT_EQ(choice.Chosen(), 2);
    EXPECT_EQ(choice.SlotToActivate(), 0);
}

TEST(TwoModeChoice, FirstPressFromStandardSwitchesToEcoAtOnce) {
    TwoModeChoice choice;
    EXPECT_EQ(choice.Open(false, 0), plans::kTwoModeEcoSlot);
    EXPECT_EQ(choice.Shown(), plans::kTwoModeEcoSlot);
    EXPECT_FALSE(choice.Pending());
    const TwoModeChoice::TimerStep step = choice.OnTimer();
    EXPECT_EQ(step.activateSlot, 0);
    EXPECT_FALSE(step.keepOpen) << "nothing pending: the window closes";
}

TEST(TwoModeChoice, FirstPressFromEcoSwitchesToStandardUnlessPeakCutHoldsIt) {
    TwoModeChoice choice;
    EXPECT_EQ(choice.Open(true, 0), plans::kTwoModeStandardSlot);
    EXPECT_EQ(choice.Shown(), plans::kTwoModeStandardSlot);
    for (DWORD level : {1u, 2u}) {
        TwoModeChoice held;
        EXPECT_EQ(held.Open(true, level), 0) << level;
        EXPECT_EQ(held.Shown(), plans::kTwoModeEcoSlot) << level;
        held.Press();
        EXPECT_EQ(held.Shown(), plans::kTwoModeEcoSlot) << "held at level " << level;
        EXPECT_FALSE(held.Pending()) << level;
        EXPECT_FALSE(held.OnTimer().keepOpen) << level;
    }
    TwoModeChoice levelThree;
    EXPECT_EQ(levelThree.Open(true, 3), plans::kTwoModeStandardSlot) << "level 3 does not hold";
}

TEST(TwoModeChoice, FurtherPressesToggleAndTheTimerActivatesOnlyAChange) {
    TwoModeChoice choice;
    ASSERT_EQ(choice.Open(false, 0), plans::kTwoModeEcoSlot);  // activated at once
    choice.Press();
    EXPECT_EQ(choice.Shown(), plans::kTwoModeStandardSlot);
    EXPECT_TRUE(choice.Pending());
    choice.Press();
    EXPECT_EQ(choice.Shown(), plans::kTwoModeEcoSlot);
    EXPECT_TRUE(choice.Pending());
    TwoModeChoice::TimerStep step = choice.OnTimer();
    EXPECT_EQ(step.activateSlot, 0) << "back on the slot activated last: nothing to activate";
    EXPECT_TRUE(step.keepOpen) << "a pending change restarts the timer";
    step = choice.OnTimer();
    EXPECT_FALSE(step.keepOpen);
    EXPECT_FALSE(choice.IsOpen());
}

TEST(TwoModeChoice, PendingChangeIsActivatedThenTheWindowCloses) {
    TwoModeChoice choice;
    ASSERT_EQ(choice.Open(false, 0), plans::kTwoModeEcoSlot);
    choice.Press();  // to standard
    TwoModeChoice::TimerStep step = choice.OnTimer();
    EXPECT_EQ(step.activateSlot, plans::kTwoModeStandardSlot);
    EXPECT_TRUE(step.keepOpen);
    EXPECT_EQ(choice.LastActivated(), plans::kTwoModeStandardSlot);
    choice.Press();  // back to ECO during the second period
    step = choice.OnTimer();
    EXPECT_EQ(step.activateSlot, plans::kTwoModeEcoSlot);
    EXPECT_TRUE(step.keepOpen);
    step = choice.OnTimer();
    EXPECT_EQ(step.activateSlot, 0);
    EXPECT_FALSE(step.keepOpen);
}

TEST(TwoModeChoice, PressesOnAClosedMachineChangeNothing) {
    TwoModeChoice choice;
    choice.Press();
    EXPECT_EQ(choice.Shown(), 0);
    EXPECT_FALSE(choice.OnTimer().keepOpen);
    ThreeModeChoice three;
    three.Press();
    EXPECT_EQ(three.Chosen(), 0);
}

TEST(ModeLedValue, SlotsShowTheirLedNumberAndTheTwoModeStandardSlotIsOff) {
    EXPECT_EQ(plans::ModeLedValue(1, true), 1u);
    EXPECT_EQ(plans::ModeLedValue(2, true), 2u);
    EXPECT_EQ(plans::ModeLedValue(3, true), 3u);
    EXPECT_EQ(plans::ModeLedValue(plans::kTwoModeEcoSlot, false), 3u) << "ECO slot: LedNo 3";
    EXPECT_EQ(plans::ModeLedValue(plans::kTwoModeStandardSlot, false), 0u) << "standard slot: LED off";
    EXPECT_EQ(plans::ModeLedValue(0, true), 0u);
    EXPECT_EQ(plans::ModeLedValue(4, true), 0u);
    EXPECT_EQ(plans::ModeLedValue(3, false), 0u) << "no third slot in the two-mode variant";
}

TEST(PlanCommands, PinnedAndOtherPlanIdsOnly) {
    for (WORD id : {70, 71, 72, 74, 75, 300}) {
        EXPECT_TRUE(plans::IsPlanCommand(id)) << id;
    }
    for (WORD id : {47, 48, 49, 56, 69, 73}) {
        EXPECT_FALSE(plans::IsPlanCommand(id)) << id;
    }
}

}  // namespace
