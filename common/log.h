// Trace log (CLog) and error log shared by the programs and the link library.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "common/handles.h"

// Trace levels used by the callers.
constexpr DWORD TRACE_LEVEL_VALUES = 0;   // values and events worth seeing whenever tracing is on
constexpr DWORD TRACE_LEVEL_APP = 1;      // Enter/Exit of the application's own functions
constexpr DWORD TRACE_LEVEL_UTILITY = 2;  // Enter/Exit of the utility classes, argument checks

class CLog {
public:
    CLog() noexcept;
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Configures the instance from HKEY_LOCAL_MACHINE\<keyPath>; keyPath may be null.
    // Returns ERROR_SUCCESS, or the error that left the instance uninitialised.
    DWORD Init(const wchar_t* keyPath) noexcept;
    void Trace(DWORD level, const wchar_t* functionName, int line, const wchar_t* format, ...) noexcept;
    void TraceV(DWORD level, const wchar_t* functionName, int line, const wchar_t* format,
                va_list args) noexcept;
    bool IsInitialised() const noexcept { return m_initialised != 0; }
    // The path of the trace file as it is built for every line.
    DWORD BuildFilePath(wchar_t* path, size_t cchPath) const noexcept;

    // The configuration Init read (construction values before that).
    DWORD Form() const noexcept { return m_form; }
    DWORD Level() const noexcept { return m_level; }
    DWORD DebuggerOutput() const noexcept { return m_debuggerOutput; }
    const wchar_t* FileName() const noexcept { return m_fileName; }
    DWORD MutexTimeoutMs() const noexcept { return m_mutexTimeoutMs; }
    DWORD FileFlags() const noexcept { return m_fileFlags; }

    // Name of the log mutex of a key path: "Global\clog_mutex_name_<keyPath>" (or
    // "Global\clog_mutex_name" without one) with every '\' and '.' after "Global\" made '$'.
    static DWORD BuildMutexName(const wchar_t* keyPath, wchar_t* name, size_t cchName) noexcept;
    // True when a configured trace file name stays inside the common application-data folder:
    // not empty, no "..", no leading '\' or '/', no drive or stream colon.
    static bool IsAcceptedFileName(const wchar_t* fileName) noexcept;
    // True for a name with a leading '\' or '/' (also UNC) or a drive letter and colon. Put behind
    // the folder it names no file; such a configured name writes nothing.
    static bool IsAbsoluteFileName(const wchar_t* fileName) noexcept;

private:
    void WriteLine(const wchar_t* text) noexcept;

    DWORD m_initialised;
    DWORD m_form;
    DWORD m_level;
    DWORD m_debuggerOutput;
    wchar_t m_fileName[MAX_PATH];
    common::UniqueHandle m_mutex;
    DWORD m_mutexTimeoutMs;
    DWORD m_fileFlags;
    DWORD m_fileNameAbsolute;  // the configured name is absolute: BuildFilePath fails
};

// Security descriptor of a new trace file: a DACL (ACL_REVISION) of three access-allowed ACEs,
// each GENERIC_READ | GENERIC_WRITE with CONTAINER_INHERIT_ACE, for LocalSystem,
// BUILTIN\Administrators and BUILTIN\Users in that order.
class CLogFileSecurity {
public:
    static constexpr DWORD kSidCount = 3;
    // The ACL header plus, per ACE, an ACCESS_ALLOWED_ACE without its SidStart field.
    static constexpr DWORD kAclFixedBytes =
        sizeof(ACL) + kSidCount * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));

    CLogFileSecurity() noexcept;
    CLogFileSecurity(const CLogFileSecurity&) = delete;
    CLogFileSecurity& operator=(const CLogFileSecurity&) = delete;

    bool Valid() const noexcept { return m_ok; }
    // Null (default security) when the descriptor could not be built.
    SECURITY_ATTRIBUTES* Attributes() noexcept { return m_ok ? &m_attributes : nullptr; }
    PSECURITY_DESCRIPTOR Descriptor() noexcept { return m_ok ? &m_descriptor : nullptr; }

private:
    bool Build() noexcept;

    bool m_ok;
    SECURITY_ATTRIBUTES m_attributes;
    SECURITY_DESCRIPTOR m_descriptor;
    alignas(DWORD) BYTE m_sids[kSidCount][SECURITY_MAX_SID_SIZE];
    alignas(DWORD) BYTE m_acl[kAclFixedBytes + kSidCount * SECURITY_MAX_SID_SIZE];
};

// The module's one trace log (each program and the link library link their own copy).
extern CLog g_Log;

// Traces through the module's log with the caller's function name and line.
#define LOG_TRACE(level, func, ...) g_Log.Trace((level), (func), __LINE__, __VA_ARGS__)

// Error log: ".\error.log" in the current directory, one line per failed call the program survives.
constexpr DWORD ERRLOG_FILE = 0x1;     // append the record to the error log
constexpr DWORD ERRLOG_MSGBOX = 0x2;   // show it in a message box

// Both logs stay bounded: a file that would grow past this size is renamed to "<name>.old"
// (replacing an earlier one) and started anew.
constexpr ULONGLONG kLogRotateBytes = 1024 * 1024;
// The same error-log record (message id and value) is written to the file at most once within
// this time; a new file (the first, or one removed or rotated since) shows each record again.
constexpr ULONGLONG kErrorLogRepeatMs = 60 * 1000;

// Where the error log takes its message texts (string table; the module of common::LoadText) and
// the message-box caption from.
void SetErrorLogModule(HINSTANCE instance) noexcept;
void SetErrorLogCaption(const wchar_t* caption) noexcept;
// Millisecond clock of the repeat rule (GetTickCount64; tests may install another; null restores).
using ErrorLogClockFn = ULONGLONG(WINAPI*)();
void SetErrorLogClock(ErrorLogClockFn clock) noexcept;

int WriteErrorLog(UINT stringId, ULONGLONG value, DWORD flags) noexcept;
int WriteErrorLogGuid(UINT stringId, const GUID& guid, DWORD flags) noexcept;
