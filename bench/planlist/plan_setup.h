// What the plan-list benchmark needs besides the code it measures: a machine with a chosen number
// of power plans, the bare powrprof work a plan-list refresh cannot avoid (the baseline), and a
// count of the powrprof calls either of them makes.
#pragma once

#include <windows.h>

#include <vector>

namespace planbench {

// Prefix of the friendly names of the plans the benchmark adds ("Bench plan 7").
constexpr const wchar_t* kBenchPlanNamePrefix = L"Bench plan ";

// Plans powrprof enumerates now (counting up to the first failing index).
DWORD CountMachinePlans() noexcept;

// Adds or deletes plans until powrprof enumerates `target` of them. An added plan is a copy of the
// active plan named kBenchPlanNamePrefix + number, with the program's extension key that the
// program writes for every plan (LedNo 0). Deleting takes the plans this helper added first (newest
// first), then other plans but never the active one; the extension key of a deleted plan goes too.
// `added` keeps the GUIDs of the plans the helper added and still exist. Returns 0 or the first
// powrprof error (ERROR_INVALID_PARAMETER for a target it cannot reach, such as 0).
DWORD ResizePlans(DWORD target, std::vector<GUID>* added) noexcept;

// Deletes every plan in `added` (and its extension key); the list is emptied.
void RemoveAddedPlans(std::vector<GUID>* added) noexcept;

// The baseline: PowerEnumerate over every plan (to its end), then for each plan the reads a
// plan-list refresh makes per plan: friendly name, description, display brightness AC and DC.
// Goes through the program's power table, so that CallCounter sees it. Returns the plans seen.
DWORD BaselinePass(std::vector<GUID>* scratch) noexcept;

struct PowerCallCounts {
    DWORD enumerate;
    DWORD getActiveScheme;
    DWORD readAC;
    DWORD readDC;
    DWORD readFriendlyName;
    DWORD readDescription;
    DWORD writes;  // any write through the table (a refresh and the baseline make none)

    DWORD Reads() const noexcept { return readAC + readDC + readFriendlyName + readDescription; }
};

// Installs a counting power table over powrprof for its lifetime (one at a time).
class CallCounter {
public:
    CallCounter() noexcept;
    ~CallCounter();
    CallCounter(const CallCounter&) = delete;
    CallCounter& operator=(const CallCounter&) = delete;
    // Counts since construction or the last Reset.
    PowerCallCounts Counts() const noexcept;
    void Reset() noexcept;
};

}  // namespace planbench
