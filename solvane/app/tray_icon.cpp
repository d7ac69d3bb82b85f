#include "app/tray_icon.h"

#include "battery/auto_change.h"

#include <strsafe.h>

#include <memory>

#include "app/app_globals.h"
#include "app/ui_state.h"
#include "app/yarrow_toast.h"
#include "common/log.h"
#include "plans/guid_text.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"

namespace tray {

const IconRow kStandardIconTable[kIconRowCount] = {
    {0, IDI_PLAN_DIALOG_FIRST + 0, IDI_PLAN_TRAY_FIRST + 0, -1, 1144},
    {1, IDI_PLAN_DIALOG_FIRST + 1, IDI_PLAN_TRAY_FIRST + 1, -1, 1145},
    {2, IDI_PLAN_DIALOG_FIRST + 2, IDI_PLAN_TRAY_FIRST + 2, -1, 1146},
    {3, IDI_PLAN_DIALOG_FIRST + 3, IDI_PLAN_TRAY_FIRST + 3, -1, 1147},
    {4, IDI_PLAN_DIALOG_FIRST + 4, IDI_PLAN_TRAY_FIRST + 4, -1, 1148},
    {-1, IDI_PLAN_DIALOG_FIRST + 5, IDI_PLAN_TRAY_FIRST + 5, -1, 1154},
    {-1, IDI_PLAN_DIALOG_FIRST + 6, IDI_PLAN_TRAY_FIRST + 6, -1, 1155},
    {7, IDI_PLAN_DIALOG_FIRST + 7, IDI_PLAN_TRAY_FIRST + 7, -1, 1149},
    {8, IDI_PLAN_DIALOG_FIRST + 8, IDI_PLAN_TRAY_FIRST + 8, -1, 1150},
    {9, IDI_PLAN_DIALOG_FIRST + 9, IDI_PLAN_TRAY_FIRST + 9, -1, 1151},
    {10, IDI_PLAN_DIALOG_FIRST + 10, IDI_PLAN_TRAY_FIRST + 10, -1, 1152},
    {11, IDI_PLAN_DIALOG_FIRST + 11, IDI_PLAN_TRAY_FIRST + 11, -1, 1153},
};
const IconRow kEcoIconTable[kIconRowCount] = {
    {0, IDI_ECO_PLAN_DIALOG_FIRST + 0, IDI_ECO_PLAN_TRAY_FIRST + 0, -1, 1144},
    {1, IDI_ECO_PLAN_DIALOG_FIRST + 4, IDI_ECO_PLAN_TRAY_FIRST + 4, -1, 1145},
    {2, IDI_ECO_PLAN_DIALOG_FIRST + 8, IDI_ECO_PLAN_TRAY_FIRST + 8, -1, 1146},
    {3, IDI_ECO_PLAN_DIALOG_FIRST + 12, IDI_ECO_PLAN_TRAY_FIRST + 12, -1, 1147},
    {4, IDI_ECO_PLAN_DIALOG_FIRST + 32, IDI_ECO_PLAN_TRAY_FIRST + 32, -1, 1148},
    {-1, IDI_PLAN_DIALOG_FIRST + 5, IDI_PLAN_TRAY_FIRST + 5, -1, 1154},
    {-1, IDI_PLAN_DIALOG_FIRST + 6, IDI_PLAN_TRAY_FIRST + 6, -1, 1155},
    {7, IDI_ECO_PLAN_DIALOG_FIRST + 16, IDI_ECO_PLAN_TRAY_FIRST + 16, -1, 1149},
    {8, IDI_ECO_PLAN_DIALOG_FIRST + 36, IDI_ECO_PLAN_TRAY_FIRST + 36, -1, 1150},
    {9, IDI_ECO_PLAN_DIALOG_FIRST + 20, IDI_ECO_PLAN_TRAY_FIRST + 20, -1, 1151},
    {10, IDI_ECO_PLAN_DIALOG_FIRST + 24, IDI_ECO_PLAN_TRAY_FIRST + 24, -1, 1152},
    {11, IDI_ECO_PLAN_DIALOG_FIRST + 28, IDI_ECO_PLAN_TRAY_FIRST + 28, -1, 1153},
};

namespace {

constexpr wchar_t kRunningTip[] = L"Running";
constexpr wchar_t kEllipsis[] = L"...";
constexpr size_t kEllipsisChars = 3;
constexpr size_t kFormatSpecifierChars = 5;  // "%d", "%%" and "%s" print 1 of their 6 characters
constexpr int kMaxLedNo = 3;

const IconRow* g_pIconTable = kStandardIconTable;
TrayIconState g_State = {};
ShellNotifyIconFn g_pfnShellNotifyIcon = Shell_NotifyIconW;
DWORD g_dwRetryPauseMs = kTrayRetryPauseMs;

void FillBase(NOTIFYICONDATAW* data, HWND owner) noexcept {
    ZeroMemory(data, sizeof(*data));
    data->cbSize = sizeof(NOTIFYICONDATAW);
    data->hWnd = owner;
    data->uID = kTrayIconId;
    data->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data->uCallbackMessage = WM_APP_TRAY_CALLBACK;
}

size_t DecimalDigits(int value) noexcept {
    size_t digits = value < 0 ? 2 : 1;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits;
}

// The program title of message boxes and balloons.
void LoadTitle(wchar_t (&title)[kInfoTitleBufferChars]) noexcept {
    UINT id = ui::EcoOperation() ? IDS_ECO_PROGRAM_TITLE : IDS_PROGRAM_TITLE;
    if (LoadStringW(g_hInstance, id, title, static_cast<int>(kInfoTitleBufferChars)) == 0) {
        StringCchCopyW(title, kInfoTitleBufferChars, g_szProgramTitle);
    }
}

BOOL ModifyWithIcon(HWND owner, int iconId, const wchar_t* tip, const wchar_t* info) noexcept {
    BOOL ok = FALSE;
    for (int attempt = 0; attempt < kMaxTrayAttempts; ++attempt) {
        NOTIFYICONDATAW data;
        FillBase(&data, owner);
        common::UniqueIcon icon(static_cast<HICON>(LoadImageW(g_hInstance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                               kTrayIconSize, kTrayIconSize, LR_DEFAULTCOLOR)));
        data.hIcon = icon.Get();
        StringCchCopyW(data.szTip, ARRAYSIZE(data.szTip), tip);
        if (info != nullptr) {
            data.uFlags |= NIF_INFO;
            data.dwInfoFlags = NIIF_INFO;
            data.uTimeout = kBalloonTimeoutMs;
            StringCchCopyW(data.szInfo, ARRAYSIZE(data.szInfo), info);
            wchar_t title[kInfoTitleBufferChars];
            LoadTitle(title);
            StringCchCopyW(data.szInfoTitle, ARRAYSIZE(data.szInfoTitle), title);
        }
        SetLastError(ERROR_SUCCESS);
        ok = g_pfnShellNotifyIcon(NIM_MODIFY, &data);
        DWORD error = GetLastError();
        if (ok) {
            g_State.nIconId = iconId;
            StringCchCopyW(g_State.szTip, kTipBufferChars, data.szTip);
            StringCchCopyW(g_State.szInfo, kInfoBufferChars, info != nullptr ? data.szInfo : L"");
            LOG_TRACE(TRACE_LEVEL_VALUES, L"TrayMessage", L"NIM_MODIFY icon %d tip \"%s\"%s", iconId, data.szTip,
                      info != nullptr ? L" with balloon" : L"");
            SetLastError(error);
            return TRUE;
        }
        if (error != ERROR_SUCCESS) {
            WriteErrorLog(IDS_ERR_TRAY_MODIFY, error, ERRLOG_FILE);
        }
        if (error != ERROR_TIMEOUT) {
            break;
        }
        Sleep(g_dwRetryPauseMs);
    }
    return ok;
}

int CurrentPlanIconId(const ActivePlanView& view) noexcept {
    return TrayIconResourceId(g_pIconTable, view.nIconNo, view.nLedNo, ui::EcoOperation());
}

void ShowChangeToast(const wchar_t* text) noexcept {
    if (!toast::ToastModeWanted()) {
        return;
    }
    wchar_t title[kInfoTitleBufferChars];
    LoadTitle(title);
    toast::Display(toast::kKindLowBatteryChange, title, text);
}

}  // namespace

const IconRow* CurrentIconTable() noexcept { return g_pIconTable; }
void UseEcoIconTable(bool eco) noexcept { g_pIconTable = eco ? kEcoIconTable : kStandardIconTable; }

int IconRowIndex(int iconNo) noexcept { return IconRowIndexIn(g_pIconTable, iconNo); }

int IconRowIndexIn(const IconRow* table, int iconNo) noexcept {
    if (iconNo < 0) {
        return kDefaultIconRow;
    }
    for (size_t row = 0; row < kIconRowCount; ++row) {
        if (table[row].nKey == iconNo) {
            return static_cast<int>(row);
        }
    }
    return kDefaultIconRow;
}

int TrayIconResourceId(const IconRow* table, int iconNo, int ledNo, bool ecoOperation) noexcept {
    int id = table[IconRowIndexIn(table, iconNo)].nTrayIcon;
    if (ecoOperation && ledNo > 0 && ledNo <= kMaxLedNo) {
        id += ledNo;
    }
    return id;
}

void FormatTooltip(const wchar_t* format, const wchar_t* planName, wchar_t (&tip)[kTipBufferChars]) noexcept {
    // A longer result is cut below anyway, so a truncated print is fine here.
    StringCchPrintfW(tip, kTipBufferChars, format, planName);
    if (wcslen(tip) > kTooltipMaxChars) {
        tip[kTooltipMaxChars] = L'\0';
    }
}

bool FormatLowBatteryText(const wchar_t* format, int threshold, const wchar_t* planName,
                          wchar_t (&text)[kInfoBufferChars]) noexcept {
    text[0] = L'\0';
    size_t formatChars = wcslen(format);
    if (formatChars < kFormatSpecifierChars) {
        return false;
    }
    size_t literalChars = formatChars - kFormatSpecifierChars;
    size_t digits = DecimalDigits(threshold);
    size_t nameChars = wcslen(planName);
    // The balloon holds 255 characters and its terminator.
    const size_t capacity = kInfoBufferChars - 1;
    wchar_t name[kInfoBufferChars];
    if (literalChars + digits + nameChars > capacity) {
        if (literalChars + digits + kEllipsisChars >= capacity) {
            return false;
        }
        size_t keep = capacity - literalChars - digits - kEllipsisChars;
        StringCchCopyNW(name, kInfoBufferChars, planName, keep);
        StringCchCatW(name, kInfoBufferChars, kEllipsis);
    } else {
        StringCchCopyW(name, kInfoBufferChars, planName);
    }
    return SUCCEEDED(StringCchPrintfW(text, kInfoBufferChars, format, threshold, name));
}

const TrayIconState& GetTrayIconState() noexcept { return g_State; }

void SetShellNotifyIcon(ShellNotifyIconFn fn, DWORD retryPauseMs) noexcept {
    g_pfnShellNotifyIcon = fn != nullptr ? fn : Shell_NotifyIconW;
    g_dwRetryPauseMs = retryPauseMs;
}

bool ReadActivePlanView(ActivePlanView* view) noexcept {
    ZeroMemory(view, sizeof(*view));
    view->nIconNo = plans::kDefaultIconNo;
    if (plans::ReadActiveScheme(&view->guid) != ERROR_SUCCESS) {
        return false;
    }
    auto record = std::make_unique<plans::PlanRecord>();
    record->guid = view->guid;
    plans::ReadPlanRecord(record.get());
    if (plans::IsNullGuid(record->guid)) {
        return false;
    }
    view->nIconNo = record->nIconNo;
    view->nLedNo = record->nLedNo;
    StringCchCopyW(view->szName, ARRAYSIZE(view->szName), record->szName);
    return true;
}

BOOL AddTrayIcon(HWND owner) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"AddTrayIcon", L"Enter");
    BOOL result = FALSE;
    for (int attempt = 0; attempt < kMaxTrayAttempts; ++attempt) {
        NOTIFYICONDATAW data;
        FillBase(&data, owner);
        SetLastError(ERROR_SUCCESS);
        if (g_pfnShellNotifyIcon(NIM_ADD, &data)) {
            result = TRUE;
            break;
        }
        DWORD error = GetLastError();
        WriteErrorLog(IDS_ERR_TRAY_ADD, error, ERRLOG_FILE);
        if (error != ERROR_TIMEOUT) {
            break;
        }
        // The shell may have added the icon all the same: a modify tells.
        Sleep(g_dwRetryPauseMs);
        ActivePlanView view;
        ReadActivePlanView(&view);
        BOOL modified = ModifyWithIcon(owner, CurrentPlanIconId(view), kRunningTip, nullptr);
        DWORD modifyError = GetLastError();
        if (modified) {
            if (modifyError == ERROR_SUCCESS) {
                result = TRUE;
            } else {
                WriteErrorLog(IDS_ERR_TRAY_ADD_MODIFY_OK, modifyError, ERRLOG_FILE);
            }
            break;
        }
    }
    g_State.bAdded = result != FALSE;
    if (result) {
        g_State.szShownPlanName[0] = L'\0';
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"AddTrayIcon", L"Exit retval:%08x", static_cast<unsigned>(result));
    return result;
}

BOOL UpdateTrayIconWithTip(HWND owner, const wchar_t* tip, const wchar_t* info) noexcept {
    ActivePlanView view;
    ReadActivePlanView(&view);
    return ModifyWithIcon(owner, CurrentPlanIconId(view), tip, info);
}

BOOL UpdateTrayIcon(HWND owner, bool notify) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"UpdateTrayIcon", L"Enter");
    ActivePlanView view;
    ReadActivePlanView(&view);
    wchar_t format[kTipBufferChars] = L"%s";
    LoadStringW(g_hInstance, IDS_TOOLTIP_PLAN, format, static_cast<int>(kTipBufferChars));
    wchar_t tip[kTipBufferChars];
    FormatTooltip(format, view.szName, tip);
    wchar_t info[kInfoBufferChars] = L"";
    bool withInfo = false;
    if (notify) {
        wchar_t infoFormat[kInfoBufferChars] = L"";
        if (LoadStringW(g_hInstance, IDS_LOW_BATTERY_CHANGE, infoFormat, static_cast<int>(kInfoBufferChars)) > 0 &&
            FormatLowBatteryText(infoFormat, static_cast<int>(battery::GetAutoRecord().RemaindPercent), view.szName, info)) {
            withInfo = true;
            ShowChangeToast(info);
        }
    }
    BOOL result = ModifyWithIcon(owner, CurrentPlanIconId(view), tip, withInfo ? info : nullptr);
    if (result) {
        StringCchCopyW(g_State.szShownPlanName, kTipBufferChars, view.szName);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"UpdateTrayIcon", L"Exit retval:%08x", static_cast<unsigned>(result));
    return result;
}

BOOL DeleteTrayIcon(HWND owner) noexcept {
    NOTIFYICONDATAW data;
    FillBase(&data, owner);
    data.uFlags = 0;
    BOOL ok = g_pfnShellNotifyIcon(NIM_DELETE, &data);
    if (!ok) {
        WriteErrorLog(IDS_ERR_TRAY_DELETE, GetLastError(), ERRLOG_FILE);
    }
    g_State.bAdded = false;
    LOG_TRACE(TRACE_LEVEL_VALUES, L"TrayMessage", L"NIM_DELETE %d", ok);
    return ok;
}

BOOL RestoreTrayIcon(HWND owner) noexcept {
    // After a restart the shell holds no icon; after a mere broadcast it still does. Removing
    // whatever is left first makes the add succeed either way (its failure is expected).
    NOTIFYICONDATAW data;
    FillBase(&data, owner);
    data.uFlags = 0;
    g_pfnShellNotifyIcon(NIM_DELETE, &data);
    g_State.bAdded = false;
    if (!AddTrayIcon(owner)) {
        return FALSE;
    }
    return UpdateTrayIcon(owner, false);
}

void RefreshTrayIconIfPlanChanged(HWND owner) noexcept {
    ActivePlanView view;
    ReadActivePlanView(&view);
    if (wcsncmp(view.szName, g_State.szShownPlanName, kTipBufferChars - 1) != 0) {
        UpdateTrayIcon(owner, false);
    }
}

}  // namespace tray
