// The two-thumb range slider of the plan editor's ambient-light ranges: a lower and an upper
// thumb on one track, dragged with the mouse or moved with the keyboard, never crossing (the
// lower thumb stays at least one position below the upper one).
//
// It answers the trackbar's range and selection messages, so that code placing a trackbar's
// selection places it the same way: TBM_SETRANGE / TBM_SETRANGEMIN / TBM_SETRANGEMAX,
// TBM_GETRANGEMIN / TBM_GETRANGEMAX, TBM_SETSELSTART / TBM_SETSELEND (the lower / upper thumb),
// TBM_GETSELSTART / TBM_GETSELEND, TBM_GETPOS (the active thumb: the one clicked or moved last).
// It tells its parent of every move with WM_HSCROLL as a trackbar does: TB_LINEUP / TB_LINEDOWN /
// TB_TOP / TB_BOTTOM for keys, TB_THUMBTRACK while a drag goes on, TB_THUMBPOSITION when it ends,
// then TB_ENDTRACK.
//
// Keyboard: the arrow keys move the active thumb one position, Home / End to the lowest /
// highest place it may take, Space makes the other thumb the active one. A click picks the
// thumb nearer to the click (the active one on a tie) and drags it.
#pragma once

#include <windows.h>

// Window class of the control (dialog templates name it).
inline constexpr wchar_t kRangeSliderClass[] = L"SolvaneRangeSlider";

// Registers the class for the module once; true when it is registered.
bool RegisterRangeSliderClass(HINSTANCE instance) noexcept;

// Client x of a position's centre on the track (tests and hit-testing share it).
int RangeSliderPositionX(HWND slider, int position) noexcept;
