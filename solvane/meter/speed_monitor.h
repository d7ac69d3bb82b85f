// The processor speed monitor: processor identification, the nominal frequency over WMI, the
// 1-second sampler that reports the speed to the main window and the easing thread that moves
// the panel's gauge towards the measured speed.
#pragma once

#include <windows.h>

#include <atomic>

namespace meter {

constexpr DWORD kSamplePeriodMs = 1000;
constexpr DWORD kEasingDurationMs = 1000;
constexpr int kEasingSteps = 20;
constexpr DWORD kSamplerFailureLimit = 10;   // consecutive failed samples before the sampler stops

// CPUID: 1 "GenuineIntel" with Enhanced SpeedStep, 0 "GenuineIntel" without, -1 other vendors.
// Sets the no-speed-step flag (result 0).
int IdentifyProcessor() noexcept;
bool NoSpeedStep() noexcept;

// The "PercentFrequency" = 100 performance state's "Frequency" of WMI's "ProcessorStatus"
// (namespace "root\WMI"); 0 when none answers.
DWORD QueryProcessorStatusMhz() noexcept;

// Target percentage of a sample: 0 without a maximum, at most 100.
int TargetPercent(DWORD currentMhz, DWORD maximumMhz) noexcept;

// The easing run from shown S towards target T over duration P: step delay and the shown value
// after each of the twenty steps (the run ends at T; later entries repeat it).
struct EasingPlan {
    DWORD dwStepDelayMs;
    int values[kEasingSteps];
    int steps;   // steps taken until T was reached (or 20)
};
EasingPlan PlanEasing(int shown, int target, DWORD durationMs) noexcept;

// Shared speed values.
struct SpeedSample {
    DWORD currentMhz;
    DWORD maximumMhz;
};
SpeedSample GetSpeedSample() noexcept;
int TargetPercentNow() noexcept;
int ShownPercent() noexcept;

// What the threads report to: the main window (WM_USER+1), the panel to invalidate, the lock of
// the sample (the single-instance mutex), the run flag. Tests replace the sample source.
struct SpeedMonitorConfig {
    const std::atomic<bool>* runFlag = nullptr;
    HANDLE sampleLock = nullptr;
    HWND (*mainWindow)() = nullptr;
    HWND (*panelWindow)() = nullptr;
    LONG (*readProcessors)(void* buffer, ULONG size) = nullptr;   // null: CallNtPowerInformation
    DWORD samplePeriodMs = kSamplePeriodMs;
    DWORD easingDurationMs = kEasingDurationMs;
};

DWORD StartSpeedMonitor(const SpeedMonitorConfig& config) noexcept;
// Under the sample lock (at most 1000 ms): the target from the last sample, sent to the main
// window as WM_USER+1 (percentage, 100); then the speed event is set. Skipped on a time-out.
void ReportTarget() noexcept;
// The panel starts its gauge from 0 towards 100, then reports the real target.
void RestartGauge() noexcept;
void JoinSpeedMonitor() noexcept;
bool SamplerRunning() noexcept;
DWORD SamplerWakeups() noexcept;
DWORD EasingWakeups() noexcept;

}  // namespace meter
