#include "app/hotkey_dialog.h"

#include <windowsx.h>

#include "app/app_globals.h"
#include "app/help.h"
#include "app/hotkey.h"
#include "app/ui_state.h"
#include "common/log.h"

namespace hotkey {

namespace {

constexpr size_t kMessageChars = 512;

int DefaultMessageBox(HWND owner, UINT stringId, UINT type) {
    wchar_t text[kMessageChars] = L"";
    LoadStringW(g_hInstance, stringId, text, static_cast<int>(kMessageChars));
    return MessageBoxW(owner, text, g_szProgramTitle, type);
}

MessageBoxFn g_pfnMessageBox = DefaultMessageBox;

// Selection the dialog started with (or was reset to).
size_t g_nInitialSelection = 0;

size_t CurrentSelection(HWND dialog) noexcept {
    LRESULT selection = SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR || selection < 0 || static_cast<size_t>(selection) >= kHotkeyEntryCount) {
        return 0;
    }
    return static_cast<size_t>(selection);
}

HotkeyPair PairOf(size_t index) noexcept { return {kHotkeyTable[index].uModifiers, kHotkeyTable[index].uKey}; }

void OnInitDialog(HWND dialog) noexcept {
    HWND combo = GetDlgItem(dialog, IDC_HOTKEY_COMBO);
    for (size_t i = 0; i < kHotkeyEntryCount; ++i) {
        wchar_t name[kHotkeyNameChars] = L"";
        LoadStringW(g_hInstance, kHotkeyTable[i].uStringId, name, static_cast<int>(kHotkeyNameChars));
        ComboBox_AddString(combo, name);
    }
    g_nInitialSelection = FindHotkeyEntry(ReadStoredHotkey());
    ComboBox_SetCurSel(combo, static_cast<int>(g_nInitialSelection));
    if (ui::ThreeModeOperation()) {
        wchar_t label[kHotkeyNameChars] = L"";
        if (LoadStringW(g_hInstance, IDS_HOTKEY_RESET_LABEL, label, static_cast<int>(kHotkeyNameChars)) > 0) {
            SetDlgItemTextW(dialog, IDC_HOTKEY_RESET, label);
        }
    }
}

void OnOk(HWND dialog) noexcept {
    size_t selection = CurrentSelection(dialog);
    UnregisterMainHotkey(g_hMainWnd);
    if (selection != 0 && !RegisterHotkeyPair(g_hMainWnd, PairOf(selection))) {
        g_pfnMessageBox(dialog, IDS_HOTKEY_FAILED, MB_ICONWARNING);
        if (g_nInitialSelection != 0) {
            RegisterHotkeyPair(g_hMainWnd, PairOf(g_nInitialSelection));
        }
        return;  // stays open
    }
    WriteUserHotkey(PairOf(selection));
    EndDialog(dialog, IDOK);
}

void OnCancel(HWND dialog) noexcept {
    if (CurrentSelection(dialog) != g_nInitialSelection &&
        g_pfnMessageBox(dialog, IDS_DISCARD_CHANGES, MB_ICONQUESTION | MB_OKCANCEL) != IDOK) {
        return;
    }
    EndDialog(dialog, IDCANCEL);
}

void OnReset(HWND dialog) noexcept {
    if (g_pfnMessageBox(dialog, IDS_HOTKEY_RESET_QUESTION, MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return;
    }
    UnregisterMainHotkey(g_hMainWnd);
    HotkeyPair machine = {0, 0};
    if (!ReadHotkeyPair(HKEY_LOCAL_MACHINE, &machine)) {
        machine = {0, 0};
    }
    size_t entry = FindHotkeyEntry(machine);
    if (entry != 0) {
        RegisterHotkeyPair(g_hMainWnd, PairOf(entry));
    }
    ComboBox_SetCurSel(GetDlgItem(dialog, IDC_HOTKEY_COMBO), static_cast<int>(entry));
    g_nInitialSelection = entry;
    WriteUserHotkey(PairOf(entry));
}

}  // namespace

void SetHotkeyMessageBox(MessageBoxFn fn) noexcept { g_pfnMessageBox = fn != nullptr ? fn : DefaultMessageBox; }

INT_PTR CALLBACK HotkeyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk(dialog);
            return TRUE;
        case IDCANCEL:
            OnCancel(dialog);
            return TRUE;
        case IDC_HOTKEY_RESET:
            OnReset(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_SYSCOMMAND:
    case WM_HELP:
        return OpenDialogHelp(message, wParam, kHelpTopicHotkeys) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

INT_PTR ShowHotkeyDialog(HWND parent) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowHotkeyDialog", L"Enter");
    INT_PTR result = DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_HOTKEY), parent, HotkeyDialogProc, 0);
    LOG_TRACE(TRACE_LEVEL_APP, L"ShowHotkeyDialog", L"Exit retval:%08x", static_cast<unsigned>(result));
    return result;
}

}  // namespace hotkey
