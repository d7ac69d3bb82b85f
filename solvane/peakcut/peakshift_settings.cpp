// The settings side's copy of the demand threshold the questions show, and the hooks the
// peak-cut questions call back through.
#include <atomic>

#include "app/peakcut_question.h"
#include "common/log.h"
#include "peakcut/peakcut.h"

namespace peakcut {

namespace {

constexpr DWORD kLowestThreshold = 80;
constexpr DWORD kHighestThreshold = 100;
constexpr DWORD kFallbackThreshold = 85;

std::atomic<DWORD> g_dwThreshold{kFallbackThreshold};
std::atomic<bool> g_bQuestionEndedByConsole{false};
bool g_bBound = false;
PFN_TarvikGetThreshold g_pfnGetThreshold = nullptr;
PFN_TarvikGetThreshold g_pfnGetThresholdLv3 = nullptr;

void Bind() {
    if (g_bBound) {
        return;
    }
    g_bBound = true;
    wchar_t path[MAX_PATH] = {};
    // Kept loaded for the life of the process.
    HMODULE module = LibraryPath(path, MAX_PATH) ? LoadLibraryW(path) : nullptr;
    if (module != nullptr) {
        g_pfnGetThreshold = reinterpret_cast<PFN_TarvikGetThreshold>(
            reinterpret_cast<void*>(GetProcAddress(module, "TarvikGetThreshold")));
        g_pfnGetThresholdLv3 = reinterpret_cast<PFN_TarvikGetThreshold>(
            reinterpret_cast<void*>(GetProcAddress(module, "TarvikGetThresholdLv3")));
    }
}

bool Level3Threshold(int* percent) {
    DWORD value = 0;
    if (g_pfnGetThresholdLv3 == nullptr || g_pfnGetThresholdLv3(&value) == FALSE) {
        return false;
    }
    *percent = static_cast<int>(value);
    return true;
}

}  // namespace

DWORD NormaliseThreshold(DWORD percent) noexcept {
    return percent < kLowestThreshold || percent > kHighestThreshold ? kFallbackThreshold : percent;
}

void LoadPeakShiftThreshold() noexcept {
    Bind();
    DWORD value = 0;
    if (g_pfnGetThreshold == nullptr || g_pfnGetThreshold(&value) == FALSE) {
        value = 0;
    }
    g_dwThreshold = NormaliseThreshold(value);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"LoadPeakShiftThreshold", L"threshold %lu", g_dwThreshold.load());
}

DWORD SettingsThreshold() noexcept { return g_dwThreshold.load(); }

void InstallPromptHooks() noexcept {
    g_PromptHooks.demandThreshold = []() { return static_cast<int>(SettingsThreshold()); };
    g_PromptHooks.level3Threshold = Level3Threshold;
    g_PromptHooks.reportAgain = [](bool on) { g_dwPendingNotice = on ? 1 : 0; };
}

void OnConsoleLeft() noexcept {
    if (AnswerOpenEcoQuestionNo()) {
        g_bQuestionEndedByConsole = true;
        g_dwPendingNotice = 1;
    }
}

bool TakeQuestionEndedByConsole() noexcept { return g_bQuestionEndedByConsole.exchange(false); }

}  // namespace peakcut
