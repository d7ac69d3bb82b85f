// Error log: failed calls the program survives, one line each in the hidden ".\error.log" of the
// current directory (UTF-16LE, no byte-order mark), optionally shown in a message box. The same
// record is written at most once a minute, and the file is kept to about kLogRotateBytes.
#include <rpc.h>
#include <strsafe.h>

#include "common/guid.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/text.h"

namespace {

constexpr wchar_t kErrorLogPath[] = L".\\error.log";
constexpr wchar_t kErrorLogOldPath[] = L".\\error.log.old";
constexpr size_t kMessageCch = 260;  // a string-table text
constexpr size_t kLineCch = 300;     // one record or one message-box text
constexpr size_t kValueCch = 64;     // "(0x...)\r\n" or "(<guid>)\r\n"
constexpr size_t kStampCch = 32;
constexpr size_t kCaptionCch = 260;

wchar_t g_caption[kCaptionCch] = {};

// An id without text gives an empty message.
void LoadMessage(UINT stringId, wchar_t* text, size_t cchText) { common::LoadText(stringId, text, cchText); }

// prefix + message + suffix in line (cchLine characters). The message alone is cut when the
// whole does not fit, so the value and the line break always survive.
void JoinCut(wchar_t* line, size_t cchLine, const wchar_t* prefix, const wchar_t* message,
             const wchar_t* suffix) {
    size_t cchPrefix = 0;
    size_t cchSuffix = 0;
    ::StringCchLengthW(prefix, cchLine, &cchPrefix);
    ::StringCchLengthW(suffix, cchLine, &cchSuffix);
    line[0] = L'\0';
    if (cchPrefix + cchSuffix >= cchLine) {
        return;  // cannot happen with the fixed parts used here
    }
    ::StringCchCopyW(line, cchLine, prefix);
    const size_t room = cchLine - cchPrefix - cchSuffix;  // includes the terminator
    ::StringCchCopyNW(line + cchPrefix, room, message, room - 1);
    ::StringCchCatW(line, cchLine, suffix);
}

common::UniqueFile OpenErrorLog() noexcept {
    return common::UniqueFile(::CreateFileW(kErrorLogPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
}

// One identity per record: the message id and the value (or the GUID).
struct RecordKey {
    UINT stringId;
    bool isGuid;
    ULONGLONG value;
    GUID guid;
};

bool SameRecord(const RecordKey& a, const RecordKey& b) noexcept {
    return a.stringId == b.stringId && a.isGuid == b.isGuid && a.value == b.value &&
           IsEqualGUID(a.guid, b.guid) != FALSE;
}

// Records written lately and when; a repeat inside kErrorLogRepeatMs is left out of the file.
struct RecentRecord {
    RecordKey key;
    ULONGLONG writtenMs;
    bool used;
};
constexpr size_t kRecentRecords = 32;
RecentRecord g_recent[kRecentRecords] = {};
SRWLOCK g_recentLock = SRWLOCK_INIT;
ErrorLogClockFn g_clock = ::GetTickCount64;

// True when the record may be written now: not written within the last minute.
bool IsDue(const RecordKey& key, ULONGLONG now) noexcept {
    ::AcquireSRWLockShared(&g_recentLock);
    bool due = true;
    for (const RecentRecord& r : g_recent) {
        if (r.used && SameRecord(r.key, key) && now - r.writtenMs < kErrorLogRepeatMs) {
            due = false;
            break;
        }
    }
    ::ReleaseSRWLockShared(&g_recentLock);
    return due;
}

// Notes a written record in its own slot, a free one or the oldest.
void NoteWritten(const RecordKey& key, ULONGLONG now) noexcept {
    ::AcquireSRWLockExclusive(&g_recentLock);
    RecentRecord* slot = nullptr;
    for (RecentRecord& r : g_recent) {
        if (r.used && SameRecord(r.key, key)) {
            slot = &r;
            break;
        }
        if (slot == nullptr || !r.used || (slot->used && r.writtenMs < slot->writtenMs)) {
            slot = &r;
        }
    }
    slot->key = key;
    slot->writtenMs = now;
    slot->used = true;
    ::ReleaseSRWLockExclusive(&g_recentLock);
}

// Forgets every record written so far: a new log (first written, removed or rotated) shows each
// failure again once.
void ForgetRecent() noexcept {
    ::AcquireSRWLockExclusive(&g_recentLock);
    for (RecentRecord& r : g_recent) {
        r.used = false;
    }
    ::ReleaseSRWLockExclusive(&g_recentLock);
}

// True when the error log does not exist yet or holds nothing.
bool LogIsNew() noexcept {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(kErrorLogPath, GetFileExInfoStandard, &data)) {
        return true;
    }
    return data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

// Opens the error log for one more record; a log that reached kLogRotateBytes becomes
// "error.log.old" (replacing the previous one) and a new log is started.
common::UniqueFile OpenForAppend(DWORD cbLine) noexcept {
    common::UniqueFile file = OpenErrorLog();
    LARGE_INTEGER size = {};
    if (file && ::GetFileSizeEx(file.Get(), &size) &&
        static_cast<ULONGLONG>(size.QuadPart) + cbLine > kLogRotateBytes) {
        file.Reset();
        ::MoveFileExW(kErrorLogPath, kErrorLogOldPath, MOVEFILE_REPLACE_EXISTING);
        ForgetRecent();
        file = OpenErrorLog();
    }
    return file;
}

bool AppendRecord(const wchar_t* message, const wchar_t* valueText) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t stamp[kStampCch];
    ::StringCchPrintfW(stamp, ARRAYSIZE(stamp), L"[%d/%02d/%02d %02d:%02d:%02d] ", now.wYear,
                       now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    wchar_t suffix[kValueCch];
    ::StringCchPrintfW(suffix, ARRAYSIZE(suffix), L"%s\r\n", valueText);
    wchar_t line[kLineCch];
    JoinCut(line, ARRAYSIZE(line), stamp, message, suffix);
    const DWORD cbLine = static_cast<DWORD>(::lstrlenW(line) * sizeof(wchar_t));

    common::UniqueFile file = OpenForAppend(cbLine);
    if (!file) {
        return false;  // the record is lost
    }
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(file.Get(), line, cbLine, &written, nullptr) && written == cbLine;
}

int ShowBox(const wchar_t* message, const wchar_t* valueText) {
    wchar_t text[kLineCch];
    JoinCut(text, ARRAYSIZE(text), L"", message, valueText);
    // Before the program has named itself the box keeps the system's caption.
    return ::MessageBoxW(nullptr, text, g_caption[0] != L'\0' ? g_caption : nullptr, MB_ICONERROR);
}

// valueText is "(0x...)" or "(<guid>)". A record already written within the last minute is not
// written again (a failure met on every refresh or mouse move would fill the disk); a message box
// is shown every time.
int WriteRecord(const RecordKey& key, const wchar_t* valueText, DWORD flags) {
    wchar_t message[kMessageCch];
    LoadMessage(key.stringId, message, ARRAYSIZE(message));
    if ((flags & ERRLOG_FILE) != 0) {
        const ULONGLONG now = g_clock();
        if (LogIsNew()) {
            ForgetRecent();
        }
        if (IsDue(key, now) && AppendRecord(message, valueText)) {
            NoteWritten(key, now);
        }
    }
    return (flags & ERRLOG_MSGBOX) != 0 ? ShowBox(message, valueText) : 0;
}

}  // namespace

void SetErrorLogModule(HINSTANCE instance) noexcept { common::SetTextModule(instance); }

void SetErrorLogClock(ErrorLogClockFn clock) noexcept {
    g_clock = clock != nullptr ? clock : ::GetTickCount64;
}

void SetErrorLogCaption(const wchar_t* caption) noexcept {
    ::StringCchCopyW(g_caption, ARRAYSIZE(g_caption), caption != nullptr ? caption : L"");
}

int WriteErrorLog(UINT stringId, ULONGLONG value, DWORD flags) noexcept {
    wchar_t valueText[kValueCch];
    ::StringCchPrintfW(valueText, ARRAYSIZE(valueText), L"(0x%I64x)", value);
    return WriteRecord(RecordKey{stringId, false, value, GUID{}}, valueText, flags);
}

int WriteErrorLogGuid(UINT stringId, const GUID& guid, DWORD flags) noexcept {
    wchar_t guidText[common::GUID_STRING_CCH];
    common::GuidToString(guid, false, guidText, ARRAYSIZE(guidText));  // empty on failure
    wchar_t valueText[kValueCch];
    ::StringCchPrintfW(valueText, ARRAYSIZE(valueText), L"(%s)", guidText);
    return WriteRecord(RecordKey{stringId, true, 0, guid}, valueText, flags);
}
