// Placeholder bodies so that the build links; the trace-log work replaces this file.
#include "common/log.h"

CLog g_Log;

CLog::CLog() noexcept
    : m_initialised(0), m_form(1), m_level(1), m_debuggerOutput(0), m_fileName{}, m_mutex(nullptr),
      m_mutexTimeoutMs(0), m_fileFlags(FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_WRITE_THROUGH) {}
CLog::~CLog() = default;
DWORD CLog::Init(const wchar_t*) noexcept { return ERROR_CALL_NOT_IMPLEMENTED; }
void CLog::Trace(DWORD, const wchar_t*, int, const wchar_t*, ...) noexcept {}
void CLog::TraceV(DWORD, const wchar_t*, int, const wchar_t*, va_list) noexcept {}
DWORD CLog::BuildFilePath(wchar_t*, size_t) const noexcept { return ERROR_CALL_NOT_IMPLEMENTED; }
void CLog::WriteLine(const wchar_t*) noexcept {}
void SetErrorLogModule(HINSTANCE) noexcept {}
void SetErrorLogCaption(const wchar_t*) noexcept {}
int WriteErrorLog(UINT, ULONGLONG, DWORD) noexcept { return 0; }
int WriteErrorLogGuid(UINT, const GUID&, DWORD) noexcept { return 0; }
