#include "tests/peakcut/fake_library.h"

namespace fakelib {

State g_State;

namespace {

// The library hands out daily windows on today's date, as it does.
BOOL DailyWindow(bool set, Clock start, Clock end, OneData* record) {
    if (!set) {
        return FALSE;
    }
    *record = OneData{};
    record->value = 1;
    record->start = g_State.now;
    record->start.wHour = start.hour;
    record->start.wMinute = start.minute;
    record->start.wSecond = 0;
    record->start.wMilliseconds = 0;
    record->end = g_State.now;
    record->end.wHour = end.hour;
    record->end.wMinute = end.minute;
    record->end.wSecond = 59;
    record->end.wMilliseconds = 999;
    return TRUE;
}

BOOL WINAPI StartEngine() {
    ++g_State.engineStarts;
    return TRUE;
}
void WINAPI StopEngine() { ++g_State.engineStops; }
BOOL WINAPI GetPlanChange(BOOL* on) {
    *on = g_State.planChange;
    return TRUE;
}
BOOL WINAPI GetTimeWindows(BOOL* on) {
    *on = g_State.timeWindows;
    return TRUE;
}
BOOL WINAPI GetDemandLink(BOOL* on) {
    *on = g_State.demandLink;
    return TRUE;
}
BOOL WINAPI GetUsePeriod(OneData* record) {
    *record = g_State.usePeriod;
    return TRUE;
}
BOOL WINAPI GetLv1(OneData* record) { return DailyWindow(g_State.lv1Set, g_State.lv1Start, g_State.lv1End, record); }
BOOL WINAPI GetLv2(OneData* record) { return DailyWindow(g_State.lv2Set, g_State.lv2Start, g_State.lv2End, record); }
BOOL WINAPI GetThreshold(DWORD* percent) {
    *percent = g_State.threshold;
    return g_State.thresholdOk;
}
BOOL WINAPI GetThresholdLv3(DWORD* percent) {
    *percent = g_State.thresholdLv3;
    return g_State.thresholdLv3Ok;
}
BOOL WINAPI Compare(DWORD percent, DWORD* exceed) {
    *exceed = g_State.demand >= percent ? 1 : 0;
    return TRUE;
}

}  // namespace

SYSTEMTIME Day(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    return st;
}

void Reset() {
    g_State = State{};
    g_State.usePeriod.value = 1;
    g_State.usePeriod.start = Day(2026, 7, 1);
    g_State.usePeriod.end = Day(2026, 9, 30, 23, 59, 59);
    g_State.now = Day(2026, 8, 1, 14, 0);
}

peakcut::PeakCutClient BoundClient() {
    peakcut::PeakCutClient client;
    client.startEngine = StartEngine;
    client.stopEngine = StopEngine;
    client.getPlanChangeEnable = GetPlanChange;
    client.getUsePeriod = GetUsePeriod;
    client.getTimePeriodEnable = GetTimeWindows;
    client.getLv2Time = GetLv2;
    client.getLv1Time = GetLv1;
    client.getTarvikEnable = GetDemandLink;
    client.getThreshold = GetThreshold;
    client.compareToThreshold = Compare;
    client.getThresholdLv3 = GetThresholdLv3;
    return client;
}

void FakeLocalTime(SYSTEMTIME* now) { *now = g_State.now; }

}  // namespace fakelib
