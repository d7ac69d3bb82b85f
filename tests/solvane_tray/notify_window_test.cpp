#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/notify_window.h"
#include "app/ui_state.h"
#include "fake_power.h"
#include "plans/mode_switch.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"
#include "tray_test_support.h"

using namespace osd;

namespace {

const GUID kMode1 = fakes::MakeGuid(0x31);
const GUID kMode2 = fakes::MakeGuid(0x32);
const GUID kMode3 = fakes::MakeGuid(0x33);

// The class as start-up registers it in ECO mode operation.
void RegisterEcoOsdClassForTests() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = EcoOsdWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kEcoOsdWindowClass;
    RegisterClassExW(&wc);  // once per process
}

struct Activation {
    GUID plan;
    DWORD led;
};
std::vector<Activation> g_activations;
std::vector<std::pair<GUID, GUID>> g_warnings;

void FakeActivate(const GUID& plan, DWORD led) {
    g_activations.push_back({plan, led});
    fakes::Store().active = plan;
}
void FakeWarning(const GUID& shown, const GUID& before) { g_warnings.push_back({shown, before}); }

class NotifyWindowTest : public testing::Test {
protected:
    void SetUp() override {
        traytest::InitProgramGlobals();
        testreg::ClearSolvaneKeys();
        fakes::Install();
        plans::g_dwPeakCutLevel = 0;
        g_dwOsModel = OS_MODEL_WIN7;
        plans::g_Settings.dwOsGeneration = OS_MODEL_WIN7;
        RegisterEcoOsdClassForTests();
        g_activations.clear();
        g_warnings.clear();
        g_pfnActivateModePlan = FakeActivate;
        g_pfnVideoWarning = FakeWarning;
    }
    void TearDown() override {
        if (NotificationWindow() != nullptr) {
            DestroyWindow(NotificationWindow());
        }
        traytest::Pump(0);
        g_pfnActivateModePlan = ActivateModePlanDefault;
        g_pfnVideoWarning = VideoWarningDefault;
        plans::g_dwPeakCutLevel = 0;
        g_dwOsModel = 0;
        plans::g_Settings.dwOsGeneration = 0;
        traytest::SetFlags(0);
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
    }
    static void SeedThree(bool withMode2, bool withMode3) {
        traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
        traytest::AddPlan(kMode1, L"モード１プラン", 1, 1);
        traytest::AddPlan(kMode2, L"モード２プラン", 2, withMode2 ? 2 : 0);
        traytest::AddPlan(kMode3, L"モード３プラン", 3, withMode3 ? 3 : 0);
        traytest::SetActive(kMode1);
    }
    static void SeedTwo() {
        traytest::SetFlags(plans::FLAG_ECO);
        traytest::AddPlan(kMode1, L"標準プラン", 0, 1);  // normal plan, LED number 1
        traytest::AddPlan(kMode3, L"ECOプラン", 1, 3);   // ECO plan, LED number 3
        traytest::SetActive(kMode1);
    }
    // One press of the ECO button as the main window hands it on; the forwarded press is posted.
    static void Press(HWND) {
        osd::OnEcoPress();
        traytest::Pump(0);
    }
};

}  // namespace

TEST(NotificationRules, PlacementInTheLowerMiddle) {
    POINT p = NotificationPosition(1366, 768, kOsdWidth, kOsdHeight);
    EXPECT_EQ(p.x, 490);
    EXPECT_EQ(p.y, 572);
    p = NotificationPosition(1920, 1080, kOsdWidth, kOsdHeight);
    EXPECT_EQ(p.x, 767);
    EXPECT_EQ(p.y, 842);
    p = NotificationPosition(1280, 1024, kOsdWidth, kOsdHeight);
    EXPECT_EQ(p.x, 447);
    EXPECT_EQ(p.y, 1024 - 138 - (512 - 138) / 4);
}

TEST(NotificationRules, IconTableAndFittedText) {
    EXPECT_EQ(NotificationIconId(3, 1, 2), 760);
    EXPECT_EQ(NotificationIconId(0, 0, 1), 700);
    EXPECT_EQ(NotificationIconId(4, 2, 3), 826);
    EXPECT_EQ(NotificationIconId(5, 0, 1), 718);  // no row for 5: row 10
    EXPECT_EQ(NotificationIconId(99, 2, 3), 820);
    EXPECT_EQ(NotificationIconId(1, 3, 1), -1);
    for (int key : {0, 1, 2, 3, 4, 7, 8, 9, 10, 11}) {
        for (int column = 0; column < 3; ++column) {
            for (int mode = 1; mode <= 3; ++mode) {
                int id = NotificationIconId(key, column, mode);
                HICON icon = static_cast<HICON>(
                    LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 80, 80, 0));
                EXPECT_NE(icon, nullptr) << id;
                DestroyIcon(icon);
            }
        }
    }
    auto tenPerChar = [](const wchar_t* t) { return static_cast<int>(wcslen(t)) * 10; };
    wchar_t text[32] = L"abcdefghij";
    FitText(text, 32, 100, tenPerChar);
    EXPECT_STREQ(text, L"abcdefghij");
    FitText(text, 32, 60, tenPerChar);
    EXPECT_STREQ(text, L"abc...");
    wchar_t tiny[32] = L"abcdef";
    FitText(tiny, 32, 20, tenPerChar);
    EXPECT_STREQ(tiny, L"...");
}

TEST_F(NotifyWindowTest, ThreePressesSelectModeThreeAndSwitchOnceAfterTwoSeconds) {
    SeedThree(true, true);
    traytest::TestOwner owner;
    Press(owner.Get());
    HWND window = NotificationWindow();
    ASSERT_NE(window, nullptr);
    NotificationView view = CurrentNotificationView();
    EXPECT_TRUE(view.bThreeMode);
    EXPECT_EQ(view.nInitial, 1);
    EXPECT_EQ(view.nSelected, 1);
    // An always-on-top tool window that never takes the focus, in the lower middle.
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_DISABLED);
    EXPECT_EQ(GetWindow(window, GW_OWNER), owner.Get()) << "owned by the main window";
    RECT rc = {};
    GetWindowRect(window, &rc);
    POINT expected = NotificationPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 386, 138);
    EXPECT_EQ(rc.left, expected.x);
    EXPECT_EQ(rc.top, expected.y);
    EXPECT_EQ(rc.right - rc.left, 386);
    Press(owner.Get());
    Press(owner.Get());
    EXPECT_EQ(NotificationWindow(), window);  // never a second window
    EXPECT_EQ(CurrentNotificationView().nSelected, 3);
    traytest::Pump(1000);
    EXPECT_TRUE(g_activations.empty());
    EXPECT_TRUE(traytest::PumpUntil([] { return NotificationWindow() == nullptr; }, 3000));
    traytest::Pump(100);
    ASSERT_EQ(g_activations.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_activations[0].plan, kMode3));
    EXPECT_EQ(g_activations[0].led, 3u);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(NotifyWindowTest, TimingOutOnTheActiveModeChangesNothing) {
    SeedThree(true, true);
    traytest::TestOwner owner;
    Press(owner.Get());
    ASSERT_NE(NotificationWindow(), nullptr);
    EXPECT_TRUE(traytest::PumpUntil([] { return NotificationWindow() == nullptr; }, 4000));
    EXPECT_TRUE(g_activations.empty());
    // Around the circle back to the active mode: nothing either.
    Press(owner.Get());
    Press(owner.Get());
    Press(owner.Get());
    Press(owner.Get());
    EXPECT_EQ(CurrentNotificationView().nSelected, 1);
    EXPECT_TRUE(traytest::PumpUntil([] { return NotificationWindow() == nullptr; }, 4000));
    EXPECT_TRUE(g_activations.empty());
}

TEST_F(NotifyWindowTest, PeakCutLevelTwoAllowsModeThreeOnly) {
    SeedThree(true, true);
    plans::g_dwPeakCutLevel = 2;
    traytest::TestOwner owner;
    Press(owner.Get());
    ASSERT_NE(NotificationWindow(), nullptr);
    Press(owner.Get());
    EXPECT_EQ(CurrentNotificationView().nSelected, 3);
    Press(owner.Get());
    EXPECT_EQ(CurrentNotificationView().nSelected, 3);
    EXPECT_TRUE(traytest::PumpUntil([] { return NotificationWindow() == nullptr; }, 4000));
    ASSERT_EQ(g_activations.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_activations[0].plan, kMode3));
}

TEST_F(NotifyWindowTest, NothingOpensWithoutAnAllowedMode) {
    SeedThree(true, false);
    plans::g_dwPeakCutLevel = 2;
    traytest::TestOwner owner;
    Press(owner.Get());
    EXPECT_EQ(NotificationWindow(), nullptr);
    plans::g_dwPeakCutLevel = 1;  // mode 2 is set: it may open
    Press(owner.Get());
    EXPECT_NE(NotificationWindow(), nullptr);
}

TEST_F(NotifyWindowTest, TwoModesSwitchAtOnceAndAgainAfterTheLastPress) {
    SeedTwo();
    traytest::TestOwner owner;
    Press(owner.Get());
    ASSERT_NE(NotificationWindow(), nullptr);
    ASSERT_EQ(g_activations.size(), 1u);  // the first press already switches
    EXPECT_TRUE(IsEqualGUID(g_activations[0].plan, kMode3));
    EXPECT_EQ(g_activations[0].led, 3u);
    NotificationView view = CurrentNotificationView();
    EXPECT_FALSE(view.bThreeMode);
    EXPECT_EQ(view.nSelected, 3);
    EXPECT_EQ(view.nPhase, PHASE_APPLIED);
    Press(owner.Get());
    view = CurrentNotificationView();
    EXPECT_EQ(view.nSelected, 1);
    EXPECT_EQ(view.nPhase, PHASE_PENDING);
    EXPECT_EQ(g_activations.size(), 1u);
    // Two seconds later the normal plan is applied with the LED off; two more and it closes.
    EXPECT_TRUE(traytest::PumpUntil([] { return g_activations.size() == 2; }, 3000));
    EXPECT_TRUE(IsEqualGUID(g_activations[1].plan, kMode1));
    EXPECT_EQ(g_activations[1].led, 0u);
    EXPECT_EQ(CurrentNotificationView().nPhase, PHASE_APPLIED);
    EXPECT_NE(NotificationWindow(), nullptr);
    EXPECT_TRUE(traytest::PumpUntil([] { return NotificationWindow() == nullptr; }, 3000));
    ASSERT_EQ(g_warnings.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_warnings[0].first, kMode1));
    EXPECT_TRUE(IsEqualGUID(g_warnings[0].second, kMode1));
}

TEST_F(NotifyWindowTest, TwoModesRefuseToLeaveTheEcoPlanDuringAPeakCut) {
    SeedTwo();
    traytest::SetActive(kMode3);
    plans::g_dwPeakCutLevel = 1;
    traytest::TestOwner owner;
    Press(owner.Get());
    ASSERT_NE(NotificationWindow(), nullptr);
    EXPECT_TRUE(g_activations.empty());
    EXPECT_EQ(CurrentNotificationView().nPhase, PHASE_REFUSED);
    EXPECT_EQ(CurrentNotificationView().nSelected, 3);
    Press(owner.Get());
    EXPECT_EQ(CurrentNotificationView().nPhase, PHASE_REFUSED);
    EXPECT_EQ(CurrentNotificationView().nSelected, 3);
    EXPECT_TRUE(traytest::PumpUntil([] { return NotificationWindow() == nullptr; }, 3000));
    EXPECT_TRUE(g_activations.empty());
    // Without the peak cut the ECO plan gives way to the normal plan at once.
    plans::g_dwPeakCutLevel = 0;
    Press(owner.Get());
    ASSERT_EQ(g_activations.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_activations[0].plan, kMode1));
    EXPECT_EQ(g_activations[0].led, 0u);
}

// A busy plan list says nothing about deleted plans: the press is dropped without message 274.
TEST_F(NotifyWindowTest, TwoModesWithABusyPlanListShowNoWarning) {
    traytest::SetFlags(plans::FLAG_ECO);
    traytest::AddPlan(kMode1, L"標準プラン", 0, 1);  // one mode only: 274 when the list is readable
    traytest::TestOwner owner;
    ASSERT_TRUE(plans::CreatePlanListLock());
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([held, release] {
        plans::PlanListLock lock(0);
        SetEvent(held);
        WaitForSingleObject(release, 10000);
    });
    ASSERT_EQ(WaitForSingleObject(held, 5000), WAIT_OBJECT_0);
    // Any box would be modal inside the press: the watcher records and closes it.
    std::atomic<bool> pressDone{false};
    std::atomic<bool> boxSeen{false};
    std::thread watcher([&pressDone, &boxSeen] {
        while (!pressDone.load()) {
            if (HWND box = FindWindowW(L"#32770", g_szProgramTitle); box != nullptr) {
                boxSeen = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(10);
        }
    });
    traytest::MarkErrors();
    Press(owner.Get());
    pressDone = true;
    watcher.join();
    SetEvent(release);
    holder.join();
    CloseHandle(held);
    CloseHandle(release);
    EXPECT_FALSE(boxSeen.load());
    EXPECT_EQ(NotificationWindow(), nullptr);
    EXPECT_TRUE(traytest::HasError(traytest::NewErrors(), L"fail : WaitForSingleObject/InitScheme"))
        << "the lock time-out is logged instead";
}

TEST_F(NotifyWindowTest, TwoModesWithADeletedModePlanWarnOnce) {
    traytest::SetFlags(plans::FLAG_ECO);
    traytest::AddPlan(kMode1, L"標準プラン", 0, 1);
    traytest::TestOwner owner;
    // Windows 8 and later: nothing at all.
    plans::g_Settings.dwOsGeneration = OS_MODEL_WIN8_OR_LATER;
    Press(owner.Get());
    EXPECT_EQ(NotificationWindow(), nullptr);
    plans::g_Settings.dwOsGeneration = OS_MODEL_WIN7;
    // A window of another thread holds the foreground: the box must still come to the front.
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD otherThread = 0;
    std::thread other([ready, &otherThread] {
        HWND window = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                      nullptr, nullptr);
        SetForegroundWindow(window);
        otherThread = GetCurrentThreadId();
        SetEvent(ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
        DestroyWindow(window);
    });
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    CloseHandle(ready);
    std::wstring text;
    bool inFront = false;
    std::thread closer([&text, &inFront] {
        HWND box = nullptr;
        for (int i = 0; i < 500 && box == nullptr; ++i) {
            box = FindWindowW(L"#32770", g_szProgramTitle);
            if (box != nullptr && !IsWindowVisible(box)) {
                box = nullptr;
            }
            Sleep(10);
        }
        if (box != nullptr) {
            for (int i = 0; i < 100 && !inFront; ++i) {
                inFront = GetForegroundWindow() == box;
                Sleep(10);
            }
            text = traytest::LongestStaticText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    Press(owner.Get());
    closer.join();
    PostThreadMessageW(otherThread, WM_QUIT, 0, 0);
    other.join();
    EXPECT_TRUE(inFront) << "message 274 opens in the foreground";
    EXPECT_NE(text.find(L"モードに設定されている電源プランが削除されています。"), std::wstring::npos) << text.size();
    EXPECT_NE(text.find(L"「ECOモードの設定（省電力設定）」画面で「初期設定に戻す」をクリック"), std::wstring::npos);
    EXPECT_EQ(NotificationWindow(), nullptr);
    EXPECT_TRUE(g_activations.empty());
}
