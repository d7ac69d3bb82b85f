// Cost of a plan-list refresh against the bare powrprof work it has to do, with 3, 30 and 300
// power plans on the machine. Per size it prints the median time of one refresh, the median time
// of one baseline pass (PowerEnumerate over every plan plus the reads the refresh makes per plan:
// friendly name, description, display brightness AC and DC) and their ratio, and the powrprof
// calls each makes (counted in a separate, untimed pass).
// Runs on a simulated PC: it adds and deletes plans there.
//   planlist_bench [repetitions] [plan counts ...]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <vector>

#include "bench/planlist/plan_setup.h"
#include "plans/plan_list.h"
#include "plans/settings.h"

namespace {

constexpr int kDefaultRepetitions = 7;
constexpr DWORD kDefaultSizes[] = {3, 30, 300};
// Every timed sample covers about this many plans, so that small lists are timed over many
// refreshes and the clock's resolution does not matter.
constexpr DWORD kPlansPerSample = 300;
constexpr double kMsPerSecond = 1000.0;

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Milliseconds per call of `work`, run `iterations` times.
template <typename Work>
double TimePerCall(DWORD iterations, const Work& work) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (DWORD i = 0; i < iterations; ++i) {
        work();
    }
    QueryPerformanceCounter(&end);
    return kMsPerSecond * Seconds(start, end, frequency) / static_cast<double>(iterations);
}

struct SizeResult {
    DWORD plans;
    double refreshMs;
    double baselineMs;
    planbench::PowerCallCounts refreshCalls;
    planbench::PowerCallCounts baselineCalls;
};

// The settings the program loads at start (pinned plans, variant); the hooks that would reach
// hardware other than the processor driver are left out.
void LoadProgramSettings() {
    plans::g_SettingsHooks = plans::SettingsHooks{};
    plans::g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    plans::LoadSettings();
}

bool MeasureSize(DWORD size, int repetitions, std::vector<GUID>* added, SizeResult* result) {
    const DWORD status = planbench::ResizePlans(size, added);
    if (status != ERROR_SUCCESS) {
        std::fwprintf(stderr, L"cannot set up %lu plans: error %lu\n", static_cast<unsigned long>(size),
                      static_cast<unsigned long>(status));
        return false;
    }
    std::vector<GUID> scratch;
    result->plans = size;
    {
        // Untimed: warms the caches, removes keys of plans deleted above, counts the calls.
        planbench::CallCounter counter;
        plans::RefreshPlanList();
        result->refreshCalls = counter.Counts();
        counter.Reset();
        planbench::BaselinePass(&scratch);
        result->baselineCalls = counter.Counts();
    }
    if (plans::g_PlanCount != size || scratch.size() != size) {
        std::fwprintf(stderr, L"%lu plans set up, but the refresh saw %lu and the baseline %zu\n",
                      static_cast<unsigned long>(size), static_cast<unsigned long>(plans::g_PlanCount),
                      scratch.size());
        return false;
    }
    const DWORD iterations = std::max<DWORD>(1, kPlansPerSample / size);
    std::vector<double> refresh;
    std::vector<double> baseline;
    // Alternate the two so that a drifting machine favours neither.
    for (int r = 0; r < repetitions; ++r) {
        baseline.push_back(TimePerCall(iterations, [&scratch] { planbench::BaselinePass(&scratch); }));
        refresh.push_back(TimePerCall(iterations, [] { plans::RefreshPlanList(); }));
    }
    result->refreshMs = Median(refresh);
    result->baselineMs = Median(baseline);
    return true;
}

constexpr size_t kCallsTextChars = 48;

// "enumerate/reads/active" as one column.
void PrintCalls(const planbench::PowerCallCounts& c) {
    wchar_t text[kCallsTextChars];
    std::swprintf(text, kCallsTextChars, L"%lu/%lu/%lu", static_cast<unsigned long>(c.enumerate),
                  static_cast<unsigned long>(c.Reads()), static_cast<unsigned long>(c.getActiveScheme));
    std::wprintf(L" %-16ls", text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int repetitions = argc > 1 ? _wtoi(argv[1]) : kDefaultRepetitions;
    if (repetitions < 1) {
        std::fwprintf(stderr, L"repetitions must be at least 1\n");
        return 2;
    }
    std::vector<DWORD> sizes;
    for (int i = 2; i < argc; ++i) {
        const int n = _wtoi(argv[i]);
        if (n < 1) {
            std::fwprintf(stderr, L"a plan count must be at least 1, not \"%ls\"\n", argv[i]);
            return 2;
        }
        sizes.push_back(static_cast<DWORD>(n));
    }
    if (sizes.empty()) {
        sizes.assign(std::begin(kDefaultSizes), std::end(kDefaultSizes));
    }
    if (!plans::CreatePlanListLock()) {
        std::fwprintf(stderr, L"the plan-list lock cannot be created\n");
        return 1;
    }
    LoadProgramSettings();
    const DWORD initialPlans = planbench::CountMachinePlans();
    std::vector<GUID> added;
    std::vector<SizeResult> results;
    bool ok = true;
    for (DWORD size : sizes) {
        SizeResult result{};
        if (!MeasureSize(size, repetitions, &added, &result)) {
            ok = false;
            break;
        }
        results.push_back(result);
    }
    planbench::RemoveAddedPlans(&added);
    plans::ClosePlanListLock();

    std::wprintf(L"plan-list refresh benchmark, %d repetitions per size (median); the machine had %lu plans, "
                 L"copies of the active plan were added or other plans deleted for each size\n",
                 repetitions, static_cast<unsigned long>(initialPlans));
    std::wprintf(L"%6ls %12ls %12ls %8ls  %-16ls %-16ls\n", L"plans", L"refresh ms", L"baseline ms", L"ratio",
                 L"refresh calls", L"baseline calls");
    for (const SizeResult& r : results) {
        std::wprintf(L"%6lu %12.3f %12.3f %8.2f ", static_cast<unsigned long>(r.plans), r.refreshMs,
                     r.baselineMs, r.refreshMs / r.baselineMs);
        PrintCalls(r.refreshCalls);
        PrintCalls(r.baselineCalls);
        std::wprintf(L"\n");
    }
    std::wprintf(L"calls: PowerEnumerate / PowerRead* / PowerGetActiveScheme in one refresh or pass\n");
    return ok ? 0 : 1;
}
