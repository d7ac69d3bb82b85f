// The poll thread with the fake library: "main window exists" posted right after the start is
// never lost, new levels reach the window as 0x540, and the thread leaves when the run flag
// falls.
#include <gtest/gtest.h>

#include <atomic>

#include "app/app_messages.h"
#include "peakcut/peakcut.h"
#include "plans/peak_cut_values.h"
#include "tests/peakcut/fake_library.h"
#include "tests/peakcut/fake_system.h"
#include "tests/solvane_app/test_support.h"

namespace {

constexpr wchar_t kEfEnv[] = L"Software\\Orvel\\Solvane\\EFEnv";
constexpr DWORD kWaitMs = 15000;
std::atomic<HWND> g_window{nullptr};

struct Posted {
    WPARAM level;
    LPARAM reason;
};

// Waits for the next 0x540 on the window; false when none came in time.
bool NextLevel(HWND window, Posted* posted) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, window, WM_APP_PEAK_CUT_LEVEL, WM_APP_PEAK_CUT_LEVEL, PM_REMOVE)) {
            posted->level = msg.wParam;
            posted->reason = msg.lParam;
            return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
    } while (GetTickCount() - start < kWaitMs);
    return false;
}

class PollThread : public testing::Test {
protected:
    void SetUp() override {
        fakelib::Reset();
        fakesys::Install();
        m_flag.Delete();
        m_origin.Delete();
        m_window = CreateWindowExW(0, L"STATIC", L"peak", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_window, nullptr);
        g_window = nullptr;
    }
    void TearDown() override {
        m_run = false;
        peakcut::JoinPeakCutThread();
        DestroyWindow(m_window);
        fakesys::Uninstall();
        peakcut::g_dwPendingNotice = 0;
    }
    void Start(DWORD passMs) {
        m_client = fakelib::BoundClient();
        peakcut::ThreadConfig config;
        config.runFlag = &m_run;
        config.mainWindow = []() { return g_window.load(); };
        config.passMs = passMs;
        config.client = &m_client;
        m_run = true;
        ASSERT_EQ(peakcut::StartPeakCutThread(config), static_cast<DWORD>(ERROR_SUCCESS));
    }

    std::atomic<bool> m_run{false};
    peakcut::PeakCutClient m_client;
    HWND m_window = nullptr;
    testsupport::ScopedRegValue m_flag{HKEY_LOCAL_MACHINE, kEfEnv, L"UserChangeFlag"};
    testsupport::ScopedRegValue m_origin{HKEY_LOCAL_MACHINE, kEfEnv, L"PeakCutOrigin"};
};

TEST_F(PollThread, ReadyPostedAtOnceIsNotLostAndLevelsFollowTheClock) {
    fakelib::g_State.lv1Set = true;
    fakelib::g_State.lv1Start = {13, 0};
    fakelib::g_State.lv1End = {16, 0};
    fakelib::g_State.now = fakelib::Day(2026, 8, 1, 14, 0);
    Start(50);
    // The main window comes into being only now, and says so at once.
    g_window = m_window;
    peakcut::NotifyMainWindowReady();
    Posted posted{};
    ASSERT_TRUE(NextLevel(m_window, &posted)) << "0x542 was lost: the thread never started polling";
    EXPECT_EQ(posted.level, 1u);
    EXPECT_EQ(posted.reason, 1);

    fakelib::g_State.now = fakelib::Day(2026, 8, 1, 16, 1);
    ASSERT_TRUE(NextLevel(m_window, &posted));
    EXPECT_EQ(posted.level, 0u);
    EXPECT_EQ(posted.reason, 0);

    // Demand above the threshold: level 2 for demand data, and the engine was started.
    fakelib::g_State.demandLink = TRUE;
    fakelib::g_State.demand = 99;
    ASSERT_TRUE(NextLevel(m_window, &posted));
    EXPECT_EQ(posted.level, 2u);
    EXPECT_EQ(posted.reason, 2);

    // A notice that was not seen is reported again on the next pass.
    peakcut::g_dwPendingNotice = 1;
    ASSERT_TRUE(NextLevel(m_window, &posted));
    EXPECT_EQ(posted.level, 2u);
    peakcut::g_dwPendingNotice = 0;

    m_run = false;
    peakcut::JoinPeakCutThread();
    EXPECT_EQ(fakelib::g_State.engineStarts, 1);
    EXPECT_EQ(fakelib::g_State.engineStops, 1) << "the engine this client started is stopped on leaving";
}

TEST_F(PollThread, RestartOnTheSameDayReportsTheUserChange) {
    SYSTEMTIME today = fakelib::Day(2026, 8, 1, 14, 0);
    fakelib::g_State.now = today;
    fakelib::g_State.lv1Set = true;
    fakelib::g_State.lv1Start = {13, 0};
    fakelib::g_State.lv1End = {16, 0};
    ASSERT_EQ(m_flag.SetRaw(REG_BINARY, &today, sizeof(today)), ERROR_SUCCESS);
    g_window = m_window;
    Start(50);
    Posted posted{};
    ASSERT_TRUE(NextLevel(m_window, &posted));
    EXPECT_EQ(posted.level, 1u);
    EXPECT_EQ(posted.reason, static_cast<LPARAM>(peakcut::kReasonUserChanged));
}

}  // namespace
