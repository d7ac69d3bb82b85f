// Trace log: one line per call, appended to a UTF-16LE file under the common application-data
// folder and serialised across threads and processes by a global mutex.
#include "common/log.h"

#include <shlobj.h>
#include <strsafe.h>

#include <cwchar>

#include "common/handles.h"
#include "common/registry.h"

CLog g_Log;

namespace {

constexpr wchar_t kDefaultFileName[] = L"default.log";
constexpr wchar_t kMutexBaseName[] = L"clog_mutex_name";
constexpr wchar_t kMutexPrefix[] = L"Global\\";
constexpr size_t kMutexPrefixCch = ARRAYSIZE(kMutexPrefix) - 1;
constexpr size_t kMutexBaseCch = MAX_PATH;
constexpr DWORD kMutexTimeoutMs = 3000;

constexpr DWORD kFormShort = 1;
constexpr DWORD kFormLong = 2;
constexpr DWORD kDefaultForm = 1;
constexpr DWORD kDefaultLevel = 1;
constexpr DWORD kDefaultFileFlags = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_WRITE_THROUGH;

constexpr size_t kMessageCch = 1024;  // 1023 characters and the terminator
constexpr size_t kStampCch = 128;
constexpr size_t kTextCch = 1024;
constexpr size_t kLineCch = 1024;

constexpr BYTE kByteOrderMark[] = {0xFF, 0xFE};
constexpr DWORD kFileAceAccess = GENERIC_READ | GENERIC_WRITE;

bool IsSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

// True when text holds a path component that is exactly "..".
bool HasParentComponent(const wchar_t* text) noexcept {
    const wchar_t* start = text;
    for (const wchar_t* p = text;; ++p) {
        if (*p == L'\0' || IsSeparator(*p)) {
            if (p - start == 2 && start[0] == L'.' && start[1] == L'.') {
                return true;
            }
            if (*p == L'\0') {
                return false;
            }
            start = p + 1;
        }
    }
}

// True when text leaves its folder through "..": a "..\" or "../" anywhere, or a ".." component.
bool NamesParentFolder(const wchar_t* text) noexcept {
    return ::wcsstr(text, L"..\\") != nullptr || ::wcsstr(text, L"../") != nullptr || HasParentComponent(text);
}

common::UniqueFile OpenTraceFile(const wchar_t* path, DWORD fileFlags) noexcept {
    CLogFileSecurity security;
    return common::UniqueFile(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0,
                                            security.Attributes(), OPEN_ALWAYS, fileFlags, nullptr));
}

void AppendToFile(const wchar_t* path, const wchar_t* line, DWORD fileFlags) noexcept {
    common::UniqueFile file = OpenTraceFile(path, fileFlags);
    if (!file) {
        return;
    }
    const DWORD cb = static_cast<DWORD>(::lstrlenW(line) * sizeof(wchar_t));
    LARGE_INTEGER end = {};
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(file.Get(), zero, &end, FILE_END)) {
        return;
    }
    if (static_cast<ULONGLONG>(end.QuadPart) + cb > kLogRotateBytes) {
        // A full file becomes "<name>.old" and the line starts a new one.
        wchar_t oldPath[MAX_PATH];
        file.Reset();
        if (SUCCEEDED(::StringCchPrintfW(oldPath, ARRAYSIZE(oldPath), L"%s.old", path))) {
            ::MoveFileExW(path, oldPath, MOVEFILE_REPLACE_EXISTING);
        }
        file = OpenTraceFile(path, fileFlags);
        if (!file || !::SetFilePointerEx(file.Get(), zero, &end, FILE_END)) {
            return;
        }
    }
    DWORD written = 0;
    if (end.QuadPart == 0 &&
        !::WriteFile(file.Get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr)) {
        return;
    }
    ::WriteFile(file.Get(), line, cb, &written, nullptr);
}

}  // namespace

CLogFileSecurity::CLogFileSecurity() noexcept
    : m_ok(false), m_attributes{}, m_descriptor{}, m_sids{}, m_acl{} {
    m_ok = Build();
}

bool CLogFileSecurity::Build() noexcept {
    const WELL_KNOWN_SID_TYPE types[kSidCount] = {WinLocalSystemSid, WinBuiltinAdministratorsSid,
                                                  WinBuiltinUsersSid};
    DWORD aclBytes = kAclFixedBytes;
    for (DWORD i = 0; i < kSidCount; ++i) {
        DWORD cb = sizeof(m_sids[i]);
        if (!::CreateWellKnownSid(types[i], nullptr, m_sids[i], &cb)) {
            return false;
        }
        aclBytes += ::GetLengthSid(m_sids[i]);
    }
    PACL acl = reinterpret_cast<PACL>(m_acl);
    if (aclBytes > sizeof(m_acl) || !::InitializeAcl(acl, aclBytes, ACL_REVISION)) {
        return false;
    }
    for (DWORD i = 0; i < kSidCount; ++i) {
        if (!::AddAccessAllowedAceEx(acl, ACL_REVISION, CONTAINER_INHERIT_ACE, kFileAceAccess,
                                     m_sids[i])) {
            return false;
        }
    }
    if (!::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE)) {
        return false;
    }
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
    return true;
}

CLog::CLog() noexcept
    : m_initialised(0), m_form(kDefaultForm), m_level(kDefaultLevel), m_debuggerOutput(0),
      m_fileName{}, m_mutex(), m_mutexTimeoutMs(0), m_fileFlags(kDefaultFileFlags), m_fileNameAbsolute(0) {}

CLog::~CLog() {
    m_mutex.Reset();
    m_mutexTimeoutMs = INFINITE;
    m_initialised = 0;
}

bool CLog::IsAcceptedFileName(const wchar_t* fileName) noexcept {
    if (fileName == nullptr || fileName[0] == L'\0' || IsAbsoluteFileName(fileName)) {
        return false;  // empty, absolute ("\x", "/x", "C:"), UNC ("\\server")
    }
    if (::wcschr(fileName, L':') != nullptr) {
        return false;  // alternate stream
    }
    return !NamesParentFolder(fileName);
}

bool CLog::IsAbsoluteFileName(const wchar_t* fileName) noexcept {
    if (fileName == nullptr || fileName[0] == L'\0') {
        return false;
    }
    if (IsSeparator(fileName[0])) {
        return true;  // "\x", "/x", "\\server\share", "\\?\C:"
    }
    const wchar_t drive = fileName[0];
    return ((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) && fileName[1] == L':';
}

DWORD CLog::BuildMutexName(const wchar_t* keyPath, wchar_t* name, size_t cchName) noexcept {
    if (name == nullptr || cchName == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    name[0] = L'\0';
    wchar_t base[kMutexBaseCch];
    HRESULT hr = (keyPath != nullptr)
                     ? ::StringCchPrintfW(base, ARRAYSIZE(base), L"%s_%s", kMutexBaseName, keyPath)
                     : ::StringCchCopyW(base, ARRAYSIZE(base), kMutexBaseName);
    if (SUCCEEDED(hr)) {
        hr = ::StringCchPrintfW(name, cchName, L"%s%s", kMutexPrefix, base);
    }
    if (FAILED(hr)) {
        name[0] = L'\0';
        return ERROR_INVALID_PARAMETER;
    }
    for (wchar_t* p = name + kMutexPrefixCch; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'.') {
            *p = L'$';
        }
    }
    return ERROR_SUCCESS;
}

DWORD CLog::Init(const wchar_t* keyPath) noexcept {
    if (m_initialised != 0) {
        return ERROR_SUCCESS;
    }
    ::StringCchCopyW(m_fileName, ARRAYSIZE(m_fileName), kDefaultFileName);
    if (keyPath != nullptr) {
        m_form = 0;
        m_level = 0;
        m_debuggerOutput = 0;
        common::UniqueRegKey key;
        if (common::OpenRegKey(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE, key) == ERROR_SUCCESS) {
            // A missing, mistyped or overlong name keeps "default.log".
            common::ReadRegString(key.Get(), L"filename", m_fileName, ARRAYSIZE(m_fileName));
            common::QueryRegDword(key.Get(), L"logform", &m_form);
            common::QueryRegDword(key.Get(), L"loglevel", &m_level);
            common::QueryRegDword(key.Get(), L"dbgport", &m_debuggerOutput);
        }
    }
    // A name that climbs out of the folder writes to "default.log" in it; an absolute name would
    // follow the folder and so names no file: nothing is written.
    m_fileNameAbsolute = 0;
    if (!IsAcceptedFileName(m_fileName)) {
        if (IsAbsoluteFileName(m_fileName) && !NamesParentFolder(m_fileName)) {
            m_fileNameAbsolute = 1;
        } else {
            ::StringCchCopyW(m_fileName, ARRAYSIZE(m_fileName), kDefaultFileName);
        }
    }

    wchar_t name[kMutexPrefixCch + kMutexBaseCch];
    if (BuildMutexName(keyPath, name, ARRAYSIZE(name)) != ERROR_SUCCESS) {
        return ERROR_INVALID_PARAMETER;
    }
    // A null DACL: every process of every user may share the lock.
    SECURITY_DESCRIPTOR descriptor;
    if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
        return ::GetLastError();
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
    HANDLE mutex = ::CreateMutexW(&attributes, FALSE, name);
    if (mutex == nullptr) {
        // Taking the lock also needs the right to give it back.
        mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    }
    if (mutex == nullptr) {
        return ::GetLastError();
    }
    m_mutex.Reset(mutex);
    m_mutexTimeoutMs = kMutexTimeoutMs;
    m_initialised = 1;
    return ERROR_SUCCESS;
}

void CLog::Trace(DWORD level, const wchar_t* functionName, int line, const wchar_t* format,
                 ...) noexcept {
    va_list args;
    va_start(args, format);
    TraceV(level, functionName, line, format, args);
    va_end(args);
}

void CLog::TraceV(DWORD level, const wchar_t* functionName, int line, const wchar_t* format,
                  va_list args) noexcept {
    if (m_initialised == 0 || level > m_level || functionName == nullptr || format == nullptr) {
        return;
    }
    if (m_form != kFormShort && m_form != kFormLong) {
        return;
    }
    wchar_t message[kMessageCch];
    // An overlong message is cut; StringCchVPrintfW leaves the cut text terminated.
    ::StringCchVPrintfW(message, ARRAYSIZE(message), format, args);

    wchar_t text[kTextCch];
    if (m_form == kFormShort) {
        ::StringCchPrintfW(text, ARRAYSIZE(text), L" %s", message);
    } else {
        ::StringCchPrintfW(text, ARRAYSIZE(text), L"[%08X][%08X][%s][%d] %s",
                           ::GetCurrentProcessId(), ::GetCurrentThreadId(), functionName, line,
                           message);
    }
    WriteLine(text);
}

DWORD CLog::BuildFilePath(wchar_t* path, size_t cchPath) const noexcept {
    if (path == nullptr || cchPath == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (m_fileNameAbsolute != 0) {
        path[0] = L'\0';
        return ERROR_BAD_PATHNAME;
    }
    wchar_t folder[MAX_PATH];
    HRESULT hr;
    if (::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE)) {
        hr = ::StringCchPrintfW(path, cchPath, L"%s\\%s", folder, m_fileName);
    } else {
        hr = ::StringCchPrintfW(path, cchPath, L".\\%s", m_fileName);
    }
    if (FAILED(hr)) {
        path[0] = L'\0';  // never write to a cut path: it names another file
        return ERROR_INSUFFICIENT_BUFFER;
    }
    return ERROR_SUCCESS;
}

void CLog::WriteLine(const wchar_t* text) noexcept {
    wchar_t path[MAX_PATH];
    const bool havePath = BuildFilePath(path, ARRAYSIZE(path)) == ERROR_SUCCESS;

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t stamp[kStampCch];
    ::StringCchPrintfW(stamp, ARRAYSIZE(stamp), L"[%d/%02d/%02d %02d:%02d:%02d.%03d]", now.wYear,
                       now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                       now.wMilliseconds);
    // An overlong line is cut at 1023 characters and so loses its line break.
    wchar_t line[kLineCch];
    ::StringCchPrintfW(line, ARRAYSIZE(line), L"%s%s\r\n", stamp, text);

    if (m_debuggerOutput != 0) {
        ::OutputDebugStringW(line);
    }
    // Bounded wait; after a time-out the line is written without the lock (and not released).
    common::MutexLock lock(m_mutex.Get(), m_mutexTimeoutMs);
    if (havePath) {
        AppendToFile(path, line, m_fileFlags);
    }
}
