// The battery estimates of the plan dialogs: the running time after a plan change, and the
// battery texts of the plan page and the plan editor.
#include <strsafe.h>

#include "battery/battery.h"
#include "common/log.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace battery {

namespace {

constexpr wchar_t kInfoTrace[] = L"InitBatteryInfo";
constexpr DWORD kUnknownTime = 0xFFFFFFFF;
constexpr DWORD kSecondsPerHour = 3600;
constexpr DWORD kSecondsPerMinute = 60;
constexpr int kFullPercentage = 100;
constexpr BYTE kAmbientLightOn = 1;
constexpr BYTE kAcOnLine = 1;

HMODULE ResourceModule() noexcept { return GetModuleHandleW(nullptr); }

void LoadText(UINT id, wchar_t* text, size_t cchText) noexcept {
    if (LoadStringW(ResourceModule(), id, text, static_cast<int>(cchText)) <= 0) {
        text[0] = L'\0';
    }
}

bool BatteryFlag() noexcept { return (plans::g_Settings.blob.dwFlagWord & plans::FLAG_BATTERY) != 0; }

int LevelOfPercent(int percent) noexcept {
    if (percent < 0 || percent >= kUnknownLevel || g_BatteryHooks.percentToLevel == nullptr) {
        return kUnknownLevel;
    }
    return g_BatteryHooks.percentToLevel(percent);
}

// The panel's current level as the brightness code reports it (kUnknownLevel or kAutoLevel
// when it has no level).
int CurrentLevel(const wchar_t* caller) noexcept {
    if (g_BatteryHooks.currentLevel == nullptr) {
        return kUnknownLevel;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, caller, L"GETBRIGHTNESS()");
    return g_BatteryHooks.currentLevel();
}

// Seconds the battery lasts now: the stored estimate, else the system's; 0 when not known or
// not running on battery.
DWORD DischargeSeconds(const BatterySnapshot& s) noexcept {
    if (!s.bKnown || !s.sys.BatteryPresent || s.sys.MaxCapacity == 0 || s.sys.AcOnLine || !s.sys.Discharging ||
        s.sys.EstimatedTime == 0 || s.sys.EstimatedTime == kUnknownTime) {
        return 0;
    }
    return s.dwStoredEstimate != 0 ? s.dwStoredEstimate : s.sys.EstimatedTime;
}

DWORD Scaled(DWORD seconds, int percent) noexcept {
    return static_cast<DWORD>(static_cast<ULONGLONG>(seconds) * static_cast<ULONGLONG>(percent) / kFullPercentage);
}

void FormatHoursMinutes(DWORD seconds, wchar_t* text, size_t cchText) noexcept {
    StringCchPrintfW(text, cchText, L"%02d:%02d", static_cast<int>(seconds / kSecondsPerHour),
                     static_cast<int>(seconds % kSecondsPerHour / kSecondsPerMinute));
}

}  // namespace

DWORD GetBatteryInfoByValue(HWND, const GUID& plan, int newMode, int newLevel, bool refresh) noexcept {
    if (!BatteryFlag() || plans::IsNullGuid(plans::activepsi.guid)) {
        return 0;
    }
    const GUID active = plans::activepsi.guid;
    int percent = kFullPercentage;
    plans::PowerValues values{};
    if (plans::ReadPowerValues(active, &values)) {
        int currentLevel = CurrentLevel(L"GetBatteryInfoByValue");
        if (currentLevel == kAutoLevel) {
            currentLevel = plans::activepsi.biALS.ucDC_MAX;
        }
        percent = CalcPercentage(currentLevel, newLevel, values.ucPresetDC, newMode);
    }
    if (refresh && CheckBattery() != ERROR_SUCCESS) {
        return 0;
    }
    const DWORD seconds = DischargeSeconds(GetBatterySnapshot());
    if (seconds == 0) {
        return 0;
    }
    return IsEqualGUID(plan, active) && percent == kFullPercentage ? seconds : Scaled(seconds, percent);
}

DWORD GetBatteryInfoById(HWND dialog, const GUID& plan, bool refresh) noexcept {
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    plans::PowerValues values{};
    if (plans::IsNullGuid(record.guid) || !plans::ReadPowerValues(plan, &values)) {
        return 0;
    }
    const int newLevel = record.biALS.ucMode == kAmbientLightOn ? record.biALS.ucDC_MAX
                                                                : LevelOfPercent(record.nBrightnessDC);
    return GetBatteryInfoByValue(dialog, plan, values.ucPresetDC, newLevel, refresh);
}

BatteryTexts ComposeBatteryInfo(bool samePlan, int percent, bool refresh) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kInfoTrace, L"cur == newval?:%d", samePlan ? 1 : 0);
    LOG_TRACE(TRACE_LEVEL_VALUES, kInfoTrace, L"per:%0d", percent);
    BatteryTexts texts{};
    LoadText(IDS_BATTERY_UNKNOWN, texts.szPercent, ARRAYSIZE(texts.szPercent));
    LoadText(IDS_BATTERY_UNKNOWN, texts.szStatus, ARRAYSIZE(texts.szStatus));
    texts.uImage = IDB_BATTERY_NONE;
    if (refresh && CheckBattery() != ERROR_SUCCESS) {
        return texts;
    }
    const BatterySnapshot s = GetBatterySnapshot();
    if (!s.bKnown) {
        return texts;
    }
    if (!s.sys.BatteryPresent || s.sys.MaxCapacity == 0) {
        texts.szPercent[0] = L'\0';
        LoadText(IDS_BATTERY_NONE, texts.szStatus, ARRAYSIZE(texts.szStatus));
        return texts;
    }
    texts.uImage = s.sys.AcOnLine ? IDB_BATTERY_ON_AC : IDB_BATTERY_DISCHARGING;
    StringCchPrintfW(texts.szPercent, ARRAYSIZE(texts.szPercent), L"%d%%",
                     static_cast<int>(static_cast<ULONGLONG>(s.sys.RemainingCapacity) * 100 / s.sys.MaxCapacity));
    if (s.sys.AcOnLine) {
        texts.szStatus[0] = L'\0';
        if (s.sys.Charging) {
            LoadText(IDS_BATTERY_CHARGING, texts.szStatus, ARRAYSIZE(texts.szStatus));
        }
        SetStoredEstimate(0);
        return texts;
    }
    const DWORD seconds = DischargeSeconds(s);
    if (seconds == 0) {
        return texts;
    }
    wchar_t format[128] = L"";
    if (samePlan && percent == kFullPercentage) {
        LoadText(IDS_BATTERY_REMAINING, format, ARRAYSIZE(format));
        StringCchPrintfW(texts.szStatus, ARRAYSIZE(texts.szStatus), format, static_cast<int>(seconds / kSecondsPerHour),
                         static_cast<int>(seconds % kSecondsPerHour / kSecondsPerMinute));
    } else {
        const DWORD predicted = Scaled(seconds, percent);
        texts.dwPredicted = predicted;
        LoadText(IDS_BATTERY_REMAINING_AFTER, format, ARRAYSIZE(format));
        StringCchPrintfW(texts.szStatus, ARRAYSIZE(texts.szStatus), format, static_cast<int>(seconds / kSecondsPerHour),
                         static_cast<int>(seconds % kSecondsPerHour / kSecondsPerMinute),
                         static_cast<int>(predicted / kSecondsPerHour),
                         static_cast<int>(predicted % kSecondsPerHour / kSecondsPerMinute));
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kInfoTrace, L"estimate:%s", texts.szStatus);
    return texts;
}

DWORD InitBatteryInfo(HWND dialog, const GUID& current, const GUID& newPlan, int percent, bool refresh) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kInfoTrace, L"Enter");
    const BatteryTexts texts = ComposeBatteryInfo(IsEqualGUID(current, newPlan) != FALSE, percent, refresh);
    // The state image, when the dialog has its place and the bitmap exists.
    HWND image = GetDlgItem(dialog, IDC_BATTERY_IMAGE);
    if (image != nullptr) {
        HANDLE bitmap = LoadImageW(ResourceModule(), MAKEINTRESOURCEW(texts.uImage), IMAGE_BITMAP, 0, 0, LR_SHARED);
        if (bitmap != nullptr) {
            SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
        }
    }
    SetDlgItemTextW(dialog, IDC_BATTERY_PERCENT, texts.szPercent);
    SetDlgItemTextW(dialog, IDC_BATTERY_STATUS, texts.szStatus);
    LOG_TRACE(TRACE_LEVEL_APP, kInfoTrace, L"Exit retval:%08x", texts.dwPredicted);
    return texts.dwPredicted;
}

void SetBatteryInfoByValue(HWND dialog, const GUID& plan, int newMode, int newLevel, bool refresh) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, L"SetBatteryInfoByValue", L"newCPU:%d,newLCD:%d,bCheck:%d", newMode, newLevel,
              refresh ? 1 : 0);
    int percent = kFullPercentage;
    plans::PowerValues values{};
    if (!plans::IsNullGuid(plans::activepsi.guid) && plans::ReadPowerValues(plans::activepsi.guid, &values)) {
        int currentLevel = CurrentLevel(L"SetBatteryInfoByValue");
        if (currentLevel == kAutoLevel) {
            currentLevel = plans::activepsi.biALS.ucDC_MAX;
        }
        percent = CalcPercentage(currentLevel, newLevel, values.ucPresetDC, newMode);
    }
    InitBatteryInfo(dialog, plans::activepsi.guid, plan, percent, refresh);
}

void SetBatteryInfoById(HWND dialog, const GUID& plan, bool refresh) noexcept {
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    plans::PowerValues values{};
    if (plans::IsNullGuid(record.guid) || !plans::ReadPowerValues(plan, &values)) {
        InitBatteryInfo(dialog, plans::activepsi.guid, plan, kFullPercentage, refresh);
        return;
    }
    const int current = CurrentLevel(L"SetBatteryInfoById");
    const int newLevel = current == kAutoLevel ? record.biALS.ucDC_MAX : LevelOfPercent(record.nBrightnessDC);
    SetBatteryInfoByValue(dialog, plan, values.ucPresetDC, newLevel, refresh);
}

void FormatPlanBatteryTime(const GUID& plan, bool refresh, wchar_t* text, size_t cchText) noexcept {
    SYSTEM_POWER_STATUS status{};
    const BOOL ok = g_BatteryHooks.getSystemPowerStatus != nullptr ? g_BatteryHooks.getSystemPowerStatus(&status)
                                                                   : GetSystemPowerStatus(&status);
    if (!ok) {
        LoadText(IDS_BATTERY_ESTIMATING, text, cchText);
        return;
    }
    if (status.ACLineStatus == kAcOnLine) {
        LoadText(IDS_BATTERY_ON_AC, text, cchText);
        return;
    }
    const DWORD seconds = GetBatteryInfoById(nullptr, plan, refresh);
    if (seconds == 0) {
        LoadText(IDS_BATTERY_ESTIMATING, text, cchText);
        return;
    }
    FormatHoursMinutes(seconds, text, cchText);
}

void SetPlanBatteryTime(HWND dialog, int controlId, const GUID& plan, bool refresh) noexcept {
    wchar_t text[64] = L"";
    FormatPlanBatteryTime(plan, refresh, text, ARRAYSIZE(text));
    SetDlgItemTextW(dialog, controlId, text);
}

}  // namespace battery
