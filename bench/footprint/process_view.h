// A look at another process from outside: where its private bytes go (heaps, thread stacks,
// each module's writable pages, other private allocations) by walking its address space with
// VirtualQueryEx, and its handle, GDI and USER object counts. Shared by the footprint and
// soak benchmarks.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace benchview {

struct Footprint {
    SIZE_T reportedPrivate = 0;   // what the system reports (PrivateUsage, else PagefileUsage)
    SIZE_T heaps = 0;             // committed pages of the process heaps' regions
    SIZE_T stacks = 0;            // committed pages of the threads' stacks
    SIZE_T otherPrivate = 0;      // other committed private pages (large blocks, VirtualAlloc)
    SIZE_T imageWritable = 0;     // committed writable pages of loaded images, all modules
    SIZE_T mapped = 0;            // committed views of sections and files (shared, not private)
    std::map<std::wstring, SIZE_T> modules;  // writable pages per module (file name, lower case)
    DWORD threads = 0;
    DWORD handles = 0;
    DWORD gdiObjects = 0;         // GetGuiResources; 0 with guiCounted false where unsupported
    DWORD userObjects = 0;
    bool guiCounted = false;
    bool gdiFromTable = false;    // gdiObjects counted in the GDI handle table instead
    DWORD windows = 0;            // top-level and child windows the process owns

    SIZE_T WalkedPrivate() const { return heaps + stacks + otherPrivate + imageWritable; }
};

// Resident private bytes (pages only this process holds: written heap, stack and data pages)
// by place, read from the host's /proc/<pid>/smaps through drive Z: when the program runs under
// Wine on Linux: each anonymous page is put where the process's own address space has it
// (a thread stack, a heap, a module's image, other allocations) or, for the host side of the
// process, under its library or "(host anonymous)". Empty where there is no such file.
struct ResidentPlaces {
    SIZE_T total = 0;
    std::map<std::wstring, SIZE_T> places;
};

// False when the process cannot be read (it must be opened with PROCESS_QUERY_INFORMATION and
// PROCESS_VM_READ).
bool Measure(HANDLE process, DWORD pid, Footprint* out);

// exeName: the program's file name as its command line shows it (e.g. L"Solvane.exe").
bool MeasureResident(HANDLE process, DWORD pid, const wchar_t* exeName, ResidentPlaces* out);

}  // namespace benchview
