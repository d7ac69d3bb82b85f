// Inside a simulated desktop with two DDC/CI monitors: ChangeBrightness(1) for a plan whose
// monitor level is enabled, against the bare calls it must make (set and save on each monitor,
// high-level on the first, VCP 0x10 on the second), alternated; prints both medians and the
// ratio (target at most 1.2); and against the same calls with the read-back of each verified set.
//   brightness_bench [runs]
#include <windows.h>
#include <powrprof.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "common/registry.h"
#include "common/handles.h"
#include "display/display.h"
#include "display/monitors.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"

namespace {

constexpr int kDefaultRuns = 30;

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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

bool PrepareActivePlan(DWORD level) {
    GUID plan{};
    if (plans::ReadActiveScheme(&plan) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t path[MAX_PATH] = {};
    plans::BuildPlanKeyPath(plan, path, ARRAYSIZE(path));
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return common::WriteRegDword(key.Get(), L"BrightnessMonitor", level) == ERROR_SUCCESS &&
           common::WriteRegDword(key.Get(), L"BrightnessMonitorEnable", 1) == ERROR_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultRuns;
    HKEY machine = nullptr;
    DWORD zero = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &machine,
                        nullptr) == ERROR_SUCCESS) {
        common::UniqueRegKey owner(machine);
        RegSetValueExW(machine, L"ECWait0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof(zero));
    }
    plans::g_Settings.blob.dwFlagWord = plans::FLAG_EXT_MONITOR;
    plans::ExternalMonitorTiming timing;
    timing.retryTime = 0;
    display::SetRetrySettings(timing);
    display::InitializeMonitorData();
    display::ChangeBrightness(display::BC_INIT);
    display::nsr_lcd_val = {0, 20, 40, 60, 80, 100};
    display::dwBLevel = 6;
    if (display::g_iNumMonitor != 2 || !display::bLCD || !PrepareActivePlan(2)) {
        std::fwprintf(stderr, L"brightness_bench: the desktop's two monitors are not ready (%d)\n",
                      display::g_iNumMonitor);
        return 1;
    }
    const HANDLE first = display::g_monitors[0].physical.hPhysicalMonitor;
    const HANDLE second = display::g_monitors[1].physical.hPhysicalMonitor;
    std::vector<double> program;
    std::vector<double> bare;
    std::vector<double> verified;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        display::ChangeBrightness(display::BC_SET);
        program.push_back(Now() - start);
        start = Now();
        SetMonitorBrightness(first, 40);
        SaveCurrentMonitorSettings(first);
        SetVCPFeature(second, display::kVcpBrightness, 20);
        SaveCurrentSettings(second);
        bare.push_back(Now() - start);
        // The same with the read-back each verified set makes.
        start = Now();
        DWORD minimum = 0, current = 0, maximum = 0;
        SetMonitorBrightness(first, 40);
        GetMonitorBrightness(first, &minimum, &current, &maximum);
        SaveCurrentMonitorSettings(first);
        SetVCPFeature(second, display::kVcpBrightness, 20);
        GetVCPFeatureAndVCPFeatureReply(second, display::kVcpBrightness, nullptr, &current, &maximum);
        SaveCurrentSettings(second);
        verified.push_back(Now() - start);
    }
    const double p = Median(program);
    const double b = Median(bare);
    const double v = Median(verified);
    std::wprintf(L"brightness: ChangeBrightness(1) median %.2f ms, bare set-and-save median %.2f ms, ratio %.2f "
                 L"(target <= 1.20, %d runs)\n",
                 p, b, b > 0 ? p / b : 0.0, runs);
    std::wprintf(L"brightness: against set, read-back and save median %.2f ms, ratio %.2f\n", v, v > 0 ? p / v : 0.0);
    display::ReleaseMonitorData();
    return 0;
}
