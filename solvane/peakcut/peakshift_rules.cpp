// Rules of the peak-shift values: the pickers' defaults and mends, window order, and the battery
// change fields of the automatic plan change record.
#include "resources/resource.h"
#include "common/registry.h"
#include "common/handles.h"
#include "peakcut/peakshift.h"
#include "plans/reg_values.h"
#include "tarvik/one_data.h"
#include "tarvik/period_rules.h"

namespace peakcut {

namespace {

constexpr WORD kMonthsAhead = 3;
constexpr wchar_t kAutoValue[] = L"Auto";
constexpr DWORD kAutoRecordSize = 48;
constexpr size_t kAutoCheckedOffset = 0;
constexpr size_t kAutoPercentOffset = 8;

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

bool ReadBatteryChange(BOOL* on, DWORD* percent) noexcept {
    BYTE record[kAutoRecordSize] = {};
    common::UniqueRegKey key;
    DWORD size = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, plans::kSolvaneKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS ||
        common::ReadRegBinary(key.Get(), kAutoValue, record, sizeof(record), &size) != ERROR_SUCCESS ||
        size != kAutoRecordSize) {
        return false;
    }
    DWORD checked = 0;
    ULONGLONG remaining = 0;
    memcpy(&checked, record + kAutoCheckedOffset, sizeof(checked));
    memcpy(&remaining, record + kAutoPercentOffset, sizeof(remaining));
    *on = checked != 0 ? TRUE : FALSE;
    *percent = static_cast<DWORD>(remaining);
    return true;
}

LSTATUS WriteBatteryChange(BOOL on, DWORD percent) noexcept {
    // The rest of the record (target and previous plan) is kept as stored.
    BYTE record[kAutoRecordSize] = {};
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, plans::kSolvaneKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD size = 0;
    if (common::ReadRegBinary(key.Get(), kAutoValue, record, sizeof(record), &size) != ERROR_SUCCESS ||
        size != kAutoRecordSize) {
        memset(record, 0, sizeof(record));
    }
    const DWORD checked = on != FALSE ? 1 : 0;
    const ULONGLONG remaining = percent;
    memcpy(record + kAutoCheckedOffset, &checked, sizeof(checked));
    memcpy(record + kAutoPercentOffset, &remaining, sizeof(remaining));
    return RegSetValueExW(key.Get(), kAutoValue, 0, REG_BINARY, record, kAutoRecordSize);
}

}  // namespace peakcut
