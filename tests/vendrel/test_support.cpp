#include "test_support.h"

#include <rpc.h>
#include <shellapi.h>

#include <atomic>

#include "common/handles.h"

namespace vendrel_test {

namespace {
std::atomic<unsigned> g_counter{0};

std::wstring UniqueName(const wchar_t* prefix) {
    return std::wstring(prefix) + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(g_counter++);
}
}  // namespace

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + UniqueName(L"vendrel_test_") + L"\\";
    CreateDirectoryW(m_path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    WIN32_FIND_DATAW data = {};
    common::UniqueFindFile find(FindFirstFileW((m_path + L"*").c_str(), &data));
    if (find) {
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileW((m_path + data.cFileName).c_str());
            }
        } while (FindNextFileW(find.Get(), &data));
    }
    find.Reset();
    RemoveDirectoryW(m_path.c_str());
}

bool WriteBytesFile(const std::wstring& path, const std::string& bytes) {
    common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool WriteUnicodeFile(const std::wstring& path, const std::wstring& text) {
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return WriteBytesFile(path, bytes);
}

bool CopyOneFile(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

ScratchKey::ScratchKey() : m_path(L"Software\\VendrelTests\\" + UniqueName(L"key_")) {
    common::UniqueRegKey key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    key.Put(), nullptr);
}

ScratchKey::~ScratchKey() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\VendrelTests");  // only when empty
}

DWORD RunProgram(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs) {
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return static_cast<DWORD>(-1);
    }
    common::UniqueHandle process(info.hProcess);
    common::UniqueHandle thread(info.hThread);
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
        return static_cast<DWORD>(-1);
    }
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

std::wstring GuidText(const GUID& guid) {
    RPC_WSTR text = nullptr;
    GUID copy = guid;
    if (UuidToStringW(&copy, &text) != RPC_S_OK) {
        return L"";
    }
    std::wstring result(reinterpret_cast<wchar_t*>(text));
    RpcStringFreeW(&text);
    return result;
}

}  // namespace vendrel_test
