#include "display/monitor_wait.h"

#include "common/handles.h"
#include "common/threads.h"
#include "common/log.h"
#include "display/monitors.h"
#include "resources/resource.h"

namespace display {

namespace {

struct WaitState {
    common::UniqueHandle thread;
    int result = 0;
};

DWORD WINAPI GetMonitorInfoThread(LPVOID parameter) {
    HWND dialog = static_cast<HWND>(parameter);
    const int result = InitializeMonitorData();
    PostMessageW(dialog, WM_APP_MONITOR_DATA_DONE, static_cast<WPARAM>(result), 0);
    return 0;
}

INT_PTR OnWaitInit(HWND dialog, LPARAM lParam) {
    auto* state = reinterpret_cast<WaitState*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    state->thread.Reset(common::StartWorkerThread(GetMonitorInfoThread, dialog, common::kLibraryStackBytes));
    if (!state->thread) {
        // No worker: the rebuild runs here so that the caller still gets the records.
        state->result = InitializeMonitorData();
        EndDialog(dialog, state->result);
    }
    return TRUE;
}

INT_PTR OnWaitDone(HWND dialog, WPARAM wParam) {
    auto* state = reinterpret_cast<WaitState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    state->result = static_cast<int>(wParam);
    // The thread has posted its last message; wait for its exit before the handle goes.
    WaitForSingleObject(state->thread.Get(), INFINITE);
    state->thread.Reset();
    EndDialog(dialog, state->result);
    return TRUE;
}

INT_PTR CALLBACK GetMonitorInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnWaitInit(dialog, lParam);
    case WM_APP_MONITOR_DATA_DONE:
        return OnWaitDone(dialog, wParam);
    case WM_CLOSE:
        return TRUE;  // the rebuild cannot be cut short
    default:
        return FALSE;
    }
}

}  // namespace

int InitializeMonitorDataWithUI(HWND owner) {
    LOG_TRACE(TRACE_LEVEL_APP, L"InitializeMonitorDataWithUI", L"Enter");
    WaitState state;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MONITOR_WAIT), owner, GetMonitorInfoDlgProc,
                    reinterpret_cast<LPARAM>(&state));
    LOG_TRACE(TRACE_LEVEL_APP, L"InitializeMonitorDataWithUI", L"Exit retval:%08x", state.result);
    return state.result;
}

}  // namespace display
