// The baseline of the start-up benchmark: a hidden window and an empty message loop, nothing else.
//   startup_baseline [threads]
// With a count it also holds that many idle threads (64 KB stack reservations, each waiting on
// one event), so that a footprint can be compared with an empty program of as many threads.
#include <windows.h>

#include <cwchar>

#include "bench/startup/hidden_window.h"

namespace {

constexpr wchar_t kClassName[] = L"StartupBaseline";
constexpr SIZE_T kIdleStackBytes = 64 * 1024;
constexpr int kMaxIdleThreads = 64;

HANDLE g_stop = nullptr;

DWORD WINAPI IdleThread(LPVOID) { return WaitForSingleObject(g_stop, INFINITE); }

// The threads end with the process.
bool StartIdleThreads(int count) {
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < count && g_stop != nullptr; ++i) {
        HANDLE thread = CreateThread(nullptr, kIdleStackBytes, IdleThread, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                     nullptr);
        if (thread == nullptr) {
            return false;
        }
        CloseHandle(thread);
    }
    return g_stop != nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const int threads = commandLine != nullptr ? _wtoi(commandLine) : 0;
    if (threads < 0 || threads > kMaxIdleThreads || (threads > 0 && !StartIdleThreads(threads))) {
        return 2;
    }
    return benchmain::RunHiddenWindow(instance, kClassName, nullptr);
}
