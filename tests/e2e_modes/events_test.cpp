// Power and session events of the resident program on a three-mode notebook, observed through
// its trace log, the LED device and the plans; and the power-setting notifications that carry a
// data block, handled inside this process against the same simulated PC.
#include <windows.h>
#include <powrprof.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/power_events.h"
#include "e2e_support.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"

namespace e2e {
namespace {

constexpr DWORD kNpdBalanced = 4;
constexpr DWORD kNpdSaver = 6;
constexpr UINT kSendTimeoutMs = 20000;

class Events : public testing::Test {
protected:
    void SetUp() override {
        SetPlanValue(kEcoSave, L"LedNo", 1);
        SetPlanValue(kEcoBalance, L"LedNo", 2);
        SetPlanValue(kEcoPerformance, L"LedNo", 3);
        SetPlanValue(kEcoSave, L"NpdCPU", kNpdBalanced);
        SetPlanValue(kEcoBalance, L"NpdCPU", kNpdSaver);
        ASSERT_TRUE(Activate(kEcoSave));
        ASSERT_TRUE(m_resident.Start());
    }
    void TearDown() override {
        EXPECT_TRUE(m_resident.Close());
        Activate(kEcoSave);
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        DWORD_PTR result = 0xDEAD;
        EXPECT_NE(SendMessageTimeoutW(m_resident.Window(), message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                                      &result),
                  0);
        return static_cast<LRESULT>(result);
    }

    Resident m_resident;
};

TEST_F(Events, PlanChangedByAnotherProgramIsFollowedInOrder) {
    ASSERT_EQ(RunSimctl(L"activate " + GuidKeyText(kEcoBalance)), 0u);
    ASSERT_TRUE(m_resident.WaitTrace(L"IDT_BRIGHTNESS: permitted 1")) << "the brightness step after the delay";
    const std::vector<int> order = m_resident.WaitInOrder(
        {L"PBT_POWERSETTINGCHANGE", L"active scheme: " + GuidBracedText(kEcoBalance), L"SetTimer IDT_BRIGHTNESS",
         L"active scheme: LED updated", L"WM_USER+3", L"IDT_BRIGHTNESS: permitted 1"});
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_GE(order[i], 0) << "follow-up " << i << " missing or out of order";
    }
    const DeviceState devices = Devices();
    EXPECT_EQ(devices.ledState, 2u) << "the LED follows the new plan's mode";
    EXPECT_EQ(devices.cpuState, kNpdSaver) << "the processor device gets the new plan's value";
}

TEST_F(Events, ColourUtilityRefusalStopsTheBrightnessStep) {
    ASSERT_EQ(RunSimctl(L"colour-utility answer 0"), 0u);
    ASSERT_EQ(RunSimctl(L"colour-utility on"), 0u);
    ASSERT_EQ(RunSimctl(L"activate " + GuidKeyText(kEcoBalance)), 0u);
    EXPECT_TRUE(m_resident.WaitTrace(L"IDT_BRIGHTNESS: permitted 0"));
    EXPECT_TRUE(m_resident.WaitTrace(L"colour utility answers 0"));
    RunSimctl(L"colour-utility off");
}

TEST_F(Events, ResumeNotifiesTheLedDriverAndRestoresTheMode) {
    const DeviceState before = Devices();
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND), 1);
    const std::vector<int> order =
        m_resident.WaitInOrder({L"PBT_APMRESUMESUSPEND || PBT_APMRESUMECRITICAL",
                                L"resume: LED restore pending (password 0)", L"LED restored"});
    EXPECT_GE(order[2], 0);
    const DeviceState after = Devices();
    EXPECT_EQ(after.ledNotifies, before.ledNotifies + 1) << "one resume command to the LED driver";
    EXPECT_EQ(after.ledState, 1u);
    EXPECT_EQ(after.cpuState, kNpdBalanced);
    EXPECT_GT(after.cpuSets, before.cpuSets) << "the processor value is sent again";

    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE), 1);
    EXPECT_TRUE(m_resident.WaitTrace(L"PBT_APMPOWERSTATUSCHANGE"));
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMSUSPEND), 1) << "any other event: 1 as well";
}

TEST_F(Events, LockAndUnlockDriveTheLedFlags) {
    const DWORD notifies = Devices().ledNotifies;
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    EXPECT_TRUE(m_resident.WaitTrace(L"LED flags: pending 0 done 1 state 5"));
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    EXPECT_TRUE(m_resident.WaitTrace(L"LED flags: pending 0 done 0 state 1"));
    EXPECT_EQ(Devices().ledNotifies, notifies + 1) << "the LED left at 5 gets the resume command";
    EXPECT_EQ(Devices().ledState, 1u);

    Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT);
    const std::vector<int> disconnected =
        m_resident.WaitInOrder({L"WTS_CONSOLE_DISCONNECT", L"LED flags: pending 0 done 1 state 5"});
    EXPECT_GE(disconnected[1], 0);
    Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT);
    const std::vector<int> connected =
        m_resident.WaitInOrder({L"WTS_CONSOLE_CONNECT", L"LED restored", L"LED flags: pending 0 done 0 state 1"});
    EXPECT_GE(connected[2], 0);
    EXPECT_EQ(Devices().ledNotifies, notifies + 2);
}

TEST_F(Events, LockUndoesAnInterruptedBoost) {
    // The plan's processor values before a boost: AC 20/80, DC 10/60, user-defined presets;
    // the boost left the plan at full speed.
    const DWORD saved[6] = {20, 80, 255, 10, 60, 255};
    const plans::ProcessorPair full{100, 100, plans::PRESET_HIGH, 100, 100, plans::PRESET_HIGH};
    ASSERT_TRUE(plans::WriteProcessorPair(kEcoSave, full));
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Orvel\\Solvane\\PowerSettings", L"Saved_pt",
                              REG_BINARY, saved, sizeof(saved)),
              ERROR_SUCCESS);
    // The boost left its plan's name beside the block.
    const std::wstring owner = GuidBracedText(kEcoSave);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Orvel\\Solvane\\PowerSettings", L"Saved_pt_plan",
                              REG_SZ, owner.c_str(), static_cast<DWORD>((owner.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    EXPECT_TRUE(m_resident.WaitTrace(L"saved boost state restored"));
    DWORD value = 0;
    EXPECT_EQ(PowerReadACValueIndex(nullptr, &kEcoSave, &plans::kSubgroupProcessor, &plans::kSettingProcessorMin,
                                    &value),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 20u);
    EXPECT_EQ(PowerReadDCValueIndex(nullptr, &kEcoSave, &plans::kSubgroupProcessor, &plans::kSettingProcessorMax,
                                    &value),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 60u);
    DWORD size = 0;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Orvel\\Solvane\\PowerSettings", L"Saved_pt", RRF_RT_ANY,
                           nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND)
        << "the record is deleted";
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
}

TEST_F(Events, SecondStartRequestsReachTheSettingsCommands) {
    testsupport::SolvaneProcess second;
    DWORD code = 1;
    ASSERT_TRUE(second.Start(L"/EcoMode", m_resident.Folder()));
    ASSERT_TRUE(second.WaitForExit(kWaitMs, &code));
    EXPECT_TRUE(m_resident.WaitTrace(L"WM_COMMAND 48 lParam -1"));
    testsupport::SolvaneProcess third;
    ASSERT_TRUE(third.Start(L"/PowerScheme", m_resident.Folder()));
    ASSERT_TRUE(third.WaitForExit(kWaitMs, &code));
    EXPECT_TRUE(m_resident.WaitTrace(L"WM_COMMAND 56 lParam -1"));
    const std::vector<int> order =
        m_resident.WaitInOrder({L"WM_USER+9", L"WM_COMMAND 48 lParam -1", L"WM_USER+10", L"WM_COMMAND 56 lParam -1"});
    EXPECT_GE(order[3], 0);
}

TEST_F(Events, PeakCutMessagesOutOfRangeAreIgnored) {
    PostMessageW(m_resident.Window(), WM_APP_PEAK_CUT_LEVEL, 7, 1);
    PostMessageW(m_resident.Window(), WM_APP_PEAK_CUT_LEVEL, 2, 9);
    PostMessageW(m_resident.Window(), WM_APP_PEAK_CUT_LEVEL, 2, -1);
    PostMessageW(m_resident.Window(), WM_APP_PEAK_CUT_LEVEL, 2, 1);
    ASSERT_TRUE(m_resident.WaitTrace(L"0x540: level 2 reason 1"));
    const std::vector<testsupport::TraceLine> lines = m_resident.Lines();
    int ignored = 0;
    for (const testsupport::TraceLine& line : lines) {
        ignored += line.message.find(L"0x540 ignored") == 0 ? 1 : 0;
    }
    EXPECT_EQ(ignored, 3);
}

// The notifications with a data block, handled in this process (the block cannot cross
// processes): the brightness timer follows the active plan's setting.
class InProcessEvents : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Activate(kEcoSave));
        ASSERT_TRUE(plans::CreatePlanListLock());
        plans::LoadSettings();
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"InProcessEventsWindow";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        g_MainState.dwBrightnessDelay = 20;
    }
    void TearDown() override {
        DestroyWindow(m_hwnd);
        UnregisterClassW(L"InProcessEventsWindow", GetModuleHandleW(nullptr));
        plans::ClosePlanListLock();
        SetFollow(0);
    }
    static void SetFollow(BYTE mode) {
        const BYTE alsbc[5] = {mode, 10, 0, 10, 0};
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, (L"Software\\Orvel\\Solvane\\PowerSettings\\" + GuidKeyText(kEcoSave)).c_str(),
                        L"ALSBC", REG_BINARY, alsbc, sizeof(alsbc));
    }
    LRESULT Notify(const GUID& setting, DWORD data) {
        BYTE block[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
        auto* s = reinterpret_cast<POWERBROADCAST_SETTING*>(block);
        s->PowerSetting = setting;
        s->DataLength = sizeof(DWORD);
        CopyMemory(s->Data, &data, sizeof(data));
        return OnPowerBroadcast(m_hwnd, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(block));
    }
    bool BrightnessTimerFires() {
        const DWORD start = GetTickCount();
        bool fired = false;
        while (GetTickCount() - start < 500) {
            MSG msg;
            while (PeekMessageW(&msg, m_hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) {
                fired = fired || msg.wParam == IDT_BRIGHTNESS;
            }
            Sleep(10);
        }
        KillTimer(m_hwnd, IDT_BRIGHTNESS);
        return fired;
    }

    HWND m_hwnd = nullptr;
};

const GUID kLid = {0xBA3E0F4D, 0xB817, 0x4094, {0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3}};
const GUID kAcDc = {0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
const GUID kMonitorOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};

TEST_F(InProcessEvents, LidMonitorAndPowerSourceStartTheBrightnessTimerOnlyForAFollowingPlan) {
    SetFollow(1);
    EXPECT_EQ(Notify(kLid, 1), 1);
    EXPECT_TRUE(BrightnessTimerFires()) << "lid opened";
    EXPECT_EQ(Notify(kLid, 0), 1);
    EXPECT_FALSE(BrightnessTimerFires()) << "lid closed";
    Notify(kAcDc, 2);
    EXPECT_TRUE(BrightnessTimerFires()) << "power source, any value";
    Notify(kMonitorOn, 1);
    EXPECT_TRUE(BrightnessTimerFires()) << "monitor on";
    Notify(kMonitorOn, 0);
    EXPECT_FALSE(BrightnessTimerFires()) << "monitor off";
    Notify(plans::kSettingProcessorMax, 100);
    EXPECT_TRUE(BrightnessTimerFires()) << "processor back at 100";
    Notify(plans::kSettingProcessorMax, 50);
    EXPECT_FALSE(BrightnessTimerFires()) << "processor state below 100 is the panel's business";

    SetFollow(0);
    Notify(kLid, 1);
    EXPECT_FALSE(BrightnessTimerFires()) << "the plan does not follow";
    Notify(kAcDc, 0);
    EXPECT_FALSE(BrightnessTimerFires());
}

}  // namespace
}  // namespace e2e
