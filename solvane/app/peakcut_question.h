// The questions with which the peak-cut control asks the user to save power (dialog 546 in three
// forms), and their toast alternative while a full-screen app is in front.
#pragma once

#include <windows.h>
#include "resources/resource.h"

namespace peakcut {

constexpr UINT_PTR kQuestionTimerId = 101;
constexpr UINT kQuestionTimeoutMs = 30000;
constexpr int kKindSupplyWarning = 3;
constexpr int kDefaultLevel3Threshold = 95;

enum class Question { Eco, Hibernate, Mode3 };

// What the prompt needs from the rest of the program; each may be left null.
struct PromptHooks {
    int (*demandThreshold)() = nullptr;          // settings-side "Threshold" (percent)
    bool (*level3Threshold)(int* percent) = nullptr;  // link library's level-3 threshold
    void (*reportAgain)(bool on) = nullptr;      // make the poll thread report its next reading
};
extern PromptHooks g_PromptHooks;

// The peak-cut prompt: returns IDYES or IDNO.
int PeakCutPrompt(HWND owner, bool switchFlag, int kind) noexcept;

// One question dialog, modal; IDYES/IDNO, or the question's default after 30 s.
int ShowQuestion(HWND owner, Question question) noexcept;
// The open ECO question, or null (a console disconnect ends it with IDNO).
HWND OpenEcoQuestion() noexcept;
// Console disconnect: answers an open ECO question with IDNO. True when one was open.
bool AnswerOpenEcoQuestionNo() noexcept;
// Time-out answer of each question.
int TimeoutAnswer(Question question) noexcept;

}  // namespace peakcut
