// simctl monitor commands: the simulated DDC/CI monitors of dxva2.dll (registry layout in
// sim/dxva2/dxva2_api.h) — list them, plug or unplug, script transient failures, read the log.
#include <windows.h>
#include <dbt.h>

#include <cerrno>
#include <cwchar>
#include <string>

#include "common/handles.h"
#include "sim/dxva2/dxva2_api.h"
#include "sim/simctl/simctl.h"
#include "sim/simlib/simlib.h"

namespace {

using dxva2sim::PIECE;

// The dxva2 functions whose calls can be scripted to fail.
constexpr const wchar_t* FUNCTIONS[] = {
    L"GetNumberOfPhysicalMonitorsFromHMONITOR", L"GetPhysicalMonitorsFromHMONITOR",
    L"GetMonitorCapabilities",                  L"GetMonitorBrightness",
    L"SetMonitorBrightness",                    L"SaveCurrentMonitorSettings",
    L"GetCapabilitiesStringLength",             L"CapabilitiesRequestAndCapabilitiesReply",
    L"GetVCPFeatureAndVCPFeatureReply",         L"SetVCPFeature",
    L"SaveCurrentSettings",
};

struct NamedError {
    const wchar_t* name;
    DWORD code;
};
constexpr NamedError ERROR_NAMES[] = {
    {L"I2C_ERROR_TRANSMITTING_DATA", dxva2sim::ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA},
    {L"DDCCI_INVALID_MESSAGE_COMMAND", dxva2sim::ERROR_GRAPHICS_DDCCI_INVALID_MESSAGE_COMMAND},
    {L"DDCCI_INVALID_DATA", dxva2sim::ERROR_GRAPHICS_DDCCI_INVALID_DATA},
    {L"DDCCI_VCP_NOT_SUPPORTED", dxva2sim::ERROR_GRAPHICS_DDCCI_VCP_NOT_SUPPORTED},
    {L"MONITOR_NO_LONGER_EXISTS", dxva2sim::ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS},
    {L"MCA_MCCS_VERSION_MISMATCH", dxva2sim::ERROR_GRAPHICS_MCA_MCCS_VERSION_MISMATCH},
    {L"NOT_APPLIED", 0},  // setters only: report success without changing the monitor
};
constexpr DWORD DEFAULT_ERROR = dxva2sim::ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA;
constexpr wchar_t ALWAYS[] = L"always";
// GUID_DEVINTERFACE_MONITOR.
const GUID MONITOR_INTERFACE = {0xE6F07B5F, 0xEE97, 0x4A90, {0xB0, 0x76, 0x33, 0xF5, 0x7B, 0xF4, 0xEA, 0xA7}};
constexpr UINT ANNOUNCE_TIMEOUT_MS = 20000;

std::wstring MonitorKey(DWORD n) { return simlib::PieceKey(PIECE, (L"Monitor" + std::to_wstring(n)).c_str()); }

const wchar_t* KnownFunction(const std::wstring& name) {
    for (const wchar_t* f : FUNCTIONS) {
        if (_wcsicmp(f, name.c_str()) == 0) {
            return f;
        }
    }
    return nullptr;
}

// A decimal or 0x-hexadecimal 32-bit number, or one of ERROR_NAMES (with or without
// "ERROR_GRAPHICS_").
bool ParseError(const std::wstring& text, DWORD& code) {
    std::wstring name = text;
    const std::wstring prefix = L"ERROR_GRAPHICS_";
    if (_wcsnicmp(name.c_str(), prefix.c_str(), prefix.size()) == 0) {
        name = name.substr(prefix.size());
    }
    for (const NamedError& e : ERROR_NAMES) {
        if (_wcsicmp(e.name, name.c_str()) == 0) {
            code = e.code;
            return true;
        }
    }
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long long value = wcstoull(text.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != L'\0' || value > 0xFFFFFFFFULL || text[0] == L'-') {
        return false;
    }
    code = static_cast<DWORD>(value);
    return true;
}

std::string ModelOf(const std::wstring& capabilities) {
    size_t at = capabilities.find(L"model(");
    if (at == std::wstring::npos) {
        return "";
    }
    at += 6;
    size_t close = capabilities.find(L')', at);
    std::string model;
    for (size_t i = at; i < capabilities.size() && i != close; ++i) {
        model += static_cast<char>(capabilities[i] & 0x7F);
    }
    return model;
}

void PrintMonitors() {
    DWORD count = simlib::DwordOr(simlib::PieceKey(PIECE), L"Monitors", 0);
    simctl::Out(L"  plugged in: %lu DDC/CI monitor(s)%ls\n", count,
                count == 0 ? L" (each display shows a generic monitor without DDC/CI)" : L"");
    for (DWORD n = 1; n <= dxva2sim::MAX_MONITORS; ++n) {
        std::wstring key = MonitorKey(n);
        std::wstring description, capabilities;
        if (simlib::ReadString(key, L"Description", description) != ERROR_SUCCESS) {
            continue;
        }
        simlib::ReadString(key, L"Capabilities", capabilities);
        DWORD capsError = simlib::DwordOr(key, L"CapsError", 0);
        simctl::Out(L"  monitor %lu%ls: %ls, model %hs, brightness min %lu current %lu max %lu, saved %lu, ", n,
                    n <= count ? L"" : L" (unplugged)", description.c_str(), ModelOf(capabilities).c_str(),
                    simlib::DwordOr(key, L"BrightnessMin", 0), simlib::DwordOr(key, L"BrightnessCurrent", 0),
                    simlib::DwordOr(key, L"BrightnessMax", 0), simlib::DwordOr(key, L"SavedBrightness", 0));
        if (capsError != 0) {
            simctl::Out(L"low-level only (capabilities fail with 0x%08lX)\n", capsError);
        } else {
            simctl::Out(L"caps 0x%08lX\n", simlib::DwordOr(key, L"Caps", 0));
        }
    }
    for (const wchar_t* f : FUNCTIONS) {
        std::wstring key = simlib::PieceKey(PIECE, L"Failures") + L"\\" + f;
        DWORD remaining = simlib::DwordOr(key, L"Count", 0);
        if (remaining == 0) {
            continue;
        }
        DWORD error = simlib::DwordOr(key, L"Error", 0);
        if (remaining == simlib::FAIL_FOREVER) {
            simctl::Out(L"  %ls: every call fails with 0x%08lX\n", f, error);
        } else {
            simctl::Out(L"  %ls: the next %lu call(s) fail with 0x%08lX\n", f, remaining, error);
        }
    }
    simctl::Out(L"  calls logged: %lu\n", simlib::DwordOr(simlib::PieceKey(PIECE), L"CallCount", 0));
}

int RunMonitors(const std::vector<std::wstring>& args) {
    if (!args.empty()) {
        return simctl::UsageError(L"monitors", L"monitors takes no arguments");
    }
    PrintMonitors();
    return 0;
}

int RunMonitorFail(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"monitor-fail";
    if (args.size() < 2 || args.size() > 3) {
        return simctl::UsageError(name, L"give a function, a count and optionally an error");
    }
    const wchar_t* function = KnownFunction(args[0]);
    if (function == nullptr) {
        std::wstring list;
        for (const wchar_t* f : FUNCTIONS) {
            list += L"\n  ";
            list += f;
        }
        simctl::Err(L"simctl monitor-fail: unknown function \"%ls\"; one of:%ls\n", args[0].c_str(), list.c_str());
        return 2;
    }
    DWORD count = 0;
    long long parsed = 0;
    if (_wcsicmp(args[1].c_str(), ALWAYS) == 0) {
        count = simlib::FAIL_FOREVER;
    } else if (simctl::ParseNumber(args[1], parsed) && parsed >= 0 && parsed < simlib::FAIL_FOREVER) {
        count = static_cast<DWORD>(parsed);
    } else {
        return simctl::UsageError(name, L"the count must be a whole number 0 or more, or \"always\"");
    }
    DWORD error = DEFAULT_ERROR;
    if (args.size() == 3 && !ParseError(args[2], error)) {
        return simctl::UsageError(name, L"the error must be a number (0xC0262582) or a name (I2C_ERROR_TRANSMITTING_DATA)");
    }
    LONG rc = simlib::ScriptFailure(PIECE, function, count, error);
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl monitor-fail: cannot write the script (error %ld)\n", rc);
        return 1;
    }
    if (count == 0) {
        simctl::Out(L"%ls: no failures scripted\n", function);
    } else if (count == simlib::FAIL_FOREVER) {
        simctl::Out(L"%ls: every call fails with 0x%08lX\n", function, error);
    } else {
        simctl::Out(L"%ls: the next %lu call(s) fail with 0x%08lX\n", function, count, error);
    }
    return 0;
}

// Windows announces a monitor's arrival or removal to the windows that registered for the monitor
// device interface; the program's main window is the one that matters here.
void AnnounceMonitorChange(bool arrival) {
    HWND window = FindWindowW(L"Solvane", nullptr);
    if (window == nullptr) {
        return;
    }
    DEV_BROADCAST_DEVICEINTERFACE_W broadcast{};
    broadcast.dbcc_size = sizeof(broadcast);
    broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast.dbcc_classguid = MONITOR_INTERFACE;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_DEVICECHANGE, arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                        reinterpret_cast<LPARAM>(&broadcast), SMTO_ABORTIFHUNG, ANNOUNCE_TIMEOUT_MS, &result);
    simctl::Out(L"monitor %ls announced to the Solvane window\n", arrival ? L"arrival" : L"removal");
}

int RunMonitorPlug(const std::vector<std::wstring>& args) {
    long long count = 0;
    if (args.size() != 1 || !simctl::ParseNumber(args[0], count) || count < 0 ||
        count > static_cast<long long>(dxva2sim::MAX_MONITORS)) {
        return simctl::UsageError(L"monitor-plug", L"give the number of plugged-in monitors, 0 to 2");
    }
    const DWORD before = simlib::DwordOr(simlib::PieceKey(PIECE), L"Monitors", 0);
    LONG rc = simlib::WriteDword(simlib::PieceKey(PIECE), L"Monitors", static_cast<DWORD>(count));
    if (rc != ERROR_SUCCESS) {
        simctl::Err(L"simctl monitor-plug: cannot write (error %ld)\n", rc);
        return 1;
    }
    simctl::Out(L"%lld DDC/CI monitor(s) plugged in\n", count);
    if (static_cast<DWORD>(count) != before) {
        AnnounceMonitorChange(static_cast<DWORD>(count) > before);
    }
    return 0;
}

// The other program of the monitor access gate: while it runs it holds the busy mutex, which
// keeps Solvane away from the monitors. "monitor-busy on" starts it, "off" ends it.
constexpr wchar_t BUSY_MUTEX[] = L"Global\\C85084B6-AD36-4c77-B502-DFB311422F1C";
constexpr wchar_t BUSY_STOP_EVENT[] = L"Global\\SimulatedPC-MonitorBusyStop";
constexpr wchar_t BUSY_RESIDENT[] = L"monitor-busy-resident";
constexpr DWORD BUSY_WAIT_MS = 10000;
constexpr DWORD BUSY_POLL_MS = 20;

bool BusyHeld() {
    common::UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, BUSY_MUTEX));
    return static_cast<bool>(mutex);
}

bool WaitBusy(bool held) {
    for (DWORD waited = 0; waited < BUSY_WAIT_MS; waited += BUSY_POLL_MS) {
        if (BusyHeld() == held) {
            return true;
        }
        Sleep(BUSY_POLL_MS);
    }
    return false;
}

int RunMonitorBusyResident(const std::vector<std::wstring>&) {
    common::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, BUSY_STOP_EVENT));
    common::UniqueHandle mutex(CreateMutexW(nullptr, TRUE, BUSY_MUTEX));
    if (!stop || !mutex) {
        return 1;
    }
    WaitForSingleObject(stop.Get(), INFINITE);
    ReleaseMutex(mutex.Get());
    return 0;
}

int RunMonitorBusy(const std::vector<std::wstring>& args) {
    const wchar_t* name = L"monitor-busy";
    if (args.size() != 1 || (args[0] != L"on" && args[0] != L"off")) {
        return simctl::UsageError(name, L"say on or off");
    }
    if (args[0] == L"off") {
        common::UniqueHandle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, BUSY_STOP_EVENT));
        if (stop) {
            SetEvent(stop.Get());
        }
        if (!WaitBusy(false)) {
            simctl::Err(L"simctl monitor-busy: the monitors are still held\n");
            return 1;
        }
        simctl::Out(L"the monitors are free\n");
        return 0;
    }
    if (BusyHeld()) {
        simctl::Out(L"the monitors are already held\n");
        return 0;
    }
    wchar_t self[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        simctl::Err(L"simctl monitor-busy: cannot find simctl.exe itself\n");
        return 1;
    }
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + BUSY_RESIDENT;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    // No inherited handles: the resident process must not keep the caller's output pipe open.
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                        &pi)) {
        simctl::Err(L"simctl monitor-busy: cannot start the holder (error %lu)\n", GetLastError());
        return 1;
    }
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle thread(pi.hThread);
    if (!WaitBusy(true)) {
        TerminateProcess(process.Get(), 1);
        simctl::Err(L"simctl monitor-busy: the holder did not take the mutex\n");
        return 1;
    }
    simctl::Out(L"the monitors are held by another program (process %lu)\n", pi.dwProcessId);
    return 0;
}

int RunMonitorLog(const std::vector<std::wstring>& args) {
    if (args.size() == 1 && args[0] == L"--clear") {
        simlib::ClearLog(PIECE);
        simctl::Out(L"the monitor call log is empty\n");
        return 0;
    }
    if (!args.empty()) {
        return simctl::UsageError(L"monitor-log", L"monitor-log takes only --clear");
    }
    for (const std::wstring& line : simlib::ReadLog(PIECE)) {
        simctl::Out(L"%ls\n", line.c_str());
    }
    return 0;
}

SIMCTL_COMMAND(L"monitors", L"monitors", L"list the DDC/CI monitors, their brightness and scripted failures",
               RunMonitors);
SIMCTL_COMMAND(L"monitor-fail", L"monitor-fail FUNCTION N|always [ERROR]",
               L"make the next N calls of a dxva2 function fail (default error I2C_ERROR_TRANSMITTING_DATA)",
               RunMonitorFail);
SIMCTL_COMMAND(L"monitor-plug", L"monitor-plug 0|1|2", L"set how many DDC/CI monitors are plugged in (announced to Solvane)",
               RunMonitorPlug);
SIMCTL_COMMAND(L"monitor-busy", L"monitor-busy on|off",
               L"hold (or free) the monitors as the other program of the access gate does", RunMonitorBusy);
SIMCTL_COMMAND(BUSY_RESIDENT, L"monitor-busy-resident", L"(started by monitor-busy on) holds the busy mutex",
               RunMonitorBusyResident);
SIMCTL_COMMAND(L"monitor-log", L"monitor-log [--clear]", L"print (or clear) the log of dxva2 calls", RunMonitorLog);
SIMCTL_STATUS(L"monitors", PrintMonitors);

}  // namespace
