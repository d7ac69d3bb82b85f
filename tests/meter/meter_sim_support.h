// Helpers of the meter tests on the simulated notebook: the processor values of a plan, the
// active plan, and the error log of the test program's folder.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

namespace metertest {

// A plan's processor minimum and maximum on both power sources.
struct Pair {
    DWORD minAC, maxAC, minDC, maxDC;
    bool operator==(const Pair& o) const {
        return minAC == o.minAC && maxAC == o.maxAC && minDC == o.minDC && maxDC == o.maxDC;
    }
};
std::ostream& operator<<(std::ostream& out, const Pair& p);

// The simulated PC's plans as seeded.
constexpr Pair kBalanced = {5, 100, 5, 100};
constexpr Pair kSaver = {5, 100, 5, 50};
constexpr Pair kHigh = {100, 100, 5, 100};
constexpr Pair kFull = {100, 100, 100, 100};

Pair Values(const GUID& plan);
void Activate(const GUID& plan);
GUID ActivePlan();
// ".\error.log" as text (empty when absent).
std::wstring ErrorLog();

}  // namespace metertest
