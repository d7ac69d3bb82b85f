// The program's main window inside a test process: its classes, the pause gate and the plan-list
// lock it needs, the window itself, and everything put back afterwards.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/main_state.h"
#include "app/main_window.h"
#include "app/thread_pause.h"
#include "app/window_classes.h"
#include "plans/plan_list.h"
#include "plans/settings.h"

namespace testsupport {

class MainWindowHarness {
public:
    // Registers what the window needs (call with ASSERT_NO_FATAL_FAILURE); the settings flags are
    // cleared unless the test loaded the machine's own.
    void Prepare(bool keepSettings = false) {
        if (!keepSettings) {
            plans::g_Settings.blob.dwFlagWord = 0;
        }
        ASSERT_EQ(g_AucPauseGate.Create(), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_EQ(RegisterWindowClasses(m_instance), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_TRUE(plans::CreatePlanListLock());
    }
    // Creates the main window and drops what its creation posted.
    void CreateMain() {
        m_hwnd = CreateWindowExW(WS_EX_LAYERED, kMainWindowClass, L"test", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 m_instance, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        MSG msg;
        while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE)) {
        }
    }
    // Destroys the window, drops the thread's messages and undoes Prepare.
    void Release() {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
        m_hwnd = nullptr;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        plans::ClosePlanListLock();
        g_AucPauseGate.Close();
        g_bRunFlag = false;
        plans::g_Settings.blob.dwFlagWord = 0;
        ResetMainWindowState();
        for (const wchar_t* name : {kMainWindowClass, kFrameWindowClass, kPowerOsdWindowClass}) {
            UnregisterClassW(name, m_instance);
        }
    }
    HWND Window() const { return m_hwnd; }

private:
    HINSTANCE m_instance = GetModuleHandleW(nullptr);
    HWND m_hwnd = nullptr;
};

}  // namespace testsupport
