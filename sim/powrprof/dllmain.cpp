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

namespace {

constexpr UINT STRINGS_PER_BLOCK = 16;

// One string of the string table in the given language (Windows keeps them in blocks of 16
// counted strings); false when the table has no such string in that language.
bool LoadStringInLanguage(UINT id, LANGID language, std::wstring& text) {
    HRSRC block = FindResourceExW(g_module, RT_STRING,
                                  MAKEINTRESOURCEW(id / STRINGS_PER_BLOCK + 1), language);
    HGLOBAL data = block ? LoadResource(g_module, block) : nullptr;
    const auto* p = data ? static_cast<const WCHAR*>(LockResource(data)) : nullptr;
    if (p == nullptr) return false;
    const DWORD blockBytes = SizeofResource(g_module, block);
    const WCHAR* end = p + blockBytes / sizeof(WCHAR);
    for (UINT i = 0; i < id % STRINGS_PER_BLOCK; ++i) {
        if (p >= end) return false;
        p += *p + 1;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end) return false;
    text.assign(p + 1, *p);
    return true;
}

}  // namespace

std::wstring ResolveName(const std::wstring& stored) {
    const size_t prefixLen = wcslen(RESOURCE_NAME_PREFIX);
    if (stored.compare(0, prefixLen, RESOURCE_NAME_PREFIX) != 0) return stored;
    wchar_t* end = nullptr;
    unsigned long id = wcstoul(stored.c_str() + prefixLen, &end, 10);
    if (end == nullptr || *end != L'\0' || id == 0 || id > 0xFFFF) return stored;
    // The user's UI language, else English (the names every Windows has).
    const LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const LANGID ui = GetUserDefaultUILanguage();
    const LANGID primary = MAKELANGID(PRIMARYLANGID(ui), SUBLANG_DEFAULT);
    std::wstring text;
    if (LoadStringInLanguage(static_cast<UINT>(id), ui, text) ||
        LoadStringInLanguage(static_cast<UINT>(id), primary, text) ||
        LoadStringInLanguage(static_cast<UINT>(id), english, text)) {
        return text;
    }
    return stored;
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
