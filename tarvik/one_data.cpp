#include "tarvik/one_data.h"

#include <ctime>
#include <cstring>

namespace tarvik {
namespace {

constexpr WORD kMonthsPerYear = 12;
constexpr WORD kMaxDay = 31;
constexpr WORD kMaxHour = 23;
constexpr WORD kMaxMinute = 59;
constexpr WORD kMaxSecond = 59;
constexpr int kTmYearBase = 1900;

}  // namespace

bool SystemTimeFieldsValid(const SYSTEMTIME& st) noexcept {
    return st.wMonth >= 1 && st.wMonth <= kMonthsPerYear && st.wDay >= 1 && st.wDay <= kMaxDay &&
           st.wHour <= kMaxHour && st.wMinute <= kMaxMinute && st.wSecond <= kMaxSecond;
}

bool SystemTimeToSeconds(const SYSTEMTIME& st, long long& seconds) noexcept {
    seconds = 0;
    if (st.wYear < kFirstConvertibleYear) {
        return true;
    }
    if (!SystemTimeFieldsValid(st)) {
        return false;
    }
    struct tm local = {};
    local.tm_year = st.wYear - kTmYearBase;
    local.tm_mon = st.wMonth - 1;
    local.tm_mday = st.wDay;
    local.tm_hour = st.wHour;
    local.tm_min = st.wMinute;
    local.tm_sec = st.wSecond;
    local.tm_isdst = -1;
    const __time64_t result = _mktime64(&local);
    if (result == static_cast<__time64_t>(-1)) {
        return false;
    }
    seconds = static_cast<long long>(result);
    return true;
}

bool SecondsToSystemTime(long long seconds, SYSTEMTIME& st) noexcept {
    struct tm local = {};
    const __time64_t value = static_cast<__time64_t>(seconds);
    if (_localtime64_s(&local, &value) != 0) {
        return false;
    }
    st.wYear = static_cast<WORD>(local.tm_year + kTmYearBase);
    st.wMonth = static_cast<WORD>(local.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    st.wDay = static_cast<WORD>(local.tm_mday);
    st.wHour = static_cast<WORD>(local.tm_hour);
    st.wMinute = static_cast<WORD>(local.tm_min);
    st.wSecond = static_cast<WORD>(local.tm_sec);
    st.wMilliseconds = 0;
    return true;
}

bool NormaliseSystemTime(SYSTEMTIME& st) noexcept {
    long long seconds = 0;
    if (st.wYear < kFirstConvertibleYear || !SystemTimeToSeconds(st, seconds)) {
        return false;
    }
    SYSTEMTIME result = {};
    if (!SecondsToSystemTime(seconds, result)) {
        return false;
    }
    st = result;
    return true;
}

long long StartSecondsOrZero(const OneData& record) noexcept {
    long long seconds = 0;
    if (!SystemTimeToSeconds(record.start, seconds)) {
        return 0;
    }
    return seconds;
}

bool IsZeroRecord(const OneData& record) noexcept {
    static const OneData kZero = {};
    return std::memcmp(&record, &kZero, sizeof(OneData)) == 0;
}

}  // namespace tarvik
