// Pausing a worker thread from the main thread without freezing it where it stands: the worker
// waits on the gate at the top of its next turn, so it never stops while it holds a lock or is
// inside the heap. Used for the automatic plan change thread while the console is disconnected.
#pragma once

#include <windows.h>

#include "common/handles.h"

class ThreadPauseGate {
public:
    // Creates the gate open. ERROR_SUCCESS or the CreateEvent error.
    DWORD Create() noexcept;
    void Close() noexcept { m_open.Reset(); }
    bool Valid() const noexcept { return m_open.Valid(); }
    // Main thread: the worker stops at its next turn / goes on.
    void Pause() noexcept;
    void Resume() noexcept;
    bool Paused() const noexcept;
    // Worker: returns true when it may go on, false when `stop` was set (or waiting failed).
    // Without a gate it goes on at once (unless `stop` is set).
    bool WaitWhilePaused(HANDLE stop) const noexcept;

private:
    common::UniqueHandle m_open;  // manual-reset event, set while the worker may run
};

// The gate of the automatic plan change thread.
extern ThreadPauseGate g_AucPauseGate;

// Joins a worker at shutdown: up to 11 waits of 500 ms, then closes the handle. True when the
// thread ended within the bound.
bool JoinWorkerThread(common::UniqueHandle& thread, const wchar_t* name) noexcept;
