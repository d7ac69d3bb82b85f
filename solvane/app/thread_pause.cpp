#include "app/thread_pause.h"

#include "common/log.h"
#include "common/threads.h"

ThreadPauseGate g_AucPauseGate;

DWORD ThreadPauseGate::Create() noexcept {
    m_open.Reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    return m_open ? ERROR_SUCCESS : GetLastError();
}

void ThreadPauseGate::Pause() noexcept {
    if (m_open) {
        ResetEvent(m_open.Get());
    }
}

void ThreadPauseGate::Resume() noexcept {
    if (m_open) {
        SetEvent(m_open.Get());
    }
}

bool ThreadPauseGate::Paused() const noexcept {
    return m_open && WaitForSingleObject(m_open.Get(), 0) == WAIT_TIMEOUT;
}

bool ThreadPauseGate::WaitWhilePaused(HANDLE stop) const noexcept {
    if (stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
        return false;
    }
    if (!m_open) {
        return true;
    }
    if (stop == nullptr) {
        return WaitForSingleObject(m_open.Get(), INFINITE) == WAIT_OBJECT_0;
    }
    // The stop event comes first: a stop request wins over an open gate.
    const HANDLE handles[] = {stop, m_open.Get()};
    const DWORD wait = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    return wait == WAIT_OBJECT_0 + 1;
}

bool JoinWorkerThread(common::UniqueHandle& thread, const wchar_t* name) noexcept {
    if (!thread) {
        return true;
    }
    const bool ended = common::JoinThread(thread);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"WndProc", L"%s %s", name, ended ? L"joined" : L"did not end in time");
    return ended;
}
