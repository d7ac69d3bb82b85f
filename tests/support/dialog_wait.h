// Waiting for a dialog that another thread opens.
#pragma once

#include <windows.h>

namespace testsupport {

// The top-level dialog with this caption once it exists; null when none came within the tries.
inline HWND WaitDialog(const wchar_t* caption, int tries = 100, DWORD stepMs = 100) {
    HWND dialog = nullptr;
    for (int i = 0; i < tries && dialog == nullptr; ++i) {
        Sleep(stepMs);
        dialog = FindWindowW(L"#32770", caption);
    }
    return dialog;
}

}  // namespace testsupport
