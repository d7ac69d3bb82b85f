// A standard user on the installed simulated PC: the machine keys get the rights Windows gives
// keys under HKLM\Software, the installer helper's "/Commit" widens the program's keys, and a
// thread impersonating the user (the process token with Administrators deny-only) then uses
// them the way the program and the link library do.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "common/handles.h"
#include "plans/peak_cut_values.h"
#include "plans/plan_record.h"
#include "tarvik/tarvik_api.h"
#include "test_support.h"

using vendrel_test::CopyOneFile;
using vendrel_test::RunProgram;
using vendrel_test::ScratchFolder;

namespace {

constexpr wchar_t kInstallDir[] = L"C:\\Program Files\\Solvane\\";
constexpr wchar_t kOrvelKey[] = L"Software\\Orvel";
constexpr wchar_t kMorrowKey[] = L"Software\\Orvel\\Morrow";
constexpr wchar_t kTarvikDebugKey[] = L"Software\\Orvel\\Morrow\\Tarvik";
constexpr wchar_t kMorrowTraceKey[] = L"Software\\Orvel\\Morrow\\DbgLog";
constexpr wchar_t kEcoSavePlanKey[] = L"Software\\Orvel\\Solvane\\PowerSettings\\9b7d845b-af66-4d2a-b476-d4dab840abf8";
constexpr GUID kEcoSave = {0x9b7d845b, 0xaf66, 0x4d2a, {0xb4, 0x76, 0xd4, 0xda, 0xb8, 0x40, 0xab, 0xf8}};
constexpr DWORD kProgramTimeoutMs = 60000;
constexpr REGSAM kUserKeyRights =
    KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | DELETE;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD cch = GetEnvironmentVariableW(name, value, MAX_PATH);
    return cch > 0 && cch < MAX_PATH ? std::wstring(value) : std::wstring();
}

bool WriteDword(const wchar_t* path, const wchar_t* name, DWORD value) {
    common::UniqueRegKey key;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr) ==
               ERROR_SUCCESS &&
           RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
               ERROR_SUCCESS;
}

// The calling thread acts as a member of Users who is no administrator while this lives.
class StandardUser {
public:
    StandardUser() {
        common::UniqueHandle processToken;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, processToken.Put())) {
            return;
        }
        PSID admins = nullptr;
        if (!ConvertStringSidToSidW(L"S-1-5-32-544", &admins)) {
            return;
        }
        common::UniqueLocal adminsMemory(admins);
        SID_AND_ATTRIBUTES denyOnly = {admins, 0};
        common::UniqueHandle restricted;
        if (!CreateRestrictedToken(processToken.Get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, restricted.Put())) {
            return;
        }
        common::UniqueHandle impersonation;
        if (!DuplicateToken(restricted.Get(), SecurityImpersonation, impersonation.Put())) {
            return;
        }
        m_active = SetThreadToken(nullptr, impersonation.Get()) != FALSE;
    }
    ~StandardUser() {
        if (m_active) {
            SetThreadToken(nullptr, nullptr);
        }
    }
    StandardUser(const StandardUser&) = delete;
    StandardUser& operator=(const StandardUser&) = delete;
    bool Active() const { return m_active; }

private:
    bool m_active = false;
};

LSTATUS OpenAsUser(const wchar_t* path, REGSAM access) {
    StandardUser user;
    if (!user.Active()) {
        return ERROR_BAD_IMPERSONATION_LEVEL;
    }
    common::UniqueRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, key.Put());
}

// The PC as the setup package leaves it, with the library's debug and trace keys in place (an
// administrator created them before the installation): stock rights, then "/Commit".
class StandardUserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(WriteDword(kTarvikDebugKey, L"Debug", 0));
        ASSERT_TRUE(WriteDword(kMorrowTraceKey, L"interval", 30));
        const std::wstring simctl = Environment(L"SIM_BIN") + L"\\simctl.exe";
        ASSERT_EQ(0u, RunProgram(simctl, L"stock-key-rights Software\\Orvel", kProgramTimeoutMs));
        // A copy of the helper with nothing beside it: no plans, tasks or program start; the
        // rights step runs as in the installation.
        ScratchFolder folder;
        ASSERT_TRUE(CopyOneFile(std::wstring(kInstallDir) + L"Vendrel.exe", folder.File(L"Vendrel.exe")));
        ASSERT_EQ(0u, RunProgram(folder.File(L"Vendrel.exe"), L"/Commit", kProgramTimeoutMs));
    }
};

TEST_F(StandardUserTest, MayUseTheProgramKeysButNeverChangeTheirRights) {
    struct Case {
        const wchar_t* path;
        REGSAM access;
        LSTATUS expected;
    };
    const Case cases[] = {
        {L"Software\\Orvel\\Solvane\\PowerSettings", kUserKeyRights, ERROR_SUCCESS},
        {kEcoSavePlanKey, kUserKeyRights, ERROR_SUCCESS},
        {L"Software\\Orvel\\Solvane\\EFEnv", kUserKeyRights, ERROR_SUCCESS},
        {L"Software\\Orvel\\Solvane\\SupportMonitor", kUserKeyRights, ERROR_SUCCESS},
        {L"Software\\Orvel\\Solvane\\AttachedMonitor", kUserKeyRights, ERROR_SUCCESS},
        {kMorrowKey, kUserKeyRights & ~KEY_CREATE_SUB_KEY, ERROR_SUCCESS},
        {kMorrowKey, KEY_CREATE_SUB_KEY, ERROR_ACCESS_DENIED},  // nobody makes a debug key but an administrator
        {L"Software\\Orvel\\Morrow\\site", kUserKeyRights, ERROR_SUCCESS},
        {L"Software\\Orvel\\Solvane\\PowerSettings", WRITE_DAC, ERROR_ACCESS_DENIED},
        {kEcoSavePlanKey, WRITE_DAC, ERROR_ACCESS_DENIED},
        {L"Software\\Orvel\\Solvane\\EFEnv", WRITE_DAC, ERROR_ACCESS_DENIED},
        {L"Software\\Orvel\\Solvane\\EFEnv", WRITE_OWNER, ERROR_ACCESS_DENIED},
        {L"Software\\Orvel\\Solvane\\SupportMonitor", WRITE_DAC, ERROR_ACCESS_DENIED},
        {L"Software\\Orvel\\Solvane\\AttachedMonitor", WRITE_DAC, ERROR_ACCESS_DENIED},
        {kMorrowKey, WRITE_DAC, ERROR_ACCESS_DENIED},
        // The machine settings and the library's debug and trace keys stay read-only.
        {L"Software\\Orvel\\Solvane", KEY_QUERY_VALUE, ERROR_SUCCESS},
        {L"Software\\Orvel\\Solvane", KEY_SET_VALUE, ERROR_ACCESS_DENIED},
        {kTarvikDebugKey, KEY_QUERY_VALUE, ERROR_SUCCESS},
        {kTarvikDebugKey, KEY_SET_VALUE, ERROR_ACCESS_DENIED},
        {kMorrowTraceKey, KEY_QUERY_VALUE, ERROR_SUCCESS},
        {kMorrowTraceKey, KEY_SET_VALUE, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, OpenAsUser(c.path, c.access)) << c.path << " access " << std::hex << c.access;
    }
    // The administrator still may.
    common::UniqueRegKey key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOrvelKey, 0, WRITE_DAC, key.Put()));
}

TEST_F(StandardUserTest, ProgramWritesAndReadsPlanAndPeakCutValues) {
    StandardUser user;
    ASSERT_TRUE(user.Active());
    ASSERT_TRUE(plans::SetLedNo(kEcoSave, 2));
    plans::PlanRecord record{};
    record.guid = kEcoSave;
    plans::ReadPlanRecord(&record);
    EXPECT_TRUE(IsEqualGUID(kEcoSave, record.guid)) << "the plan's record could not be read";
    EXPECT_EQ(2, record.nLedNo);
    ASSERT_TRUE(plans::SetLedNo(kEcoSave, 1));

    EXPECT_EQ(ERROR_SUCCESS, plans::WritePeakCutLevel(2));
    SYSTEMTIME when{};
    GetLocalTime(&when);
    ASSERT_EQ(ERROR_SUCCESS, plans::WritePeakCutOrigin(kEcoSave, when));
    GUID origin = {};
    SYSTEMTIME read{};
    ASSERT_EQ(ERROR_SUCCESS, plans::ReadPeakCutOrigin(&origin, &read));
    EXPECT_TRUE(IsEqualGUID(kEcoSave, origin));
    EXPECT_EQ(0, memcmp(&when, &read, sizeof(when)));
}

// The link library's exports, bound by name as the program binds them.
class Library {
public:
    Library() : m_module(LoadLibraryW((std::wstring(kInstallDir) + L"Tarvik.dll").c_str())) {}
    bool Loaded() const { return m_module.Valid(); }
    template <typename Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module.Get(), name)));
    }

private:
    common::UniqueModule m_module;
};

TEST_F(StandardUserTest, LibraryWritesAndReadsItsSettings) {
    Library library;  // loaded by the administrator's thread, used by the user's
    ASSERT_TRUE(library.Loaded());
    struct EnableBit {
        const char* setter;
        const char* getter;
    };
    const EnableBit bits[] = {
        {"TarvikSetPlanChangeEnable", "TarvikGetPlanChangeEnable"},
        {"TarvikSetTimePeriodEnable", "TarvikGetTimePeriodEnable"},
        {"TarvikSetTarvikEnable", "TarvikGetTarvikEnable"},
    };
    StandardUser user;
    ASSERT_TRUE(user.Active());
    for (const EnableBit& bit : bits) {
        auto set = library.Get<PFN_TarvikSetEnable>(bit.setter);
        auto get = library.Get<PFN_TarvikGetEnable>(bit.getter);
        ASSERT_TRUE(set != nullptr && get != nullptr) << bit.setter;
        for (BOOL wanted : {TRUE, FALSE, TRUE}) {
            EXPECT_TRUE(set(wanted)) << bit.setter << " " << wanted;
            BOOL on = !wanted;
            EXPECT_TRUE(get(&on)) << bit.getter;
            EXPECT_EQ(wanted, on) << bit.getter;
        }
    }
    auto setThreshold = library.Get<PFN_TarvikSetDword>("TarvikSetThreshold");
    auto getThreshold = library.Get<PFN_TarvikGetThreshold>("TarvikGetThreshold");
    ASSERT_TRUE(setThreshold != nullptr && getThreshold != nullptr);
    EXPECT_TRUE(setThreshold(87));
    DWORD threshold = 0;
    EXPECT_TRUE(getThreshold(&threshold));
    EXPECT_EQ(87u, threshold);

    auto setLv1 = library.Get<PFN_TarvikSetRecord>("TarvikSetLv1Time");
    auto getLv1 = library.Get<PFN_TarvikGetRecord>("TarvikGetLv1Time");
    ASSERT_TRUE(setLv1 != nullptr && getLv1 != nullptr);
    OneData window{};
    window.value = 1;
    window.start.wYear = window.end.wYear = 2024;
    window.start.wMonth = window.end.wMonth = 7;
    window.start.wDay = window.end.wDay = 1;
    window.start.wHour = 13;
    window.end.wHour = 16;
    EXPECT_TRUE(setLv1(&window));
    OneData today{};
    EXPECT_TRUE(getLv1(&today));
    EXPECT_EQ(13, today.start.wHour);
    EXPECT_EQ(16, today.end.wHour);

    auto setRegion = library.Get<PFN_TarvikSetDword>("TarvikSetSelectedRegion");
    auto getRegion = library.Get<PFN_TarvikGetDword>("TarvikGetSelectedRegion");
    auto setAgreement = library.Get<PFN_TarvikGetBool>("TarvikSetAgreement");
    auto getAgreement = library.Get<PFN_TarvikGetBool>("TarvikGetAgreement");
    auto getDebug = library.Get<PFN_TarvikGetBool>("TarvikGetDebugMode");
    ASSERT_TRUE(setRegion != nullptr && getRegion != nullptr && setAgreement != nullptr && getAgreement != nullptr &&
                getDebug != nullptr);
    EXPECT_TRUE(setRegion(6));
    EXPECT_EQ(6u, getRegion());
    EXPECT_TRUE(setAgreement());
    EXPECT_TRUE(getAgreement());
    EXPECT_FALSE(getDebug()) << "the debug key is readable and off";
}

}  // namespace
