// State the main window keeps for its events (main thread only unless said otherwise).
#pragma once

#include <windows.h>

#include "common/handles.h"

// The six power-setting notifications the main window registers, in registration order.
inline constexpr size_t kPowerNotificationCount = 6;

struct PowerNotifyTraits {
    using Handle = HPOWERNOTIFY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { UnregisterPowerSettingNotification(h); }
};
struct DeviceNotifyTraits {
    using Handle = HDEVNOTIFY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { UnregisterDeviceNotification(h); }
};
using UniquePowerNotify = common::UniqueResource<PowerNotifyTraits>;
using UniqueDeviceNotify = common::UniqueResource<DeviceNotifyTraits>;

struct MainWindowState {
    float fDpiX = 1.0f;                 // LOGPIXELSX / 96
    float fDpiY = 1.0f;                 // LOGPIXELSY / 96
    UINT uTaskbarCreated = 0;           // "TaskbarCreated"
    bool bLeftClickPending = false;     // tray: a single click waits for the double-click time
    bool bDoubleClickSeen = false;
    DWORD dwBrightnessDelay = 1000;     // "DelayBrightness", ms
    bool bUserPresent = false;
    bool bSessionUnlocked = false;
    bool bLedRestorePending = false;
    bool bLedRestoreDone = false;
    bool bBrightnessFollowUp = false;   // the ECO mode settings dialogs clear it while they apply
    bool bSessionNotification = false;  // WTSRegisterSessionNotification succeeded
    BYTE ucACLineStatus = 255;          // of the last GetSystemPowerStatus
    POINT ptDialog = {0, 0};            // where the next dialog opens
    bool bOpenAtWorkArea = false;
    HWND hSettingsDialog = nullptr;     // the open ECO mode settings dialog or plan settings sheet
    HWND hPlanEditor = nullptr;         // the open plan editor
    UniquePowerNotify powerNotify[kPowerNotificationCount];
    UniqueDeviceNotify deviceNotify;
};

extern MainWindowState g_MainState;

// Resets the state to what a new main window starts from (tests create several).
void ResetMainWindowState() noexcept;
