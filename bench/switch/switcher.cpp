// The baseline of the tray path: a hidden window whose only work on the tray's plan commands is
// the bare PowerSetActiveScheme, so the benchmark can compare the resident program with a switch
// that crosses the same message hop and nothing else.
//   switch_baseline
#include <windows.h>
#include <powrprof.h>

#include "bench/startup/hidden_window.h"
#include "bench/switch/mode_plans.h"

namespace {

using namespace switchbench;

constexpr wchar_t kClassName[] = L"SwitchBaseline";

LRESULT CALLBACK SwitcherWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WORD command = LOWORD(wParam);
    if (message == WM_COMMAND && (command == kCommandPinned1 || command == kCommandPinned2)) {
        PowerSetActiveScheme(nullptr, command == kCommandPinned1 ? &kModeOnePlan : &kModeTwoPlan);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return benchmain::RunHiddenWindow(instance, kClassName, SwitcherWndProc);
}
