#include <gtest/gtest.h>

#include "vendrel/delay.h"
#include "vendrel/steps.h"

using namespace vendrel;

// The step masks of the four switches, checked when this file compiles.
static_assert(MASK_COMMIT == 0xA6FB);
static_assert(MASK_UNINSTALL == 0x5141);
static_assert(MASK_STANDALONE == 0x0E3B);
static_assert(MASK_UPDATE == 0x0021);
static_assert(MASK_DEFAULT == STEP_FIX_KEY_RIGHTS);
// /Commit: close, path, exists, plans, both tasks, rights, start; never delete or wait.
static_assert((MASK_COMMIT & STEP_TASK_REGFIX) && (MASK_COMMIT & STEP_TASK_RUN));
static_assert(!(MASK_COMMIT & STEP_DELETE_TASKS) && !(MASK_COMMIT & STEP_WAIT_AND_CLOSE));
static_assert((MASK_UNINSTALL & STEP_REMOVE_LED_NO) && !(MASK_UNINSTALL & STEP_FIX_KEY_RIGHTS));

TEST(StepMask, FirstSwitchInFixedOrderWins) {
    EXPECT_EQ(MASK_COMMIT, SelectStepMask(L"Vendrel.exe /Update /Commit"));
    EXPECT_EQ(MASK_COMMIT, SelectStepMask(L"Vendrel.exe /Commit /Update"));
    EXPECT_EQ(MASK_COMMIT, SelectStepMask(L"Vendrel.exe /Uninstall /Commit"));
    EXPECT_EQ(MASK_UNINSTALL, SelectStepMask(L"Vendrel.exe /StandAlone /Uninstall"));
    EXPECT_EQ(MASK_STANDALONE, SelectStepMask(L"Vendrel.exe /Update /StandAlone"));
    EXPECT_EQ(MASK_UPDATE, SelectStepMask(L"Vendrel.exe /Update delay=0000:30"));
}

TEST(StepMask, SwitchesAreCaseSensitiveAndDefaultRepairsRights) {
    EXPECT_EQ(MASK_DEFAULT, SelectStepMask(L"Vendrel.exe /commit"));
    EXPECT_EQ(MASK_DEFAULT, SelectStepMask(L"Vendrel.exe /UNINSTALL"));
    EXPECT_EQ(MASK_DEFAULT, SelectStepMask(L"Vendrel.exe"));
    EXPECT_EQ(MASK_DEFAULT, SelectStepMask(nullptr));
}

TEST(DelayArgument, GivesTheDelayAndTenSecondsLater) {
    TaskDelays delays;
    ASSERT_TRUE(ParseDelayArgument(L"delay=0000:55", &delays));
    EXPECT_TRUE(delays.present);
    EXPECT_STREQ(L"0000:55", delays.regFix);
    EXPECT_STREQ(L"0001:05", delays.run);

    ASSERT_TRUE(ParseDelayArgument(L"/DELAY=0001:30", &delays));
    EXPECT_STREQ(L"0001:30", delays.regFix);
    EXPECT_STREQ(L"0001:40", delays.run);

    ASSERT_TRUE(ParseDelayArgument(L"TaskDelay=0059:50", &delays));
    EXPECT_STREQ(L"0060:00", delays.run);
}

TEST(DelayArgument, LongestDelayStaysInFourMinuteDigits) {
    TaskDelays delays;
    ASSERT_TRUE(ParseDelayArgument(L"delay=9999:55", &delays));
    EXPECT_STREQ(L"9999:55", delays.regFix);
    EXPECT_STREQ(L"9999:59", delays.run);
}

TEST(DelayArgument, RefusesEverythingButDigits) {
    const wchar_t* refused[] = {
        L"delay=1:30",          // wrong length
        L"delay=00001:30",      // wrong length
        L"delay=0001-30",       // no colon
        L"=0001:30",            // empty name
        L"delay=",              // empty value
        L"delay",               // no name=value
        L"dela=0001:30",        // not a delay argument
        L"delay=0001:60",       // seconds out of range
        L"delay=00&1:30",       // shell metacharacters
        L"delay=0|01:30",
        L"delay=\"001:3\"",
        L"delay=0001:3&",
        L"delay=%PAT:H%",
        L"delay=0 01:30",
        L"delay=+001:30",
        L"delay=-001:30",
        L"delay=０００１:３０",  // full-width digits
    };
    for (const wchar_t* argument : refused) {
        TaskDelays delays;
        EXPECT_FALSE(ParseDelayArgument(argument, &delays)) << argument;
        EXPECT_FALSE(delays.present) << argument;
        EXPECT_STREQ(L"", delays.regFix) << argument;
    }
}

TEST(DelayArgument, LastValidArgumentWinsAndInvalidOnesDoNotClearIt) {
    wchar_t a0[] = L"Vendrel.exe";
    wchar_t a1[] = L"delay=0000:10";
    wchar_t a2[] = L"/Commit";
    wchar_t a3[] = L"delay=0002:00";
    wchar_t a4[] = L"delay=0003:00&calc";
    wchar_t* argv[] = {a0, a1, a2, a3, a4};
    TaskDelays delays = FindTaskDelays(5, argv);
    EXPECT_TRUE(delays.present);
    EXPECT_STREQ(L"0002:00", delays.regFix);
    EXPECT_STREQ(L"0002:10", delays.run);

    wchar_t* none[] = {a0, a2};
    EXPECT_FALSE(FindTaskDelays(2, none).present);
    // The program's own name is never taken for an argument.
    wchar_t self[] = L"delay=0001:00";
    wchar_t* onlySelf[] = {self};
    EXPECT_FALSE(FindTaskDelays(1, onlySelf).present);
}
