// The main window and the hand-over helpers, inside the test process.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/single_instance.h"
#include "app/window_classes.h"
#include "common/handles.h"
#include "plans/plan_list.h"
#include "test_support.h"

namespace {

constexpr wchar_t kProgramKeyPath[] = L"Software\\Orvel\\Solvane";

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegisterWindowClasses(m_instance), static_cast<DWORD>(ERROR_SUCCESS));
        m_hwnd = CreateWindowExW(WS_EX_LAYERED, kMainWindowClass, L"test", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, m_instance, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        DrainQueue();
    }
    void TearDown() override {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
        DrainQueue();
        plans::ClosePlanListLock();
        g_bRunFlag = false;
        for (const wchar_t* name : {kMainWindowClass, kFrameWindowClass, kPowerOsdWindowClass}) {
            UnregisterClassW(name, m_instance);
        }
    }
    static void DrainQueue() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    // The next message posted to the thread, or message 0 when there is none.
    static MSG NextPosted() {
        MSG msg = {};
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            msg.message = 0;
        }
        return msg;
    }

    HINSTANCE m_instance = GetModuleHandleW(nullptr);
    HWND m_hwnd = nullptr;
};

TEST_F(MainWindow, CreationRemembersTheWindow) {
    EXPECT_EQ(g_hMainWnd, m_hwnd);
}

TEST_F(MainWindow, CloseDestroysItClearsTheRunFlagAndQuitsWithZero) {
    g_bRunFlag = true;
    ASSERT_TRUE(plans::CreatePlanListLock());
    ASSERT_NE(plans::PlanListLockHandle(), nullptr);
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(m_hwnd));
    EXPECT_FALSE(g_bRunFlag.load());
    common::UniqueHandle left(OpenMutexW(SYNCHRONIZE, FALSE, plans::kPlanListLockName));
    EXPECT_FALSE(left.Valid()) << "the plan-list lock is closed at the end";
    EXPECT_EQ(g_hMainWnd, nullptr);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no WM_QUIT posted";
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(MainWindow, ExitCommandEndsItToo) {
    g_bRunFlag = true;
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_FALSE(IsWindow(m_hwnd));
    EXPECT_FALSE(g_bRunFlag.load());
}

TEST_F(MainWindow, SettingsRequestsAndTheStartUpMinimiseLeaveItRunning) {
    struct Case {
        UINT message;
        WPARAM wParam;
        WORD postedCommand;  // the command the window posts itself; 0 for none
    };
    const Case cases[] = {
        {WM_APP_ECO_SETTINGS, 0, IDM_ECO_SETTINGS},
        {WM_APP_PLAN_SETTINGS, 0, IDM_PLAN_SETTINGS},
        {WM_COMMAND, MAKEWPARAM(IDM_MINIMIZE_TO_TRAY, MINIMIZE_CODE_STARTUP), 0},
    };
    g_bRunFlag = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(SendMessageW(m_hwnd, c.message, c.wParam, 0), 0);
        const MSG posted = NextPosted();
        if (c.postedCommand != 0) {
            // The request is handed to the command handler as a request from outside.
            EXPECT_EQ(posted.hwnd, m_hwnd);
            EXPECT_EQ(posted.message, static_cast<UINT>(WM_COMMAND));
            EXPECT_EQ(LOWORD(posted.wParam), c.postedCommand);
            EXPECT_EQ(posted.lParam, kRequestFromOutside);
        } else {
            EXPECT_EQ(posted.message, 0u);
        }
        EXPECT_TRUE(IsWindow(m_hwnd));
        EXPECT_TRUE(g_bRunFlag.load());
        EXPECT_FALSE(IsWindowVisible(m_hwnd));
    }
}

TEST_F(MainWindow, SettingsRequestIsPostedAsItsMessage) {
    PostSettingsRequest(m_hwnd, StartRequest::EcoSettings);
    MSG msg = NextPosted();
    EXPECT_EQ(msg.hwnd, m_hwnd);
    EXPECT_EQ(msg.message, WM_USER + 9);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_EQ(NextPosted().message, 0u);

    PostSettingsRequest(m_hwnd, StartRequest::PlanSettings);
    msg = NextPosted();
    EXPECT_EQ(msg.message, WM_USER + 10);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    EXPECT_EQ(NextPosted().message, 0u);

    for (StartRequest other : {StartRequest::None, StartRequest::Export, StartRequest::Import}) {
        PostSettingsRequest(m_hwnd, other);
        EXPECT_EQ(NextPosted().message, 0u) << static_cast<int>(other);
    }
    PostSettingsRequest(nullptr, StartRequest::EcoSettings);  // no window: nothing, no broadcast
    EXPECT_EQ(NextPosted().message, 0u);
}

TEST(DebugLogFlag, KeptOnlyAsANonZeroDword) {
    testsupport::ScopedRegValue value(HKEY_LOCAL_MACHINE, kProgramKeyPath, L"DebugLogFlag");
    value.Delete();
    EXPECT_EQ(ReadDebugLogFlag(), 0u);
    ASSERT_EQ(value.SetDword(5), ERROR_SUCCESS);
    EXPECT_EQ(ReadDebugLogFlag(), 5u);
    ASSERT_EQ(value.SetDword(0), ERROR_SUCCESS);
    EXPECT_EQ(ReadDebugLogFlag(), 0u);
    ASSERT_EQ(value.SetString(L"1"), ERROR_SUCCESS);
    EXPECT_EQ(ReadDebugLogFlag(), 0u) << "a REG_SZ is not the flag";
}

}  // namespace
