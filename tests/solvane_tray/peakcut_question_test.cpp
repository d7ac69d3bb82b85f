#include <windows.h>
#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/app_globals.h"
#include "app/peakcut_question.h"
#include "app/ui_state.h"
#include "fake_power.h"
#include "plans/settings.h"
#include "test_registry.h"
#include "tray_test_support.h"

using namespace peakcut;

namespace {

std::vector<bool> g_reportAgain;

struct Seen {
    bool found = false;
    std::wstring percent;
    std::wstring question;
    std::wstring intro;
    LONG percentWeight = 0;
    LONG percentHeight = 0;
    LONG dialogHeight = 0;
    bool registeredAsEco = false;
};

// Waits for the question dialog, reads it, then sends the given message.
std::thread Answer(Seen* seen, UINT message, WPARAM wParam) {
    return std::thread([seen, message, wParam] {
        HWND dialog = nullptr;
        for (int i = 0; i < 500 && dialog == nullptr; ++i) {
            dialog = FindWindowW(L"#32770", L"Kaviro");
            if (dialog != nullptr && !IsWindowVisible(dialog)) {
                dialog = nullptr;  // still initialising
            }
            Sleep(10);
        }
        if (dialog == nullptr) {
            return;
        }
        Sleep(100);
        seen->found = true;
        wchar_t text[256] = L"";
        GetDlgItemTextW(dialog, IDC_PEAKCUT_PERCENT, text, 256);
        seen->percent = text;
        GetDlgItemTextW(dialog, IDC_PEAKCUT_QUESTION, text, 256);
        seen->question = text;
        GetDlgItemTextW(dialog, IDC_PEAKCUT_INTRO, text, 256);
        seen->intro = text;
        LOGFONTW font = {};
        HFONT percentFont = reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_PEAKCUT_PERCENT, WM_GETFONT, 0, 0));
        if (GetObjectW(percentFont, sizeof(font), &font) != 0) {
            seen->percentWeight = font.lfWeight;
            seen->percentHeight = font.lfHeight;
        }
        HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        if (GetObjectW(dialogFont, sizeof(font), &font) != 0) {
            seen->dialogHeight = font.lfHeight;
        }
        seen->registeredAsEco = OpenEcoQuestion() == dialog;
        PostMessageW(dialog, message, wParam, 0);
    });
}

class PeakCutQuestionTest : public testing::Test {
protected:
    void SetUp() override {
        traytest::InitProgramGlobals();
        testreg::ClearSolvaneKeys();
        fakes::Install();
        g_reportAgain.clear();
        g_PromptHooks.demandThreshold = [] { return 85; };
        g_PromptHooks.level3Threshold = nullptr;
        g_PromptHooks.reportAgain = [](bool on) { g_reportAgain.push_back(on); };
        ui::SetUserPresent(true);
    }
    void TearDown() override {
        g_PromptHooks = PromptHooks{};
        ui::SetUserPresent(true);
        traytest::SetFlags(0);
        fakes::Uninstall();
        testreg::ClearSolvaneKeys();
    }
};

}  // namespace

TEST_F(PeakCutQuestionTest, EcoQuestionShowsTheThresholdAndAnswersYes) {
    traytest::TestOwner owner;
    Seen seen;
    std::thread answer = Answer(&seen, WM_COMMAND, IDYES);
    EXPECT_EQ(PeakCutPrompt(owner.Get(), true, 1), IDYES);
    answer.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.percent, L"85%");
    EXPECT_EQ(seen.question, L"ECOモードにしますか?");
    EXPECT_EQ(seen.intro, L"「現在の電力使用状況」が、「ピーク時供給力」に対し、");
    EXPECT_EQ(seen.percentWeight, 700);
    EXPECT_EQ(seen.percentHeight, static_cast<LONG>(seen.dialogHeight * 1.9));
    EXPECT_TRUE(seen.registeredAsEco);
    EXPECT_EQ(OpenEcoQuestion(), nullptr);
    EXPECT_EQ(g_reportAgain, std::vector<bool>{false});
}

TEST_F(PeakCutQuestionTest, TimeOutAnswersYesForTheEcoQuestionAndNoForTheOthers) {
    EXPECT_EQ(TimeoutAnswer(Question::Eco), IDYES);
    EXPECT_EQ(TimeoutAnswer(Question::Hibernate), IDNO);
    EXPECT_EQ(TimeoutAnswer(Question::Mode3), IDNO);
    traytest::TestOwner owner;
    Seen seen;
    std::thread answer = Answer(&seen, WM_TIMER, kQuestionTimerId);
    EXPECT_EQ(ShowQuestion(owner.Get(), Question::Eco), IDYES);
    answer.join();
    Seen seen2;
    answer = Answer(&seen2, WM_TIMER, kQuestionTimerId);
    EXPECT_EQ(ShowQuestion(owner.Get(), Question::Hibernate), IDNO);
    answer.join();
    EXPECT_TRUE(seen2.found);
}

TEST_F(PeakCutQuestionTest, HibernateQuestionUsesTheLevelThreeThreshold) {
    traytest::TestOwner owner;
    Seen seen;
    std::thread answer = Answer(&seen, WM_COMMAND, IDYES);
    EXPECT_EQ(PeakCutPrompt(owner.Get(), false, kKindSupplyWarning), IDYES);
    answer.join();
    EXPECT_EQ(seen.percent, L"95%");  // no link library: 95
    EXPECT_EQ(seen.question, L"節電にご協力ください。パソコンを休止させますか?");
    EXPECT_FALSE(seen.registeredAsEco);
    g_PromptHooks.level3Threshold = [](int* percent) {
        *percent = 97;
        return true;
    };
    Seen seen2;
    answer = Answer(&seen2, WM_COMMAND, IDNO);
    EXPECT_EQ(PeakCutPrompt(owner.Get(), true, kKindSupplyWarning), IDNO);
    answer.join();
    EXPECT_EQ(seen2.percent, L"97%");
    // A failing library call falls back to 95.
    g_PromptHooks.level3Threshold = [](int*) { return false; };
    Seen seen3;
    answer = Answer(&seen3, WM_COMMAND, IDNO);
    PeakCutPrompt(owner.Get(), false, kKindSupplyWarning);
    answer.join();
    EXPECT_EQ(seen3.percent, L"95%");
}

TEST_F(PeakCutQuestionTest, ModeThreeQuestionNamesTheModeThreePlan) {
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
    traytest::AddPlan(fakes::MakeGuid(0x43), L"しっかり節電", 3, 3);
    traytest::TestOwner owner;
    Seen seen;
    std::thread answer = Answer(&seen, WM_COMMAND, IDNO);
    EXPECT_EQ(PeakCutPrompt(owner.Get(), false, 1), IDNO);
    answer.join();
    EXPECT_EQ(seen.question, L"モード3:しっかり節電 にしますか?");
    EXPECT_EQ(seen.percent, L"85%");
    // Without a mode-3 plan the name is empty.
    testreg::ClearSolvaneKeys();
    Seen seen2;
    answer = Answer(&seen2, WM_COMMAND, IDNO);
    PeakCutPrompt(owner.Get(), false, 1);
    answer.join();
    EXPECT_EQ(seen2.question, L"モード3: にしますか?");
}

TEST_F(PeakCutQuestionTest, AbsentUserIsNotAskedAndTheReadingIsReportedAgain) {
    traytest::TestOwner owner;
    ui::SetUserPresent(false);
    EXPECT_EQ(PeakCutPrompt(owner.Get(), true, 1), IDNO);
    EXPECT_EQ(g_reportAgain, std::vector<bool>{true});
    EXPECT_EQ(FindWindowW(L"#32770", L"Kaviro"), nullptr);
}

TEST_F(PeakCutQuestionTest, ConsoleDisconnectAnswersTheOpenEcoQuestionNo) {
    EXPECT_FALSE(AnswerOpenEcoQuestionNo());
    traytest::TestOwner owner;
    // The session notification reaches the main window procedure as Windows sends it.
    HWND main = owner.Get();
    bool wasOpen = false;
    std::thread disconnect([main, &wasOpen] {
        for (int i = 0; i < 500 && (OpenEcoQuestion() == nullptr || !IsWindowVisible(OpenEcoQuestion())); ++i) {
            Sleep(10);
        }
        wasOpen = OpenEcoQuestion() != nullptr;
        SendMessageW(main, WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, 0);
    });
    EXPECT_EQ(ShowQuestion(owner.Get(), Question::Eco), IDNO) << "the time-out answer would be Yes";
    disconnect.join();
    EXPECT_TRUE(wasOpen);
    EXPECT_EQ(OpenEcoQuestion(), nullptr);
    EXPECT_FALSE(ui::UserPresent());
    SendMessageW(main, WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, 0);
    EXPECT_TRUE(ui::UserPresent());
}
