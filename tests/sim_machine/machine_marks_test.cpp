// Runs inside a freshly built simulated PC: the machine's marks in the registry must match the
// profile it was built from, and the paths handed to test programs must reach the binaries.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <string>

#include "common/handles.h"

namespace {

constexpr wchar_t MACHINE_KEY[] = L"Software\\SimulatedPC\\Machine";

// Expected values given on the command line as Name=Value (machine marks) and
// env:NAME=Value (variables the test's registration passes into the program's environment).
std::map<std::wstring, std::wstring>& Expected() {
    static std::map<std::wstring, std::wstring> values;
    return values;
}
std::map<std::wstring, std::wstring>& ExpectedEnvironment() {
    static std::map<std::wstring, std::wstring> values;
    return values;
}
constexpr wchar_t ENV_PREFIX[] = L"env:";

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
    if (n == 0 || n >= ARRAYSIZE(buffer)) {
        return L"";
    }
    return buffer;
}

// Reads one value of the machine key as text: REG_SZ as is, REG_DWORD in decimal.
bool ReadMark(const wchar_t* name, std::wstring& text) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, MACHINE_KEY, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return false;
    }
    BYTE data[512] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        memcpy(&value, data, sizeof(value));
        text = std::to_wstring(value);
        return true;
    }
    if (type == REG_SZ) {
        text = reinterpret_cast<const wchar_t*>(data);
        return true;
    }
    return false;
}

TEST(MachineMarks, MatchTheValuesTheTestExpects) {
    ASSERT_FALSE(Expected().empty()) << "give the expected marks as Name=Value arguments";
    for (const auto& [name, value] : Expected()) {
        std::wstring actual;
        ASSERT_TRUE(ReadMark(name.c_str(), actual)) << "missing mark " << testing::PrintToString(name);
        EXPECT_EQ(value, actual) << "mark " << testing::PrintToString(name);
    }
}

TEST(MachineMarks, MatchTheProfileVariablesOfTheEnvironment) {
    const struct {
        const wchar_t* variable;
        const wchar_t* mark;
    } pairs[] = {
        {L"SIM_PROFILE", L"Profile"},     {L"SIM_CHASSIS", L"Chassis"},
        {L"SIM_ECO_MODES", L"EcoModes"},  {L"SIM_MONITORS", L"Monitors"},
        {L"SIM_BATTERY", L"Battery"},     {L"SIM_LED", L"Led"},
        {L"SIM_CPU_DRIVER", L"CpuDriver"}, {L"SIM_PANEL", L"Panel"},
        {L"SIM_WIRELESS_GRAPHICS", L"WirelessGraphics"},
    };
    for (const auto& p : pairs) {
        std::wstring env = Env(p.variable);
        ASSERT_FALSE(env.empty()) << testing::PrintToString(std::wstring(p.variable)) << " not exported";
        std::wstring mark;
        ASSERT_TRUE(ReadMark(p.mark, mark)) << testing::PrintToString(std::wstring(p.mark));
        EXPECT_EQ(env, mark) << testing::PrintToString(std::wstring(p.mark));
    }
}

TEST(MachineEnvironment, VariablesOfTheRegistrationReachTheProgram) {
    for (const auto& [name, value] : ExpectedEnvironment()) {
        EXPECT_EQ(value, Env(name.c_str())) << testing::PrintToString(name);
    }
}

TEST(MachinePaths, SimBinAndProductBinAreWindowsPathsThatExist) {
    std::wstring simBin = Env(L"SIM_BIN");
    std::wstring productBin = Env(L"PRODUCT_BIN");
    ASSERT_GE(simBin.size(), 3u);
    ASSERT_GE(productBin.size(), 3u);
    EXPECT_EQ(0, _wcsnicmp(simBin.c_str(), L"Z:\\", 3)) << testing::PrintToString(simBin);
    EXPECT_EQ(std::wstring::npos, simBin.find(L'/'));
    EXPECT_EQ(0, _wcsnicmp(productBin.c_str(), L"Z:\\", 3)) << testing::PrintToString(productBin);
    std::wstring simctl = simBin + L"\\simctl.exe";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(simctl.c_str())) << testing::PrintToString(simctl);
    DWORD attributes = GetFileAttributesW(productBin.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(MachinePaths, PrefixIsAFreshCopyNotTheTemplate) {
    // The template carries a marker file that a copied machine must not keep.
    std::wstring prefix = Env(L"WINEPREFIX");
    ASSERT_FALSE(prefix.empty());
    for (wchar_t& c : prefix) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    std::wstring root = L"Z:" + prefix;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((root + L"\\system.reg").c_str()))
        << testing::PrintToString(root);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((root + L"\\.solvane-template").c_str()));
    EXPECT_NE(std::wstring::npos, prefix.find(L"\\sim-")) << testing::PrintToString(prefix);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const wchar_t* eq = wcschr(argv[i], L'=');
        if (eq == nullptr || eq == argv[i]) {
            fwprintf(stderr, L"unexpected argument %ls (want Name=Value)\n", argv[i]);
            return 2;
        }
        std::wstring name(argv[i], static_cast<size_t>(eq - argv[i]));
        if (name.rfind(ENV_PREFIX, 0) == 0) {
            ExpectedEnvironment()[name.substr(wcslen(ENV_PREFIX))] = eq + 1;
        } else {
            Expected()[name] = eq + 1;
        }
    }
    return RUN_ALL_TESTS();
}
