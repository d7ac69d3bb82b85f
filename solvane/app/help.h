// HTML help: the help file "Solvane.chm" in the folder of the program's language resources (or
// the program's folder), shown through the HTML Help control when it can be loaded.
#pragma once

#include <windows.h>

#include <cstddef>

// Help topics of the windows; each opens on the "?" caption button (SC_CONTEXTHELP).
constexpr DWORD kHelpTopicPlanPage = 10501;
constexpr DWORD kHelpTopicPanelDisplay = 10502;
constexpr DWORD kHelpTopicPlanEditor = 10503;
constexpr DWORD kHelpTopicNewPlan = 10504;
constexpr DWORD kHelpTopicRenamePlan = 10115;
constexpr DWORD kHelpTopicBatteryPage = 10505;
// The hotkey settings (10506) keep their topic in app/hotkey_dialog.h.
constexpr DWORD kHelpTopicMeterPanel = 11030;
constexpr DWORD kHelpTopicEcoSettings = 11178;
constexpr DWORD kHelpTopicPeakShift = 13001;

constexpr wchar_t kHelpFileName[] = L"Solvane.chm";

// The help file for the program at `modulePath` and the UI language: the folder of its
// language resource file when GetFileMUIPath finds one, else the program's folder. 0 or
// ERROR_INSUFFICIENT_BUFFER / ERROR_INVALID_PARAMETER.
DWORD LocateHelpFile(const wchar_t* modulePath, LANGID uiLanguage, wchar_t* out, size_t cchOut) noexcept;

// Locates the help file of this program and initialises HTML Help (HH_INITIALIZE). Returns the
// error of GetModuleFileNameW, or 0. Installs OpenHelpTopic as the dialogs' help hook.
DWORD InitHelp(HMODULE module) noexcept;
// HH_UNINITIALIZE with the cookie of InitHelp; unloads the HTML Help control.
void UninitHelp() noexcept;
// Opens a topic of the help file over the desktop window; does nothing without HTML Help.
void OpenHelpTopic(DWORD topic) noexcept;
// The located help file ("" before InitHelp).
const wchar_t* HelpFilePath() noexcept;
