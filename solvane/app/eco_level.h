// The maker's eco-level library "Tessit.dll": loaded at the end of the settings load, asked how a
// plan rates in performance and power saving, finalised at the end of the session.
#pragma once

#include <windows.h>

#include <cstddef>

#include "plans/plan_record.h"
#include "plans/power_values.h"


constexpr DWORD kEcoLevelNoAnswer = 0xF002;
constexpr int kEcoLevelMax = 5;
constexpr DWORD kEcoKindBattery = 1;
constexpr DWORD kEcoKindNoBattery = 2;
constexpr DWORD kEcoKindExternalMonitor = 3;
constexpr size_t kEcoLevelAlsBytes = 5;

// The request record: sixteen 32-bit fields, then the five ambient-light bytes.
struct EcoLevelRequest {
    DWORD dwKind;
    DWORD dwMonitorAC, dwMonitorDC;
    DWORD dwDiskAC, dwDiskDC;
    DWORD dwStandbyAC, dwStandbyDC;
    DWORD dwHibernateAC, dwHibernateDC;
    DWORD dwMaxProcessorAC, dwMinProcessorAC;
    DWORD dwMaxProcessorDC, dwMinProcessorDC;
    DWORD dwBrightnessA;
    DWORD dwBrightnessB;
    DWORD dwBrightnessC;
    BYTE abALS[kEcoLevelAlsBytes];
};
static_assert(offsetof(EcoLevelRequest, abALS) == 64, "sixteen 32-bit fields before the bytes");

// Brightness hooks filled by the panel brightness code once it is present: the panel level of a
// brightness percentage, and whether the CMOS brightness interface is available. While null the
// level is sent as 0 and the ambient-light bytes as zeros.
extern DWORD (*g_pfnEcoPanelLevel)(INT32 percent);
extern bool (*g_pfnEcoCmosBrightness)();

// The request for a plan under the machine's FlagWord.
EcoLevelRequest BuildEcoLevelRequest(const plans::PlanRecord& record, const plans::PowerValues& values,
                                     DWORD flagWord) noexcept;

void LoadEcoLevelLibrary();
void FinalizeEcoLevelLibrary();
// The library's answer (low 16 bits), or kEcoLevelNoAnswer.
DWORD QueryEcoLevel(const EcoLevelRequest& request) noexcept;
// Splits an answer into its two levels (each at most 5); false for kEcoLevelNoAnswer.
bool DecodeEcoLevel(DWORD answer, int* performance, int* saving) noexcept;

// The gauges of a plan as the plan dialogs show them: the library's answer, else the plan's
// "Indicator", else computed from the plan's setting values. False when none of these is
// available (the values cannot be read): every bar then shows disabled.
bool ResolvePlanGauges(const plans::PlanRecord& record, DWORD flagWord, int* performance, int* saving) noexcept;

