#include "tarvik/period_rules.h"

#include <initializer_list>

namespace tarvik {
namespace {

constexpr WORD kFebruary = 2;
constexpr WORD kLeapDay = 29;
constexpr WORD kLastSecond = 59;
constexpr WORD kLastMillisecond = 999;
constexpr WORD kMaxHour = 23;
constexpr WORD kMaxMinute = 59;

bool IsLeapDay(const SYSTEMTIME& st) noexcept { return st.wMonth == kFebruary && st.wDay == kLeapDay; }

bool SameMonthAndDay(const SYSTEMTIME& a, const SYSTEMTIME& b) noexcept {
    return a.wMonth == b.wMonth && a.wDay == b.wDay;
}

// 29 February does not exist in `year`: the leap day becomes 28 February and, when the other
// end of the period now falls on the same day, that end moves one day earlier.
bool MendLeapDay(SYSTEMTIME& moved, SYSTEMTIME& other) noexcept {
    if (!IsLeapDay(moved)) {
        return true;
    }
    moved.wDay = kLeapDay - 1;
    if (!NormaliseSystemTime(moved)) {
        return false;
    }
    if (SameMonthAndDay(moved, other)) {
        other.wDay = static_cast<WORD>(other.wDay - 1);
        if (other.wDay == 0) {
            return false;
        }
        return NormaliseSystemTime(other);
    }
    return true;
}

}  // namespace

bool IsLeapYear(WORD year) noexcept {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool DailyWindowValid(const OneData& record) noexcept {
    return record.start.wHour <= kMaxHour && record.start.wMinute <= kMaxMinute &&
           record.end.wHour <= kMaxHour && record.end.wMinute <= kMaxMinute;
}

void MoveDailyWindowToDay(OneData& record, const SYSTEMTIME& now) noexcept {
    for (SYSTEMTIME* st : {&record.start, &record.end}) {
        st->wYear = now.wYear;
        st->wMonth = now.wMonth;
        st->wDayOfWeek = now.wDayOfWeek;
        st->wDay = now.wDay;
    }
    record.start.wSecond = 0;
    record.start.wMilliseconds = 0;
    record.end.wSecond = kLastSecond;
    record.end.wMilliseconds = kLastMillisecond;
}

bool UsePeriodValid(const OneData& record) noexcept {
    const SYSTEMTIME zero = {};
    auto isZero = [&zero](const SYSTEMTIME& st) {
        return st.wYear == zero.wYear && st.wMonth == zero.wMonth && st.wDay == zero.wDay &&
               st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0 && st.wMilliseconds == 0 &&
               st.wDayOfWeek == 0;
    };
    if (isZero(record.start) && isZero(record.end)) {
        return true;
    }
    return SystemTimeFieldsValid(record.start) && SystemTimeFieldsValid(record.end);
}

bool MoveUsePeriodToYear(OneData& record, const SYSTEMTIME& now) noexcept {
    if (record.start.wYear == 0 || record.end.wYear == 0) {
        return true;
    }
    record.start.wYear = now.wYear;
    record.end.wYear = now.wYear;
    if (!IsLeapYear(now.wYear)) {
        if (!MendLeapDay(record.start, record.end) || !MendLeapDay(record.end, record.start)) {
            return false;
        }
    }
    long long startSeconds = 0;
    long long endSeconds = 0;
    long long nowSeconds = 0;
    if (!SystemTimeToSeconds(record.start, startSeconds) ||
        !SystemTimeToSeconds(record.end, endSeconds) || !SystemTimeToSeconds(now, nowSeconds)) {
        return false;
    }
    if (startSeconds <= endSeconds) {
        return true;
    }
    // The period runs over the turn of the year.
    if (nowSeconds < startSeconds) {
        record.start.wYear = static_cast<WORD>(record.start.wYear - 1);
        return NormaliseSystemTime(record.start);
    }
    record.end.wYear = static_cast<WORD>(record.end.wYear + 1);
    return NormaliseSystemTime(record.end);
}

}  // namespace tarvik
