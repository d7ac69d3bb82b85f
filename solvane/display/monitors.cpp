#include "common/registry.h"
#include "display/monitors.h"

#include <sddl.h>
#include <strsafe.h>

#include <algorithm>

#include "common/handles.h"
#include "common/log.h"
#include "display/display.h"
#include "plans/reg_values.h"
#include "resources/resource.h"

namespace display {

MonitorRecord g_monitors[kMaxMonitorRecords] = {};
int g_iNumMonitor = 0;

namespace {

constexpr wchar_t kSupportMonitorKey[] = L"Software\\Orvel\\Solvane\\SupportMonitor";
constexpr wchar_t kAttachedMonitorKey[] = L"Software\\Orvel\\Solvane\\AttachedMonitor";
constexpr wchar_t kGuardMutex[] = L"Global\\CC8B4E12-FA2A-4fd2-9212-2D601DA2AA54";
constexpr wchar_t kBusyMutex[] = L"Global\\C85084B6-AD36-4c77-B502-DFB311422F1C";
constexpr DWORD kGuardWaitMs = 1000;
constexpr wchar_t kUnknownModel[] = L"unknown";
constexpr DWORD kDefaultMaxRate = 100;
constexpr DWORD kPublishedEntries = 2;
constexpr DWORD kDebugLogMonitorBit = 0x1;
constexpr DWORD kMaxAttachedModels = 256;

plans::ExternalMonitorTiming g_timing;
CRegAttachedMonitor g_attached;

// The retry policy of the reading wrappers. `extraEnding` is a second error that ends the
// attempts at once (0: none).
template <typename Call>
BOOL Retry(UINT errorId, DWORD count, DWORD extraEnding, bool log, Call call) {
    DWORD i = 0;
    BOOL ok = FALSE;
    DWORD error = ERROR_SUCCESS;
    for (; i < count; ++i) {
        ok = call();
        if (ok) {
            break;
        }
        error = GetLastError();
        if (error == kErrorMonitorNoLongerExists || (extraEnding != 0 && error == extraEnding)) {
            break;
        }
        Sleep(g_timing.retryTime);
    }
    if (i > 0 && log) {
        WriteErrorLog(errorId, error, ERRLOG_FILE);
        WriteErrorLog(IDS_MONITOR_RETRY_COUNT, i, ERRLOG_FILE);
    }
    if (!ok) {
        SetLastError(error);
    }
    return ok;
}

// The verified setters: set, read back, repeat until the monitor holds the value.
template <typename Set, typename Get>
BOOL RetryVerified(UINT errorId, const wchar_t* setName, const wchar_t* getName, DWORD value, Set set, Get get) {
    DWORD i = 0;
    BOOL ok = FALSE;
    DWORD setError = ERROR_SUCCESS;
    for (; i < g_timing.retryCount; ++i) {
        ok = set();
        LOG_TRACE(TRACE_LEVEL_VALUES, setName, L"%s[%d] : bRet = %d, dwRate = %d", setName, i, ok, value);
        if (ok) {
            setError = ERROR_SUCCESS;
            Sleep(g_timing.retryTime);
            DWORD current = 0;
            const BOOL read = get(&current);
            LOG_TRACE(TRACE_LEVEL_VALUES, getName, L"%s[%d] : bErr = %d, dwRate = %d, dwCurrent = %d", getName, i,
                      read, value, current);
            if (read && current == value) {
                break;
            }
            continue;
        }
        setError = GetLastError();
        if (setError == kErrorMonitorNoLongerExists) {
            break;
        }
        Sleep(g_timing.retryTime);
    }
    if (i > 0) {
        WriteErrorLog(errorId, setError, ERRLOG_FILE);
        WriteErrorLog(IDS_MONITOR_RETRY_COUNT, i, ERRLOG_FILE);
    }
    return ok;
}

bool DebugLogFlagSet() noexcept {
    common::UniqueRegKey key;
    DWORD flags = 0;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, plans::kSolvaneKey, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
           common::QueryRegDword(key.Get(), L"DebugLogFlag", &flags) == ERROR_SUCCESS &&
           (flags & kDebugLogMonitorBit) != 0;
}

bool HighLevel(const MonitorRecord& r) noexcept { return (r.dwCapsBrightnessFlag & kCapsHighLevel) != 0; }
bool LowLevel(const MonitorRecord& r) noexcept { return (r.dwCapsBrightnessFlag & kCapsVcpBrightness) != 0; }

bool IsHexDigit(wchar_t c) noexcept {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}
int HexValue(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return c - L'A' + 10;
}

void ModelKeyPath(const wchar_t* model, wchar_t* path, size_t cchPath) noexcept {
    if (FAILED(StringCchPrintfW(path, cchPath, L"%s\\%s", kSupportMonitorKey, model))) {
        path[0] = L'\0';
    }
}

// Stores the range of a monitor model after a successful read, or takes the stored one.
void KeepModelRange(MonitorRecord* record, bool readOk) {
    wchar_t path[MAX_PATH] = {};
    ModelKeyPath(record->szModel, path, ARRAYSIZE(path));
    common::UniqueRegKey key;
    if (readOk) {
        if (path[0] != L'\0' &&
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS) {
            common::WriteRegDword(key.Get(), L"BrightnessMaxRate", record->dwBrightnessMaxRate);
            common::WriteRegDword(key.Get(), L"BrightnessMinRate", record->dwBrightnessMinRate);
            common::WriteRegDword(key.Get(), L"CapsBrightnessFlag", record->dwCapsBrightnessFlag);
        }
        return;
    }
    DWORD maximum = 0;
    DWORD minimum = 0;
    DWORD flags = 0;
    const bool stored = path[0] != L'\0' &&
                        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
                        common::QueryRegDword(key.Get(), L"BrightnessMaxRate", &maximum) == ERROR_SUCCESS &&
                        common::QueryRegDword(key.Get(), L"BrightnessMinRate", &minimum) == ERROR_SUCCESS &&
                        common::QueryRegDword(key.Get(), L"CapsBrightnessFlag", &flags) == ERROR_SUCCESS;
    if (stored) {
        // The path that answered when the model was last read, even if the capability query failed now.
        record->dwCapsBrightnessFlag = flags;
    }
    if (!stored || maximum == 0) {
        maximum = kDefaultMaxRate;
        minimum = 0;
    }
    record->dwBrightnessMaxRate = maximum;
    record->dwBrightnessMinRate = minimum;
    record->dwCurrent = 0;
}

void CheckMonitorByCaps(const PHYSICAL_MONITOR& physical, bool* kept) {
    constexpr wchar_t kName[] = L"CheckMonitorByCaps";
    *kept = false;
    HANDLE h = physical.hPhysicalMonitor;
    DWORD length = 0;
    if (!RetryGetCapabilitiesStringLength(h, &length) || length == 0) {
        return;
    }
    Sleep(g_timing.retryTime);
    std::vector<char> ascii(static_cast<size_t>(length) + 1, '\0');
    if (!RetryCapabilitiesRequestAndCapabilitiesReply(h, ascii.data(), length)) {
        return;
    }
    Sleep(g_timing.retryTime);
    ascii[length] = '\0';
    const int chars = MultiByteToWideChar(CP_UTF8, 0, ascii.data(), -1, nullptr, 0);
    if (chars <= 0) {
        return;
    }
    std::vector<wchar_t> caps(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, ascii.data(), -1, caps.data(), chars);
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"CapabilitiesString:%s", caps.data());
    wchar_t model[kModelChars] = {};
    const bool named = GetMonitorModelFromCapstr(caps.data(), model, ARRAYSIZE(model));
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"MonitorName:%s", model);
    bool supported = false;
    const DWORD added = g_attached.AddMonitorW(named ? model : nullptr, &supported);
    if (!named || added != ERROR_SUCCESS || !supported) {
        return;
    }
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"byVCPCode:%02x", kVcpBrightness);
    if (!CheckSupportVCPCode(caps.data(), kVcpBrightness) || g_iNumMonitor >= kMaxMonitorRecords) {
        return;
    }
    MonitorRecord& record = g_monitors[g_iNumMonitor];
    record = MonitorRecord{};
    record.physical = physical;
    record.dwCapsBrightnessFlag = kCapsVcpBrightness;
    StringCchCopyW(record.szModel, ARRAYSIZE(record.szModel), model);
    DWORD caps2 = 0;
    DWORD temperatures = 0;
    if (RetryGetMonitorCapabilities(h, &caps2, &temperatures) && (caps2 & MC_CAPS_BRIGHTNESS) != 0) {
        record.dwCapsBrightnessFlag |= kCapsHighLevel;
    }
    Sleep(g_timing.retryTime);
    KeepModelRange(&record, GetBrightnessRate(&record) != FALSE);
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"dwCapsBrightnessFlag: %d", record.dwCapsBrightnessFlag);
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"dwBrightnessMaxRate:  %d", record.dwBrightnessMaxRate);
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"dwBrightnessMinRate:  %d", record.dwBrightnessMinRate);
    ++g_iNumMonitor;
    *kept = true;
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"g_iNumMonitor:%d", g_iNumMonitor);
}

void CheckExternalMonitor(HMONITOR monitor) {
    DWORD count = 0;
    if (!RetryGetNumberOfPhysicalMonitorsFromHMONITOR(monitor, &count) || count == 0) {
        return;
    }
    std::vector<PHYSICAL_MONITOR> physical(count);
    if (!RetryGetPhysicalMonitorsFromHMONITOR(monitor, count, physical.data())) {
        return;
    }
    for (const PHYSICAL_MONITOR& one : physical) {
        bool kept = false;
        CheckMonitorByCaps(one, &kept);
        if (!kept) {
            DestroyPhysicalMonitor(one.hPhysicalMonitor);  // only the records keep handles
        }
    }
}

BOOL CALLBACK MyMonitorEnumProc(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    CheckExternalMonitor(monitor);
    return TRUE;
}

struct PublishedEntry {
    wchar_t name[kModelChars];
    DWORD level;
};

BOOL SetInfoRegExMonitor(const PublishedEntry (&entries)[kPublishedEntries]) {
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, plans::kPowerSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    constexpr const wchar_t* kNames[kPublishedEntries] = {L"MonitorName1", L"MonitorName2"};
    constexpr const wchar_t* kLevels[kPublishedEntries] = {L"MonitorBLevel1", L"MonitorBLevel2"};
    for (DWORD i = 0; i < kPublishedEntries; ++i) {
        RegSetValueExW(key.Get(), kNames[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(entries[i].name),
                       sizeof(entries[i].name));
        common::WriteRegDword(key.Get(), kLevels[i], entries[i].level);
    }
    return TRUE;
}

}  // namespace

void SetRetrySettings(const plans::ExternalMonitorTiming& timing) noexcept { g_timing = timing; }
const plans::ExternalMonitorTiming& RetrySettings() noexcept { return g_timing; }

BOOL RetryGetMonitorCapabilities(HANDLE monitor, LPDWORD caps, LPDWORD temperatures) {
    return Retry(IDS_ERR_MON_GETCAPS, g_timing.retryCount, kErrorMccsVersionMismatch, true,
                 [&] { return GetMonitorCapabilities(monitor, caps, temperatures); });
}
BOOL RetryGetMonitorBrightness(HANDLE monitor, LPDWORD minimum, LPDWORD current, LPDWORD maximum) {
    return Retry(IDS_ERR_MON_GETBRIGHTNESS, g_timing.retryCount, 0, true,
                 [&] { return GetMonitorBrightness(monitor, minimum, current, maximum); });
}
BOOL RetryGetVCPFeatureAndVCPFeatureReply(HANDLE monitor, BYTE code, LPMC_VCP_CODE_TYPE type, LPDWORD current,
                                          LPDWORD maximum) {
    return Retry(IDS_ERR_MON_GETVCP, g_timing.retryCount, 0, true,
                 [&] { return GetVCPFeatureAndVCPFeatureReply(monitor, code, type, current, maximum); });
}
BOOL RetrySaveCurrentMonitorSettings(HANDLE monitor) {
    return Retry(IDS_ERR_MON_SAVE, g_timing.retryCount, 0, true, [&] { return SaveCurrentMonitorSettings(monitor); });
}
BOOL RetrySaveCurrentSettings(HANDLE monitor) {
    return Retry(IDS_ERR_MON_SAVEVCP, g_timing.retryCount, 0, true, [&] { return SaveCurrentSettings(monitor); });
}
BOOL RetryGetCapabilitiesStringLength(HANDLE monitor, LPDWORD length) {
    return Retry(IDS_ERR_MON_CAPSLENGTH, g_timing.checkCount, 0, DebugLogFlagSet(),
                 [&] { return GetCapabilitiesStringLength(monitor, length); });
}
BOOL RetryCapabilitiesRequestAndCapabilitiesReply(HANDLE monitor, LPSTR text, DWORD length) {
    return Retry(IDS_ERR_MON_CAPSREQUEST, g_timing.retryCount, 0, true,
                 [&] { return CapabilitiesRequestAndCapabilitiesReply(monitor, text, length); });
}
BOOL RetryGetNumberOfPhysicalMonitorsFromHMONITOR(HMONITOR monitor, LPDWORD count) {
    return Retry(IDS_ERR_MON_NUMPHYSICAL, g_timing.retryCount, 0, true,
                 [&] { return GetNumberOfPhysicalMonitorsFromHMONITOR(monitor, count); });
}
BOOL RetryGetPhysicalMonitorsFromHMONITOR(HMONITOR monitor, DWORD count, LPPHYSICAL_MONITOR monitors) {
    return Retry(IDS_ERR_MON_PHYSICAL, g_timing.retryCount, 0, true,
                 [&] { return GetPhysicalMonitorsFromHMONITOR(monitor, count, monitors); });
}

BOOL RetrySetMonitorBrightness(HANDLE monitor, DWORD value) {
    return RetryVerified(
        IDS_ERR_MON_SETBRIGHTNESS, L"SetMonitorBrightness", L"GetMonitorBrightness", value,
        [&] { return SetMonitorBrightness(monitor, value); },
        [&](DWORD* current) {
            DWORD minimum = 0;
            DWORD maximum = 0;
            return GetMonitorBrightness(monitor, &minimum, current, &maximum);
        });
}

BOOL RetrySetVCPFeature(HANDLE monitor, BYTE code, DWORD value) {
    return RetryVerified(
        IDS_ERR_MON_SETVCP, L"SetVCPFeature", L"GetVCPFeatureAndVCPFeatureReply", value,
        [&] { return SetVCPFeature(monitor, code, value); },
        [&](DWORD* current) {
            DWORD maximum = 0;
            return GetVCPFeatureAndVCPFeatureReply(monitor, code, nullptr, current, &maximum);
        });
}

bool GetMonitorModelFromCapstr(const wchar_t* caps, wchar_t* model, size_t cchModel) noexcept {
    if (model == nullptr || cchModel == 0) {
        return false;
    }
    model[0] = L'\0';
    if (caps == nullptr) {
        return false;
    }
    const wchar_t* start = wcsstr(caps, L"model(");
    if (start == nullptr) {
        return false;
    }
    start += wcslen(L"model(");
    const wchar_t* end = wcschr(start, L')');
    if (end == nullptr) {
        return false;  // the field never closes: no name
    }
    const size_t length = std::min<size_t>(static_cast<size_t>(end - start), std::min<size_t>(32, cchModel - 1));
    wmemcpy(model, start, length);
    model[length] = L'\0';
    return length != 0;
}

bool CheckSupportVCPCode(const wchar_t* caps, BYTE code) noexcept {
    if (caps == nullptr) {
        return false;
    }
    const wchar_t* p = wcsstr(caps, L"vcp(");
    if (p == nullptr) {
        return false;
    }
    p += wcslen(L"vcp(");
    while (*p != L'\0') {
        if (!IsHexDigit(p[0]) || !IsHexDigit(p[1])) {
            return false;  // not a code where one belongs, or the text ends inside it
        }
        if (HexValue(p[0]) * 16 + HexValue(p[1]) == code) {
            return true;
        }
        p += 2;
        if (*p == L'(') {
            const wchar_t* close = wcschr(p, L')');
            if (close == nullptr) {
                return false;  // a value list that never closes
            }
            p = close + 1;
        }
        if (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n') {
            ++p;
        }
        if (*p == L')') {
            return false;
        }
    }
    return false;
}

DWORD ConvertBrightnessToPersent(DWORD value, DWORD maximum) noexcept {
    if (maximum == 0) {
        maximum = kDefaultMaxRate;
    }
    return (value * 1000 / maximum) / 10;
}

DWORD ConvertPersentToBrightness(DWORD percent, DWORD maximum) noexcept {
    if (maximum == 0) {
        maximum = kDefaultMaxRate;
    }
    const DWORD product = percent * maximum;
    return product / 100 + (product % 100 != 0 ? 1 : 0);
}

BOOL GetBrightnessRate(MonitorRecord* record) {
    HANDLE h = record->physical.hPhysicalMonitor;
    if (HighLevel(*record)) {
        return RetryGetMonitorBrightness(h, &record->dwBrightnessMinRate, &record->dwCurrent,
                                         &record->dwBrightnessMaxRate);
    }
    if (LowLevel(*record)) {
        record->dwBrightnessMinRate = 0;
        return RetryGetVCPFeatureAndVCPFeatureReply(h, kVcpBrightness, nullptr, &record->dwCurrent,
                                                    &record->dwBrightnessMaxRate);
    }
    return FALSE;
}

BOOL SetBrightnessRate(MonitorRecord* record, DWORD value) {
    HANDLE h = record->physical.hPhysicalMonitor;
    if (HighLevel(*record)) {
        if (!RetrySetMonitorBrightness(h, value)) {
            return FALSE;
        }
        Sleep(g_timing.retryTime);
        return RetrySaveCurrentMonitorSettings(h);
    }
    if (LowLevel(*record)) {
        if (!RetrySetVCPFeature(h, kVcpBrightness, value)) {
            return FALSE;
        }
        Sleep(g_timing.retryTime);
        return RetrySaveCurrentSettings(h);
    }
    return FALSE;
}

int GetExternalMonitorBrightness() {
    for (int i = 0; i < g_iNumMonitor; ++i) {
        if (GetBrightnessRate(&g_monitors[i])) {
            return static_cast<int>(
                ConvertBrightnessToPersent(g_monitors[i].dwCurrent, g_monitors[i].dwBrightnessMaxRate));
        }
        g_bExternalMonitorSupported = false;
    }
    return BC_NONE;
}

BOOL SetExternalMonitorBrightness(DWORD percent) {
    BOOL result = FALSE;
    for (int i = 0; i < g_iNumMonitor; ++i) {
        result = SetBrightnessRate(&g_monitors[i],
                                   ConvertPersentToBrightness(percent, g_monitors[i].dwBrightnessMaxRate));
        if (!result) {
            g_bExternalMonitorSupported = false;
        }
    }
    return result;
}

bool GetExternalMonitorSupported() noexcept { return g_iNumMonitor > 0; }

int CountSupportMonitors() noexcept {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSupportMonitorKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return static_cast<int>(subkeys);
}

bool IsMonitorAccessBlocked() noexcept {
    if (GetSystemMetrics(SM_REMOTESESSION) != 0) {
        return true;
    }
    SECURITY_DESCRIPTOR descriptor{};
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, TRUE};
    common::UniqueHandle guard(CreateMutexW(&attributes, FALSE, kGuardMutex));
    if (!guard) {
        return true;
    }
    const DWORD wait = WaitForSingleObject(guard.Get(), kGuardWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        return true;
    }
    common::UniqueHandle busy(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kBusyMutex));
    const bool blocked = static_cast<bool>(busy);
    ReleaseMutex(guard.Get());
    return blocked;
}

void ReleaseMonitorData() noexcept {
    for (int i = 0; i < g_iNumMonitor; ++i) {
        if (g_monitors[i].physical.hPhysicalMonitor != nullptr) {
            DestroyPhysicalMonitor(g_monitors[i].physical.hPhysicalMonitor);
        }
    }
    ZeroMemory(g_monitors, sizeof(g_monitors));
    g_iNumMonitor = 0;
}

int InitializeMonitorData() {
    constexpr wchar_t kName[] = L"InitializeMonitorData";
    LOG_TRACE(TRACE_LEVEL_APP, kName, L"Enter");
    ReleaseMonitorData();
    LOG_TRACE(TRACE_LEVEL_VALUES, kName, L"g_iNumMonitor:%d", g_iNumMonitor);
    int result = 0;
    if (CountSupportMonitors() > 0) {
        g_attached.Initialize(false);
        result = EnumDisplayMonitors(nullptr, nullptr, MyMonitorEnumProc, 0);
        g_attached.Finalize();
    }
    g_bExternalMonitorSupported = GetExternalMonitorSupported();
    LOG_TRACE(TRACE_LEVEL_APP, kName, L"Exit retval:%08x", result);
    return result;
}

BOOL SetInfoExMonitor(DWORD level, DWORD enable) {
    PublishedEntry entries[kPublishedEntries] = {{{}, kNoMonitorLevel}, {{}, kNoMonitorLevel}};
    DWORD next = 0;
    for (int i = 0; i < g_iNumMonitor && i < static_cast<int>(kPublishedEntries); ++i) {
        wchar_t path[MAX_PATH] = {};
        ModelKeyPath(g_monitors[i].szModel, path, ARRAYSIZE(path));
        common::UniqueRegKey key;
        wchar_t info[kModelChars] = {};
        if (path[0] == L'\0' ||
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS ||
            common::ReadRegString(key.Get(), L"MonitorInfo", info, ARRAYSIZE(info)) != ERROR_SUCCESS ||
            info[0] == L'\0') {
            continue;
        }
        StringCchCopyW(entries[next].name, ARRAYSIZE(entries[next].name), info);
        entries[next].level = enable != 0 ? level : kMonitorLevelNotManaged;
        ++next;
    }
    return SetInfoRegExMonitor(entries);
}

void ApplyPlanToMonitors(const plans::PlanRecord& activepsi) {
    if (activepsi.nBrightnessMonitorEnable != 0) {
        const INT32 index = activepsi.nBrightnessMonitor;
        if (index >= 0 && static_cast<DWORD>(index) < dwBLevel && static_cast<size_t>(index) < nsr_lcd_val.size()) {
            SetExternalMonitorBrightness(nsr_lcd_val[static_cast<size_t>(index)]);
        } else {
            LOG_TRACE(TRACE_LEVEL_VALUES, L"ChangeBrightness", L"BrightnessMonitor %d beyond the %u levels", index,
                      dwBLevel);
        }
    }
    SetInfoExMonitor(static_cast<DWORD>(activepsi.nBrightnessMonitor),
                     static_cast<DWORD>(activepsi.nBrightnessMonitorEnable));
}

// --- CRegAttachedMonitor -----------------------------------------------------------------------

DWORD CRegAttachedMonitor::Clear() {
    common::UniqueRegKey key;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAttachedMonitorKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                         key.Put());
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    for (;;) {
        wchar_t name[MAX_PATH] = {};
        DWORD cchName = ARRAYSIZE(name);
        if (RegEnumValueW(key.Get(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            RegDeleteValueW(key.Get(), name) != ERROR_SUCCESS) {
            break;
        }
    }
    return ERROR_SUCCESS;
}

DWORD CRegAttachedMonitor::Initialize(bool load) {
    if (!load) {
        Clear();
    }
    Finalize();
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAttachedMonitorKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    if (load) {
        DWORD count = 0;
        common::QueryRegDword(key.Get(), L"NumMonitors", &count);
        for (DWORD i = 1; i <= count && i <= kMaxAttachedModels; ++i) {
            wchar_t name[32] = {};
            wchar_t model[kModelChars] = {};
            StringCchPrintfW(name, ARRAYSIZE(name), L"MonitorModel%u", i);
            if (common::ReadRegString(key.Get(), name, model, ARRAYSIZE(model)) == ERROR_SUCCESS) {
                m_models.emplace_back(model);
            }
        }
        m_dwNumMonitors = static_cast<DWORD>(m_models.size());
    }
    return static_cast<DWORD>(common::WriteRegDword(key.Get(), L"NumMonitors", m_dwNumMonitors));
}

void CRegAttachedMonitor::Finalize() noexcept {
    m_models.clear();
    m_dwNumMonitors = 0;
}

DWORD CRegAttachedMonitor::AddMonitorW(const wchar_t* model, bool* supported) {
    *supported = false;
    const wchar_t* listed = model != nullptr ? model : kUnknownModel;
    m_models.emplace_back(listed);
    if (model != nullptr) {
        wchar_t path[MAX_PATH] = {};
        ModelKeyPath(model, path, ARRAYSIZE(path));
        common::UniqueRegKey modelKey;
        const LSTATUS created = path[0] == L'\0' ? ERROR_INVALID_NAME
                                                : RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr,
                                                                  REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE, nullptr,
                                                                  modelKey.Put(), nullptr);
        if (created != ERROR_SUCCESS) {
            return static_cast<DWORD>(created);
        }
        *supported = true;
    }
    common::UniqueRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAttachedMonitorKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    wchar_t name[32] = {};
    StringCchPrintfW(name, ARRAYSIZE(name), L"MonitorModel%u", m_dwNumMonitors + 1);
    status = common::WriteRegString(key.Get(), name, listed);
    if (status == ERROR_SUCCESS) {
        ++m_dwNumMonitors;
        LOG_TRACE(TRACE_LEVEL_VALUES, L"CRegAttachedMonitor::AddMonitorW", L"m_dwNumMonitors:%d", m_dwNumMonitors);
        status = common::WriteRegDword(key.Get(), L"NumMonitors", m_dwNumMonitors);
    }
    return static_cast<DWORD>(status);
}

bool CRegAttachedMonitor::GetMonitor(wchar_t* buffer, size_t cchBuffer, DWORD index) const noexcept {
    if (buffer == nullptr || index >= m_dwNumMonitors || index >= m_models.size()) {
        return false;
    }
    return SUCCEEDED(StringCchCopyW(buffer, cchBuffer, m_models[index].c_str()));
}

}  // namespace display
