#include "app/ui_state.h"

#include "app/main_state.h"
#include "common/handles.h"
#include "plans/peak_cut_values.h"
#include "plans/settings.h"

namespace ui {

namespace {

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

POINT PlaceAgainstCornerIn(const RECT& frame, POINT corner, const RECT& workArea) noexcept {
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    POINT topLeft = {corner.x - width, corner.y - height};
    // Into the work area: the right and bottom edges first, then the left and top ones win.
    if (topLeft.x + width > workArea.right) {
        topLeft.x = workArea.right - width;
    }
    if (topLeft.y + height > workArea.bottom) {
        topLeft.y = workArea.bottom - height;
    }
    if (topLeft.x < workArea.left) {
        topLeft.x = workArea.left;
    }
    if (topLeft.y < workArea.top) {
        topLeft.y = workArea.top;
    }
    return topLeft;
}

POINT PlaceAgainstCorner(const RECT& frame, POINT corner) noexcept {
    RECT workArea = {};
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromPoint(corner, MONITOR_DEFAULTTONEAREST);
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) {
        workArea = info.rcWork;
    } else if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        return POINT{corner.x - (frame.right - frame.left), corner.y - (frame.bottom - frame.top)};
    }
    return PlaceAgainstCornerIn(frame, corner, workArea);
}

bool FocusOpenSettingsDialog() noexcept {
    HWND dialog = g_MainState.hSettingsDialog;
    if (dialog == nullptr || !IsWindow(dialog)) {
        return false;
    }
    ForceForeground(dialog);
    return true;
}

int PeakCutLevel() noexcept { return static_cast<int>(plans::g_dwPeakCutLevel.load()); }
void SetUserPresent(bool present) noexcept { g_MainState.bUserPresent = present; }
bool UserPresent() noexcept { return g_MainState.bUserPresent; }

}  // namespace ui
