// A stand-in for the link library's exports the peak-cut client binds, driven by the test, and
// the clock the client reads.
#pragma once

#include <windows.h>

#include "peakcut/peakcut.h"

namespace fakelib {

struct Clock {
    WORD hour;
    WORD minute;
};

struct State {
    BOOL planChange = TRUE;
    BOOL timeWindows = TRUE;
    BOOL demandLink = FALSE;
    OneData usePeriod{};      // whole dates
    Clock lv1Start{0, 0}, lv1End{0, 0};
    Clock lv2Start{0, 0}, lv2End{0, 0};
    bool lv1Set = false;
    bool lv2Set = false;
    DWORD demand = 0;         // percent of supply in use
    DWORD threshold = 90;
    BOOL thresholdOk = TRUE;
    DWORD thresholdLv3 = 97;
    BOOL thresholdLv3Ok = TRUE;
    int engineStarts = 0;
    int engineStops = 0;
    SYSTEMTIME now{};
};
extern State g_State;

SYSTEMTIME Day(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0);
// Resets the state; use period 1 July to 30 September of 2026.
void Reset();
// A client bound to every fake export.
peakcut::PeakCutClient BoundClient();
void FakeLocalTime(SYSTEMTIME* now);

}  // namespace fakelib
