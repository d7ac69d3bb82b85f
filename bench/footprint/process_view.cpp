#include "bench/footprint/process_view.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/handles.h"

namespace benchview {
namespace {

// x64 layouts: the heap table in the PEB and the stack bounds in the TEB (NT_TIB).
constexpr SIZE_T kPebProcessHeap = 0x30;
constexpr SIZE_T kPebNumberOfHeaps = 0xE8;
constexpr SIZE_T kPebProcessHeaps = 0xF0;
constexpr SIZE_T kTibStackLimit = 0x10;
// The GDI handle table the PEB points at: 0x10000 entries of 24 bytes, the object type at
// offset 14 (0 for a free entry). Under Wine the table is the process's own.
constexpr SIZE_T kPebGdiHandleTable = 0xF8;
constexpr SIZE_T kGdiEntries = 0x10000;
constexpr SIZE_T kGdiEntryBytes = 24;
constexpr SIZE_T kGdiEntryOwner = 8;
constexpr SIZE_T kGdiEntryType = 14;
constexpr DWORD kMaxHeaps = 1024;
constexpr THREADINFOCLASS kThreadBasicInformation = static_cast<THREADINFOCLASS>(0);

struct ThreadBasic {
    LONG exitStatus;
    PVOID tebBaseAddress;
    CLIENT_ID clientId;
    ULONG_PTR affinityMask;
    LONG priority;
    LONG basePriority;
};

using QueryProcessFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
using QueryThreadFn = NTSTATUS(NTAPI*)(HANDLE, THREADINFOCLASS, PVOID, ULONG, PULONG);

template <typename Fn>
Fn NtEntry(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

template <typename T>
bool ReadRemote(HANDLE process, const void* address, T* value) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, address, value, sizeof(T), &read) && read == sizeof(T);
}

PVOID AllocationBaseOf(HANDLE process, const void* address) {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQueryEx(process, address, &info, sizeof(info)) == sizeof(info) ? info.AllocationBase : nullptr;
}

const BYTE* PebOf(HANDLE process) {
    static const QueryProcessFn query = NtEntry<QueryProcessFn>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0) {
        return nullptr;
    }
    return reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
}

// GDI objects of the process counted in its handle table (where GetGuiResources counts none);
// 0 when the table cannot be read.
DWORD CountGdiEntries(HANDLE process, DWORD pid) {
    const BYTE* peb = PebOf(process);
    PVOID table = nullptr;
    if (peb == nullptr || !ReadRemote(process, peb + kPebGdiHandleTable, &table) || table == nullptr) {
        return 0;
    }
    std::vector<BYTE> entries(kGdiEntries * kGdiEntryBytes);
    SIZE_T read = 0;
    ReadProcessMemory(process, table, entries.data(), entries.size(), &read);
    DWORD count = 0;
    for (SIZE_T offset = 0; offset + kGdiEntryBytes <= read; offset += kGdiEntryBytes) {
        USHORT owner = 0;
        memcpy(&owner, &entries[offset + kGdiEntryOwner], sizeof(owner));
        if (entries[offset + kGdiEntryType] != 0 && (owner == 0 || owner == static_cast<USHORT>(pid))) {
            ++count;
        }
    }
    return count;
}

std::set<PVOID> HeapBases(HANDLE process) {
    std::set<PVOID> bases;
    const BYTE* peb = PebOf(process);
    if (peb == nullptr) {
        return bases;
    }
    PVOID main = nullptr;
    if (ReadRemote(process, peb + kPebProcessHeap, &main) && main != nullptr) {
        if (PVOID base = AllocationBaseOf(process, main)) {
            bases.insert(base);
        }
    }
    DWORD count = 0;
    PVOID table = nullptr;
    if (!ReadRemote(process, peb + kPebNumberOfHeaps, &count) || !ReadRemote(process, peb + kPebProcessHeaps, &table) ||
        count > kMaxHeaps || table == nullptr) {
        return bases;
    }
    std::vector<PVOID> heaps(count);
    SIZE_T read = 0;
    if (count != 0 && ReadProcessMemory(process, table, heaps.data(), count * sizeof(PVOID), &read)) {
        for (PVOID heap : heaps) {
            if (PVOID base = AllocationBaseOf(process, heap)) {
                bases.insert(base);
            }
        }
    }
    return bases;
}

std::set<PVOID> StackBases(HANDLE process, DWORD pid, DWORD* threads) {
    std::set<PVOID> bases;
    *threads = 0;
    static const QueryThreadFn query = NtEntry<QueryThreadFn>("NtQueryInformationThread");
    common::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot || query == nullptr) {
        return bases;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) {
            continue;
        }
        ++*threads;
        common::UniqueHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        ThreadBasic basic{};
        if (!thread || query(thread.Get(), kThreadBasicInformation, &basic, sizeof(basic), nullptr) < 0) {
            continue;
        }
        PVOID limit = nullptr;
        if (ReadRemote(process, static_cast<const BYTE*>(basic.tebBaseAddress) + kTibStackLimit, &limit)) {
            if (PVOID base = AllocationBaseOf(process, limit)) {
                bases.insert(base);
            }
        }
    }
    return bases;
}

// Handles of the process in the system's handle list (where GetProcessHandleCount counts none).
DWORD CountHandles(DWORD pid) {
    using QuerySystemFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ULONG access;
    };
    static const QuerySystemFn query = NtEntry<QuerySystemFn>("NtQuerySystemInformation");
    if (query == nullptr) {
        return 0;
    }
    std::vector<BYTE> buffer(1 << 20);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kInfoLengthMismatch) {
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    }
    if (status < 0) {
        return 0;
    }
    ULONG count = 0;
    memcpy(&count, buffer.data(), sizeof(count));
    const BYTE* first = buffer.data() + sizeof(ULONG_PTR);  // the entries follow the count, aligned
    DWORD owned = 0;
    for (ULONG i = 0; i < count && first + (i + 1) * sizeof(Entry) <= buffer.data() + buffer.size(); ++i) {
        Entry entry;
        memcpy(&entry, first + i * sizeof(Entry), sizeof(entry));
        if (entry.ownerPid == pid) {
            ++owned;
        }
    }
    return owned;
}

bool Writable(DWORD protect) {
    const DWORD p = protect & 0xFF;
    return p == PAGE_READWRITE || p == PAGE_WRITECOPY || p == PAGE_EXECUTE_READWRITE || p == PAGE_EXECUTE_WRITECOPY;
}

std::wstring ModuleName(HANDLE process, PVOID base) {
    wchar_t name[MAX_PATH] = {};
    if (GetModuleBaseNameW(process, static_cast<HMODULE>(base), name, MAX_PATH) == 0 &&
        GetMappedFileNameW(process, base, name, MAX_PATH) == 0) {
        return L"(unnamed image)";
    }
    std::wstring text(name);
    const size_t slash = text.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        text.erase(0, slash + 1);
    }
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

struct WindowCount {
    DWORD pid;
    DWORD count;
};

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM param) {
    auto* c = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == c->pid) {
        ++c->count;
        EnumChildWindows(hwnd, CountChild, reinterpret_cast<LPARAM>(&c->count));
    }
    return TRUE;
}

// A whole file read through the Win32 file API (the host's /proc files report no size).
std::string ReadWholeFile(const std::wstring& path) {
    std::string text;
    common::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return text;
    }
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read != 0) {
        text.append(buffer, read);
    }
    return text;
}

bool Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The host process id of a program of this Wine prefix; 0 when there is none or no /proc.
unsigned long HostPid(const wchar_t* exeName) {
    wchar_t prefix[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH) == 0) {
        return 0;
    }
    const std::string wantedPrefix = "WINEPREFIX=" + Narrow(prefix) + '\0';
    const std::string wantedExe = Lower(Narrow(exeName));
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &data);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    unsigned long found = 0;
    do {
        wchar_t* end = nullptr;
        const unsigned long pid = std::wcstoul(data.cFileName, &end, 10);
        if (pid == 0 || *end != L'\0') {
            continue;
        }
        const std::wstring folder = L"Z:\\proc\\" + std::wstring(data.cFileName);
        if (!Contains(Lower(ReadWholeFile(folder + L"\\cmdline")), wantedExe)) {
            continue;
        }
        if (Contains(ReadWholeFile(folder + L"\\environ"), wantedPrefix)) {
            found = pid;
            break;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

}  // namespace

bool MeasureResident(HANDLE process, DWORD pid, const wchar_t* exeName, ResidentPlaces* out) {
    *out = ResidentPlaces{};
    const unsigned long hostPid = HostPid(exeName);
    if (hostPid == 0) {
        return false;
    }
    const std::string smaps = ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(hostPid) + L"\\smaps");
    if (smaps.empty()) {
        return false;
    }
    DWORD threads = 0;
    const std::set<PVOID> heaps = HeapBases(process);
    const std::set<PVOID> stacks = StackBases(process, pid, &threads);
    std::wstring place;
    size_t lineStart = 0;
    while (lineStart < smaps.size()) {
        size_t lineEnd = smaps.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = smaps.size();
        }
        const std::string line = smaps.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        unsigned long long from = 0;
        unsigned long long to = 0;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %*s %*s %*s %*s %n", &from, &to, &consumed) == 2 && consumed > 0) {
            // A new mapping: where the process's own address space has it.
            const std::string path = line.substr(static_cast<size_t>(consumed));
            MEMORY_BASIC_INFORMATION info{};
            const bool windowsSide = VirtualQueryEx(process, reinterpret_cast<const void*>(from), &info,
                                                    sizeof(info)) == sizeof(info) &&
                                     info.State != MEM_FREE;
            if (windowsSide && info.Type == MEM_IMAGE) {
                place = L"image " + ModuleName(process, info.AllocationBase);
            } else if (windowsSide && stacks.count(info.AllocationBase) != 0) {
                place = L"thread stacks";
            } else if (windowsSide && heaps.count(info.AllocationBase) != 0) {
                place = L"heaps";
            } else if (windowsSide) {
                place = info.Type == MEM_MAPPED ? L"mapped views" : L"other private allocations";
            } else if (!path.empty() && path[0] == '/') {
                place = L"host " + std::wstring(path.begin() + static_cast<std::ptrdiff_t>(path.rfind('/') + 1),
                                                path.end());
            } else {
                place = L"host anonymous";
            }
            continue;
        }
        unsigned long kib = 0;
        if (std::sscanf(line.c_str(), "Anonymous: %lu kB", &kib) == 1 && kib != 0) {
            out->places[place] += static_cast<SIZE_T>(kib) * 1024;
            out->total += static_cast<SIZE_T>(kib) * 1024;
        }
    }
    return true;
}

bool Measure(HANDLE process, DWORD pid, Footprint* out) {
    *out = Footprint{};
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
        return false;
    }
    // Wine leaves PrivateUsage at 0; PagefileUsage is the same commit charge there.
    out->reportedPrivate = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    const std::set<PVOID> heaps = HeapBases(process);
    const std::set<PVOID> stacks = StackBases(process, pid, &out->threads);
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const BYTE* address = static_cast<const BYTE*>(system.lpMinimumApplicationAddress);
    const BYTE* end = static_cast<const BYTE*>(system.lpMaximumApplicationAddress);
    while (address < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQueryEx(process, address, &info, sizeof(info)) != sizeof(info) || info.RegionSize == 0) {
            break;
        }
        if (info.State == MEM_COMMIT) {
            const SIZE_T size = info.RegionSize;
            if (info.Type == MEM_IMAGE) {
                if (Writable(info.Protect)) {
                    out->imageWritable += size;
                    out->modules[ModuleName(process, info.AllocationBase)] += size;
                }
            } else if (info.Type == MEM_MAPPED) {
                out->mapped += size;
            } else if (stacks.count(info.AllocationBase) != 0) {
                out->stacks += size;
            } else if (heaps.count(info.AllocationBase) != 0) {
                out->heaps += size;
            } else {
                out->otherPrivate += size;
            }
        }
        address = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
    }
    if (!GetProcessHandleCount(process, &out->handles) || out->handles == 0) {
        out->handles = CountHandles(pid);
    }
    out->gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    out->userObjects = GetGuiResources(process, GR_USEROBJECTS);
    // A process with a window always holds GDI objects: 0 means the system keeps no count.
    out->guiCounted = out->gdiObjects != 0;
    if (!out->guiCounted) {
        out->gdiObjects = CountGdiEntries(process, pid);
        out->gdiFromTable = out->gdiObjects != 0;
    }
    WindowCount windows{pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    out->windows = windows.count;
    return true;
}

}  // namespace benchview
