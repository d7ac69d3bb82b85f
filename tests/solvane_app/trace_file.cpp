#include "trace_file.h"

#include "common/handles.h"
#include "common/log.h"

namespace testsupport {

namespace {

constexpr wchar_t kTraceKey[] = L"Software\\Orvel\\Solvane\\DbgLog";
constexpr DWORD kLogMutexWaitMs = 3000;
constexpr wchar_t kTraceFileName[] = L"solvane_app_test.log";
constexpr DWORD kLongLines = 2;
constexpr DWORD kPollMs = 50;
constexpr wchar_t kProbeText[] = L"solvane_app_tests probe";

// "[stamp][PID][TID][function][line] message"
bool ParseLine(const std::wstring& line, TraceLine* out) {
    size_t pos = line.find(L"][");
    if (pos == std::wstring::npos) {
        return false;
    }
    pos += 2;
    size_t pidEnd = line.find(L']', pos);
    if (pidEnd == std::wstring::npos || pidEnd - pos != 8) {
        return false;
    }
    out->pid = wcstoul(line.substr(pos, 8).c_str(), nullptr, 16);
    size_t functionStart = line.find(L"][", pidEnd + 1);  // after the thread id
    if (functionStart == std::wstring::npos) {
        return false;
    }
    functionStart += 2;
    size_t functionEnd = line.find(L"][", functionStart);
    if (functionEnd == std::wstring::npos) {
        return false;
    }
    out->function = line.substr(functionStart, functionEnd - functionStart);
    size_t messageStart = line.find(L"] ", functionEnd + 2);
    if (messageStart == std::wstring::npos) {
        return false;
    }
    out->message = line.substr(messageStart + 2);
    return true;
}

}  // namespace

TraceFile::TraceFile() : m_path(CommonAppDataFolder() + L"\\" + kTraceFileName) {
    DeleteFileW(m_path.c_str());
    m_form = std::make_unique<ScopedRegValue>(HKEY_LOCAL_MACHINE, kTraceKey, L"logform");
    m_level = std::make_unique<ScopedRegValue>(HKEY_LOCAL_MACHINE, kTraceKey, L"loglevel");
    m_name = std::make_unique<ScopedRegValue>(HKEY_LOCAL_MACHINE, kTraceKey, L"filename");
    m_form->SetDword(kLongLines);
    m_level->SetDword(TRACE_LEVEL_APP);
    m_name->SetString(kTraceFileName);
    CLog probe;
    if (probe.Init(kTraceKey) == ERROR_SUCCESS) {
        probe.Trace(TRACE_LEVEL_VALUES, L"TraceFile", __LINE__, L"%s", kProbeText);
        m_available = Find(LinesOf(GetCurrentProcessId()), kProbeText) >= 0;
    }
}

TraceFile::~TraceFile() {
    m_name.reset();
    m_level.reset();
    m_form.reset();
    SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(m_path.c_str());
}

std::wstring TraceFile::ReadAll() const {
    // The writers open the file exclusively for each line and lose the line when that open
    // fails: read under the log's own global mutex so that no writer meets the reader's handle.
    wchar_t mutexName[MAX_PATH] = {};
    common::UniqueHandle logMutex;
    if (CLog::BuildMutexName(kTraceKey, mutexName, ARRAYSIZE(mutexName)) == ERROR_SUCCESS) {
        logMutex.Reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, mutexName));
    }
    common::MutexLock lock(logMutex.Get(), kLogMutexWaitMs);
    for (int attempt = 0; attempt < 40; ++attempt) {
        common::UniqueFile file(CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND) {
                return {};
            }
            Sleep(kPollMs);
            continue;
        }
        LARGE_INTEGER size = {};
        GetFileSizeEx(file.Get(), &size);
        std::wstring text(static_cast<size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
        DWORD read = 0;
        ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
        text.resize(read / sizeof(wchar_t));
        if (!text.empty() && text[0] == 0xFEFF) {
            text.erase(0, 1);
        }
        return text;
    }
    return {};
}

std::vector<TraceLine> TraceFile::LinesOf(DWORD pid) const {
    std::vector<TraceLine> lines;
    std::wstring text = ReadAll();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        TraceLine parsed;
        if (ParseLine(line, &parsed) && parsed.pid == pid) {
            lines.push_back(parsed);
        }
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 2;
    }
    return lines;
}

bool TraceFile::WaitFor(DWORD pid, const std::wstring& text, DWORD timeoutMs) const {
    for (DWORD waited = 0;; waited += kPollMs) {
        if (Find(LinesOf(pid), text) >= 0) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        Sleep(kPollMs);
    }
}

int TraceFile::Find(const std::vector<TraceLine>& lines, const std::wstring& text, int from) {
    for (int i = from < 0 ? 0 : from; i < static_cast<int>(lines.size()); ++i) {
        if (lines[i].message.find(text) != std::wstring::npos) {
            return i;
        }
    }
    return -1;
}

bool TraceFile::AnyFrom(const std::vector<TraceLine>& lines, const std::wstring& function) {
    for (const TraceLine& line : lines) {
        if (line.function == function) {
            return true;
        }
    }
    return false;
}

}  // namespace testsupport
