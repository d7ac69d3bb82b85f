#include "app/peakcut_question.h"

#include <strsafe.h>

#include "app/app_globals.h"
#include "app/ui_state.h"
#include "app/yarrow_toast.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/text.h"
#include "plans/guid_text.h"
#include "plans/plan_record.h"
#include "resources/resource.h"

namespace peakcut {

PromptHooks g_PromptHooks;

namespace {

constexpr size_t kTextChars = 512;
constexpr int kPercentWeight = 700;
constexpr double kPercentScale = 1.9;
constexpr int kDefaultDemandThreshold = 90;

struct DialogState {
    Question question;
    common::UniqueGdiObject percentFont;
};
HWND g_hEcoQuestion = nullptr;

int DemandThreshold() noexcept {
    return g_PromptHooks.demandThreshold != nullptr ? g_PromptHooks.demandThreshold() : kDefaultDemandThreshold;
}

int Level3Threshold() noexcept {
    int percent = kDefaultLevel3Threshold;
    if (g_PromptHooks.level3Threshold == nullptr || !g_PromptHooks.level3Threshold(&percent)) {
        percent = kDefaultLevel3Threshold;
    }
    return percent;
}

void ReportAgain(bool on) noexcept {
    if (g_PromptHooks.reportAgain != nullptr) {
        g_PromptHooks.reportAgain(on);
    }
}

using common::LoadText;

void Mode3PlanName(wchar_t* name, size_t cch) noexcept {
    name[0] = L'\0';
    plans::ModeSlot slots[plans::kMaxPinnedPlans];
    int found = 0;
    if (plans::FindModeSlots(slots, &found) && !plans::IsNullGuid(slots[2].guid)) {
        StringCchCopyW(name, cch, slots[2].szName);
    }
}

void SetPercentFont(HWND dialog, DialogState* state) noexcept {
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW font = {};
    if (dialogFont == nullptr || GetObjectW(dialogFont, sizeof(font), &font) == 0) {
        return;
    }
    LOGFONTW bold = {};
    bold.lfHeight = static_cast<LONG>(font.lfHeight * kPercentScale);
    bold.lfWeight = kPercentWeight;
    bold.lfCharSet = DEFAULT_CHARSET;
    bold.lfQuality = PROOF_QUALITY;
    StringCchCopyW(bold.lfFaceName, LF_FACESIZE, font.lfFaceName);
    state->percentFont.Reset(CreateFontIndirectW(&bold));
    SendDlgItemMessageW(dialog, IDC_PEAKCUT_PERCENT, WM_SETFONT, reinterpret_cast<WPARAM>(state->percentFont.Get()),
                        TRUE);
}

void OnInitDialog(HWND dialog, DialogState* state) noexcept {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    int percent = state->question == Question::Hibernate ? Level3Threshold() : DemandThreshold();
    wchar_t text[kTextChars];
    StringCchPrintfW(text, kTextChars, L"%2d%%", percent);
    SetDlgItemTextW(dialog, IDC_PEAKCUT_PERCENT, text);
    if (state->question == Question::Hibernate) {
        LoadText(IDS_HIBERNATE_QUESTION, text, kTextChars);
        SetDlgItemTextW(dialog, IDC_PEAKCUT_QUESTION, text);
    } else if (state->question == Question::Mode3) {
        wchar_t format[kTextChars];
        wchar_t name[plans::kPlanNameChars];
        LoadText(IDS_MODE3_QUESTION, format, kTextChars);
        Mode3PlanName(name, ARRAYSIZE(name));
        StringCchPrintfW(text, kTextChars, format, name);
        SetDlgItemTextW(dialog, IDC_PEAKCUT_QUESTION, text);
    } else {
        g_hEcoQuestion = dialog;
    }
    SetPercentFont(dialog, state);
    SetTimer(dialog, kQuestionTimerId, kQuestionTimeoutMs, nullptr);
    SetForegroundWindow(dialog);
}

void EndQuestion(HWND dialog, int answer) noexcept {
    KillTimer(dialog, kQuestionTimerId);
    EndDialog(dialog, answer);
}

INT_PTR CALLBACK QuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, reinterpret_cast<DialogState*>(lParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kQuestionTimerId && state != nullptr) {
            EndQuestion(dialog, TimeoutAnswer(state->question));
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO) {
            EndQuestion(dialog, LOWORD(wParam));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndQuestion(dialog, IDNO);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (g_hEcoQuestion == dialog) {
            g_hEcoQuestion = nullptr;
        }
        if (state != nullptr) {
            state->percentFont.Reset();
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void ShowPeakToast(const wchar_t* text) noexcept { toast::Display(toast::kKindPeakCut, g_szProgramTitle, text); }

}  // namespace

int TimeoutAnswer(Question question) noexcept { return question == Question::Eco ? IDYES : IDNO; }

HWND OpenEcoQuestion() noexcept { return g_hEcoQuestion; }

bool AnswerOpenEcoQuestionNo() noexcept {
    HWND dialog = g_hEcoQuestion;
    if (dialog == nullptr || !IsWindow(dialog)) {
        return false;
    }
    PostMessageW(dialog, WM_COMMAND, IDNO, 0);
    return true;
}

int ShowQuestion(HWND owner, Question question) noexcept {
    DialogState state;
    state.question = question;
    INT_PTR answer = DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_PEAKCUT_QUESTION), owner, QuestionProc,
                                     reinterpret_cast<LPARAM>(&state));
    if (question == Question::Eco) {
        ReportAgain(false);
    }
    return answer == IDYES ? IDYES : IDNO;
}

int PeakCutPrompt(HWND owner, bool switchFlag, int kind) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"PeakCutPrompt", L"Enter");
    const bool toastMode = toast::ToastModeWanted();
    int answer = IDNO;
    if (kind == kKindSupplyWarning) {
        if (toastMode && switchFlag) {
            wchar_t text[kTextChars];
            LoadText(IDS_SUPPLY_TOAST, text, kTextChars);
            ShowPeakToast(text);
            answer = IDNO;
        } else {
            if (toastMode) {
                toast::SwitchToDesktop(g_hMainWnd);
            }
            answer = ShowQuestion(owner, Question::Hibernate);
        }
    } else if (switchFlag) {
        if (!ui::UserPresent()) {
            ReportAgain(true);
            answer = IDNO;
        } else if (toastMode) {
            wchar_t format[kTextChars];
            wchar_t text[kTextChars];
            LoadText(IDS_ECO_TOAST, format, kTextChars);
            StringCchPrintfW(text, kTextChars, format, DemandThreshold());
            answer = SUCCEEDED(toast::Display(toast::kKindPeakCut, g_szProgramTitle, text)) ? IDYES : IDNO;
            ReportAgain(false);
        } else {
            answer = ShowQuestion(owner, Question::Eco);
        }
    } else {
        if (toastMode) {
            toast::SwitchToDesktop(g_hMainWnd);
        }
        answer = ShowQuestion(owner, Question::Mode3);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"PeakCutPrompt", L"Exit retval:%08x", static_cast<unsigned>(answer));
    return answer;
}

}  // namespace peakcut
