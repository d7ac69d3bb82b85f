// The whole sequence: through RunInstallerSteps with the plan recorder, and as Vendrel.exe
// started from a scratch folder that holds the files the setup package ships.
#include <gtest/gtest.h>

#include <rpc.h>

#include "common/handles.h"
#include "fake_main_program.h"
#include "fake_power.h"
#include "test_support.h"
#include "vendrel/installer.h"
#include "vendrel/program.h"
#include "vendrel/steps.h"
#include "vendrel/tasks.h"

using namespace vendrel;
using namespace vendrel_test;

namespace {
constexpr InstallerTimings kNoWaits = {0, 0, 3, 10};
constexpr DWORD kHelperTimeoutMs = 90000;
constexpr wchar_t kOrvelKey[] = L"Software\\Orvel";
const wchar_t* const kPlanKeys[] = {L"9b7d845b-af66-4d2a-b476-d4dab840abf8",
                                    L"6658a2a5-119c-4e4e-931b-972bcfdd14a6",
                                    L"b06fb371-2c24-43a7-b87b-5eede712b549"};

bool TaskPresent(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    const std::wstring file = std::wstring(path) + L"\\tasks\\" + name;
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const std::wstring& path) {
    common::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool ReadDword(const std::wstring& path, const wchar_t* name, DWORD* value) {
    DWORD size = sizeof(*value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, value,
                        &size) == ERROR_SUCCESS;
}

// The program's keys are made by these tests in the shared prefix: removed afterwards unless
// they were there before.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_orvelExisted = KeyExists(kOrvelKey);
        m_product = OwnFolder() + L"vendrel_product\\";
        DeleteTasks();
    }
    void TearDown() override {
        DeleteTasks();
        for (const wchar_t* plan : kPlanKeys) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kPlanSettingsKey) + L"\\" + plan).c_str());
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kPlanSettingsKey) + L"\\" + plan).c_str());
        }
        if (!m_orvelExisted) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOrvelKey);
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kOrvelKey);
        }
    }
    // Copies the shipped files (and the helper when asked) into the scratch folder.
    void Ship(bool withHelper) {
        for (const wchar_t* name : {L"Solvane.exe.ini", L"Solvane.exe.xml", L"Solvane.exe.run.xml"}) {
            ASSERT_TRUE(CopyOneFile(m_product + name, m_folder.File(name)));
        }
        if (withHelper) {
            ASSERT_TRUE(CopyOneFile(OwnFolder() + L"Vendrel.exe", m_folder.File(L"Vendrel.exe")));
        }
    }
    void SeedLedNumbers() {
        DWORD led = 1;
        for (const wchar_t* plan : kPlanKeys) {
            common::UniqueRegKey key;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kPlanSettingsKey) + L"\\" + plan).c_str(),
                                      0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
            RegSetValueExW(key.Get(), kLedNoValue, 0, REG_DWORD, reinterpret_cast<BYTE*>(&led), sizeof(led));
            DWORD icon = 20 + led++;
            RegSetValueExW(key.Get(), L"IconNo", 0, REG_DWORD, reinterpret_cast<BYTE*>(&icon), sizeof(icon));
        }
    }
    void ExpectLedNumbersRemoved() {
        DWORD icon = 21;
        for (const wchar_t* plan : kPlanKeys) {
            const std::wstring path = std::wstring(kPlanSettingsKey) + L"\\" + plan;
            DWORD value = 0;
            EXPECT_FALSE(ReadDword(path, kLedNoValue, &value)) << "LedNo left in " << plan;
            ASSERT_TRUE(ReadDword(path, L"IconNo", &value));
            EXPECT_EQ(icon++, value);
        }
    }

    ScratchFolder m_folder;
    std::wstring m_product;
    bool m_orvelExisted = false;
};

GUID G(const wchar_t* text) {
    GUID guid = {};
    UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<wchar_t*>(text)), &guid);
    return guid;
}
}  // namespace

TEST_F(InstallerTest, CommitCreatesPlansTasksAndKeys) {
    Ship(false);
    FakePowerApi power;
    power.AddPlan(G(L"381b4222-f694-41f0-9685-ff5bb260df2e"), L"Balanced");
    power.AddPlan(G(L"a1841308-3541-4fab-bc81-f71556f20b4a"), L"Power saver");
    power.AddPlan(G(L"8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c"), L"High performance");
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    RunInstallerSteps(MASK_COMMIT, TaskDelays{}, helper.c_str(), power, kNoWaits);

    for (const wchar_t* plan : kPlanKeys) {
        ASSERT_TRUE(power.Has(G(plan))) << plan;
        EXPECT_FALSE(power.plans[G(plan)].name.empty());
        EXPECT_FALSE(power.plans[G(plan)].ac.empty());
    }
    EXPECT_EQ(L"ECO 省電力", power.plans[G(kPlanKeys[0])].name);
    EXPECT_EQ(1, power.replaceCalls);
    EXPECT_TRUE(power.WritesOnlyToDuplicatedPlans());
    EXPECT_TRUE(TaskPresent(kTaskRegFix));
    EXPECT_TRUE(TaskPresent(kTaskRun));
    for (const wchar_t* key : {L"Software\\Orvel\\Solvane\\PowerSettings", L"Software\\Orvel\\Solvane\\EFEnv",
                               L"Software\\Orvel\\Solvane\\SupportMonitor",
                               L"Software\\Orvel\\Solvane\\AttachedMonitor", L"Software\\Orvel\\Morrow"}) {
        EXPECT_TRUE(KeyExists(key)) << key;
    }
}

TEST_F(InstallerTest, UpdateTouchesNeitherPlansNorTasks) {
    Ship(false);
    FakePowerApi power;
    power.AddPlan(G(L"381b4222-f694-41f0-9685-ff5bb260df2e"), L"Balanced");
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    RunInstallerSteps(SelectStepMask(L"Vendrel.exe /Update"), TaskDelays{}, helper.c_str(), power, kNoWaits);
    EXPECT_TRUE(power.calls.empty());
    EXPECT_FALSE(TaskPresent(kTaskRegFix));
    EXPECT_FALSE(TaskPresent(kTaskRun));
    EXPECT_TRUE(KeyExists(L"Software\\Orvel\\Solvane\\PowerSettings"));
}

TEST_F(InstallerTest, UninstallClosesTheProgramDeletesTasksAndLedNumbers) {
    Ship(false);
    FakePowerApi power;
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    RunInstallerSteps(MASK_COMMIT, TaskDelays{}, helper.c_str(), power, kNoWaits);
    ASSERT_TRUE(TaskPresent(kTaskRegFix));
    SeedLedNumbers();
    FakeMainProgram program;
    ASSERT_TRUE(program.HasWindow());
    RunInstallerSteps(MASK_UNINSTALL, TaskDelays{}, helper.c_str(), power, kNoWaits);
    EXPECT_EQ(1, program.Closes());
    EXPECT_FALSE(TaskPresent(kTaskRegFix));
    EXPECT_FALSE(TaskPresent(kTaskRun));
    ExpectLedNumbersRemoved();
}

TEST_F(InstallerTest, HelperProgramCommitsAndUninstalls) {
    Ship(true);
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    EXPECT_EQ(0u, RunProgram(helper, L"/Update /Commit delay=0000:55", kHelperTimeoutMs));
    EXPECT_TRUE(TaskPresent(kTaskRegFix));
    EXPECT_TRUE(TaskPresent(kTaskRun));
    EXPECT_TRUE(KeyExists(L"Software\\Orvel\\Morrow"));

    SeedLedNumbers();
    FakeMainProgram program;
    ASSERT_TRUE(program.HasWindow());
    EXPECT_EQ(0u, RunProgram(helper, L"/Uninstall", kHelperTimeoutMs));
    EXPECT_TRUE(program.WaitClosed(1000));
    EXPECT_EQ(1, program.Closes());
    EXPECT_FALSE(TaskPresent(kTaskRegFix));
    EXPECT_FALSE(TaskPresent(kTaskRun));
    ExpectLedNumbersRemoved();
}

TEST_F(InstallerTest, HelperExitsZeroOnBadArgumentsAndMissingFiles) {
    ASSERT_TRUE(CopyOneFile(OwnFolder() + L"Vendrel.exe", m_folder.File(L"Vendrel.exe")));
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    // No plan file, no task files, a delay carrying a command: nothing is created, exit 0.
    EXPECT_EQ(0u, RunProgram(helper, L"/Commit \"delay=0&md:00\" delay=1:30", kHelperTimeoutMs));
    EXPECT_FALSE(TaskPresent(kTaskRegFix));
    EXPECT_FALSE(TaskPresent(kTaskRun));
    EXPECT_EQ(0u, RunProgram(helper, L"/Bogus", kHelperTimeoutMs));
}

namespace {
constexpr wchar_t kFakeMainKey[] = L"Software\\VendrelTests\\FakeMain";

bool FakeMainRecorded(const wchar_t* name) {
    DWORD value = 0, size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, kFakeMainKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
               ERROR_SUCCESS &&
           value == 1;
}

void ClearFakeMainRecord() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kFakeMainKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VendrelTests");  // only when empty
}
}  // namespace

TEST_F(InstallerTest, StandAloneStartsTheProgramFromAPathWithSpacesAndClosesIt) {
    ClearFakeMainRecord();
    // The program folder has a space in its name: the start command must quote it.
    const std::wstring folder = m_folder.File(L"Program Folder");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"\\Solvane.exe";
    ASSERT_TRUE(CopyOneFile(OwnFolder() + L"vendrel_fake_main.exe", program));
    FakePowerApi power;
    const std::wstring helper = folder + L"\\Vendrel.exe";
    const InstallerTimings timings = {0, 500, 40, 250};
    RunInstallerSteps(MASK_STANDALONE, TaskDelays{}, helper.c_str(), power, timings);
    EXPECT_TRUE(FakeMainRecorded(L"Started")) << "the program was not started";
    // WM_CLOSE was sent (and answered) before the sequence returned.
    EXPECT_TRUE(FakeMainRecorded(L"Closed")) << "the started program was not closed";
    // Wait for the process to be gone before the folder is removed.
    for (int i = 0; i < 100 && !DeleteFileW(program.c_str()); ++i) {
        Sleep(50);
    }
    RemoveDirectoryW(folder.c_str());
    ClearFakeMainRecord();
}

TEST_F(InstallerTest, CommitWithoutTheProgramFileStartsNothing) {
    ClearFakeMainRecord();
    FakePowerApi power;
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    RunInstallerSteps(MASK_COMMIT, TaskDelays{}, helper.c_str(), power, kNoWaits);
    EXPECT_FALSE(FakeMainRecorded(L"Started"));
    // With the file there, /Commit starts it (and leaves it running).
    ASSERT_TRUE(CopyOneFile(OwnFolder() + L"vendrel_fake_main.exe", m_folder.File(L"Solvane.exe")));
    RunInstallerSteps(MASK_COMMIT, TaskDelays{}, helper.c_str(), power, kNoWaits);
    bool started = false;
    for (int i = 0; i < 100 && !started; ++i) {
        Sleep(50);
        started = FakeMainRecorded(L"Started");
    }
    EXPECT_TRUE(started);
    // Closing it is the next install step's job: the close step finds it.
    EXPECT_TRUE(CloseRunningProgram());
    EXPECT_TRUE(FakeMainRecorded(L"Closed"));
    for (int i = 0; i < 100 && !DeleteFileW(m_folder.File(L"Solvane.exe").c_str()); ++i) {
        Sleep(50);
    }
    ClearFakeMainRecord();
}

namespace {
constexpr wchar_t kTraceKey[] = L"Software\\Orvel\\Solvane\\DbgLog";
constexpr wchar_t kTraceFile[] = L"vendrel_test_trace.log";

// Turns the helper's trace log on (full detail) for one run and reads it back.
class TraceLog {
public:
    TraceLog() {
        wchar_t folder[MAX_PATH] = {};
        GetEnvironmentVariableW(L"ProgramData", folder, MAX_PATH);
        m_path = std::wstring(folder) + L"\\" + kTraceFile;
        DeleteFileW(m_path.c_str());
        common::UniqueRegKey key;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTraceKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr);
        RegSetValueExW(key.Get(), L"filename", 0, REG_SZ, reinterpret_cast<const BYTE*>(kTraceFile),
                       sizeof(kTraceFile));
        DWORD form = 2, level = 2;  // lines carry the function name
        RegSetValueExW(key.Get(), L"logform", 0, REG_DWORD, reinterpret_cast<BYTE*>(&form), sizeof(form));
        RegSetValueExW(key.Get(), L"loglevel", 0, REG_DWORD, reinterpret_cast<BYTE*>(&level), sizeof(level));
    }
    ~TraceLog() {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTraceKey);
        DeleteFileW(m_path.c_str());
    }
    std::wstring Text() const {
        common::UniqueFile file(CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return L"";
        std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
        DWORD read = 0;
        ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), read / sizeof(wchar_t));
    }

private:
    std::wstring m_path;
};
}  // namespace

TEST_F(InstallerTest, OnlyAValidDelayReachesTheTaskTool) {
    ASSERT_TRUE(CopyOneFile(OwnFolder() + L"Vendrel.exe", m_folder.File(L"Vendrel.exe")));
    const std::wstring helper = m_folder.File(L"Vendrel.exe");
    {
        TraceLog trace;
        EXPECT_EQ(0u, RunProgram(helper, L"/Update delay=0000:55", kHelperTimeoutMs));
        const std::wstring text = trace.Text();
        ASSERT_NE(std::wstring::npos, text.find(L"RunInstaller")) << "no trace written";
        EXPECT_NE(std::wstring::npos, text.find(L"\"schtasks /Change /Delay 0000:55 /tn SolvaneRegFix\""));
        EXPECT_NE(std::wstring::npos, text.find(L"\"schtasks /Change /Delay 0001:05 /tn SolvaneRun\""));
    }
    {
        TraceLog trace;
        EXPECT_EQ(0u, RunProgram(helper, L"/Update delay=0&md:00 \"delay=00|1:30\" delay=1:30", kHelperTimeoutMs));
        const std::wstring text = trace.Text();
        ASSERT_NE(std::wstring::npos, text.find(L"RunInstaller")) << "no trace written";
        EXPECT_NE(std::wstring::npos, text.find(L"ignored: delay=0&md:00"));
        EXPECT_NE(std::wstring::npos, text.find(L"ignored: delay=00|1:30"));
        EXPECT_EQ(std::wstring::npos, text.find(L"/Change")) << "a delay reached the shell";
        EXPECT_EQ(std::wstring::npos, text.find(L"cmd.exe")) << "/Update runs no command";
    }
}
