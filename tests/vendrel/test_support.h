// Helpers shared by the installer helper's tests: scratch files and keys that clean up.
#pragma once

#include <windows.h>

#include <string>

namespace vendrel_test {

// A folder under %TEMP% removed (with its files) at destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return m_path; }  // ends with "\"
    std::wstring File(const std::wstring& name) const { return m_path + name; }

private:
    std::wstring m_path;
};

// Writes text as UTF-16LE with a byte-order mark (the form the profile API reads Unicode in).
bool WriteUnicodeFile(const std::wstring& path, const std::wstring& text);
bool WriteBytesFile(const std::wstring& path, const std::string& bytes);
bool CopyOneFile(const std::wstring& from, const std::wstring& to);
// Folder of the running test executable, ending with "\".
std::wstring OwnFolder();

// A key under HKLM\Software\VendrelTests\<unique> deleted with its tree at destruction.
class ScratchKey {
public:
    ScratchKey();
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// Runs a program with arguments, waits up to timeoutMs, returns its exit code (or -1).
DWORD RunProgram(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs);

std::wstring GuidText(const GUID& guid);  // lower case, without braces

}  // namespace vendrel_test
