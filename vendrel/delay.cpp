#include "vendrel/delay.h"

#include <strsafe.h>

#include <cwchar>
#include <cwctype>

#include "common/log.h"

namespace vendrel {

namespace {
constexpr size_t kDelayValueChars = 7;   // "mmmm:ss"
constexpr size_t kMinuteDigits = 4;
constexpr size_t kSecondsOffset = 5;
constexpr int kSecondsPerMinute = 60;
constexpr int kRunTaskExtraSeconds = 10;  // "SolvaneRun" starts after the registry repair
constexpr int kMaxDelayMinutes = 9999;    // what "mmmm" can hold
constexpr size_t kMaxArgumentChars = 512;

bool IsDigit(wchar_t c) noexcept { return c >= L'0' && c <= L'9'; }

int ParseDigits(const wchar_t* text, size_t count) noexcept {
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
        value = value * 10 + (text[i] - L'0');
    }
    return value;
}

bool ContainsDelayWord(const wchar_t* argument) noexcept {
    wchar_t lower[kMaxArgumentChars] = {};
    if (FAILED(StringCchCopyW(lower, ARRAYSIZE(lower), argument))) {
        return false;  // far longer than any delay argument
    }
    for (wchar_t* p = lower; *p != L'\0'; ++p) {
        *p = static_cast<wchar_t>(towlower(*p));
    }
    return wcsstr(lower, L"delay") != nullptr;
}
}  // namespace

bool ParseDelayArgument(const wchar_t* argument, TaskDelays* delays) noexcept {
    if (argument == nullptr || delays == nullptr || !ContainsDelayWord(argument)) {
        return false;
    }
    const wchar_t* equals = wcschr(argument, L'=');
    if (equals == nullptr || equals == argument) {
        return false;  // no name=value, or an empty name
    }
    const wchar_t* value = equals + 1;
    if (wcslen(value) != kDelayValueChars || value[kMinuteDigits] != L':') {
        return false;
    }
    for (size_t i = 0; i < kDelayValueChars; ++i) {
        if (i != kMinuteDigits && !IsDigit(value[i])) {
            return false;  // only digits ever reach the task scheduler's command line
        }
    }
    const int minutes = ParseDigits(value, kMinuteDigits);
    const int seconds = ParseDigits(value + kSecondsOffset, 2);
    if (seconds >= kSecondsPerMinute) {
        return false;
    }
    int later = minutes * kSecondsPerMinute + seconds + kRunTaskExtraSeconds;
    const int maxSeconds = kMaxDelayMinutes * kSecondsPerMinute + (kSecondsPerMinute - 1);
    if (later > maxSeconds) {
        later = maxSeconds;  // the format has four minute digits
    }
    TaskDelays parsed;
    parsed.present = true;
    if (FAILED(StringCchCopyW(parsed.regFix, ARRAYSIZE(parsed.regFix), value)) ||
        FAILED(StringCchPrintfW(parsed.run, ARRAYSIZE(parsed.run), L"%04d:%02d",
                                later / kSecondsPerMinute, later % kSecondsPerMinute))) {
        return false;
    }
    *delays = parsed;
    return true;
}

TaskDelays FindTaskDelays(int argc, wchar_t** argv) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"FindTaskDelays", L"Enter");
    TaskDelays delays;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        if (ParseDelayArgument(argv[i], &delays)) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"FindTaskDelays", L"delay %s / %s", delays.regFix,
                      delays.run);
        } else if (argv[i] != nullptr && ContainsDelayWord(argv[i])) {
            // Only "mmmm:ss" in digits is ever handed to the task scheduler's command line.
            LOG_TRACE(TRACE_LEVEL_VALUES, L"FindTaskDelays", L"ignored: %s", argv[i]);
        }
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"FindTaskDelays", L"Exit retval:%08x", delays.present ? 1 : 0);
    return delays;
}

}  // namespace vendrel
