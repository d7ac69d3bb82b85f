#include "app/panel_display_dialog.h"

#include <windowsx.h>

#include "app/app_globals.h"
#include "app/help.h"
#include "common/log.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kTrace[] = L"PanelDisplaySettings";
constexpr int kLayoutStandard = 0;
constexpr int kLayoutFirst = 1;
constexpr int kLayoutSecond = 2;
constexpr int kLayoutButtons[] = {IDC_PANEL_LAYOUT_STANDARD, IDC_PANEL_LAYOUT_FIRST, IDC_PANEL_LAYOUT_SECOND};

bool g_bOpen = false;

int ChosenLayout(HWND dialog) noexcept {
    for (int layout = kLayoutStandard; layout <= kLayoutSecond; ++layout) {
        if (IsDlgButtonChecked(dialog, kLayoutButtons[layout]) == BST_CHECKED) {
            return layout;
        }
    }
    return kLayoutStandard;
}

void OnInitDialog(HWND dialog) noexcept {
    const DWORD flags = plans::g_Settings.blob.dwFlagWord;
    CheckRadioButton(dialog, IDC_PANEL_LAYOUT_STANDARD, IDC_PANEL_LAYOUT_SECOND,
                     kLayoutButtons[PanelDisplayLayout(flags)]);
    CheckDlgButton(dialog, IDC_PANEL_TOPMOST, (flags & plans::FLAG_TOPMOST) != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PANEL_TRANSPARENT,
                   (flags & plans::FLAG_TRANSPARENT) != 0 ? BST_CHECKED : BST_UNCHECKED);
}

// OK: the new bits are stored when they differ; the dialog answers whether they did.
void OnOk(HWND dialog) noexcept {
    const DWORD before = plans::g_Settings.blob.dwFlagWord;
    const DWORD after =
        PanelDisplayFlags(before, ChosenLayout(dialog), IsDlgButtonChecked(dialog, IDC_PANEL_TOPMOST) == BST_CHECKED,
                          IsDlgButtonChecked(dialog, IDC_PANEL_TRANSPARENT) == BST_CHECKED);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTrace, L"FlagWord %#x -> %#x", before, after);
    if (after == before) {
        EndDialog(dialog, 0);
        return;
    }
    plans::g_Settings.blob.dwFlagWord = after;
    plans::SaveSettings();
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (OpenDialogHelp(message, wParam, kHelpTopicPanelDisplay)) {
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            OnOk(dialog);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

DWORD PanelDisplayFlags(DWORD flagWord, int layout, bool topmost, bool transparent) noexcept {
    DWORD flags = flagWord & ~(plans::FLAG_LAYOUT_ALT1 | plans::FLAG_LAYOUT_ALT2 | plans::FLAG_TOPMOST |
                               plans::FLAG_TRANSPARENT);
    if (layout == kLayoutFirst) {
        flags |= plans::FLAG_LAYOUT_ALT1;
    } else if (layout == kLayoutSecond) {
        flags |= plans::FLAG_LAYOUT_ALT2;
    }
    flags |= topmost ? plans::FLAG_TOPMOST : 0;
    flags |= transparent ? plans::FLAG_TRANSPARENT : 0;
    return flags;
}

int PanelDisplayLayout(DWORD flagWord) noexcept {
    if ((flagWord & plans::FLAG_LAYOUT_ALT1) != 0) {
        return kLayoutFirst;
    }
    return (flagWord & plans::FLAG_LAYOUT_ALT2) != 0 ? kLayoutSecond : kLayoutStandard;
}

INT_PTR OpenPanelDisplaySettings(HWND panel) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"Enter");
    if (g_bOpen) {
        return 0;
    }
    g_bOpen = true;
    const INT_PTR result = DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_PANEL_DISPLAY), panel, DialogProc, 0);
    g_bOpen = false;
    LOG_TRACE(TRACE_LEVEL_APP, kTrace, L"Exit retval:%d", static_cast<int>(result));
    return result > 0 ? result : 0;
}

bool PanelDisplaySettingsOpen() noexcept { return g_bOpen; }
