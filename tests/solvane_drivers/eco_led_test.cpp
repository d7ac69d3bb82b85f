#include <gtest/gtest.h>

#include "drivers/eco_led.h"
#include "fake_device.h"
#include "fake_power.h"
#include "plans/mode_led.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"

using namespace drivers;
// The plan side of the LED (a plan's "LedNo", the check timer's period from the settings).
using plans::ArmLedCheckTimer;
using plans::DelayedLedRefresh;
using plans::RefreshLedFromCurrentPlan;
using plans::RefreshLedFromPlan;
using plans::ShowModeLed;

namespace {

const GUID kPlan = fakes::MakeGuid(0x3A);

TEST(LedEncoding, CommandsReadBacksAndDecoding) {
    const BYTE commands[] = {0x80, 0x81, 0x84, 0x82};
    const DWORD readBacks[] = {0x00, 0x71, 0x74, 0x72};
    for (DWORD state = 0; state < 4; ++state) {
        BYTE command = 0;
        DWORD readBack = 0xFF;
        ASSERT_TRUE(LedCommandByte(state, &command));
        EXPECT_EQ(command, commands[state]);
        ASSERT_TRUE(LedReadBackValue(state, &readBack));
        EXPECT_EQ(readBack, readBacks[state]);
        EXPECT_EQ(LedCommandWord(command), 0xE70000u | command);
    }
    BYTE command = 0;
    DWORD value = 0;
    for (DWORD bad : {4u, 5u, 127u}) {
        EXPECT_FALSE(LedCommandByte(bad, &command));
        EXPECT_FALSE(LedReadBackValue(bad, &value));
    }
    EXPECT_EQ(DecodeLedValue(0x71), 1u);
    EXPECT_EQ(DecodeLedValue(0x72), 3u);
    EXPECT_EQ(DecodeLedValue(0x74), 2u);
    EXPECT_EQ(DecodeLedValue(0x00), 0u);
    EXPECT_EQ(DecodeLedValue(0x73), 0u);
    EXPECT_EQ(DecodeLedValue(0xFFFFFFFF), 0u);
    EXPECT_EQ(LedStateForLedNo(1, false), 0u);
    EXPECT_EQ(LedStateForLedNo(3, false), 3u);
    EXPECT_EQ(LedStateForLedNo(1, true), 1u);
    EXPECT_EQ(LedStateForLedNo(2, true), 2u);
}

class EcoLedTest : public testing::Test {
protected:
    void SetUp() override {
        testreg::ClearSolvaneKeys();
        fakedev::Install();
        fakes::Install();
        fakes::Store().AddPlan(kPlan, L"Mode plan");
        ForgetLedDevicePath();
        plans::g_Settings.blob.dwFlagWord = plans::FLAG_ECO | plans::FLAG_THREE_MODE;
        plans::g_Settings.nTimerLED = 50;
        plans::activepsi = plans::PlanRecord{};
    }
    void TearDown() override {
        StopLedThread();
        EXPECT_FALSE(LedThreadExists());
        ForgetLedDevicePath();
        fakes::Uninstall();
        fakedev::Uninstall();
        testreg::ClearSolvaneKeys();
    }
    void Start() {
        ASSERT_EQ(StartLedThread(), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_TRUE(LedThreadExists());
        ASSERT_TRUE(WaitLedReady(5000));
        EXPECT_EQ(GetLedDesiredState(), LED_STATE_UNSET);
    }
    static size_t Commands() { return fakedev::Get().ledCommands.size(); }
    static DWORD LastCommand() {
        const auto c = fakedev::Get().ledCommands;
        return c.empty() ? 0 : c.back();
    }
    static void SetLed(DWORD value) {
        fakedev::Update([value](fakedev::State& s) { s.ledValue = value; });
    }
};

TEST_F(EcoLedTest, EachStateSendsItsCommandWord) {
    Start();
    const DWORD words[] = {0xE70080, 0xE70081, 0xE70084, 0xE70082};
    // from a state that differs every time
    const DWORD order[] = {1, 2, 3, 0, 2};
    size_t expected = 0;
    for (DWORD state : order) {
        ASSERT_TRUE(SetLedState(state));
        EXPECT_EQ(Commands(), ++expected);
        EXPECT_EQ(LastCommand(), words[state]);
        EXPECT_EQ(GetLedDesiredState(), state);
    }
    EXPECT_FALSE(SetLedState(4));
    EXPECT_FALSE(SetLedState(127));
    EXPECT_EQ(Commands(), expected);
}

TEST_F(EcoLedTest, NoCommandWhenTheLedAlreadyShowsTheState) {
    Start();
    SetLed(0x74);
    ASSERT_TRUE(SetLedState(2));
    EXPECT_EQ(Commands(), 0u);
    EXPECT_GE(fakedev::Get().ledReads, 1);
    EXPECT_EQ(GetLedDesiredState(), 2u);
    EXPECT_FALSE(LedVerificationPending());
    SetLed(0x00);
    ASSERT_TRUE(SetLedState(0));
    EXPECT_EQ(Commands(), 0u);
    ASSERT_TRUE(SetLedState(1));
    EXPECT_EQ(Commands(), 1u);
}

TEST_F(EcoLedTest, PlanLedNumberInBothVariants) {
    Start();
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kPlan), L"LedNo", 1);
    SetLed(0x71);
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_ECO;  // two modes: LedNo 1 shows state 0
    ASSERT_TRUE(RefreshLedFromPlan(kPlan));
    EXPECT_EQ(LastCommand(), 0xE70080u);
    EXPECT_EQ(GetLedDesiredState(), 0u);
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_ECO | plans::FLAG_THREE_MODE;
    plans::activepsi.guid = kPlan;
    ASSERT_TRUE(RefreshLedFromCurrentPlan());
    EXPECT_EQ(LastCommand(), 0xE70081u);
    const size_t before = Commands();
    EXPECT_FALSE(RefreshLedFromPlan(GUID_NULL));
    EXPECT_EQ(Commands(), before);
}

TEST_F(EcoLedTest, PeriodicCheckDecodesAndCorrects) {
    EXPECT_EQ(CheckLedState(), 0);  // no LED thread yet
    Start();
    ASSERT_TRUE(SetLedState(1));
    SetLed(0x74);  // something else changed the LED
    EXPECT_EQ(CheckLedState(), 1);
    EXPECT_EQ(LastCommand(), 0xE70081u);
    EXPECT_EQ(fakedev::Get().ledValue, 0x71u);
    const size_t sent = Commands();
    EXPECT_EQ(CheckLedState(), 1);  // matches now
    EXPECT_EQ(Commands(), sent);

    ASSERT_TRUE(SetLedState(0));
    SetLed(0x33);  // unknown values read as state 0
    EXPECT_EQ(CheckLedState(), 1);
    EXPECT_EQ(Commands(), sent + 1);

    ASSERT_TRUE(SetLedState(3));
    SetLed(0x72);
    EXPECT_EQ(CheckLedState(), 1);
    EXPECT_EQ(Commands(), sent + 2);

    // A desired state without a command cannot be shown: nothing is sent and the failed change is
    // logged with that state.
    SetLed(0x71);
    const struct {
        DWORD desired;
        const wchar_t* record;
    } noCommand[] = {
        {LED_STATE_TRANSITION4, L"(0x4)"}, {LED_STATE_TRANSITION5, L"(0x5)"}, {LED_STATE_UNSET, L"(0x7f)"}};
    for (const auto& c : noCommand) {
        SetLedDesiredState(c.desired);
        testreg::MarkErrorLog();
        EXPECT_EQ(CheckLedState(), 1);
        EXPECT_EQ(Commands(), sent + 2) << c.desired;
        EXPECT_EQ(GetLedDesiredState(), c.desired);
        std::vector<std::wstring> lines = testreg::NewErrorLogLines();
        ASSERT_EQ(lines.size(), 1u) << c.desired;
        EXPECT_NE(lines[0].find(c.record), std::wstring::npos) << testing::PrintToString(lines[0]);
    }

    SetLedDesiredState(2);
    fakedev::Update([](fakedev::State& s) { s.failCode = IOCTL_LED_READ_STATUS; });
    testreg::MarkErrorLog();
    EXPECT_EQ(CheckLedState(), 1);
    EXPECT_EQ(Commands(), sent + 2);  // read failed: nothing sent
    std::vector<std::wstring> lines = testreg::NewErrorLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"(0x1f)"), std::wstring::npos);  // GetLastError of the read

    // a correction the driver refuses is logged with the desired state
    fakedev::Update([](fakedev::State& s) { s.failCode = IOCTL_LED_SET; });
    testreg::MarkErrorLog();
    EXPECT_EQ(CheckLedState(), 1);
    lines = testreg::NewErrorLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"(0x2)"), std::wstring::npos);
    EXPECT_FALSE(SetLedState(3));  // a refused command is no success
}

TEST_F(EcoLedTest, EmptyDevicePathMeansNoDeviceIoAtAll) {
    testreg::SetString(HKEY_LOCAL_MACHINE, testreg::kKey, L"LedCtrlDrv", L"");
    Start();
    EXPECT_FALSE(SetLedState(1));
    EXPECT_FALSE(RefreshLedFromPlan(kPlan));
    EXPECT_EQ(CheckLedState(), 1);
    EXPECT_FALSE(NotifyLedDriver());
    const fakedev::State s = fakedev::Get();
    EXPECT_TRUE(s.opened.empty());
    EXPECT_EQ(s.ioctls, 0);
}

TEST_F(EcoLedTest, DevicePathComesFromTheRegistry) {
    testreg::SetString(HKEY_LOCAL_MACHINE, testreg::kKey, L"LedCtrlDrv", L"\\\\.\\OTHERLED");
    fakedev::Update([](fakedev::State& s) { s.ledPath = L"\\\\.\\OTHERLED"; });
    Start();
    ASSERT_TRUE(SetLedState(2));
    EXPECT_EQ(LastCommand(), 0xE70084u);
    const fakedev::State s = fakedev::Get();
    ASSERT_EQ(s.opened.size(), 1u);
    EXPECT_EQ(s.opened[0], L"\\\\.\\OTHERLED");
}

TEST_F(EcoLedTest, MissingDeviceDisablesEveryOperation) {
    fakedev::Update([](fakedev::State& s) { s.ledPresent = false; });
    Start();
    EXPECT_FALSE(SetLedState(1));
    EXPECT_EQ(CheckLedState(), 1);
    EXPECT_FALSE(NotifyLedDriver());
    const fakedev::State s = fakedev::Get();
    ASSERT_EQ(s.opened.size(), 1u);
    EXPECT_EQ(s.opened[0], L"\\\\.\\VUREZORERIDAD");
    EXPECT_EQ(s.ioctls, 0);
}

TEST_F(EcoLedTest, NotificationAndShutdownCloseTheDevice) {
    Start();
    EXPECT_TRUE(NotifyLedDriver());
    EXPECT_EQ(fakedev::Get().notifications, 1);
    fakedev::Update([](fakedev::State& s) { s.failCode = IOCTL_LED_NOTIFY; });
    EXPECT_FALSE(NotifyLedDriver());
    const HANDLE device = fakedev::Get().handles.at(0);
    StopLedThread();
    EXPECT_FALSE(LedThreadExists());
    EXPECT_EQ(WaitForSingleObject(device, 0), WAIT_FAILED);  // closed by the thread
    EXPECT_FALSE(SetLedState(1));
    EXPECT_EQ(CheckLedState(), 0);
}

TEST_F(EcoLedTest, HeldLedMutexSkipsTheOperation) {
    Start();
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Ctx {
        HANDLE ready, release;
    } ctx{ready, release};
    HANDLE holder = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* c = static_cast<Ctx*>(p);
            HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, L"_mo1_mutex_");
            if (m != nullptr) {
                WaitForSingleObject(m, INFINITE);
            }
            SetEvent(c->ready);
            WaitForSingleObject(c->release, INFINITE);
            if (m != nullptr) {
                ReleaseMutex(m);
                CloseHandle(m);
            }
            return 0;
        },
        &ctx, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(SetLedState(1));
    EXPECT_GE(GetTickCount() - start, 2900u);
    EXPECT_EQ(Commands(), 0u);
    SetEvent(release);
    WaitForSingleObject(holder, 5000);
    EXPECT_TRUE(SetLedState(1));
    EXPECT_EQ(Commands(), 1u);
    CloseHandle(holder);
    CloseHandle(ready);
    CloseHandle(release);
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

TEST_F(EcoLedTest, TimerProcedureLogsWhenThereIsNoLedThread) {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ArmLedCheckTimer(hwnd);
    testreg::MarkErrorLog();
    PumpFor(300);
    EXPECT_EQ(testreg::NewErrorLogLines().size(), 1u);
    PumpFor(200);  // killed by its procedure: runs once
    EXPECT_EQ(testreg::NewErrorLogLines().size(), 1u);
    DestroyWindow(hwnd);
}

TEST_F(EcoLedTest, CheckTimerRunsOnceAfterArmingAndAfterDelayedRefresh) {
    Start();
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(SetLedState(2));
    SetLed(0x00);
    ArmLedCheckTimer(hwnd);
    PumpFor(400);
    EXPECT_EQ(LastCommand(), 0xE70084u);
    const size_t sent = Commands();
    SetLed(0x00);
    PumpFor(300);  // one-shot: no second check
    EXPECT_EQ(Commands(), sent);

    // after a delayed refresh the check is armed again
    testreg::SetDword(HKEY_LOCAL_MACHINE, testreg::PlanKey(kPlan), L"LedNo", 3);
    plans::activepsi.guid = kPlan;
    DelayedLedRefresh(hwnd);
    EXPECT_EQ(LastCommand(), 0xE70082u);
    EXPECT_FALSE(LedVerificationPending());
    SetLed(0x71);
    PumpFor(400);
    EXPECT_EQ(LastCommand(), 0xE70082u);
    EXPECT_EQ(Commands(), sent + 2);

    // a mode switch shows its LED and arms the check again
    ASSERT_TRUE(ShowModeLed(1, hwnd));
    EXPECT_EQ(LastCommand(), 0xE70081u);
    SetLed(0x74);
    PumpFor(400);
    EXPECT_EQ(LastCommand(), 0xE70081u);
    EXPECT_EQ(Commands(), sent + 4);

    // ECO operation off: no timer
    plans::g_Settings.blob.dwFlagWord = 0;
    SetLed(0x72);
    ArmLedCheckTimer(hwnd);
    PumpFor(300);
    EXPECT_EQ(Commands(), sent + 4);
    DestroyWindow(hwnd);
}

}  // namespace
