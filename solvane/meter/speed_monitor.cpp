#include "meter/speed_monitor.h"

#include <intrin.h>
#include <powrprof.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/handles.h"
#include "common/log.h"
#include "common/threads.h"
#include "resources/resource.h"

namespace meter {

namespace {

constexpr UINT kSpeedMessage = WM_USER + 1;
constexpr DWORD kLockWaitMs = 1000;
constexpr DWORD kSendTimeoutMs = 1000;
constexpr int kFullPercent = 100;
constexpr double kEasingFactor = 0.08;
constexpr double kPi = 3.14159265358979323846;
constexpr int kHalfTurnDegrees = 180;
constexpr unsigned kLeafVendor = 0;
constexpr unsigned kLeafFeatures = 1;
constexpr unsigned kLeafExtendedMax = 0x80000000u;
constexpr unsigned kLeafPowerManagement = 0x80000007u;
constexpr unsigned kLeafNameFirst = 0x80000002u;
constexpr unsigned kLeafNameLast = 0x80000004u;
constexpr int kEnhancedSpeedStepBit = 7;
constexpr int kInvariantTscBit = 8;

// Not declared by the mingw-w64 headers.
struct ProcessorPowerInformation {
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};
static_assert(sizeof(ProcessorPowerInformation) == 24, "PROCESSOR_POWER_INFORMATION is 24 bytes");

std::atomic<DWORD> g_currentMhz{0};
std::atomic<DWORD> g_maximumMhz{0};
std::atomic<int> g_target{0};
std::atomic<int> g_shown{0};
std::atomic<DWORD> g_samplerWakeups{0};
std::atomic<DWORD> g_easingWakeups{0};
std::atomic<bool> g_samplerRunning{false};
std::atomic<bool> g_noSpeedStep{false};

SpeedMonitorConfig g_config;
common::UniqueHandle g_speedEvent;
common::UniqueHandle g_stopEvent;
common::UniqueHandle g_sampler;
common::UniqueHandle g_easing;

void Cpuid(unsigned leaf, int regs[4]) noexcept { __cpuid(regs, static_cast<int>(leaf)); }

double Weight(int i) noexcept {
    const int degrees = (i * kHalfTurnDegrees) / kEasingSteps + 1;
    return std::sin(degrees * kPi / kHalfTurnDegrees);
}

DWORD StepDelay(int shown, int target, DWORD duration) noexcept {
    const long long p = duration;
    const long long d = target - shown;
    long long first = (p * d / kFullPercent) / kEasingSteps;
    if (first < 0) {
        first = -first;
    }
    return static_cast<DWORD>(first + (p * (kFullPercent - target) / kFullPercent) / kEasingSteps);
}

// The shown value after step i of a run (accumulated holds the running sum); true when the run
// reached the target.
bool EasingStep(int shown, int target, int i, double* accumulated, int* value) noexcept {
    const int d = target - shown;
    *accumulated += d * kEasingFactor * Weight(i);
    const int candidate = static_cast<int>(*accumulated) + shown;
    if ((d > 0 && candidate >= target) || (d < 0 && target >= candidate)) {
        *value = target;
        return true;
    }
    *value = candidate;
    return false;
}

LONG ReadProcessors(void* buffer, ULONG size) noexcept {
    if (g_config.readProcessors != nullptr) {
        return g_config.readProcessors(buffer, size);
    }
    return CallNtPowerInformation(ProcessorInformation, nullptr, 0, buffer, size);
}

bool Stopping() noexcept {
    return !g_config.runFlag->load() || WaitForSingleObject(g_stopEvent.Get(), 0) == WAIT_OBJECT_0;
}

void InvalidatePanel() noexcept {
    HWND panel = g_config.panelWindow != nullptr ? g_config.panelWindow() : nullptr;
    if (panel != nullptr) {
        InvalidateRect(panel, nullptr, FALSE);
    }
}

// Stores a sample under the lock; true when it differs from the stored pair.
bool StoreSample(const ProcessorPowerInformation& cpu0) noexcept {
    common::MutexLock lock(g_config.sampleLock, kLockWaitMs);
    if (g_config.sampleLock != nullptr && !lock.Owned()) {
        return false;  // skipped this cycle
    }
    if (cpu0.CurrentMhz == g_currentMhz.load() && cpu0.MaxMhz == g_maximumMhz.load()) {
        return false;
    }
    g_currentMhz = cpu0.CurrentMhz;
    g_maximumMhz = cpu0.MaxMhz;
    return true;
}

void SamplerLoop() noexcept {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const ULONG size = static_cast<ULONG>(info.dwNumberOfProcessors * sizeof(ProcessorPowerInformation));
    std::vector<ProcessorPowerInformation> buffer;
    try {
        buffer.resize(info.dwNumberOfProcessors);
    } catch (...) {
        WriteErrorLog(IDS_ERR_HEAP_ALLOC, size, ERRLOG_FILE);
        g_samplerRunning = false;
        return;
    }
    DWORD failures = 0;
    while (!Stopping()) {
        const LONG status = ReadProcessors(buffer.data(), size);
        if (status != 0) {
            // One failed sample is logged and tried again next period; only a run of them
            // stops this thread (the rest of the program keeps running).
            if (failures == 0) {
                WriteErrorLog(IDS_ERR_PROCESSOR_INFO, static_cast<DWORD>(status), ERRLOG_FILE);
            }
            if (++failures >= kSamplerFailureLimit) {
                break;
            }
        } else {
            failures = 0;
            const bool changed = StoreSample(buffer[0]);
            HWND main = g_config.mainWindow != nullptr ? g_config.mainWindow() : nullptr;
            if (main != nullptr && changed) {
                const DWORD current = g_currentMhz.load();
                const DWORD maximum = g_maximumMhz.load();
                g_target = TargetPercent(current, maximum);
                SetEvent(g_speedEvent.Get());
                DWORD_PTR result = 0;
                // Bounded, so that a main window busy joining this thread cannot hold it.
                SendMessageTimeoutW(main, kSpeedMessage, current, maximum, SMTO_NORMAL, kSendTimeoutMs, &result);
            }
        }
        if (WaitForSingleObject(g_stopEvent.Get(), g_config.samplePeriodMs) != WAIT_TIMEOUT) {
            break;
        }
        g_samplerWakeups.fetch_add(1);
    }
    g_samplerRunning = false;
}

// One easing run from the shown value; false when the thread must stop.
bool EaseOnce(bool* targetChanged) noexcept {
    const int target = g_target.load();
    const int shown = g_shown.load();
    *targetChanged = false;
    if (target == shown) {
        return true;
    }
    const DWORD delay = StepDelay(shown, target, g_config.easingDurationMs);
    double accumulated = 0.0;
    for (int i = 0; i < kEasingSteps; ++i) {
        int value = shown;
        const bool reached = EasingStep(shown, target, i, &accumulated, &value);
        g_shown = value;
        InvalidatePanel();
        if (WaitForSingleObject(g_stopEvent.Get(), delay) != WAIT_TIMEOUT || !g_config.runFlag->load()) {
            return false;
        }
        g_easingWakeups.fetch_add(1);
        if (g_target.load() != target) {
            *targetChanged = true;
            return true;
        }
        if (reached) {
            break;
        }
    }
    return true;
}

void EasingLoop() noexcept {
    HANDLE waits[2] = {g_stopEvent.Get(), g_speedEvent.Get()};
    while (g_config.runFlag->load()) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1 || !g_config.runFlag->load()) {
            return;
        }
        g_easingWakeups.fetch_add(1);
        bool targetChanged = true;
        while (targetChanged) {
            if (!EaseOnce(&targetChanged)) {
                return;
            }
        }
        g_shown = g_target.load();
        InvalidatePanel();
        ResetEvent(g_speedEvent.Get());
    }
}

DWORD WINAPI SamplerThread(LPVOID) {
    SamplerLoop();
    return 0;
}

DWORD WINAPI EasingThread(LPVOID) {
    EasingLoop();
    return 0;
}

}  // namespace

int IdentifyProcessor() noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"IdentifyProcessor", L"Enter");
    int regs[4] = {};
    Cpuid(kLeafVendor, regs);
    char vendor[13] = {};
    memcpy(vendor, &regs[1], 4);
    memcpy(vendor + 4, &regs[3], 4);
    memcpy(vendor + 8, &regs[2], 4);
    int result = -1;
    if (strcmp(vendor, "GenuineIntel") == 0) {
        Cpuid(kLeafFeatures, regs);
        result = (regs[2] >> kEnhancedSpeedStepBit) & 1;
    }
    Cpuid(kLeafExtendedMax, regs);
    const unsigned highest = static_cast<unsigned>(regs[0]);
    if (highest > kLeafNameFirst + 1) {
        char name[49] = {};
        for (unsigned leaf = kLeafNameFirst; leaf <= kLeafNameLast; ++leaf) {
            Cpuid(leaf, regs);
            memcpy(name + (leaf - kLeafNameFirst) * sizeof(regs), regs, sizeof(regs));
        }
        LOG_TRACE(TRACE_LEVEL_VALUES, L"IdentifyProcessor", L"%S", name);
    }
    if (highest > kLeafPowerManagement - 1) {
        Cpuid(kLeafPowerManagement, regs);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"IdentifyProcessor", L"invariant TSC:%d", (regs[3] >> kInvariantTscBit) & 1);
    }
    g_noSpeedStep = result == 0;
    LOG_TRACE(TRACE_LEVEL_APP, L"IdentifyProcessor", L"Exit retval:%08x", static_cast<DWORD>(result));
    return result;
}

int TargetPercent(DWORD currentMhz, DWORD maximumMhz) noexcept {
    if (maximumMhz == 0) {
        return 0;
    }
    const ULONGLONG percent = static_cast<ULONGLONG>(currentMhz) * kFullPercent / maximumMhz;
    return percent > kFullPercent ? kFullPercent : static_cast<int>(percent);
}

EasingPlan PlanEasing(int shown, int target, DWORD durationMs) noexcept {
    EasingPlan plan{};
    plan.dwStepDelayMs = StepDelay(shown, target, durationMs);
    double accumulated = 0.0;
    bool reached = shown == target;
    int value = shown;
    for (int i = 0; i < kEasingSteps; ++i) {
        if (!reached) {
            reached = EasingStep(shown, target, i, &accumulated, &value);
            plan.steps = i + 1;
        }
        plan.values[i] = reached ? target : value;
    }
    return plan;
}

bool NoSpeedStep() noexcept { return g_noSpeedStep.load(); }

SpeedSample GetSpeedSample() noexcept { return {g_currentMhz.load(), g_maximumMhz.load()}; }
int TargetPercentNow() noexcept { return g_target.load(); }
int ShownPercent() noexcept { return g_shown.load(); }

DWORD StartSpeedMonitor(const SpeedMonitorConfig& config) noexcept {
    if (config.runFlag == nullptr || g_sampler || g_easing) {
        return ERROR_INVALID_PARAMETER;
    }
    g_config = config;
    g_speedEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_speedEvent || !g_stopEvent) {
        return GetLastError();
    }
    g_samplerRunning = true;
    g_sampler.Reset(common::StartWorkerThread(SamplerThread, nullptr, common::kSmallStackBytes));
    if (g_sampler && config.easingDurationMs != 0) {
        g_easing.Reset(common::StartWorkerThread(EasingThread, nullptr, common::kSmallStackBytes));
    }
    if (!g_sampler || (config.easingDurationMs != 0 && !g_easing)) {
        const DWORD error = GetLastError();
        g_samplerRunning = false;
        JoinSpeedMonitor();
        return error != ERROR_SUCCESS ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_SUCCESS;
}

void JoinSpeedMonitor() noexcept {
    if (g_stopEvent) {
        SetEvent(g_stopEvent.Get());
    }
    for (common::UniqueHandle* thread : {&g_sampler, &g_easing}) {
        if (*thread) {
            WaitForSingleObject(thread->Get(), INFINITE);
            thread->Reset();
        }
    }
    g_speedEvent.Reset();
    g_stopEvent.Reset();
}

void ReportTarget() noexcept {
    int target = 0;
    {
        common::MutexLock lock(g_config.sampleLock, kLockWaitMs);
        if (g_config.sampleLock != nullptr && !lock.Owned()) {
            return;
        }
        target = TargetPercent(g_currentMhz.load(), g_maximumMhz.load());
        g_target = target;
    }
    HWND main = g_config.mainWindow != nullptr ? g_config.mainWindow() : nullptr;
    if (main != nullptr) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main, kSpeedMessage, static_cast<WPARAM>(target), kFullPercent, SMTO_NORMAL,
                            kSendTimeoutMs, &result);
    }
    if (g_speedEvent) {
        SetEvent(g_speedEvent.Get());
    }
}

void RestartGauge() noexcept {
    g_shown = 0;
    g_target = kFullPercent;
    ReportTarget();
}

bool SamplerRunning() noexcept { return g_samplerRunning.load(); }
DWORD SamplerWakeups() noexcept { return g_samplerWakeups.load(); }
DWORD EasingWakeups() noexcept { return g_easingWakeups.load(); }

}  // namespace meter
