// The program's icon in the notification area: the plan icon table, adding, updating (icon,
// tooltip, change notification) and deleting the icon.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>

#include "app/app_messages.h"
#include "resources/resource.h"

namespace tray {

constexpr UINT kTrayIconId = 99;
constexpr size_t kIconRowCount = 12;
constexpr int kDefaultIconRow = 10;
constexpr size_t kTooltipMaxChars = 80;
constexpr size_t kTipBufferChars = 128;      // NOTIFYICONDATAW.szTip
constexpr size_t kInfoBufferChars = 256;     // NOTIFYICONDATAW.szInfo
constexpr size_t kInfoTitleBufferChars = 64; // NOTIFYICONDATAW.szInfoTitle
constexpr int kTrayIconSize = 16;
constexpr UINT kBalloonTimeoutMs = 30000;
constexpr int kMaxTrayAttempts = 10;
constexpr DWORD kTrayRetryPauseMs = 500;

struct IconRow {
    int nKey;         // icon number of the plan; -1 for a row no number selects
    int nDialogIcon;  // icon of the plan dialogs
    int nTrayIcon;    // icon of the tray and the menus (ECO variant: plus the LED number)
    int nReserved;    // -1
    int nControlId;   // control of the plan dialogs
};
extern const IconRow kStandardIconTable[kIconRowCount];
extern const IconRow kEcoIconTable[kIconRowCount];

// The table in use: the ECO variant replaces the standard one in ECO mode operation.
const IconRow* CurrentIconTable() noexcept;
void UseEcoIconTable(bool eco) noexcept;

// First row whose key equals the icon number; row 10 when none does (-1 never matches).
int IconRowIndex(int iconNo) noexcept;
int IconRowIndexIn(const IconRow* table, int iconNo) noexcept;
// Tray-and-menu icon id of a plan: its row's icon, plus the LED number (0-3) in ECO mode
// operation. An LED number outside 0-3 adds nothing.
int TrayIconResourceId(const IconRow* table, int iconNo, int ledNo, bool ecoOperation) noexcept;

// Tooltip from the format (string 307) and the plan's name, cut to 80 characters.
void FormatTooltip(const wchar_t* format, const wchar_t* planName, wchar_t (&tip)[kTipBufferChars]) noexcept;
// Balloon text of the low-battery change from the format (string 261), the threshold and the
// plan's name. A name that would make the text overflow the balloon is cut and ends in "...";
// the result always fits the 255 characters of the balloon. Returns false on a bad format.
bool FormatLowBatteryText(const wchar_t* format, int threshold, const wchar_t* planName,
                          wchar_t (&text)[kInfoBufferChars]) noexcept;

// What the program last handed to the shell (for the refresh on mouse-over and for tests).
struct TrayIconState {
    bool bAdded;
    int nIconId;
    wchar_t szTip[kTipBufferChars];
    wchar_t szInfo[kInfoBufferChars];
    wchar_t szShownPlanName[kTipBufferChars];
};
const TrayIconState& GetTrayIconState() noexcept;

// The shell call, replaceable for tests of the retry rules.
using ShellNotifyIconFn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
void SetShellNotifyIcon(ShellNotifyIconFn fn, DWORD retryPauseMs) noexcept;

// Adds the icon (up to 10 attempts, see the error records 44 and 45). TRUE when it exists.
BOOL AddTrayIcon(HWND owner) noexcept;
// Loads the current plan's icon and tooltip and hands them to the shell (up to 10 attempts);
// with notify, also the low-battery change balloon (and on OS model 3 a toast).
BOOL UpdateTrayIcon(HWND owner, bool notify) noexcept;
// Updates with an explicit tooltip (the "Running" placeholder of the add).
BOOL UpdateTrayIconWithTip(HWND owner, const wchar_t* tip, const wchar_t* info) noexcept;
// Deletes the icon once (error 46 on failure).
BOOL DeleteTrayIcon(HWND owner) noexcept;

// The shell's taskbar came back ("TaskbarCreated"): put the icon back whatever the shell still
// holds, then refresh it. TRUE when the icon exists afterwards.
BOOL RestoreTrayIcon(HWND owner) noexcept;

// Mouse-over: refreshes icon and tooltip when the active plan's name differs from the one shown.
void RefreshTrayIconIfPlanChanged(HWND owner) noexcept;

// Active plan as the tray shows it.
struct ActivePlanView {
    GUID guid;
    int nIconNo;
    int nLedNo;
    wchar_t szName[kTipBufferChars * 2];
};
bool ReadActivePlanView(ActivePlanView* view) noexcept;

}  // namespace tray
