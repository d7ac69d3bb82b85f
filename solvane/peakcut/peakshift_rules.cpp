// Rules of the peak-shift values: the pickers' defaults and mends, window order, and the battery
// change fields of the automatic plan change record.
#include "resources/resource.h"
#include "battery/auto_change.h"
#include "common/registry.h"
#include "common/handles.h"
#include "peakcut/peakshift.h"
#include "plans/reg_values.h"
#include "tarvik/one_data.h"
#include "tarvik/period_rules.h"

namespace peakcut {

namespace {

constexpr WORD kMonthsAhead = 3;

bool ShortMonth(WORD month) { return month == 4 || month == 6 || month == 9 || month == 11; }

}  // namespace

void DefaultUsePeriod(const SYSTEMTIME& today, SYSTEMTIME* start, SYSTEMTIME* end) noexcept {
    *start = today;
    start->wHour = start->wMinute = start->wSecond = start->wMilliseconds = 0;
    *end = *start;
    end->wMonth = static_cast<WORD>(today.wMonth + kMonthsAhead);
    if (end->wMonth > 12) {
        end->wMonth = static_cast<WORD>(end->wMonth - 12);  // the year stays
    }
    if (end->wDay == 31 && ShortMonth(end->wMonth)) {
        end->wDay = 30;
    }
    tarvik::NormaliseSystemTime(*end);  // 30 February becomes a real date
    end->wHour = 23;
    end->wMinute = 59;
    end->wSecond = 59;
    end->wMilliseconds = 999;
}

void MendLeapDay(SYSTEMTIME* start, SYSTEMTIME* end) noexcept {
    // 29 February does not exist in a common year: the start and an end on that day (the same
    // month and day as the start) move one day earlier.
    if (start->wMonth == 2 && start->wDay == 29 && !tarvik::IsLeapYear(start->wYear)) {
        start->wDay = 28;
    }
    if (end->wMonth == 2 && end->wDay == 29 && !tarvik::IsLeapYear(end->wYear)) {
        end->wDay = 28;
    }
}

bool DailyWindowInOrder(const SYSTEMTIME& start, const SYSTEMTIME& end) noexcept {
    return start.wHour * 60 + start.wMinute < end.wHour * 60 + end.wMinute;
}

// The battery change shares the automatic plan change's per-user record: only its switch and
// threshold are the dialog's; the target and the pending plan are kept as stored.
bool ReadBatteryChange(BOOL* on, DWORD* percent) noexcept {
    battery::AutoRecord record{};
    common::UniqueRegKey key;
    if (common::OpenRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        common::ReadRegBinary(key.Get(), battery::kAutoValueName, &record, sizeof(record)) != ERROR_SUCCESS) {
        return false;
    }
    *on = record.bChecked != 0 ? TRUE : FALSE;
    *percent = static_cast<DWORD>(record.RemaindPercent);
    return true;
}

LSTATUS WriteBatteryChange(BOOL on, DWORD percent) noexcept {
    battery::AutoRecord record{};
    common::UniqueRegKey key;
    LSTATUS status = common::CreateRegKey(HKEY_CURRENT_USER, plans::kSolvaneKey, KEY_QUERY_VALUE | KEY_SET_VALUE, key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (common::ReadRegBinary(key.Get(), battery::kAutoValueName, &record, sizeof(record)) != ERROR_SUCCESS) {
        record = battery::AutoRecord{};
    }
    record.bChecked = on != FALSE ? 1 : 0;
    record.RemaindPercent = percent;
    status = common::WriteRegBinary(key.Get(), battery::kAutoValueName, &record, sizeof(record));
    if (status == ERROR_SUCCESS) {
        // The running automatic change follows the new switch and threshold at once.
        battery::LoadAutoSettings();
        battery::SetAutoChangeEvent(record.bChecked != 0 ? TRUE : FALSE);
    }
    return status;
}

}  // namespace peakcut
