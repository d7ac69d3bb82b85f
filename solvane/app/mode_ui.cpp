#include "app/mode_ui.h"

#include "app/app_globals.h"
#include "common/log.h"
#include "meter/panel_window.h"
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

class WindowModeUi final : public plans::ModeUi {
public:
    HWND MainWindow() noexcept override { return g_hMainWnd; }

    // The meter panel when it exists (it hands the message on to the main window).
    HWND PlanChangeTarget() noexcept override {
        HWND panel = meter::MeterPanelWindow();
        return panel != nullptr ? panel : g_hMainWnd;
    }

    const wchar_t* ProgramTitle() noexcept override { return g_szProgramTitle; }

    int ShowMessage(HWND owner, const wchar_t* text, UINT style) noexcept override {
        return MessageBoxW(owner, text, g_szProgramTitle, style);
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
