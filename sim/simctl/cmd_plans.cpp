// simctl plans / activate / cpu-mhz: the power plans of the simulated PC and its processor.
// Plans are read and activated through the machine's powrprof.dll (the stand-in, when the
// override powrprof=native,builtin is in place), so an activation from here reaches every
// running program exactly like a plan change made by another program on Windows.
#include <windows.h>
#include <powrprof.h>
#include <rpc.h>

#include "common/handles.h"
#include "sim/powrprof/store_layout.h"
#include "sim/simctl/simctl.h"

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr long long MHZ_MAX = 100000;
constexpr DWORD NAME_BYTES = 1024;

using PowerEnumerateFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, POWER_DATA_ACCESSOR, ULONG, UCHAR*, DWORD*);
using PowerReadFriendlyNameFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, PUCHAR, LPDWORD);
using PowerGetActiveSchemeFn = DWORD(WINAPI*)(HKEY, GUID**);
using PowerSetActiveSchemeFn = DWORD(WINAPI*)(HKEY, const GUID*);

struct Powrprof {
    common::UniqueModule module;
    PowerEnumerateFn enumerate = nullptr;
    PowerReadFriendlyNameFn readFriendlyName = nullptr;
    PowerGetActiveSchemeFn getActive = nullptr;
    PowerSetActiveSchemeFn setActive = nullptr;
};

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool LoadPowrprof(Powrprof& api) {
    api.module.Reset(LoadLibraryW(L"powrprof.dll"));
    if (!api.module) {
        simctl::Err(L"simctl: powrprof.dll cannot be loaded (error %lu)\n", GetLastError());
        return false;
    }
    HMODULE m = api.module.Get();
    api.enumerate = Bind<PowerEnumerateFn>(m, "PowerEnumerate");
    api.readFriendlyName = Bind<PowerReadFriendlyNameFn>(m, "PowerReadFriendlyName");
    api.getActive = Bind<PowerGetActiveSchemeFn>(m, "PowerGetActiveScheme");
    api.setActive = Bind<PowerSetActiveSchemeFn>(m, "PowerSetActiveScheme");
    if (!api.enumerate || !api.readFriendlyName || !api.getActive || !api.setActive) {
        simctl::Err(L"simctl: powrprof.dll lacks the plan functions\n");
        return false;
    }
    return true;
}

std::wstring GuidString(const GUID& guid) {
    RPC_WSTR text = nullptr;
    GUID copy = guid;  // UuidToStringW takes a non-const pointer
    if (UuidToStringW(&copy, &text) != RPC_S_OK) return L"?";
    std::wstring result(reinterpret_cast<wchar_t*>(text));
    RpcStringFreeW(&text);
    return result;
}

bool ParseGuidArg(const std::wstring& arg, GUID& guid) {
    std::wstring text = arg;
    if (text.size() == 38 && text.front() == L'{' && text.back() == L'}') text = text.substr(1, 36);
    if (text.size() != 36) return false;
    return UuidFromStringW(reinterpret_cast<RPC_WSTR>(text.data()), &guid) == RPC_S_OK;
}

std::wstring PlanName(const Powrprof& api, const GUID& plan) {
    BYTE buffer[NAME_BYTES] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (api.readFriendlyName(nullptr, &plan, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS) return L"";
    return reinterpret_cast<const wchar_t*>(buffer);
}

// The active plan; false (with the API's error in rc) when it cannot be read.
bool ActivePlan(const Powrprof& api, GUID& plan, DWORD& rc) {
    GUID* active = nullptr;
    rc = api.getActive(nullptr, &active);
    if (rc != ERROR_SUCCESS || active == nullptr) return false;
    common::UniqueLocal owner(active);
    plan = *active;
    return true;
}

int RunPlans(const std::vector<std::wstring>& args) {
    if (!args.empty()) return simctl::UsageError(L"plans", L"plans takes no arguments");
    Powrprof api;
    if (!LoadPowrprof(api)) return EXIT_REFUSED;
    GUID active{};
    DWORD rc = ERROR_SUCCESS;
    const bool haveActive = ActivePlan(api, active, rc);
    for (ULONG i = 0;; ++i) {
        GUID plan{};
        DWORD size = sizeof(plan);
        rc = api.enumerate(nullptr, nullptr, nullptr, ACCESS_SCHEME, i, reinterpret_cast<UCHAR*>(&plan), &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            simctl::Err(L"simctl: PowerEnumerate failed with error %lu\n", rc);
            return EXIT_REFUSED;
        }
        const bool isActive = haveActive && IsEqualGUID(plan, active);
        simctl::Out(L"%lc %ls  %ls\n", isActive ? L'*' : L' ', GuidString(plan).c_str(), PlanName(api, plan).c_str());
    }
    return 0;
}

int RunActivate(const std::vector<std::wstring>& args) {
    GUID plan{};
    if (args.size() != 1 || !ParseGuidArg(args[0], plan)) {
        return simctl::UsageError(L"activate", L"activate needs one plan GUID");
    }
    Powrprof api;
    if (!LoadPowrprof(api)) return EXIT_REFUSED;
    DWORD rc = api.setActive(nullptr, &plan);
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl: PowerSetActiveScheme refused %ls with error %lu\n", GuidString(plan).c_str(), rc);
        return EXIT_REFUSED;
    }
    simctl::Out(L"active plan: %ls  %ls\n", GuidString(plan).c_str(), PlanName(api, plan).c_str());
    return 0;
}

int RunCpuMhz(const std::vector<std::wstring>& args) {
    long long mhz = 0;
    if (args.size() != 1 || !simctl::ParseNumber(args[0], mhz) || mhz < 1 || mhz > MHZ_MAX) {
        return simctl::UsageError(L"cpu-mhz", L"cpu-mhz needs a frequency from 1 to 100000 MHz");
    }
    common::UniqueRegKey key;
    DWORD rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, simpower::PROCESSOR_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                               key.Put(), nullptr);
    DWORD value = static_cast<DWORD>(mhz);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExW(key.Get(), simpower::VALUE_CURRENT_MHZ, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl: the processor frequency cannot be written (error %lu)\n", rc);
        return EXIT_REFUSED;
    }
    simctl::Out(L"current processor frequency: %lu MHz\n", value);
    return 0;
}

DWORD RegDword(const wchar_t* path, const wchar_t* name, DWORD fallback) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
               ? value
               : fallback;
}

void PrintPlansStatus() {
    Powrprof api;
    GUID active{};
    DWORD rc = ERROR_SUCCESS;
    if (LoadPowrprof(api) && ActivePlan(api, active, rc)) {
        simctl::Out(L"active plan: %ls  %ls\n", GuidString(active).c_str(), PlanName(api, active).c_str());
    } else {
        simctl::Out(L"active plan: unknown (error %lu)\n", rc);
    }
    using namespace simpower;
    simctl::Out(L"suspend requests: %lu (last: hibernate %lu, force %lu, wake events disabled %lu)\n",
                RegDword(POWER_KEY, VALUE_SUSPEND_COUNT, 0), RegDword(POWER_KEY, VALUE_LAST_HIBERNATE, 0),
                RegDword(POWER_KEY, VALUE_LAST_FORCE, 0), RegDword(POWER_KEY, VALUE_LAST_NO_WAKE, 0));
    simctl::Out(L"processor: current %lu MHz, maximum %lu MHz, limit %lu MHz\n",
                RegDword(PROCESSOR_KEY, VALUE_CURRENT_MHZ, 0), RegDword(PROCESSOR_KEY, VALUE_MAX_MHZ, 0),
                RegDword(PROCESSOR_KEY, VALUE_MHZ_LIMIT, 0));
}

SIMCTL_COMMAND(L"plans", L"plans", L"list the power plans (* marks the active one)", RunPlans);
SIMCTL_COMMAND(L"activate", L"activate GUID", L"activate a plan as another program would", RunActivate);
SIMCTL_COMMAND(L"cpu-mhz", L"cpu-mhz N", L"set the simulated current processor frequency", RunCpuMhz);
SIMCTL_STATUS(L"plans", PrintPlansStatus);

}  // namespace
