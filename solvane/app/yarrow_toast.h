// The maker's toast-notification library "Yarrow.dll", bound at run time by name (OS model 3
// only). Every wrapper answers E_FAIL while the library or its entry point is missing.
#pragma once

#include <windows.h>

namespace toast {

constexpr DWORD kKindPeakCut = 4;
constexpr DWORD kKindLowBatteryChange = 5;
constexpr DWORD kDisplayModeDesktop = 1;
constexpr wchar_t kAppId[] = L"OrvelPC.RIDaro.Kaviro";
constexpr wchar_t kSoundDefault[] = L"ms-winsoundevent:Notification.Default";
constexpr wchar_t kDurationShort[] = L"short";

// LoadLibraryW("Yarrow.dll"), all seven entry points resolved, then Yarrow_Initialize().
HRESULT Load() noexcept;
// Yarrow_Finalize when resolved, entry points cleared, FreeLibrary.
void Unload() noexcept;
bool Loaded() noexcept;

HRESULT InitCommonInfo(HWND mainWindow) noexcept;
HRESULT GetDisplayMode(DWORD* mode) noexcept;
HRESULT SwitchToDesktop(HWND mainWindow) noexcept;
HRESULT Display(DWORD kind, const wchar_t* title, const wchar_t* text) noexcept;

// OS model 3 and the library reports a display mode other than 1 (a full-screen app is in
// front): callers show a toast instead of a window.
bool ToastModeWanted() noexcept;
// Loads the library on first use when the OS model is 3 (no effect otherwise).
void EnsureLoaded() noexcept;
// A failed start: loads the library when that was not tried yet (without handing it the common
// information), and when it reports a display mode other than 1 asks it to bring the desktop
// forward. The caller unloads the library afterwards.
void SwitchToDesktopIfCovered(HWND mainWindow) noexcept;

}  // namespace toast
