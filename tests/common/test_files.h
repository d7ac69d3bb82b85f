// File and time-stamp helpers shared by the log tests.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/handles.h"

namespace testutil {

// Whole file as bytes; false when it cannot be opened.
inline bool ReadFileBytes(const std::wstring& path, std::vector<BYTE>& bytes) {
    bytes.clear();
    common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return false;
    }
    bytes.resize(read);
    return true;
}

// UTF-16LE bytes from offset on as text (an odd trailing byte is dropped).
inline std::wstring Utf16Text(const std::vector<BYTE>& bytes, size_t offset) {
    std::wstring text;
    for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
}

inline std::vector<BYTE> Utf16Bytes(const std::wstring& text) {
    std::vector<BYTE> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
    }
    return bytes;
}

inline ULONGLONG ToTicks(const SYSTEMTIME& st) {
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Checks that stamp is exactly "[Y/MM/DD hh:mm:ss]" (or with ".mmm" when withMillis) and names a
// moment between before and after (both from GetLocalTime; second precision without millis).
inline bool StampWithin(const std::wstring& stamp, const SYSTEMTIME& before, const SYSTEMTIME& after,
                        bool withMillis) {
    SYSTEMTIME st = {};
    int fields = withMillis ? swscanf(stamp.c_str(), L"[%hu/%hu/%hu %hu:%hu:%hu.%hu]", &st.wYear,
                                      &st.wMonth, &st.wDay, &st.wHour, &st.wMinute, &st.wSecond,
                                      &st.wMilliseconds)
                            : swscanf(stamp.c_str(), L"[%hu/%hu/%hu %hu:%hu:%hu]", &st.wYear,
                                      &st.wMonth, &st.wDay, &st.wHour, &st.wMinute, &st.wSecond);
    if (fields != (withMillis ? 7 : 6)) {
        return false;
    }
    wchar_t again[64];
    if (withMillis) {
        swprintf(again, 64, L"[%d/%02d/%02d %02d:%02d:%02d.%03d]", st.wYear, st.wMonth, st.wDay,
                 st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    } else {
        swprintf(again, 64, L"[%d/%02d/%02d %02d:%02d:%02d]", st.wYear, st.wMonth, st.wDay,
                 st.wHour, st.wMinute, st.wSecond);
    }
    if (stamp != again) {
        return false;
    }
    SYSTEMTIME low = before;
    if (!withMillis) {
        low.wMilliseconds = 0;
    }
    const ULONGLONG t = ToTicks(st);
    return t >= ToTicks(low) && t <= ToTicks(after);
}

// Removes root\path when it holds neither subkeys nor values (a parent a test may have created).
inline void RemoveKeyIfEmpty(HKEY root, const wchar_t* path) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 1;
    DWORD values = 1;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0) {
        key.Reset();
        RegDeleteKeyW(root, path);
    }
}

}  // namespace testutil
