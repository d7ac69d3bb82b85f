// Three-mode notebook with the product installed (the maker's three plans pinned and bound to
// modes 1-3): the tray's plan commands switch the plan, the LED, the processor device and
// announce the change; a plan outside the modes takes over the mode of the active plan, and gives
// it back when the activation fails.
#include <windows.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include "common/handles.h"
#include "e2e_support.h"
#include "plans/power_values.h"
#include "sim/simlib/simlib.h"

namespace e2e {
namespace {

constexpr DWORD kNpdBalanced = 7;
constexpr DWORD kNpdSaver = 8;
constexpr DWORD kNpdHigh = 9;

class ThreeMode : public testing::Test {
protected:
    void SetUp() override {
        // As installed: modes 1, 2, 3 are the maker's save, balance and performance plans.
        SetPlanValue(kEcoSave, L"LedNo", 1);
        SetPlanValue(kEcoBalance, L"LedNo", 2);
        SetPlanValue(kEcoPerformance, L"LedNo", 3);
        SetPlanValue(kEcoSave, L"NpdCPU", kNpdBalanced);
        SetPlanValue(kEcoBalance, L"NpdCPU", kNpdSaver);
        SetPlanValue(kEcoPerformance, L"NpdCPU", kNpdHigh);
        ASSERT_TRUE(Activate(kEcoSave));
    }
    void TearDown() override {
        EXPECT_TRUE(m_resident.Close());
        simlib::ScriptFailure(L"Power", L"PowerSetActiveScheme", 0, 0);
        Activate(kEcoSave);
    }

    // Posts a plan command and waits for its result line.
    void Select(WORD id, DWORD expected) {
        m_resident.PostCommand(id);
        ASSERT_TRUE(m_resident.WaitTrace(L"plan selection " + std::to_wstring(id) + L": " + std::to_wstring(expected)))
            << "command " << id;
    }

    Resident m_resident;
};

// A tray switch brings the panel to the chosen plan's brightness through the step that follows
// Windows' announcement of the new plan.
TEST_F(ThreeMode, TraySwitchBringsThePanelToThePlansBrightness) {
    testsupport::ScopedRegValue delay(HKEY_LOCAL_MACHINE, L"Software\\Orvel\\Solvane", L"DelayBrightness");
    ASSERT_EQ(delay.SetDword(200), ERROR_SUCCESS);
    const struct {
        WORD id;
        const GUID* plan;
        DWORD percent;
    } steps[] = {{71, &kEcoBalance, 40}, {70, &kEcoPerformance, 70}, {72, &kEcoSave, 25}};
    for (const auto& step : steps) {
        ASSERT_EQ(plans::WritePowerSetting(*step.plan, plans::PowerSetting::Brightness, plans::PowerSource::AC,
                                           step.percent),
                  static_cast<DWORD>(ERROR_SUCCESS));
    }
    ASSERT_TRUE(m_resident.Start());
    for (const auto& step : steps) {
        SCOPED_TRACE(step.id);
        Select(step.id, 0);
        DWORD last = 0;
        EXPECT_TRUE(WaitPanelBrightness(step.percent, kWaitMs, &last)) << "the panel shows " << last;
    }
}

TEST_F(ThreeMode, TrayCommandsSwitchPlanLedProcessorAndAnnounceTheChange) {
    ASSERT_TRUE(m_resident.Start());
    EXPECT_EQ(Devices().ledState, 1u) << "the start shows the mode of the active plan";
    struct Step {
        WORD id;
        const GUID* plan;
        DWORD led;
        DWORD npd;
    };
    const Step steps[] = {{71, &kEcoBalance, 2, kNpdSaver}, {70, &kEcoPerformance, 3, kNpdHigh},
                          {72, &kEcoSave, 1, kNpdBalanced}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.id);
        const DWORD setsBefore = Devices().cpuSets;
        Select(step.id, 0);
        EXPECT_TRUE(IsEqualGUID(ActivePlan(), *step.plan));
        const DeviceState devices = Devices();
        EXPECT_EQ(devices.ledState, step.led);
        EXPECT_EQ(devices.cpuState, step.npd);
        EXPECT_GT(devices.cpuSets, setsBefore);
        // The selection, then the plan-changed message on the main window, then Windows' own
        // announcement of the new active scheme.
        const std::wstring selected = L"plan selection " + std::to_wstring(step.id) + L": 0";
        ASSERT_TRUE(m_resident.WaitTrace(L"active scheme: " + GuidBracedText(*step.plan)));
        const std::vector<int> order = m_resident.WaitInOrder(
            {L"WM_COMMAND " + std::to_wstring(step.id) + L": plan selection", selected, L"WM_USER+3"});
        EXPECT_GE(order[2], 0) << "selection and 0x403 follow-up in order";
    }
    // All three pinned plans kept their modes: none had to hand one over.
    EXPECT_EQ(PlanValue(kEcoSave, L"LedNo", 99), 1u);
    EXPECT_EQ(PlanValue(kEcoBalance, L"LedNo", 99), 2u);
    EXPECT_EQ(PlanValue(kEcoPerformance, L"LedNo", 99), 3u);
}

TEST_F(ThreeMode, PlanOutsideTheModesTakesOverTheModeAndGivesItBackOnFailure) {
    // Windows' Balanced plan heads the other-plans list (command 74) and has no mode.
    ASSERT_TRUE(EnsurePlan(kBalanced, kEcoSave));
    const GUID other = kBalanced;
    DeletePlanKey(other);
    ASSERT_TRUE(Activate(kEcoBalance));
    ASSERT_TRUE(m_resident.Start());
    EXPECT_EQ(Devices().ledState, 2u);

    // The activation fails: no half-moved mode.
    ASSERT_EQ(simlib::ScriptFailure(L"Power", L"PowerSetActiveScheme", 1, ERROR_ACCESS_DENIED), ERROR_SUCCESS);
    Select(74, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoBalance));
    EXPECT_EQ(PlanValue(other, L"LedNo", 0), 0u) << "the chosen plan's number was put back";
    EXPECT_EQ(PlanValue(kEcoBalance, L"LedNo", 99), 2u) << "the active plan keeps its mode";
    EXPECT_EQ(Devices().ledState, 2u);

    // Now it succeeds: the chosen plan takes mode 2, the old plan leaves the modes.
    Select(74, 0);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), other));
    EXPECT_EQ(PlanValue(other, L"LedNo", 99), 2u);
    EXPECT_EQ(PlanValue(kEcoBalance, L"LedNo", 99), 0u);
    EXPECT_EQ(Devices().ledState, 2u) << "the LED still shows mode 2";

    // A command past the end of the list (another process can post any number) is ignored.
    Select(74 + 200, ERROR_INVALID_INDEX);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), other));

    EXPECT_TRUE(m_resident.Close());
    DeletePlanKey(other);
}

TEST_F(ThreeMode, BusyPlanListSkipsTheCommandWithoutAnErrorRecord) {
    ASSERT_TRUE(m_resident.Start());
    common::UniqueHandle lock(CreateMutexW(nullptr, FALSE, L"sOLVANEmUTEXps"));
    ASSERT_TRUE(lock.Valid());
    ASSERT_EQ(WaitForSingleObject(lock.Get(), kWaitMs), WAIT_OBJECT_0);
    Select(71, ERROR_TIMEOUT);  // after the program's 1000 ms wait
    ReleaseMutex(lock.Get());
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoSave)) << "nothing switched";
    EXPECT_EQ(Devices().ledState, 1u);
    // The error log (UTF-16 text in the program's current folder) names no lock time-out.
    std::wstring log;
    common::UniqueFile file(CreateFileW((m_resident.Folder() + L"\\error.log").c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) {
        wchar_t buffer[4096] = {};
        DWORD read = 0;
        ReadFile(file.Get(), buffer, sizeof(buffer) - sizeof(wchar_t), &read, nullptr);
        log.assign(buffer, read / sizeof(wchar_t));
    }
    EXPECT_EQ(log.find(L"InitScheme"), std::wstring::npos) << "error.log: " << testing::PrintToString(log);
    Select(71, 0);  // free again: the command works
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoBalance));
}

TEST_F(ThreeMode, ExitAsksFirstAndEndsInOrder) {
    ASSERT_TRUE(m_resident.Start());
    m_resident.PostCommand(50);
    HWND box = m_resident.Process().WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "the exit question";
    EXPECT_EQ(testsupport::WindowText(box), L"Kaviro") << "ECO operation: program title 219";
    EXPECT_NE(testsupport::DialogStaticText(box).find(L"「Kaviro」"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    constexpr DWORD kBoxCloseWaitMs = 10000;
    constexpr DWORD kBoxPollMs = 20;
    const DWORD answered = GetTickCount();
    while (IsWindow(box) && GetTickCount() - answered < kBoxCloseWaitMs) {
        Sleep(kBoxPollMs);
    }
    ASSERT_FALSE(IsWindow(box)) << "the question closes on No";

    // No leaves the program running: it asks again on the next exit command.
    m_resident.PostCommand(50);
    box = m_resident.Process().WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "No leaves the program running";
    EXPECT_TRUE(m_resident.Process().Running());
    const DWORD start = GetTickCount();
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    DWORD code = 0xFFFFFFFF;
    ASSERT_TRUE(m_resident.Process().WaitForExit(kWaitMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_LT(GetTickCount() - start, 11u * 500u + 3000u) << "threads joined within their bound";
    const std::vector<int> order = m_resident.FindInOrder(
        {L"WM_DESTROY", L"WM_DESTROY: settings saved", L"WM_DESTROY: threads joined",
         L"WM_DESTROY: run flag cleared, quitting"});
    EXPECT_GE(order[3], 0) << "settings saved, then threads joined, then the quit";
    const std::vector<testsupport::TraceLine> lines = m_resident.Lines();
    int ledExit = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (lines[i].function == L"LedThreadProc" && lines[i].message.find(L"Exit") == 0) {
            ledExit = i;
        }
    }
    EXPECT_GE(ledExit, 0) << "the LED thread ended";
    const int joined = testsupport::TraceFile::Find(lines, L"WM_DESTROY: threads joined");
    EXPECT_LT(ledExit, joined) << "the LED thread ends before anything is freed";
    BYTE blob[64] = {};
    DWORD size = sizeof(blob);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"Settings", RRF_RT_REG_BINARY, nullptr,
                           blob, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 40u) << "the settings record was saved";
}

}  // namespace
}  // namespace e2e
