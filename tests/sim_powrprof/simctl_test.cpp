// simctl's plan commands drive the stand-in from another process.
#include "test_support.h"

#include "common/handles.h"
#include "sim/powrprof/power_guids.h"
#include "sim/powrprof/store_layout.h"
#include "tests/support/simctl_run.h"

using namespace simpower;
using namespace simpower_test;

namespace {

constexpr DWORD NOTIFY_WAIT_MS = 10000;
constexpr WPARAM POWER_SETTING_CHANGE = 0x8013;  // PBT_POWERSETTINGCHANGE
constexpr wchar_t WINDOW_CLASS[] = L"SimPowrprofSimctlTest";

GUID g_lastPlan{};
int g_notifications = 0;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_POWERBROADCAST && wParam == POWER_SETTING_CHANGE && lParam != 0) {
        memcpy(&g_lastPlan, reinterpret_cast<const BYTE*>(lParam) + sizeof(GUID) + sizeof(DWORD), sizeof(GUID));
        ++g_notifications;
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Runs simctl with the arguments; its exit code, or -1 when it could not run.
int RunSimctl(const std::wstring& args) {
    // Pump while waiting: simctl's activation is announced to this thread's window meanwhile.
    return static_cast<int>(testsupport::RunSimctlCommand(args, testsupport::Pump::All).exitCode);
}

class PowrprofSimctl : public FreshPowerStore {
protected:
    KeyStash m_processor{PROCESSOR_KEY};
};

TEST_F(PowrprofSimctl, ActivateChangesThePlanAndIsAnnouncedHere) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = WINDOW_CLASS;
    RegisterClassW(&wc);
    common::UniqueWindow window(CreateWindowExW(0, WINDOW_CLASS, L"s", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                                nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(window.Valid());
    EXPECT_EQ(3u, EnumeratePlans().size());  // seeds the store and starts this process's watcher
    g_notifications = 0;
    g_lastPlan = GUID{};
    ASSERT_EQ(0, RunSimctl(L"activate a1841308-3541-4fab-bc81-f71556f20b4a"));
    GUID* active = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, PowerGetActiveScheme(nullptr, &active));
    common::UniqueLocal owner(active);
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(*active));
    const ULONGLONG end = GetTickCount64() + NOTIFY_WAIT_MS;
    while (!IsEqualGUID(g_lastPlan, PLAN_POWER_SAVER) && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    ASSERT_GT(g_notifications, 0);
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(g_lastPlan));
    // Refused activations change nothing.
    EXPECT_EQ(1, RunSimctl(L"activate {12345678-1234-1234-1234-123456789012}"));
    EXPECT_EQ(2, RunSimctl(L"activate not-a-guid"));
    GUID* still = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, PowerGetActiveScheme(nullptr, &still));
    common::UniqueLocal stillOwner(still);
    EXPECT_EQ(GuidText(PLAN_POWER_SAVER), GuidText(*still));
    EXPECT_EQ(0, RunSimctl(L"plans"));
    window.Reset();
    UnregisterClassW(WINDOW_CLASS, wc.hInstance);
}

TEST_F(PowrprofSimctl, CpuMhzIsWhatTheProcessorReportsNext) {
    WriteDword(PROCESSOR_KEY, VALUE_MAX_MHZ, 3000);
    ASSERT_EQ(0, RunSimctl(L"cpu-mhz 800"));
    EXPECT_EQ(800u, ReadDword(PROCESSOR_KEY, VALUE_CURRENT_MHZ, 0));
    struct {
        ULONG Number, MaxMhz, CurrentMhz, MhzLimit, MaxIdleState, CurrentIdleState;
    } cpus[64] = {};
    ASSERT_EQ(0, CallNtPowerInformation(ProcessorInformation, nullptr, 0, cpus, sizeof(cpus)));
    EXPECT_EQ(800u, cpus[0].CurrentMhz);
    EXPECT_EQ(3000u, cpus[0].MaxMhz);
    EXPECT_EQ(2, RunSimctl(L"cpu-mhz 0"));
    EXPECT_EQ(2, RunSimctl(L"cpu-mhz fast"));
    EXPECT_EQ(800u, ReadDword(PROCESSOR_KEY, VALUE_CURRENT_MHZ, 0));
}

}  // namespace
