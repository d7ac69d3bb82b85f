#include "tarvik/share_memory.h"

#include <strsafe.h>

#include <cstring>

#include "common/log.h"

namespace tarvik {
namespace {

constexpr size_t kMaxMutexName = 264;
constexpr wchar_t kMutexSuffix[] = L"Mutex";

}  // namespace

CShareMemory::CShareMemory() noexcept : m_pView(nullptr), m_dwLength(0) {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CShareMemory::CShareMemory", L"Enter");
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CShareMemory::CShareMemory", L"Exit");
}

CShareMemory::~CShareMemory() {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CShareMemory::~CShareMemory", L"Enter");
    Close();
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CShareMemory::~CShareMemory", L"Exit");
}

BOOL CShareMemory::Create(const wchar_t* name, DWORD* pSize) noexcept {
    constexpr wchar_t kFn[] = L"CShareMemory::Create";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Enter");
    auto fail = [&](const wchar_t* why) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, why);
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
        return FALSE;
    };
    if (name == nullptr || name[0] == L'\0' || pSize == nullptr) {
        return fail(L"Parameter Invaild!");
    }
    if (m_hMapping) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Already Opened.");
        if (m_dwLength < *pSize) {
            return fail(L"Buffer Size is small");
        }
        *pSize = m_dwLength;
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
        return TRUE;
    }
    wchar_t mutexName[kMaxMutexName] = {};
    if (FAILED(StringCchPrintfW(mutexName, ARRAYSIZE(mutexName), L"%s%s", name, kMutexSuffix))) {
        return fail(L"Parameter Invaild!");
    }
    common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, mutexName));
    if (!mutex) {
        return fail(L"Mutex Create Fail");
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Created Mutex %s", mutexName);
    common::UniqueHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, *pSize, name));
    if (!mapping) {
        return fail(L"CreateFileMapping Fail");
    }
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Buffer Map success");
    void* view = MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        return fail(L"MapViewOfFile Fail");
    }
    MEMORY_BASIC_INFORMATION info = {};
    DWORD length = 0;
    if (VirtualQuery(view, &info, sizeof(info)) == sizeof(info)) {
        length = static_cast<DWORD>(info.RegionSize);
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Query Size is %d", static_cast<int>(length));
    m_hMutex = std::move(mutex);
    m_hMapping = std::move(mapping);
    m_pView = view;
    m_dwLength = length;
    if (length < *pSize) {
        Close();
        return fail(L"Buffer Size is small");
    }
    if (!existed) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Memory Zero Clear");
        std::memset(m_pView, 0, m_dwLength);
    }
    *pSize = m_dwLength;
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
    return TRUE;
}

void CShareMemory::Close() noexcept {
    constexpr wchar_t kFn[] = L"CShareMemory::Close";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Enter");
    if (m_pView != nullptr) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Unmap ViewOfFile");
        UnmapViewOfFile(m_pView);
        m_pView = nullptr;
    }
    if (m_hMapping) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Clsoe Mapping");
        m_hMapping.Reset();
    }
    if (m_hMutex) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Clsoe Mutex");
        m_hMutex.Reset();
    }
    m_dwLength = 0;
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
}

BOOL CShareMemory::Lock() noexcept {
    constexpr wchar_t kFn[] = L"CShareMemory::Lock";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Enter");
    if (!m_hMutex) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Not Init.");
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
        return FALSE;
    }
    const DWORD wait = WaitForSingleObject(m_hMutex.Get(), kShareMemoryLockTimeoutMs);
    BOOL locked = FALSE;
    if (wait == WAIT_OBJECT_0) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Lock");
        locked = TRUE;
    } else if (wait == WAIT_ABANDONED) {
        // The previous holder died while holding the lock: the mutex is ours all the same.
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Lock (abandoned)");
        locked = TRUE;
    } else {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Lock Fail(0x%08x)", GetLastError());
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
    return locked;
}

void CShareMemory::UnLock() noexcept {
    constexpr wchar_t kFn[] = L"CShareMemory::UnLock";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Enter");
    if (m_hMutex) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"UnLock");
        ReleaseMutex(m_hMutex.Get());
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
}

void* CShareMemory::GetBuffer() noexcept {
    constexpr wchar_t kFn[] = L"CShareMemory::GetBuffer";
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Enter");
    if (m_pView == nullptr || !Lock()) {
        LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit - Error!");
        return nullptr;
    }
    LOG_TRACE(TRACE_LEVEL_UTILITY, kFn, L"Exit");
    return m_pView;
}

void CShareMemory::ReleaseBuffer() noexcept {
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CShareMemory::ReleaseBuffer", L"Enter");
    UnLock();
    LOG_TRACE(TRACE_LEVEL_UTILITY, L"CShareMemory::ReleaseBuffer", L"Exit");
}

}  // namespace tarvik
