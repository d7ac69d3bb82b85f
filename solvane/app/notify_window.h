// The mode notification windows of class "EcoOSDWndProc": a small always-on-top picture in the
// lower middle of the screen that shows the ECO modes while the user presses the ECO button or
// the hotkey, and activates the chosen plan once the presses stop. Three-mode design: the three
// modes side by side with the selection highlighted; two-mode design: one mode and a sentence
// saying that the plan is being or has been switched.
#pragma once

#include <windows.h>
#include <strsafe.h>

#include "app/app_messages.h"
#include "plans/plan_record.h"
#include "resources/resource.h"

namespace osd {

constexpr UINT kOsdTimerMs = 2000;
constexpr int kOsdWidth = 386;
constexpr int kOsdHeight = 138;
constexpr int kOsdDefaultX = 312;
constexpr int kOsdDefaultY = 572;
constexpr int kOsdScreenHeight768 = 768;

// Two-mode phases.
constexpr int PHASE_PENDING = 1;
constexpr int PHASE_APPLIED = 2;
constexpr int PHASE_REFUSED = 3;

// Position of the window: centred horizontally; y = 572 on a 768-line screen, otherwise
// height - window - (height / 2 - window) / 4.
POINT NotificationPosition(int screenWidth, int screenHeight, int width, int height) noexcept;

// Notification icon table: icon id of a plan's icon number in a column (0 not selected,
// 1 selected, 2 unavailable) for a mode (1-3).
int NotificationIconId(int iconNo, int column, int mode) noexcept;

// Cuts text with "..." from the end until measure(text) <= width. Returns the text to draw.
template <typename Measure>
void FitText(wchar_t* text, size_t cchText, int width, Measure measure) noexcept;

// The open notification window, or null. A window is forgotten as soon as its choice is taken,
// before the plan is activated and the window closes.
HWND NotificationWindow() noexcept;
// An ECO button press or hotkey in ECO mode operation: the open notification advances, else a new
// notification window opens.
void OnEcoPress() noexcept;
LRESULT CALLBACK ThreeModeOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TwoModeOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// What the open window shows (for the tests and the trace).
struct NotificationView {
    bool bOpen;
    bool bThreeMode;
    int nInitial;
    int nSelected;
    int nApplied;
    int nPhase;
};
NotificationView CurrentNotificationView() noexcept;

// Plan activation of the ECO-button road (the mode switching's ActivatePlan; tests may watch).
extern void (*g_pfnActivateModePlan)(const GUID& plan, DWORD ledValue);
void ActivateModePlanDefault(const GUID& plan, DWORD ledValue) noexcept;
// After the two-mode window closes: the video-quality warning when it is enabled and wanted and
// the shown plan is the low plan of the two-mode table.
extern void (*g_pfnVideoWarning)(const GUID& shownPlan, const GUID& planBeforeOpen);
void VideoWarningDefault(const GUID& shownPlan, const GUID& planBeforeOpen) noexcept;

}  // namespace osd

// The procedure registered for "EcoOSDWndProc": the three-mode or the two-mode design, chosen by
// the three-mode flag. The window places, sizes and shows itself, or refuses to open.
LRESULT CALLBACK EcoOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

template <typename Measure>
void osd::FitText(wchar_t* text, size_t cchText, int width, Measure measure) noexcept {
    size_t length = wcsnlen(text, cchText);
    if (length == 0 || measure(text) <= width) {
        return;
    }
    constexpr size_t kDots = 3;
    while (length > 0) {
        --length;
        if (length + kDots + 1 > cchText) {
            continue;
        }
        text[length] = L'\0';
        StringCchCatW(text, cchText, L"...");
        if (measure(text) <= width) {
            return;
        }
        text[length] = L'\0';
    }
    StringCchCopyW(text, cchText, L"...");
}
