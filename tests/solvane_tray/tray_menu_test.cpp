#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/launchers.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "app/ui_state.h"
#include "fake_power.h"
#include "app/main_state.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"
#include "tray_test_support.h"

using namespace tray;

namespace {

const GUID kMode1 = fakes::MakeGuid(0x11);
const GUID kMode2 = fakes::MakeGuid(0x12);
const GUID kMode3 = fakes::MakeGuid(0x13);
const GUID kOtherX = fakes::MakeGuid(0x21);
const GUID kOtherY = fakes::MakeGuid(0x22);

class TrayMenuTest : public testing::Test {
protected:
    void SetUp() override {
        traytest::InitProgramGlobals();
        testreg::ClearSolvaneKeys();
        fakes::Install();
        plans::g_dwPeakCutLevel = 0;
    }
    void TearDown() override {
        plans::g_dwPeakCutLevel = 0;
        traytest::SetFlags(0);
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
        plans::RefreshPlanList();
    }
    // Three modes (or two: modes 1 and 2 hold LED numbers 3 and 1) and two other plans.
    void Seed(bool threeMode) {
        testreg::ClearSolvaneKeys();
        fakes::Install();
        traytest::SetFlags(plans::FLAG_ECO | (threeMode ? plans::FLAG_THREE_MODE : 0));
        traytest::AddPlan(kMode1, L"ECOモード１の電源プラン", 1, threeMode ? 1 : 3);
        traytest::AddPlan(kMode2, L"モード２プラン", 2, threeMode ? 2 : 1);
        if (threeMode) {
            traytest::AddPlan(kMode3, L"モード３プラン", 3, 3);
        }
        traytest::AddPlan(kOtherX, L"その他X", 7, 0);
        traytest::AddPlan(kOtherY, L"その他Y", 99, 0);
        traytest::SetActive(kMode2);
        plans::g_Settings.nPinnedCount = threeMode ? 3 : 2;
        plans::g_Settings.pinned[0] = kMode1;
        plans::g_Settings.pinned[1] = kMode2;
        plans::g_Settings.pinned[2] = threeMode ? kMode3 : GUID_NULL;
        plans::RefreshPlanList();
    }
    struct Entry {
        UINT id;
        bool separator;
        bool grayed;
        bool ownerDrawn;
    };
    static std::vector<Entry> Entries(HMENU menu) {
        std::vector<Entry> entries;
        int count = GetMenuItemCount(menu);
        for (int i = 0; i < count; ++i) {
            MENUITEMINFOW info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
            GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
            entries.push_back({info.wID, (info.fType & MFT_SEPARATOR) != 0, (info.fState & MFS_GRAYED) != 0,
                               (info.fType & MFT_OWNERDRAW) != 0});
        }
        return entries;
    }
    static std::vector<UINT> Ids(const std::vector<Entry>& entries) {
        std::vector<UINT> ids;
        for (const Entry& e : entries) {
            ids.push_back(e.id);
        }
        return ids;
    }
    static std::vector<UINT> Enabled(const std::vector<Entry>& entries) {
        std::vector<UINT> ids;
        for (const Entry& e : entries) {
            if (!e.separator && !e.grayed) {
                ids.push_back(e.id);
            }
        }
        return ids;
    }
    static std::vector<Entry> Build(PlanMenuKind kind) {
        HMENU menu = CreatePopupMenu();
        BuildPlanMenu(menu, kind);
        std::vector<Entry> entries = Entries(menu);
        DestroyMenu(menu);
        return entries;
    }
};

std::vector<std::wstring> StringItems(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

}  // namespace

TEST_F(TrayMenuTest, LeftMenuListsModesThenOtherPlansThenSettings) {
    Seed(true);
    auto entries = Build(PlanMenuKind::LeftClick);
    std::vector<UINT> expected = {72, 71, 70, 66, 74, 75, 68, 69};
    EXPECT_EQ(Ids(entries), expected);
    for (const Entry& e : entries) {
        EXPECT_EQ(e.ownerDrawn, !e.separator) << e.id;
        EXPECT_TRUE(e.separator || !e.grayed) << e.id;
    }
    const auto& items = CurrentMenuItems();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_STREQ(items[0].szText, L"ECOモード１の電源プラン");
    EXPECT_STREQ(items[3].szText, L"その他X");
    EXPECT_STREQ(items[5].szText, L"ECOモードの設定");
    // Without ECO mode operation the settings item reads "電源プランの設定変更".
    traytest::SetFlags(plans::FLAG_THREE_MODE);
    Build(PlanMenuKind::LeftClick);
    EXPECT_STREQ(CurrentMenuItems().back().szText, L"電源プランの設定変更");
}

TEST_F(TrayMenuTest, TwoModeMenuPutsTheSeparatorAfterModeOne) {
    Seed(false);
    std::vector<UINT> expected = {72, 66, 71, 74, 75, 68, 69};
    EXPECT_EQ(Ids(Build(PlanMenuKind::LeftClick)), expected);
    // Mode 1 without a plan: neither it nor the separator after it.
    plans::g_Settings.pinned[0] = fakes::MakeGuid(0x99);
    plans::RefreshPlanList();
    auto ids = Ids(Build(PlanMenuKind::LeftClick));
    EXPECT_EQ(ids.front(), 71u);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 66u), 0);
}

TEST_F(TrayMenuTest, EcoButtonMenuListsTheModesBeforeItsSeparator) {
    struct Row {
        const char* name;
        bool threeMode;
        std::vector<UINT> ids;
    };
    const Row rows[] = {
        {"three modes", true, {72, 71, 70, 66, 74, 75, 68, 69}},
        {"two modes", false, {72, 71, 66, 74, 75, 68, 69}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Seed(row.threeMode);
        const auto entries = Build(PlanMenuKind::EcoButton);
        EXPECT_EQ(Ids(entries), row.ids);
        for (const Entry& e : entries) {
            EXPECT_EQ(e.ownerDrawn, !e.separator) << e.id;
        }
    }
    // Two modes, mode 1 without a plan: mode 2 and then the separator (the former mode-1 plan is
    // one of the other plans now).
    plans::g_Settings.pinned[0] = fakes::MakeGuid(0x99);
    plans::RefreshPlanList();
    EXPECT_EQ(Ids(Build(PlanMenuKind::EcoButton)), (std::vector<UINT>{71, 66, 74, 75, 76, 68, 69}));
}

TEST_F(TrayMenuTest, PeakCutGraysThePlansThatMayNotBeChosen) {
    Seed(true);
    plans::g_dwPeakCutLevel = 1;
    EXPECT_EQ(Enabled(Build(PlanMenuKind::LeftClick)), (std::vector<UINT>{71, 70, 69}));
    plans::g_dwPeakCutLevel = 2;
    EXPECT_EQ(Enabled(Build(PlanMenuKind::LeftClick)), (std::vector<UINT>{70, 69}));
    plans::g_dwPeakCutLevel = 3;
    EXPECT_EQ(Enabled(Build(PlanMenuKind::LeftClick)).size(), 6u);
    // The ECO-button menu is never grayed.
    plans::g_dwPeakCutLevel = 2;
    EXPECT_EQ(Enabled(Build(PlanMenuKind::EcoButton)).size(), 6u);
    // Two modes: level 1 grays nothing, level 2 leaves the ECO plan (LED number 3) only.
    Seed(false);
    plans::g_dwPeakCutLevel = 1;
    EXPECT_EQ(Enabled(Build(PlanMenuKind::LeftClick)).size(), 5u);
    plans::g_dwPeakCutLevel = 2;
    EXPECT_EQ(Enabled(Build(PlanMenuKind::LeftClick)), (std::vector<UINT>{72, 69}));
}

TEST_F(TrayMenuTest, PeakCutGrayingWithoutAModeTableGraysAndLogs) {
    plans::ModeSlot slots[3] = {};
    slots[2].guid = kMode3;
    EXPECT_FALSE(PlanGrayedByPeakCut(kMode3, 2, true, slots, true));
    EXPECT_TRUE(PlanGrayedByPeakCut(kMode1, 2, true, slots, true));
    EXPECT_FALSE(PlanGrayedByPeakCut(kMode1, 0, true, slots, true));
    EXPECT_FALSE(PlanGrayedByPeakCut(kMode1, 1, false, slots, true));
    struct Row {
        const char* name;
        int level;
        bool threeMode;
        bool grayed;
        bool logged;
    };
    const Row rows[] = {
        {"level 1, three modes", 1, true, true, true},
        {"level 2, three modes", 2, true, true, true},
        {"level 1, two modes", 1, false, true, true},
        {"level 2, two modes", 2, false, true, true},
        {"level 0: the table is not needed", 0, true, false, false},
        {"level 3: the table is not needed", 3, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        traytest::MarkErrors();
        EXPECT_EQ(PlanGrayedByPeakCut(kMode3, row.level, row.threeMode, slots, false), row.grayed);
        EXPECT_EQ(traytest::HasError(traytest::NewErrors(), L"fail : GetActivePwrScheme"), row.logged);
    }
}

TEST_F(TrayMenuTest, RightMenuVariants) {
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_METER | plans::FLAG_EXT_MONITOR);
    HMENU menu = CreatePopupMenu();
    BuildRightMenu(menu, true, false);
    EXPECT_EQ(StringItems(menu), (std::vector<std::wstring>{L"パネル表示(&R)", L"ECOモードの設定(&S)...",
                                                              L"ディスプレイ情報の取得", L"", L"終了(&X)"}));
    EXPECT_EQ(GetMenuItemID(menu, 0), 53u);
    EXPECT_EQ(GetMenuItemID(menu, 1), 48u);
    EXPECT_EQ(GetMenuItemID(menu, 2), 65u);
    EXPECT_EQ(GetMenuItemID(menu, 4), 50u);
    DestroyMenu(menu);
    // Panel variant without ECO operation, topmost and transparent, ECO input suppressed.
    traytest::SetFlags(plans::FLAG_TRANSPARENT | plans::FLAG_CANTCHGPP);
    menu = CreatePopupMenu();
    BuildRightMenu(menu, false, true);
    EXPECT_EQ(StringItems(menu),
              (std::vector<std::wstring>{L"最小化(&N)", L"手前に表示(&A)", L"パネルを透明化(&M)",
                                         L"電源プランの設定変更(&S)...", L"表示設定(&C)...", L"ヘルプ(&H)", L"",
                                         L"終了(&X)"}));
    EXPECT_EQ(GetMenuState(menu, 51, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(menu, 49, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(menu, 56, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    DestroyMenu(menu);
}

TEST_F(TrayMenuTest, EnergyViewerEntryNeedsAnExistingLaunchPath) {
    traytest::SetFlags(plans::FLAG_ECO);
    const std::wstring key = L"Software\\Orvel\\Halvard";
    testreg::SetString(HKEY_LOCAL_MACHINE, key, L"LaunchPath", L"C:\\windows\\notepad.exe");
    HMENU menu = CreatePopupMenu();
    BuildRightMenu(menu, true, false);
    EXPECT_EQ(GetMenuItemID(menu, 0), 64u);
    EXPECT_EQ(StringItems(menu)[0], L"消費電力の表示(&V)");
    EXPECT_STREQ(EnergyViewerPath(), L"C:\\windows\\notepad.exe") << "command 64 launches what the menu offered";
    DestroyMenu(menu);
    testreg::SetString(HKEY_LOCAL_MACHINE, key, L"LaunchMenuName", L"ビューア");
    menu = CreatePopupMenu();
    BuildRightMenu(menu, true, false);
    EXPECT_EQ(StringItems(menu)[0], L"ビューア");
    DestroyMenu(menu);
    testreg::SetString(HKEY_LOCAL_MACHINE, key, L"LaunchPath", L"C:\\no\\such\\viewer.exe");
    menu = CreatePopupMenu();
    BuildRightMenu(menu, true, false);
    EXPECT_NE(GetMenuItemID(menu, 0), 64u);
    DestroyMenu(menu);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST_F(TrayMenuTest, MeasureUsesTheMenuFontAndTheLayout) {
    Seed(true);
    traytest::TestOwner owner;
    HMENU menu = CreatePopupMenu();
    BuildPlanMenu(menu, PlanMenuKind::LeftClick);
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemID = 72;
    ASSERT_TRUE(OnMeasureMenuItem(owner.Get(), &measure));
    const ui::DpiFactors dpi = ui::ScreenDpiFactors();
    EXPECT_EQ(measure.itemHeight, static_cast<UINT>(24 * dpi.y));
    UINT longWidth = measure.itemWidth;
    measure.itemID = 71;
    ASSERT_TRUE(OnMeasureMenuItem(owner.Get(), &measure));
    EXPECT_GT(longWidth, measure.itemWidth);  // the longer name is wider
    EXPECT_GT(measure.itemWidth, static_cast<UINT>(50 * dpi.x));
    traytest::MarkErrors();
    measure.itemID = 60;
    EXPECT_FALSE(OnMeasureMenuItem(owner.Get(), &measure));
    EXPECT_TRUE(traytest::HasError(traytest::NewErrors(), L"fail : CreatePopupMenu/Left"));
    DestroyMenu(menu);
}

TEST_F(TrayMenuTest, DoubleClickOpensTheSettingsAndTheTimerFindsNoPendingClick) {
    Seed(true);
    ui::SetTrayOnly(true);
    traytest::TestOwner owner;
    const int menusBefore = LeftClickMenuCount();
    // The first click of the double click starts timer 1010.
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_LBUTTONUP);
    EXPECT_TRUE(LeftClickPending());
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_FALSE(LeftClickPending());
    EXPECT_TRUE(DoubleClickSeen());
    // The second button-up of the double click starts nothing and clears the mark.
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_LBUTTONUP);
    EXPECT_FALSE(LeftClickPending());
    EXPECT_FALSE(DoubleClickSeen());
    traytest::Pump(GetDoubleClickTime() + 400);
    EXPECT_EQ(LeftClickMenuCount(), menusBefore);
    auto& commands = traytest::TestOwner::Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], 48);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(g_MainState.ptDialog.x, work.right);
    EXPECT_EQ(g_MainState.ptDialog.y, work.bottom);
    ui::SetTrayOnly(false);
}

TEST_F(TrayMenuTest, SingleClickOpensTheLeftMenuAfterTheDoubleClickTime) {
    Seed(true);
    ui::SetTrayOnly(true);
    traytest::TestOwner owner;
    const int menusBefore = LeftClickMenuCount();
    struct Seen {
        int count = 0;
        std::vector<UINT> ids;
    } seen;
    {
        traytest::MenuWatcher watcher(
            owner.Get(),
            [](HWND, HMENU menu, void* context) {
                auto* s = static_cast<Seen*>(context);
                s->count = GetMenuItemCount(menu);
                for (int i = 0; i < s->count; ++i) {
                    s->ids.push_back(GetMenuItemID(menu, i));
                }
            },
            &seen);
        SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_LBUTTONUP);
        EXPECT_TRUE(traytest::PumpUntil([&] { return LeftClickMenuCount() > menusBefore; }, 5000));
    }
    EXPECT_FALSE(LeftClickPending());
    EXPECT_EQ(seen.ids, (std::vector<UINT>{72, 71, 70, 66, 74, 75, 68, 69}));
    // Not in tray-only operation, or with ECO input suppressed: a click starts nothing.
    ui::SetTrayOnly(false);
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_LBUTTONUP);
    EXPECT_FALSE(LeftClickPending());
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_TRAY_ONLY | plans::FLAG_CANTCHGPP);
    SendMessageW(owner.Get(), WM_APP_TRAY_CALLBACK, kTrayIconId, WM_LBUTTONUP);
    EXPECT_FALSE(LeftClickPending());
    ui::SetTrayOnly(false);
}

TEST_F(TrayMenuTest, EcoButtonMenuOpensNearTheLowerRightCornerInTrayOnlyOperation) {
    Seed(true);
    traytest::SetFlags(plans::FLAG_THREE_MODE | plans::FLAG_TRAY_ONLY);
    plans::RefreshPlanList();
    traytest::TestOwner owner;
    RECT menuRect = {};
    {
        traytest::MenuWatcher watcher(
            owner.Get(), [](HWND window, HMENU, void* context) { GetWindowRect(window, static_cast<RECT*>(context)); },
            &menuRect);
        SendMessageW(owner.Get(), 0x53C, 0, 0);
        EXPECT_TRUE(watcher.Seen());
    }
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.right - work.right / 128;
    EXPECT_NEAR(menuRect.right, x, 2);
    EXPECT_LE(menuRect.bottom, work.bottom);
    // Timer 10108 destroys the menu afterwards.
    EXPECT_TRUE(traytest::PumpUntil([] { return !EcoButtonMenuOpen(); }, 2000));
}

TEST_F(TrayMenuTest, SecondEcoButtonPressClosesTheOpenMenu) {
    Seed(true);
    traytest::SetFlags(plans::FLAG_THREE_MODE);
    plans::RefreshPlanList();
    traytest::TestOwner owner;
    struct Seen {
        HWND owner;
        bool openBefore = false;
    } seen{owner.Get()};
    {
        traytest::MenuWatcher watcher(
            owner.Get(),
            [](HWND, HMENU, void* context) {
                auto* s = static_cast<Seen*>(context);
                s->openBefore = EcoButtonMenuOpen();
                SendMessageW(s->owner, 0x53C, 0, 0);  // the second press, while the menu is tracked
            },
            &seen);
        SendMessageW(owner.Get(), 0x53C, 0, 0);
        // The press destroyed the menu at once, without waiting for timer 10108.
        EXPECT_FALSE(EcoButtonMenuOpen());
    }
    EXPECT_TRUE(seen.openBefore);
}
