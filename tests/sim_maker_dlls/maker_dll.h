// Loading the maker's DLLs in tests the way the program does: by name or by path, exports by name.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace makertest {

// Resolves an export into a typed pointer; null when missing.
template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

inline std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

inline std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

}  // namespace makertest
