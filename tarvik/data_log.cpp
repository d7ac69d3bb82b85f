#include "tarvik/data_log.h"

#include <strsafe.h>

#include "common/log.h"
#include "tarvik/registry_operation.h"

namespace tarvik {
namespace {

constexpr wchar_t kInterval[] = L"interval";
constexpr long long kSecondsPerMinute = 60;
constexpr ULONGLONG kAmountDivisor = 1000;
constexpr size_t kTimeChars = 128;
constexpr size_t kPartChars = 320;

SYSTEMTIME g_lastLogTime = {};

// "%Y/%m/%d %H:%M" of the local time; empty when the time cannot be converted.
void FormatTime(const SYSTEMTIME& st, wchar_t* text, size_t cch) noexcept {
    text[0] = L'\0';
    SYSTEMTIME normal = st;
    if (!NormaliseSystemTime(normal)) {
        return;
    }
    if (FAILED(StringCchPrintfW(text, cch, L"%04u/%02u/%02u %02u:%02u", normal.wYear, normal.wMonth,
                                normal.wDay, normal.wHour, normal.wMinute))) {
        text[0] = L'\0';
    }
}

bool FormatGroup(const OneData* record, wchar_t* part, size_t cch) noexcept {
    if (record == nullptr) {
        return SUCCEEDED(StringCchCopyW(part, cch, L",,"));
    }
    wchar_t start[kTimeChars];
    wchar_t end[kTimeChars];
    FormatTime(record->start, start, kTimeChars);
    FormatTime(record->end, end, kTimeChars);
    return SUCCEEDED(StringCchPrintfW(part, cch, L"%I64u,%s,%s", record->value / kAmountDivisor, start,
                                      end));
}

}  // namespace

DWORD ReadLogIntervalMinutes() noexcept {
    return CRegistryOperation::ReadDwordOr(kDbgLogKey, kInterval, kDefaultLogIntervalMinutes);
}

bool DataLogDue(const SYSTEMTIME& now, const SYSTEMTIME& last, DWORD intervalMinutes) noexcept {
    long long nowSeconds = 0;
    long long lastSeconds = 0;
    if (!SystemTimeToSeconds(now, nowSeconds)) {
        return false;
    }
    if (!SystemTimeToSeconds(last, lastSeconds)) {
        lastSeconds = 0;
    }
    return nowSeconds >= lastSeconds + static_cast<long long>(intervalMinutes) * kSecondsPerMinute;
}

bool FormatDataLine(DWORD region, const OneData* supply, const OneData* instant, const OneData* actual,
                    wchar_t* line, size_t cchLine) noexcept {
    if (supply == nullptr || (instant == nullptr && actual == nullptr)) {
        return false;
    }
    wchar_t start[kTimeChars];
    wchar_t end[kTimeChars];
    FormatTime(supply->start, start, kTimeChars);
    FormatTime(supply->end, end, kTimeChars);
    wchar_t partSupply[kPartChars];
    wchar_t partInstant[kPartChars];
    wchar_t partActual[kPartChars];
    if (FAILED(StringCchPrintfW(partSupply, kPartChars, L"%d,%I64u,%s,%s", static_cast<int>(region),
                                supply->value / kAmountDivisor, start, end)) ||
        !FormatGroup(instant, partInstant, kPartChars) || !FormatGroup(actual, partActual, kPartChars)) {
        return false;
    }
    return SUCCEEDED(StringCchPrintfW(line, cchLine, L"%s,%s,%s", partSupply, partInstant, partActual));
}

void ResetDataLogClock(const SYSTEMTIME& now) noexcept {
    g_lastLogTime = now;
    long long seconds = 0;
    SYSTEMTIME earlier = {};
    if (SystemTimeToSeconds(now, seconds) &&
        SecondsToSystemTime(seconds - static_cast<long long>(ReadLogIntervalMinutes()) * kSecondsPerMinute,
                            earlier)) {
        g_lastLogTime = earlier;
    } else {
        g_lastLogTime = {};
    }
}

const SYSTEMTIME& LastDataLogTime() noexcept { return g_lastLogTime; }

bool OutputLog(DWORD region, const OneData* supply, const OneData* instant, const OneData* actual,
               const SYSTEMTIME& now) noexcept {
    if (!DataLogDue(now, g_lastLogTime, ReadLogIntervalMinutes())) {
        return false;
    }
    wchar_t line[kDataLineChars];
    if (!FormatDataLine(region, supply, instant, actual, line, kDataLineChars)) {
        return false;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, L"OutputLog", L"%s", line);
    g_lastLogTime = now;
    return true;
}

}  // namespace tarvik
