// Yarrow.dll, the maker's toast-notification library, as the simulated PC provides it (installed
// in system32, found by LoadLibraryW("Yarrow.dll")). Toasts are recorded, never shown.
// Every entry point returns an HRESULT: S_OK, E_UNEXPECTED before Yarrow_Initialize (or before
// Yarrow_InitToastCmnInf for a toast), E_INVALIDARG for a missing record, pointer or text, or the
// "Error" of a scripted failure.
//
// State, HKLM\Software\SimulatedPC\Yarrow:
//   "DisplayMode"      REG_DWORD  what Yarrow_GetDisplayMode reports (1 = the desktop is in front;
//                                 anything else: a full-screen app is); Yarrow_SwitchToDT sets 1
//   "AppId"            REG_SZ     application identity of the last Yarrow_InitToastCmnInf
//   "Window"           REG_DWORD  its window handle (low 32 bits)
//   "ToastCount"       REG_DWORD  toasts shown since installation
//   "LastToastKind"    REG_DWORD  and "LastToastTitle", "LastToastText", "LastToastSound",
//                                 "LastToastDuration" (REG_SZ; empty for a missing pointer)
//   "Initialized"      REG_DWORD  1 between Yarrow_Initialize and Yarrow_Finalize
//   "CallLog", "CallCount", Failures\<Function>: see sim/simlib/simlib.h. Log lines, e.g.
//     "Yarrow_Initialize() = 0x00000000"
//     "Yarrow_InitToastCmnInf(OrvelPC.RIDaro.Kaviro, window 0x000100A2) = 0x00000000"
//     "Yarrow_DisplayToast(kind 5, title "…", text "…", sound "ms-winsoundevent:Notification.Default",
//        duration "short") = 0x00000000"   (one line)
//     "Yarrow_GetDisplayMode() = 0x00000000 mode 1"
//     "Yarrow_SwitchToDT(window 0x000100A2) = 0x00000000"
#pragma once

#include <windows.h>

namespace yarrowsim {
constexpr wchar_t PIECE[] = L"Yarrow";
constexpr DWORD MODE_DESKTOP = 1;
constexpr DWORD KIND_PEAK_CUT = 4;
constexpr DWORD KIND_LOW_BATTERY_CHANGE = 5;
}  // namespace yarrowsim

// Common information of every toast (40 bytes).
struct YARROW_TOAST_CMNINF {
    LPCWSTR pszAppId;        // "OrvelPC.RIDaro.Kaviro"
    HWND hWnd;               // the program's main window
    void* apvReserved[3];    // zero
};
static_assert(sizeof(YARROW_TOAST_CMNINF) == 40, "the common information is 40 bytes");

// One toast request.
struct YARROW_TOAST {
    DWORD dwReserved1;       // 0
    DWORD dwKind;            // 5 low-battery plan change, 4 peak-cut notice
    DWORD dwReserved2;       // 0
    LPCWSTR pszTitle;        // may be null
    LPCWSTR pszText;
    LPCWSTR pszReserved3;
    LPCWSTR pszReserved4;
    LPCWSTR pszSound;        // "ms-winsoundevent:Notification.Default"
    LPCWSTR pszReserved5;
    LPCWSTR pszDuration;     // "short"
};

extern "C" {
HRESULT WINAPI Yarrow_Initialize(void);
HRESULT WINAPI Yarrow_InitToastCmnInf(const YARROW_TOAST_CMNINF* pInfo);
HRESULT WINAPI Yarrow_DisplayToast(const YARROW_TOAST* pToast);
HRESULT WINAPI Yarrow_HideToast(void);
HRESULT WINAPI Yarrow_GetDisplayMode(DWORD* pdwMode);
HRESULT WINAPI Yarrow_SwitchToDT(HWND hWnd);
HRESULT WINAPI Yarrow_Finalize(void);
}
