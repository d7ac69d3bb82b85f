// The poll thread: one evaluation a pass, new results posted to the main window as 0x540.
#include <shlwapi.h>

#include <memory>

#include "app/app_messages.h"
#include "common/handles.h"
#include "common/threads.h"
#include "common/log.h"
#include "peakcut/peakcut.h"
#include "plans/peak_cut_values.h"
#include "resources/resource.h"

namespace peakcut {

namespace {

constexpr const wchar_t* kTraceThread = L"PeakCutThread";
constexpr DWORD kStepMs = 1000;
constexpr DWORD kJoinStepMs = 500;
constexpr int kJoinSteps = 11;

struct ThreadData {
    ThreadConfig config;
    PeakCutClient client;
    common::UniqueHandle ready;  // set once the thread's message queue exists
};

common::UniqueHandle g_thread;
DWORD g_threadId = 0;

bool Running(const ThreadConfig& config) { return config.runFlag != nullptr && config.runFlag->load(); }

HWND MainWindow(const ThreadConfig& config) { return config.mainWindow != nullptr ? config.mainWindow() : nullptr; }

EvalContext ContextNow() {
    EvalContext context;
    if (g_System.localTime != nullptr) {
        g_System.localTime(&context.now);
    } else {
        GetLocalTime(&context.now);
    }
    context.desktop = IsDesktopChassis();
    context.userChangedToday = UserChangedOn(context.now);
    return context;
}

// Waits until 0x542 arrives or the program stops; false when it stopped.
bool WaitForMainWindow(const ThreadConfig& config) {
    while (Running(config)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PEAKCUT_MAIN_READY) {
                return true;
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kStepMs, QS_POSTMESSAGE);
    }
    return false;
}

void SleepPass(const ThreadConfig& config) {
    for (DWORD slept = 0; slept < config.passMs && Running(config); slept += kStepMs) {
        const DWORD left = config.passMs - slept;
        Sleep(left < kStepMs ? left : kStepMs);
    }
}

DWORD WINAPI PeakCutThread(void* parameter) {
    std::unique_ptr<ThreadData> data(static_cast<ThreadData*>(parameter));
    LOG_TRACE(TRACE_LEVEL_APP, kTraceThread, L"Enter");
    // The queue exists before the starter returns: 0x542 can no longer be lost.
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(data->ready.Get());
    const ThreadConfig& config = data->config;
    PeakCutClient& client = data->client;

    EvalContext context = ContextNow();
    EvaluatePeakCut(client, context);
    client.reason = SettleStartup(client.level, client.reason, context.now);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceThread, L"start-up: level %lu reason %lu", client.level, client.reason);

    bool run = MainWindow(config) != nullptr || WaitForMainWindow(config);
    DWORD postedLevel = 0;
    DWORD postedReason = 0;
    bool first = true;
    while (run && Running(config)) {
        if (!first) {
            EvaluatePeakCut(client, ContextNow());
        }
        first = false;
        const bool post = client.level != postedLevel || client.reason != postedReason || g_dwPendingNotice.load() == 1;
        if (post) {
            postedLevel = client.level;
            postedReason = client.reason;
            if (HWND window = MainWindow(config); window != nullptr) {
                PostMessageW(window, WM_APP_PEAK_CUT_LEVEL, client.level, client.reason);
            }
            LOG_TRACE(TRACE_LEVEL_VALUES, kTraceThread, L"posted level %lu reason %lu", client.level, client.reason);
        }
        SleepPass(config);
    }
    StopClientEngine(client);
    LOG_TRACE(TRACE_LEVEL_APP, kTraceThread, L"Exit");
    return 0;
}

}  // namespace

DWORD StartPeakCutThread(const ThreadConfig& config) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"StartPeakCutThread", L"Enter");
    auto data = std::make_unique<ThreadData>();
    data->config = config;
    if (config.client != nullptr) {
        data->client = *config.client;
    } else {
        wchar_t path[MAX_PATH] = {};
        // Kept loaded until the process ends: the thread's pointers stay valid.
        HMODULE module = LibraryPath(path, MAX_PATH) ? LoadLibraryW(path) : nullptr;
        BindClient(module, &data->client);
    }
    data->ready.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!data->ready) {
        const DWORD error = GetLastError();
        LOG_TRACE(TRACE_LEVEL_APP, L"StartPeakCutThread", L"Exit - Error! retval:%08x", error);
        return error;
    }
    const HANDLE ready = data->ready.Get();
    ThreadData* raw = data.release();
    g_thread.Reset(common::StartWorkerThread(PeakCutThread, raw, common::kLibraryStackBytes, &g_threadId));
    if (!g_thread) {
        const DWORD error = GetLastError();
        delete raw;
        LOG_TRACE(TRACE_LEVEL_APP, L"StartPeakCutThread", L"Exit - Error! retval:%08x", error);
        return error;
    }
    HANDLE waits[] = {ready, g_thread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    LOG_TRACE(TRACE_LEVEL_APP, L"StartPeakCutThread", L"Exit retval:%08x", 0);
    return ERROR_SUCCESS;
}

void NotifyMainWindowReady() noexcept {
    if (g_threadId != 0) {
        PostThreadMessageW(g_threadId, WM_PEAKCUT_MAIN_READY, 0, 0);
    }
}

DWORD PeakCutThreadId() noexcept { return g_threadId; }

void JoinPeakCutThread() noexcept {
    if (!g_thread) {
        return;
    }
    for (int step = 0; step < kJoinSteps; ++step) {
        if (WaitForSingleObject(g_thread.Get(), kJoinStepMs) == WAIT_OBJECT_0) {
            break;
        }
    }
    g_thread.Reset();
    g_threadId = 0;
}

bool StartPeakCut(const std::atomic<bool>* runFlag, HWND (*mainWindow)(), DWORD* error) noexcept {
    *error = ERROR_SUCCESS;
    wchar_t path[MAX_PATH] = {};
    if (!LibraryPath(path, MAX_PATH) || !PathFileExistsW(path)) {
        g_bLibraryPresent = false;
        return false;
    }
    g_bLibraryPresent = true;
    const LSTATUS status = plans::WritePeakCutLevel(0);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SETTINGS_READ, status, ERRLOG_FILE);
    }
    LoadPeakShiftThreshold();
    InstallPromptHooks();
    ThreadConfig config;
    config.runFlag = runFlag;
    config.mainWindow = mainWindow;
    *error = StartPeakCutThread(config);
    if (*error != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_THREAD_PPI, *error, ERRLOG_FILE);
    }
    return true;
}

void EndPeakCut() noexcept {
    if (!g_bLibraryPresent.load()) {
        return;
    }
    const LSTATUS status = plans::WritePeakCutLevel(0);
    if (status != ERROR_SUCCESS) {
        WriteErrorLog(IDS_ERR_SETTINGS_READ, status, ERRLOG_FILE);
    }
}

}  // namespace peakcut
