// CShareMemory: a named block of shared memory with its own mutex ("<name>Mutex"), shared by
// every process of the session that loads the library.
#pragma once

#include <windows.h>

#include "common/handles.h"

namespace tarvik {

class CShareMemory {
public:
    CShareMemory() noexcept;
    virtual ~CShareMemory();
    CShareMemory(const CShareMemory&) = delete;
    CShareMemory& operator=(const CShareMemory&) = delete;

    // Creates or opens the block; in: wanted size, out: mapped length. A new block is zeroed.
    BOOL Create(const wchar_t* name, DWORD* pSize) noexcept;
    void Close() noexcept;
    // The view, locked; null when the block is unusable or the lock was not won in time.
    void* GetBuffer() noexcept;
    void ReleaseBuffer() noexcept;
    BOOL Lock() noexcept;
    void UnLock() noexcept;
    bool Created() const noexcept { return m_hMapping.Valid(); }

private:
    common::UniqueHandle m_hMapping;
    void* m_pView;
    DWORD m_dwLength;
    common::UniqueHandle m_hMutex;
};

constexpr DWORD kShareMemoryLockTimeoutMs = 100;

}  // namespace tarvik
