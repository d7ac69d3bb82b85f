#include <windows.h>
#include <strsafe.h>

#include <new>

#include "common/log.h"
#include "display/display.h"
#include "plans/settings.h"
#include "resources/resource.h"

namespace display {

namespace {

constexpr DWORD kPercentEntries = 101;
constexpr DWORD kNoValue = 256;
constexpr DWORD kDefaultTopValue = 7;
constexpr size_t kFormatChars = 64;

std::vector<BrightnessChoice> g_defaultTable;
std::vector<BrightnessChoice> g_percentTable;
std::vector<BrightnessChoice> g_levelTable;
std::vector<BrightnessChoice> g_pSchemeRange_ALS;
const std::vector<BrightnessChoice>* g_offered = &g_defaultTable;
HINSTANCE g_hResources = nullptr;

// The label of a level value: "暗い" for the darkest, "明るい" for `top`, "なし" for no value,
// otherwise "輝度 %d" with the value plus one.
void LevelLabel(HINSTANCE resources, DWORD value, DWORD top, wchar_t (&label)[24]) {
    label[0] = L'\0';
    UINT id = IDS_BRIGHTNESS_LEVEL;
    if (value == 0) {
        id = IDS_BRIGHTNESS_DARK;
    } else if (value == kNoValue) {
        id = IDS_BRIGHTNESS_NONE;
    } else if (value == top) {
        id = IDS_BRIGHTNESS_BRIGHT;
    }
    wchar_t text[kFormatChars] = {};
    LoadStringW(resources, id, text, static_cast<int>(ARRAYSIZE(text)));
    if (id == IDS_BRIGHTNESS_LEVEL) {
        StringCchPrintfW(label, ARRAYSIZE(label), text, static_cast<int>(value + 1));
    } else {
        StringCchCopyW(label, ARRAYSIZE(label), text);
    }
}

bool BuildLevelTable(HINSTANCE resources, DWORD count, std::vector<BrightnessChoice>* table) {
    try {
        table->assign(count, BrightnessChoice{});
    } catch (const std::bad_alloc&) {
        WriteErrorLog(IDS_ERR_HEAP_ALLOC, count * sizeof(BrightnessChoice), ERRLOG_FILE);
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        (*table)[i].value = i;
        LevelLabel(resources, i, count - 1, (*table)[i].label);
    }
    return true;
}

}  // namespace

void Init_nsr_lcd(HINSTANCE resources) {
    FreeBrightnessTables();
    g_hResources = resources;
    BuildLevelTable(resources, kDefaultLevelCount, &g_defaultTable);
    g_percentTable.assign(kPercentEntries, BrightnessChoice{});
    for (DWORD v = 0; v < kPercentEntries; ++v) {
        g_percentTable[v].value = v;
        StringCchPrintfW(g_percentTable[v].label, ARRAYSIZE(g_percentTable[v].label), L"%d%%", v);
    }
    const bool externalMode = (plans::g_Settings.blob.dwFlagWord & plans::FLAG_EXT_MONITOR) != 0;
    if (bLCD && !externalMode) {
        g_offered = &g_percentTable;
    } else if (dwBLevel == 1 || dwBLevel == kDefaultLevelCount) {
        g_offered = &g_defaultTable;
    } else if (BuildLevelTable(resources, dwBLevel, &g_levelTable)) {
        g_offered = &g_levelTable;
    } else {
        dwBLevel = kDefaultLevelCount;
        bLCD = false;
        g_offered = &g_defaultTable;
    }
    const DWORD n = PanelLevelCount();
    if (n >= 1 && !BuildLevelTable(resources, n, &g_pSchemeRange_ALS)) {
        LOG_TRACE(TRACE_LEVEL_VALUES, L"Init_nsr_lcd", L"Could not allocate g_pSchemeRange_ALS buffer.");
    }
}

const std::vector<BrightnessChoice>& BrightnessChoices() { return *g_offered; }
HINSTANCE BrightnessResources() { return g_hResources != nullptr ? g_hResources : GetModuleHandleW(nullptr); }
const std::vector<BrightnessChoice>& AmbientLightRangeTable() { return g_pSchemeRange_ALS; }

void UpdateLCDValue(HWND dialog) {
    constexpr wchar_t kName[] = L"UpdateLCDValue";
    wchar_t caption[kFormatChars] = {};
    LoadStringW(BrightnessResources(), IDS_BRIGHTNESS_CAPTION, caption, static_cast<int>(ARRAYSIZE(caption)));
    const int group = bALS ? IDC_BRIGHTNESS_GROUP_ALS : IDC_BRIGHTNESS_GROUP;
    SetDlgItemTextW(dialog, group, caption);
    const bool externalMode = (plans::g_Settings.blob.dwFlagWord & plans::FLAG_EXT_MONITOR) != 0;
    if ((externalMode && GetSystemMetrics(SM_CMONITORS) > 1) || !bLCD) {
        return;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"GETBRIGHTNESS()");
    const int current = ChangeBrightness(BC_GET);
    wchar_t label[kFormatChars] = {};
    if (current == BC_AUTO) {
        LoadStringW(BrightnessResources(), IDS_BRIGHTNESS_AUTO, label, static_cast<int>(ARRAYSIZE(label)));
    } else if (current >= 0 && current < BC_NONE) {
        for (const BrightnessChoice& choice : BrightnessChoices()) {
            if (choice.value == static_cast<DWORD>(current)) {
                StringCchCopyW(label, ARRAYSIZE(label), choice.label);
                break;
            }
        }
    }
    if (label[0] == L'\0') {
        return;  // the plain caption stays
    }
    wchar_t format[kFormatChars] = {};
    wchar_t text[2 * kFormatChars] = {};
    LoadStringW(BrightnessResources(), IDS_BRIGHTNESS_CURRENT, format, static_cast<int>(ARRAYSIZE(format)));
    if (SUCCEEDED(StringCchPrintfW(text, ARRAYSIZE(text), format, caption, label))) {
        SetDlgItemTextW(dialog, group, text);
    }
}

void FreeBrightnessTables() {
    g_offered = &g_defaultTable;
    g_levelTable.clear();
    g_percentTable.clear();
    g_pSchemeRange_ALS.clear();
}

}  // namespace display
