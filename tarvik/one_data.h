// OneData: the 40-byte record that crosses the library boundary, is stored in the registry for
// the use period and the daily windows, and is the layout of every data-service record.
#pragma once

#include <windows.h>

#include <cstdint>

#pragma pack(push, 8)
struct OneData {
    ULONGLONG value;     // amount (service records) or 1 when written by the settings dialog
    SYSTEMTIME start;
    SYSTEMTIME end;
};
#pragma pack(pop)
static_assert(sizeof(OneData) == 40, "OneData is 40 bytes on the wire and in the registry");
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is eight 16-bit fields");

namespace tarvik {

constexpr WORD kFirstConvertibleYear = 1900;  // earlier years convert to 0 seconds

// True when month, day, hour, minute and second are inside the calendar's ranges.
bool SystemTimeFieldsValid(const SYSTEMTIME& st) noexcept;

// Local SYSTEMTIME to seconds since 1970 (daylight saving decided by the system).
// A year below 1900 gives 0 and TRUE; out-of-range fields or a date mktime rejects give FALSE.
bool SystemTimeToSeconds(const SYSTEMTIME& st, long long& seconds) noexcept;

// Seconds since 1970 to a local SYSTEMTIME (day of week filled, milliseconds 0).
bool SecondsToSystemTime(long long seconds, SYSTEMTIME& st) noexcept;

// Converts to seconds and back; FALSE (st unchanged) when either conversion fails.
bool NormaliseSystemTime(SYSTEMTIME& st) noexcept;

// Seconds of a record's start for ordering: years below 1900 and unconvertible times count as 0.
long long StartSecondsOrZero(const OneData& record) noexcept;

bool IsZeroRecord(const OneData& record) noexcept;

}  // namespace tarvik
