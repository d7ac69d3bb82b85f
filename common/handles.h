// RAII owners for Win32 handles. Every handle the programs open is held by one of these;
// raw CloseHandle/RegCloseKey/FreeLibrary calls live only here.
#pragma once

#include <windows.h>

#include <utility>

namespace common {

// Generic owner: Traits::Invalid() is the empty value, Traits::Close(h) releases it.
template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept : m_h(Traits::Invalid()) {}
    explicit UniqueResource(Handle h) noexcept : m_h(h) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_h(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    Handle Get() const noexcept { return m_h; }
    bool Valid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    // Address for APIs that return a handle through an out parameter; releases the old one.
    Handle* Put() noexcept {
        Reset();
        return &m_h;
    }
    Handle Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) noexcept {
        Handle old = std::exchange(m_h, h);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

private:
    Handle m_h;
};

struct KernelHandleTraits {  // events, mutexes, threads, processes, file mappings (NULL when empty)
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile results (INVALID_HANDLE_VALUE when empty)
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
struct LocalMemTraits {
    using Handle = HLOCAL;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::LocalFree(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyIcon(h); }
};
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyWindow(h); }
};
struct FindFileTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocal = UniqueResource<LocalMemTraits>;
using UniqueMenu = UniqueResource<MenuTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueFindFile = UniqueResource<FindFileTraits>;

struct MemoryDcTraits {  // CreateCompatibleDC results
    using Handle = HDC;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// A window's (or, with null, the screen's) device context from GetDC, released on scope exit.
// Objects selected into it with ScopedSelect must be restored first: declare them after it.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (m_dc != nullptr) {
            ::ReleaseDC(m_hwnd, m_dc);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// BeginPaint/EndPaint of one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND hwnd) noexcept : m_hwnd(hwnd), m_ps(), m_dc(::BeginPaint(hwnd, &m_ps)) {}
    ~PaintDc() { ::EndPaint(m_hwnd, &m_ps); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const noexcept { return m_dc; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps;
    HDC m_dc;
};

// Holds a mutex acquired with a bounded wait; releases it when it goes out of scope.
class MutexLock {
public:
    MutexLock(HANDLE mutex, DWORD timeoutMs) noexcept : m_mutex(mutex), m_result(WAIT_FAILED) {
        if (m_mutex != nullptr) {
            m_result = ::WaitForSingleObject(m_mutex, timeoutMs);
        }
    }
    ~MutexLock() { Release(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    // An abandoned mutex is owned all the same: its previous holder died.
    bool Owned() const noexcept { return m_result == WAIT_OBJECT_0 || m_result == WAIT_ABANDONED; }
    DWORD WaitResult() const noexcept { return m_result; }
    // Gives the mutex back before the end of the scope.
    void Release() noexcept {
        if (Owned()) {
            ::ReleaseMutex(m_mutex);
        }
        m_result = WAIT_FAILED;
    }

private:
    HANDLE m_mutex;
    DWORD m_result;
};

// Selects a GDI object into a DC and restores the previous one on scope exit.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) noexcept : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
    ~ScopedSelect() {
        if (m_old != nullptr && m_old != HGDI_ERROR) {
            ::SelectObject(m_dc, m_old);
        }
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// Releases a COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    void Reset() noexcept {
        if (m_p != nullptr) {
            std::exchange(m_p, nullptr)->Release();
        }
    }

private:
    T* m_p = nullptr;
};

}  // namespace common
