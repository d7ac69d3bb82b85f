// The throttled data line in the trace log: region, the day's peak supply and the demand the
// last comparison used, at most once per "interval" minutes.
#pragma once

#include "tarvik/one_data.h"

namespace tarvik {

constexpr DWORD kDefaultLogIntervalMinutes = 30;
constexpr size_t kDataLineChars = 1024;

// "interval" under the trace key, in minutes (30 when missing).
DWORD ReadLogIntervalMinutes() noexcept;

// A line is due when now >= last + interval (a last time before 1900 counts as 0).
bool DataLogDue(const SYSTEMTIME& now, const SYSTEMTIME& last, DWORD intervalMinutes) noexcept;

// The ten columns; a demand group that was not fetched stays empty. FALSE without a supply or
// without any demand record, or when the line does not fit.
bool FormatDataLine(DWORD region, const OneData* supply, const OneData* instant, const OneData* actual,
                    wchar_t* line, size_t cchLine) noexcept;

// Sets the last line's time to `now` minus the interval, so the first line is written at once.
void ResetDataLogClock(const SYSTEMTIME& now) noexcept;
const SYSTEMTIME& LastDataLogTime() noexcept;

// Writes the line when it is due and remembers `now`; TRUE when a line was written.
bool OutputLog(DWORD region, const OneData* supply, const OneData* instant, const OneData* actual,
               const SYSTEMTIME& now) noexcept;

}  // namespace tarvik
