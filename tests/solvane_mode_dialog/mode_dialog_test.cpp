// The ECO mode settings dialog against the simulated PC's plans: the test thread runs the modal
// dialog, a driver thread finds it and works it through WM_COMMAND like a user would.
#include <windows.h>
#include <commctrl.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/gauge_icons.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/mode_dialog.h"
#include "app/window_classes.h"
#include "gauge_stars.h"
#include "common/log.h"
#include "plans/guid_text.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "resources/resource.h"
#include "tests/support/main_window_harness.h"

namespace {

constexpr GUID kEcoSave = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
constexpr GUID kEcoBalance = {0x6658A2A5, 0x119C, 0x4E4E, {0x93, 0x1B, 0x97, 0x2B, 0xCF, 0xDD, 0x14, 0xA6}};
constexpr GUID kEcoPerformance = {0xB06FB371, 0x2C24, 0x43A7, {0xB8, 0x7B, 0x5E, 0xED, 0xE7, 0x12, 0xB5, 0x49}};
constexpr const wchar_t* kCaption = L"ECOモードの設定(省電力設定)";

std::vector<UINT> g_Messages;
int g_Answer = IDYES;

int RecordMessage(HWND, UINT id, UINT) {
    g_Messages.push_back(id);
    return g_Answer;
}

std::wstring PlanKey(const GUID& plan) {
    wchar_t text[plans::kBracedGuidBufferChars];
    plans::FormatKeyGuid(plan, text);
    return std::wstring(L"Software\\Orvel\\Solvane\\PowerSettings\\") + text;
}

DWORD LedNo(const GUID& plan) {
    DWORD value = 0xDEAD;
    DWORD cb = sizeof(value);
    RegGetValueW(HKEY_LOCAL_MACHINE, PlanKey(plan).c_str(), L"LedNo", RRF_RT_REG_DWORD, nullptr, &value, &cb);
    return value;
}

DWORD StoredChangeMessage() {
    DWORD value = 0xDEAD;
    DWORD cb = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"PwrChangeDlg", RRF_RT_REG_DWORD, nullptr, &value,
                 &cb);
    return value;
}

void Load() {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    lstrcpynW(g_szProgramTitle, L"Solvane mode dialog test", kTitleChars);
    plans::g_SettingsHooks = plans::SettingsHooks{};
    plans::g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    plans::g_Settings.dwOsGeneration = 2;
    plans::LoadSettings();
    plans::RefreshCurrentPlan(plans::kActiveSchemeMarker);
    SetModeDialogMessageFn(RecordMessage);
    g_Messages.clear();
    g_Answer = IDYES;
}

// Runs the dialog on this thread while `drive` works it from another; the dialog's result.
// `open` opens it (by default directly, without an owner).
INT_PTR RunDialog(const std::function<void(HWND)>& drive,
                  const std::function<INT_PTR()>& open = [] { return OpenModeDialog(nullptr); }) {
    std::thread driver([&drive] {
        HWND dialog = nullptr;
        // The dialog is shown once WM_INITDIALOG has filled it.
        for (int i = 0; i < 200 && (dialog == nullptr || !IsWindowVisible(dialog)); ++i) {
            Sleep(50);
            dialog = FindWindowW(L"#32770", kCaption);
        }
        if (dialog == nullptr) {
            ADD_FAILURE() << "the dialog did not open";
            return;
        }
        drive(dialog);
        // A dialog that ended is destroyed once its modal loop returns.
        for (int i = 0; i < 100 && IsWindow(dialog); ++i) {
            Sleep(20);
        }
        if (IsWindow(dialog)) {
            g_Answer = IDYES;
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    });
    const INT_PTR result = open();
    driver.join();
    return result;
}

HWND SlotCombo(HWND dialog, int slot) { return GetDlgItem(dialog, IDC_MODE_COMBO1 + slot); }

int IndexOf(HWND dialog, int slot, const GUID& plan) {
    plans::PlanRecord record{};
    record.guid = plan;
    plans::ReadPlanRecord(&record);
    return static_cast<int>(SendMessageW(SlotCombo(dialog, slot), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(record.szName)));
}

void Choose(HWND dialog, int slot, int index) {
    HWND combo = SlotCombo(dialog, slot);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_MODE_COMBO1 + slot, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void Press(HWND dialog, int id) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

std::wstring SelectedText(HWND dialog, int slot) {
    HWND combo = SlotCombo(dialog, slot);
    wchar_t text[plans::kPlanNameChars] = L"";
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(SendMessageW(combo, CB_GETCURSEL, 0, 0)),
                 reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring NotSetText() {
    wchar_t text[64] = L"";
    LoadStringW(GetModuleHandleW(nullptr), IDS_NO_PLAN, text, 64);
    return text;
}

// --- three modes ----------------------------------------------------------------------------

TEST(ThreeModeDialog, TheSamePlanInTwoModesIsRefusedAndNothingWritten) {
    Load();
    bool stayedOpen = false;
    const INT_PTR result = RunDialog([&](HWND dialog) {
        EXPECT_EQ(SelectedText(dialog, 0), std::wstring(L"ECO 省電力"));
        Choose(dialog, 2, IndexOf(dialog, 2, kEcoSave));
        EXPECT_TRUE(Enabled(dialog, IDC_MODE_APPLY));
        Press(dialog, IDOK);
        stayedOpen = IsWindow(dialog) != FALSE;
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(result, 0);
    ASSERT_GE(g_Messages.size(), 2u);
    EXPECT_EQ(g_Messages[0], static_cast<UINT>(IDS_MODE_SAME_PLAN));
    EXPECT_EQ(g_Messages[1], static_cast<UINT>(IDS_DISCARD_CHANGES));  // the closing Cancel
    EXPECT_EQ(LedNo(kEcoSave), 1u);
    EXPECT_EQ(LedNo(kEcoBalance), 2u);
    EXPECT_EQ(LedNo(kEcoPerformance), 3u);
}

TEST(ThreeModeDialog, CancelAfterAChangeAsksAndNoKeepsTheDialog) {
    Load();
    bool openAfterNo = false;
    const INT_PTR result = RunDialog([&](HWND dialog) {
        Choose(dialog, 1, IndexOf(dialog, 1, plans::kPlanBalanced));
        g_Answer = IDNO;
        Press(dialog, IDCANCEL);
        openAfterNo = IsWindow(dialog) != FALSE;
    });
    EXPECT_TRUE(openAfterNo);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_Messages, (std::vector<UINT>{IDS_DISCARD_CHANGES, IDS_DISCARD_CHANGES}));
    EXPECT_EQ(LedNo(kEcoBalance), 2u);
    EXPECT_NE(LedNo(plans::kPlanBalanced), 2u);
}

TEST(ThreeModeDialog, PeakCutLevelsOneAndTwoLockTheSlots) {
    Load();
    struct Row {
        DWORD level;
        bool enabled;
    } rows[] = {{0, true}, {1, false}, {2, false}, {3, true}};
    for (const Row& row : rows) {
        plans::g_dwPeakCutLevel = row.level;
        std::vector<bool> enabled;
        RunDialog([&](HWND dialog) {
            for (int slot = 0; slot < 3; ++slot) {
                enabled.push_back(Enabled(dialog, IDC_MODE_COMBO1 + slot));
            }
        });
        EXPECT_EQ(enabled, std::vector<bool>(3, row.enabled)) << "level " << row.level;
    }
    plans::g_dwPeakCutLevel = 0;
}

void WriteIndicator(const GUID& plan, DWORD value) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, PlanKey(plan).c_str(), L"Indicator", REG_DWORD, &value,
                              sizeof(value)),
              ERROR_SUCCESS);
}

// A row of `lit` lit stars followed by unlit ones.
std::string StarRow(int lit) { return std::string(static_cast<size_t>(lit), '*') + std::string(static_cast<size_t>(5 - lit), 'o'); }

// Slot 1's gauges from the stored "Indicator", and from the plan's battery values when it is -1
// (no eco-level library in this process).
TEST(ThreeModeDialog, GaugesFollowTheIndicatorElseThePlanValues) {
    Load();
    DWORD original = 0;
    DWORD cb = sizeof(original);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, PlanKey(kEcoSave).c_str(), L"Indicator", RRF_RT_REG_DWORD, nullptr,
                           &original, &cb),
              ERROR_SUCCESS);
    using plans::PowerSetting;
    using plans::PowerSource;
    struct Row {
        DWORD indicator;
        DWORD minCpu, maxCpu, monitor, standby;
        int performance, saving;
    } rows[] = {
        {0x00030002, 5, 100, 3600, 0, 3, 2},
        {0x00090000, 5, 100, 3600, 0, 5, 0},
        {0xFFFFFFFF, 100, 100, 3600, 0, 5, 1},   // full speed, wireless at full power
        {0xFFFFFFFF, 5, 50, 120, 900, 2, 4},     // ceiling 50 %, short timeouts
    };
    for (const Row& row : rows) {
        WriteIndicator(kEcoSave, row.indicator);
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, PowerSetting::ProcessorMin, PowerSource::DC, row.minCpu), 0u);
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, PowerSetting::ProcessorMax, PowerSource::DC, row.maxCpu), 0u);
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, PowerSetting::MonitorTimeout, PowerSource::DC, row.monitor), 0u);
        ASSERT_EQ(plans::WritePowerSetting(kEcoSave, PowerSetting::StandbyTimeout, PowerSource::DC, row.standby), 0u);
        plans::WritePowerSetting(kEcoSave, PowerSetting::Wireless, PowerSource::DC, 0);
        std::string performance;
        std::string saving;
        std::string notSet;
        RunDialog([&](HWND dialog) {
            performance = GaugeStars(dialog, IDC_MODE_PERFORMANCE1);
            saving = GaugeStars(dialog, IDC_MODE_SAVING1);
            // A slot without a plan shows no stars at all.
            Choose(dialog, 1, static_cast<int>(SendDlgItemMessageW(dialog, IDC_MODE_COMBO1 + 1, CB_GETCOUNT, 0, 0)) - 1);
            notSet = GaugeStars(dialog, IDC_MODE_PERFORMANCE1 + 10) + GaugeStars(dialog, IDC_MODE_SAVING1 + 10);
            g_Answer = IDYES;
        });
        EXPECT_EQ(performance, StarRow(row.performance)) << std::hex << row.indicator << std::dec << " cpu " << row.maxCpu;
        EXPECT_EQ(saving, StarRow(row.saving)) << std::hex << row.indicator << std::dec << " cpu " << row.maxCpu;
        EXPECT_EQ(notSet, std::string(10, ' '));
    }
    WriteIndicator(kEcoSave, original);
}

// A plan that carries no rating and whose values cannot be read (here one that Windows does not
// know) shows the pale star in all five places of both rows.
TEST(ThreeModeDialog, AnUnknownRatingShowsThePaleStarEverywhere) {
    Load();
    std::string performance;
    std::string saving;
    RunDialog([&](HWND dialog) {
        GaugeIcons icons;
        icons.Load(dialog, IDC_MODE_PERFORMANCE1);
        plans::PlanRecord ghost{};
        ghost.guid = {0x5A1E0001, 0x0BAD, 0x4C0D, {0x9E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
        ghost.nIndicator = -1;
        ShowPlanGauges(icons, dialog, IDC_MODE_PERFORMANCE1, IDC_MODE_SAVING1, &ghost);
        performance = GaugeStars(dialog, IDC_MODE_PERFORMANCE1);
        saving = GaugeStars(dialog, IDC_MODE_SAVING1);
        GaugeIcons::ClearRow(dialog, IDC_MODE_PERFORMANCE1);
        GaugeIcons::ClearRow(dialog, IDC_MODE_SAVING1);
    });
    EXPECT_EQ(performance, "-----");
    EXPECT_EQ(saving, "-----");
}

// Each slot shows its plan's dialog icon with the slot's mode number, "not set" none; the LED
// caption names the colour when no LED device is open (this process opens none).
TEST(ThreeModeDialog, SlotIconsAndTheLedCaption) {
    Load();
    std::vector<bool> icons;
    bool notSetIcon = true;
    std::wstring caption, explanation1, explanation2;
    RunDialog([&](HWND dialog) {
        wchar_t line[256] = L"";
        GetDlgItemTextW(dialog, IDC_MODE_EXPLANATION1, line, 256);
        explanation1 = line;
        GetDlgItemTextW(dialog, IDC_MODE_EXPLANATION2, line, 256);
        explanation2 = line;
        for (int slot = 0; slot < 3; ++slot) {
            icons.push_back(SendDlgItemMessageW(dialog, IDC_MODE_ICON1 + slot, STM_GETICON, 0, 0) != 0);
        }
        Choose(dialog, 1, static_cast<int>(SendMessageW(SlotCombo(dialog, 1), CB_GETCOUNT, 0, 0)) - 1);
        EXPECT_EQ(SelectedText(dialog, 1), NotSetText());
        notSetIcon = SendDlgItemMessageW(dialog, IDC_MODE_ICON1 + 1, STM_GETICON, 0, 0) != 0;
        wchar_t text[64] = L"";
        GetDlgItemTextW(dialog, IDC_MODE_LED_CAPTION, text, 64);
        caption = text;
        g_Answer = IDYES;
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(icons, std::vector<bool>(3, true));
    EXPECT_FALSE(notSetIcon);
    EXPECT_EQ(caption, std::wstring(L"色"));
    EXPECT_NE(explanation1.find(L"ホットキー"), std::wstring::npos) << "the three-mode explanation replaces the template's";
    EXPECT_FALSE(explanation2.empty());
    EXPECT_EQ(LedNo(kEcoBalance), 2u);
}

TEST(ThreeModeDialog, APlanDeletedWhileOpenBecomesNotSetAndTheOthersAreWritten) {
    Load();
    const DWORD storedMessage = StoredChangeMessage();
    std::wstring slot2After;
    const INT_PTR result = RunDialog([&](HWND dialog) {
        Choose(dialog, 2, IndexOf(dialog, 2, plans::kPlanHighPerformance));
        ASSERT_EQ(PowerDeleteScheme(nullptr, &kEcoBalance), static_cast<DWORD>(ERROR_SUCCESS));
        Press(dialog, IDC_MODE_APPLY);
        slot2After = SelectedText(dialog, 1);
        EXPECT_FALSE(Enabled(dialog, IDC_MODE_APPLY));
        Press(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(g_Messages, std::vector<UINT>{IDS_MODE_DELETED_PLAN});
    EXPECT_EQ(slot2After, NotSetText());
    EXPECT_EQ(LedNo(kEcoSave), 1u);
    EXPECT_EQ(LedNo(plans::kPlanHighPerformance), 3u);
    EXPECT_EQ(LedNo(kEcoPerformance), 0u);
    // The hidden message box of the three-mode dialog leaves the stored choice alone.
    EXPECT_EQ(StoredChangeMessage(), storedMessage);
}

// The dialog's tool tip window (owned by the dialog).
HWND TooltipOf(HWND dialog) {
    struct Search {
        HWND owner;
        HWND found;
    } search{dialog, nullptr};
    EnumWindows(
        [](HWND window, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            wchar_t cls[64] = L"";
            GetClassNameW(window, cls, 64);
            if (GetWindow(window, GW_OWNER) == s->owner && lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(ThreeModeDialog, EveryButtonHasItsToolTip) {
    Load();
    struct Row {
        int id;
        UINT text;
    } rows[] = {{IDC_MODE_EDITOR1, IDS_TIP_EDITOR},       {IDC_MODE_EDITOR1 + 2, IDS_TIP_EDITOR},
                {IDC_MODE_RESTORE, IDS_TIP_RESTORE_THREE}, {IDC_MODE_HOTKEY, IDS_TIP_HOTKEY},
                {IDC_MODE_PEAK_SHIFT, IDS_TIP_PEAK_SHIFT}};
    std::vector<std::wstring> shown;
    LRESULT count = 0;
    RunDialog([&](HWND dialog) {
        HWND tips = TooltipOf(dialog);
        ASSERT_NE(tips, nullptr);
        count = SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0);
        for (const Row& row : rows) {
            wchar_t text[256] = L"";
            TOOLINFOW info{};
            info.cbSize = sizeof(info);
            info.hwnd = dialog;
            info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, row.id));
            info.lpszText = text;
            SendMessageW(tips, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&info));
            shown.push_back(text);
        }
    });
    EXPECT_EQ(count, 7);
    ASSERT_EQ(shown.size(), ARRAYSIZE(rows));
    for (size_t i = 0; i < ARRAYSIZE(rows); ++i) {
        wchar_t expected[256] = L"";
        LoadStringW(GetModuleHandleW(nullptr), rows[i].text, expected, 256);
        EXPECT_FALSE(shown[i].empty()) << rows[i].id;
        EXPECT_EQ(shown[i], std::wstring(expected)) << rows[i].id;
    }
}

// --- two modes ------------------------------------------------------------------------------

TEST(TwoModeDialog, OnlyTheMessageBoxChangedEnablesApplyWhichWritesItAlone) {
    Load();
    plans::WritePlanChangeWarning(true);
    bool applyBefore = true;
    bool applyAfterCheck = false;
    RunDialog([&](HWND dialog) {
        applyBefore = Enabled(dialog, IDC_MODE_APPLY);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_MODE_CHANGE_MESSAGE, BM_GETCHECK, 0, 0), BST_CHECKED);
        SendDlgItemMessageW(dialog, IDC_MODE_CHANGE_MESSAGE, BM_SETCHECK, BST_UNCHECKED, 0);
        Press(dialog, IDC_MODE_CHANGE_MESSAGE);
        applyAfterCheck = Enabled(dialog, IDC_MODE_APPLY);
        Press(dialog, IDC_MODE_APPLY);
    });
    EXPECT_FALSE(applyBefore);
    EXPECT_TRUE(applyAfterCheck);
    EXPECT_EQ(StoredChangeMessage(), 0u);
    EXPECT_EQ(LedNo(kEcoPerformance), 3u);
    EXPECT_EQ(LedNo(kEcoSave), 1u);
    EXPECT_TRUE(g_Messages.empty());
}

TEST(TwoModeDialog, RestoreBringsBackTheDeletedEcoPlan) {
    Load();
    GUID active = GUID_NULL;
    ASSERT_EQ(plans::ReadActiveScheme(&active), static_cast<DWORD>(ERROR_SUCCESS));
    if (IsEqualGUID(active, kEcoPerformance)) {
        ASSERT_EQ(PowerSetActiveScheme(nullptr, &kEcoSave), static_cast<DWORD>(ERROR_SUCCESS));
    }
    ASSERT_EQ(PowerDeleteScheme(nullptr, &kEcoPerformance), static_cast<DWORD>(ERROR_SUCCESS));
    std::wstring before, after;
    RunDialog([&](HWND dialog) {
        before = SelectedText(dialog, 0);
        Press(dialog, IDC_MODE_RESTORE);
        after = SelectedText(dialog, 0);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(before, NotSetText());
    EXPECT_EQ(after, std::wstring(L"ECO パフォーマンス"));
    EXPECT_EQ(g_Messages, std::vector<UINT>{IDS_MODE_RESTORE_ASK_TWO});
    EXPECT_EQ(LedNo(kEcoPerformance), 3u);
}

}  // namespace

// Opened through the main window's command 48: a request from outside (a second start with
// "/EcoMode", a tray double click) puts the dialog's lower-right corner at the work area's, any
// other request at the dialog position the tray announced with its right-click menu.
class TwoModeDialogThroughMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Load();
        ResetMainWindowState();
        ASSERT_NO_FATAL_FAILURE(harness_.Prepare(true));
        ASSERT_NO_FATAL_FAILURE(harness_.CreateMain());
        main_ = harness_.Window();
    }
    void TearDown() override { harness_.Release(); }
    testsupport::MainWindowHarness harness_;
    HWND main_ = nullptr;
};

TEST_F(TwoModeDialogThroughMainWindow, OpensAtTheWorkAreaCornerOrTheAnnouncedPosition) {
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const POINT announced = {work.right - 37, work.bottom - 23};
    struct Row {
        const char* name;
        LPARAM lParam;
        POINT corner;
    };
    const Row rows[] = {
        {"request from outside", kRequestFromOutside, {work.right, work.bottom}},
        {"tray menu", 0, announced},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // The tray announces the cursor as the next dialog position before any request.
        SendMessageW(main_, WM_APP_DIALOG_POSITION, static_cast<WPARAM>(announced.x),
                     static_cast<LPARAM>(announced.y));
        RECT placed = {};
        RunDialog(
            [&](HWND dialog) {
                GetWindowRect(dialog, &placed);
                Press(dialog, IDCANCEL);
            },
            [&] {
                return static_cast<INT_PTR>(
                    SendMessageW(main_, WM_COMMAND, MAKEWPARAM(IDM_ECO_SETTINGS, 0), row.lParam));
            });
        EXPECT_EQ(placed.right, row.corner.x);
        EXPECT_EQ(placed.bottom, row.corner.y);
        EXPECT_GT(placed.right - placed.left, 0);
        EXPECT_EQ(g_MainState.hSettingsDialog, nullptr) << "closed";
    }
}
