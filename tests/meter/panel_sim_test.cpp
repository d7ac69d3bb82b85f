// The meter panel on the simulated notebook: created by the real program only with the meter
// configured, clamped into the work area, transparency and z-order per style, the boost command
// and messages 1027 and 1030 through the real window messages, what it draws, and its threads.
#include <gtest/gtest.h>
#include <windows.h>
#include <powrprof.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/panel_display_dialog.h"
#include "battery/battery.h"
#include "common/handles.h"
#include "common/log.h"
#include "common/registry.h"
#include "meter/boost.h"
#include "meter_sim_support.h"
#include "meter/panel_state.h"
#include "meter/panel_window.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/power_values.h"
#include "plans/reg_values.h"
#include "plans/settings.h"
#include "resources/resource.h"
#include "solvane_process.h"
#include "test_support.h"
#include "tests/support/dpi_child.h"

using namespace metertest;

namespace {

constexpr wchar_t kProgramKeyPath[] = L"Software\\Orvel\\Solvane";
constexpr DWORD kWaitMs = 5000;
constexpr DWORD kPollMs = 50;

BOOL OnLine(SYSTEM_POWER_STATUS* status) {
    *status = SYSTEM_POWER_STATUS{};
    status->ACLineStatus = 1;
    return TRUE;
}

// Size of "Saved_pt" in bytes, 0 when absent.
DWORD SavedBlockSize() {
    common::UniqueRegKey key;
    DWORD cb = 0;
    if (common::OpenRegKey(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        RegQueryValueExW(key.Get(), L"Saved_pt", nullptr, nullptr, nullptr, &cb) != ERROR_SUCCESS) {
        return 0;
    }
    return cb;
}

// The panel's own error records (window, work area, tooltips, transparency, z-order, boost).
bool PanelErrorsIn(const std::wstring& log) {
    for (const wchar_t* text : {L"RegisterClass", L"SystemParametersInfo", L"CreateMyTooltip",
                                L"SetLayeredWindowAttributes", L"SetWindowPos", L"BoostSetting",
                                L"SetActivePwrScheme/Boost", L"ProcessorPwrScheme"}) {
        if (log.find(text) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps messages until the condition holds; false after the time-out.
template <typename Condition>
bool PumpUntil(Condition condition, DWORD timeoutMs = kWaitMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += kPollMs) {
        Pump();
        if (condition()) {
            return true;
        }
        Sleep(kPollMs);
    }
    Pump();
    return condition();
}

int ThreadCount() {
    common::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    }
    return count;
}

BYTE Alpha(HWND hwnd) {
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 0;
    return GetLayeredWindowAttributes(hwnd, &key, &alpha, &flags) && (flags & LWA_ALPHA) != 0 ? alpha : 0;
}

bool Topmost(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// --- Screen capture ------------------------------------------------------------------------

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;   // 0x00RRGGBB
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Capture Grab(const RECT& screen) {
    Capture capture;
    capture.width = screen.right - screen.left;
    capture.height = screen.bottom - screen.top;
    common::WindowDc screenDc(nullptr);
    common::UniqueMemoryDc memory(CreateCompatibleDC(screenDc.Get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    common::UniqueGdiObject bitmap(CreateDIBSection(screenDc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        return capture;
    }
    {
        common::ScopedSelect select(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, capture.width, capture.height, screenDc.Get(), screen.left, screen.top, SRCCOPY);
    }
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    capture.pixels.assign(source, source + static_cast<size_t>(capture.width) * capture.height);
    for (DWORD& pixel : capture.pixels) {
        pixel &= 0x00FFFFFF;
    }
    return capture;
}

int Distance(DWORD a, DWORD b) {
    int most = 0;
    for (int shift : {0, 8, 16}) {
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    }
    return most;
}

// First and last column inside `area` that has a pixel far from `background` (-1 when none).
std::pair<int, int> InkColumns(const Capture& capture, const RECT& area, DWORD background) {
    int first = -1;
    int last = -1;
    for (int x = area.left; x < area.right; ++x) {
        for (int y = area.top; y < area.bottom; ++y) {
            if (Distance(capture.At(x, y), background) > 80) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

int CountNear(const Capture& capture, const RECT& area, DWORD colour) {
    int count = 0;
    for (int x = area.left; x < area.right; ++x) {
        for (int y = area.top; y < area.bottom; ++y) {
            count += Distance(capture.At(x, y), colour) < 40 ? 1 : 0;
        }
    }
    return count;
}

int TextWidth(const wchar_t* text, int areaHeight) {
    common::WindowDc dc(nullptr);
    common::UniqueGdiObject font(CreateFontW(-meter::NameFontHeight(areaHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                             DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg"));
    common::ScopedSelect select(dc.Get(), font.Get());
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), text, static_cast<int>(wcslen(text)), &size);
    return size.cx;
}

// --- The panel inside this process ---------------------------------------------------------

class PanelSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogModule(GetModuleHandleW(nullptr));
        DeleteFileW(L"error.log");
        battery::g_BatteryHooks.getSystemPowerStatus = OnLine;
        Activate(plans::kPlanBalanced);
    }
    void TearDown() override {
        if (m_panel != nullptr) {
            DestroyWindow(m_panel);
        }
        meter::BoostOff();
        battery::g_BatteryHooks = battery::BatteryHooks{};
        DeleteFileW(L"error.log");
    }
    HWND Open(DWORD flags, POINT position = {40, 40}, const wchar_t* name = L"Balanced") {
        plans::g_Settings.blob.dwFlagWord = flags;
        plans::g_Settings.blob.left = position.x;
        plans::g_Settings.blob.top = position.y;
        wcscpy_s(plans::activepsi.szName, name);
        m_panel = meter::CreateMeterPanel(GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(m_panel, nullptr);
        if (m_panel != nullptr) {
            SetWindowPos(m_panel, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            ShowWindow(m_panel, SW_SHOWNOACTIVATE);
            Pump();
        }
        return m_panel;
    }
    void Close() {
        DestroyWindow(m_panel);
        m_panel = nullptr;
    }
    LRESULT EndBoost() { return SendMessageW(m_panel, meter::WM_PANEL_END_BOOST, 0, 0); }
    void Command(WORD id) { SendMessageW(m_panel, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    HWND m_panel = nullptr;
};

constexpr DWORD kBase = plans::FLAG_METER | plans::FLAG_BATTERY;

TEST_F(PanelSimTest, TransparencyAndZOrderFollowTheStyle) {
    struct {
        const char* name;
        DWORD style;
        BYTE transparent;
    } cases[] = {
        {"standard", 0, 217},
        {"style A", plans::FLAG_LAYOUT_ALT1, 179},
        {"style B", plans::FLAG_LAYOUT_ALT2, 128},
        {"A wins over B", plans::FLAG_LAYOUT_ALT1 | plans::FLAG_LAYOUT_ALT2, 179},
    };
    for (const auto& c : cases) {
        // Started transparent: the panel's own 1029 applies the style's value.
        HWND panel = Open(kBase | c.style | plans::FLAG_TRANSPARENT);
        ASSERT_NE(panel, nullptr) << c.name;
        EXPECT_TRUE(PumpUntil([&] { return Alpha(panel) == c.transparent; })) << c.name << ": " << int(Alpha(panel));
        SendMessageW(panel, meter::WM_PANEL_APPLY_STYLE, 0, 0);
        EXPECT_EQ(Alpha(panel), 255) << c.name;
        SendMessageW(panel, meter::WM_PANEL_APPLY_STYLE, reinterpret_cast<WPARAM>(HWND_TOPMOST), meter::kLeaveTransparency);
        EXPECT_EQ(Alpha(panel), 255) << c.name << ": -1 leaves the transparency";
        EXPECT_TRUE(Topmost(panel)) << c.name;
        SendMessageW(panel, meter::WM_PANEL_APPLY_STYLE, reinterpret_cast<WPARAM>(HWND_NOTOPMOST), 1);
        EXPECT_FALSE(Topmost(panel)) << c.name;
        EXPECT_EQ(Alpha(panel), c.transparent) << c.name;
        // The menu commands toggle the flags and post 1029 themselves.
        Command(IDM_TRANSPARENT);
        EXPECT_FALSE(plans::HasFlag(plans::FLAG_TRANSPARENT)) << c.name;
        EXPECT_TRUE(PumpUntil([&] { return Alpha(panel) == 255; })) << c.name;
        Command(IDM_TOPMOST);
        EXPECT_TRUE(plans::HasFlag(plans::FLAG_TOPMOST)) << c.name;
        EXPECT_TRUE(PumpUntil([&] { return Topmost(panel); })) << c.name;
        Command(IDM_TOPMOST);
        EXPECT_TRUE(PumpUntil([&] { return !Topmost(panel); })) << c.name;
        // The size is the style's layout.
        RECT window{};
        GetWindowRect(panel, &window);
        const meter::PanelLayout layout =
            meter::ScaledLayout(meter::StyleFromFlags(c.style), common::ScreenDpiFactors());
        EXPECT_EQ(window.right - window.left, layout.size.cx) << c.name;
        EXPECT_EQ(window.bottom - window.top, layout.size.cy) << c.name;
        Close();
    }
    EXPECT_EQ(ErrorLog(), L"");
}

TEST_F(PanelSimTest, BoostCommandBoostsAndMessage1030RestoresOnlyOnce) {
    ASSERT_NE(Open(kBase), nullptr);
    Command(IDM_BOOST);
    EXPECT_TRUE(meter::BoostActive());
    EXPECT_EQ(Values(plans::kPlanBalanced), kFull);
    plans::ProcessorPair boosted{};
    ASSERT_TRUE(plans::ReadProcessorPair(plans::kPlanBalanced, &boosted));
    EXPECT_EQ(boosted.ucPresetAC, plans::PRESET_HIGH);
    EXPECT_EQ(boosted.ucPresetDC, plans::PRESET_HIGH);
    EXPECT_EQ(SavedBlockSize(), 24u);
    EXPECT_EQ(EndBoost(), 1);
    EXPECT_FALSE(meter::BoostActive());
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(SavedBlockSize(), 0u);
    EXPECT_EQ(EndBoost(), 0) << "no boost left to end";
    // The command toggles: on, then off again.
    Command(IDM_BOOST);
    EXPECT_EQ(Values(plans::kPlanBalanced), kFull);
    Command(IDM_BOOST);
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanBalanced));
    EXPECT_EQ(ErrorLog(), L"");
}

LPARAM ClientPoint(int x, int y) { return MAKELPARAM(x, y); }

// The boost button acts on a release over it; its outer one-pixel edge counts as outside (a
// press there drags the panel instead).
TEST_F(PanelSimTest, ReleaseOnTheBoostButtonBoostsButNotOnItsEdgeOrElsewhere) {
    ASSERT_NE(Open(kBase), nullptr);
    const meter::PanelLayout layout = meter::ScaledLayout(meter::PanelStyle::Standard, common::ScreenDpiFactors());
    const RECT& boost = layout.rcBoost;
    const int cx = (boost.left + boost.right) / 2;
    const int cy = (boost.top + boost.bottom) / 2;
    struct {
        const char* name;
        POINT press;
        POINT release;
        bool boosts;
    } cases[] = {
        {"press on the left edge", {boost.left, cy}, {boost.left, cy}, false},
        {"press on the bottom edge", {cx, boost.bottom - 1}, {cx, boost.bottom - 1}, false},
        {"released away from the button", {cx, cy}, {layout.rcName.left + 4, layout.rcName.top + 4}, false},
        {"press and release inside", {cx, cy}, {cx + 1, cy}, true},
    };
    for (const auto& c : cases) {
        SendMessageW(m_panel, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(c.press.x, c.press.y));
        SendMessageW(m_panel, WM_LBUTTONUP, 0, ClientPoint(c.release.x, c.release.y));
        Pump();   // the button's command is posted
        EXPECT_EQ(meter::BoostActive(), c.boosts) << c.name;
    }
    EXPECT_EQ(Values(plans::kPlanBalanced), kFull);
}

TEST_F(PanelSimTest, BoostOnAPlanAlreadyAtFullSpeedChangesNothingAndLogsNothing) {
    Activate(plans::kPlanHighPerformance);
    ASSERT_NE(Open(kBase), nullptr);
    Command(IDM_BOOST);
    EXPECT_FALSE(meter::BoostActive());
    EXPECT_EQ(Values(plans::kPlanHighPerformance), kHigh);
    EXPECT_EQ(SavedBlockSize(), 0u);
    EXPECT_EQ(EndBoost(), 0);
    EXPECT_EQ(ErrorLog(), L"");
}

TEST_F(PanelSimTest, BoostIsRefusedWhilePlansMayNotChange) {
    ASSERT_NE(Open(kBase | plans::FLAG_CANTCHGPP), nullptr);
    Command(IDM_BOOST);
    EXPECT_FALSE(meter::BoostActive());
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(SavedBlockSize(), 0u);
}

TEST_F(PanelSimTest, PlanChangeEndsTheBoostWithoutActivatingTheBoostedPlan) {
    ASSERT_NE(Open(kBase), nullptr);
    Command(IDM_BOOST);
    ASSERT_TRUE(meter::BoostActive());
    // The boosted plan itself is still active: 1027 leaves the boost alone.
    SendMessageW(m_panel, meter::WM_PANEL_PLAN_CHANGED, 0, 0);
    EXPECT_TRUE(meter::BoostActive());
    Activate(plans::kPlanPowerSaver);
    SendMessageW(m_panel, meter::WM_PANEL_PLAN_CHANGED, 0, 0);
    EXPECT_FALSE(meter::BoostActive());
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(Values(plans::kPlanPowerSaver), kSaver);
    EXPECT_TRUE(IsEqualGUID(ActivePlan(), plans::kPlanPowerSaver)) << "the new plan stays active";
    EXPECT_EQ(SavedBlockSize(), 0u);
    EXPECT_EQ(EndBoost(), 0);
}

TEST_F(PanelSimTest, DestroyEndsTheFiveAnimationThreads) {
    const int before = ThreadCount();
    // A panel kept hidden (tray-only operation) has no animation threads yet.
    plans::g_Settings.blob.dwFlagWord = kBase;
    m_panel = meter::CreateMeterPanel(GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(m_panel, nullptr);
    EXPECT_EQ(ThreadCount(), before);
    Close();
    ASSERT_NE(Open(kBase), nullptr);
    EXPECT_EQ(ThreadCount(), before + 5);
    // Wake every animation, then destroy while they run.
    Command(IDM_BOOST);
    SendMessageW(m_panel, WM_TIMER, IDT_PANEL_IDLE, 0);
    SetEvent(battery::BatteryBlinkEvent());
    SetEvent(battery::BatteryUpdateEvent());
    Close();
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_EQ(meter::MeterPanelWindow(), nullptr);
    ResetEvent(battery::BatteryBlinkEvent());
    ResetEvent(battery::BatteryUpdateEvent());
}

// What each style draws: the plan name where its area is, as wide as the name in its font (or
// cut with "..." inside the area), and the needle of a gauge at 0 on the left.
TEST_F(PanelSimTest, EachStyleDrawsNameAndGaugeWhereItsLayoutPutsThem) {
    const wchar_t kLongName[] = L"Balanced plan with a name far too long for any panel area";
    struct {
        const char* name;
        DWORD style;
        const wchar_t* plan;
        DWORD needle;   // 0x00RRGGBB of the needle (bar track in style B)
    } cases[] = {
        {"standard", 0, L"Balanced", 0xFFFFFF},
        {"style A", plans::FLAG_LAYOUT_ALT1, L"Balanced", 0xE6E6E6},
        {"style B", plans::FLAG_LAYOUT_ALT2, L"Balanced", 0xC8D0D8},
        {"standard, long name", 0, kLongName, 0xFFFFFF},
    };
    for (const auto& c : cases) {
        HWND panel = Open(kBase | c.style | plans::FLAG_TOPMOST, POINT{60, 60}, c.plan);
        ASSERT_NE(panel, nullptr) << c.name;
        const meter::PanelLayout layout =
            meter::ScaledLayout(meter::StyleFromFlags(c.style), common::ScreenDpiFactors());
        RECT window{};
        GetWindowRect(panel, &window);
        const RECT& name = layout.rcName;
        Capture shot;
        std::pair<int, int> ink{-1, -1};
        // Wait until the panel is on the screen with its name drawn.
        ASSERT_TRUE(PumpUntil([&] {
            InvalidateRect(panel, nullptr, FALSE);
            UpdateWindow(panel);
            shot = Grab(window);
            if (shot.pixels.empty()) {
                return false;
            }
            ink = InkColumns(shot, name, shot.At(name.right - 1, name.top));
            return ink.first >= 0;
        })) << c.name;
        const int inkWidth = ink.second - ink.first + 1;
        const int areaWidth = name.right - name.left;
        EXPECT_GE(ink.first, name.left) << c.name;
        EXPECT_LE(ink.first, name.left + 5) << c.name << ": the name starts at the area's left";
        if (c.plan == kLongName) {
            EXPECT_LT(ink.second, name.right - 1) << c.name << ": cut inside the area";
            EXPECT_GT(inkWidth, areaWidth / 2) << c.name << ": cut no further than needed";
        } else {
            const int expected = TextWidth(c.plan, name.bottom - name.top);
            EXPECT_LE(inkWidth, expected + 1) << c.name;
            EXPECT_GE(inkWidth, expected - 5) << c.name;
        }
        // The gauge: the needle at 0 lies in the left half of the gauge's own part only.
        RECT face = layout.rcGauge;
        if (layout.rcBattery.top > face.top && layout.rcBattery.top < face.bottom) {
            face.bottom = layout.rcBattery.top;
        } else if (layout.rcBattery.left > face.left && layout.rcBattery.left < face.right) {
            face.right = layout.rcBattery.left;
        }
        const int middle = (face.left + face.right) / 2;
        const RECT left{face.left, face.top, middle - 1, face.bottom};
        const RECT right{middle + 2, face.top, face.right, face.bottom};
        if (c.style == plans::FLAG_LAYOUT_ALT2) {
            // The bar's empty track spans the whole face.
            EXPECT_GT(CountNear(shot, left, c.needle), 20) << c.name;
            EXPECT_GT(CountNear(shot, right, c.needle), 20) << c.name;
        } else {
            EXPECT_GT(CountNear(shot, left, c.needle), 3) << c.name;
            EXPECT_EQ(CountNear(shot, right, c.needle), 0) << c.name;
        }
        Close();
    }
}

// The pictures again with the screen at 144 DPI: the layouts scale, the name and gauge stay
// where the scaled layout puts them.
TEST(PanelHighDpi, EachStyleDrawsWhereItsScaledLayoutPutsThings) {
    if (testsupport::IsDpiChild(L"PANEL_HIGH_DPI")) {
        EXPECT_EQ(common::ScreenDpiFactors().y, 1.5f) << "the child runs at 144 DPI";
        return;
    }
    EXPECT_EQ(testsupport::RunSelfAtDpi(144, L"PanelSimTest.EachStyle*:PanelHighDpi.*", L"PANEL_HIGH_DPI"), 0u)
        << "the pictures at 144 DPI failed (their output is above)";
}

// --- The real program ------------------------------------------------------------------------

class PanelProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(L"error.log");
        wchar_t folder[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, folder);
        m_folder = folder;
    }
    void WriteSettings(DWORD flags, POINT position) {
        plans::SettingsBlob blob{};
        blob.valid = 1;
        blob.dwFlagWord = flags;
        blob.left = position.x;
        blob.top = position.y;
        ASSERT_EQ(m_settings.SetRaw(REG_BINARY, &blob, sizeof(blob)), ERROR_SUCCESS);
    }
    HWND WaitForPanel(const testsupport::SolvaneProcess& program) {
        for (DWORD waited = 0; waited < testsupport::kProcessTimeoutMs; waited += kPollMs) {
            HWND panel = testsupport::FindProcessWindow(program.Pid(), L"#32770");
            if (panel != nullptr && IsWindowVisible(panel)) {
                return panel;
            }
            Sleep(kPollMs);
        }
        return nullptr;
    }
    void CloseProgram(testsupport::SolvaneProcess& program, HWND main) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        DWORD exitCode = 1;
        EXPECT_TRUE(program.WaitForExit(testsupport::kProcessTimeoutMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    std::wstring m_folder;
    testsupport::ScopedRegValue m_meter{HKEY_LOCAL_MACHINE, kProgramKeyPath, L"Meter"};
    testsupport::ScopedRegValue m_settings{HKEY_CURRENT_USER, kProgramKeyPath, L"Settings"};
};

TEST_F(PanelProgramTest, PanelExistsOnlyWithTheMeterConfigured) {
    struct {
        DWORD meter;
        bool panel;
    } cases[] = {{1, true}, {0, false}};
    for (const auto& c : cases) {
        ASSERT_EQ(m_meter.SetDword(c.meter), ERROR_SUCCESS);
        WriteSettings(0, POINT{100, 100});
        testsupport::SolvaneProcess program;
        ASSERT_TRUE(program.Start(L"", m_folder));
        HWND main = program.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        if (c.panel) {
            HWND panel = WaitForPanel(program);
            ASSERT_NE(panel, nullptr);
            EXPECT_TRUE(PumpUntil([&] { return Alpha(panel) == 255; })) << "opaque without bit 0x10";
        } else {
            // Once the main window answers, start-up is over: a panel would exist by now.
            DWORD_PTR result = 0;
            ASSERT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result), 0);
            EXPECT_EQ(testsupport::FindProcessWindow(program.Pid(), L"#32770"), nullptr);
        }
        CloseProgram(program, main);
    }
}

TEST_F(PanelProgramTest, StoredPositionIsClampedIntoTheWorkAreaAndTransparencyApplied) {
    ASSERT_EQ(m_meter.SetDword(1), ERROR_SUCCESS);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    struct {
        const char* name;
        POINT stored;
        bool clampedRight;
    } cases[] = {
        {"far outside: moved into the corner", {5000, 5000}, true},
        {"inside: kept", {120, 80}, false},
    };
    for (const auto& c : cases) {
        WriteSettings(plans::FLAG_TRANSPARENT, c.stored);
        testsupport::SolvaneProcess program;
        ASSERT_TRUE(program.Start(L"", m_folder));
        HWND main = program.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        HWND panel = WaitForPanel(program);
        ASSERT_NE(panel, nullptr) << c.name;
        RECT window{};
        GetWindowRect(panel, &window);
        if (c.clampedRight) {
            EXPECT_EQ(window.right, work.right) << c.name;
            EXPECT_EQ(window.bottom, work.bottom) << c.name;
        } else {
            EXPECT_EQ(window.left, c.stored.x) << c.name;
            EXPECT_EQ(window.top, c.stored.y) << c.name;
        }
        EXPECT_TRUE(PumpUntil([&] { return Alpha(panel) == 217; })) << c.name << ": " << int(Alpha(panel));
        CloseProgram(program, main);
    }
    EXPECT_FALSE(PanelErrorsIn(ErrorLog())) << ErrorLog();
}

// Started minimised with the panel: the panel's first speed report comes before the posted
// minimise has added the tray icon, and must not try to modify an icon the shell does not hold.
TEST_F(PanelProgramTest, StartMinimisedToTheTrayModifiesNoIconBeforeItIsAdded) {
    ASSERT_EQ(m_meter.SetDword(1), ERROR_SUCCESS);
    WriteSettings(plans::FLAG_TRAY_ONLY, POINT{100, 100});
    testsupport::SolvaneProcess program;
    ASSERT_TRUE(program.Start(L"", m_folder));
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    // A sent message is answered only from the message loop: start-up, panel included, is over.
    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result), 0);
    ASSERT_NE(testsupport::FindProcessWindow(program.Pid(), L"#32770"), nullptr) << "the panel exists";
    CloseProgram(program, main);
    EXPECT_EQ(ErrorLog().find(L"TrayMessage"), std::wstring::npos) << ErrorLog();
}

TEST_F(PanelProgramTest, SavedBlockOfAnotherSizeIsIgnoredAtStart) {
    ASSERT_EQ(m_meter.SetDword(1), ERROR_SUCCESS);
    WriteSettings(0, POINT{100, 100});
    Activate(plans::kPlanBalanced);
    plans::ProcessorPair full{100, 100, plans::PRESET_HIGH, 100, 100, plans::PRESET_HIGH};
    ASSERT_TRUE(plans::WriteProcessorPair(plans::kPlanBalanced, full));
    const DWORD shortBlock[5] = {5, 60, 255, 5, 40};
    testsupport::ScopedRegValue saved(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, L"Saved_pt");
    ASSERT_EQ(saved.SetRaw(REG_BINARY, shortBlock, sizeof(shortBlock)), ERROR_SUCCESS);

    testsupport::SolvaneProcess program;
    ASSERT_TRUE(program.Start(L"", m_folder));
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(WaitForPanel(program), nullptr);
    EXPECT_EQ(Values(plans::kPlanBalanced), kFull);
    EXPECT_EQ(SavedBlockSize(), sizeof(shortBlock));
    CloseProgram(program, main);
    plans::ProcessorPair original{5, 100, plans::PRESET_USER, 5, 100, plans::PRESET_USER};
    ASSERT_TRUE(plans::WriteProcessorPair(plans::kPlanBalanced, original));
}

TEST_F(PanelProgramTest, ExitWhileBoostingRestoresThePlanAndEndsCleanly) {
    ASSERT_EQ(m_meter.SetDword(1), ERROR_SUCCESS);
    WriteSettings(0, POINT{100, 100});
    Activate(plans::kPlanBalanced);
    testsupport::SolvaneProcess program;
    ASSERT_TRUE(program.Start(L"", m_folder));
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    HWND panel = WaitForPanel(program);
    ASSERT_NE(panel, nullptr);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDM_BOOST, 0), 0);
    EXPECT_EQ(Values(plans::kPlanBalanced), kFull);
    EXPECT_EQ(SavedBlockSize(), 24u);
    CloseProgram(program, main);
    EXPECT_EQ(Values(plans::kPlanBalanced), kBalanced);
    EXPECT_EQ(SavedBlockSize(), 0u);
    EXPECT_FALSE(PanelErrorsIn(ErrorLog())) << ErrorLog();
}

}  // namespace

namespace {

// The display-settings dialog of the running program: opened from the panel's menu command,
// its choice stored and applied to the panel, Cancel changing nothing.
TEST_F(PanelProgramTest, DisplaySettingsDialogChangesLayoutTopmostAndTransparency) {
    ASSERT_EQ(m_meter.SetDword(1), ERROR_SUCCESS);
    struct {
        const char* name;
        int click[2];   // controls clicked in the dialog (0: none)
        UINT button;
        DWORD flags;    // FlagWord bits of the panel afterwards (layout, topmost, transparent)
        BYTE alpha;
        bool topmost;
    } cases[] = {
        {"second layout, transparent", {IDC_PANEL_LAYOUT_SECOND, IDC_PANEL_TRANSPARENT}, IDOK,
         plans::FLAG_LAYOUT_ALT2 | plans::FLAG_TRANSPARENT, 128, false},
        {"first layout, topmost", {IDC_PANEL_LAYOUT_FIRST, IDC_PANEL_TOPMOST}, IDOK,
         plans::FLAG_LAYOUT_ALT1 | plans::FLAG_TOPMOST, 255, true},
        {"changes cancelled", {IDC_PANEL_LAYOUT_FIRST, IDC_PANEL_TRANSPARENT}, IDCANCEL, 0, 255, false},
    };
    for (const auto& c : cases) {
        WriteSettings(0, POINT{100, 100});
        testsupport::SolvaneProcess program;
        ASSERT_TRUE(program.Start(L"", m_folder));
        HWND main = program.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        HWND panel = WaitForPanel(program);
        ASSERT_NE(panel, nullptr) << c.name;
        PostMessageW(panel, WM_COMMAND, MAKEWPARAM(IDM_DISPLAY_SETTINGS, 0), 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(PumpUntil([&] {
            dialog = FindWindowW(L"#32770", L"表示設定");
            return dialog != nullptr && IsWindowVisible(dialog);
        })) << c.name;
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PANEL_LAYOUT_STANDARD), static_cast<UINT>(BST_CHECKED)) << c.name;
        for (int id : c.click) {
            if (id != 0) {
                SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
            }
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); })) << c.name;
        const meter::PanelLayout layout =
            meter::ScaledLayout(meter::StyleFromFlags(c.flags), common::ScreenDpiFactors());
        EXPECT_TRUE(PumpUntil([&] {
            RECT window{};
            GetWindowRect(panel, &window);
            return window.right - window.left == layout.size.cx && Alpha(panel) == c.alpha &&
                   Topmost(panel) == c.topmost;
        })) << c.name << ": alpha " << int(Alpha(panel));
        plans::SettingsBlob stored{};
        DWORD size = sizeof(stored);
        ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kProgramKeyPath, L"Settings", RRF_RT_REG_BINARY, nullptr, &stored,
                               &size),
                  ERROR_SUCCESS);
        constexpr DWORD kShown = plans::FLAG_LAYOUT_ALT1 | plans::FLAG_LAYOUT_ALT2 | plans::FLAG_TOPMOST |
                                 plans::FLAG_TRANSPARENT;
        EXPECT_EQ(stored.dwFlagWord & kShown, c.flags) << c.name;
        CloseProgram(program, main);
    }
}

// What the dialog's choice makes of the FlagWord: only the four panel bits change.
TEST(PanelDisplayFlags, OnlyThePanelBitsChange) {
    struct {
        DWORD before;
        int layout;
        bool topmost;
        bool transparent;
        DWORD after;
    } cases[] = {
        {0x282, 0, false, false, 0x282},
        {0x282 | 0x4 | 0x8 | 0x1 | 0x10, 0, false, false, 0x282},
        {0x3000, 1, true, false, 0x3000 | 0x4 | 0x1},
        {0x4 | 0x8, 2, false, true, 0x8 | 0x10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PanelDisplayFlags(c.before, c.layout, c.topmost, c.transparent), c.after) << std::hex << c.before;
        EXPECT_EQ(PanelDisplayLayout(c.after), c.layout) << std::hex << c.after;
    }
}

}  // namespace
