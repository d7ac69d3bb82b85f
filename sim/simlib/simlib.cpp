// simlib: registry access, call logs and scripted failures of the simulated PC's stand-ins.
#include "sim/simlib/simlib.h"

#include <strsafe.h>

#include <cstdarg>

namespace simlib {
namespace {

constexpr wchar_t LOG_VALUE[] = L"CallLog";
constexpr wchar_t COUNT_VALUE[] = L"CallCount";
constexpr wchar_t FAILURES_SUBKEY[] = L"Failures";
constexpr size_t LOG_LINE_CHARS = 1024;

LONG OpenForRead(const std::wstring& keyPath, common::UniqueRegKey& key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.Put());
}

LONG OpenForWrite(const std::wstring& keyPath, common::UniqueRegKey& key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
}

LONG QueryRaw(const std::wstring& keyPath, const wchar_t* name, DWORD expectedType, std::vector<BYTE>& data) {
    common::UniqueRegKey key;
    LONG rc = OpenForRead(keyPath, key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    DWORD type = 0;
    DWORD size = 0;
    rc = RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (type != expectedType) {
        return ERROR_DATATYPE_MISMATCH;
    }
    data.assign(size + 2 * sizeof(wchar_t), 0);  // room for terminators a writer left out
    rc = RegQueryValueExW(key.Get(), name, nullptr, &type, data.data(), &size);
    if (rc == ERROR_SUCCESS) {
        data.resize(size);
    }
    return rc;
}

LONG SetRaw(const std::wstring& keyPath, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    common::UniqueRegKey key;
    LONG rc = OpenForWrite(keyPath, key);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    return RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

std::wstring MutexName(const wchar_t* piece) { return std::wstring(L"SimulatedPC.") + piece; }

}  // namespace

std::wstring PieceKey(const wchar_t* piece, const wchar_t* sub) {
    std::wstring path = ROOT_KEY;
    path += L'\\';
    path += piece;
    if (sub != nullptr && *sub != L'\0') {
        path += L'\\';
        path += sub;
    }
    return path;
}

LONG ReadDword(const std::wstring& keyPath, const wchar_t* name, DWORD& value) {
    std::vector<BYTE> data;
    LONG rc = QueryRaw(keyPath, name, REG_DWORD, data);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (data.size() != sizeof(DWORD)) {
        return ERROR_INVALID_DATA;
    }
    memcpy(&value, data.data(), sizeof(DWORD));
    return ERROR_SUCCESS;
}

LONG WriteDword(const std::wstring& keyPath, const wchar_t* name, DWORD value) {
    return SetRaw(keyPath, name, REG_DWORD, &value, sizeof(value));
}

DWORD DwordOr(const std::wstring& keyPath, const wchar_t* name, DWORD fallback) {
    DWORD value = 0;
    return ReadDword(keyPath, name, value) == ERROR_SUCCESS ? value : fallback;
}

LONG ReadString(const std::wstring& keyPath, const wchar_t* name, std::wstring& value) {
    std::vector<BYTE> data;
    LONG rc = QueryRaw(keyPath, name, REG_SZ, data);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    value.assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') {
        value.pop_back();
    }
    return ERROR_SUCCESS;
}

LONG WriteString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
    return SetRaw(keyPath, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG ReadBinary(const std::wstring& keyPath, const wchar_t* name, std::vector<BYTE>& value) {
    return QueryRaw(keyPath, name, REG_BINARY, value);
}

LONG WriteBinary(const std::wstring& keyPath, const wchar_t* name, const void* data, DWORD size) {
    return SetRaw(keyPath, name, REG_BINARY, data, size);
}

LONG ReadMultiString(const std::wstring& keyPath, const wchar_t* name, std::vector<std::wstring>& lines) {
    lines.clear();
    std::vector<BYTE> data;
    LONG rc = QueryRaw(keyPath, name, REG_MULTI_SZ, data);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    const wchar_t* p = reinterpret_cast<const wchar_t*>(data.data());
    const wchar_t* end = p + data.size() / sizeof(wchar_t);
    while (p < end && *p != L'\0') {
        const wchar_t* start = p;
        while (p < end && *p != L'\0') {
            ++p;
        }
        lines.emplace_back(start, p);
        ++p;
    }
    return ERROR_SUCCESS;
}

LONG WriteMultiString(const std::wstring& keyPath, const wchar_t* name, const std::vector<std::wstring>& lines) {
    std::wstring block;
    for (const std::wstring& line : lines) {
        if (line.empty()) {
            continue;  // an empty string would end the list early
        }
        block += line;
        block += L'\0';
    }
    block += L'\0';
    if (lines.empty()) {
        block += L'\0';
    }
    return SetRaw(keyPath, name, REG_MULTI_SZ, block.c_str(), static_cast<DWORD>(block.size() * sizeof(wchar_t)));
}

LONG DeleteTree(const std::wstring& keyPath) {
    LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, keyPath.c_str());
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str());
    }
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

PieceLock::PieceLock(const wchar_t* piece)
    : m_mutex(CreateMutexW(nullptr, FALSE, MutexName(piece).c_str())), m_owned(false) {
    if (m_mutex) {
        DWORD wait = WaitForSingleObject(m_mutex.Get(), MUTEX_WAIT_MS);
        m_owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
}

PieceLock::~PieceLock() {
    if (m_owned) {
        ReleaseMutex(m_mutex.Get());
    }
}

void AppendLog(const wchar_t* piece, const std::wstring& line) {
    PieceLock lock(piece);
    std::wstring key = PieceKey(piece);
    std::vector<std::wstring> lines;
    ReadMultiString(key, LOG_VALUE, lines);
    lines.push_back(line);
    if (lines.size() > LOG_MAX_LINES) {
        lines.erase(lines.begin(), lines.begin() + static_cast<ptrdiff_t>(lines.size() - LOG_MAX_LINES));
    }
    WriteMultiString(key, LOG_VALUE, lines);
    WriteDword(key, COUNT_VALUE, DwordOr(key, COUNT_VALUE, 0) + 1);
}

void LogCall(const wchar_t* piece, const wchar_t* format, ...) {
    wchar_t line[LOG_LINE_CHARS] = {};
    va_list args;
    va_start(args, format);
    // A line cut short is still worth logging; the truncation result is not an error here.
    StringCchVPrintfW(line, ARRAYSIZE(line), format, args);
    va_end(args);
    AppendLog(piece, line);
}

std::vector<std::wstring> ReadLog(const wchar_t* piece) {
    std::vector<std::wstring> lines;
    ReadMultiString(PieceKey(piece), LOG_VALUE, lines);
    return lines;
}

void ClearLog(const wchar_t* piece) {
    PieceLock lock(piece);
    common::UniqueRegKey key;
    if (OpenForWrite(PieceKey(piece), key) == ERROR_SUCCESS) {
        RegDeleteValueW(key.Get(), LOG_VALUE);
        RegDeleteValueW(key.Get(), COUNT_VALUE);
    }
}

bool TakeScriptedFailure(const wchar_t* piece, const wchar_t* function, DWORD& error) {
    std::wstring key = PieceKey(piece, FAILURES_SUBKEY) + L"\\" + function;
    PieceLock lock(piece);
    DWORD count = 0;
    if (ReadDword(key, L"Count", count) != ERROR_SUCCESS || count == 0) {
        return false;
    }
    error = DwordOr(key, L"Error", ERROR_GEN_FAILURE);
    if (count != FAIL_FOREVER) {
        if (count == 1) {
            DeleteTree(key);
        } else {
            WriteDword(key, L"Count", count - 1);
        }
    }
    return true;
}

LONG ScriptFailure(const wchar_t* piece, const wchar_t* function, DWORD count, DWORD error) {
    std::wstring key = PieceKey(piece, FAILURES_SUBKEY) + L"\\" + function;
    PieceLock lock(piece);
    if (count == 0) {
        return DeleteTree(key);
    }
    LONG rc = WriteDword(key, L"Count", count);
    if (rc == ERROR_SUCCESS) {
        rc = WriteDword(key, L"Error", error);
    }
    return rc;
}

std::wstring Hex(DWORD value) {
    wchar_t text[16] = {};
    StringCchPrintfW(text, ARRAYSIZE(text), L"0x%08X", value);
    return text;
}

}  // namespace simlib
