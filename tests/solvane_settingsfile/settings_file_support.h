// Registry, file and message helpers of the settings-file tests. Every test starts and ends
// without HKLM "Software\Orvel\Solvane" and "Software\Orvel\Morrow".
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sftest {

constexpr const wchar_t* kPowerSettings = L"Software\\Orvel\\Solvane\\PowerSettings";
constexpr const wchar_t* kEfEnv = L"Software\\Orvel\\Solvane\\EFEnv";
constexpr const wchar_t* kMorrow = L"Software\\Orvel\\Morrow";
constexpr DWORD kRecordBytes = 40;

// Plan key names used by the tests (lower case, as the plan keys are named).
constexpr const wchar_t* kPlanA = L"a1b2c3d4-0001-4000-8000-00000000000a";
constexpr const wchar_t* kPlanB = L"a1b2c3d4-0002-4000-8000-00000000000b";
constexpr const wchar_t* kPlanC = L"a1b2c3d4-0003-4000-8000-00000000000c";

LSTATUS SetDword(const std::wstring& path, const wchar_t* name, DWORD value);
LSTATUS SetBinary(const std::wstring& path, const wchar_t* name, const std::vector<BYTE>& data);
// The value's DWORD, or -1 (as long long) when it is missing or of another type.
long long GetDword(const std::wstring& path, const wchar_t* name);
std::vector<BYTE> GetBinary(const std::wstring& path, const wchar_t* name);
// Creates PowerSettings\<plan> with "LedNo" (no value when ledNo < 0).
void AddPlan(const wchar_t* plan, int ledNo);
long long LedNoOf(const wchar_t* plan);
// Every key, value type and byte under HKLM "Software\Orvel", as one comparable text.
std::wstring DumpOrvel();

// A 40-byte record whose bytes are seed, seed + 1, ...
std::vector<BYTE> Record(BYTE seed);
std::string Hex(const std::vector<BYTE>& bytes, bool upper = false);
DWORD MajorVersion();

// The text of a settings file that imports on this machine (plans A, B, C as LedNo1..3).
std::string ValidFileText();
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// A key's text in an INI file, or "<missing>".
std::wstring IniValue(const std::wstring& path, const wchar_t* section, const wchar_t* key);
bool FileExists(const std::wstring& path);

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::wstring File(const wchar_t* name) const { return m_folder + L"\\" + name; }

    std::wstring m_folder;  // an empty folder under %TEMP%, removed afterwards
    static std::vector<UINT> s_messages;
    static BOOL s_isAdministrator;
    static DWORD s_adminError;
};

}  // namespace sftest
