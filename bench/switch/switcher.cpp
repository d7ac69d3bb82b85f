// The baseline of the tray path: a hidden window whose only work on the tray's plan commands is
// the bare PowerSetActiveScheme, so the benchmark can compare the resident program with a switch
// that crosses the same message hop and nothing else.
//   switch_baseline
#include <windows.h>
#include <powrprof.h>

namespace {

constexpr wchar_t kClassName[] = L"SwitchBaseline";
constexpr WORD kCommandPinned1 = 72;
constexpr WORD kCommandPinned2 = 71;

// The same plans as the benchmark: mode 1 and mode 2 of the simulated three-mode notebook.
const GUID kModeOnePlan = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
const GUID kModeTwoPlan = {0x6658A2A5, 0x119C, 0x4E4E, {0x93, 0x1B, 0x97, 0x2B, 0xCF, 0xDD, 0x14, 0xA6}};

LRESULT CALLBACK SwitcherWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCommandPinned1 || LOWORD(wParam) == kCommandPinned2) {
            PowerSetActiveScheme(nullptr, LOWORD(wParam) == kCommandPinned1 ? &kModeOnePlan : &kModeTwoPlan);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = SwitcherWndProc;
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
