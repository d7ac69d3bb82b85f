// One resident instance per session: the instance mutex and the hand-over of a second start.
#pragma once

#include <windows.h>

#include "app/command_line.h"

// Creates "sOLVANEmUTEX" (not owned) into g_hInstanceMutex. Returns TRUE when it already
// existed, that is when another instance runs in this session.
BOOL CreateInstanceMutex() noexcept;

// The error of CreateInstanceMutex when it could not create the mutex (0 otherwise), kept for
// the error log of the start-up, which notices the missing mutex only later.
DWORD InstanceMutexError() noexcept;

// A second start: brings the running instance's main window to the foreground and passes it the
// request ("/PowerScheme" 0x40A, "/EcoMode" 0x409); "/import" shows the refusal instead.
void ForwardToRunningInstance(HINSTANCE instance, const CommandLineRequest& request) noexcept;

// Posts the settings request of the command line to a main window (0 when there is none).
void PostSettingsRequest(HWND mainWindow, StartRequest request) noexcept;

// "DebugLogFlag" under HKEY_LOCAL_MACHINE\Software\Orvel\Solvane; 0 when missing or unreadable.
DWORD ReadDebugLogFlag() noexcept;
