// powrprof.dll of the simulated PC: entry point and the helpers every export uses.
#include <windows.h>

#include <cwchar>

#include "sim/powrprof/exports_common.h"
#include "sim/powrprof/store.h"
#include "sim/powrprof/store_layout.h"

namespace simpower {

HMODULE g_module = nullptr;

DWORD PrepareStore() {
    DWORD rc = EnsureStore();
    StartActiveSchemeWatcher();
    return rc;
}

std::wstring ResolveName(const std::wstring& stored) {
    const size_t prefixLen = wcslen(RESOURCE_NAME_PREFIX);
    if (stored.compare(0, prefixLen, RESOURCE_NAME_PREFIX) != 0) return stored;
    wchar_t* end = nullptr;
    unsigned long id = wcstoul(stored.c_str() + prefixLen, &end, 10);
    if (end == nullptr || *end != L'\0' || id == 0 || id > 0xFFFF) return stored;
    const wchar_t* text = nullptr;
    int cch = LoadStringW(g_module, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (cch <= 0 || text == nullptr) return stored;
    return std::wstring(text, static_cast<size_t>(cch));
}

DWORD CopyTextOut(const std::wstring& text, BYTE* buffer, DWORD* size) {
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    const DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (buffer == nullptr) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    memcpy(buffer, text.c_str(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

}  // namespace simpower

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        simpower::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    // Nothing to undo at detach: once the watcher runs the module is pinned, and at process
    // exit the system has already ended the watcher thread.
    return TRUE;
}
