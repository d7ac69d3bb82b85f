// The installer helper's main sequence: the steps of the selected mask, in their fixed order.
#pragma once

#include <windows.h>

#include "vendrel/delay.h"
#include "vendrel/power_api.h"

namespace vendrel {

struct InstallerTimings {
    DWORD taskSettleMs;     // after creating each task
    DWORD startSettleMs;    // before looking for the started program
    DWORD findAttempts;     // looks for the started program's window
    DWORD findPeriodMs;     // between those looks
};

constexpr InstallerTimings kDefaultTimings = {3000, 5000, 30, 1000};

// Runs the steps of `mask`. The main program is looked for beside `modulePath` (the helper's
// own path when null). Failing steps are skipped; nothing is reported.
void RunInstallerSteps(DWORD mask, const TaskDelays& delays, const wchar_t* modulePath,
                       PowerPlanApi& power, const InstallerTimings& timings) noexcept;

// The whole program: switch and delay from the command line, then the steps. Always 0.
int RunInstaller(const wchar_t* commandLine) noexcept;

}  // namespace vendrel
