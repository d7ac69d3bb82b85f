// Joining worker threads at shutdown: every program waits the same bounded way.
#pragma once

#include <windows.h>

#include "common/handles.h"

namespace common {

// Stack reserves of worker threads: one that waits and does small work of its own, and one that
// calls into other libraries (device set-up, plan activation, the peak-shift library, DDC/CI).
constexpr SIZE_T kSmallStackBytes = 64 * 1024;
constexpr SIZE_T kLibraryStackBytes = 256 * 1024;

// Starts a worker thread with only stackBytes of address space reserved for its stack (the
// program's default would reserve megabytes for each). Null on failure (GetLastError tells).
HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE proc, void* parameter, SIZE_T stackBytes,
                         DWORD* threadId = nullptr) noexcept;

constexpr DWORD kJoinStepMs = 500;
constexpr int kJoinSteps = 11;

// Waits for a thread to end, in at most kJoinSteps waits of kJoinStepMs, then closes its handle
// (an empty handle counts as ended). True when the thread ended in time.
bool JoinThread(UniqueHandle& thread) noexcept;

}  // namespace common
