// Starting the data service "Morrow.exe" once for all users of the session and ending it with
// the last one, counted in the shared blocks "Tarvik_COUNTER" and "Tarvik_HANDLE".
#pragma once

#include <windows.h>

#include "tarvik/share_memory.h"

namespace tarvik {

extern const wchar_t kCounterBlockName[];  // "Tarvik_COUNTER"
extern const wchar_t kHandleBlockName[];   // "Tarvik_HANDLE"
extern const wchar_t kServiceProgram[];    // "C:\Program Files\Morrow\Morrow.exe"
extern const wchar_t kServiceImageName[];  // "Morrow.exe"

constexpr DWORD kMaxTrackedUsers = 64;

// One process that started the service, so that a user that dies can be taken off the count.
struct EngineUser {
    DWORD dwProcessId;
    LONG lStarts;
    ULONGLONG ullCreationTime;  // FILETIME of the process, tells a reused process id apart
};

// Layout of "Tarvik_COUNTER". The count at offset 0 is the number of starts not yet stopped.
struct EngineCounterBlock {
    LONG lCount;
    DWORD dwUsers;
    EngineUser users[kMaxTrackedUsers];
};

// Layout of "Tarvik_HANDLE": the process id of the running service (0 when none).
struct EngineServiceSlot {
    ULONGLONG ullProcessId;
};

class Engine {
public:
    // Creates or opens both blocks; TRUE when the slot block is usable.
    BOOL Open() noexcept;
    void Close() noexcept;
    BOOL Start() noexcept;
    void Stop() noexcept;

private:
    bool EndService() noexcept;
    void DropDeadUsers(EngineCounterBlock& block) noexcept;

    CShareMemory m_counter;
    CShareMemory m_slot;
};

// The process behind `processId` still runs and is the one that was recorded.
bool UserStillRuns(DWORD processId, ULONGLONG creationTime) noexcept;
ULONGLONG ProcessCreationTime(HANDLE process) noexcept;

}  // namespace tarvik
