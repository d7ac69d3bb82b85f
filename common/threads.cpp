#include "common/threads.h"

namespace common {

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE proc, void* parameter, SIZE_T stackBytes,
                         DWORD* threadId) noexcept {
    return ::CreateThread(nullptr, stackBytes, proc, parameter, STACK_SIZE_PARAM_IS_A_RESERVATION, threadId);
}

bool JoinThread(UniqueHandle& thread) noexcept {
    if (!thread) {
        return true;
    }
    bool ended = false;
    for (int i = 0; i < kJoinSteps && !ended; ++i) {
        ended = ::WaitForSingleObject(thread.Get(), kJoinStepMs) != WAIT_TIMEOUT;
    }
    thread.Reset();
    return ended;
}

}  // namespace common
