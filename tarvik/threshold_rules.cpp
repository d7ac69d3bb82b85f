#include "tarvik/threshold_rules.h"

namespace tarvik {
namespace {

constexpr ULONGLONG kPercent = 100;
constexpr long long kSecondsPerHour = 3600;
constexpr WORD kSummerFirstMonth = 5;  // May
constexpr WORD kSummerMonths = 5;      // May .. October: month - 5 <= 5
constexpr long long kSummerHoursBefore = 1;
constexpr long long kSummerHoursAfter = 2;
constexpr long long kWinterHoursBefore = 2;
constexpr long long kWinterHoursAfter = 1;

bool ShiftByHours(SYSTEMTIME& st, long long hours) noexcept {
    long long seconds = 0;
    if (st.wYear < kFirstConvertibleYear || !SystemTimeToSeconds(st, seconds)) {
        return false;
    }
    SYSTEMTIME shifted = {};
    if (!SecondsToSystemTime(seconds + hours * kSecondsPerHour, shifted)) {
        return false;
    }
    st = shifted;
    return true;
}

}  // namespace

bool StartsOnDay(const OneData& record, const SYSTEMTIME& day) noexcept {
    return record.start.wYear == day.wYear && record.start.wMonth == day.wMonth &&
           record.start.wDay == day.wDay;
}

bool ShareOfSupply(ULONGLONG value, ULONGLONG supply, DWORD& percent) noexcept {
    if (supply == 0) {
        return false;
    }
    percent = static_cast<DWORD>(value * kPercent / supply);
    return true;
}

size_t LatestRecordIndex(const OneData* records, size_t count) noexcept {
    size_t best = 0;
    long long bestSeconds = StartSecondsOrZero(records[0]);
    for (size_t i = 1; i < count; ++i) {
        const long long seconds = StartSecondsOrZero(records[i]);
        if (seconds > bestSeconds) {
            best = i;
            bestSeconds = seconds;
        }
    }
    return best;
}

bool DemandExceeds(const OneData& demand, ULONGLONG supply, DWORD threshold) noexcept {
    DWORD percent = 0;
    return ShareOfSupply(demand.value, supply, percent) && percent >= threshold;
}

void FillHourlyShares(const OneData* records, size_t count, ULONGLONG supply, const SYSTEMTIME& now,
                      HourlyShares& shares) noexcept {
    for (DWORD& share : shares) {
        share = 0;
    }
    for (size_t i = 0; i < count; ++i) {
        const OneData& record = records[i];
        DWORD percent = 0;
        if (!StartsOnDay(record, now) || record.start.wHour >= kHoursPerDay ||
            !ShareOfSupply(record.value, supply, percent)) {
            continue;
        }
        shares[record.start.wHour] = percent;
    }
}

BOOL WindowFromEstimates(const HourlyShares& shares, DWORD threshold, const SYSTEMTIME& now,
                         OneData& result) noexcept {
    result = {};
    SYSTEMTIME day = now;
    day.wHour = 0;
    day.wMinute = 0;
    day.wSecond = 0;
    day.wMilliseconds = 0;
    result.start = day;
    result.end = day;
    for (DWORD h = 0; h < kHoursPerDay; ++h) {
        if (shares[h] >= threshold) {
            result.start.wHour = static_cast<WORD>(h);
            break;
        }
    }
    for (DWORD h = kHoursPerDay; h-- > 0;) {
        if (shares[h] >= threshold) {
            result.end.wHour = static_cast<WORD>(h);
            break;
        }
    }
    if (result.start.wHour == 0 && result.end.wHour == 0) {
        return FALSE;
    }
    if (result.end.wHour <= result.start.wHour) {
        // One hour long; after the last hour of the day the window ends at the next midnight.
        result.end = result.start;
        if (!ShiftByHours(result.end, 1)) {
            result.end.wHour = static_cast<WORD>(result.start.wHour + 1);
        }
    }
    return TRUE;
}

BOOL WindowFromPeakDemand(const HourlyShares& shares, DWORD threshold, const OneData* lastDelivered,
                          const SYSTEMTIME& now, OneData& result) noexcept {
    result = {};
    const bool summer = static_cast<WORD>(now.wMonth - kSummerFirstMonth) <= kSummerMonths;
    const long long before = summer ? kSummerHoursBefore : kWinterHoursBefore;
    const long long after = summer ? kSummerHoursAfter : kWinterHoursAfter;
    for (DWORD h = 0; h < kHoursPerDay; ++h) {
        if (shares[h] == 0) {
            continue;
        }
        if (shares[h] < threshold || lastDelivered == nullptr) {
            result = {};
            return FALSE;
        }
        OneData widened = *lastDelivered;
        if (!ShiftByHours(widened.start, -before) || !ShiftByHours(widened.end, after)) {
            // A demand record with a date that cannot be converted gives no window.
            result = {};
            return FALSE;
        }
        result = widened;
    }
    return TRUE;
}

}  // namespace tarvik
