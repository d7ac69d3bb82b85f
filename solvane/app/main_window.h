// The hidden main window of class "Solvane": the program's switchboard.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
