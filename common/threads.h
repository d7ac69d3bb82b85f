// Joining worker threads at shutdown: every program waits the same bounded way.
#pragma once

#include <windows.h>

#include "common/handles.h"

namespace common {

constexpr DWORD kJoinStepMs = 500;
constexpr int kJoinSteps = 11;

// Waits for a thread to end, in at most kJoinSteps waits of kJoinStepMs, then closes its handle
// (an empty handle counts as ended). True when the thread ended in time.
bool JoinThread(UniqueHandle& thread) noexcept;

}  // namespace common
