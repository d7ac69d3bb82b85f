#include "app/window_classes.h"

#include "app/app_globals.h"
#include "app/main_window.h"
#include "app/notify_window.h"
#include "common/log.h"
#include "resources/resource.h"

namespace {

constexpr UINT kClassStyle = CS_HREDRAW | CS_VREDRAW;

// The meter panel's frame procedure joins here; until then its windows behave as plain windows.
LRESULT CALLBACK FrameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Power-source notification class: registered for compatibility, no window of it is created.
LRESULT CALLBACK PowerOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD RegisterOne(HINSTANCE instance, const wchar_t* className, WNDPROC procedure, HICON icon,
                  const wchar_t* menuName, HBRUSH background = nullptr) noexcept {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = kClassStyle;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszMenuName = menuName;
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) != 0) {
        return ERROR_SUCCESS;
    }
    DWORD error = GetLastError();
    WriteErrorLog(IDS_ERR_REGISTER_CLASS, error, ERRLOG_FILE);
    LOG_TRACE(TRACE_LEVEL_VALUES, L"RegisterWindowClasses", L"RegisterClass(%s) failed: %u", className,
              error);
    return error != ERROR_SUCCESS ? error : ERROR_CLASS_DOES_NOT_EXIST;
}

}  // namespace

DWORD RegisterWindowClasses(HINSTANCE instance) noexcept {
    // Shared icon resources are owned by the system; no release needed.
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SOLVANE));
    DWORD error = RegisterOne(instance, kMainWindowClass, MainWndProc, icon, kMainWindowClass);
    if (error == ERROR_SUCCESS) {
        error = RegisterOne(instance, kFrameWindowClass, FrameWndProc, nullptr, nullptr);
    }
    if (error == ERROR_SUCCESS) {
        error = RegisterOne(instance, kPowerOsdWindowClass, PowerOsdWndProc, nullptr, nullptr);
    }
    return error;
}

DWORD RegisterEcoOsdClass(HINSTANCE instance) noexcept {
    // A system colour index + 1 stands for that colour's brush.
    HBRUSH background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNSHADOW + 1));
    return RegisterOne(instance, kEcoOsdWindowClass, EcoOsdWndProc, nullptr, nullptr, background);
}
