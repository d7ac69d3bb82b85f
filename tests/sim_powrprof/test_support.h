// Helpers of the powrprof stand-in tests: scratch registry state, names, files.
#pragma once

#include <windows.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace simpower_test {

// Moves a registry key under HKLM aside for the life of the object and puts it back afterwards
// (whatever the test left there is removed).
class KeyStash {
public:
    explicit KeyStash(const wchar_t* path);
    ~KeyStash();
    KeyStash(const KeyStash&) = delete;
    KeyStash& operator=(const KeyStash&) = delete;

private:
    std::wstring m_path;
    std::wstring m_backup;
    bool m_had;
};

// Every test starts with an absent Power key, so the stand-in builds a fresh configuration.
class FreshPowerStore : public ::testing::Test {
protected:
    FreshPowerStore();

private:
    KeyStash m_power;
};

std::wstring GuidText(const GUID& guid);
std::vector<GUID> EnumeratePlans();
// PowerReadFriendlyName / PowerReadDescription as a string; rc receives the API's result.
std::wstring ReadName(const GUID* plan, const GUID* subgroup, const GUID* setting, DWORD& rc);
std::wstring ReadDescription(const GUID* plan, DWORD& rc);
DWORD WriteName(const GUID& plan, const std::wstring& name);
bool UiIsJapanese();

DWORD ReadDword(const wchar_t* path, const wchar_t* name, DWORD fallback);
void WriteDword(const wchar_t* path, const wchar_t* name, DWORD value);

// A file in the temporary folder, removed by the destructor.
class TempFile {
public:
    explicit TempFile(const wchar_t* stem);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const wchar_t* Path() const { return m_path.c_str(); }
    void WriteBytes(const std::vector<BYTE>& bytes) const;
    // UTF-16LE with a byte-order mark.
    void WriteUtf16(const std::wstring& text) const;

private:
    std::wstring m_path;
};

}  // namespace simpower_test
