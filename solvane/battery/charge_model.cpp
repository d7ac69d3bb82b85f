// The arithmetic of the battery model: time to full, the low-battery state machine and the
// relative running time after a plan change.
#include <cmath>
#include <strsafe.h>

#include "battery/battery.h"
#include "common/log.h"
#include "resources/resource.h"

namespace battery {

namespace {

constexpr wchar_t kChargeTrace[] = L"CalcChargeOverTime";
constexpr DWORD kDivisionZeroCode = 25;
constexpr DWORD kPercent = 100;
constexpr DWORD kBatteryCharging = 0x4;   // BATTERY_STATUS.PowerState
constexpr double kSecondsPerHour = 3600.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr int kLowStateCritical = 0;
constexpr int kLowStateLow = 1;
constexpr int kLowStateAbove = 5;
constexpr int kRateDivisor = 100;
constexpr int kFullPercentage = 100;
constexpr int kCpuModeHigh = 0;
constexpr int kCpuModeSaving = 2;

void TraceRecord(const BatteryRecord& r) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"bChecked:%d", r.bChecked);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dwChangePoint:%d", r.dwChangePoint);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dwFullPercent:%d", r.dwFullPercent);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dI:%f", r.dI);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dA:%f", r.dA);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dB:%f", r.dB);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dC:%f", r.dC);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"bExist:%d", r.bExist);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"devName:%s", r.devName);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"nSlot:%d", r.nSlot);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"PowerState:%d", r.PowerState);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"Capacity:%d", r.Capacity);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"FullChargedCapacity:%d", r.FullChargedCapacity);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"Rate:%d", r.Rate);
}

double Discriminant(const BatteryRecord& r, double capacity) noexcept {
    return r.dB * r.dB - 4.0 * r.dA * (r.dC - capacity);
}

double NonNegative(double value, const wchar_t* name) noexcept {
    if (value < 0.0) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"%s:%f", name, value);
        return 0.0;
    }
    return value;
}

// Minutes one battery needs from its capacity to full.
double RecordMinutes(const BatteryRecord& r, DWORD unit) noexcept {
    const double full = static_cast<double>(r.FullChargedCapacity);
    const double now = static_cast<double>(r.Capacity);
    const double s1 = NonNegative(Discriminant(r, full), L"sqrt1");
    if (unit < r.dwChangePoint) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"strait");
        const double turn = full * static_cast<double>(r.dwChangePoint) / 100.0;
        const double s2raw = Discriminant(r, turn);
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"turnCapacity:%f, sqrt1:%f, sqrt2:%f", turn, s1, s2raw);
        const double s2 = NonNegative(s2raw, L"sqrt2");
        const double rate = r.Rate != 0 ? std::fabs(static_cast<double>(r.Rate)) : r.dI;
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"rate:%d", static_cast<int>(rate));
        return ((turn - now) / rate * kSecondsPerHour + (std::sqrt(s1) - std::sqrt(s2)) / (2.0 * r.dA)) /
               kSecondsPerMinute;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"curve");
    const double s2raw = Discriminant(r, now);
    LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"sqrt1:%f, sqrt2:%f", s1, s2raw);
    const double s2 = NonNegative(s2raw, L"sqrt2");
    return (std::sqrt(s1) - std::sqrt(s2)) / (2.0 * r.dA) / kSecondsPerMinute;
}

}  // namespace

ChargeEstimate EstimateChargeTime(const BatteryRecord* records, size_t count) noexcept {
    ChargeEstimate result{};
    double minutes = 0.0;
    for (size_t i = 0; records != nullptr && i < count; ++i) {
        const BatteryRecord& r = records[i];
        if (r.bChecked == 0 || r.bExist == 0) {
            continue;
        }
        TraceRecord(r);
        result.dwTotalCapacity += r.FullChargedCapacity;
        result.dwCurrentCapacity += r.Capacity;
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"TotalCapacity:%d", result.dwTotalCapacity);
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"CurrentCapacity:%d", result.dwCurrentCapacity);
        if (r.FullChargedCapacity == 0) {
            WriteErrorLog(IDS_ERR_DIVISION_ZERO, kDivisionZeroCode, ERRLOG_FILE);
            result.nMinutes = 0;
            result.dwError = IDS_ERR_DIVISION_ZERO;
            return result;
        }
        // 64-bit so that a large capacity cannot wrap the product.
        const DWORD unit = static_cast<DWORD>(static_cast<ULONGLONG>(r.Capacity) * kPercent / r.FullChargedCapacity);
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"unitCapacity:%d", unit);
        const DWORD bit = r.nSlot < 32 ? (1u << r.nSlot) : 0;
        if (unit > 0 && unit < kPercent) {
            if (unit < r.dwFullPercent) {
                result.dwPartialMask |= bit;
                LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"iNotPartical:%d", result.dwPartialMask);
            }
            if ((r.PowerState & kBatteryCharging) != 0) {
                result.dwChargingMask |= bit;
                LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"iCharging:%d", result.dwChargingMask);
            }
        }
        minutes += RecordMinutes(r, unit);
        LOG_TRACE(TRACE_LEVEL_VALUES, kChargeTrace, L"dNeedMin:%f", minutes);
    }
    result.nMinutes = result.dwPartialMask != 0 ? static_cast<int>(minutes) : 0;
    return result;
}

bool FormatChargeTime(int minutes, wchar_t* text, size_t cchText) noexcept {
    if (text == nullptr || cchText == 0) {
        return false;
    }
    return SUCCEEDED(StringCchPrintfW(text, cchText, L"%02d:%02d", minutes / 60, minutes % 60));
}

int StepLowBattery(int state, int percent, int lowLevel, int criticalLevel, bool* report) noexcept {
    if (report != nullptr) {
        *report = false;
    }
    if (percent < 0) {
        return state;
    }
    const bool aboveLow = lowLevel < percent;
    switch (state) {
    case kLowStateCritical:
        if (aboveLow) {
            return kLowStateAbove;
        }
        return criticalLevel < percent ? kLowStateLow : kLowStateCritical;
    case kLowStateLow:
        if (percent <= criticalLevel) {
            if (report != nullptr) {
                *report = true;
            }
            return kLowStateCritical;
        }
        return aboveLow ? kLowStateAbove : kLowStateLow;
    default:  // above the low level
        if (aboveLow) {
            return kLowStateAbove;
        }
        if (report != nullptr) {
            *report = true;
        }
        return percent <= criticalLevel ? kLowStateCritical : kLowStateLow;
    }
}

int LcdRate(const DischargeRates& rates, int current, int newLevel) noexcept {
    const int size = static_cast<int>(rates.lcd.size());
    if (current < 0 || newLevel < 0 || current >= size || newLevel >= size || current == kUnknownLevel ||
        newLevel == kUnknownLevel) {
        return 0;
    }
    return (static_cast<int>(rates.lcd[static_cast<size_t>(current)]) -
            static_cast<int>(rates.lcd[static_cast<size_t>(newLevel)])) / kRateDivisor;
}

int CpuRate(const DischargeRates& rates, int current, int newMode) noexcept {
    const bool pair = (current == kCpuModeHigh && newMode == kCpuModeSaving) ||
                      (current == kCpuModeSaving && newMode == kCpuModeHigh);
    if (!pair) {
        return 0;
    }
    return (static_cast<int>(rates.cpu[current]) - static_cast<int>(rates.cpu[newMode])) / kRateDivisor;
}

int Percentage(const DischargeRates& rates, bool lcd, bool cpu, int curLevel, int newLevel, int curMode,
               int newMode) noexcept {
    int percent = kFullPercentage;
    if (lcd) {
        percent += LcdRate(rates, curLevel, newLevel);
    }
    if (cpu) {
        percent += CpuRate(rates, curMode, newMode);
    }
    return percent;
}

}  // namespace battery
