// Pictures of the menus, the notification windows and the dialogs, taken from the X screen while
// they are open. They are kept under the build folder for a look; the tests check that each
// icon, text and the highlighted item was drawn where it belongs (pixels in those rectangles).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "resources/resource.h"
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
#include "tests/support/dpi_child.h"

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

// One item of a menu as it was on the screen.
struct ShotItem {
    UINT id = 0;
    RECT rect = {};
    bool highlighted = false;
    bool grayed = false;
    bool separator = false;
};

struct Shot {
    const wchar_t* name;
    std::wstring file;
    int itemHeight = 0;               // of the menu's first item, in pixels
    std::vector<ShotItem> items;      // menus
    std::vector<RECT> controls;       // dialogs: the visible controls with a text or an icon
};

// The items of a menu with their screen rectangles and states.
std::vector<ShotItem> MenuItems(HWND window, HMENU menu) {
    std::vector<ShotItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        ShotItem item;
        item.id = GetMenuItemID(menu, i);
        GetMenuItemRect(window, menu, static_cast<UINT>(i), &item.rect);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE | MIIM_FTYPE;
        if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
            item.highlighted = (info.fState & MFS_HILITE) != 0;
            item.grayed = (info.fState & MFS_DISABLED) != 0;
            item.separator = (info.fType & MFT_SEPARATOR) != 0;
        }
        items.push_back(item);
    }
    return items;
}

bool AnEnabledItemIsHighlighted(const std::vector<ShotItem>& items) {
    for (const ShotItem& item : items) {
        if (item.highlighted && !item.grayed) {
            return true;
        }
    }
    return false;
}

// Moves the menu's highlight with the Down key onto an enabled item, then takes the picture.
void ShootMenu(HWND window, HMENU menu, void* context) {
    auto* shot = static_cast<Shot*>(context);
    constexpr int kMaxKeyPresses = 8;
    constexpr DWORD kRedrawMs = 300;
    for (int i = 0; i < kMaxKeyPresses && !AnEnabledItemIsHighlighted(MenuItems(window, menu)); ++i) {
        PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        Sleep(kRedrawMs);
    }
    shot->items = MenuItems(window, menu);
    shot->file = traytest::Screenshot(shot->name);
    if (!shot->items.empty()) {
        shot->itemHeight = shot->items[0].rect.bottom - shot->items[0].rect.top;
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
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM param) {
                wchar_t className[16] = L"";
                GetClassNameW(child, className, 16);
                const bool icon = lstrcmpiW(className, L"Static") == 0 &&
                                  (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
                if (IsWindowVisible(child) && (GetWindowTextLengthW(child) > 0 || icon)) {
                    RECT rect = {};
                    GetWindowRect(child, &rect);
                    reinterpret_cast<std::vector<RECT>*>(param)->push_back(rect);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&shot->controls));
        shot->file = traytest::Screenshot(shot->name);
        PostMessageW(dialog, message, wParam, 0);
    });
}

// ---- What the pictures must show ------------------------------------------------------------

RECT At(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

LONG Area(const RECT& r) { return std::max<LONG>(0, r.right - r.left) * std::max<LONG>(0, r.bottom - r.top); }

// Pixels of the rectangle that are not its ground colour.
int NotGround(const traytest::Picture& picture, const RECT& rect, COLORREF ground) {
    return static_cast<int>(Area(rect)) - traytest::CountNear(picture, rect, ground, 8);
}

int Highlighted(const traytest::Picture& picture, const RECT& rect) {
    return std::max(traytest::CountNear(picture, rect, GetSysColor(COLOR_HIGHLIGHT), 8),
                    traytest::CountNear(picture, rect, GetSysColor(COLOR_MENUHILIGHT), 8));
}

bool IsPlanItem(UINT id) {
    constexpr UINT kSubmenu = static_cast<UINT>(-1);
    return id == IDM_PLAN_PINNED1 || id == IDM_PLAN_PINNED2 || id == IDM_PLAN_PINNED3 ||
           (id >= IDM_PLAN_OTHER_FIRST && id != kSubmenu);
}

// A menu's picture: the highlight lies on the highlighted item only; every plan item shows its
// icon and name, and the mark sits before the current plan only; every other item shows text.
void CheckMenu(const Shot& shot, UINT currentPlanItem, float dpi) {
    traytest::Picture picture;
    ASSERT_TRUE(traytest::ReadPicture(shot.file, &picture));
    ASSERT_TRUE(AnEnabledItemIsHighlighted(shot.items)) << "the Down key highlighted no item";
    const COLORREF ground = GetSysColor(COLOR_MENU);
    const auto scaled = [dpi](int value) { return static_cast<LONG>(value * dpi); };
    for (const ShotItem& item : shot.items) {
        if (item.separator || Area(item.rect) == 0) {
            continue;
        }
        SCOPED_TRACE(testing::Message() << "menu item " << item.id);
        const RECT& r = item.rect;
        const bool lit = item.highlighted && !item.grayed;
        if (lit) {
            EXPECT_GT(Highlighted(picture, r), Area(r) / 2) << "the highlighted item is drawn highlighted";
        } else {
            EXPECT_LT(Highlighted(picture, r), Area(r) / 20) << "no highlight on another item";
        }
        const COLORREF itemGround = lit ? GetSysColor(COLOR_HIGHLIGHT) : ground;
        if (!IsPlanItem(item.id)) {
            EXPECT_GT(NotGround(picture, r, itemGround), 20) << "the item's text";
            continue;
        }
        const RECT icon = At(r.left + scaled(16), r.top + scaled(4), r.left + scaled(32), r.top + scaled(20));
        const RECT name = At(r.left + scaled(42), r.top, r.right, r.bottom);
        const RECT mark = At(r.left, r.top + scaled(4), r.left + scaled(16), r.top + scaled(20));
        EXPECT_GT(NotGround(picture, icon, itemGround), 30) << "the plan's icon";
        EXPECT_GT(NotGround(picture, name, itemGround), 20) << "the plan's name";
        if (item.id == currentPlanItem) {
            EXPECT_GT(NotGround(picture, mark, itemGround), 20) << "the current plan's mark";
        } else {
            EXPECT_EQ(NotGround(picture, mark, itemGround), 0) << "no mark before another plan";
        }
    }
}

// The notification window's parts, in its client coordinates.
constexpr COLORREF kModeColours[3] = {RGB(0x00, 0x2E, 0xE9), RGB(0x00, 0x97, 0xBB), RGB(0x00, 0xB5, 0x14)};
constexpr RECT kThreeIcons[3] = {{31, 29, 111, 109}, {153, 29, 233, 109}, {275, 29, 355, 109}};
constexpr RECT kThreeNames[3] = {{15, 114, 127, 133}, {137, 114, 249, 133}, {259, 114, 371, 133}};
constexpr RECT kThreeLabels[3] = {{31, 5, 111, 24}, {153, 5, 233, 24}, {275, 5, 355, 24}};
constexpr RECT kTwoIcon = {21, 29, 101, 109};
constexpr RECT kTwoSentence = {115, 39, 371, 100};
constexpr int kTextPixels = 10;
constexpr int kIconPixels = 200;

RECT OnWindow(HWND window, const RECT& client) {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    return At(origin.x + client.left, origin.y + client.top, origin.x + client.right, origin.y + client.bottom);
}

// The three-mode window: each mode's icon, its label in black and its name in the mode's colour,
// or in grey when the mode may not be chosen.
void CheckThreeModeWindow(const std::wstring& file, const bool unavailable[3]) {
    HWND window = osd::NotificationWindow();
    ASSERT_NE(window, nullptr);
    traytest::Picture picture;
    ASSERT_TRUE(traytest::ReadPicture(file, &picture));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(testing::Message() << "mode " << i + 1);
        EXPECT_GT(traytest::CountDrawn(picture, OnWindow(window, kThreeIcons[i])), kIconPixels) << "icon";
        EXPECT_GT(traytest::CountNear(picture, OnWindow(window, kThreeLabels[i]), RGB(0, 0, 0)), kTextPixels)
            << "label";
        const RECT name = OnWindow(window, kThreeNames[i]);
        if (unavailable[i]) {
            EXPECT_GT(traytest::CountNear(picture, name, GetSysColor(COLOR_GRAYTEXT)), kTextPixels) << "grey name";
            EXPECT_EQ(traytest::CountNear(picture, name, kModeColours[i], 24), 0) << "no coloured name";
        } else {
            EXPECT_GT(traytest::CountNear(picture, name, kModeColours[i]), kTextPixels) << "coloured name";
        }
    }
}

// The two-mode window: the mode's icon and the sentence in the colour of mode 1 or 3.
void CheckTwoModeWindow(const std::wstring& file) {
    HWND window = osd::NotificationWindow();
    ASSERT_NE(window, nullptr);
    traytest::Picture picture;
    ASSERT_TRUE(traytest::ReadPicture(file, &picture));
    EXPECT_GT(traytest::CountDrawn(picture, OnWindow(window, kTwoIcon)), kIconPixels) << "icon";
    const RECT sentence = OnWindow(window, kTwoSentence);
    EXPECT_GT(std::max(traytest::CountNear(picture, sentence, kModeColours[0]),
                       traytest::CountNear(picture, sentence, kModeColours[2])),
              kTextPixels)
        << "the sentence in the mode's colour";
}

// A dialog's picture: every control with a text or an icon shows it.
void CheckDialog(const Shot& shot) {
    traytest::Picture picture;
    ASSERT_TRUE(traytest::ReadPicture(shot.file, &picture));
    ASSERT_FALSE(shot.controls.empty()) << "the dialog showed no control";
    for (const RECT& control : shot.controls) {
        EXPECT_GT(traytest::CountDrawn(picture, control), kTextPixels)
            << "control at " << control.left << "," << control.top;
    }
}

}  // namespace

TEST_F(ScreenshotTest, LeftClickMenu) {
    Seed(true);
    plans::g_dwPeakCutLevel = 1;
    traytest::TestOwner owner;
    SetCursorPos(900, 500);
    Shot shot{L"left_menu", L"", 0, {}, {}};
    {
        traytest::MenuWatcher watcher(owner.Get(), ShootMenu, &shot);
        tray::ShowLeftClickMenu(owner.Get(), nullptr);
    }
    Check(shot.file);
    CheckMenu(shot, IDM_PLAN_PINNED2, DpiFactor());
    // The owner-drawn items follow the DPI: 24 logical pixels high.
    EXPECT_EQ(shot.itemHeight, static_cast<int>(24 * DpiFactor()));
}

TEST_F(ScreenshotTest, RightClickMenu) {
    Seed(true);
    traytest::TestOwner owner;
    SetCursorPos(900, 500);
    Shot shot{L"right_menu", L"", 0, {}, {}};
    {
        traytest::MenuWatcher watcher(owner.Get(), ShootMenu, &shot);
        tray::ShowRightClickMenu(owner.Get(), true, POINT{});
    }
    Check(shot.file);
    CheckMenu(shot, IDM_PLAN_PINNED2, DpiFactor());
}

TEST_F(ScreenshotTest, ThreeModeNotification) {
    Seed(true);
    traytest::TestOwner owner;
    Press();
    Press();  // mode 3, with its long name
    traytest::Pump(300);
    const std::wstring all = traytest::Screenshot(L"three_mode_window");
    Check(all);
    const bool noneUnavailable[3] = {false, false, false};
    CheckThreeModeWindow(all, noneUnavailable);
    DestroyWindow(osd::NotificationWindow());
    // Peak cut at level 2: modes 1 and 2 unavailable.
    plans::g_dwPeakCutLevel = 2;
    Press();
    traytest::Pump(300);
    const std::wstring peakCut = traytest::Screenshot(L"three_mode_window_peak_cut");
    Check(peakCut);
    const bool firstTwoUnavailable[3] = {true, true, false};
    CheckThreeModeWindow(peakCut, firstTwoUnavailable);
    DestroyWindow(osd::NotificationWindow());
    traytest::Pump(0);
}

TEST_F(ScreenshotTest, TwoModeNotification) {
    Seed(false);
    traytest::TestOwner owner;
    Press();
    traytest::Pump(300);
    const std::wstring first = traytest::Screenshot(L"two_mode_window");
    Check(first);
    CheckTwoModeWindow(first);
    Press();
    traytest::Pump(300);
    const std::wstring pending = traytest::Screenshot(L"two_mode_window_pending");
    Check(pending);
    CheckTwoModeWindow(pending);
    DestroyWindow(osd::NotificationWindow());
    traytest::Pump(0);
}

TEST_F(ScreenshotTest, HotkeyDialog) {
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
    traytest::TestOwner owner;
    Shot shot{L"hotkey_dialog", L"", 0, {}, {}};
    std::thread shooter = ShootDialog(&shot, L"ホットキーの設定", WM_COMMAND, IDCANCEL);
    hotkey::ShowHotkeyDialog(owner.Get());
    shooter.join();
    Check(shot.file);
    CheckDialog(shot);
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
        Shot shot{q.name, L"", 0, {}, {}};
        std::thread shooter = ShootDialog(&shot, L"Kaviro", WM_COMMAND, IDNO);
        EXPECT_EQ(peakcut::ShowQuestion(owner.Get(), q.question), IDNO);
        shooter.join();
        Check(shot.file);
        CheckDialog(shot);
    }
}

// The same pictures at 144 DPI: a second run of these tests with the screen set to 144 DPI (the
// setting is read when a process starts).
TEST(ScreenshotAtHighDpi, MenusWindowsAndDialogs) {
    wchar_t dir[MAX_PATH];
    if (GetEnvironmentVariableW(L"TRAY_SCREENSHOT_DIR", dir, MAX_PATH) == 0) {
        GTEST_SKIP() << "TRAY_SCREENSHOT_DIR is not set (run through ctest)";
    }
    if (testsupport::IsDpiChild(L"TRAY_SCREENSHOT_SUFFIX")) {
        // This is the second run itself.
        EXPECT_EQ(DpiFactor(), 1.5f);
        return;
    }
    const DWORD exitCode = testsupport::RunSelfAtDpi(144, L"Screenshot*", L"TRAY_SCREENSHOT_SUFFIX", L"_144dpi");
    ASSERT_NE(exitCode, testsupport::kChildNotRun) << "the run at 144 DPI did not start or end";
    EXPECT_EQ(exitCode, 0u) << "the tests at 144 DPI failed (their output is above)";
}
