// HTML help: the help file "Solvane.chm" in the folder of the program's language resources (or
// the program's folder), shown through the HTML Help control when it can be loaded.
#pragma once

#include <windows.h>

#include <cstddef>

// Help topics of the windows; each opens on the "?" caption button (SC_CONTEXTHELP) and on F1.
constexpr DWORD kHelpTopicPlanPage = 10501;
constexpr DWORD kHelpTopicPanelDisplay = 10502;
constexpr DWORD kHelpTopicPlanEditor = 10503;
constexpr DWORD kHelpTopicNewPlan = 10504;
constexpr DWORD kHelpTopicRenamePlan = 10115;
constexpr DWORD kHelpTopicBatteryPage = 10505;
constexpr DWORD kHelpTopicHotkeys = 10506;
constexpr DWORD kHelpTopicMeterPanel = 11030;
constexpr DWORD kHelpTopicEcoSettings = 11178;
constexpr DWORD kHelpTopicPeakShift = 13001;

constexpr wchar_t kHelpFileName[] = L"Solvane.chm";

// The HTML Help control's "HtmlHelpW".
using HtmlHelpFn = HWND(WINAPI*)(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);
// Replaces the HTML Help entry point (tests watch the calls); null goes back to the control
// loaded on first use.
void SetHtmlHelpFn(HtmlHelpFn fn) noexcept;

// The help file for the program at `modulePath` and the UI language: the folder of its
// language resource file when GetFileMUIPath finds one, else the program's folder. 0 or
// ERROR_INSUFFICIENT_BUFFER / ERROR_INVALID_PARAMETER.
DWORD LocateHelpFile(const wchar_t* modulePath, LANGID uiLanguage, wchar_t* out, size_t cchOut) noexcept;

// Locates the help file of this program. Returns the error of GetModuleFileNameW, or 0. Installs
// OpenHelpTopic as the help hook of the dialogs outside this folder (the automatic-change page,
// the peak-shift settings). HTML Help itself is loaded at the first topic asked for.
DWORD InitHelp(HMODULE module) noexcept;
// HH_UNINITIALIZE with the cookie of the first topic's HH_INITIALIZE (nothing when no topic was
// opened); unloads the HTML Help control.
void UninitHelp() noexcept;
// Opens a topic of the help file over the desktop window, loading and initialising HTML Help
// (HH_INITIALIZE) the first time; does nothing without HTML Help or a help file.
void OpenHelpTopic(DWORD topic) noexcept;
// A dialog's help request: WM_SYSCOMMAND SC_CONTEXTHELP (the "?" caption button) or WM_HELP
// (F1) opens `topic` and returns true; any other message or command returns false.
bool OpenDialogHelp(UINT message, WPARAM wParam, DWORD topic) noexcept;
// The located help file ("" before InitHelp).
const wchar_t* HelpFilePath() noexcept;
