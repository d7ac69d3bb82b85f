// The mode-switch notification window (class "EcoOSDWndProc").
#pragma once

#include <windows.h>

LRESULT CALLBACK EcoOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
