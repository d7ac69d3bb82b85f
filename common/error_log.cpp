// Error log: failed calls the program survives, one line each in the hidden ".\error.log" of the
// current directory (UTF-16LE, no byte-order mark), optionally shown in a message box.
#include <rpc.h>
#include <strsafe.h>

#include "common/guid.h"
#include "common/handles.h"
#include "common/log.h"

namespace {

constexpr wchar_t kErrorLogPath[] = L".\\error.log";
constexpr size_t kMessageCch = 260;  // a string-table text
constexpr size_t kLineCch = 300;     // one record or one message-box text
constexpr size_t kValueCch = 64;     // "(0x...)\r\n" or "(<guid>)\r\n"
constexpr size_t kStampCch = 32;
constexpr size_t kCaptionCch = 260;

HINSTANCE g_errorModule = nullptr;  // null: the exe's own module
wchar_t g_caption[kCaptionCch] = {};

void LoadMessage(UINT stringId, wchar_t* text, size_t cchText) {
    HINSTANCE module = g_errorModule != nullptr ? g_errorModule : ::GetModuleHandleW(nullptr);
    if (::LoadStringW(module, stringId, text, static_cast<int>(cchText)) <= 0) {
        text[0] = L'\0';  // an id without text gives an empty message
    }
}

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

void AppendRecord(const wchar_t* message, const wchar_t* valueText) {
    common::UniqueFile file(::CreateFileW(kErrorLogPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file) {
        return;  // the record is lost
    }
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t stamp[kStampCch];
    ::StringCchPrintfW(stamp, ARRAYSIZE(stamp), L"[%d/%02d/%02d %02d:%02d:%02d] ", now.wYear,
                       now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    wchar_t suffix[kValueCch];
    ::StringCchPrintfW(suffix, ARRAYSIZE(suffix), L"%s\r\n", valueText);
    wchar_t line[kLineCch];
    JoinCut(line, ARRAYSIZE(line), stamp, message, suffix);

    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) {
        return;
    }
    DWORD written = 0;
    ::WriteFile(file.Get(), line, static_cast<DWORD>(::lstrlenW(line) * sizeof(wchar_t)), &written,
                nullptr);
}

int ShowBox(const wchar_t* message, const wchar_t* valueText) {
    wchar_t text[kLineCch];
    JoinCut(text, ARRAYSIZE(text), L"", message, valueText);
    // Before the program has named itself the box keeps the system's caption.
    return ::MessageBoxW(nullptr, text, g_caption[0] != L'\0' ? g_caption : nullptr, MB_ICONERROR);
}

// valueText is "(0x...)" or "(<guid>)".
int WriteRecord(UINT stringId, const wchar_t* valueText, DWORD flags) {
    wchar_t message[kMessageCch];
    LoadMessage(stringId, message, ARRAYSIZE(message));
    if ((flags & ERRLOG_FILE) != 0) {
        AppendRecord(message, valueText);
    }
    return (flags & ERRLOG_MSGBOX) != 0 ? ShowBox(message, valueText) : 0;
}

}  // namespace

void SetErrorLogModule(HINSTANCE instance) noexcept { g_errorModule = instance; }

void SetErrorLogCaption(const wchar_t* caption) noexcept {
    ::StringCchCopyW(g_caption, ARRAYSIZE(g_caption), caption != nullptr ? caption : L"");
}

int WriteErrorLog(UINT stringId, ULONGLONG value, DWORD flags) noexcept {
    wchar_t valueText[kValueCch];
    ::StringCchPrintfW(valueText, ARRAYSIZE(valueText), L"(0x%I64x)", value);
    return WriteRecord(stringId, valueText, flags);
}

int WriteErrorLogGuid(UINT stringId, const GUID& guid, DWORD flags) noexcept {
    wchar_t guidText[common::GUID_STRING_CCH];
    common::GuidToString(guid, false, guidText, ARRAYSIZE(guidText));  // empty on failure
    wchar_t valueText[kValueCch];
    ::StringCchPrintfW(valueText, ARRAYSIZE(valueText), L"(%s)", guidText);
    return WriteRecord(stringId, valueText, flags);
}
