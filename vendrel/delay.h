// The start delay argument of the scheduled tasks ("delay=mmmm:ss").
#pragma once

#include <windows.h>

#include <cstddef>

namespace vendrel {

// "mmmm:ss" plus the terminator.
constexpr size_t kDelayTextChars = 8;

struct TaskDelays {
    bool present = false;
    wchar_t regFix[kDelayTextChars] = {};  // delay of "SolvaneRegFix", as given
    wchar_t run[kDelayTextChars] = {};     // delay of "SolvaneRun", ten seconds later
};

// Checks one argument: its lower-cased text contains "delay" and it is name=value with a
// non-empty name and a value of exactly four digits, ":", two digits (seconds below 60).
// Fills the two delays and returns true; anything else leaves them alone and returns false.
bool ParseDelayArgument(const wchar_t* argument, TaskDelays* delays) noexcept;

// Looks at every argument; the last valid delay argument wins.
TaskDelays FindTaskDelays(int argc, wchar_t** argv) noexcept;

}  // namespace vendrel
