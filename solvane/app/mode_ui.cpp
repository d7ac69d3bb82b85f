#include "app/mode_ui.h"

#include "app/app_globals.h"
#include "common/log.h"
#include "plans/mode_switch.h"
#include "plans/mode_ui.h"

namespace app {

namespace {

using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogIndirectFn FindTaskDialog() noexcept {
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    return comctl != nullptr ? reinterpret_cast<TaskDialogIndirectFn>(
                                   reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")))
                             : nullptr;
}

// A dialog box of this thread with the program's caption, or null.
HWND FindOwnMessageBox() noexcept {
    struct Search {
        HWND found;
    } search{nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            wchar_t className[16] = {};
            wchar_t caption[kTitleChars] = {};
            GetClassNameW(hwnd, className, ARRAYSIZE(className));
            GetWindowTextW(hwnd, caption, ARRAYSIZE(caption));
            if (lstrcmpW(className, L"#32770") == 0 && lstrcmpW(caption, g_szProgramTitle) == 0) {
                reinterpret_cast<Search*>(lParam)->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class WindowModeUi final : public plans::ModeUi {
public:
    HWND MainWindow() noexcept override { return g_hMainWnd; }

    // The meter panel takes the message once it exists.
    HWND PlanChangeTarget() noexcept override { return g_hMainWnd; }

    const wchar_t* ProgramTitle() noexcept override { return g_szProgramTitle; }

    int ShowMessage(HWND owner, const wchar_t* text, UINT style) noexcept override {
        return MessageBoxW(owner, text, g_szProgramTitle, style);
    }

    bool FocusOpenMessage() noexcept override {
        HWND box = FindOwnMessageBox();
        if (box == nullptr) {
            return false;
        }
        SetForegroundWindow(box);
        return true;
    }

    void ShowOrAdvanceModes() noexcept override {
        HWND window = FindWindowW(kEcoOsdWindowClass, nullptr);
        DWORD pid = 0;
        if (window != nullptr && GetWindowThreadProcessId(window, &pid) != 0 && pid == GetCurrentProcessId()) {
            PostMessageW(window, plans::WM_APP_ECO_PRESS, 0, 0);
            return;
        }
        // The notification window places, sizes and shows itself, or refuses to open.
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kEcoOsdWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                 nullptr, nullptr, g_hInstance, nullptr);
        LOG_TRACE(TRACE_LEVEL_VALUES, L"HandleEcoButton", L"notification window %s",
                  window != nullptr ? L"opened" : L"not opened");
    }

    HRESULT ShowTaskDialog(TASKDIALOGCONFIG* config) noexcept override {
        TaskDialogIndirectFn taskDialog = FindTaskDialog();
        if (taskDialog == nullptr) {
            return E_NOTIMPL;
        }
        config->hInstance = g_hInstance;
        config->pszWindowTitle = g_szProgramTitle;
        return taskDialog(config, nullptr, nullptr, nullptr);
    }
};

WindowModeUi g_windowModeUi;

}  // namespace

void RegisterModeUi() noexcept { plans::SetModeUi(&g_windowModeUi); }

}  // namespace app
