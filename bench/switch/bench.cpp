// Inside a simulated three-mode notebook: the time from a tray plan command posted to the
// resident program (WM_COMMAND 72/71) until the power-management stand-in reports the new active
// scheme, against a bare PowerSetActiveScheme call with the same end point, alternated in one
// run. The bare call is made twice: by the benchmark itself, and by a minimal program on the same
// posted command (switch_baseline), which crosses the same two process hops as the tray path (the
// command to the program, the registry change back to the benchmark) and does nothing else; then the private bytes of the resident program in ECO operation against the empty
// program of bench/startup.
//   switch_bench [runs]
#include <windows.h>
#include <powrprof.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/program.h"
#include "bench/switch/mode_plans.h"
#include "common/handles.h"

namespace {

constexpr int kDefaultRuns = 20;
constexpr DWORD kSettleMs = 1500;  // the LED command and the plan-changed follow-ups

using namespace switchbench;
using benchprog::kPollMs;
using benchprog::kTimeoutMs;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool ActiveIs(const GUID& plan) {
    GUID* active = nullptr;
    const bool same = PowerGetActiveScheme(nullptr, &active) == ERROR_SUCCESS && active != nullptr &&
                      IsEqualGUID(*active, plan);
    common::UniqueLocal owner(active);
    return same;
}

// Tells when the stand-in's active scheme changes, without spinning: every check is a call into
// the one wineserver, which the program doing the switch needs as well, so a spinning check
// would slow the very path it measures.
class ActiveWatch {
public:
    ActiveWatch() {
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\SimulatedPC\\Power", 0, KEY_NOTIFY | KEY_QUERY_VALUE,
                      m_key.Put());
        m_event.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    // Call before the change is started.
    void Arm() {
        if (m_key && m_event) {
            RegNotifyChangeKeyValue(m_key.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, m_event.Get(), TRUE);
        }
    }
    // The elapsed ms from start until the plan is active, or -1 after the time-out.
    double WaitActive(const GUID& plan, double start) {
        while (!ActiveIs(plan)) {
            if (Now() - start > kTimeoutMs) {
                return -1.0;
            }
            if (m_event) {
                WaitForSingleObject(m_event.Get(), kPollMs);
                Arm();
            }
        }
        return Now() - start;
    }

private:
    common::UniqueRegKey m_key;
    common::UniqueHandle m_event;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : kDefaultRuns;
    if (runs < 1) {
        std::fwprintf(stderr, L"runs must be at least 1\n");
        return 2;
    }
    PowerSetActiveScheme(nullptr, &kModeOnePlan);

    benchprog::Program solvane;
    if (!solvane.Start(L"Solvane.exe", L"Solvane")) {
        return 1;
    }
    HWND main = solvane.Window();
    Sleep(kSettleMs);

    benchprog::Program switcher;
    if (!switcher.Start(L"switch_baseline.exe", L"SwitchBaseline")) {
        return 1;
    }
    HWND minimal = switcher.Window();

    // One way to switch: to mode 2 timed, then back to mode 1 (the resident program follows both).
    ActiveWatch watch;
    const auto timedSwitch = [&watch](HWND target) {
        const auto request = [target](WORD command, const GUID& plan) {
            if (target == nullptr) {
                PowerSetActiveScheme(nullptr, &plan);
            } else {
                PostMessageW(target, WM_COMMAND, MAKEWPARAM(command, 0), 0);
            }
        };
        watch.Arm();
        const double start = Now();
        request(kCommandPinned2, kModeTwoPlan);
        const double ms = watch.WaitActive(kModeTwoPlan, start);
        Sleep(kSettleMs);
        watch.Arm();
        request(kCommandPinned1, kModeOnePlan);
        watch.WaitActive(kModeOnePlan, Now());
        Sleep(kSettleMs);
        return ms;
    };
    std::vector<double> bare;
    std::vector<double> posted;
    std::vector<double> tray;
    for (int i = 0; i < runs; ++i) {
        const double ms = timedSwitch(nullptr);           // the bare call
        const double viaMinimal = timedSwitch(minimal);  // the same command to the minimal program
        const double viaTray = timedSwitch(main);         // the tray command to the resident program
        if (ms < 0 || viaMinimal < 0 || viaTray < 0) {
            std::fwprintf(stderr, L"the plan did not change in time\n");
            return 1;
        }
        bare.push_back(ms);
        posted.push_back(viaMinimal);
        tray.push_back(viaTray);
    }
    // The floor of any tray path: one message to the program's thread and back.
    std::vector<double> hop;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &result);
        hop.push_back(Now() - start);
    }
    switcher.Close();
    const double bareMedian = Median(bare);
    const double postedMedian = Median(posted);
    const double trayMedian = Median(tray);
    std::wprintf(L"plan switch, %d runs each (median ms)\n", runs);
    std::wprintf(L"  PowerSetActiveScheme alone             %10.3f\n", bareMedian);
    std::wprintf(L"  command 71 to the minimal program      %10.3f\n", postedMedian);
    std::wprintf(L"  tray command 71 to the program         %10.3f\n", trayMedian);
    std::wprintf(L"  message round trip (WM_NULL)           %10.3f\n", Median(hop));
    std::wprintf(L"ratio tray/bare: %.2f\n", bareMedian > 0 ? trayMedian / bareMedian : 0.0);
    std::wprintf(L"ratio tray/bare on the same posted command: %.2f\n",
                 postedMedian > 0 ? trayMedian / postedMedian : 0.0);

    const double solvaneKiB = static_cast<double>(benchprog::PrivateBytes(solvane.Process())) / 1024.0;
    solvane.Close();
    benchprog::Program baseline;
    if (!baseline.Start(L"startup_baseline.exe", L"StartupBaseline")) {
        return 1;
    }
    Sleep(kSettleMs);
    const double baselineKiB = static_cast<double>(benchprog::PrivateBytes(baseline.Process())) / 1024.0;
    baseline.Close();
    std::wprintf(L"resident private bytes (KiB): Solvane (ECO, three modes) %.0f, empty program %.0f\n", solvaneKiB,
                 baselineKiB);
    std::wprintf(L"ratio Solvane/empty program: %.2f\n", baselineKiB > 0 ? solvaneKiB / baselineKiB : 0.0);
    return 0;
}
