// A dialog another thread opens: waiting for it and reading its items.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

// Every entry of a combo box, in its order.
inline std::vector<std::wstring> ComboTexts(HWND combo) {
    std::vector<std::wstring> texts;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
        if (length > 0) {
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        }
        texts.push_back(text);
    }
    return texts;
}

}  // namespace testsupport
