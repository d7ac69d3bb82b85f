#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <string>

#include "common/log.h"
#include "meter/speed_monitor.h"
#include "tests/battery/test_support.h"

namespace {

TEST(SpeedTarget, PercentOfTheMaximum) {
    struct {
        DWORD current;
        DWORD maximum;
        int percent;
    } cases[] = {{800, 1600, 50}, {1600, 1600, 100}, {2400, 1600, 100},  // turbo above the maximum
                 {1000, 0, 0},                                           // no maximum: no division
                 {0, 1600, 0},     {1599, 1600, 99}};
    for (const auto& c : cases) {
        EXPECT_EQ(meter::TargetPercent(c.current, c.maximum), c.percent) << c.current << "/" << c.maximum;
    }
}

TEST(SpeedEasing, TwentyWeightedStepsReachTheTarget) {
    const meter::EasingPlan up = meter::PlanEasing(0, 100, 1000);
    EXPECT_EQ(up.dwStepDelayMs, 50u);
    EXPECT_LE(up.steps, 20);
    EXPECT_EQ(up.values[19], 100);
    for (int i = 1; i < 20; ++i) {
        EXPECT_GE(up.values[i], up.values[i - 1]) << i;   // eased, never backwards
    }
    EXPECT_LT(up.values[0], 10);                           // starts slowly (sin 1°)
    const meter::EasingPlan down = meter::PlanEasing(100, 40, 1000);
    // |1000 × −60 / 100| / 20 + (1000 × 60 / 100) / 20
    EXPECT_EQ(down.dwStepDelayMs, 60u);
    EXPECT_EQ(down.values[19], 40);
    for (int i = 1; i < 20; ++i) {
        EXPECT_LE(down.values[i], down.values[i - 1]) << i;
    }
    const meter::EasingPlan still = meter::PlanEasing(30, 30, 1000);
    EXPECT_EQ(still.steps, 0);
    EXPECT_EQ(still.values[0], 30);
}

// The sample source of the sampler tests: fails `failures` times, then reports the pair.
std::atomic<int> g_failuresLeft{0};
std::atomic<int> g_calls{0};
std::atomic<ULONG> g_currentMhz{800};
LONG ScriptedProcessors(void* buffer, ULONG size) {
    ++g_calls;
    if (g_failuresLeft > 0) {
        --g_failuresLeft;
        return static_cast<LONG>(0xC0000001L);
    }
    ZeroMemory(buffer, size);
    ULONG* first = static_cast<ULONG*>(buffer);
    first[1] = 1600;            // MaxMhz
    first[2] = g_currentMhz;    // CurrentMhz
    return 0;
}

HWND g_window = nullptr;
std::atomic<int> g_speedMessages{0};
std::atomic<WPARAM> g_lastCurrent{0};
LRESULT CALLBACK SpeedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) {
        ++g_speedMessages;
        g_lastCurrent = wParam;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class SamplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        WNDCLASSW wc{};
        wc.lpfnWndProc = SpeedWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SpeedMonitorTest";
        RegisterClassW(&wc);
        g_window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                   nullptr);
        ASSERT_NE(g_window, nullptr);
        g_speedMessages = 0;
        g_calls = 0;
        run_ = true;
    }
    void TearDown() override {
        run_ = false;
        meter::JoinSpeedMonitor();
        DestroyWindow(g_window);
        DeleteFileW(L"error.log");
    }
    void Start() {
        meter::SpeedMonitorConfig config;
        config.runFlag = &run_;
        config.mainWindow = []() { return g_window; };
        config.readProcessors = ScriptedProcessors;
        config.samplePeriodMs = 20;
        config.easingDurationMs = 100;
        ASSERT_EQ(meter::StartSpeedMonitor(config), static_cast<DWORD>(ERROR_SUCCESS));
    }
    // Pumps this thread's messages until the predicate holds (at most 10 s).
    template <typename Predicate>
    bool PumpUntil(Predicate done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
        return done();
    }
    std::atomic<bool> run_{false};
};

TEST_F(SamplerTest, OneFailedSampleIsLoggedOnceAndSamplingGoesOn) {
    g_failuresLeft = 3;
    g_currentMhz = 800;
    Start();
    ASSERT_TRUE(PumpUntil([] { return g_speedMessages.load() >= 1; }));
    EXPECT_EQ(g_lastCurrent.load(), 800u);
    EXPECT_TRUE(meter::SamplerRunning());
    EXPECT_TRUE(run_.load());   // the program's run flag stays set
    const std::wstring log = battery_test::ErrorLog();
    EXPECT_EQ(battery_test::Count(log, L"fail : CallNtPowerInformation/Processor"), 1u) << log;
    // A new speed is reported and the gauge eases to the new target.
    g_currentMhz = 1200;
    ASSERT_TRUE(PumpUntil([] { return g_lastCurrent.load() == 1200u; }));
    EXPECT_EQ(meter::TargetPercentNow(), 75);
    ASSERT_TRUE(PumpUntil([] { return meter::ShownPercent() == 75; }));
}

TEST_F(SamplerTest, ARunOfFailuresStopsOnlyTheSampler) {
    g_failuresLeft = 1000;
    Start();
    ASSERT_TRUE(PumpUntil([] { return !meter::SamplerRunning(); }));
    EXPECT_EQ(g_calls.load(), static_cast<int>(meter::kSamplerFailureLimit));
    EXPECT_TRUE(run_.load());
    EXPECT_EQ(g_speedMessages.load(), 0);
    const std::wstring log = battery_test::ErrorLog();
    EXPECT_EQ(battery_test::Count(log, L"fail : CallNtPowerInformation/Processor"), 1u) << log;
}

TEST(ProcessorStatus, WithoutTheWmiClassTheFrequencyIsUnknown) {
    // Wine's "root\WMI" has no "ProcessorStatus": the query ends cleanly with 0.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    EXPECT_EQ(meter::QueryProcessorStatusMhz(), 0u);
    CoUninitialize();
}

}  // namespace
