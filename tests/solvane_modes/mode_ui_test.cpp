// Mode switching reaches the screen only through the interface the application registers: a
// recording interface shows what it asks for and how it uses the answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mode_ui.h"
#include "plans/mode_switch.h"
#include "plans/mode_ui.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/settings.h"

namespace {

class RecordingUi final : public plans::ModeUi {
public:
    HWND MainWindow() noexcept override { return main; }
    HWND PlanChangeTarget() noexcept override { return target; }
    const wchar_t* ProgramTitle() noexcept override { return L"RecordingTitle"; }
    int ShowMessage(HWND owner, const wchar_t* text, UINT style) noexcept override {
        messages.push_back({owner, text, style});
        return answer;
    }
    HRESULT ShowTaskDialog(TASKDIALOGCONFIG*) noexcept override { return E_NOTIMPL; }

    struct Message {
        HWND owner;
        std::wstring text;
        UINT style;
    };
    HWND main = reinterpret_cast<HWND>(0x1234);
    HWND target = nullptr;
    int answer = IDNO;
    std::vector<Message> messages;
};

class ModeUiTest : public testing::Test {
protected:
    void SetUp() override {
        plans::SetModeUi(&ui_);
        savedFlags_ = plans::g_Settings.blob.dwFlagWord;
        plans::activepsi = plans::PlanRecord{};
    }
    void TearDown() override {
        plans::g_Settings.blob.dwFlagWord = savedFlags_;
        plans::activepsi = plans::PlanRecord{};
        app::RegisterModeUi();
    }
    RecordingUi ui_;
    DWORD savedFlags_ = 0;
};

// A hidden plan of the maker: the question goes through the interface with the caller's owner,
// and its answer decides.
TEST_F(ModeUiTest, HiddenPlanQuestionUsesTheAnswerOfTheInterface) {
    struct Case {
        int answer;
        bool pass;
    };
    const Case cases[] = {{IDYES, true}, {IDNO, false}, {0, false}};
    const HWND owner = reinterpret_cast<HWND>(0x5678);
    for (const Case& c : cases) {
        ui_.messages.clear();
        ui_.answer = c.answer;
        plans::activepsi.guid = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
        plans::activepsi.dwFlags = plans::kPlanFlagHidden;
        EXPECT_EQ(plans::PassPlanWindowGuards(owner, false), c.pass) << c.answer;
        ASSERT_EQ(ui_.messages.size(), 1u);
        EXPECT_EQ(ui_.messages[0].owner, owner);
        EXPECT_EQ(ui_.messages[0].style, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    }
}

// A Windows plan that is hidden only informs; the notice names the program title the
// interface gives.
TEST_F(ModeUiTest, HiddenWindowsPlanNoticeNamesTheProgramTitle) {
    plans::activepsi.guid = plans::kPlanBalanced;
    plans::activepsi.dwFlags = plans::kPlanFlagHidden;
    EXPECT_TRUE(plans::PassPlanWindowGuards(nullptr, false));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find(L"RecordingTitle"), std::wstring::npos);
    EXPECT_EQ(ui_.messages[0].style, static_cast<UINT>(MB_ICONINFORMATION | MB_OK));
}

TEST_F(ModeUiTest, PlanChangesGoToTheTargetTheInterfaceNames) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ui_.target = window;
    plans::PostPlanChanged(1);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, window, plans::WM_APP_PLAN_CHANGED, plans::WM_APP_PLAN_CHANGED, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    DestroyWindow(window);
}

}  // namespace
