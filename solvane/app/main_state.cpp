#include "app/main_state.h"

MainWindowState g_MainState;

void ResetMainWindowState() noexcept {
    for (UniquePowerNotify& handle : g_MainState.powerNotify) {
        handle.Reset();
    }
    g_MainState.deviceNotify.Reset();
    g_MainState.fDpiX = 1.0f;
    g_MainState.fDpiY = 1.0f;
    g_MainState.uTaskbarCreated = 0;
    g_MainState.bLeftClickPending = false;
    g_MainState.bDoubleClickSeen = false;
    g_MainState.dwBrightnessDelay = 1000;
    g_MainState.bUserPresent = false;
    g_MainState.bSessionUnlocked = false;
    g_MainState.bLedRestorePending = false;
    g_MainState.bLedRestoreDone = false;
    g_MainState.bBrightnessFollowUp = false;
    g_MainState.bSessionNotification = false;
    g_MainState.ucACLineStatus = 255;
    g_MainState.ptDialog = POINT{0, 0};
    g_MainState.bOpenAtWorkArea = false;
    g_MainState.hSettingsDialog = nullptr;
    g_MainState.hPlanEditor = nullptr;
}
