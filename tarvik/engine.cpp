#include "tarvik/engine.h"

#include "common/handles.h"
#include "common/log.h"
#include "tarvik/registry_operation.h"

namespace tarvik {

const wchar_t kCounterBlockName[] = L"Tarvik_COUNTER";
const wchar_t kHandleBlockName[] = L"Tarvik_HANDLE";
const wchar_t kServiceProgram[] = L"C:\\Program Files\\Morrow\\Morrow.exe";
const wchar_t kServiceImageName[] = L"Morrow.exe";

namespace {

constexpr wchar_t kEnable[] = L"Enable";
constexpr DWORD kEnabled = 1;
constexpr DWORD kServiceExitWaitMs = 2000;
constexpr DWORD kServiceExitCode = 0;

enum class Image {
    Service,  // the file-name part of the process's image is "Morrow.exe"
    Other,
    Unknown,  // the image name could not be read
};

Image ServiceImage(HANDLE process) noexcept {
    wchar_t image[MAX_PATH] = {};
    DWORD cch = ARRAYSIZE(image);
    if (!QueryFullProcessImageNameW(process, 0, image, &cch)) {
        return Image::Unknown;
    }
    const wchar_t* name = image;
    for (const wchar_t* p = image; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/') {
            name = p + 1;
        }
    }
    return CompareStringOrdinal(name, -1, kServiceImageName, -1, TRUE) == CSTR_EQUAL ? Image::Service
                                                                                       : Image::Other;
}

// What became of the recorded service process.
enum class ServiceState {
    Gone,         // no process, an ended one, or the id now names another program
    Running,      // the service runs and `process` may end it
    Unreachable,  // something still runs under the id that this process may not end or inspect
};

// Looks at the process a recorded id names: only a process that is known to have ended (or to
// be another program) counts as gone, so that the id is never dropped while the service runs.
ServiceState ProbeService(ULONGLONG processId, common::UniqueHandle* process) noexcept {
    process->Reset();
    if (processId == 0 || processId > MAXDWORD) {
        return ServiceState::Gone;
    }
    const DWORD id = static_cast<DWORD>(processId);
    common::UniqueHandle opened(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE,
                                            FALSE, id));
    const bool mayEnd = opened.Valid();
    if (!mayEnd) {
        if (GetLastError() == ERROR_INVALID_PARAMETER) {
            return ServiceState::Gone;  // no process has this id
        }
        opened.Reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id));
        if (!opened) {
            return GetLastError() == ERROR_INVALID_PARAMETER ? ServiceState::Gone : ServiceState::Unreachable;
        }
    }
    if (WaitForSingleObject(opened.Get(), 0) == WAIT_OBJECT_0) {
        return ServiceState::Gone;
    }
    const Image image = ServiceImage(opened.Get());
    if (image == Image::Other) {
        return ServiceState::Gone;  // the id was reused: the recorded service has ended
    }
    if (!mayEnd || image == Image::Unknown) {
        return ServiceState::Unreachable;  // never end a process that may not be the service
    }
    *process = std::move(opened);
    return ServiceState::Running;
}

void AddStart(EngineCounterBlock& block, DWORD processId, ULONGLONG creationTime) noexcept {
    for (DWORD i = 0; i < block.dwUsers && i < kMaxTrackedUsers; ++i) {
        if (block.users[i].dwProcessId == processId && block.users[i].ullCreationTime == creationTime) {
            ++block.users[i].lStarts;
            return;
        }
    }
    if (block.dwUsers < kMaxTrackedUsers) {
        block.users[block.dwUsers] = {processId, 1, creationTime};
        ++block.dwUsers;
    }
}

void RemoveUserAt(EngineCounterBlock& block, DWORD index) noexcept {
    block.users[index] = block.users[block.dwUsers - 1];
    block.users[block.dwUsers - 1] = {};
    --block.dwUsers;
}

void RemoveStart(EngineCounterBlock& block, DWORD processId, ULONGLONG creationTime) noexcept {
    for (DWORD i = 0; i < block.dwUsers; ++i) {
        if (block.users[i].dwProcessId == processId && block.users[i].ullCreationTime == creationTime) {
            if (--block.users[i].lStarts <= 0) {
                RemoveUserAt(block, i);
            }
            return;
        }
    }
}

}  // namespace

ULONGLONG ProcessCreationTime(HANDLE process) noexcept {
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool UserStillRuns(DWORD processId, ULONGLONG creationTime) noexcept {
    common::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    if (!process) {
        // A process we may not look at is taken to be alive; one that is gone cannot be opened.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
        return false;
    }
    return ProcessCreationTime(process.Get()) == creationTime;
}

BOOL Engine::Open() noexcept {
    DWORD counterSize = sizeof(EngineCounterBlock);
    m_counter.Create(kCounterBlockName, &counterSize);
    DWORD slotSize = sizeof(EngineServiceSlot);
    return m_slot.Create(kHandleBlockName, &slotSize);
}

void Engine::Close() noexcept {
    m_counter.Close();
    m_slot.Close();
}

bool Engine::EndService() noexcept {
    auto* slot = static_cast<EngineServiceSlot*>(m_slot.GetBuffer());
    if (slot == nullptr) {
        return false;
    }
    common::UniqueHandle service;
    bool gone = true;
    switch (ProbeService(slot->ullProcessId, &service)) {
    case ServiceState::Gone:
        break;
    case ServiceState::Running:
        LOG_TRACE(TRACE_LEVEL_VALUES, L"TarvikStopEngine", L"terminate service %I64u", slot->ullProcessId);
        gone = TerminateProcess(service.Get(), kServiceExitCode) &&
               WaitForSingleObject(service.Get(), kServiceExitWaitMs) == WAIT_OBJECT_0;
        break;
    case ServiceState::Unreachable:
        gone = false;
        break;
    }
    if (gone) {
        slot->ullProcessId = 0;
    } else {
        // Kept: the next start must find the running service instead of starting a second one,
        // and the next last stop tries again.
        LOG_TRACE(TRACE_LEVEL_VALUES, L"TarvikStopEngine", L"service %I64u could not be ended (%u)",
                  slot->ullProcessId, GetLastError());
    }
    m_slot.ReleaseBuffer();
    return gone;
}

// Takes the starts of processes that ended without stopping off the count; when nobody is left,
// the service they started is ended as the last stop would have done.
void Engine::DropDeadUsers(EngineCounterBlock& block) noexcept {
    if (block.dwUsers > kMaxTrackedUsers) {
        block.dwUsers = kMaxTrackedUsers;
    }
    LONG dropped = 0;
    for (DWORD i = 0; i < block.dwUsers;) {
        const EngineUser& user = block.users[i];
        if (UserStillRuns(user.dwProcessId, user.ullCreationTime)) {
            ++i;
            continue;
        }
        LOG_TRACE(TRACE_LEVEL_VALUES, L"Engine::DropDeadUsers", L"user %u ended with %d start(s)",
                  user.dwProcessId, user.lStarts);
        dropped += user.lStarts > 0 ? user.lStarts : 0;
        RemoveUserAt(block, i);
    }
    if (block.lCount < 0) {
        block.lCount = 0;
    }
    if (dropped == 0) {
        return;
    }
    const LONG before = block.lCount;
    block.lCount = before > dropped ? before - dropped : 0;
    if (before > 0 && block.lCount == 0) {
        EndService();
    }
}

BOOL Engine::Start() noexcept {
    auto* block = static_cast<EngineCounterBlock*>(m_counter.GetBuffer());
    if (block == nullptr) {
        return FALSE;
    }
    DropDeadUsers(*block);
    if (block->lCount == 0) {
        if (!CRegistryOperation::WriteDword(kMorrowKey, kEnable, kEnabled)) {
            m_counter.ReleaseBuffer();
            return FALSE;
        }
        auto* slot = static_cast<EngineServiceSlot*>(m_slot.GetBuffer());
        common::UniqueHandle service;
        const bool running =
            slot != nullptr && ProbeService(slot->ullProcessId, &service) != ServiceState::Gone;
        if (!running) {
            STARTUPINFOW startup = {};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION info = {};
            if (!CreateProcessW(kServiceProgram, nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                nullptr, nullptr, &startup, &info)) {
                LOG_TRACE(TRACE_LEVEL_VALUES, L"TarvikStartEngine", L"CreateProcess failed (%u)",
                          GetLastError());
                if (slot != nullptr) {
                    m_slot.ReleaseBuffer();
                }
                m_counter.ReleaseBuffer();
                return FALSE;
            }
            common::UniqueHandle process(info.hProcess);
            common::UniqueHandle thread(info.hThread);
            if (slot != nullptr) {
                slot->ullProcessId = info.dwProcessId;
            }
        }
        if (slot != nullptr) {
            m_slot.ReleaseBuffer();
        }
    }
    ++block->lCount;
    AddStart(*block, GetCurrentProcessId(), ProcessCreationTime(GetCurrentProcess()));
    m_counter.ReleaseBuffer();
    return TRUE;
}

void Engine::Stop() noexcept {
    auto* block = static_cast<EngineCounterBlock*>(m_counter.GetBuffer());
    if (block == nullptr) {
        return;
    }
    DropDeadUsers(*block);
    if (block->lCount > 0) {
        --block->lCount;
        RemoveStart(*block, GetCurrentProcessId(), ProcessCreationTime(GetCurrentProcess()));
        if (block->lCount == 0) {
            EndService();
        }
    }
    m_counter.ReleaseBuffer();
}

}  // namespace tarvik
