// The peak-shift settings: the library's settings exports bound once per process, the
// process-wide copy of the values, their rules, and the automatic switching dialog (2021 with
// two modes, 2022 with three).
#pragma once

#include <windows.h>

#include "tarvik/tarvik_api.h"

namespace peakcut {

struct PeakShiftLibrary {
    PFN_TarvikGetRegionList getRegionList = nullptr;
    PFN_TarvikGetDword getSelectedRegion = nullptr;
    PFN_TarvikSetDword setSelectedRegion = nullptr;
    PFN_TarvikGetRecord getUsePeriod = nullptr;
    PFN_TarvikSetRecord setUsePeriod = nullptr;
    PFN_TarvikGetDword getPowerCompany = nullptr;
    PFN_TarvikSetDword setPowerCompany = nullptr;
    PFN_TarvikGetRecord getLv1Time = nullptr;
    PFN_TarvikSetRecord setLv1Time = nullptr;
    PFN_TarvikGetRecord getLv2Time = nullptr;
    PFN_TarvikSetRecord setLv2Time = nullptr;
    PFN_TarvikGetThreshold getThreshold = nullptr;
    PFN_TarvikSetDword setThreshold = nullptr;
    PFN_TarvikGetEnable getPlanChangeEnable = nullptr;
    PFN_TarvikSetEnable setPlanChangeEnable = nullptr;
    PFN_TarvikGetEnable getTimePeriodEnable = nullptr;
    PFN_TarvikSetEnable setTimePeriodEnable = nullptr;
    PFN_TarvikGetEnable getTarvikEnable = nullptr;
    PFN_TarvikSetEnable setTarvikEnable = nullptr;
    PFN_TarvikGetBool getAgreement = nullptr;
    PFN_TarvikGetBool setAgreement = nullptr;
    PFN_TarvikGetBool showDialog = nullptr;
    PFN_TarvikGetThreshold getThresholdLv3 = nullptr;
};
// The bound exports; tests may fill it and mark it bound.
extern PeakShiftLibrary g_PeakShiftLibrary;
void MarkPeakShiftLibraryBound() noexcept;

struct PeakShiftSettings {
    BOOL planChange = FALSE;
    BOOL demandLink = FALSE;
    OneData usePeriod{};
    OneData lv1{};
    OneData lv2{};
    DWORD region = 0;
    DWORD threshold = 85;
    BOOL batteryChange = FALSE;
    DWORD batteryPercent = 30;
    bool batteryOffered = false;
};
extern PeakShiftSettings g_PeakShift;

// Binds (first use) and reads the settings copy.
void LoadPeakShiftSettings() noexcept;
// A saved threshold becomes the one the questions show.
void KeepSettingsThreshold(DWORD percent) noexcept;

// --- Rules ---------------------------------------------------------------------------------
// Use period offered when it was never saved: today to the same day three months later (same
// year), the end at 23:59:59.999.
void DefaultUsePeriod(const SYSTEMTIME& today, SYSTEMTIME* start, SYSTEMTIME* end) noexcept;
// 29 February in a common year: the start moves to the 28th, an end on the same day one day earlier.
void MendLeapDay(SYSTEMTIME* start, SYSTEMTIME* end) noexcept;
// A daily window is valid when its start (hour, minute) is before its end.
bool DailyWindowInOrder(const SYSTEMTIME& start, const SYSTEMTIME& end) noexcept;
constexpr DWORD kThresholdLowest = 80;
constexpr DWORD kThresholdHighest = 99;
constexpr DWORD kBatteryHighest = 99;

// Battery change record of the automatic plan change (HKCU "Auto": enabled at 0, percent at 8).
bool ReadBatteryChange(BOOL* on, DWORD* percent) noexcept;
LSTATUS WriteBatteryChange(BOOL on, DWORD percent) noexcept;

// --- Dialog --------------------------------------------------------------------------------
struct PeakShiftDialogHooks {
    int (*warn)(HWND owner, UINT stringId) = nullptr;  // null: MessageBoxW, caption 219
    bool (*batteryPresent)() = nullptr;                // null: the settings' battery flag
    void (*today)(SYSTEMTIME* now) = nullptr;          // null: GetLocalTime
    void (*openHelpTopic)(DWORD topic) = nullptr;      // null: no help
};
extern PeakShiftDialogHooks g_PeakShiftDialogHooks;

// Runs the dialog of the variant, modal, owned by `owner`; 1 for OK, 0 for cancel.
INT_PTR ShowPeakShiftDialog(HWND owner, bool threeMode) noexcept;
INT_PTR CALLBACK PeakShiftDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// lParam of the dialog: 1 for the three-mode dialog.
bool AskConsent() noexcept;
BOOL SavePeakShiftSettings(HWND dialog) noexcept;

}  // namespace peakcut
