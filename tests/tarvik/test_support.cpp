#include "tests/tarvik/test_support.h"

#include <tlhelp32.h>

#include "common/handles.h"

namespace tarvik_test {
namespace {

template <typename T>
bool Bind(HMODULE module, const char* name, T& fn) {
    fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return fn != nullptr;
}

bool SetValue(const wchar_t* keyPath, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

std::wstring ServicePath(const wchar_t* file) { return std::wstring(kServiceFolder) + L"\\" + file; }

}  // namespace

bool Tarvik::Load() {
    module = LoadLibraryW(LibraryPath().c_str());
    if (module == nullptr) {
        return false;
    }
    bool ok = true;
    ok &= Bind(module, "TarvikGetTimeExceedThreshold", GetTimeExceedThreshold);
    ok &= Bind(module, "TarvikCompareToThreshold", CompareToThreshold);
    ok &= Bind(module, "TarvikGetRegionList", GetRegionList);
    ok &= Bind(module, "TarvikGetSelectedRegion", GetSelectedRegion);
    ok &= Bind(module, "TarvikSetSelectedRegion", SetSelectedRegion);
    ok &= Bind(module, "TarvikStartEngine", StartEngine);
    ok &= Bind(module, "TarvikStopEngine", StopEngine);
    ok &= Bind(module, "TarvikShowDialog", ShowDialog);
    ok &= Bind(module, "TarvikGetUsePeriod", GetUsePeriod);
    ok &= Bind(module, "TarvikSetUsePeriod", SetUsePeriod);
    ok &= Bind(module, "TarvikGetPowerCompany", GetPowerCompany);
    ok &= Bind(module, "TarvikSetPowerCompany", SetPowerCompany);
    ok &= Bind(module, "TarvikGetLv1Time", GetLv1Time);
    ok &= Bind(module, "TarvikSetLv1Time", SetLv1Time);
    ok &= Bind(module, "TarvikGetLv2Time", GetLv2Time);
    ok &= Bind(module, "TarvikSetLv2Time", SetLv2Time);
    ok &= Bind(module, "TarvikGetThreshold", GetThreshold);
    ok &= Bind(module, "TarvikSetThreshold", SetThreshold);
    ok &= Bind(module, "TarvikGetPlanChangeEnable", GetPlanChangeEnable);
    ok &= Bind(module, "TarvikSetPlanChangeEnable", SetPlanChangeEnable);
    ok &= Bind(module, "TarvikGetTimePeriodEnable", GetTimePeriodEnable);
    ok &= Bind(module, "TarvikSetTimePeriodEnable", SetTimePeriodEnable);
    ok &= Bind(module, "TarvikGetTarvikEnable", GetTarvikEnable);
    ok &= Bind(module, "TarvikSetTarvikEnable", SetTarvikEnable);
    ok &= Bind(module, "TarvikGetAgreement", GetAgreement);
    ok &= Bind(module, "TarvikSetAgreement", SetAgreement);
    ok &= Bind(module, "TarvikSetEngineEnable", SetEngineEnable);
    ok &= Bind(module, "TarvikGetSupportType", GetSupportType);
    ok &= Bind(module, "TarvikGetDebugMode", GetDebugMode);
    ok &= Bind(module, "TarvikGetStartHour", GetStartHour);
    ok &= Bind(module, "TarvikGetEndHour", GetEndHour);
    ok &= Bind(module, "TarvikGetUtilization", GetUtilization);
    ok &= Bind(module, "TarvikGetThresholdLv3", GetThresholdLv3);
    return ok;
}

void Tarvik::Unload() {
    if (module != nullptr) {
        common::UniqueModule owned(module);
        module = nullptr;
    }
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring LibraryPath() { return ProgramFolder() + L"\\Tarvik.dll"; }

bool SetDword(const wchar_t* keyPath, const wchar_t* name, DWORD value) {
    return SetValue(keyPath, name, REG_DWORD, &value, sizeof(value));
}

bool SetString(const wchar_t* keyPath, const wchar_t* name, const wchar_t* value) {
    return SetValue(keyPath, name, REG_SZ, value, static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

bool SetBinary(const wchar_t* keyPath, const wchar_t* name, const void* data, DWORD size) {
    return SetValue(keyPath, name, REG_BINARY, data, size);
}

bool CreateKey(const wchar_t* keyPath) {
    common::UniqueRegKey key;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) ==
           ERROR_SUCCESS;
}

bool GetDword(const wchar_t* keyPath, const wchar_t* name, DWORD& value) {
    common::UniqueRegKey key;
    DWORD type = 0;
    DWORD cb = sizeof(value);
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
           RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &cb) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool ValueExists(const wchar_t* keyPath, const wchar_t* name) {
    common::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
           RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool KeyExists(const wchar_t* keyPath) {
    common::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

void DeleteTree(const wchar_t* keyPath) { RegDeleteTreeW(HKEY_LOCAL_MACHINE, keyPath); RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath); }

void DeleteValue(const wchar_t* keyPath, const wchar_t* name) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_WRITE, key.Put()) == ERROR_SUCCESS) {
        RegDeleteValueW(key.Get(), name);
    }
}

bool EnableSite(DWORD region, DWORD supportDataType) {
    return SetSiteValue(region, L"Enable", 1) && SetSiteValue(region, L"SupportDataType", supportDataType);
}

bool SetSiteValue(DWORD region, const wchar_t* name, DWORD value) {
    const std::wstring path = std::wstring(kSiteKey) + L"\\" + std::to_wstring(region);
    return SetDword(path.c_str(), name, value);
}

namespace {

// Deletes a key that holds neither values nor subkeys.
void DeleteIfEmpty(const wchar_t* keyPath) {
    DWORD subkeys = 1;
    DWORD values = 1;
    {
        common::UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Put()) != ERROR_SUCCESS ||
            RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
    }
    if (subkeys == 0 && values == 0) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath);
    }
}

}  // namespace

void CleanRegistry() {
    DeleteTree(kMorrowKey);
    DeleteTree(kSimMorrowKey);
    for (const wchar_t* name : {L"UseDate", L"Lv1Time", L"Lv2Time", L"Threshold", L"ThresholdLv3", L"SelectMode"}) {
        DeleteValue(kEFEnvKey, name);
    }
    // The keys above them only when nothing else lives there.
    for (const wchar_t* path : {kEFEnvKey, L"Software\\Orvel\\Solvane", L"Software\\Orvel", L"Software\\SimulatedPC"}) {
        DeleteIfEmpty(path);
    }
}

bool InstallService() {
    CreateDirectoryW(kServiceFolder, nullptr);
    for (const wchar_t* file : {L"MorrowIF.DLL", L"Morrow.exe"}) {
        const std::wstring from = ProgramFolder() + L"\\" + file;
        if (!CopyFileW(from.c_str(), ServicePath(file).c_str(), FALSE)) {
            return false;
        }
    }
    return true;
}

void RemoveService() {
    EndServiceProcesses();
    DeleteFileW(ServicePath(L"MorrowIF.DLL").c_str());
    DeleteFileW(ServicePath(L"Morrow.exe").c_str());
    RemoveDirectoryW(kServiceFolder);
}

namespace {

template <typename Fn>
void ForEachServiceProcess(Fn fn) {
    common::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, L"Morrow.exe", -1, TRUE) == CSTR_EQUAL) {
            fn(entry.th32ProcessID);
        }
    }
}

}  // namespace

int CountServiceProcesses() {
    int count = 0;
    ForEachServiceProcess([&count](DWORD pid) {
        if (ProcessRuns(pid)) {
            ++count;
        }
    });
    return count;
}

void EndServiceProcesses() {
    ForEachServiceProcess([](DWORD pid) {
        common::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        if (process) {
            TerminateProcess(process.Get(), 0);
            WaitForSingleObject(process.Get(), 5000);
        }
    });
}

bool ProcessRuns(DWORD processId) {
    common::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

LONG EngineCount() {
    common::UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Tarvik_COUNTER"));
    if (!mapping) {
        return -1000;
    }
    const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        return -1000;
    }
    const LONG count = *static_cast<const LONG*>(view);
    UnmapViewOfFile(view);
    return count;
}

ULONGLONG EngineSlot() {
    common::UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Tarvik_HANDLE"));
    if (!mapping) {
        return ~0ULL;
    }
    const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        return ~0ULL;
    }
    const ULONGLONG slot = *static_cast<const ULONGLONG*>(view);
    UnmapViewOfFile(view);
    return slot;
}

bool SetEngineSlot(ULONGLONG value) {
    common::UniqueHandle mapping(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Tarvik_HANDLE"));
    if (!mapping) {
        return false;
    }
    void* view = MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        return false;
    }
    *static_cast<ULONGLONG*>(view) = value;
    UnmapViewOfFile(view);
    return true;
}

SYSTEMTIME Today() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return now;
}

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    return st;
}

}  // namespace tarvik_test
