#include "app/notify_window.h"


#include "app/app_globals.h"
#include "app/tray_icon.h"
#include "app/ui_state.h"
#include "app/yarrow_toast.h"
#include "common/handles.h"
#include "common/log.h"
#include "drivers/eco_led.h"
#include "plans/guid_text.h"
#include "plans/mode_choice.h"
#include "plans/peak_cut_values.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/power_values.h"
#include "resources/resource.h"

namespace osd {

void (*g_pfnActivateModePlan)(const GUID& plan, DWORD ledValue) = ActivateModePlanDefault;
void (*g_pfnVideoWarning)(const GUID& shownPlan, const GUID& planBeforeOpen) = VideoWarningDefault;

namespace {

constexpr wchar_t kTraceName[] = L"EcoOSDWndProc";
constexpr int kModeCount = 3;
constexpr size_t kTextChars = 512;
constexpr LANGID kJapaneseLanguage = 1041;

// String ids.
// Text sizes.
constexpr int kDefaultNameSize = 14;
constexpr int kForeignNameSize = 12;
constexpr int kDefaultLabelSize = 14;
constexpr int kDefaultSentenceSize = 25;

constexpr COLORREF kModeColours[kModeCount] = {0xE92E00, 0xBB9700, 0x14B500};
constexpr COLORREF kLabelColour = RGB(0, 0, 0);

constexpr RECT kThreeIconRects[kModeCount] = {{31, 29, 111, 109}, {153, 29, 233, 109}, {275, 29, 355, 109}};
constexpr RECT kThreeNameRects[kModeCount] = {{15, 114, 127, 133}, {137, 114, 249, 133}, {259, 114, 371, 133}};
constexpr RECT kThreeLabelRects[kModeCount] = {{31, 5, 111, 24}, {153, 5, 233, 24}, {275, 5, 355, 24}};
constexpr RECT kTwoIconRect = {21, 29, 101, 109};
constexpr RECT kTwoSentenceRect = {115, 39, 371, 100};

// Notification icon table: key, not selected, selected, unavailable.
struct OsdIconRow {
    int nKey;
    int nIcons[3];
};
constexpr OsdIconRow kOsdIconTable[12] = {
    {0, {IDI_OSD_NOT_SELECTED_FIRST + 0, IDI_OSD_SELECTED_FIRST + 0, IDI_OSD_UNAVAILABLE_FIRST + 0}},
    {1, {IDI_OSD_NOT_SELECTED_FIRST + 3, IDI_OSD_SELECTED_FIRST + 3, IDI_OSD_UNAVAILABLE_FIRST + 3}},
    {2, {IDI_OSD_NOT_SELECTED_FIRST + 6, IDI_OSD_SELECTED_FIRST + 6, IDI_OSD_UNAVAILABLE_FIRST + 6}},
    {3, {IDI_OSD_NOT_SELECTED_FIRST + 9, IDI_OSD_SELECTED_FIRST + 9, IDI_OSD_UNAVAILABLE_FIRST + 9}},
    {4, {IDI_OSD_NOT_SELECTED_FIRST + 24, IDI_OSD_SELECTED_FIRST + 24, IDI_OSD_UNAVAILABLE_FIRST + 24}},
    {-1, {-1, -1, -1}},
    {-1, {-1, -1, -1}},
    {7, {IDI_OSD_NOT_SELECTED_FIRST + 12, IDI_OSD_SELECTED_FIRST + 12, IDI_OSD_UNAVAILABLE_FIRST + 12}},
    {8, {IDI_OSD_NOT_SELECTED_FIRST + 27, IDI_OSD_SELECTED_FIRST + 27, IDI_OSD_UNAVAILABLE_FIRST + 27}},
    {9, {IDI_OSD_NOT_SELECTED_FIRST + 15, IDI_OSD_SELECTED_FIRST + 15, IDI_OSD_UNAVAILABLE_FIRST + 15}},
    {10, {IDI_OSD_NOT_SELECTED_FIRST + 18, IDI_OSD_SELECTED_FIRST + 18, IDI_OSD_UNAVAILABLE_FIRST + 18}},
    {11, {IDI_OSD_NOT_SELECTED_FIRST + 21, IDI_OSD_SELECTED_FIRST + 21, IDI_OSD_UNAVAILABLE_FIRST + 21}},
};
constexpr int kOsdDefaultRow = 10;

struct OsdState {
    HWND hwnd = nullptr;
    bool bThreeMode = true;
    int nInitial = 0;
    int nSelected = 0;
    int nApplied = 0;
    int nPhase = PHASE_APPLIED;
    GUID planBeforeOpen = GUID_NULL;
    plans::ThreeModeChoice threeChoice;
    plans::TwoModeChoice twoChoice;
    plans::ModeSlot slots[kModeCount] = {};
    common::UniqueGdiObject background;
    common::UniqueGdiObject nameFont;
    common::UniqueGdiObject labelFont;
    common::UniqueGdiObject sentenceFont;
};
OsdState g_Osd;

bool ReadSlots(plans::ModeSlot (&slots)[kModeCount]) noexcept {
    int found = 0;
    return plans::FindModeSlots(slots, &found) != FALSE;
}

GUID ActiveScheme() noexcept { return plans::ActivePlanOrNull(false); }


int ReadTextSize(int resourceId, int fallback) noexcept {
    HRSRC resource = FindResourceW(g_hInstance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    if (resource == nullptr || SizeofResource(g_hInstance, resource) < sizeof(DWORD)) {
        return fallback;
    }
    HGLOBAL loaded = LoadResource(g_hInstance, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return fallback;
    }
    DWORD size = 0;
    CopyMemory(&size, data, sizeof(size));
    return size > 0 && size < 200 ? static_cast<int>(size) : fallback;
}

HFONT MakeFont(int sizePixels) noexcept {
    LOGFONTW font = {};
    font.lfHeight = -(sizePixels + 1);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = ANTIALIASED_QUALITY;
    if (LoadStringW(g_hInstance, IDS_FONT_FACE, font.lfFaceName, LF_FACESIZE) == 0) {
        StringCchCopyW(font.lfFaceName, LF_FACESIZE, L"MS Shell Dlg");
    }
    return CreateFontIndirectW(&font);
}

void LoadResources(bool threeMode) noexcept {
    g_Osd.background.Reset(LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDB_OSD_BACKGROUND), IMAGE_BITMAP, 0, 0,
                                      LR_CREATEDIBSECTION));
    if (threeMode) {
        int nameSize = ReadTextSize(IDR_SIZE_NAMES, kDefaultNameSize);
        if (PRIMARYLANGID(GetUserDefaultUILanguage()) != PRIMARYLANGID(kJapaneseLanguage)) {
            nameSize = kForeignNameSize;
        }
        g_Osd.nameFont.Reset(MakeFont(nameSize));
        g_Osd.labelFont.Reset(MakeFont(ReadTextSize(IDR_SIZE_LABELS, kDefaultLabelSize)));
    } else {
        g_Osd.sentenceFont.Reset(MakeFont(ReadTextSize(IDR_SIZE_SENTENCE, kDefaultSentenceSize)));
    }
}

void FreeResources() noexcept {
    g_Osd.background.Reset();
    g_Osd.nameFont.Reset();
    g_Osd.labelFont.Reset();
    g_Osd.sentenceFont.Reset();
}

// Size, place and show the window; it never takes the focus.
void Place(HWND hwnd) noexcept {
    POINT pos = NotificationPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), kOsdWidth,
                                     kOsdHeight);
    EnableWindow(hwnd, FALSE);
    SetWindowPos(hwnd, HWND_TOPMOST, pos.x, pos.y, kOsdWidth, kOsdHeight, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Activate(const GUID& plan, DWORD ledValue) noexcept {
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"activate mode plan (LED %u)", ledValue);
    if (g_pfnActivateModePlan != nullptr) {
        g_pfnActivateModePlan(plan, ledValue);
    }
}

void CloseNotification(HWND hwnd) noexcept {
    KillTimer(hwnd, IDT_OSD);
    if (g_Osd.hwnd == hwnd) {
        g_Osd.hwnd = nullptr;
    }
    g_Osd.background.Reset();
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

bool RestartTimer(HWND hwnd) noexcept {
    if (SetTimer(hwnd, IDT_OSD, kOsdTimerMs, nullptr) != 0) {
        return true;
    }
    CloseNotification(hwnd);
    return false;
}

void LoadString(UINT id, wchar_t* buffer, size_t cch) noexcept {
    buffer[0] = L'\0';
    LoadStringW(g_hInstance, id, buffer, static_cast<int>(cch));
}

void DrawIconInRect(HDC dc, int iconId, const RECT& rc) noexcept {
    if (iconId < 0) {
        return;
    }
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    common::UniqueIcon icon(static_cast<HICON>(
        LoadImageW(g_hInstance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, width, height, LR_DEFAULTCOLOR)));
    if (icon) {
        DrawIconEx(dc, rc.left, rc.top, icon.Get(), width, height, 0, nullptr, DI_NORMAL);
    }
}

// Centred at the rectangle's top, shortened with "..." to its width.
void DrawFittedText(HDC dc, HFONT font, COLORREF colour, const wchar_t* source, const RECT& rc) noexcept {
    common::ScopedSelect select(dc, font);
    wchar_t text[kTextChars];
    StringCchCopyW(text, kTextChars, source);
    FitText(text, kTextChars, rc.right - rc.left, [dc](const wchar_t* t) {
        SIZE extent = {};
        GetTextExtentPoint32W(dc, t, static_cast<int>(wcslen(t)), &extent);
        return static_cast<int>(extent.cx);
    });
    SetTextColor(dc, colour);
    RECT box = rc;
    DrawTextW(dc, text, -1, &box, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

template <typename Painter>
void PaintWithBackground(HWND hwnd, Painter painter) noexcept {
    // Declaration order releases in reverse: selections, then the memory DCs, then EndPaint.
    common::PaintDc paint(hwnd);
    HDC windowDc = paint.Get();
    common::UniqueGdiObject canvas(CreateCompatibleBitmap(windowDc, kOsdWidth, kOsdHeight));
    common::UniqueMemoryDc memory(CreateCompatibleDC(windowDc));
    HDC dc = memory.Get();
    if (dc == nullptr || !canvas) {
        return;
    }
    common::ScopedSelect canvasSelect(dc, canvas.Get());
    RECT all = {0, 0, kOsdWidth, kOsdHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (g_Osd.background) {
        common::UniqueMemoryDc source(CreateCompatibleDC(windowDc));
        if (source) {
            common::ScopedSelect sourceSelect(source.Get(), g_Osd.background.Get());
            BitBlt(dc, 0, 0, kOsdWidth, kOsdHeight, source.Get(), 0, 0, SRCCOPY);
        }
    }
    SetBkMode(dc, TRANSPARENT);
    painter(dc);
    BitBlt(windowDc, 0, 0, kOsdWidth, kOsdHeight, dc, 0, 0, SRCCOPY);
}

// ---- Three-mode design ----------------------------------------------------------------------

bool ModeUnavailable(int mode) noexcept {
    const int level = ui::PeakCutLevel();
    return (mode == 1 && (level == 1 || level == 2)) || (mode == 2 && level == 2);
}

void PaintThreeMode(HDC dc) noexcept {
    wchar_t noPlan[kTextChars];
    LoadString(IDS_NO_PLAN, noPlan, kTextChars);
    for (int i = 0; i < kModeCount; ++i) {
        const int mode = i + 1;
        const bool hasPlan = !plans::IsNullGuid(g_Osd.slots[i].guid);
        const bool unavailable = ModeUnavailable(mode);
        int column = mode == g_Osd.nSelected ? 1 : 0;
        if (unavailable || !hasPlan) {
            column = 2;
        }
        const int iconNo = hasPlan ? g_Osd.slots[i].nIconNo : -1;
        DrawIconInRect(dc, NotificationIconId(iconNo, column, mode), kThreeIconRects[i]);
        COLORREF colour = unavailable ? GetSysColor(COLOR_GRAYTEXT) : kModeColours[i];
        DrawFittedText(dc, static_cast<HFONT>(g_Osd.nameFont.Get()), colour,
                       hasPlan ? g_Osd.slots[i].szName : noPlan, kThreeNameRects[i]);
        wchar_t label[kTextChars];
        LoadString(IDS_MODE_LABEL_1 + static_cast<UINT>(i), label, kTextChars);
        DrawFittedText(dc, static_cast<HFONT>(g_Osd.labelFont.Get()), kLabelColour, label, kThreeLabelRects[i]);
    }
}

LRESULT OnCreateThreeMode(HWND hwnd) noexcept {
    plans::ModeSlot slots[kModeCount];
    if (!ReadSlots(slots)) {
        return -1;
    }
    const GUID active = ActiveScheme();
    bool set[kModeCount] = {};
    int activeSlot = plans::kNoSlot;
    for (int i = 0; i < kModeCount; ++i) {
        set[i] = !plans::IsNullGuid(slots[i].guid);
        if (set[i] && activeSlot == plans::kNoSlot && IsEqualGUID(slots[i].guid, active)) {
            activeSlot = i + 1;
        }
    }
    if (!g_Osd.threeChoice.Open(set, activeSlot, plans::g_dwPeakCutLevel.load())) {
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"not opened (peak-cut level %d)", ui::PeakCutLevel());
        return -1;
    }
    for (int i = 0; i < kModeCount; ++i) {
        g_Osd.slots[i] = slots[i];
    }
    g_Osd.bThreeMode = true;
    g_Osd.nInitial = g_Osd.threeChoice.Initial();
    g_Osd.nSelected = g_Osd.threeChoice.Chosen();
    g_Osd.hwnd = hwnd;
    LoadResources(true);
    Place(hwnd);
    SetTimer(hwnd, IDT_OSD, kOsdTimerMs, nullptr);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"three modes: opened on mode %d", g_Osd.nInitial);
    return 0;
}

void OnAdvanceThreeMode(HWND hwnd) noexcept {
    if (!RestartTimer(hwnd)) {
        return;
    }
    g_Osd.threeChoice.Press();
    g_Osd.nSelected = g_Osd.threeChoice.Chosen();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"three modes: mode %d shown", g_Osd.nSelected);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void OnTimerThreeMode(HWND hwnd) noexcept {
    KillTimer(hwnd, IDT_OSD);
    if (g_Osd.hwnd == hwnd) {
        g_Osd.hwnd = nullptr;
    }
    const int slot = g_Osd.threeChoice.SlotToActivate();
    g_Osd.threeChoice.Close();
    if (slot != plans::kNoSlot) {
        Activate(g_Osd.slots[slot - 1].guid, plans::ModeLedValue(slot, true));
    }
    CloseNotification(hwnd);
}

// ---- Two-mode design ------------------------------------------------------------------------

// Two-mode slots: 1 the ECO plan (LED number 3), 2 the normal plan (LED number 1); shown as the
// modes 3 and 1 of the picture.
constexpr int kTwoModeNormal = 1;
constexpr int kTwoModeEco = 3;

int ShownMode(int slot) noexcept { return slot == plans::kTwoModeEcoSlot ? kTwoModeEco : kTwoModeNormal; }

void ActivateTwoModeSlot(int slot) noexcept {
    Activate(g_Osd.slots[slot - 1].guid, plans::ModeLedValue(slot, false));
    g_Osd.nApplied = ShownMode(slot);
}

void ShowTwoModeState() noexcept {
    g_Osd.nSelected = ShownMode(g_Osd.twoChoice.Shown());
}

LRESULT OnCreateTwoMode(HWND hwnd) noexcept {
    plans::ModeSlot slots[kModeCount];
    if (!ReadSlots(slots)) {
        return -1;
    }
    const int ecoIndex = plans::kTwoModeEcoSlot - 1;
    const int normalIndex = plans::kTwoModeStandardSlot - 1;
    if (plans::IsNullGuid(slots[ecoIndex].guid) || plans::IsNullGuid(slots[normalIndex].guid)) {
        return -1;
    }
    for (int i = 0; i < kModeCount; ++i) {
        g_Osd.slots[i] = slots[i];
    }
    g_Osd.bThreeMode = false;
    g_Osd.hwnd = hwnd;
    g_Osd.planBeforeOpen = ActiveScheme();
    const bool ecoActive = IsEqualGUID(g_Osd.planBeforeOpen, slots[ecoIndex].guid) != FALSE;
    const int slot = g_Osd.twoChoice.Open(ecoActive, plans::g_dwPeakCutLevel.load());
    if (slot == plans::kNoSlot) {
        g_Osd.nPhase = PHASE_REFUSED;
        g_Osd.nApplied = kTwoModeEco;
    } else {
        g_Osd.nPhase = PHASE_APPLIED;
        ActivateTwoModeSlot(slot);
    }
    ShowTwoModeState();
    LoadResources(false);
    Place(hwnd);
    SetTimer(hwnd, IDT_OSD, kOsdTimerMs, nullptr);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"two modes: opened, mode %d, phase %d", g_Osd.nSelected, g_Osd.nPhase);
    return 0;
}

void OnAdvanceTwoMode(HWND hwnd) noexcept {
    if (!RestartTimer(hwnd)) {
        return;
    }
    g_Osd.twoChoice.Press();
    g_Osd.nPhase = g_Osd.twoChoice.Pending() ? PHASE_PENDING : PHASE_REFUSED;
    ShowTwoModeState();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"two modes: mode %d shown, phase %d", g_Osd.nSelected, g_Osd.nPhase);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void OnTimerTwoMode(HWND hwnd) noexcept {
    KillTimer(hwnd, IDT_OSD);
    const plans::TwoModeChoice::TimerStep step = g_Osd.twoChoice.OnTimer();
    if (step.keepOpen) {
        g_Osd.nPhase = PHASE_APPLIED;
        if (step.activateSlot != plans::kNoSlot) {
            ActivateTwoModeSlot(step.activateSlot);
        }
        if (RestartTimer(hwnd)) {
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return;
    }
    const GUID shown = g_Osd.slots[g_Osd.twoChoice.Shown() - 1].guid;
    const GUID before = g_Osd.planBeforeOpen;
    CloseNotification(hwnd);
    if (g_pfnVideoWarning != nullptr) {
        g_pfnVideoWarning(shown, before);
    }
}

void PaintTwoMode(HDC dc) noexcept {
    const bool eco = g_Osd.nSelected == kTwoModeEco;
    const plans::ModeSlot& slot = g_Osd.slots[(eco ? plans::kTwoModeEcoSlot : plans::kTwoModeStandardSlot) - 1];
    const bool hasPlan = !plans::IsNullGuid(slot.guid);
    const int iconNo = hasPlan ? slot.nIconNo : -1;
    DrawIconInRect(dc, NotificationIconId(iconNo, 0, eco ? 3 : 1), kTwoIconRect);
    if (!hasPlan) {
        return;
    }
    wchar_t name[kTextChars];
    if (g_Osd.nPhase == PHASE_REFUSED) {
        LoadString(IDS_SAVING_POWER, name, kTextChars);
    } else {
        StringCchCopyW(name, kTextChars, slot.szName);
    }
    UINT formatId = g_Osd.nPhase == PHASE_PENDING ? IDS_SWITCHING
                    : g_Osd.nPhase == PHASE_REFUSED ? IDS_CANNOT_SWITCH : IDS_SWITCHED;
    HFONT font = static_cast<HFONT>(g_Osd.sentenceFont.Get());
    const RECT& rc = kTwoSentenceRect;
    {
        // The name is fitted so that its first line ("%sに") fits the rectangle.
        common::ScopedSelect select(dc, font);
        wchar_t firstLineFormat[kTextChars];
        LoadString(IDS_NAME_NI, firstLineFormat, kTextChars);
        FitText(name, kTextChars, rc.right - rc.left, [dc, &firstLineFormat](const wchar_t* t) {
            wchar_t line[kTextChars];
            StringCchPrintfW(line, kTextChars, firstLineFormat, t);
            SIZE extent = {};
            GetTextExtentPoint32W(dc, line, static_cast<int>(wcslen(line)), &extent);
            return static_cast<int>(extent.cx);
        });
        wchar_t format[kTextChars];
        LoadString(formatId, format, kTextChars);
        wchar_t sentence[kTextChars];
        StringCchPrintfW(sentence, kTextChars, format, name);
        SetTextColor(dc, kModeColours[eco ? 2 : 0]);
        RECT box = rc;
        DrawTextW(dc, sentence, -1, &box, DT_CENTER | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
    }
}

}  // namespace

POINT NotificationPosition(int screenWidth, int screenHeight, int width, int height) noexcept {
    POINT pos;
    pos.x = (screenWidth - width) / 2;
    pos.y = screenHeight == kOsdScreenHeight768 ? kOsdDefaultY
                                                : screenHeight - height - (screenHeight / 2 - height) / 4;
    return pos;
}

int NotificationIconId(int iconNo, int column, int mode) noexcept {
    int row = kOsdDefaultRow;
    if (iconNo >= 0) {
        for (int i = 0; i < static_cast<int>(ARRAYSIZE(kOsdIconTable)); ++i) {
            if (kOsdIconTable[i].nKey == iconNo) {
                row = i;
                break;
            }
        }
    }
    if (column < 0 || column > 2 || mode < 1 || mode > kModeCount) {
        return -1;
    }
    return kOsdIconTable[row].nIcons[column] + (mode - 1);
}

HWND NotificationWindow() noexcept { return g_Osd.hwnd; }

namespace {

constexpr size_t kWarningChars = 1024;
bool g_bSlotWarningShowing = false;

HWND FindSlotWarning() noexcept {
    HWND box = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM found) -> BOOL {
            wchar_t className[16] = {};
            wchar_t caption[kTitleChars] = {};
            GetClassNameW(hwnd, className, ARRAYSIZE(className));
            GetWindowTextW(hwnd, caption, ARRAYSIZE(caption));
            if (lstrcmpW(className, L"#32770") == 0 && lstrcmpW(caption, g_szProgramTitle) == 0) {
                *reinterpret_cast<HWND*>(found) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    return box;
}

// Message 274: a mode of the two-mode variant has lost its plan.
void ShowSlotWarning() noexcept {
    wchar_t format[kWarningChars];
    wchar_t screen[kWarningChars];
    wchar_t button[kWarningChars];
    wchar_t text[kWarningChars];
    LoadString(IDS_MODE_PLAN_DELETED, format, kWarningChars);
    LoadString(IDS_ECO_SETTINGS_TITLE, screen, kWarningChars);
    LoadString(IDS_RESTORE_DEFAULTS, button, kWarningChars);
    if (FAILED(StringCchPrintfW(text, ARRAYSIZE(text), format, screen, button))) {
        StringCchCopyW(text, ARRAYSIZE(text), format);
    }
    // The box has no owner: the program first takes the foreground so that it opens in front.
    if (g_hMainWnd != nullptr) {
        ui::ForceForeground(g_hMainWnd);
    }
    g_bSlotWarningShowing = true;
    MessageBoxW(nullptr, text, g_szProgramTitle, MB_ICONWARNING);
    g_bSlotWarningShowing = false;
}

// Two-mode variant: both modes need a plan. False when the press goes no further.
bool TwoModeSlotsReady() noexcept {
    plans::ModeSlot slots[kModeCount];
    if (!ReadSlots(slots)) {
        // The plan list is busy (lock time-out): the plans are not known to be gone.
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"press dropped: plan list busy");
        return false;
    }
    if (!plans::IsNullGuid(slots[plans::kTwoModeEcoSlot - 1].guid) &&
        !plans::IsNullGuid(slots[plans::kTwoModeStandardSlot - 1].guid)) {
        return true;
    }
    if (g_bSlotWarningShowing) {
        if (HWND box = FindSlotWarning(); box != nullptr) {
            ui::ForceForeground(box);
        }
        return false;
    }
    if (plans::g_Settings.dwOsGeneration >= OS_MODEL_WIN8_OR_LATER) {
        return false;
    }
    ShowSlotWarning();
    return false;
}

}  // namespace

void OnEcoPress() noexcept {
    // On Windows 8 and later the toast library is asked for its display mode at every press
    // (its answer matters to the peak-cut prompts, not here).
    const bool toastMode = toast::ToastModeWanted();
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"toast display mode %s", toastMode ? L"wanted" : L"not wanted");
    if (!ui::ThreeModeOperation() && !TwoModeSlotsReady()) {
        return;
    }
    // Only the window that is still choosing takes the press: one whose choice has been taken
    // (forgotten before its activation, closing) does not, and the press opens a new one.
    HWND open = g_Osd.hwnd;
    if (open != nullptr && IsWindow(open)) {
        SendMessageW(open, WM_APP_OSD_ADVANCE, 0, 0);
        LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"press passed to the open notification");
        return;
    }
    // The window places, sizes and shows itself, or refuses to open (no mode plans). It is
    // owned by the main window.
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kEcoOsdWindowClass, L"", WS_POPUP | WS_DISABLED,
                                  0, 0, 0, 0, g_hMainWnd, nullptr, g_hInstance, nullptr);
    LOG_TRACE(TRACE_LEVEL_VALUES, kTraceName, L"notification window %s", window != nullptr ? L"opened" : L"not opened");
}

NotificationView CurrentNotificationView() noexcept {
    NotificationView view = {};
    view.bOpen = g_Osd.hwnd != nullptr;
    view.bThreeMode = g_Osd.bThreeMode;
    view.nInitial = g_Osd.nInitial;
    view.nSelected = g_Osd.nSelected;
    view.nApplied = g_Osd.nApplied;
    view.nPhase = g_Osd.nPhase;
    return view;
}

void ActivateModePlanDefault(const GUID& plan, DWORD ledValue) noexcept { plans::ActivatePlan(plan, ledValue); }

void VideoWarningDefault(const GUID& shownPlan, const GUID& planBeforeOpen) noexcept {
    const GUID& low = plans::g_Settings.guidLow;
    if (plans::g_Settings.dwPwrDlgActivate == 0 || plans::IsNullGuid(low) || !IsEqualGUID(shownPlan, low) ||
        plans::ReadPlanChangeWarning() != 1) {
        return;
    }
    plans::ShowVideoWarning(IsEqualGUID(planBeforeOpen, low) != FALSE);
}

namespace {

// What differs between the two designs; the window procedure is the same for both.
struct OsdDesign {
    LRESULT (*onCreate)(HWND) noexcept;
    void (*onAdvance)(HWND) noexcept;
    void (*onTimer)(HWND) noexcept;
    void (*paint)(HDC) noexcept;
};

constexpr OsdDesign kThreeModeDesign = {OnCreateThreeMode, OnAdvanceThreeMode, OnTimerThreeMode, PaintThreeMode};
constexpr OsdDesign kTwoModeDesign = {OnCreateTwoMode, OnAdvanceTwoMode, OnTimerTwoMode, PaintTwoMode};

LRESULT OsdWndProc(const OsdDesign& design, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return design.onCreate(hwnd);
    case WM_APP_OSD_ADVANCE:
        design.onAdvance(hwnd);
        return 0;
    case WM_TIMER:
        if (wParam == IDT_OSD) {
            design.onTimer(hwnd);
        }
        return 0;
    case WM_PAINT:
        PaintWithBackground(hwnd, design.paint);
        return 0;
    case WM_DESTROY:
        // A closing window that was forgotten before its activation may go after a newer
        // notification has opened: the fonts and the background are that window's then.
        if (g_Osd.hwnd == hwnd) {
            g_Osd.hwnd = nullptr;
            FreeResources();
        } else if (g_Osd.hwnd == nullptr) {
            FreeResources();
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK ThreeModeOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return OsdWndProc(kThreeModeDesign, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TwoModeOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return OsdWndProc(kTwoModeDesign, hwnd, message, wParam, lParam);
}

}  // namespace osd

LRESULT CALLBACK EcoOsdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ui::ThreeModeOperation() ? osd::ThreeModeOsdWndProc(hwnd, message, wParam, lParam)
                                    : osd::TwoModeOsdWndProc(hwnd, message, wParam, lParam);
}
