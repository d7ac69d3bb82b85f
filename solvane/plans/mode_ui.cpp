#include "plans/mode_ui.h"

#include <atomic>

namespace plans {

namespace {

class SilentModeUi final : public ModeUi {
public:
    HWND MainWindow() noexcept override { return nullptr; }
    HWND PlanChangeTarget() noexcept override { return nullptr; }
    const wchar_t* ProgramTitle() noexcept override { return L""; }
    int ShowMessage(HWND, const wchar_t*, UINT) noexcept override { return 0; }
    HRESULT ShowTaskDialog(TASKDIALOGCONFIG*) noexcept override { return E_NOTIMPL; }
};

SilentModeUi g_silent;
std::atomic<ModeUi*> g_ui{nullptr};

}  // namespace

void SetModeUi(ModeUi* ui) noexcept { g_ui = ui; }

ModeUi& CurrentModeUi() noexcept {
    ModeUi* ui = g_ui.load();
    return ui != nullptr ? *ui : g_silent;
}

}  // namespace plans
