// The baseline of the start-up benchmark: a hidden window and an empty message loop, nothing else.
#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"StartupBaseline";

LRESULT CALLBACK BaselineWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BaselineWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc) == 0 ||
        CreateWindowExW(0, kClassName, kClassName, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr) ==
            nullptr) {
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
