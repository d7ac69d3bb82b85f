// The main window's external-monitor work: monitor arrival and removal, the refresh, retry and
// resume timers (10111, 10112, 10113) and the monitor refresh command.
#pragma once

#include <windows.h>

// WM_DEVICECHANGE with external-monitor support; always 1.
LRESULT OnMonitorDeviceChange(HWND hwnd, WPARAM wParam, LPARAM lParam);
void OnMonitorRefreshTimer(HWND hwnd);  // 10111
void OnMonitorRetryTimer(HWND hwnd);    // 10112
void OnMonitorResumeTimer(HWND hwnd);   // 10113
// After a resume: the plan brightness is applied again once the monitors settled.
void StartMonitorResumeTimer(HWND hwnd);
// Command 17: the monitors are examined again behind the wait dialog, then published.
bool OnMonitorRefreshCommand(HWND hwnd, WPARAM wParam, LPARAM lParam);
// Applies the plan brightness (mode 1) with its trace line.
void ApplyPlanBrightness(const wchar_t* traceName);
