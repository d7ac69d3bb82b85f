// The meter panel's five animation threads: boost transition, battery warning blink, plan-name
// scroll, idle swing and battery gauge. Each waits on its own manual-reset event, does one run,
// resets the event and waits again; none works while nothing wakes it.
#include <cmath>

#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/threads.h"
#include "meter/boost.h"
#include "meter/panel_state.h"
#include "meter/panel_window.h"
#include "meter/speed_monitor.h"

namespace meter {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
constexpr DWORD kJoinWaitMs = 1000;
constexpr DWORD kBoostDurationMs = 1000;
constexpr DWORD kTrembleFrames = 20;          // per boost duration
constexpr int kTrembleCentre = 990;          // tenths of a percent
constexpr int kTenthsPerPercent = 10;
constexpr int kFullPercent = 100;
constexpr int kTrembleDegreesPerTick = 4;
constexpr DWORD kTrembleTicks = 90;
constexpr int kFadeSteps = 20;
constexpr DWORD kFadeStepMs = 30;
constexpr int kColourSteps = 15;
constexpr int kBlinkToggles = 10;
constexpr DWORD kBlinkPausesMs[] = {500, 500, 1000, 1000};
constexpr int kLowStateOnLine = 5;
constexpr DWORD kScrollDurationMs = 5000;
constexpr DWORD kScrollStepMs = 100;
constexpr DWORD kIdleDurationMs = 1000;
constexpr int kIdleEntryStride = 4;
constexpr int kBatterySteps = 10;
constexpr DWORD kBatteryDurationMs = 1000;

struct Animation {
    common::UniqueHandle ownEvent;   // null for the battery's events
    HANDLE event = nullptr;
    common::UniqueHandle thread;
    std::atomic<bool> running{false};
    void (*run)() = nullptr;
};

Animation g_anims[kAnimCount];
common::UniqueHandle g_stop;
std::atomic<bool> g_run{false};
int g_idleTable = 0;

// Sleeps; false when the panel is stopping.
bool Pause(DWORD ms) noexcept { return WaitForSingleObject(g_stop.Get(), ms) == WAIT_TIMEOUT && g_run.load(); }

bool Stopping() noexcept { return !g_run.load(); }

// --- Boost transition --------------------------------------------------------------------------

void RunTremble(bool boosting) noexcept {
    while (!Stopping() && BoostActive() == boosting && boosting) {
        if (ShownPercent() >= kFullPercent) {
            const double angle = static_cast<double>((GetTickCount() % kTrembleTicks) * kTrembleDegreesPerTick);
            const int needle = kTrembleCentre + static_cast<int>(std::lround(std::cos(angle * kDegree) * kTenthsPerPercent));
            g_Panel.nNeedleOffset = needle - kFullPercent * kTenthsPerPercent;
            InvalidateArea(g_Panel.layout.rcGauge);
        }
        if (!Pause(kBoostDurationMs / kTrembleFrames)) {
            break;
        }
    }
    g_Panel.nNeedleOffset = 0;
    InvalidateArea(g_Panel.layout.rcGauge);
}

void RunSteps(bool boosting, int steps, DWORD stepMs) noexcept {
    for (int step = 1; step <= steps; ++step) {
        if (BoostActive() != boosting) {
            return;   // the boost changed again: this run ends
        }
        g_Panel.nBoostStep = boosting ? step * kFullPercent / steps : kFullPercent - step * kFullPercent / steps;
        InvalidateArea(g_Panel.layout.rcBoost);
        InvalidateArea(g_Panel.layout.rcGauge);
        if (!Pause(stepMs)) {
            return;
        }
    }
}

void RunBoost() noexcept {
    const bool boosting = BoostActive();
    switch (g_Panel.style) {
    case PanelStyle::A:
        g_Panel.nBoostStep = boosting ? kFullPercent : 0;
        RunTremble(boosting);
        break;
    case PanelStyle::B:
        RunSteps(boosting, kFadeSteps, kFadeStepMs);
        break;
    default:
        RunSteps(boosting, kColourSteps, kBoostDurationMs / kColourSteps);
        break;
    }
    WakeAnimation(kAnimIdle);
}

// --- Battery warning blink -------------------------------------------------------------------

void RunBlink() noexcept {
    for (int toggle = 0; toggle < kBlinkToggles; ++toggle) {
        if (battery::GetBatterySnapshot().nLowState == kLowStateOnLine) {
            break;
        }
        g_Panel.bBatteryHidden = !g_Panel.bBatteryHidden.load();
        InvalidateArea(g_Panel.layout.rcBattery);
        if (!Pause(kBlinkPausesMs[toggle % ARRAYSIZE(kBlinkPausesMs)])) {
            break;
        }
    }
    g_Panel.bBatteryHidden = false;
    InvalidateArea(g_Panel.layout.rcBattery);
}

// --- Plan-name scroll --------------------------------------------------------------------------

void RunScroll() noexcept {
    do {
        HWND hwnd = g_Panel.hwnd;
        const int areaWidth = g_Panel.layout.rcName.right - g_Panel.layout.rcName.left;
        const int nameWidth = hwnd != nullptr ? NameTextWidth(hwnd, g_Panel.szPlanName) : 0;
        if (nameWidth <= areaWidth) {
            break;
        }
        const int distance = nameWidth + areaWidth;
        const int step = distance / static_cast<int>(kScrollDurationMs / kScrollStepMs);
        for (int offset = step; offset < distance && step > 0; offset += step) {
            g_Panel.nScrollOffset = offset;
            InvalidateArea(g_Panel.layout.rcName);
            if (!Pause(kScrollStepMs)) {
                g_Panel.nScrollOffset = 0;
                return;
            }
        }
        g_Panel.nScrollOffset = 0;
        InvalidateArea(g_Panel.layout.rcName);
    } while (!Stopping() && g_Panel.nHot == kHitMenu);
    g_Panel.nScrollOffset = 0;
}

// --- Idle swing and battery gauge ----------------------------------------------------------

void RunIdle() noexcept {
    const int table = g_idleTable;
    g_idleTable = (g_idleTable + 1) % kSwingTables;
    // Every fourth entry of the table: ten frames carry the swing as well as thirty-seven.
    const DWORD stepMs = kIdleDurationMs * kIdleEntryStride / kSwingEntries;
    for (int entry = kSwingEntries - 1; entry >= 0; entry -= kIdleEntryStride) {
        if (BoostActive() && g_Panel.style == PanelStyle::A) {
            break;   // the tremble owns the needle
        }
        g_Panel.nNeedleOffset = static_cast<int>(std::lround(SwingValue(table, entry)));
        InvalidateArea(g_Panel.layout.rcGauge);
        if (!Pause(stepMs)) {
            break;
        }
    }
    g_Panel.nNeedleOffset = 0;
    InvalidateArea(g_Panel.layout.rcGauge);
}

void RunBattery() noexcept {
    for (int step = 1; step <= kBatterySteps; ++step) {
        g_Panel.nBatteryStep = step;
        InvalidateArea(g_Panel.layout.rcBattery);
        if (!Pause(kBatteryDurationMs / kBatterySteps)) {
            break;
        }
    }
    g_Panel.nBatteryStep = kBatterySteps;
}

DWORD WINAPI AnimationThread(void* parameter) {
    Animation& anim = g_anims[reinterpret_cast<INT_PTR>(parameter)];
    while (g_run.load()) {
        HANDLE waits[2] = {g_stop.Get(), anim.event};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1 || !g_run.load()) {
            break;
        }
        anim.running = true;
        anim.run();
        anim.running = false;
        ResetEvent(anim.event);
    }
    return 0;
}

constexpr void (*kRuns[kAnimCount])() = {RunBoost, RunBlink, RunScroll, RunIdle, RunBattery};

struct SwingTables {
    double values[kSwingTables][kSwingEntries];
    SwingTables() noexcept {
        for (int t = 0; t < kSwingTables; ++t) {
            for (int i = kSwingEntries - 1; i >= 0; --i) {
                values[t][i] = kSwingAmplitudes[t] * std::sin((kSwingEntries - 1 - i) * 2 * kDegree);
            }
        }
    }
};

}  // namespace

double SwingValue(int table, int entry) noexcept {
    static const SwingTables s_tables;
    if (table < 0 || table >= kSwingTables || entry < 0 || entry >= kSwingEntries) {
        return 0.0;
    }
    return s_tables.values[table][entry];
}

DWORD StartPanelThreads() noexcept {
    if (g_run.load()) {
        return ERROR_SUCCESS;
    }
    g_stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_stop) {
        return GetLastError();
    }
    g_run = true;
    for (int i = 0; i < kAnimCount; ++i) {
        Animation& anim = g_anims[i];
        anim.run = kRuns[i];
        if (i == kAnimBlink) {
            // A crossing seen while no panel was shown is not blinked afterwards.
            anim.event = battery::BatteryBlinkEvent();
            if (anim.event != nullptr) {
                ResetEvent(anim.event);
            }
        } else if (i == kAnimBattery) {
            anim.event = battery::BatteryUpdateEvent();
        } else {
            anim.ownEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            anim.event = anim.ownEvent.Get();
        }
        if (anim.event == nullptr) {
            return GetLastError();
        }
        anim.thread.Reset(common::StartWorkerThread(AnimationThread, reinterpret_cast<void*>(static_cast<INT_PTR>(i)),
                                                    common::kLibraryStackBytes));
        if (!anim.thread) {
            return GetLastError();
        }
    }
    return ERROR_SUCCESS;
}

void WakeAnimation(PanelAnimation which) noexcept {
    if (g_run.load() && g_anims[which].event != nullptr) {
        SetEvent(g_anims[which].event);
    }
}

bool AnimationRunning(PanelAnimation which) noexcept { return g_anims[which].running.load(); }

void StopPanelThreads() noexcept {
    if (!g_stop) {
        return;
    }
    g_run = false;
    SetEvent(g_stop.Get());
    for (Animation& anim : g_anims) {
        if (anim.event != nullptr) {
            SetEvent(anim.event);
        }
    }
    for (Animation& anim : g_anims) {
        if (anim.thread && WaitForSingleObject(anim.thread.Get(), kJoinWaitMs) == WAIT_TIMEOUT) {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"MeterPanel", L"an animation thread did not end in time");
        }
        anim.thread.Reset();
        anim.ownEvent.Reset();
        anim.event = nullptr;
        anim.running = false;
    }
    g_stop.Reset();
}

bool PanelUpdateRunning() noexcept { return AnimationRunning(kAnimBattery); }

}  // namespace meter
