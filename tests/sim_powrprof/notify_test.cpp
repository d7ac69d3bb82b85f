// Active-plan changes reach the top-level windows of every process that has powrprof loaded.
#include "test_support.h"

#include "common/handles.h"
#include "sim/powrprof/power_guids.h"

using namespace simpower;
using namespace simpower_test;

namespace {

constexpr DWORD WAIT_MS = 10000;
constexpr DWORD EXIT_WAIT_MS = 5000;
constexpr WPARAM POWER_SETTING_CHANGE = 0x8013;  // PBT_POWERSETTINGCHANGE
constexpr DWORD EXPECTED_BYTES = sizeof(GUID) + sizeof(DWORD) + sizeof(GUID);
constexpr wchar_t TEST_CLASS[] = L"SimPowrprofTestWindow";

struct Received {
    int count = 0;
    GUID setting{};
    DWORD dataLength = 0;
    GUID plan{};
};
Received g_received;

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_POWERBROADCAST && wParam == POWER_SETTING_CHANGE && lParam != 0) {
        const BYTE* p = reinterpret_cast<const BYTE*>(lParam);
        memcpy(&g_received.setting, p, sizeof(GUID));
        memcpy(&g_received.dataLength, p + sizeof(GUID), sizeof(DWORD));
        if (g_received.dataLength == sizeof(GUID)) memcpy(&g_received.plan, p + sizeof(GUID) + sizeof(DWORD), sizeof(GUID));
        ++g_received.count;
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Pumps this thread's messages until the predicate holds or the time is up.
template <typename Pred>
bool PumpUntil(Pred done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

class PowrprofNotify : public FreshPowerStore {};

TEST_F(PowrprofNotify, OwnWindowsReceiveTheNewActivePlan) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = TEST_CLASS;
    RegisterClassW(&wc);
    common::UniqueWindow window(CreateWindowExW(0, TEST_CLASS, L"t", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                                nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(window.Valid());
    GUID* active = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, PowerGetActiveScheme(nullptr, &active));
    LocalFree(active);
    g_received = Received{};
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_HIGH_PERFORMANCE));
    // (A rebuilt store may be announced first; what counts is that the new plan arrives.)
    ASSERT_TRUE(PumpUntil([] { return IsEqualGUID(g_received.plan, PLAN_HIGH_PERFORMANCE); }, WAIT_MS));
    EXPECT_EQ(GuidText(GUID_ACTIVE_SCHEME_CHANGE), GuidText(g_received.setting));
    EXPECT_EQ(sizeof(GUID), g_received.dataLength);
    EXPECT_EQ(GuidText(PLAN_HIGH_PERFORMANCE), GuidText(g_received.plan));
    // A refused activation announces nothing; the next real one does.
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), PowerSetActiveScheme(nullptr, &GUID_ACTIVE_SCHEME_CHANGE));
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_POWER_SAVER));
    const int before = g_received.count;
    ASSERT_TRUE(PumpUntil([] { return IsEqualGUID(g_received.plan, PLAN_POWER_SAVER); }, WAIT_MS));
    EXPECT_GT(g_received.count, before);
    EXPECT_EQ(sizeof(GUID), g_received.dataLength);
    // Activating the active plan again changes nothing and announces nothing.
    const int afterChange = g_received.count;
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_POWER_SAVER));
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_BALANCED));
    ASSERT_TRUE(PumpUntil([] { return IsEqualGUID(g_received.plan, PLAN_BALANCED); }, WAIT_MS));
    EXPECT_EQ(afterChange + 1, g_received.count);
    window.Reset();
    UnregisterClassW(TEST_CLASS, wc.hInstance);
}

TEST_F(PowrprofNotify, AnotherProcessesWindowReceivesTheNewActivePlan) {
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    const std::wstring readyName = L"SimPowrprofListenerReady" + tag;
    const std::wstring receivedName = L"SimPowrprofListenerReceived" + tag;
    common::UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    common::UniqueHandle received(CreateEventW(nullptr, TRUE, FALSE, receivedName.c_str()));
    ASSERT_TRUE(ready.Valid() && received.Valid());
    TempFile output(L"listener-out");
    std::wstring exe = OwnFolder() + L"sim_powrprof_listener.exe";
    std::wstring cmd = L"\"" + exe + L"\" " + readyName + L" " + receivedName + L" \"" + output.Path() + L"\"";
    ASSERT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_BALANCED));  // store ready before it starts

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle thread(pi.hThread);
    HANDLE startWait[] = {ready.Get(), process.Get()};
    DWORD started = WaitForMultipleObjects(2, startWait, FALSE, WAIT_MS);

    bool sawIt = false;
    if (started == WAIT_OBJECT_0) {
        EXPECT_EQ(ERROR_SUCCESS, PowerSetActiveScheme(nullptr, &PLAN_HIGH_PERFORMANCE));
        sawIt = WaitForSingleObject(received.Get(), WAIT_MS) == WAIT_OBJECT_0;
    }
    PostThreadMessageW(pi.dwThreadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(process.Get(), EXIT_WAIT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), EXIT_WAIT_MS);
    }
    ASSERT_EQ(WAIT_OBJECT_0, started) << "the listener did not come up";
    ASSERT_TRUE(sawIt) << "the listener's window received no PBT_POWERSETTINGCHANGE";
    DWORD exitCode = 99;
    GetExitCodeProcess(process.Get(), &exitCode);
    EXPECT_EQ(0u, exitCode);

    common::UniqueFile file(CreateFileW(output.Path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    BYTE data[EXPECTED_BYTES + 1] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file.Get(), data, sizeof(data), &read, nullptr));
    ASSERT_EQ(EXPECTED_BYTES, read);
    GUID setting{};
    DWORD length = 0;
    GUID plan{};
    memcpy(&setting, data, sizeof(GUID));
    memcpy(&length, data + sizeof(GUID), sizeof(DWORD));
    memcpy(&plan, data + sizeof(GUID) + sizeof(DWORD), sizeof(GUID));
    EXPECT_EQ(GuidText(GUID_ACTIVE_SCHEME_CHANGE), GuidText(setting));
    EXPECT_EQ(sizeof(GUID), length);
    EXPECT_EQ(GuidText(PLAN_HIGH_PERFORMANCE), GuidText(plan));
}

}  // namespace
