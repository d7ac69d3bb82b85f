// Bringing up the resident program: InitInstance and the pieces WinMain calls around it.
#pragma once

#include <windows.h>

#include "app/command_line.h"

// Brings up everything the resident program needs and creates the hidden main window.
// Returns 1 when the message loop may run, 0 on failure (the cause is in the error log).
int InitInstance(HINSTANCE instance, int showCommand) noexcept;

// Connects the battery model to the panel brightness (controlled at all, current level, level of
// a percentage, number of levels) and to the processor and meter panel. Called by InitInstance
// before the settings are loaded.
void InstallBatteryHooks() noexcept;

// Loads the program title (string 141) into g_szProgramTitle and hands it to the error log as
// its message-box caption.
void LoadProgramTitle(HINSTANCE instance) noexcept;

// "/export" and "/import": hands the file to the settings-file code. Both always end the
// program with 0, whatever the outcome (the settings-file code reports its own failures).
int RunSettingsFileRequest(const CommandLineRequest& request) noexcept;

// The start-up failure box: string 1 with the value 1, caption = program title so far.
void ShowStartupFailure(HINSTANCE instance) noexcept;

// GDI+ session of the process (started before the instance check, ended after the loop).
class GdiplusSession {
public:
    GdiplusSession() noexcept = default;
    ~GdiplusSession() { Shutdown(); }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    BOOL Startup() noexcept;
    void Shutdown() noexcept;

private:
    ULONG_PTR m_token = 0;
};

// Ends COM when InitInstance started it.
void ShutdownCom() noexcept;

// The plain message loop; returns the wParam of WM_QUIT.
int RunMessageLoop() noexcept;
