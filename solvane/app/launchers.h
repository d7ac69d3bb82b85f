// Programs the main program starts for the user: the maker's energy viewer and the Windows power
// options control panel.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr wchar_t kEnergyViewerKey[] = L"Software\\Orvel\\Halvard";
// "LaunchMenuName" and "LaunchPath" hold at most 520 bytes each.
constexpr size_t kEnergyViewerTextChars = 260;

// The viewer's launch entry: present when the key opens, "LaunchPath" is read and the path
// exists. menuName receives "LaunchMenuName" ("" when it is missing or empty).
bool ReadEnergyViewerEntry(wchar_t* menuName, size_t cchMenuName, wchar_t* launchPath, size_t cchPath) noexcept;
// Remembers the path the menu entry launches (set when the tray menu offers the entry).
void RememberEnergyViewerPath(const wchar_t* launchPath) noexcept;
const wchar_t* EnergyViewerPath() noexcept;
// Command 64: starts the remembered viewer (the result is not checked).
void LaunchEnergyViewer() noexcept;

// "rundll32.exe shell32.dll,Control_RunDLL powercfg.cpl"; the CreateProcessW error, or 0.
DWORD LaunchPowerOptions() noexcept;

// The process creation of LaunchPowerOptions (CreateProcessW; tests watch the call). Null goes
// back to CreateProcessW.
using CreateProcessFn = BOOL(WINAPI*)(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES process,
                                      LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                                      LPCWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);
void SetCreateProcessFn(CreateProcessFn fn) noexcept;
