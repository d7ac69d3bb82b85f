// Helpers of the start-up tests: registry values restored on scope exit, paths, trace file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace testsupport {

// Remembers a registry value (or its absence) and puts it back; keys it had to create are removed
// again when they are empty.
class ScopedRegValue {
public:
    ScopedRegValue(HKEY root, const wchar_t* subKey, const wchar_t* name);
    ~ScopedRegValue();
    ScopedRegValue(const ScopedRegValue&) = delete;
    ScopedRegValue& operator=(const ScopedRegValue&) = delete;

    LSTATUS SetDword(DWORD value);
    LSTATUS SetString(const wchar_t* value);
    LSTATUS SetRaw(DWORD type, const void* data, DWORD size);
    LSTATUS Delete();

private:
    HKEY m_root;
    std::wstring m_subKey;
    std::wstring m_name;
    bool m_keyExisted = false;
    std::vector<std::wstring> m_missingKeys;  // the key and its ancestors that did not exist, deepest first
    bool m_valueExisted = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// Deletes the key when it is empty and did not exist before this object was made.
void DeleteKeyIfEmpty(HKEY root, const wchar_t* subKey);

// Folder of the running test executable (build/bin), with a trailing backslash.
std::wstring ExeFolder();
// Solvane.exe beside the test.
std::wstring SolvanePath();
// The common application-data folder (where the trace log goes).
std::wstring CommonAppDataFolder();

// A folder under %TEMP% removed with its files at scope exit.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

}  // namespace testsupport
