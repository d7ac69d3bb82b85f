// simctl demand: sets the simulated electricity demand of a region (read by MorrowIF.DLL of the
// simulated PC from HKLM\Software\SimulatedPC\Morrow\Regions\<n>), and the "morrow" status
// section.
#include <strsafe.h>

#include "common/handles.h"
#include "sim/simctl/simctl.h"

namespace {

constexpr wchar_t kMorrowSimKey[] = L"Software\\SimulatedPC\\Morrow";
constexpr long long kMaxRegion = 10;
constexpr long long kMaxPercent = 1000;
constexpr DWORD kHours = 24;

bool RegionKeyPath(long long region, wchar_t* path, size_t cch) {
    return SUCCEEDED(StringCchPrintfW(path, cch, L"%s\\Regions\\%lld", kMorrowSimKey, region));
}

bool CurveIsValid(const std::wstring& curve) {
    DWORD numbers = 0;
    bool inNumber = false;
    for (wchar_t c : curve) {
        if (c >= L'0' && c <= L'9') {
            if (!inNumber) {
                ++numbers;
            }
            inNumber = true;
        } else if (c == L',') {
            if (!inNumber) {
                return false;
            }
            inNumber = false;
        } else {
            return false;
        }
    }
    return inNumber && numbers == kHours;
}

int RunDemand(const std::vector<std::wstring>& args) {
    constexpr wchar_t kName[] = L"demand";
    long long region = -1;
    long long percent = -1;
    long long supply = -1;
    std::wstring curve;
    bool clear = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == L"--region" && hasValue) {
            if (!simctl::ParseNumber(args[++i], region) || region < 1 || region > kMaxRegion) {
                return simctl::UsageError(kName, L"--region takes a region id 1..10");
            }
        } else if (a == L"--percent" && hasValue) {
            if (!simctl::ParseNumber(args[++i], percent) || percent < 0 || percent > kMaxPercent) {
                return simctl::UsageError(kName, L"--percent takes 0..1000");
            }
        } else if (a == L"--supply" && hasValue) {
            if (!simctl::ParseNumber(args[++i], supply) || supply < 0 || supply > static_cast<long long>(MAXDWORD)) {
                return simctl::UsageError(kName, L"--supply takes a whole amount");
            }
        } else if (a == L"--curve" && hasValue) {
            curve = args[++i];
            if (!CurveIsValid(curve)) {
                return simctl::UsageError(kName, L"--curve takes 24 comma-separated percents");
            }
        } else if (a == L"--clear") {
            clear = true;
        } else {
            return simctl::UsageError(kName, L"unknown argument");
        }
    }
    if (region < 0 || (percent < 0 && supply < 0 && curve.empty() && !clear) || (clear && percent >= 0)) {
        return simctl::UsageError(kName, L"give --region and --percent (or --supply, --curve, --clear)");
    }
    wchar_t path[MAX_PATH];
    if (!RegionKeyPath(region, path, MAX_PATH)) {
        return 1;
    }
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS) {
        simctl::Err(L"simctl: cannot open HKLM\\%ls\n", path);
        return 1;
    }
    LSTATUS status = ERROR_SUCCESS;
    if (percent >= 0) {
        const DWORD value = static_cast<DWORD>(percent);
        status = RegSetValueExW(key.Get(), L"Percent", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    if (clear) {
        const LSTATUS deleted = RegDeleteValueW(key.Get(), L"Percent");
        if (deleted != ERROR_FILE_NOT_FOUND) {
            status = deleted;
        }
    }
    if (status == ERROR_SUCCESS && supply >= 0) {
        const DWORD value = static_cast<DWORD>(supply);
        status = RegSetValueExW(key.Get(), L"PeakSupply", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    if (status == ERROR_SUCCESS && !curve.empty()) {
        status = RegSetValueExW(key.Get(), L"Curve", 0, REG_SZ, reinterpret_cast<const BYTE*>(curve.c_str()),
                                static_cast<DWORD>((curve.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) {
        simctl::Err(L"simctl: writing the demand failed (%ld)\n", static_cast<long>(status));
        return 1;
    }
    simctl::Out(L"region %lld demand updated\n", region);
    return 0;
}

bool QueryDword(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD type = 0;
    DWORD cb = sizeof(value);
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &cb) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

bool ProcessRuns(DWORD pid) {
    if (pid == 0) {
        return false;
    }
    common::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

void PrintMorrowStatus() {
    common::UniqueRegKey root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMorrowSimKey, 0, KEY_READ, root.Put()) != ERROR_SUCCESS) {
        simctl::Out(L"  data service: not configured\n");
        return;
    }
    DWORD pid = 0;
    QueryDword(root.Get(), L"ServicePid", pid);
    simctl::Out(L"  service: %ls (pid %lu)\n", ProcessRuns(pid) ? L"running" : L"stopped", pid);
    DWORD openSets = 0;
    QueryDword(root.Get(), L"OpenDataSets", openSets);
    simctl::Out(L"  open data sets: %lu\n", openSets);
    for (long long region = 1; region <= kMaxRegion; ++region) {
        wchar_t path[MAX_PATH];
        common::UniqueRegKey key;
        if (!RegionKeyPath(region, path, MAX_PATH) ||
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
            continue;
        }
        DWORD supply = 0;
        DWORD percent = 0;
        const bool hasSupply = QueryDword(key.Get(), L"PeakSupply", supply);
        const bool hasPercent = QueryDword(key.Get(), L"Percent", percent);
        wchar_t percentText[32] = L"curve";
        if (hasPercent) {
            StringCchPrintfW(percentText, ARRAYSIZE(percentText), L"%lu%%", percent);
        }
        simctl::Out(L"  region %lld: peak supply %lu, demand %ls\n", region, hasSupply ? supply : 5000000UL,
                    percentText);
    }
}

}  // namespace

SIMCTL_COMMAND(L"demand", L"demand --region N --percent P [--supply S] [--curve p0,..,p23] [--clear]",
               L"set a region's electricity demand (percent of peak supply)", RunDemand);
SIMCTL_STATUS(L"morrow", PrintMorrowStatus);
