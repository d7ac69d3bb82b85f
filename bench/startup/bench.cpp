// Starts Solvane.exe and the baseline program several times each and prints, per program, the
// time from process creation to its message loop (WaitForInputIdle) and its private bytes once
// idle (PrivateUsage, or the equal PagefileUsage where the system leaves PrivateUsage empty), with
// Solvane's ratios to the baseline.
//   startup_bench [runs] [path of Solvane.exe] [path of startup_baseline.exe]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/support/program.h"
#include "common/handles.h"

namespace {

constexpr int kDefaultRuns = 5;
constexpr DWORD kTimeoutMs = 20000;
constexpr DWORD kSettleMs = 200;  // let the program finish what it posted to itself
constexpr DWORD kPollMs = 20;

struct Sample {
    double ms;
    SIZE_T privateBytes;
};

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM param) {
    auto* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == data->pid) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindowOf(DWORD pid) {
    for (DWORD waited = 0; waited < kTimeoutMs; waited += kPollMs) {
        FindData data = {pid, nullptr};
        EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&data));
        if (data.found != nullptr) {
            return data.found;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

// Ends the program the orderly way (WM_CLOSE to its window); terminates it only when that fails.
void Close(HANDLE process, DWORD pid) {
    if (HWND hwnd = WaitForWindowOf(pid)) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process, kTimeoutMs) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"process %lu did not end on WM_CLOSE; terminated\n", pid);
        TerminateProcess(process, 1);
        WaitForSingleObject(process, kTimeoutMs);
    }
}

bool Measure(const std::wstring& path, Sample* sample) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER idle;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fwprintf(stderr, L"cannot start %ls: %lu\n", path.c_str(), GetLastError());
        return false;
    }
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle thread(pi.hThread);
    DWORD waited = WaitForInputIdle(process.Get(), kTimeoutMs);
    QueryPerformanceCounter(&idle);
    bool ok = waited == 0;
    if (ok) {
        sample->ms = 1000.0 * static_cast<double>(idle.QuadPart - start.QuadPart) /
                     static_cast<double>(frequency.QuadPart);
        Sleep(kSettleMs);
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof(counters);
        ok = GetProcessMemoryInfo(process.Get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                  sizeof(counters)) != FALSE;
        // Wine leaves PrivateUsage at 0; PagefileUsage is the same commit charge there.
        sample->privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    } else {
        std::fwprintf(stderr, L"%ls never reached its message loop\n", path.c_str());
    }
    Close(process.Get(), pi.dwProcessId);
    return ok;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Summary {
    double medianMs;
    double minMs;
    double medianKiB;
};

Summary Summarise(const std::vector<Sample>& samples) {
    std::vector<double> ms;
    std::vector<double> kib;
    for (const Sample& s : samples) {
        ms.push_back(s.ms);
        kib.push_back(static_cast<double>(s.privateBytes) / 1024.0);
    }
    return {Median(ms), *std::min_element(ms.begin(), ms.end()), Median(kib)};
}

using benchprog::Folder;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = argc > 1 ? _wtoi(argv[1]) : kDefaultRuns;
    std::wstring solvane = argc > 2 ? argv[2] : Folder() + L"Solvane.exe";
    std::wstring baseline = argc > 3 ? argv[3] : Folder() + L"startup_baseline.exe";
    if (runs < 1) {
        std::fwprintf(stderr, L"runs must be at least 1\n");
        return 2;
    }
    if (FindWindowW(L"Solvane", nullptr) != nullptr) {
        std::fwprintf(stderr, L"a Solvane instance is already running; end it first\n");
        return 2;
    }
    std::vector<Sample> solvaneSamples;
    std::vector<Sample> baselineSamples;
    // Alternate the programs so that a warming system favours neither.
    for (int i = 0; i < runs; ++i) {
        Sample s = {};
        if (!Measure(baseline, &s)) {
            return 1;
        }
        baselineSamples.push_back(s);
        if (!Measure(solvane, &s)) {
            return 1;
        }
        solvaneSamples.push_back(s);
    }
    Summary b = Summarise(baselineSamples);
    Summary s = Summarise(solvaneSamples);
    std::wprintf(L"start-up benchmark, %d runs each (median; min in brackets)\n", runs);
    std::wprintf(L"%-18ls %12ls %12ls %16ls\n", L"program", L"to loop ms", L"(min ms)", L"private KiB");
    std::wprintf(L"%-18ls %12.1f %12.1f %16.0f\n", L"startup_baseline", b.medianMs, b.minMs, b.medianKiB);
    std::wprintf(L"%-18ls %12.1f %12.1f %16.0f\n", L"Solvane", s.medianMs, s.minMs, s.medianKiB);
    std::wprintf(L"ratio Solvane/baseline: time to loop %.2f, private bytes %.2f\n", s.medianMs / b.medianMs,
                 s.medianKiB / b.medianKiB);
    return 0;
}
