// "/export" and "/import" of the real program on an installed simulated PC.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "tests/e2e_modes/e2e_support.h"

namespace {

constexpr const wchar_t* kEfEnv = L"Software\\Orvel\\Solvane\\EFEnv";
constexpr const wchar_t* kMorrow = L"Software\\Orvel\\Morrow";
constexpr DWORD kRecordBytes = 40;

void SetDword(const wchar_t* path, const wchar_t* name, DWORD value) {
    common::UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
              ERROR_SUCCESS);
}

void SetRecord(const wchar_t* name, BYTE seed) {
    std::vector<BYTE> record(kRecordBytes);
    for (DWORD i = 0; i < kRecordBytes; ++i) {
        record[i] = static_cast<BYTE>(seed ^ (i * 13));
    }
    common::UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEfEnv, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_BINARY, record.data(), kRecordBytes), ERROR_SUCCESS);
}

long long Dword(const wchar_t* path, const wchar_t* name) {
    DWORD value = 0;
    DWORD cb = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_DWORD, nullptr, &value, &cb) == ERROR_SUCCESS
               ? static_cast<long long>(value)
               : -1;
}

std::vector<BYTE> Binary(const wchar_t* path, const wchar_t* name) {
    std::vector<BYTE> data(kRecordBytes * 2);
    DWORD cb = static_cast<DWORD>(data.size());
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_BINARY, nullptr, data.data(), &cb) != ERROR_SUCCESS) {
        return {};
    }
    data.resize(cb);
    return data;
}

// Runs Solvane.exe with the arguments; it must end by itself with 0 and show no message.
void RunToEnd(const std::wstring& arguments, const std::wstring& folder) {
    testsupport::SolvaneProcess process;
    ASSERT_TRUE(process.Start(arguments, folder));
    DWORD code = 0xFFFFFFFF;
    const bool ended = process.WaitForExit(e2e::kWaitMs, &code);
    if (!ended) {
        HWND box = process.WaitForMessageBox(1);
        ADD_FAILURE() << "did not end; message: "
                      << (box != nullptr ? testing::PrintToString(testsupport::DialogStaticText(box)) : "none");
        return;
    }
    EXPECT_EQ(code, 0u);
}

struct Snapshot {
    long long ledNo[3];
    long long selectMode;
    long long threshold;
    long long company;
    std::vector<BYTE> useDate;
    std::vector<BYTE> lv2Time;
};

Snapshot Take() {
    const GUID plans[3] = {e2e::kEcoSave, e2e::kEcoBalance, e2e::kEcoPerformance};
    Snapshot s{};
    for (int i = 0; i < 3; ++i) {
        s.ledNo[i] = static_cast<long long>(e2e::PlanValue(plans[i], L"LedNo", 0xFFFFFFFF));
    }
    s.selectMode = Dword(kEfEnv, L"SelectMode");
    s.threshold = Dword(kEfEnv, L"Threshold");
    s.company = Dword(kMorrow, L"SelectedCompany");
    s.useDate = Binary(kEfEnv, L"UseDate");
    s.lv2Time = Binary(kEfEnv, L"Lv2Time");
    return s;
}

TEST(SettingsFileOnThePc, ExportThenImportBringsBackTheModesAndThePeakShiftSettings) {
    const Snapshot installed = Take();
    // The installation binds the three maker plans to three different modes.
    ASSERT_NE(installed.ledNo[0], installed.ledNo[1]);
    ASSERT_NE(installed.ledNo[1], installed.ledNo[2]);
    for (long long ledNo : installed.ledNo) {
        ASSERT_GE(ledNo, 1);
        ASSERT_LE(ledNo, 3);
    }
    SetDword(kEfEnv, L"SelectMode", 7);
    SetDword(kEfEnv, L"Threshold", 92);
    SetDword(kMorrow, L"SelectedCompany", 3);
    SetRecord(L"UseDate", 0x5A);
    SetRecord(L"Lv2Time", 0xC3);
    const Snapshot exported = Take();

    testsupport::TempFolder folder;
    RunToEnd(L"/export " + folder.Path() + L"\\pc", folder.Path());
    const std::wstring file = folder.Path() + L"\\pc.ECOSettings";
    ASSERT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the export appends the extension";

    // Another configuration: the save and balance plans swap modes, other peak-shift values.
    e2e::SetPlanValue(e2e::kEcoSave, L"LedNo", static_cast<DWORD>(installed.ledNo[1]));
    e2e::SetPlanValue(e2e::kEcoBalance, L"LedNo", static_cast<DWORD>(installed.ledNo[0]));
    SetDword(kEfEnv, L"SelectMode", 0);
    SetDword(kEfEnv, L"Threshold", 80);
    SetDword(kMorrow, L"SelectedCompany", 1);
    SetRecord(L"UseDate", 0x01);

    RunToEnd(L"/import " + file, folder.Path());
    const Snapshot imported = Take();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(imported.ledNo[i], exported.ledNo[i]) << "plan " << i;
    }
    EXPECT_EQ(imported.selectMode, 3) << "the demand link is never switched on by an import";
    EXPECT_EQ(imported.threshold, 92);
    EXPECT_EQ(imported.company, 3);
    EXPECT_EQ(imported.useDate, exported.useDate);
    EXPECT_EQ(imported.lv2Time, exported.lv2Time);
    DeleteFileW(file.c_str());
}

}  // namespace
