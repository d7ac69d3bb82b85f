// A tray plan command reaches the plan the menu showed through the main window's WM_COMMAND,
// however the plan list changed between the menu and the command.
#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/main_state.h"
#include "app/thread_pause.h"
#include "app/tray_menu.h"
#include "app/window_classes.h"
#include "common/handles.h"
#include "fake_power.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/settings.h"
#include "test_registry.h"

namespace {

namespace g = fakes::g;
const GUID kX = fakes::MakeGuid(0x71);
const GUID kY = fakes::MakeGuid(0x72);
const GUID kZ = fakes::MakeGuid(0x73);

class PlanCommand : public testing::Test {
protected:
    void SetUp() override {
        testreg::ClearSolvaneKeys();
        fakes::Install();
        plans::g_Settings.blob.dwFlagWord = 0;
        plans::g_Settings.nPinnedCount =
            plans::DefaultPinnedPlans(plans::FLAG_ECO | plans::FLAG_THREE_MODE, plans::g_Settings.pinned);
        ASSERT_EQ(g_AucPauseGate.Create(), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_EQ(RegisterWindowClasses(m_instance), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_TRUE(plans::CreatePlanListLock());
        m_hwnd = CreateWindowExW(WS_EX_LAYERED, kMainWindowClass, L"test", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 m_instance, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
    }
    void TearDown() override {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        plans::ClearPlanLists();
        plans::ClosePlanListLock();
        g_AucPauseGate.Close();
        g_bRunFlag = false;
        ResetMainWindowState();
        for (const wchar_t* name : {kMainWindowClass, kFrameWindowClass, kPowerOsdWindowClass}) {
            UnregisterClassW(name, m_instance);
        }
        plans::g_Settings.blob.dwFlagWord = 0;
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
    }
    // The Windows plans (pinned) and X, Y (other plans 74, 75), Balanced active.
    static void SeedPlans() {
        fakes::Store().plans.clear();
        fakes::Store().AddPlan(g::Balanced, L"Balanced");
        fakes::Store().AddPlan(g::HighPerformance, L"High performance");
        fakes::Store().AddPlan(g::PowerSaver, L"Power saver");
        fakes::Store().AddPlan(kX, L"X");
        fakes::Store().AddPlan(kY, L"Y");
        fakes::Store().active = g::Balanced;
    }
    // Builds the left-click menu as the tray does; the menu itself is not shown.
    static void BuildMenu() {
        common::UniqueMenu menu(CreatePopupMenu());
        ASSERT_TRUE(menu);
        ASSERT_EQ(tray::BuildPlanMenu(menu.Get(), tray::PlanMenuKind::LeftClick), 4);  // modes 1 and 2, X and Y
    }

    HINSTANCE m_instance = GetModuleHandleW(nullptr);
    HWND m_hwnd = nullptr;
};

TEST_F(PlanCommand, CommandActsOnThePlanTheMenuShowed) {
    struct Case {
        const char* name;
        void (*change)();
        WORD id;
        const GUID* active;  // afterwards
    };
    const Case cases[] = {
        {"unchanged", [] {}, 75, &kY},
        {"a plan added before Y moves it to 76",
         [] {
             fakes::FakePlan z;
             z.guid = kZ;
             z.name = L"Z";
             fakes::Store().plans.insert(fakes::Store().plans.begin() + 3, z);
         },
         75, &kY},
        {"Y deleted: 75 now names another plan", [] { fakes::Store().plans.pop_back(); fakes::Store().AddPlan(kZ, L"Z"); },
         75, &g::Balanced},
        {"an id the menu did not show, beyond the list", [] {}, 77, &g::Balanced},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeedPlans();
        plans::RefreshPlanList();
        BuildMenu();
        c.change();
        plans::RefreshPlanList();
        SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(c.id, 0), 0);
        EXPECT_TRUE(IsEqualGUID(fakes::Store().active, *c.active));
    }
}

}  // namespace
