// How demand is weighed against the day's peak supply, as pure functions of "now" and the
// records the data service delivered.
#pragma once

#include <cstddef>

#include "tarvik/one_data.h"

namespace tarvik {

constexpr DWORD kHoursPerDay = 24;
using HourlyShares = DWORD[kHoursPerDay];

// The record's start lies on the calendar day of `day`.
bool StartsOnDay(const OneData& record, const SYSTEMTIME& day) noexcept;

// value × 100 / supply in unsigned 64-bit arithmetic, taken as 32 bits. FALSE for a supply of 0.
bool ShareOfSupply(ULONGLONG value, ULONGLONG supply, DWORD& percent) noexcept;

// Index of the record with the latest start (ties keep the lower index); count must be > 0.
size_t LatestRecordIndex(const OneData* records, size_t count) noexcept;

// Demand reaches `threshold` percent of the supply (never with a supply of 0).
bool DemandExceeds(const OneData& demand, ULONGLONG supply, DWORD threshold) noexcept;

// Per hour of `now`'s day: the share of supply of the day's records (a later record of the same
// hour overwrites, hours above 23 and other days are ignored, a supply of 0 fills nothing).
void FillHourlyShares(const OneData* records, size_t count, ULONGLONG supply, const SYSTEMTIME& now,
                      HourlyShares& shares) noexcept;

// The window of the forecast: from the first to the last hour at or above the threshold,
// at least one hour long. FALSE when no hour after midnight reaches it.
BOOL WindowFromEstimates(const HourlyShares& shares, DWORD threshold, const SYSTEMTIME& now,
                         OneData& result) noexcept;

// The window around the day's peak demand: FALSE as soon as an hour with a share stays below
// the threshold; otherwise the last delivered demand record widened by the season's margins
// (May to October one hour before and two after, otherwise two before and one after).
BOOL WindowFromPeakDemand(const HourlyShares& shares, DWORD threshold, const OneData* lastDelivered,
                          const SYSTEMTIME& now, OneData& result) noexcept;

}  // namespace tarvik
