// Reads the star gauges of a plan dialog back from their pixels.
#pragma once

#include <windows.h>

#include <string>

// One character per star control firstId..firstId + 4, from the control's own drawing
// (WM_PRINTCLIENT into a bitmap): '*' a lit gold star, 'o' an unlit white one, '-' the pale
// "unknown" star, ' ' a hidden or empty control, '?' anything else.
std::string GaugeStars(HWND dialog, int firstId);
