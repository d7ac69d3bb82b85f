// Date rules of the stored settings, as pure functions of the record and "now" so that they can
// be checked on any date: the daily windows move to today, the use period to the current year.
#pragma once

#include "tarvik/one_data.h"

namespace tarvik {

bool IsLeapYear(WORD year) noexcept;

// The hour and minute the daily window (Lv1Time, Lv2Time) uses are inside their ranges.
bool DailyWindowValid(const OneData& record) noexcept;

// Moves a daily window to the date of `now`: hour and minute kept, start at second 0.000,
// end at second 59.999.
void MoveDailyWindowToDay(OneData& record, const SYSTEMTIME& now) noexcept;

// A use period the getter can hand out: the never-written record, or start and end with their
// fields inside the calendar's ranges.
bool UsePeriodValid(const OneData& record) noexcept;

// Moves the use period (UseDate) to the year of `now`, mending 29 February in a common year and
// a period that runs over the turn of the year. A record without years is left as it is.
// FALSE when a date cannot be converted (the record is then not usable).
bool MoveUsePeriodToYear(OneData& record, const SYSTEMTIME& now) noexcept;

}  // namespace tarvik
