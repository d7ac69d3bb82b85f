// Morrow.exe of the simulated PC: the resident data service. It has no window, runs once per
// session (a second start ends at once with exit code 1) and stays until it is ended, either
// from outside or through the event "SimulatedPC_Morrow_Stop". It records its process id as
// "ServicePid" and counts "ServiceStarts" under HKLM\Software\SimulatedPC\Morrow.
#include <windows.h>

#include "common/handles.h"
#include "sim/morrow/morrow_data.h"

namespace {

constexpr wchar_t kInstanceMutex[] = L"SimulatedPC_Morrow_Service";
constexpr wchar_t kStopEvent[] = L"SimulatedPC_Morrow_Stop";
constexpr int kExitAlreadyRunning = 1;
constexpr int kExitFailed = 2;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    common::UniqueHandle instance(CreateMutexW(nullptr, FALSE, kInstanceMutex));
    if (!instance) {
        return kExitFailed;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        return kExitAlreadyRunning;
    }
    common::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, kStopEvent));
    if (!stop) {
        return kExitFailed;
    }
    morrow::WriteLogValue(L"ServicePid", GetCurrentProcessId());
    morrow::AddToLogValue(L"ServiceStarts", 1);
    WaitForSingleObject(stop.Get(), INFINITE);
    morrow::WriteLogValue(L"ServicePid", 0);
    return 0;
}
