// The plan editor against the simulated notebook's plans, driven through its window messages.
#include <windows.h>
#include <commctrl.h>
#include <powrprof.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/app_messages.h"
#include "app/main_state.h"
#include "app/plan_editor.h"
#include "app/range_slider.h"
#include "common/log.h"
#include "display/display.h"
#include "drivers/eco_led.h"
#include "drivers/processor_device.h"
#include "plans/editor_values.h"
#include "plans/factory_defaults.h"
#include "plans/guid_text.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "resources/resource.h"
#include "sim/devices/simdev_client.h"
#include "tests/support/dialog_items.h"

namespace {

constexpr GUID kEcoSave = {0x9B7D845B, 0xAF66, 0x4D2A, {0xB4, 0x76, 0xD4, 0xDA, 0xB8, 0x40, 0xAB, 0xF8}};
constexpr GUID kEcoPerformance = {0xB06FB371, 0x2C24, 0x43A7, {0xB8, 0x7B, 0x5E, 0xED, 0xE7, 0x12, 0xB5, 0x49}};

std::vector<UINT> g_EditorMessages;

int RecordEditorMessage(HWND, UINT id, UINT) {
    g_EditorMessages.push_back(id);
    return IDYES;
}

void LoadEditor() {
    g_hInstance = GetModuleHandleW(nullptr);
    SetErrorLogModule(g_hInstance);
    lstrcpynW(g_szProgramTitle, L"Solvane plan editor test", kTitleChars);
    plans::g_SettingsHooks = plans::SettingsHooks{};
    plans::g_SettingsHooks.wirelessAdapterPresent = [] { return true; };
    plans::g_Settings.dwOsGeneration = 2;
    plans::LoadSettings();
    SetEditorMessageFn(RecordEditorMessage);
    g_EditorMessages.clear();
}

GUID Active() {
    GUID active = GUID_NULL;
    EXPECT_EQ(plans::ReadActiveScheme(&active), static_cast<DWORD>(ERROR_SUCCESS));
    return active;
}

// A plan of the machine that is neither `a` nor `b`.
GUID OtherPlan(const GUID& a, const GUID& b) {
    DWORD end = 0;
    for (const GUID& g : plans::EnumerateAllPlans(&end)) {
        if (!IsEqualGUID(g, a) && !IsEqualGUID(g, b)) {
            return g;
        }
    }
    return GUID_NULL;
}

HWND WaitWindow(const wchar_t* caption) {
    HWND window = nullptr;
    for (int i = 0; i < 200 && (window == nullptr || !IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowW(L"#32770", caption);
    }
    return window;
}

INT_PTR RunEditor(const GUID& plan, const std::function<void(HWND)>& drive) {
    std::thread driver([&drive] {
        HWND editor = WaitWindow(L"詳細設定");
        if (editor == nullptr) {
            ADD_FAILURE() << "the editor did not open";
            return;
        }
        drive(editor);
        // A dialog that ended is destroyed once its modal loop returns.
        for (int i = 0; i < 100 && IsWindow(editor); ++i) {
            Sleep(20);
        }
        if (IsWindow(editor)) {
            SendMessageW(editor, WM_COMMAND, IDCANCEL, 0);
        }
    });
    const INT_PTR result = OpenPlanEditor(nullptr, plan, 0);
    driver.join();
    return result;
}

void MoveSlider(HWND editor, int id, int position) {
    HWND slider = GetDlgItem(editor, id);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(editor, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
}

std::wstring Text(HWND window, int id) {
    wchar_t text[256] = L"";
    GetDlgItemTextW(window, id, text, 256);
    return text;
}

std::vector<std::wstring> ComboNames(HWND editor) {
    return testsupport::ComboTexts(GetDlgItem(editor, IDC_EDITOR_PLAN));
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& n : names) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

// A copy of the ECO saving plan under a new name; the caller deletes it.
GUID CreatePlanNamed(const wchar_t* name) {
    GUID* created = nullptr;
    GUID plan = GUID_NULL;
    if (PowerDuplicateScheme(nullptr, &kEcoSave, &created) != ERROR_SUCCESS || created == nullptr) {
        ADD_FAILURE() << "no copy of the saving plan";
        return plan;
    }
    plan = *created;
    LocalFree(created);
    const DWORD cb = static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t));
    EXPECT_EQ(PowerWriteFriendlyName(nullptr, &plan, nullptr, nullptr,
                                     reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(name)), cb),
              static_cast<DWORD>(ERROR_SUCCESS));
    return plan;
}

void SetPlanDword(const GUID& plan, const wchar_t* name, DWORD value) {
    wchar_t keyName[plans::kBracedGuidBufferChars];
    plans::FormatKeyGuid(plan, keyName);
    const std::wstring key = std::wstring(plans::kPowerSettingsKey) + L"\\" + keyName;
    EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &value, sizeof(value)),
              ERROR_SUCCESS);
}

DWORD ReadAC(const GUID& plan, plans::PowerSetting setting) {
    DWORD value = 0xDEAD;
    EXPECT_EQ(plans::ReadPowerSetting(plan, setting, plans::PowerSource::AC, &value), static_cast<DWORD>(ERROR_SUCCESS));
    return value;
}

TEST(ThreeModeEditor, AnOffListTimeoutGetsItsOwnPositionAndSurvivesASave) {
    LoadEditor();
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    ASSERT_EQ(plans::WritePowerSetting(plan, plans::PowerSetting::MonitorTimeout, plans::PowerSource::AC, 240),
              static_cast<DWORD>(ERROR_SUCCESS));
    std::wstring label;
    LRESULT last = -1, position = -1;
    const INT_PTR result = RunEditor(plan, [&](HWND editor) {
        HWND slider = GetDlgItem(editor, IDC_EDITOR_MONITOR_AC);
        last = SendMessageW(slider, TBM_GETRANGEMAX, 0, 0);
        position = SendMessageW(slider, TBM_GETPOS, 0, 0);
        label = Text(editor, IDC_EDITOR_MONITOR_AC + 1);
        MoveSlider(editor, IDC_EDITOR_DISK_AC, 4);  // 600 s: another slider changes
        SendMessageW(editor, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(last, 16);
    EXPECT_EQ(position, 16);
    EXPECT_EQ(label, std::wstring(L"4 分後"));
    EXPECT_NE(HIWORD(result), 0);
    EXPECT_EQ(ReadAC(plan, plans::PowerSetting::MonitorTimeout), 240u);
    EXPECT_EQ(ReadAC(plan, plans::PowerSetting::DiskTimeout), 600u);
}

TEST(ThreeModeEditor, HibernateSliderIsTheTotalIdleTime) {
    LoadEditor();
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    RunEditor(plan, [&](HWND editor) {
        MoveSlider(editor, IDC_EDITOR_STANDBY_AC, 8);     // 30 minutes
        MoveSlider(editor, IDC_EDITOR_HIBERNATE_AC, 11);  // 2 hours in all
        EXPECT_EQ(Text(editor, IDC_EDITOR_HIBERNATE_AC + 1), std::wstring(L"2 時間後"));
        SendMessageW(editor, WM_COMMAND, IDC_MODE_APPLY, 0);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(editor, IDC_MODE_APPLY)));
    });
    EXPECT_EQ(ReadAC(plan, plans::PowerSetting::StandbyTimeout), 1800u);
    EXPECT_EQ(ReadAC(plan, plans::PowerSetting::HibernateTimeout), 5400u);
}

TEST(ThreeModeEditor, FactoryAndActivePlansCannotBeDeleted) {
    LoadEditor();
    plans::CaptureFactoryDefaults();
    const GUID active = Active();
    GUID snapshotted = GUID_NULL;
    GUID plain = GUID_NULL;
    DWORD end = 0;
    for (const GUID& g : plans::EnumerateAllPlans(&end)) {
        if (IsEqualGUID(g, active)) {
            continue;
        }
        GUID& slot = plans::HasFactorySnapshot(g) ? snapshotted : plain;
        if (plans::IsNullGuid(slot)) {
            slot = g;
        }
    }
    ASSERT_FALSE(plans::IsNullGuid(snapshotted));
    ASSERT_FALSE(plans::IsNullGuid(plain));
    struct Row {
        GUID plan;
        bool deletable, restorable;
    } rows[] = {{active, false, plans::HasFactorySnapshot(active)}, {snapshotted, false, true}, {plain, true, false}};
    for (const Row& row : rows) {
        bool deletable = !row.deletable, restorable = !row.restorable;
        RunEditor(row.plan, [&](HWND editor) {
            deletable = IsWindowEnabled(GetDlgItem(editor, IDC_EDITOR_DELETE)) != FALSE;
            restorable = IsWindowEnabled(GetDlgItem(editor, IDC_EDITOR_RESTORE)) != FALSE;
        });
        EXPECT_EQ(deletable, row.deletable);
        EXPECT_EQ(restorable, row.restorable);
    }
}

TEST(ThreeModeEditor, RenameAcceptsItsOwnNameAndRefusesAnothers) {
    LoadEditor();
    const GUID plan = kEcoPerformance;
    plans::PlanRecord other{};
    other.guid = kEcoSave;
    plans::ReadPlanRecord(&other);
    std::wstring shownTitle;
    bool stayedOpen = false;
    RunEditor(plan, [&](HWND editor) {
        PostMessageW(editor, WM_COMMAND, IDC_EDITOR_RENAME, 0);
        HWND name = WaitWindow(L"設定名とアイコンの変更");
        ASSERT_NE(name, nullptr);
        const std::wstring own = Text(name, IDC_NAME_EDIT);
        SetDlgItemTextW(name, IDC_NAME_EDIT, other.szName);
        SendMessageW(name, WM_COMMAND, IDOK, 0);
        stayedOpen = IsWindow(name) != FALSE;
        SetDlgItemTextW(name, IDC_NAME_EDIT, own.c_str());
        SendMessageW(name, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 100 && IsWindow(name); ++i) {
            Sleep(20);
        }
        shownTitle = IsWindow(name) ? L"still open" : L"closed";
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(editor, IDC_MODE_APPLY)));
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(shownTitle, std::wstring(L"closed"));
    ASSERT_GE(g_EditorMessages.size(), 1u);
    EXPECT_EQ(g_EditorMessages[0], static_cast<UINT>(IDS_NAME_TAKEN));
}

TEST(ThreeModeEditor, ANewPlanIsProposedTheFirstFreeNumber) {
    LoadEditor();
    for (const wchar_t* name : {L"新設定1", L"新設定2"}) {
        GUID* created = nullptr;
        ASSERT_EQ(PowerDuplicateScheme(nullptr, &kEcoSave, &created), static_cast<DWORD>(ERROR_SUCCESS));
        const DWORD cb = static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t));
        ASSERT_EQ(PowerWriteFriendlyName(nullptr, created, nullptr, nullptr,
                                         reinterpret_cast<UCHAR*>(const_cast<wchar_t*>(name)), cb),
                  static_cast<DWORD>(ERROR_SUCCESS));
        LocalFree(created);
    }
    std::wstring proposal;
    RunEditor(kEcoSave, [&](HWND editor) {
        PostMessageW(editor, WM_COMMAND, IDC_EDITOR_SAVE_AS, 0);
        HWND name = WaitWindow(L"新しい設定として保存");
        ASSERT_NE(name, nullptr);
        proposal = Text(name, IDC_NAME_EDIT);
        SendMessageW(name, WM_COMMAND, IDCANCEL, 0);
        for (int i = 0; i < 100 && IsWindow(name); ++i) {
            Sleep(20);
        }
    });
    EXPECT_EQ(proposal, std::wstring(L"新設定3"));
}

// Fixed brightness on mains and on battery goes back into the plan; the labels follow the
// percentage table of a machine with panel brightness control.
TEST(ThreeModeEditor, BrightnessSlidersAreWrittenBackForMainsAndBattery) {
    LoadEditor();
    const bool formerLcd = display::bLCD;
    display::bLCD = true;
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    struct Row {
        int ac, dc;
    } rows[] = {{40, 70}, {100, 0}, {1, 99}};
    for (const Row& row : rows) {
        std::wstring acLabel, dcLabel;
        RunEditor(plan, [&](HWND editor) {
            MoveSlider(editor, IDC_EDITOR_BRIGHTNESS_AC, row.ac);
            MoveSlider(editor, IDC_EDITOR_BRIGHTNESS_DC, row.dc);
            acLabel = Text(editor, IDC_EDITOR_BRIGHTNESS_AC_LABEL);
            dcLabel = Text(editor, IDC_EDITOR_BRIGHTNESS_DC_LABEL);
            SendMessageW(editor, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(acLabel, std::to_wstring(row.ac) + L"%");
        EXPECT_EQ(dcLabel, std::to_wstring(row.dc) + L"%");
        DWORD dc = 0xDEAD;
        EXPECT_EQ(ReadAC(plan, plans::PowerSetting::Brightness), static_cast<DWORD>(row.ac));
        EXPECT_EQ(plans::ReadPowerSetting(plan, plans::PowerSetting::Brightness, plans::PowerSource::DC, &dc), 0u);
        EXPECT_EQ(dc, static_cast<DWORD>(row.dc));
    }
    display::bLCD = formerLcd;
}

std::vector<BYTE> StoredAls(const GUID& plan) {
    wchar_t text[plans::kBracedGuidBufferChars];
    plans::FormatKeyGuid(plan, text);
    const std::wstring key = std::wstring(L"Software\\Orvel\\Solvane\\PowerSettings\\") + text;
    std::vector<BYTE> bytes(8, 0xEE);
    DWORD cb = static_cast<DWORD>(bytes.size());
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ALSBC", RRF_RT_REG_BINARY, nullptr, bytes.data(), &cb) !=
        ERROR_SUCCESS) {
        return {};
    }
    bytes.resize(cb);
    return bytes;
}

// Applying an edit of the active plan activates it again and brings the devices along: its
// mode on the LED and its "NpdCPU" on the processor power-saving driver.
TEST(ThreeModeEditor, ApplyOnTheActivePlanShowsItsModeAndSendsItsProcessorValue) {
    LoadEditor();
    const DWORD formerFlags = plans::g_Settings.blob.dwFlagWord;
    plans::g_Settings.blob.dwFlagWord |= plans::FLAG_ECO | plans::FLAG_CPU_DRIVER;
    ASSERT_EQ(drivers::StartLedThread(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(drivers::WaitLedReady(5000));
    ASSERT_TRUE(drivers::LedDeviceOpen());
    const GUID active = Active();
    wchar_t guidText[plans::kBracedGuidBufferChars];
    plans::FormatKeyGuid(active, guidText);
    const std::wstring key = std::wstring(L"Software\\Orvel\\Solvane\\PowerSettings\\") + guidText;
    const struct {
        DWORD ledNo, npd;
        ULONG ledValue;  // what the LED reads back
    } rows[] = {{2, 6, 0x74}, {3, 9, 0x72}, {1, 4, 0x71}};
    for (const auto& row : rows) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"LedNo", REG_DWORD, &row.ledNo, sizeof(row.ledNo)),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"NpdCPU", REG_DWORD, &row.npd, sizeof(row.npd)),
                  ERROR_SUCCESS);
        // Something else on the devices first.
        ASSERT_TRUE(drivers::SetLedState(0));
        ASSERT_TRUE(drivers::SetPowerSavingState(1));
        SIMDEV_STATE before{};
        ASSERT_EQ(simdev::GetState(before), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_EQ(before.CpuState, 1u);
        RunEditor(active, [&](HWND editor) {
            MoveSlider(editor, IDC_EDITOR_MONITOR_AC, 3);
            SendMessageW(editor, WM_COMMAND, IDC_MODE_APPLY, 0);
            SendMessageW(editor, WM_COMMAND, IDOK, 0);
        });
        SIMDEV_STATE after{};
        ASSERT_EQ(simdev::GetState(after), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(after.LedValue, row.ledValue) << "mode " << row.ledNo;
        EXPECT_EQ(after.CpuState, row.npd) << "mode " << row.ledNo;
        EXPECT_TRUE(IsEqualGUID(Active(), active));
        DWORD stored = 0xDEAD;
        DWORD cb = sizeof(stored);
        RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"NpdCPU", RRF_RT_REG_DWORD, nullptr, &stored, &cb);
        EXPECT_EQ(stored, row.npd) << "the untouched check box keeps the plan's driver mode";
    }
    drivers::StopLedThread();
    plans::g_Settings.blob.dwFlagWord = formerFlags;
}

// Drags a range slider's thumb with the mouse from one position to another (the messages a
// user's drag sends the control).
void Drag(HWND editor, int id, int from, int to) {
    HWND slider = GetDlgItem(editor, id);
    RECT client{};
    GetClientRect(slider, &client);
    const int y = client.bottom / 2;
    const int start = RangeSliderPositionX(slider, from);
    const int end = RangeSliderPositionX(slider, to);
    SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start, y));
    SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((start + end) / 2, y));
    SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(end, y));
    SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(end, y));
}

void Keys(HWND editor, int id, const std::vector<WPARAM>& keys) {
    HWND slider = GetDlgItem(editor, id);
    for (WPARAM key : keys) {
        SendMessageW(slider, WM_KEYDOWN, key, 0);
        SendMessageW(slider, WM_KEYUP, key, 0);
    }
}

// With the firmware's ambient-light interface: the range sliders' thumbs are dragged and moved
// by keys without crossing, the labels name the levels, and OK stores the mode with both ranges.
TEST(ThreeModeEditor, AmbientLightRangesAreStoredWithTheMode) {
    LoadEditor();
    const bool formerAls = display::bALS;
    const DWORD formerLevels = display::PanelLevelCount();
    display::bALS = true;
    display::SetPanelLevelCount(8);
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    const BYTE full[] = {0, 7, 0, 7, 0};
    wchar_t guidText[plans::kBracedGuidBufferChars];
    plans::FormatKeyGuid(plan, guidText);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                              (std::wstring(L"Software\\Orvel\\Solvane\\PowerSettings\\") + guidText).c_str(),
                              L"ALSBC", REG_BINARY, full, sizeof(full)),
              ERROR_SUCCESS);
    struct Row {
        std::function<void(HWND)> act;
        bool ambient;
        std::vector<BYTE> stored;  // mode, AC max, AC min, DC max, DC min
        std::wstring acMin, dcMax;
    } rows[] = {
        // From the full ranges 0-7: the lower mains thumb dragged to 2, the upper battery one to 5.
        {[](HWND e) {
             Drag(e, IDC_ALS_AC_SLIDER, 0, 2);
             Drag(e, IDC_ALS_DC_SLIDER, 7, 5);
         },
         true, {1, 7, 2, 5, 0}, L"最小値: 輝度 3", L"最大値: 輝度 6"},
        // From 2-7 and 0-5: two steps right on the mains lower thumb; the battery lower thumb
        // dragged past the upper one stops just below it.
        {[](HWND e) {
             Keys(e, IDC_ALS_AC_SLIDER, {VK_RIGHT, VK_RIGHT});
             Drag(e, IDC_ALS_DC_SLIDER, 0, 7);
         },
         false, {0, 7, 4, 5, 4}, L"最小値: 輝度 5", L"最大値: 輝度 6"},
        // From 4-7 and 4-5: Space picks the upper thumb, Home takes it as low as the lower one
        // allows; the battery upper thumb dragged to the start stops above the lower one.
        {[](HWND e) {
             Keys(e, IDC_ALS_AC_SLIDER, {VK_SPACE, VK_HOME});
             Drag(e, IDC_ALS_DC_SLIDER, 5, 0);
         },
         true, {1, 5, 4, 5, 4}, L"最小値: 輝度 5", L"最大値: 輝度 6"},
    };
    for (const Row& row : rows) {
        std::wstring acMin, dcMax;
        RunEditor(plan, [&](HWND editor) {
            row.act(editor);
            const int radio = row.ambient ? IDC_EDITOR_AMBIENT_BRIGHTNESS : IDC_EDITOR_FIXED_BRIGHTNESS;
            CheckRadioButton(editor, IDC_EDITOR_FIXED_BRIGHTNESS, IDC_EDITOR_AMBIENT_BRIGHTNESS, radio);
            SendMessageW(editor, WM_COMMAND, MAKEWPARAM(radio, BN_CLICKED), 0);
            acMin = Text(editor, IDC_ALS_AC_MIN_LABEL);
            dcMax = Text(editor, IDC_ALS_DC_MAX_LABEL);
            SendMessageW(editor, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(acMin, row.acMin);
        EXPECT_EQ(dcMax, row.dcMax);
        EXPECT_EQ(StoredAls(plan), row.stored);
    }
    display::bALS = formerAls;
    display::SetPanelLevelCount(formerLevels);
}

// The wireless slider on mains shows and keeps the plan's value through a save of another value
// (the processor's value label once shared its id and hid the slider).
TEST(ThreeModeEditor, WirelessOnMainsSurvivesASaveOfAnotherValue) {
    LoadEditor();
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    struct Row {
        DWORD index;
        LRESULT position;
    } rows[] = {{0, 3}, {1, 2}, {2, 1}, {3, 0}};
    for (const Row& row : rows) {
        ASSERT_EQ(plans::WritePowerSetting(plan, plans::PowerSetting::Wireless, plans::PowerSource::AC, row.index), 0u);
        LRESULT position = -1;
        RunEditor(plan, [&](HWND editor) {
            position = SendDlgItemMessageW(editor, IDC_EDITOR_WIRELESS_AC, TBM_GETPOS, 0, 0);
            MoveSlider(editor, IDC_EDITOR_MONITOR_AC, 2);
            SendMessageW(editor, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(position, row.position) << row.index;
        EXPECT_EQ(ReadAC(plan, plans::PowerSetting::Wireless), row.index);
    }
}

// Each processor slider names the preset at its position, on opening and while it moves.
TEST(ThreeModeEditor, ProcessorSlidersNameThePresetAtTheirPosition) {
    LoadEditor();
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    const DWORD limit = plans::g_Settings.dwLowerLimit;
    using plans::PowerSetting;
    using plans::PowerSource;
    ASSERT_EQ(plans::WritePowerSetting(plan, PowerSetting::ProcessorMin, PowerSource::AC, limit), 0u);
    ASSERT_EQ(plans::WritePowerSetting(plan, PowerSetting::ProcessorMax, PowerSource::AC, 100), 0u);
    ASSERT_EQ(plans::WritePowerSetting(plan, PowerSetting::ProcessorMin, PowerSource::DC, 100), 0u);
    ASSERT_EQ(plans::WritePowerSetting(plan, PowerSetting::ProcessorMax, PowerSource::DC, 100), 0u);
    std::wstring acShown, dcShown, acFirst, dcLast;
    RunEditor(plan, [&](HWND editor) {
        acShown = Text(editor, IDC_EDITOR_PROCESSOR_AC_LABEL);
        dcShown = Text(editor, IDC_EDITOR_PROCESSOR_DC_LABEL);
        MoveSlider(editor, IDC_EDITOR_PROCESSOR_AC, 0);
        acFirst = Text(editor, IDC_EDITOR_PROCESSOR_AC_LABEL);
        const int last = static_cast<int>(SendDlgItemMessageW(editor, IDC_EDITOR_PROCESSOR_DC, TBM_GETRANGEMAX, 0, 0));
        MoveSlider(editor, IDC_EDITOR_PROCESSOR_DC, last);
        dcLast = Text(editor, IDC_EDITOR_PROCESSOR_DC_LABEL);
        SendMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(acShown, std::wstring(L"オート"));
    EXPECT_EQ(dcShown, std::wstring(L"高速"));
    EXPECT_EQ(acFirst, std::wstring(L"低速"));
    EXPECT_EQ(dcLast, std::wstring(L"ユーザー設定"));
}

// A hidden plan is offered nowhere, the editor's combo box included; a plan created while the
// editor is open appears there once the plan-changed notification arrives.
TEST(ThreeModeEditor, ItsComboBoxOffersTheListedPlansAndFollowsPlanChanges) {
    LoadEditor();
    const GUID plan = OtherPlan(Active(), GUID_NULL);
    const GUID hidden = CreatePlanNamed(L"隠しプラン");
    SetPlanDword(hidden, L"Flags", 1);
    std::vector<std::wstring> before, after;
    bool known = false;
    GUID added = GUID_NULL;
    RunEditor(plan, [&](HWND editor) {
        known = g_MainState.hPlanEditor == editor;
        before = ComboNames(editor);
        added = CreatePlanNamed(L"追加プラン");
        plans::RefreshPlanList();
        SendMessageW(editor, WM_APP_EDITOR_REFRESH, 0, 0);
        after = ComboNames(editor);
        SendMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(known) << "the main window passes plan changes to the editor it knows";
    EXPECT_EQ(g_MainState.hPlanEditor, nullptr);
    EXPECT_FALSE(Contains(before, L"隠しプラン"));
    EXPECT_FALSE(Contains(before, L"追加プラン"));
    EXPECT_TRUE(Contains(after, L"追加プラン"));
    EXPECT_FALSE(Contains(after, L"隠しプラン"));
    EXPECT_EQ(after.size(), before.size() + 1);
    PowerDeleteScheme(nullptr, &hidden);
    PowerDeleteScheme(nullptr, &added);
}

// Restoring the factory snapshot: with external-monitor support only the two monitor brightness
// values come back and the plan's power values stay as they are now.
TEST(ThreeModeEditor, RestoreWithExternalMonitorsTakesOnlyTheirBrightnessFromTheSnapshot) {
    LoadEditor();
    plans::CaptureFactoryDefaults();
    const GUID active = Active();
    GUID plan = GUID_NULL;
    DWORD end = 0;
    for (const GUID& g : plans::EnumerateAllPlans(&end)) {
        if (!IsEqualGUID(g, active) && plans::HasFactorySnapshot(g)) {
            plan = g;
            break;
        }
    }
    ASSERT_FALSE(plans::IsNullGuid(plan));
    plans::PlanRecord snapshot{};
    plans::PowerValues snapshotValues{};
    plans::ProcessorPair snapshotPair{};
    ASSERT_EQ(plans::ReadFactorySnapshot(plan, &snapshot, &snapshotValues, &snapshotPair), ERROR_SUCCESS);
    const DWORD edited = snapshotValues.dwMonitorAC == 300 ? 600 : 300;
    const DWORD formerFlags = plans::g_Settings.blob.dwFlagWord;
    struct Row {
        bool extMonitor;
        DWORD monitorTimeout;
    } rows[] = {{false, snapshotValues.dwMonitorAC}, {true, edited}};
    for (const Row& row : rows) {
        ASSERT_EQ(plans::WritePowerSetting(plan, plans::PowerSetting::MonitorTimeout, plans::PowerSource::AC, edited), 0u);
        SetPlanDword(plan, L"BrightnessMonitor", static_cast<DWORD>(snapshot.nBrightnessMonitor) + 7);
        plans::g_Settings.blob.dwFlagWord =
            row.extMonitor ? (formerFlags | plans::FLAG_EXT_MONITOR) : (formerFlags & ~plans::FLAG_EXT_MONITOR);
        g_EditorMessages.clear();
        RunEditor(plan, [&](HWND editor) {
            SendMessageW(editor, WM_COMMAND, IDC_EDITOR_RESTORE, 0);
            SendMessageW(editor, WM_COMMAND, IDOK, 0);
        });
        plans::g_Settings.blob.dwFlagWord = formerFlags;
        EXPECT_EQ(ReadAC(plan, plans::PowerSetting::MonitorTimeout), row.monitorTimeout) << row.extMonitor;
        plans::PlanRecord record{};
        record.guid = plan;
        plans::ReadPlanRecord(&record);
        if (row.extMonitor) {  // the monitor values are kept only with external-monitor support
            EXPECT_EQ(record.nBrightnessMonitor, snapshot.nBrightnessMonitor);
        }
        EXPECT_EQ(g_EditorMessages, std::vector<UINT>{IDS_EDITOR_RESTORE_ASK_THREE}) << row.extMonitor;
    }
}

}  // namespace
