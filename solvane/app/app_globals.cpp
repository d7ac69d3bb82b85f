#include "app/app_globals.h"

HINSTANCE g_hInstance = nullptr;
wchar_t g_szProgramTitle[kTitleChars] = {};
wchar_t g_szButtonTitle[kTitleChars] = {};
DWORD g_dwDebugLogFlag = 0;
DWORD g_dwOsModel = OS_MODEL_WIN7;
WORD g_wUiLanguage = 0;
PanelTextLayout g_PanelTextLayout = kPanelTextLayoutJapanese;
common::UniqueHandle g_hInstanceMutex;
std::atomic<bool> g_bRunFlag{false};
HWND g_hMainWnd = nullptr;
HWND g_hHiddenButton = nullptr;

PanelTextLayout PanelTextLayoutForLanguage(WORD primaryLanguage) noexcept {
    return primaryLanguage == LANG_ENGLISH ? kPanelTextLayoutEnglish : kPanelTextLayoutJapanese;
}
