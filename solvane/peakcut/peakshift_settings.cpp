// The settings side's copy of the demand threshold the questions show, and the hooks the
// peak-cut questions call back through.
#include <atomic>

#include "app/peakcut_question.h"
#include "common/log.h"
#include "peakcut/peakcut.h"
#include "peakcut/peakshift.h"

#include <utility>

namespace peakcut {

PeakShiftLibrary g_PeakShiftLibrary;
PeakShiftSettings g_PeakShift;

namespace {

constexpr DWORD kLowestThreshold = 80;
constexpr DWORD kHighestThreshold = 100;
constexpr DWORD kFallbackThreshold = 85;

std::atomic<DWORD> g_dwThreshold{kFallbackThreshold};
std::atomic<bool> g_bQuestionEndedByConsole{false};
bool g_bBound = false;

template <typename Pointer>
void BindOne(HMODULE module, const char* name, Pointer* target) {
    if (*target == nullptr && module != nullptr) {
        *target = reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
}

void Bind() {
    if (g_bBound) {
        return;
    }
    g_bBound = true;
    wchar_t path[MAX_PATH] = {};
    // Kept loaded for the life of the process.
    HMODULE module = LibraryPath(path, MAX_PATH) ? LoadLibraryW(path) : nullptr;
    PeakShiftLibrary& lib = g_PeakShiftLibrary;
    BindOne(module, "TarvikGetRegionList", &lib.getRegionList);
    BindOne(module, "TarvikGetSelectedRegion", &lib.getSelectedRegion);
    BindOne(module, "TarvikSetSelectedRegion", &lib.setSelectedRegion);
    BindOne(module, "TarvikGetUsePeriod", &lib.getUsePeriod);
    BindOne(module, "TarvikSetUsePeriod", &lib.setUsePeriod);
    BindOne(module, "TarvikGetPowerCompany", &lib.getPowerCompany);
    BindOne(module, "TarvikSetPowerCompany", &lib.setPowerCompany);
    BindOne(module, "TarvikGetLv1Time", &lib.getLv1Time);
    BindOne(module, "TarvikSetLv1Time", &lib.setLv1Time);
    BindOne(module, "TarvikGetLv2Time", &lib.getLv2Time);
    BindOne(module, "TarvikSetLv2Time", &lib.setLv2Time);
    BindOne(module, "TarvikGetThreshold", &lib.getThreshold);
    BindOne(module, "TarvikSetThreshold", &lib.setThreshold);
    BindOne(module, "TarvikGetPlanChangeEnable", &lib.getPlanChangeEnable);
    BindOne(module, "TarvikSetPlanChangeEnable", &lib.setPlanChangeEnable);
    BindOne(module, "TarvikGetTimePeriodEnable", &lib.getTimePeriodEnable);
    BindOne(module, "TarvikSetTimePeriodEnable", &lib.setTimePeriodEnable);
    BindOne(module, "TarvikGetTarvikEnable", &lib.getTarvikEnable);
    BindOne(module, "TarvikSetTarvikEnable", &lib.setTarvikEnable);
    BindOne(module, "TarvikGetAgreement", &lib.getAgreement);
    BindOne(module, "TarvikSetAgreement", &lib.setAgreement);
    BindOne(module, "TarvikShowDialog", &lib.showDialog);
    BindOne(module, "TarvikGetThresholdLv3", &lib.getThresholdLv3);
}

bool Level3Threshold(int* percent) {
    DWORD value = 0;
    if (g_PeakShiftLibrary.getThresholdLv3 == nullptr || g_PeakShiftLibrary.getThresholdLv3(&value) == FALSE) {
        return false;
    }
    *percent = static_cast<int>(value);
    return true;
}

}  // namespace

DWORD NormaliseThreshold(DWORD percent) noexcept {
    return percent < kLowestThreshold || percent > kHighestThreshold ? kFallbackThreshold : percent;
}

void LoadPeakShiftThreshold() noexcept { LoadPeakShiftSettings(); }

void MarkPeakShiftLibraryBound() noexcept { g_bBound = true; }

void LoadPeakShiftSettings() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadPeakShiftSettings", L"Enter");
    Bind();
    const PeakShiftLibrary& lib = g_PeakShiftLibrary;
    PeakShiftSettings& copy = g_PeakShift;
    if (lib.getPlanChangeEnable != nullptr) {
        lib.getPlanChangeEnable(&copy.planChange);
    }
    if (lib.getTarvikEnable != nullptr) {
        lib.getTarvikEnable(&copy.demandLink);
    }
    for (auto [getter, record] : {std::pair{lib.getUsePeriod, &copy.usePeriod}, std::pair{lib.getLv1Time, &copy.lv1},
                                  std::pair{lib.getLv2Time, &copy.lv2}}) {
        OneData read{};
        if (getter != nullptr && getter(&read) != FALSE) {
            *record = read;
        }
    }
    if (lib.getSelectedRegion != nullptr) {
        copy.region = lib.getSelectedRegion();
    }
    DWORD value = 0;
    if (lib.getThreshold == nullptr || lib.getThreshold(&value) == FALSE) {
        value = 0;
    }
    copy.threshold = NormaliseThreshold(value);
    g_dwThreshold = copy.threshold;
    ReadBatteryChange(&copy.batteryChange, &copy.batteryPercent);
    LOG_TRACE(TRACE_LEVEL_APP, L"LoadPeakShiftSettings", L"Exit threshold %lu", copy.threshold);
}

DWORD SettingsThreshold() noexcept { return g_dwThreshold.load(); }

void KeepSettingsThreshold(DWORD percent) noexcept {
    g_PeakShift.threshold = percent;
    g_dwThreshold = NormaliseThreshold(percent);
}

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
