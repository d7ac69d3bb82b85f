#include "app/ui_state.h"

#include "app/main_state.h"
#include "plans/peak_cut_values.h"
#include "plans/settings.h"

namespace ui {

namespace {
constexpr float kBaseDpi = 96.0f;

bool FlagSet(DWORD flag) noexcept { return (plans::g_Settings.blob.dwFlagWord & flag) != 0; }
}  // namespace

bool EcoOperation() noexcept { return FlagSet(plans::FLAG_ECO); }
bool ThreeModeOperation() noexcept { return FlagSet(plans::FLAG_THREE_MODE); }
bool TrayOnly() noexcept { return FlagSet(plans::FLAG_TRAY_ONLY); }
bool PanelConfigured() noexcept { return FlagSet(plans::FLAG_METER); }
bool EcoInputSuppressed() noexcept { return FlagSet(plans::FLAG_CANTCHGPP); }
bool ExternalMonitorSupport() noexcept { return FlagSet(plans::FLAG_EXT_MONITOR); }

void SetTrayOnly(bool on) noexcept {
    if (on) {
        plans::g_Settings.blob.dwFlagWord |= plans::FLAG_TRAY_ONLY;
    } else {
        plans::g_Settings.blob.dwFlagWord &= ~plans::FLAG_TRAY_ONLY;
    }
}

DpiFactors ScreenDpiFactors() noexcept {
    DpiFactors dpi = {1.0f, 1.0f};
    HDC dc = GetDC(nullptr);
    if (dc != nullptr) {
        dpi.x = static_cast<float>(GetDeviceCaps(dc, LOGPIXELSX)) / kBaseDpi;
        dpi.y = static_cast<float>(GetDeviceCaps(dc, LOGPIXELSY)) / kBaseDpi;
        ReleaseDC(nullptr, dc);
    }
    return dpi;
}

void ForceForeground(HWND hwnd) noexcept {
    HWND foreground = GetForegroundWindow();
    DWORD foregroundThread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    DWORD ownThread = GetCurrentThreadId();
    if (foregroundThread == 0 || foregroundThread == ownThread) {
        SetForegroundWindow(hwnd);
        return;
    }
    AttachThreadInput(ownThread, foregroundThread, TRUE);
    DWORD lockTimeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lockTimeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(hwnd);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(lockTimeout)), 0);
    AttachThreadInput(ownThread, foregroundThread, FALSE);
}

bool FocusOpenSettingsDialog() noexcept {
    HWND dialog = g_MainState.hSettingsDialog;
    if (dialog == nullptr || !IsWindow(dialog)) {
        return false;
    }
    SetForegroundWindow(dialog);
    return true;
}

int PeakCutLevel() noexcept { return static_cast<int>(plans::g_dwPeakCutLevel.load()); }
void SetUserPresent(bool present) noexcept { g_MainState.bUserPresent = present; }
bool UserPresent() noexcept { return g_MainState.bUserPresent; }

}  // namespace ui
