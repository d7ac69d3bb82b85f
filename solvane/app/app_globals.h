// Process-wide state of Solvane.exe, set up by the start-up and read everywhere.
#pragma once

#include <windows.h>

#include <atomic>

#include "common/handles.h"
#include "common/os_model.h"

// Window classes of the program.
inline constexpr wchar_t kMainWindowClass[] = L"Solvane";
inline constexpr wchar_t kFrameWindowClass[] = L"frameWndClass";
inline constexpr wchar_t kPowerOsdWindowClass[] = L"OSDWndProc";
inline constexpr wchar_t kEcoOsdWindowClass[] = L"EcoOSDWndProc";

// The instance mutex (also tested by the installer helper). The plan-list lock
// "sOLVANEmUTEXps" belongs to the plan list (plans/plan_list.h).
inline constexpr wchar_t kInstanceMutexName[] = L"sOLVANEmUTEX";

// Registry: the program key under HKEY_LOCAL_MACHINE and the trace-log configuration key.
inline constexpr wchar_t kProgramKey[] = L"Software\\Orvel\\Solvane";
inline constexpr wchar_t kTraceLogKey[] = L"Software\\Orvel\\Solvane\\DbgLog";
inline constexpr wchar_t kDebugLogFlagValue[] = L"DebugLogFlag";

// Program title and button title buffers (string-table texts).
inline constexpr size_t kTitleChars = 256;

// OS model values (common/os_model.h).
using common::OS_MODEL_VISTA;
using common::OS_MODEL_WIN7;
using common::OS_MODEL_WIN8_OR_LATER;

// Text layout of the meter panel; the English version resource selects the smaller one.
struct PanelTextLayout {
    int nLargeFontHeight;
    int nSmallFontHeight;
    int nTextLeft;
};
inline constexpr PanelTextLayout kPanelTextLayoutJapanese = {25, 22, 242};
inline constexpr PanelTextLayout kPanelTextLayoutEnglish = {18, 16, 224};
PanelTextLayout PanelTextLayoutForLanguage(WORD primaryLanguage) noexcept;

extern HINSTANCE g_hInstance;              // module of every string-table load
extern wchar_t g_szProgramTitle[kTitleChars];  // main-window title and message-box caption
extern wchar_t g_szButtonTitle[kTitleChars];   // tooltip of the panel's minimise button
extern DWORD g_dwDebugLogFlag;             // "DebugLogFlag", kept only when non-zero
extern DWORD g_dwOsModel;                  // OS_MODEL_*
extern WORD g_wUiLanguage;                 // primary language of the version resource
extern PanelTextLayout g_PanelTextLayout;  // fonts and text position of the meter panel
extern common::UniqueHandle g_hInstanceMutex;  // "sOLVANEmUTEX", held until exit
extern std::atomic<bool> g_bRunFlag;       // every worker loop runs while it is set
extern HWND g_hMainWnd;                    // hidden main window of class "Solvane"
extern HWND g_hHiddenButton;               // hidden "BUTTON" child of the main window
