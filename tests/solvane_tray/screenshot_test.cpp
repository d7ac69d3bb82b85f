// Pictures of the menus, the notification windows and the dialogs, taken from the X screen while
// they are open. They are kept under the build folder for a look; the test checks that a picture
// of the screen's size was taken and that it is not blank.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/hotkey_dialog.h"
#include "app/notify_window.h"
#include "app/peakcut_question.h"
#include "app/tray_menu.h"
#include "app/ui_state.h"
#include "fake_power.h"
#include "plans/mode_switch.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"
#include "tray_test_support.h"

namespace {

const GUID kMode1 = fakes::MakeGuid(0x51);
const GUID kMode2 = fakes::MakeGuid(0x52);
const GUID kMode3 = fakes::MakeGuid(0x53);
const GUID kOther = fakes::MakeGuid(0x54);

void Press() {
    osd::OnEcoPress();
    traytest::Pump(0);
}

void RegisterEcoOsdClassOnce() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = EcoOsdWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kEcoOsdWindowClass;
    RegisterClassExW(&wc);
}

class ScreenshotTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        if (GetEnvironmentVariableW(L"TRAY_SCREENSHOT_DIR", dir, MAX_PATH) == 0) {
            GTEST_SKIP() << "TRAY_SCREENSHOT_DIR is not set (run through ctest)";
        }
        traytest::InitProgramGlobals();
        testreg::ClearSolvaneKeys();
        fakes::Install();
        plans::g_dwPeakCutLevel = 0;
        osd::g_pfnActivateModePlan = [](const GUID& plan, DWORD) { fakes::Store().active = plan; };
        osd::g_pfnVideoWarning = nullptr;
        RegisterEcoOsdClassOnce();
    }
    void TearDown() override {
        osd::g_pfnActivateModePlan = osd::ActivateModePlanDefault;
        osd::g_pfnVideoWarning = osd::VideoWarningDefault;
        plans::g_dwPeakCutLevel = 0;
        traytest::SetFlags(0);
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
    }
    static void Seed(bool threeMode) {
        traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_METER | (threeMode ? plans::FLAG_THREE_MODE : 0) |
                           plans::FLAG_EXT_MONITOR);
        traytest::AddPlan(kMode1, L"パフォーマンス優先", 0, threeMode ? 1 : 0);
        traytest::AddPlan(kMode2, L"標準（バランス）", 2, threeMode ? 2 : 1);
        traytest::AddPlan(kMode3, L"しっかり節電モードの長い名前のプランです", 1, 3);
        traytest::AddPlan(kOther, L"プレゼンテーション", 9, 0);
        traytest::SetActive(kMode2);
        plans::g_Settings.nPinnedCount = 3;
        plans::g_Settings.pinned[0] = kMode1;
        plans::g_Settings.pinned[1] = kMode2;
        plans::g_Settings.pinned[2] = kMode3;
        plans::RefreshPlanList();
    }
    static void Check(const std::wstring& file) {
        ASSERT_FALSE(file.empty()) << "no screenshot";
        EXPECT_TRUE(traytest::PngLooksTaken(file, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    }
};

struct Shot {
    const wchar_t* name;
    std::wstring file;
    int itemHeight = 0;  // of the menu's first item, in pixels
};

void ShootMenu(HWND window, HMENU menu, void* context) {
    auto* shot = static_cast<Shot*>(context);
    shot->file = traytest::Screenshot(shot->name);
    RECT item = {};
    if (GetMenuItemRect(window, menu, 0, &item)) {
        shot->itemHeight = item.bottom - item.top;
    }
}

// The screen's DPI factor (LOGPIXELSY / 96).
float DpiFactor() {
    HDC dc = GetDC(nullptr);
    float factor = static_cast<float>(GetDeviceCaps(dc, LOGPIXELSY)) / 96.0f;
    ReleaseDC(nullptr, dc);
    return factor;
}

// Takes the picture of the first top-level dialog with this title, then sends it the message.
std::thread ShootDialog(Shot* shot, const wchar_t* title, UINT message, WPARAM wParam) {
    return std::thread([shot, title, message, wParam] {
        HWND dialog = nullptr;
        for (int i = 0; i < 500 && dialog == nullptr; ++i) {
            dialog = FindWindowW(L"#32770", title);
            if (dialog != nullptr && !IsWindowVisible(dialog)) {
                dialog = nullptr;  // still initialising
            }
            Sleep(10);
        }
        if (dialog == nullptr) {
            return;
        }
        Sleep(300);
        shot->file = traytest::Screenshot(shot->name);
        PostMessageW(dialog, message, wParam, 0);
    });
}

}  // namespace

TEST_F(ScreenshotTest, LeftClickMenu) {
    Seed(true);
    plans::g_dwPeakCutLevel = 1;
    traytest::TestOwner owner;
    SetCursorPos(900, 500);
    Shot shot{L"left_menu", L""};
    {
        traytest::MenuWatcher watcher(owner.Get(), ShootMenu, &shot);
        tray::ShowLeftClickMenu(owner.Get(), nullptr);
    }
    Check(shot.file);
    // The owner-drawn items follow the DPI: 24 logical pixels high.
    EXPECT_EQ(shot.itemHeight, static_cast<int>(24 * DpiFactor()));
}

TEST_F(ScreenshotTest, RightClickMenu) {
    Seed(true);
    traytest::TestOwner owner;
    SetCursorPos(900, 500);
    Shot shot{L"right_menu", L""};
    {
        traytest::MenuWatcher watcher(owner.Get(), ShootMenu, &shot);
        tray::ShowRightClickMenu(owner.Get(), true, POINT{});
    }
    Check(shot.file);
}

TEST_F(ScreenshotTest, ThreeModeNotification) {
    Seed(true);
    traytest::TestOwner owner;
    Press();
    Press();  // mode 3, with its long name
    traytest::Pump(300);
    Check(traytest::Screenshot(L"three_mode_window"));
    DestroyWindow(osd::NotificationWindow());
    // Peak cut at level 2: modes 1 and 2 unavailable.
    plans::g_dwPeakCutLevel = 2;
    Press();
    traytest::Pump(300);
    Check(traytest::Screenshot(L"three_mode_window_peak_cut"));
    DestroyWindow(osd::NotificationWindow());
    traytest::Pump(0);
}

TEST_F(ScreenshotTest, TwoModeNotification) {
    Seed(false);
    traytest::TestOwner owner;
    Press();
    traytest::Pump(300);
    Check(traytest::Screenshot(L"two_mode_window"));
    Press();
    traytest::Pump(300);
    Check(traytest::Screenshot(L"two_mode_window_pending"));
    DestroyWindow(osd::NotificationWindow());
    traytest::Pump(0);
}

TEST_F(ScreenshotTest, HotkeyDialog) {
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
    traytest::TestOwner owner;
    Shot shot{L"hotkey_dialog", L""};
    std::thread shooter = ShootDialog(&shot, L"ホットキーの設定", WM_COMMAND, IDCANCEL);
    hotkey::ShowHotkeyDialog(owner.Get());
    shooter.join();
    Check(shot.file);
}

TEST_F(ScreenshotTest, PeakCutQuestions) {
    Seed(true);
    traytest::TestOwner owner;
    const struct {
        const wchar_t* name;
        peakcut::Question question;
    } questions[] = {{L"question_eco", peakcut::Question::Eco},
                     {L"question_hibernate", peakcut::Question::Hibernate},
                     {L"question_mode3", peakcut::Question::Mode3}};
    for (const auto& q : questions) {
        Shot shot{q.name, L""};
        std::thread shooter = ShootDialog(&shot, L"Kaviro", WM_COMMAND, IDNO);
        EXPECT_EQ(peakcut::ShowQuestion(owner.Get(), q.question), IDNO);
        shooter.join();
        Check(shot.file);
    }
}

// The same pictures at 144 DPI: a second run of these tests with the screen set to 144 DPI (the
// setting is read when a process starts).
TEST(ScreenshotAtHighDpi, MenusWindowsAndDialogs) {
    wchar_t dir[MAX_PATH];
    if (GetEnvironmentVariableW(L"TRAY_SCREENSHOT_DIR", dir, MAX_PATH) == 0) {
        GTEST_SKIP() << "TRAY_SCREENSHOT_DIR is not set (run through ctest)";
    }
    wchar_t suffix[32] = L"";
    if (GetEnvironmentVariableW(L"TRAY_SCREENSHOT_SUFFIX", suffix, 32) != 0) {
        // This is the second run itself.
        EXPECT_EQ(DpiFactor(), 1.5f);
        return;
    }
    const std::wstring desktop = L"Control Panel\\Desktop";
    DWORD previous = 0;
    const bool hadValue = testreg::GetDword(HKEY_CURRENT_USER, desktop, L"LogPixels", &previous);
    ASSERT_EQ(testreg::SetDword(HKEY_CURRENT_USER, desktop, L"LogPixels", 144), ERROR_SUCCESS);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=Screenshot*";
    SetEnvironmentVariableW(L"TRAY_SCREENSHOT_SUFFIX", L"_144dpi");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    BOOL started = CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"TRAY_SCREENSHOT_SUFFIX", nullptr);
    DWORD exitCode = 1;
    if (started) {
        WaitForSingleObject(pi.hProcess, 100000);
        GetExitCodeProcess(pi.hProcess, &exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (hadValue) {
        testreg::SetDword(HKEY_CURRENT_USER, desktop, L"LogPixels", previous);
    } else {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, desktop.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, L"LogPixels");
            RegCloseKey(key);
        }
    }
    ASSERT_TRUE(started);
    EXPECT_EQ(exitCode, 0u) << "the tests at 144 DPI failed (their output is above)";
}
