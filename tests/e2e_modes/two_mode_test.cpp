// Two-mode desktop with the product installed (ECO slot: the maker's performance plan, "LedNo" 3;
// standard slot and video-warning "low" plan: the maker's save plan, "LedNo" 1): the standard
// slot moves to a plan chosen in the tray and comes back when the activation fails; the video-playback warning after a switch to the low plan; the
// ECO button with a mode plan missing.
#include <windows.h>
#include <commctrl.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "sim/simlib/simlib.h"

namespace e2e {
namespace {

constexpr DWORD kNoWarning = 0;

int CountProcessDialogs(DWORD pid) {
    struct Count {
        DWORD pid;
        int count;
    } count{pid, 0};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* c = reinterpret_cast<Count*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t name[16] = {};
            GetClassNameW(hwnd, name, ARRAYSIZE(name));
            if (owner == c->pid && lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(hwnd)) {
                ++c->count;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.count;
}

int CountLines(const std::vector<testsupport::TraceLine>& lines, const std::wstring& text) {
    int count = 0;
    for (const testsupport::TraceLine& line : lines) {
        count += line.message.find(text) != std::wstring::npos ? 1 : 0;
    }
    return count;
}

class TwoMode : public testing::Test {
protected:
    void SetUp() override {
        SetPlanValue(kEcoPerformance, L"LedNo", 3);
        SetPlanValue(kEcoSave, L"LedNo", 1);
        SetPlanValue(kEcoBalance, L"LedNo", 0);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"PwrChangeDlg");
        ASSERT_TRUE(Activate(kEcoPerformance));
    }
    void TearDown() override {
        EXPECT_TRUE(m_resident.Close());
        simlib::ScriptFailure(L"Power", L"PowerSetActiveScheme", 0, 0);
        Activate(kEcoPerformance);
    }
    void Select(WORD id, DWORD expected, int occurrence = 1) {
        m_resident.PostCommand(id);
        const std::wstring text = L"plan selection " + std::to_wstring(id) + L": " + std::to_wstring(expected);
        for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
            if (CountLines(m_resident.Lines(), text) >= occurrence) {
                return;
            }
            Sleep(50);
        }
        ADD_FAILURE() << "no result for command " << id;
    }

    Resident m_resident;
};

TEST_F(TwoMode, ChosenPlanTakesTheStandardSlotAndGivesItBackOnFailure) {
    // No video warning in this test: it is not the subject here.
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"PwrChangeDlg", REG_DWORD,
                              &kNoWarning, sizeof(kNoWarning)),
              ERROR_SUCCESS);
    ASSERT_TRUE(Activate(kEcoSave));
    ASSERT_TRUE(m_resident.Start());
    EXPECT_EQ(Devices().ledState, 0u) << "the standard slot shows the LED off";

    // The maker's balance plan heads the other-plans list (command 74) and has no slot.
    ASSERT_EQ(simlib::ScriptFailure(L"Power", L"PowerSetActiveScheme", 1, ERROR_ACCESS_DENIED), ERROR_SUCCESS);
    Select(74, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoSave));
    EXPECT_EQ(PlanValue(kEcoBalance, L"LedNo", 99), 0u) << "put back";
    EXPECT_EQ(PlanValue(kEcoSave, L"LedNo", 99), 1u) << "the previous holder keeps the standard slot";

    Select(74, 0);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoBalance));
    EXPECT_EQ(PlanValue(kEcoBalance, L"LedNo", 99), 1u);
    EXPECT_EQ(PlanValue(kEcoSave, L"LedNo", 99), 0u) << "pinned plan 2 held 1 and gave it up";
    EXPECT_EQ(PlanValue(kEcoPerformance, L"LedNo", 99), 3u) << "the ECO slot is untouched";
    EXPECT_EQ(Devices().ledState, 0u);

    Select(72, 0);  // the ECO slot's plan, which has its slot already
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoPerformance));
    EXPECT_EQ(Devices().ledState, 3u);
    EXPECT_EQ(PlanValue(kEcoBalance, L"LedNo", 99), 1u);
}

TEST_F(TwoMode, VideoWarningAppearsOnlyForTheFirstOfTwoSwitchesToTheLowPlan) {
    ASSERT_TRUE(m_resident.Start());
    m_resident.PostCommand(71);  // the low plan
    HWND dialog = m_resident.Process().WaitForMessageBox();
    ASSERT_NE(dialog, nullptr) << "the warning";
    EXPECT_EQ(testsupport::WindowText(dialog), L"Kaviro");
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoSave)) << "the plan changed before the warning";
    DWORD_PTR result = 0;
    SendMessageTimeoutW(dialog, TDM_CLICK_BUTTON, IDOK, 0, SMTO_NORMAL, 5000, &result);
    ASSERT_TRUE(m_resident.WaitTrace(L"plan selection 71: 0"));
    DWORD show = 0;
    DWORD size = sizeof(show);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"PwrChangeDlg", RRF_RT_REG_DWORD, nullptr,
                           &show, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(show, 1u) << "the check box was left clear";

    Select(71, 0, 2);  // again, from the low plan
    EXPECT_EQ(CountProcessDialogs(m_resident.Pid()), 0);
    EXPECT_EQ(CountLines(m_resident.Lines(), L"TaskDialogIndirect"), 1) << "the warning appeared once";
}

TEST_F(TwoMode, EcoButtonWithAModePlanMissingWarnsOnce) {
    SetPlanValue(kEcoSave, L"LedNo", 0);  // the standard slot is empty
    ASSERT_TRUE(m_resident.Start());
    ASSERT_EQ(RunSimctl(L"press-eco"), 0u);
    HWND box = m_resident.Process().WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "message 274";
    EXPECT_NE(testsupport::DialogStaticText(box).find(L"ECOモードの設定"), std::wstring::npos);
    ASSERT_EQ(RunSimctl(L"press-eco"), 0u);
    Sleep(1000);
    EXPECT_EQ(CountProcessDialogs(m_resident.Pid()), 1) << "a further press only brings it to the front";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 40 && CountProcessDialogs(m_resident.Pid()) != 0; ++i) {
        Sleep(50);
    }
    EXPECT_EQ(CountProcessDialogs(m_resident.Pid()), 0);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), kEcoPerformance)) << "nothing was switched";
}

}  // namespace
}  // namespace e2e
