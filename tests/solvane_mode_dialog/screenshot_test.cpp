// Pictures of the ECO mode dialog, the plan editor and its name dialog, copied from the screen
// while they are open (at 96 DPI, and at 144 DPI in a second run of this program). Each picture is
// saved as a bitmap under the build folder for a look and checked for its content: the combo
// boxes, sliders and buttons drawn where the dialog places them, nothing where a control is
// hidden, the gauges' stars lit where the plan's rating says, the range sliders lit between their
// thumbs. The screen copy leaves every pixel's alpha byte 0, which picture viewers take for
// transparent: the saved bitmaps are made opaque.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/mode_dialog.h"
#include "gauge_stars.h"
#include "app/plan_editor.h"
#include "common/log.h"
#include "display/display.h"
#include "plans/editor_values.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/plan_record.h"
#include "plans/reg_values.h"
#include "plans/power_guids.h"
#include "plans/settings.h"
#include "resources/resource.h"
#include "tests/support/dpi_child.h"

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB, top row first
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies the window's screen area; saves it as "<name><suffix>.bmp" in SHOT_DIR when set.
Picture Shoot(HWND window, const std::wstring& name) {
    // Every control paints itself before the copy (sent to the dialog's thread and waited for).
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    Sleep(200);
    Picture picture;
    RECT rect{};
    GetWindowRect(window, &rect);
    picture.width = rect.right - rect.left;
    picture.height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    picture.pixels.assign(p, p + static_cast<size_t>(picture.width) * picture.height);
    wchar_t dir[MAX_PATH] = L"";
    wchar_t suffix[32] = L"";
    GetEnvironmentVariableW(L"SHOT_SUFFIX", suffix, 32);
    if (GetEnvironmentVariableW(L"SHOT_DIR", dir, MAX_PATH) != 0) {
        CreateDirectoryW(dir, nullptr);
        const std::wstring file = std::wstring(dir) + L"\\" + name + suffix + L".bmp";
        HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            std::vector<DWORD> opaque(picture.pixels);
            for (DWORD& pixel : opaque) {
                pixel |= 0xFF000000;
            }
            const DWORD bytes = static_cast<DWORD>(opaque.size() * sizeof(DWORD));
            BITMAPFILEHEADER header{};
            header.bfType = 0x4D42;
            header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
            header.bfSize = header.bfOffBits + bytes;
            DWORD written = 0;
            WriteFile(out, &header, sizeof(header), &written, nullptr);
            WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr);
            WriteFile(out, opaque.data(), bytes, &written, nullptr);
            CloseHandle(out);
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

// The control's area within the picture.
RECT AreaOf(HWND window, int id) {
    RECT outer{};
    RECT inner{};
    GetWindowRect(window, &outer);
    GetWindowRect(GetDlgItem(window, id), &inner);
    OffsetRect(&inner, -outer.left, -outer.top);
    return inner;
}

// Pixels of the area that differ from the dialog background.
int InkPixels(const Picture& picture, const RECT& area) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const DWORD background = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    int ink = 0;
    for (int y = std::max(0L, area.top); y < std::min<LONG>(picture.height, area.bottom); ++y) {
        for (int x = std::max(0L, area.left); x < std::min<LONG>(picture.width, area.right); ++x) {
            ink += (picture.At(x, y) & 0xFFFFFF) != background ? 1 : 0;
        }
    }
    return ink;
}

// Pixels of the area in the lit star's gold.
int GoldPixels(const Picture& picture, const RECT& area) {
    int gold = 0;
    for (int y = std::max(0L, area.top); y < std::min<LONG>(picture.height, area.bottom); ++y) {
        for (int x = std::max(0L, area.left); x < std::min<LONG>(picture.width, area.right); ++x) {
            const DWORD p = picture.At(x, y);
            const int r = static_cast<int>((p >> 16) & 0xFF);
            const int g = static_cast<int>((p >> 8) & 0xFF);
            const int b = static_cast<int>(p & 0xFF);
            gold += r > 200 && g > 140 && g < 215 && b < 90 ? 1 : 0;
        }
    }
    return gold;
}

std::wstring Suffix() {
    wchar_t suffix[32] = L"";
    GetEnvironmentVariableW(L"SHOT_SUFFIX", suffix, 32);
    return suffix;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void Load() {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    lstrcpynW(g_szProgramTitle, L"Solvane screenshot test", kTitleChars);
    plans::g_SettingsHooks = plans::SettingsHooks{};
    plans::g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    plans::g_Settings.dwOsGeneration = 2;
    plans::LoadSettings();
    plans::RefreshCurrentPlan(plans::kActiveSchemeMarker);
    SetModeDialogMessageFn([](HWND, UINT, UINT) { return IDYES; });
    SetEditorMessageFn([](HWND, UINT, UINT) { return IDYES; });
}

HWND WaitShown(const wchar_t* caption) {
    HWND window = nullptr;
    for (int i = 0; i < 200 && (window == nullptr || !IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowW(L"#32770", caption);
    }
    Sleep(300);  // let the first paint reach the screen
    return window;
}

void RunShown(const std::function<void()>& open, const wchar_t* caption, const std::function<void(HWND)>& look) {
    std::thread driver([&] {
        HWND window = WaitShown(caption);
        if (window == nullptr) {
            ADD_FAILURE() << "no window " << caption;
            return;
        }
        look(window);
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    open();
    driver.join();
}

TEST(Screenshot, ModeDialogShowsItsPlansAndGauges) {
    Load();
    const bool three = plans::IsThreeMode(plans::g_Settings.blob.dwFlagWord);
    // Mode 1's plan rates itself 3 for performance and 2 for saving (without an eco-level answer).
    plans::ModeSlot slots[plans::kMaxPinnedPlans] = {};
    int found = 0;
    ASSERT_TRUE(plans::FindModeSlots(slots, &found));
    ASSERT_FALSE(plans::IsNullGuid(slots[0].guid));
    wchar_t keyName[plans::kBracedGuidBufferChars];
    plans::FormatKeyGuid(slots[0].guid, keyName);
    const std::wstring planKey = std::wstring(plans::kPowerSettingsKey) + L"\\" + keyName;
    const DWORD indicator = 0x00030002;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, planKey.c_str(), L"Indicator", REG_DWORD, &indicator, sizeof(indicator)),
              ERROR_SUCCESS);
    RunShown([] { OpenModeDialog(nullptr); }, L"ECOモードの設定(省電力設定)", [&](HWND dialog) {
        const Picture picture = Shoot(dialog, three ? L"mode_dialog_three" : L"mode_dialog_two");
        EXPECT_GT(InkPixels(picture, AreaOf(dialog, IDC_MODE_COMBO1)), 20) << "the combo box of mode 1";
        EXPECT_NE(GetWindowTextLengthW(GetDlgItem(dialog, IDC_MODE_COMBO1)), 0) << "the plan of mode 1";
        // The stars on the screen: gold in the first three places of the performance row and in
        // the first two of the saving row, none beyond.
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(GoldPixels(picture, AreaOf(dialog, IDC_MODE_PERFORMANCE1 + i)) > 0, i < 3) << "performance star " << i;
            EXPECT_EQ(GoldPixels(picture, AreaOf(dialog, IDC_MODE_SAVING1 + i)) > 0, i < 2) << "saving star " << i;
        }
        // And as each star control draws itself.
        EXPECT_EQ(GaugeStars(dialog, IDC_MODE_PERFORMANCE1), "***oo") << "performance 3 of 5";
        EXPECT_EQ(GaugeStars(dialog, IDC_MODE_SAVING1), "**ooo") << "power saving 2 of 5";
        EXPECT_EQ(InkPixels(picture, AreaOf(dialog, IDC_MODE_AUTO_CHANGE)), 0) << "a hidden button";
    });
}

TEST(Screenshot, EditorAndNameDialogShowTheirValues) {
    Load();
    const UINT id = plans::EditorTemplateFor(plans::g_Settings.blob.dwFlagWord, plans::g_Settings.dwOsGeneration, false);
    GUID plan = GUID_NULL;
    ASSERT_EQ(plans::ReadActiveScheme(&plan), static_cast<DWORD>(ERROR_SUCCESS));
    RunShown([&] { OpenPlanEditor(nullptr, plan, 0); }, L"詳細設定", [&](HWND editor) {
        const Picture picture = Shoot(editor, L"plan_editor_" + std::to_wstring(id));
        EXPECT_GT(InkPixels(picture, AreaOf(editor, IDC_EDITOR_PLAN)), 20) << "the plan combo box";
        EXPECT_GT(InkPixels(picture, AreaOf(editor, IDC_EDITOR_MONITOR_AC)), 10) << "the monitor time-out slider";
        EXPECT_NE(GetWindowTextLengthW(GetDlgItem(editor, IDC_EDITOR_MONITOR_AC + 1)), 0) << "its label";
        PostMessageW(editor, WM_COMMAND, IDC_EDITOR_SAVE_AS, 0);
        HWND name = WaitShown(L"新しい設定として保存");
        ASSERT_NE(name, nullptr);
        const Picture namePicture = Shoot(name, L"plan_name_dialog");
        EXPECT_GT(InkPixels(namePicture, AreaOf(name, IDC_NAME_EDIT)), 20) << "the name field";
        EXPECT_GT(InkPixels(namePicture, AreaOf(name, IDC_NAME_ICON_FIRST + 11)), 20) << "the last icon button";
        SendMessageW(name, WM_COMMAND, IDCANCEL, 0);
        for (int i = 0; i < 100 && IsWindow(name); ++i) {
            Sleep(20);
        }
    });
}

// The editor of a machine whose firmware follows the ambient light: its second template with the
// two-thumb range sliders, each track lit between its thumbs.
TEST(Screenshot, EditorWithAmbientLightShowsTheRangeSliders) {
    Load();
    const bool formerAls = display::bALS;
    const DWORD formerLevels = display::PanelLevelCount();
    display::bALS = true;
    display::SetPanelLevelCount(8);
    // A notebook's template (with the battery line), the other picture being a desktop's.
    const DWORD formerFlags = plans::g_Settings.blob.dwFlagWord;
    plans::g_Settings.blob.dwFlagWord |= plans::FLAG_BATTERY;
    const UINT id = plans::EditorTemplateFor(plans::g_Settings.blob.dwFlagWord, plans::g_Settings.dwOsGeneration, true);
    EXPECT_NE(id, plans::EditorTemplateFor(formerFlags & ~plans::FLAG_BATTERY, plans::g_Settings.dwOsGeneration, false));
    GUID plan = GUID_NULL;
    ASSERT_EQ(plans::ReadActiveScheme(&plan), static_cast<DWORD>(ERROR_SUCCESS));
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const DWORD lit = (GetRValue(highlight) << 16) | (GetGValue(highlight) << 8) | GetBValue(highlight);
    RunShown([&] { OpenPlanEditor(nullptr, plan, 0); }, L"詳細設定", [&](HWND editor) {
        for (int slider : {IDC_ALS_AC_SLIDER, IDC_ALS_DC_SLIDER}) {
            SendDlgItemMessageW(editor, slider, TBM_SETSELEND, TRUE, 6);
            SendDlgItemMessageW(editor, slider, TBM_SETSELSTART, TRUE, 2);
        }
        const Picture picture = Shoot(editor, L"plan_editor_als_" + std::to_wstring(id));
        for (int slider : {IDC_ALS_AC_SLIDER, IDC_ALS_DC_SLIDER}) {
            const RECT area = AreaOf(editor, slider);
            EXPECT_GT(InkPixels(picture, area), 20) << "slider " << slider;
            int highlighted = 0;
            for (int y = std::max(0L, area.top); y < std::min<LONG>(picture.height, area.bottom); ++y) {
                for (int x = std::max(0L, area.left); x < std::min<LONG>(picture.width, area.right); ++x) {
                    highlighted += (picture.At(x, y) & 0xFFFFFF) == lit ? 1 : 0;
                }
            }
            // Levels 2 to 6 of 0-7: about half the track's width, a few pixels high.
            EXPECT_GT(highlighted, (area.right - area.left) / 4) << "slider " << slider;
        }
    });
    plans::g_Settings.blob.dwFlagWord = formerFlags;
    display::bALS = formerAls;
    display::SetPanelLevelCount(formerLevels);
}

// The same pictures at 144 DPI: this program again with the screen set to 144 DPI (read when a
// process starts).
TEST(ScreenshotHighDpi, SamePicturesAt144Dpi) {
    if (!Suffix().empty()) {
        EXPECT_EQ(ScreenDpi(), 144);
        return;
    }
    const DWORD exitCode = testsupport::RunSelfAtDpi(144, L"Screenshot*", L"SHOT_SUFFIX", L"_144dpi");
    ASSERT_NE(exitCode, testsupport::kChildNotRun) << "the run at 144 DPI did not start or end";
    EXPECT_EQ(exitCode, 0u) << "the pictures at 144 DPI failed";
}

}  // namespace
