// The product as the setup package leaves it on a simulated PC, then a second /Commit, the
// rights repair and the removal. The cases run in order on one machine.
#include <gtest/gtest.h>

#include <rpc.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "fake_main_program.h"
#include "test_support.h"
#include "vendrel/key_acl.h"
#include "vendrel/program.h"
#include "vendrel/tasks.h"

using namespace vendrel;
using namespace vendrel_test;

namespace {
constexpr wchar_t kInstallDir[] = L"C:\\Program Files\\Solvane\\";
constexpr wchar_t kPowerStoreKey[] = L"Software\\SimulatedPC\\Power";
constexpr DWORD kHelperTimeoutMs = 60000;
constexpr wchar_t kEcoSave[] = L"9b7d845b-af66-4d2a-b476-d4dab840abf8";
constexpr wchar_t kEcoBalance[] = L"6658a2a5-119c-4e4e-931b-972bcfdd14a6";
constexpr wchar_t kEcoPerformance[] = L"b06fb371-2c24-43a7-b87b-5eede712b549";
constexpr wchar_t kSubVideo[] = L"7516b95f-f776-4464-8c53-06167f40cc99";
constexpr wchar_t kVideoIdle[] = L"3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e";
constexpr wchar_t kSubProcessor[] = L"54533251-82be-4824-96c1-47b60b740d00";
constexpr wchar_t kThrottleMax[] = L"bc5038f7-23e0-4960-96da-33abaf5935ec";

GUID G(const wchar_t* text) {
    GUID guid = {};
    UuidFromStringW(reinterpret_cast<RPC_WSTR>(const_cast<wchar_t*>(text)), &guid);
    return guid;
}

int EcoModes() {
    wchar_t text[8] = {};
    GetEnvironmentVariableW(L"SIM_ECO_MODES", text, 8);
    return _wtoi(text);
}

bool TaskPresent(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return GetFileAttributesW((std::wstring(path) + L"\\tasks\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(const std::wstring& path) {
    common::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool ReadDword(const std::wstring& path, const wchar_t* name, DWORD* value) {
    DWORD size = sizeof(*value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, value, &size) ==
           ERROR_SUCCESS;
}

std::wstring PlanKey(const wchar_t* plan) { return std::wstring(kPlanSettingsKey) + L"\\" + plan; }

// The plans as the power API of this machine reports them.
class PowerReader {
public:
    PowerReader() {
        wchar_t path[MAX_PATH] = {};
        GetSystemDirectoryW(path, MAX_PATH);
        m_module.Reset(LoadLibraryW((std::wstring(path) + L"\\powrprof.dll").c_str()));
        m_readName = reinterpret_cast<ReadNameFn>(
            reinterpret_cast<void*>(GetProcAddress(m_module.Get(), "PowerReadFriendlyName")));
        m_readAc = reinterpret_cast<ReadIndexFn>(
            reinterpret_cast<void*>(GetProcAddress(m_module.Get(), "PowerReadACValueIndex")));
        m_readDc = reinterpret_cast<ReadIndexFn>(
            reinterpret_cast<void*>(GetProcAddress(m_module.Get(), "PowerReadDCValueIndex")));
    }
    // The machine's power configuration is the simulated one (its store exists).
    static bool Simulated() { return KeyExists(kPowerStoreKey); }

    std::wstring Name(const wchar_t* plan) {
        if (m_readName == nullptr) return L"<no PowerReadFriendlyName>";
        GUID guid = G(plan);
        wchar_t name[512] = {};
        DWORD size = sizeof(name);
        if (m_readName(nullptr, &guid, nullptr, nullptr, reinterpret_cast<UCHAR*>(name), &size) != ERROR_SUCCESS) {
            return L"<missing>";
        }
        return name;
    }
    DWORD Ac(const wchar_t* plan, const wchar_t* subgroup, const wchar_t* setting) {
        return Read(m_readAc, plan, subgroup, setting);
    }
    DWORD Dc(const wchar_t* plan, const wchar_t* subgroup, const wchar_t* setting) {
        return Read(m_readDc, plan, subgroup, setting);
    }

private:
    using ReadNameFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD*);
    using ReadIndexFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD*);
    DWORD Read(ReadIndexFn fn, const wchar_t* plan, const wchar_t* subgroup, const wchar_t* setting) {
        if (fn == nullptr) return 0xFFFFFFFF;
        GUID p = G(plan), s = G(subgroup), v = G(setting);
        DWORD value = 0xFFFFFFFF;
        if (fn(nullptr, &p, &s, &v, &value) != ERROR_SUCCESS) return 0xFFFFFFFF;
        return value;
    }
    common::UniqueModule m_module;
    ReadNameFn m_readName = nullptr;
    ReadIndexFn m_readAc = nullptr;
    ReadIndexFn m_readDc = nullptr;
};

ACCESS_MASK UsersAllowed(HKEY key, int* entries) {
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> buffer(size);
    *entries = 0;
    if (size == 0 || RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size) != ERROR_SUCCESS) {
        return 0;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted);
    PSID users = nullptr;
    ConvertStringSidToSidW(L"S-1-5-32-545", &users);
    common::UniqueLocal usersMemory(users);
    ACCESS_MASK allowed = 0;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        GetAce(dacl, i, &ace);
        auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && EqualSid(&entry->SidStart, users)) {
            allowed |= entry->Mask;
            ++*entries;
        }
    }
    return allowed;
}
}  // namespace

TEST(InstalledPc, FilesTasksKeysAndModeSlots) {
    for (const wchar_t* name : {L"Vendrel.exe", L"Solvane.exe", L"Solvane.exe.ini", L"Solvane.exe.xml",
                                L"Solvane.exe.run.xml"}) {
        EXPECT_TRUE(FileExists((std::wstring(kInstallDir) + name).c_str())) << name;
    }
    EXPECT_TRUE(TaskPresent(kTaskRegFix));
    EXPECT_TRUE(TaskPresent(kTaskRun));
    for (const wchar_t* key : {L"Software\\Orvel\\Solvane\\PowerSettings", L"Software\\Orvel\\Solvane\\EFEnv",
                               L"Software\\Orvel\\Solvane\\SupportMonitor",
                               L"Software\\Orvel\\Solvane\\AttachedMonitor", L"Software\\Orvel\\Morrow"}) {
        EXPECT_TRUE(KeyExists(key)) << key;
    }
    DWORD value = 0;
    ASSERT_TRUE(ReadDword(L"Software\\Orvel\\Solvane", L"EcoMode", &value));
    DWORD led = 0;
    if (EcoModes() == 3) {
        EXPECT_EQ(2u, value);
        ASSERT_TRUE(ReadDword(PlanKey(kEcoSave), kLedNoValue, &led));
        EXPECT_EQ(1u, led);
        ASSERT_TRUE(ReadDword(PlanKey(kEcoBalance), kLedNoValue, &led));
        EXPECT_EQ(2u, led);
        ASSERT_TRUE(ReadDword(PlanKey(kEcoPerformance), kLedNoValue, &led));
        EXPECT_EQ(3u, led);
    } else {
        EXPECT_EQ(1u, value);
        ASSERT_TRUE(ReadDword(PlanKey(kEcoPerformance), kLedNoValue, &led));
        EXPECT_EQ(3u, led);
        ASSERT_TRUE(ReadDword(PlanKey(kEcoSave), kLedNoValue, &led));
        EXPECT_EQ(1u, led);
    }
}

TEST(InstalledPc, PlansCreatedFromTheDefinitionFile) {
    ASSERT_TRUE(PowerReader::Simulated()) << "the simulated PC has no power configuration";
    PowerReader power;
    EXPECT_EQ(L"ECO 省電力", power.Name(kEcoSave));
    EXPECT_EQ(L"ECO バランス", power.Name(kEcoBalance));
    EXPECT_EQ(L"ECO パフォーマンス", power.Name(kEcoPerformance));
    EXPECT_EQ(300u, power.Ac(kEcoSave, kSubVideo, kVideoIdle));
    EXPECT_EQ(180u, power.Dc(kEcoSave, kSubVideo, kVideoIdle));
    EXPECT_EQ(70u, power.Ac(kEcoSave, kSubProcessor, kThrottleMax));
    EXPECT_EQ(50u, power.Dc(kEcoSave, kSubProcessor, kThrottleMax));
    EXPECT_EQ(600u, power.Ac(kEcoBalance, kSubVideo, kVideoIdle));
    EXPECT_EQ(900u, power.Ac(kEcoPerformance, kSubVideo, kVideoIdle));
    EXPECT_EQ(600u, power.Dc(kEcoPerformance, kSubVideo, kVideoIdle));
    // "REPLACE=1": the maker's plans became the defaults a restore brings back.
    for (const wchar_t* plan : {kEcoSave, kEcoBalance, kEcoPerformance}) {
        EXPECT_TRUE(KeyExists(std::wstring(kPowerStoreKey) + L"\\DefaultSchemes\\" + plan)) << plan;
    }
}

TEST(InstalledPc, SecondCommitUpdatesPlansAndSkipsBrokenOnes) {
    ASSERT_TRUE(PowerReader::Simulated()) << "the simulated PC has no power configuration";
    // A copy of the helper with its own plan definition file and no main program beside it:
    // nothing is started, the plans of the file are created or updated.
    ScratchFolder folder;
    ASSERT_TRUE(CopyOneFile(std::wstring(kInstallDir) + L"Vendrel.exe", folder.File(L"Vendrel.exe")));
    ASSERT_TRUE(WriteUnicodeFile(folder.File(L"Solvane.exe.ini"),
        L"[PLANS_INFO]\r\nCOUNT=4\r\n"
        L"[ALIASES]\r\nSAVE=9b7d845b-af66-4d2a-b476-d4dab840abf8\r\n"
        L"[PLAN_0]\r\nGUID=@SAVE\r\nBASE_GUID=a1841308-3541-4fab-bc81-f71556f20b4a\r\n"
        L"NAME=ECO 省電力 改\r\nSETTING=1\r\nSETTING_0=V\r\n"
        L"[PLAN_1]\r\nGUID=11111111-2222-3333-4444-000000000001\r\nNAME=no base\r\n"
        L"[PLAN_2]\r\nGUID=11111111-2222-3333-4444-000000000002\r\n"
        L"BASE_GUID=11111111-2222-3333-4444-0000000000ff\r\nNAME=missing base\r\n"
        L"[PLAN_3]\r\nGUID=11111111-2222-3333-4444-000000000003\r\n"
        L"BASE_GUID=381b4222-f694-41f0-9685-ff5bb260df2e\r\nNAME=後の計画\r\nSETTING=1\r\nSETTING_0=V\r\n"
        L"[V]\r\nSETTING=D\r\nACINDEX=240\r\nDCINDEX=120\r\n"
        L"[D]\r\nSUBGROUP_GUID=7516b95f-f776-4464-8c53-06167f40cc99\r\n"
        L"SETTING_GUID=3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e\r\n"));
    EXPECT_EQ(0u, RunProgram(folder.File(L"Vendrel.exe"), L"/Commit", kHelperTimeoutMs));
    PowerReader power;
    EXPECT_EQ(L"ECO 省電力 改", power.Name(kEcoSave));
    EXPECT_EQ(240u, power.Ac(kEcoSave, kSubVideo, kVideoIdle));
    EXPECT_EQ(120u, power.Dc(kEcoSave, kSubVideo, kVideoIdle));
    EXPECT_EQ(70u, power.Ac(kEcoSave, kSubProcessor, kThrottleMax)) << "values the file leaves alone stay";
    EXPECT_EQ(L"<missing>", power.Name(L"11111111-2222-3333-4444-000000000001"));
    EXPECT_EQ(L"<missing>", power.Name(L"11111111-2222-3333-4444-000000000002"));
    EXPECT_EQ(L"後の計画", power.Name(L"11111111-2222-3333-4444-000000000003"));
    EXPECT_EQ(240u, power.Ac(L"11111111-2222-3333-4444-000000000003", kSubVideo, kVideoIdle));
}

TEST(InstalledPc, HelperWithoutSwitchRepairsRightsOnly) {
    const std::wstring planKey = PlanKey(kEcoSave);
    {
        common::UniqueRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, planKey.c_str(), 0, KEY_ALL_ACCESS, key.Put()));
        PSECURITY_DESCRIPTOR stock = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;KA;;;BA)(A;;KA;;;SY)(A;;KR;;;BU)", SDDL_REVISION_1, &stock, nullptr));
        common::UniqueLocal stockMemory(stock);
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, stock));
    }
    EXPECT_EQ(0u, RunProgram(std::wstring(kInstallDir) + L"Vendrel.exe", L"", kHelperTimeoutMs));
    common::UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, planKey.c_str(), 0, KEY_READ, key.Put()));
    int entries = 0;
    const ACCESS_MASK users = UsersAllowed(key.Get(), &entries);
    EXPECT_EQ(1, entries);
    EXPECT_EQ(kUsersKeyAccess, users);
    EXPECT_EQ(0u, users & (WRITE_DAC | WRITE_OWNER));
    EXPECT_TRUE(TaskPresent(kTaskRegFix)) << "the rights repair leaves the tasks alone";
    DWORD led = 0;
    EXPECT_TRUE(ReadDword(planKey, kLedNoValue, &led)) << "and the mode slots";
}

TEST(InstalledPc, UninstallClosesTheProgramDeletesTasksAndModeSlots) {
    FakeMainProgram program;
    ASSERT_TRUE(program.HasWindow()) << "needs a display";
    EXPECT_EQ(0u, RunProgram(std::wstring(kInstallDir) + L"Vendrel.exe", L"/Uninstall", kHelperTimeoutMs));
    EXPECT_TRUE(program.WaitClosed(2000));
    EXPECT_EQ(1, program.Closes());
    EXPECT_FALSE(TaskPresent(kTaskRegFix));
    EXPECT_FALSE(TaskPresent(kTaskRun));
    common::UniqueRegKey parent;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPlanSettingsKey, 0, KEY_READ, parent.Put()));
    int plans = 0;
    for (DWORD i = 0;; ++i) {
        wchar_t name[260] = {};
        DWORD cch = 260;
        if (RegEnumKeyExW(parent.Get(), i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DWORD led = 0;
        EXPECT_FALSE(ReadDword(PlanKey(name), kLedNoValue, &led)) << "LedNo left in " << name;
        ++plans;
    }
    EXPECT_GE(plans, EcoModes());
}
