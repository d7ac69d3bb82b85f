// Where the resident program's private bytes go, against the empty Win32 program of
// bench/startup measured in the same run: the reported private bytes, then the address space
// walked by category (heaps, thread stacks, other private allocations, each module's writable
// image pages), the modules only the program loads, and handle, GDI, USER and window counts.
// Runs on a simulated PC (bench/footprint/run.sh), with the program in ECO operation.
// Wine gives every thread about a megabyte of resident stack whatever its reservation, so the
// program is also compared with the empty program holding as many idle threads as it has.
//   footprint_bench [settle seconds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench/footprint/process_view.h"
#include "bench/support/program.h"
#include "common/handles.h"

namespace {

constexpr DWORD kDefaultSettleSeconds = 10;
constexpr double kKiB = 1024.0;

void Row(const wchar_t* what, SIZE_T program, SIZE_T empty) {
    std::wprintf(L"  %-34ls %10.0f %10.0f %+10.0f\n", what, program / kKiB, empty / kKiB,
                 (static_cast<double>(program) - static_cast<double>(empty)) / kKiB);
}

void CountRow(const wchar_t* what, DWORD program, DWORD empty) {
    std::wprintf(L"  %-34ls %10lu %10lu %+10ld\n", what, static_cast<unsigned long>(program),
                 static_cast<unsigned long>(empty), static_cast<long>(program) - static_cast<long>(empty));
}

bool MeasureProgram(const wchar_t* exeName, const wchar_t* className, const std::wstring& arguments,
                    int settleSeconds, benchview::Footprint* footprint, benchview::ResidentPlaces* resident) {
    benchprog::Program program;
    if (!program.Start(exeName, className, arguments)) {
        return false;
    }
    Sleep(static_cast<DWORD>(settleSeconds) * 1000);
    if (!benchview::Measure(program.Process(), program.Pid(), footprint)) {
        std::fwprintf(stderr, L"cannot read %ls\n", exeName);
        return false;
    }
    benchview::MeasureResident(program.Process(), program.Pid(), exeName, resident);
    return true;
}

double Ratio(SIZE_T program, SIZE_T baseline) {
    return baseline != 0 ? static_cast<double>(program) / static_cast<double>(baseline) : 0.0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int settleSeconds = argc > 1 ? _wtoi(argv[1]) : static_cast<int>(kDefaultSettleSeconds);
    if (settleSeconds < 0) {
        std::fwprintf(stderr, L"settle seconds must not be negative\n");
        return 2;
    }
    benchview::Footprint empty;
    benchview::ResidentPlaces emptyResident;
    if (!MeasureProgram(L"startup_baseline.exe", L"StartupBaseline", {}, settleSeconds, &empty, &emptyResident)) {
        return 1;
    }
    benchview::Footprint solvane;
    benchview::ResidentPlaces solvaneResident;
    if (!MeasureProgram(L"Solvane.exe", L"Solvane", {}, settleSeconds, &solvane, &solvaneResident)) {
        return 1;
    }
    // The empty program again, now with as many threads as the program has.
    const DWORD extraThreads = solvane.threads > empty.threads ? solvane.threads - empty.threads : 0;
    benchview::Footprint threaded;
    benchview::ResidentPlaces threadedResident;
    if (!MeasureProgram(L"startup_baseline.exe", L"StartupBaseline", std::to_wstring(extraThreads), settleSeconds,
                        &threaded, &threadedResident)) {
        return 1;
    }

    std::wprintf(L"resident footprint after %d s (KiB)   %10ls %10ls %10ls\n", settleSeconds, L"Solvane", L"empty",
                 L"extra");
    Row(L"private bytes (reported)", solvane.reportedPrivate, empty.reportedPrivate);
    Row(L"private bytes (walked)", solvane.WalkedPrivate(), empty.WalkedPrivate());
    Row(L"  heaps", solvane.heaps, empty.heaps);
    Row(L"  thread stacks", solvane.stacks, empty.stacks);
    Row(L"  other private allocations", solvane.otherPrivate, empty.otherPrivate);
    Row(L"  writable image pages", solvane.imageWritable, empty.imageWritable);
    Row(L"mapped views (shared)", solvane.mapped, empty.mapped);

    if (solvaneResident.total != 0) {
        std::wprintf(L"resident private pages by place (KiB; host /proc smaps)\n");
        Row(L"all", solvaneResident.total, emptyResident.total);
        std::vector<std::pair<std::wstring, SIZE_T>> places(solvaneResident.places.begin(),
                                                            solvaneResident.places.end());
        std::sort(places.begin(), places.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        for (const auto& [place, bytes] : places) {
            const auto other = emptyResident.places.find(place);
            Row(place.c_str(), bytes, other == emptyResident.places.end() ? 0 : other->second);
        }
    } else {
        std::wprintf(L"resident private pages by place: no host /proc here\n");
    }

    std::vector<std::pair<std::wstring, SIZE_T>> modules(solvane.modules.begin(), solvane.modules.end());
    std::sort(modules.begin(), modules.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::wprintf(L"committed writable image pages per module (KiB; * = not loaded by the empty program)\n");
    for (const auto& [name, bytes] : modules) {
        const auto other = empty.modules.find(name);
        const bool own = other == empty.modules.end();
        std::wprintf(L"  %lc %-32ls %10.0f %10.0f\n", own ? L'*' : L' ', name.c_str(), bytes / kKiB,
                     own ? 0.0 : other->second / kKiB);
    }
    std::wprintf(L"objects                               %10ls %10ls %10ls\n", L"Solvane", L"empty", L"extra");
    CountRow(L"threads", solvane.threads, empty.threads);
    CountRow(L"handles", solvane.handles, empty.handles);
    if (solvane.guiCounted) {
        CountRow(L"GDI objects", solvane.gdiObjects, empty.gdiObjects);
        CountRow(L"USER objects", solvane.userObjects, empty.userObjects);
    } else if (solvane.gdiFromTable) {
        CountRow(L"GDI objects (handle table)", solvane.gdiObjects, empty.gdiObjects);
        std::wprintf(L"  USER objects: not counted by this system (windows below)\n");
    } else {
        std::wprintf(L"  GDI and USER objects: not counted by this system\n");
    }
    CountRow(L"windows", solvane.windows, empty.windows);
    std::wprintf(L"ratio Solvane/empty program, private bytes: %.2f\n",
                 Ratio(solvane.reportedPrivate, empty.reportedPrivate));

    std::wprintf(L"empty program holding %lu idle threads (KiB)  %10ls %10ls %10ls\n",
                 static_cast<unsigned long>(extraThreads), L"Solvane", L"threaded", L"extra");
    Row(L"private bytes (reported)", solvane.reportedPrivate, threaded.reportedPrivate);
    if (solvaneResident.total != 0 && threadedResident.total != 0 && extraThreads != 0) {
        const auto stacks = [](const benchview::ResidentPlaces& r) {
            const auto it = r.places.find(L"thread stacks");
            return it == r.places.end() ? SIZE_T{0} : it->second;
        };
        Row(L"resident thread stacks", stacks(solvaneResident), stacks(threadedResident));
        const SIZE_T perThread = (stacks(threadedResident) - std::min(stacks(threadedResident), stacks(emptyResident))) /
                                 extraThreads;
        std::wprintf(L"  resident stack of one idle thread here: %.0f KiB\n", perThread / kKiB);
    }
    std::wprintf(L"ratio Solvane/empty program with as many threads, private bytes: %.2f\n",
                 Ratio(solvane.reportedPrivate, threaded.reportedPrivate));
    return 0;
}
