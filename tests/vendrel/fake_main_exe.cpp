// A stand-in main program for the start-and-close cases: holds the program's mutex, shows a
// window of class "Solvane" and, when that window is asked to close, records it under
// HKCU\Software\VendrelTests\FakeMain ("Started", "Closed") and ends.
#include <windows.h>

#include "common/handles.h"

namespace {
constexpr wchar_t kRecordKey[] = L"Software\\VendrelTests\\FakeMain";
constexpr UINT_PTR kGiveUpTimer = 1;
constexpr UINT kGiveUpMs = 60000;  // never outlive a test that forgot to close it

void Record(const wchar_t* name) {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                        nullptr) == ERROR_SUCCESS) {
        DWORD one = 1;
        RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof(one));
    }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        Record(L"Closed");
        DestroyWindow(hwnd);
        return 0;
    case WM_TIMER:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"sOLVANEmUTEX"));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"Solvane";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"Solvane", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    SetTimer(window, kGiveUpTimer, kGiveUpMs, nullptr);
    Record(L"Started");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return 0;
}
