// The eco-level library "Tessit.dll" of the simulated notebook: what the program sends for a plan,
// how it reads the answer, and when the resident program loads and finalises the library.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/eco_level.h"
#include "e2e_support.h"
#include "plans/plan_record.h"
#include "plans/power_values.h"
#include "plans/settings.h"
#include "sim/simlib/simlib.h"

namespace {

const std::wstring kTessitKey = L"Software\\SimulatedPC\\Tessit";

DWORD Initialized() { return simlib::DwordOr(kTessitKey, L"Initialized", 0); }

size_t CountCalls(const wchar_t* function) {
    const std::vector<std::wstring> log = simlib::ReadLog(L"Tessit");
    return static_cast<size_t>(std::count_if(log.begin(), log.end(), [function](const std::wstring& line) {
        return line.rfind(function, 0) == 0;
    }));
}

plans::PlanRecord SampleRecord() {
    plans::PlanRecord record{};
    record.nBrightnessAC = 80;
    record.nBrightnessDC = 40;
    record.nBrightnessMonitor = 70;
    record.nBrightnessMonitorEnable = 1;
    record.biALS = plans::AmbientLightRange{1, 7, 2, 5, 1};
    return record;
}

plans::PowerValues SampleValues() {
    plans::PowerValues v{};
    v.dwMonitorAC = 300;
    v.dwMonitorDC = 120;
    v.dwDiskAC = 1200;
    v.dwDiskDC = 600;
    v.dwStandbyAC = 3600;
    v.dwStandbyDC = 900;
    v.dwHibernateAC = 7200;
    v.dwHibernateDC = 0;
    v.dwMaxThrottleAC = 80;
    v.dwMinThrottleAC = 5;
    v.dwMaxThrottleDC = 50;
    v.dwMinThrottleDC = 5;
    return v;
}

TEST(EcoLevelRequest, KindAndBrightnessFieldsFollowTheMachine) {
    g_pfnEcoPanelLevel = [](INT32 percent) { return static_cast<DWORD>(percent / 10); };
    g_pfnEcoCmosBrightness = [] { return true; };
    struct Row {
        DWORD flagWord;
        DWORD kind, a, b, c;
        bool als;
    } rows[] = {
        {plans::FLAG_BATTERY, 1, 0, 8, 4, true},
        {0, 2, 0, 8, 0, false},
        {plans::FLAG_EXT_MONITOR | plans::FLAG_BATTERY, 3, 1, 70, 0, false},
    };
    const BYTE als[kEcoLevelAlsBytes] = {1, 7, 2, 5, 1};
    const BYTE none[kEcoLevelAlsBytes] = {};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flagWord);
        const EcoLevelRequest r = BuildEcoLevelRequest(SampleRecord(), SampleValues(), row.flagWord);
        EXPECT_EQ(r.dwKind, row.kind);
        EXPECT_EQ(r.dwBrightnessA, row.a);
        EXPECT_EQ(r.dwBrightnessB, row.b);
        EXPECT_EQ(r.dwBrightnessC, row.c);
        EXPECT_EQ(memcmp(r.abALS, row.als ? als : none, kEcoLevelAlsBytes), 0);
        EXPECT_EQ(r.dwStandbyAC, 3600u);
        EXPECT_EQ(r.dwHibernateAC, 7200u);
        EXPECT_EQ(r.dwMaxProcessorAC, 80u);
        EXPECT_EQ(r.dwMinProcessorAC, 5u);
        EXPECT_EQ(r.dwMaxProcessorDC, 50u);
    }
    g_pfnEcoCmosBrightness = nullptr;  // without the CMOS interface no ambient-light bytes
    const EcoLevelRequest r = BuildEcoLevelRequest(SampleRecord(), SampleValues(), plans::FLAG_BATTERY);
    EXPECT_EQ(memcmp(r.abALS, none, kEcoLevelAlsBytes), 0);
    g_pfnEcoPanelLevel = nullptr;
}

TEST(EcoLevelAnswer, LevelsAreSplitAndCappedAtFive) {
    struct Row {
        DWORD answer;
        bool ok;
        int performance, saving;
    } rows[] = {{0x0504, true, 5, 4}, {0x0900, true, 5, 0}, {0x0007, true, 0, 5}, {kEcoLevelNoAnswer, false, -1, -1}};
    for (const Row& row : rows) {
        int performance = -1, saving = -1;
        EXPECT_EQ(DecodeEcoLevel(row.answer, &performance, &saving), row.ok) << row.answer;
        EXPECT_EQ(performance, row.performance) << row.answer;
        EXPECT_EQ(saving, row.saving) << row.answer;
    }
}

TEST(EcoLevelLibrary, TheLibraryRatesTheRequestThatWasSent) {
    simlib::ClearLog(L"Tessit");
    EXPECT_EQ(QueryEcoLevel(EcoLevelRequest{}), kEcoLevelNoAnswer);  // not loaded yet
    LoadEcoLevelLibrary();
    EXPECT_EQ(Initialized(), 1u);
    const EcoLevelRequest request = BuildEcoLevelRequest(SampleRecord(), SampleValues(), plans::FLAG_BATTERY);
    // Processor 80 % → performance 4; monitor, disk, hibernate and the processor below 100 save.
    EXPECT_EQ(QueryEcoLevel(request), 0x0404u);
    std::vector<BYTE> sent;
    ASSERT_EQ(simlib::ReadBinary(kTessitKey, L"LastRequest", sent), ERROR_SUCCESS);
    ASSERT_EQ(sent.size(), offsetof(EcoLevelRequest, abALS) + kEcoLevelAlsBytes);
    EXPECT_EQ(memcmp(sent.data(), &request, sent.size()), 0);

    ASSERT_EQ(simlib::WriteDword(kTessitKey, L"Answer", 0x12340305), ERROR_SUCCESS);
    EXPECT_EQ(QueryEcoLevel(request), 0x0305u);  // only the low 16 bits count
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kTessitKey.c_str(), L"Answer");

    FinalizeEcoLevelLibrary();
    EXPECT_EQ(Initialized(), 0u);
    EXPECT_EQ(QueryEcoLevel(request), kEcoLevelNoAnswer);
    FinalizeEcoLevelLibrary();  // a second end of session calls nothing
    EXPECT_EQ(CountCalls(L"TessitApiFinalizeApp"), 1u);
}

TEST(EcoLevelResident, LoadedAtStartFinalisedOnlyWhenTheSessionEnds) {
    simlib::ClearLog(L"Tessit");
    e2e::Resident resident;
    ASSERT_TRUE(resident.Start());
    EXPECT_EQ(Initialized(), 1u);
    EXPECT_EQ(CountCalls(L"TessitApiInitializeApp"), 1u);

    DWORD_PTR result = 0;
    // A cancelled shutdown keeps the library.
    ASSERT_NE(SendMessageTimeoutW(resident.Window(), WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 20000, &result), 0);
    EXPECT_EQ(Initialized(), 1u);
    ASSERT_NE(SendMessageTimeoutW(resident.Window(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, &result), 0);
    EXPECT_EQ(Initialized(), 0u);
    EXPECT_TRUE(resident.Close());
    EXPECT_EQ(CountCalls(L"TessitApiFinalizeApp"), 1u);  // not again at WM_DESTROY
}

int CountWindows(const wchar_t* caption) {
    struct Count {
        const wchar_t* caption;
        int n;
    } count{caption, 0};
    EnumWindows(
        [](HWND window, LPARAM lParam) -> BOOL {
            auto* c = reinterpret_cast<Count*>(lParam);
            wchar_t text[128] = L"";
            GetWindowTextW(window, text, 128);
            c->n += IsWindowVisible(window) && lstrcmpW(text, c->caption) == 0 ? 1 : 0;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
}

// Tray command 48 opens the ECO mode settings dialog once; a second request opens no other.
TEST(ModeDialogResident, CommandFortyEightOpensOneDialog) {
    const wchar_t* caption = L"ECOモードの設定(省電力設定)";
    e2e::Resident resident;
    ASSERT_TRUE(resident.Start());
    resident.PostCommand(48);
    HWND dialog = nullptr;
    // A modal dialog shows itself once its loop first runs idle: wait until it is on screen.
    for (int i = 0; i < 300 && dialog == nullptr; ++i) {
        Sleep(50);
        dialog = FindWindowW(L"#32770", caption);
        if (dialog != nullptr && !IsWindowVisible(dialog)) {
            dialog = nullptr;
        }
    }
    ASSERT_NE(dialog, nullptr) << "the dialog did not open";
    // The second request, sent: handled when the call returns.
    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(resident.Window(), WM_COMMAND, MAKEWPARAM(48, 0), 0, SMTO_NORMAL, 20000, &result), 0);
    EXPECT_EQ(CountWindows(caption), 1);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 200 && IsWindow(dialog); ++i) {
        Sleep(50);
    }
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(resident.Close());
}

}  // namespace
