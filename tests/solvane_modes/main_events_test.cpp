// The main window's event handling and the state it keeps, inside the test process (no LED
// device, Wine's own power management): session, LED flags, power broadcasts, requests from a
// second start, the colour utility's permission.
#include "app/main_window.h"

#include <gtest/gtest.h>
#include <wtsapi32.h>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/power_events.h"
#include "app/thread_pause.h"
#include "app/window_classes.h"
#include "drivers/eco_led.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/settings.h"
#include "tests/solvane_app/test_support.h"
#include "tests/support/main_window_harness.h"

namespace {

constexpr wchar_t kProgramKeyPath[] = L"Software\\Orvel\\Solvane";

// Waits for a message posted to the window (without dispatching anything).
bool WaitPosted(HWND hwnd, UINT message, WPARAM wParam, DWORD timeoutMs, MSG* out = nullptr) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) {
            if (msg.message == message && (wParam == static_cast<WPARAM>(-1) || msg.wParam == wParam)) {
                if (out != nullptr) {
                    *out = msg;
                }
                return true;
            }
        }
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

// Whether the window's timer `id` comes before a marker timer armed now for `markerMs`. The
// marker always comes; a timer that was started before it with a shorter time comes first.
bool TimerComesBeforeMarker(HWND hwnd, UINT_PTR id, UINT markerMs) {
    constexpr UINT_PTR kMarkerTimer = 0x7E57;
    constexpr DWORD kMarkerGraceMs = 10000;
    SetTimer(hwnd, kMarkerTimer, markerMs, nullptr);
    bool seen = false;
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            if (msg.wParam == id) {
                seen = true;
            } else if (msg.wParam == kMarkerTimer) {
                KillTimer(hwnd, kMarkerTimer);
                return seen;
            }
        }
        Sleep(5);
    } while (GetTickCount() - start < markerMs + kMarkerGraceMs);
    KillTimer(hwnd, kMarkerTimer);
    ADD_FAILURE() << "the marker timer never came";
    return seen;
}

class MainEvents : public testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(m_main.Prepare()); }
    void CreateMain() {
        ASSERT_NO_FATAL_FAILURE(m_main.CreateMain());
        m_hwnd = m_main.Window();
    }
    void TearDown() override {
        m_main.Release();
        drivers::SetLedDesiredState(drivers::LED_STATE_UNSET);
    }
    void Session(WPARAM event) { SendMessageW(m_hwnd, WM_WTSSESSION_CHANGE, event, 0); }

    testsupport::MainWindowHarness m_main;
    HWND m_hwnd = nullptr;
    // The session handler saves the settings when locked: keep the user's record as it was.
    testsupport::ScopedRegValue m_settings{HKEY_CURRENT_USER, kProgramKeyPath, L"Settings"};
    testsupport::ScopedRegValue m_saveColor{HKEY_CURRENT_USER, kProgramKeyPath, L"SaveColor"};
};

TEST_F(MainEvents, CreationSetsUpTheSessionState) {
    testsupport::ScopedRegValue delay(HKEY_LOCAL_MACHINE, kProgramKeyPath, L"DelayBrightness");
    delay.Delete();
    CreateMain();
    EXPECT_EQ(g_hMainWnd, m_hwnd);
    EXPECT_TRUE(g_MainState.bUserPresent);
    EXPECT_TRUE(g_MainState.bSessionUnlocked);
    EXPECT_TRUE(g_MainState.bBrightnessFollowUp);
    EXPECT_FALSE(g_MainState.bLedRestorePending);
    EXPECT_FALSE(g_MainState.bLedRestoreDone);
    EXPECT_EQ(g_MainState.dwBrightnessDelay, 1000u) << "default without \"DelayBrightness\"";
    EXPECT_NE(g_MainState.uTaskbarCreated, 0u);
    EXPECT_EQ(g_MainState.uTaskbarCreated, RegisterWindowMessageW(L"TaskbarCreated"));
    EXPECT_GT(g_MainState.fDpiX, 0.0f);
    EXPECT_TRUE(g_MainState.bSessionNotification);
    EXPECT_NE(g_MainState.powerNotify[0].Get(), nullptr) << "active-scheme notification registered";
}

TEST_F(MainEvents, BrightnessDelayIsUsedAsStoredZeroIncluded) {
    testsupport::ScopedRegValue delay(HKEY_LOCAL_MACHINE, kProgramKeyPath, L"DelayBrightness");
    ASSERT_EQ(delay.SetDword(0), ERROR_SUCCESS);
    EXPECT_EQ(ReadBrightnessDelay(), 0u);
    ASSERT_EQ(delay.SetDword(2500), ERROR_SUCCESS);
    EXPECT_EQ(ReadBrightnessDelay(), 2500u);
    ASSERT_EQ(delay.SetString(L"9"), ERROR_SUCCESS);
    EXPECT_EQ(ReadBrightnessDelay(), 1000u) << "not a DWORD: the default";
}

TEST_F(MainEvents, SecondStartRequestsBecomeSettingsCommandsFromOutside) {
    CreateMain();
    SendMessageW(m_hwnd, WM_APP_ECO_SETTINGS, 0, 0);
    MSG msg{};
    ASSERT_TRUE(WaitPosted(m_hwnd, WM_COMMAND, static_cast<WPARAM>(-1), 500, &msg));
    EXPECT_EQ(LOWORD(msg.wParam), IDM_ECO_SETTINGS);
    EXPECT_EQ(msg.lParam, -1);
    SendMessageW(m_hwnd, WM_APP_PLAN_SETTINGS, 0, 0);
    ASSERT_TRUE(WaitPosted(m_hwnd, WM_COMMAND, static_cast<WPARAM>(-1), 500, &msg));
    EXPECT_EQ(LOWORD(msg.wParam), IDM_PLAN_SETTINGS);
    EXPECT_EQ(msg.lParam, -1);
}

TEST_F(MainEvents, SystemMenuCloseAndMinimiseBecomeCommands) {
    CreateMain();
    EXPECT_EQ(SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    MSG msg{};
    ASSERT_TRUE(WaitPosted(m_hwnd, WM_COMMAND, static_cast<WPARAM>(-1), 500, &msg));
    EXPECT_EQ(LOWORD(msg.wParam), IDM_EXIT);
    EXPECT_TRUE(IsWindow(m_hwnd)) << "the exit runs from the posted command";
    SendMessageW(m_hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitPosted(m_hwnd, WM_COMMAND, static_cast<WPARAM>(-1), 500, &msg));
    EXPECT_EQ(LOWORD(msg.wParam), IDM_MINIMIZE_TO_TRAY);
}

TEST_F(MainEvents, PowerBroadcastAlwaysAnswersOne) {
    CreateMain();
    EXPECT_EQ(SendMessageW(m_hwnd, WM_POWERBROADCAST, 0x1234, 0), 1);
    EXPECT_EQ(SendMessageW(m_hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0), 1) << "no setting block";
    EXPECT_EQ(SendMessageW(m_hwnd, WM_DEVICECHANGE, 0x8000, 0), 1);
    EXPECT_EQ(SendMessageW(m_hwnd, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0), 1);
    EXPECT_TRUE(WaitPosted(m_hwnd, WM_TIMER, IDT_PANEL_REPAINT, 3000)) << "the panel repaint follows in 1 s";
}

TEST_F(MainEvents, SettingChangesThatFollowNoPlanStartNoBrightnessTimer) {
    struct Case {
        GUID setting;
        DWORD value;
        const char* what;
    };
    const GUID lid = {0xBA3E0F4D, 0xB817, 0x4094, {0xA2, 0xD1, 0xD5, 0x63, 0x79, 0xE6, 0xA0, 0xF3}};
    const GUID monitorOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
    const Case cases[] = {
        {lid, 0, "lid closed"},
        {monitorOn, 0, "monitor switched off"},
        {plans::kSettingProcessorMax, 50, "processor limited below full"},
    };
    CreateMain();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A short delay, so that a wrongly started timer comes long before the marker.
        g_MainState.dwBrightnessDelay = 10;
        BYTE block[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
        auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(block);
        setting->PowerSetting = c.setting;
        setting->DataLength = sizeof(DWORD);
        CopyMemory(setting->Data, &c.value, sizeof(c.value));
        EXPECT_EQ(SendMessageW(m_hwnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(block)), 1);
        EXPECT_FALSE(TimerComesBeforeMarker(m_hwnd, IDT_BRIGHTNESS, 200));
        KillTimer(m_hwnd, IDT_BRIGHTNESS);
    }
}

TEST_F(MainEvents, SessionEventsFollowLockAndPresence) {
    CreateMain();
    Session(WTS_SESSION_LOCK);
    EXPECT_FALSE(g_MainState.bSessionUnlocked);
    Session(WTS_SESSION_UNLOCK);
    EXPECT_TRUE(g_MainState.bSessionUnlocked);
    EXPECT_TRUE(WaitPosted(m_hwnd, WM_TIMER, IDT_PANEL_REPAINT, 4000)) << "repaint 2 s after unlock";

    Session(WTS_CONSOLE_DISCONNECT);
    EXPECT_FALSE(g_MainState.bUserPresent);
    EXPECT_TRUE(g_AucPauseGate.Paused()) << "the automatic plan change waits at its next turn";
    Session(WTS_CONSOLE_CONNECT);
    EXPECT_TRUE(g_MainState.bUserPresent);
    EXPECT_FALSE(g_AucPauseGate.Paused());

    Session(WTS_REMOTE_CONNECT);  // any other event changes nothing
    EXPECT_TRUE(g_MainState.bUserPresent);
    EXPECT_TRUE(g_MainState.bSessionUnlocked);
}

TEST_F(MainEvents, TrayOnlyUnlockStartsNoRepaint) {
    CreateMain();
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_TRAY_ONLY;
    Session(WTS_SESSION_LOCK);
    Session(WTS_SESSION_UNLOCK);
    // An unlock repaint would be due in 2 s, before the marker.
    EXPECT_FALSE(TimerComesBeforeMarker(m_hwnd, IDT_PANEL_REPAINT, 2300));
}

TEST_F(MainEvents, LedFlagsRunThroughLockAndUnlock) {
    CreateMain();
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_ECO;
    drivers::SetLedDesiredState(2);
    Session(WTS_SESSION_LOCK);
    EXPECT_TRUE(g_MainState.bLedRestoreDone);
    EXPECT_FALSE(g_MainState.bLedRestorePending);
    EXPECT_EQ(drivers::GetLedDesiredState(), drivers::LED_STATE_TRANSITION5);

    drivers::SetLedDesiredState(1);
    Session(WTS_CONSOLE_DISCONNECT);  // still locked: restore already marked
    EXPECT_EQ(drivers::GetLedDesiredState(), 1u) << "a second lock-like event leaves the value";
    EXPECT_TRUE(g_MainState.bLedRestoreDone);

    Session(WTS_SESSION_UNLOCK);  // unlocked but nobody at the console
    EXPECT_TRUE(g_MainState.bLedRestoreDone);
    Session(WTS_CONSOLE_CONNECT);  // unlocked and present: restored
    EXPECT_FALSE(g_MainState.bLedRestoreDone);
    EXPECT_FALSE(g_MainState.bLedRestorePending);
}

TEST_F(MainEvents, ResumeWhileLockedLeavesTheLedToTheUnlock) {
    CreateMain();
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_ECO;
    Session(WTS_SESSION_LOCK);
    ASSERT_TRUE(g_MainState.bLedRestoreDone);
    EXPECT_EQ(SendMessageW(m_hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), 1);
    EXPECT_TRUE(g_MainState.bLedRestorePending) << "locked: the unlock restores the LED";
    EXPECT_EQ(drivers::GetLedDesiredState(), drivers::LED_STATE_TRANSITION4);
    Session(WTS_SESSION_LOCK);  // pending: the value 4 stays
    EXPECT_EQ(drivers::GetLedDesiredState(), drivers::LED_STATE_TRANSITION4);
    Session(WTS_SESSION_UNLOCK);
    EXPECT_FALSE(g_MainState.bLedRestorePending);
    EXPECT_FALSE(g_MainState.bLedRestoreDone);
}

TEST_F(MainEvents, ResumeWhileUnlockedRestoresTheLedAtOnce) {
    CreateMain();
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_ECO;
    EXPECT_EQ(SendMessageW(m_hwnd, WM_POWERBROADCAST, PBT_APMRESUMECRITICAL, 0), 1);
    EXPECT_FALSE(g_MainState.bLedRestorePending);
    EXPECT_EQ(drivers::GetLedDesiredState(), drivers::LED_STATE_TRANSITION4);

    g_MainState.bUserPresent = false;  // nobody at the console: the LED is left alone
    drivers::SetLedDesiredState(3);
    SendMessageW(m_hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    EXPECT_EQ(drivers::GetLedDesiredState(), 3u);
    EXPECT_FALSE(g_MainState.bLedRestorePending);
}

// The colour utility's resident window, answering 0x800 with a set value.
LRESULT g_colourAnswer = 1;
LRESULT CALLBACK ColourProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP_COLOUR_MAY_SET) {
        return g_colourAnswer;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(ColourUtility, PermissionFollowsTheAnswer) {
    EXPECT_TRUE(ColourUtilityPermits()) << "no utility: permitted";
    WNDCLASSW wc{};
    wc.lpfnWndProc = ColourProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kColourUtilityClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND utility = CreateWindowW(kColourUtilityClass, kColourUtilityTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_NE(utility, nullptr);
    g_colourAnswer = 1;
    EXPECT_TRUE(ColourUtilityPermits());
    g_colourAnswer = 0;
    EXPECT_FALSE(ColourUtilityPermits());
    g_colourAnswer = 2;
    EXPECT_FALSE(ColourUtilityPermits());
    SetWindowTextW(utility, L"another title");
    EXPECT_TRUE(ColourUtilityPermits()) << "only the resident window's title counts";
    DestroyWindow(utility);
    UnregisterClassW(kColourUtilityClass, wc.hInstance);
}

}  // namespace
