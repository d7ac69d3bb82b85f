#include "common/threads.h"

namespace common {

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
