#include "fake_device.h"

#include <cstring>

#include "drivers/device_io.h"

namespace fakedev {

namespace {

CRITICAL_SECTION g_lock;
bool g_lockReady = false;
State* g_state = nullptr;

constexpr DWORD kLedReadStatus = 0x9C40E084;
constexpr DWORD kLedReadCurrent = 0x9C40E088;
constexpr DWORD kLedSet = 0x9C40E08C;
constexpr DWORD kLedNotify = 0x9C40E094;
constexpr DWORD kCpuCaps = 0x9C40E108;
constexpr DWORD kCpuSet = 0x9C40E10C;

enum class Kind { None, Led, Processor };
struct Opened {
    HANDLE handle;
    Kind kind;
};
std::vector<Opened> g_opened;

bool SamePath(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

HANDLE WINAPI FakeCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                             DWORD, HANDLE) {
    detail::Lock();
    State& s = *g_state;
    s.opened.push_back(path != nullptr ? path : L"");
    Kind kind = Kind::None;
    if (path != nullptr && access == (GENERIC_READ | GENERIC_WRITE) &&
        share == (FILE_SHARE_READ | FILE_SHARE_WRITE) && disposition == OPEN_EXISTING) {
        if (s.ledPresent && SamePath(s.ledPath, path)) {
            kind = Kind::Led;
        } else if (s.processorPresent && SamePath(L"\\\\.\\ORVELPSRD", path)) {
            kind = Kind::Processor;
        }
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    if (kind != Kind::None) {
        h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_opened.push_back({h, kind});
        s.handles.push_back(h);
    }
    detail::Unlock();
    if (h == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    return h;
}

DWORD LedReadBack(BYTE command) {
    switch (command) {
    case 0x81: return 0x71;
    case 0x84: return 0x74;
    case 0x82: return 0x72;
    default: return 0;
    }
}

BOOL WINAPI FakeIoctl(HANDLE h, DWORD code, LPVOID in, DWORD cbIn, LPVOID out, DWORD cbOut, LPDWORD returned,
                      LPOVERLAPPED) {
    detail::Lock();
    State& s = *g_state;
    ++s.ioctls;
    Kind kind = Kind::None;
    for (const Opened& o : g_opened) {
        if (o.handle == h) {
            kind = o.kind;
        }
    }
    DWORD error = ERROR_SUCCESS;
    DWORD answer = 0;
    if (kind == Kind::None) {
        error = ERROR_INVALID_HANDLE;
    } else if (code == s.failCode) {
        error = ERROR_GEN_FAILURE;
    } else if (cbOut < sizeof(DWORD) || out == nullptr) {
        error = ERROR_INSUFFICIENT_BUFFER;
    } else if (kind == Kind::Led) {
        if (code == kLedReadStatus && cbIn == sizeof(DWORD) && *static_cast<DWORD*>(in) == 0) {
            ++s.ledReads;
            answer = s.ledValue;
        } else if (code == kLedReadCurrent && cbIn == 0) {
            ++s.ledReads;
            answer = s.ledValue;
        } else if (code == kLedSet && cbIn == sizeof(DWORD)) {
            const DWORD word = *static_cast<DWORD*>(in);
            s.ledCommands.push_back(word);
            if ((word >> 16) == 0xE7) {
                s.ledValue = LedReadBack(static_cast<BYTE>(word & 0xFF));
            }
        } else if (code == kLedNotify && cbIn == 0) {
            ++s.notifications;
        } else {
            error = ERROR_INVALID_FUNCTION;
        }
    } else {
        if (code == kCpuCaps && cbIn == 0) {
            ++s.capabilityQueries;
            answer = s.capabilities;
        } else if (code == kCpuSet && cbIn == sizeof(DWORD)) {
            s.processorStates.push_back(*static_cast<DWORD*>(in));
        } else {
            error = ERROR_INVALID_FUNCTION;
        }
    }
    detail::Unlock();
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    memcpy(out, &answer, sizeof(answer));
    if (returned != nullptr) {
        *returned = sizeof(answer);
    }
    return TRUE;
}

const drivers::DeviceIoApi kFake = {FakeCreateFile, FakeIoctl};

}  // namespace

namespace detail {
void Lock() { EnterCriticalSection(&g_lock); }
void Unlock() { LeaveCriticalSection(&g_lock); }
State& Raw() { return *g_state; }
}  // namespace detail

State Get() {
    detail::Lock();
    State copy = *g_state;
    detail::Unlock();
    return copy;
}

void Install() {
    if (!g_lockReady) {
        InitializeCriticalSection(&g_lock);
        g_lockReady = true;
    }
    detail::Lock();
    delete g_state;
    g_state = new State();
    g_opened.clear();
    detail::Unlock();
    drivers::SetDeviceIoApi(&kFake);
}

void Uninstall() {
    drivers::SetDeviceIoApi(nullptr);
    detail::Lock();
    delete g_state;
    g_state = nullptr;
    g_opened.clear();
    detail::Unlock();
}

}  // namespace fakedev
