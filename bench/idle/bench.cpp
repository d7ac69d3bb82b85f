// Starts the installed Solvane.exe and the baseline program, lets each settle, then measures
// their processor time (GetProcessTimes) over a quiet period and prints it as a share of one
// core, with Solvane's ratio to the baseline. Then runs the processor sampler and the battery
// poll thread in this process (after as long a period without them) and prints their share and
// wake-ups per minute.
//   idle_bench [seconds] [path of Solvane.exe] [path of startup_baseline.exe]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>

#include "battery/battery.h"
#include "common/handles.h"
#include "meter/panel_window.h"
#include "meter/speed_monitor.h"
#include "plans/settings.h"

namespace {

constexpr DWORD kDefaultSeconds = 60;
constexpr DWORD kSettleMs = 5000;
constexpr DWORD kCloseTimeoutMs = 20000;
constexpr double kTargetPercent = 0.1;
constexpr double kPanelTargetPercent = 0.3;
constexpr wchar_t kProgramKey[] = L"Software\\Orvel\\Solvane";
constexpr double kHundredNs = 1e7;

ULONGLONG ProcessorTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    const ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    const ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    return k.QuadPart + u.QuadPart;
}

BOOL CALLBACK CloseWindowsOf(HWND hwnd, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == static_cast<DWORD>(pid)) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Share of one core (percent) the program used over `seconds` after settling; < 0 on failure.
double IdleShare(const std::wstring& path, DWORD seconds) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fwprintf(stderr, L"cannot start %ls: %lu\n", path.c_str(), GetLastError());
        return -1.0;
    }
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle thread(pi.hThread);
    WaitForInputIdle(process.Get(), kCloseTimeoutMs);
    Sleep(kSettleMs);
    const ULONGLONG before = ProcessorTime(process.Get());
    const ULONGLONG start = GetTickCount64();
    Sleep(seconds * 1000);
    const ULONGLONG used = ProcessorTime(process.Get()) - before;
    const double elapsed = static_cast<double>(GetTickCount64() - start) / 1000.0;
    EnumWindows(CloseWindowsOf, static_cast<LPARAM>(pi.dwProcessId));
    if (WaitForSingleObject(process.Get(), kCloseTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
    }
    return 100.0 * (static_cast<double>(used) / kHundredNs) / elapsed;
}

// Share of one core (percent) this process used over `seconds` with the workers running.
double OwnShare(DWORD seconds) {
    const ULONGLONG before = ProcessorTime(GetCurrentProcess());
    const ULONGLONG start = GetTickCount64();
    Sleep(seconds * 1000);
    const ULONGLONG used = ProcessorTime(GetCurrentProcess()) - before;
    const double elapsed = static_cast<double>(GetTickCount64() - start) / 1000.0;
    return 100.0 * (static_cast<double>(used) / kHundredNs) / elapsed;
}

const wchar_t* Verdict(double share, double target = kTargetPercent) { return share <= target ? L"met" : L"missed"; }

// Share of one core (percent) this process used over `seconds` while its message loop runs.
double OwnShareWithMessages(DWORD seconds) {
    const ULONGLONG before = ProcessorTime(GetCurrentProcess());
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG end = start + seconds * 1000ULL;
    for (ULONGLONG now = start; now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    const ULONGLONG used = ProcessorTime(GetCurrentProcess()) - before;
    const double elapsed = static_cast<double>(GetTickCount64() - start) / 1000.0;
    return 100.0 * (static_cast<double>(used) / kHundredNs) / elapsed;
}

// A DWORD or binary value of the program's key put in place for a measurement and restored.
class TemporaryValue {
public:
    TemporaryValue(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD size) : m_root(root), m_name(name) {
        if (RegCreateKeyExW(root, kProgramKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, m_key.Put(),
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        m_size = sizeof(m_old);
        m_existed = RegQueryValueExW(m_key.Get(), name, nullptr, &m_type, m_old, &m_size) == ERROR_SUCCESS;
        m_set = RegSetValueExW(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }
    ~TemporaryValue() {
        if (!m_key) {
            return;
        }
        if (m_existed) {
            RegSetValueExW(m_key.Get(), m_name, 0, m_type, m_old, m_size);
        } else {
            RegDeleteValueW(m_key.Get(), m_name);
        }
    }
    bool Set() const { return m_set; }

private:
    HKEY m_root;
    const wchar_t* m_name;
    common::UniqueRegKey m_key;
    BYTE m_old[64] = {};
    DWORD m_size = 0;
    DWORD m_type = 0;
    bool m_existed = false;
    bool m_set = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const DWORD seconds = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : kDefaultSeconds;
    wchar_t folder[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    if (wchar_t* slash = wcsrchr(folder, L'\\')) {
        *slash = L'\0';
    }
    const std::wstring solvane = argc > 2 ? argv[2] : L"C:\\Program Files\\Solvane\\Solvane.exe";
    const std::wstring baseline = argc > 3 ? argv[3] : std::wstring(folder) + L"\\startup_baseline.exe";

    // 1. The resident program and the baseline program, measured from outside.
    const double base = IdleShare(baseline, seconds);
    const double program = IdleShare(solvane, seconds);
    if (base < 0.0 || program < 0.0) {
        return 1;
    }
    if (base == 0.0 && program == 0.0) {
        std::wprintf(L"idle %lu s: the system reports no processor time for other processes here; "
                     L"see the in-process figures below\n", seconds);
    } else {
        std::wprintf(L"idle %lu s: baseline %.4f %% of one core, Solvane %.4f %% (target <= %.1f %%: %ls), "
                     L"ratio %.2f\n",
                     seconds, base, program, kTargetPercent, Verdict(program), base > 0.0 ? program / base : 0.0);
    }

    // 1b. The resident program with its meter panel shown (the panel's animations sleep while
    //     nothing changes).
    {
        const DWORD meterOn = 1;
        plans::SettingsBlob blob{};
        blob.valid = 1;
        blob.left = 100;
        blob.top = 100;
        TemporaryValue meterValue(HKEY_LOCAL_MACHINE, L"Meter", REG_DWORD, &meterOn, sizeof(meterOn));
        TemporaryValue settingsValue(HKEY_CURRENT_USER, L"Settings", REG_BINARY, &blob, sizeof(blob));
        if (meterValue.Set() && settingsValue.Set()) {
            const double panel = IdleShare(solvane, seconds);
            if (panel >= 0.0 && !(base == 0.0 && panel == 0.0)) {
                std::wprintf(L"idle %lu s with the meter panel: Solvane %.4f %% of one core (target <= %.1f %%: %ls), "
                             L"ratio to the baseline %.2f, to the program without panel %.2f\n",
                             seconds, panel, kPanelTargetPercent, Verdict(panel, kPanelTargetPercent),
                             base > 0.0 ? panel / base : 0.0, program > 0.0 ? panel / program : 0.0);
            }
        } else {
            std::wprintf(L"idle with the meter panel: the meter could not be configured\n");
        }
    }

    // 2. The same workers in this process: an idle minute without them, then one with them.
    const double quiet = OwnShare(seconds);
    std::atomic<bool> run{true};
    meter::SpeedMonitorConfig config;
    config.runFlag = &run;
    meter::StartSpeedMonitor(config);
    battery::StartBatteryThread(&run);
    const double workers = OwnShare(seconds);
    run = false;
    meter::JoinSpeedMonitor();
    battery::JoinBatteryThread();
    const double minutes = seconds / 60.0;
    wchar_t ratio[32] = L"none (idle baseline 0)";
    if (quiet > 0.0) {
        swprintf(ratio, 32, L"%.2f", workers / quiet);
    }
    std::wprintf(L"in process %lu s: idle baseline %.4f %%, processor sampler and battery poll %.4f %% of one core "
                 L"(target <= %.1f %%: %ls), ratio %ls\n",
                 seconds, quiet, workers, kTargetPercent, Verdict(workers), ratio);
    std::wprintf(L"wake-ups per minute: processor sampler %.1f, easing %.1f, battery poll %.1f (%lu checks)\n",
                 meter::SamplerWakeups() / minutes, meter::EasingWakeups() / minutes,
                 battery::BatteryThreadWakeups() / minutes, battery::BatteryThreadPasses());

    // 3. The workers and the meter panel (shown, standard style) in this process, its message
    //    loop running.
    run = true;
    config.panelWindow = meter::MeterPanelWindow;
    meter::StartSpeedMonitor(config);
    battery::StartBatteryThread(&run);
    // The standard style (glow every 100 ms, idle swing every 5 s), then style A (neither).
    struct {
        const wchar_t* name;
        DWORD flags;
    } styles[] = {{L"standard style", plans::FLAG_METER}, {L"style A", plans::FLAG_METER | plans::FLAG_LAYOUT_ALT1}};
    for (const auto& style : styles) {
        plans::g_Settings.blob.dwFlagWord = style.flags;
        plans::g_Settings.blob.left = 100;
        plans::g_Settings.blob.top = 100;
        HWND panel = meter::CreateMeterPanel(GetModuleHandleW(nullptr), nullptr);
        if (panel == nullptr) {
            std::wprintf(L"in process with the meter panel: the panel could not be created\n");
            continue;
        }
        ShowWindow(panel, SW_SHOWNOACTIVATE);
        OwnShareWithMessages(kSettleMs / 1000);
        const double withPanel = OwnShareWithMessages(seconds);
        std::wprintf(L"in process %lu s with the meter panel, %ls: %.4f %% of one core (target <= %.1f %%: %ls), "
                     L"ratio to the workers alone %.2f\n",
                     seconds, style.name, withPanel, kPanelTargetPercent, Verdict(withPanel, kPanelTargetPercent),
                     workers > 0.0 ? withPanel / workers : 0.0);
        DestroyWindow(panel);
    }
    run = false;
    meter::JoinSpeedMonitor();
    battery::JoinBatteryThread();
    return 0;
}
