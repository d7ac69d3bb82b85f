// simlib: the registry side every stand-in of the simulated PC shares.
//
// State of a piece lives under HKLM\Software\SimulatedPC\<Piece>. Two records are common to all:
//   "CallLog"   REG_MULTI_SZ  one line per call, oldest first, at most LOG_MAX_LINES lines:
//                             "<Function>(<arguments>) = <result>" — the result is what the call
//                             returned (and " error 0x%08X" when it failed with a last error)
//   "CallCount" REG_DWORD     calls logged since the log was last cleared
//   Failures\<Function>       scripted failures: "Count" REG_DWORD = how many of the next calls
//                             fail (0xFFFFFFFF: every call), "Error" REG_DWORD = the error they
//                             fail with. Each failing call takes one from "Count"; the key is
//                             deleted when the count runs out.
// A named mutex per piece ("SimulatedPC.<Piece>") keeps processes from losing each other's lines.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace simlib {

constexpr wchar_t ROOT_KEY[] = L"Software\\SimulatedPC";
constexpr DWORD LOG_MAX_LINES = 1000;
constexpr DWORD FAIL_FOREVER = 0xFFFFFFFF;
constexpr DWORD MUTEX_WAIT_MS = 3000;

// "Software\SimulatedPC\<piece>[\<sub>]".
std::wstring PieceKey(const wchar_t* piece, const wchar_t* sub = nullptr);

// Values under HKLM\<keyPath>; results are Win32 error codes (0 = success).
LONG ReadDword(const std::wstring& keyPath, const wchar_t* name, DWORD& value);
LONG WriteDword(const std::wstring& keyPath, const wchar_t* name, DWORD value);
LONG ReadString(const std::wstring& keyPath, const wchar_t* name, std::wstring& value);
LONG WriteString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value);
LONG ReadBinary(const std::wstring& keyPath, const wchar_t* name, std::vector<BYTE>& value);
LONG WriteBinary(const std::wstring& keyPath, const wchar_t* name, const void* data, DWORD size);
LONG ReadMultiString(const std::wstring& keyPath, const wchar_t* name, std::vector<std::wstring>& lines);
LONG WriteMultiString(const std::wstring& keyPath, const wchar_t* name, const std::vector<std::wstring>& lines);
// Reads a DWORD, or gives fallback when it is missing or unreadable.
DWORD DwordOr(const std::wstring& keyPath, const wchar_t* name, DWORD fallback);
LONG DeleteTree(const std::wstring& keyPath);

// Holds the piece's named mutex for the life of the object (waits at most MUTEX_WAIT_MS).
class PieceLock {
public:
    explicit PieceLock(const wchar_t* piece);
    ~PieceLock();
    PieceLock(const PieceLock&) = delete;
    PieceLock& operator=(const PieceLock&) = delete;

private:
    common::UniqueHandle m_mutex;
    bool m_owned;
};

// Appends one line to the piece's call log (drops the oldest lines beyond LOG_MAX_LINES).
void AppendLog(const wchar_t* piece, const std::wstring& line);
// printf-style convenience for AppendLog.
void LogCall(const wchar_t* piece, const wchar_t* format, ...);
std::vector<std::wstring> ReadLog(const wchar_t* piece);
void ClearLog(const wchar_t* piece);

// True when a failure is scripted for the next call of function: error receives its code and
// the count goes down by one.
bool TakeScriptedFailure(const wchar_t* piece, const wchar_t* function, DWORD& error);
// Scripts "the next count calls of function fail with error" (count 0 removes the script).
LONG ScriptFailure(const wchar_t* piece, const wchar_t* function, DWORD count, DWORD error);

// "0x%08X" of a code, for log lines.
std::wstring Hex(DWORD value);

}  // namespace simlib
