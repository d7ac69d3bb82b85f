// Soak run of the resident program on the simulated notebook: once a second a driver presses
// the ECO button, switches plans from the tray, toggles mains power, changes the battery level,
// plugs DDC/CI monitors and announces a restarted taskbar ("TaskbarCreated"), in turn. Private
// bytes, handles, GDI and USER objects (and windows) are printed at the start, after one minute
// and at the end. Exit 1 when between minute one and the end private bytes grew by more than
// 64 KB or any count grew, when the program's error log gained lines, or when the program died.
// Not part of ctest: run with bench/soak/run.sh [seconds] (default 600).
//   soak_bench [seconds] [allowed error-log text ...]
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "bench/footprint/process_view.h"
#include "bench/support/program.h"
#include "common/handles.h"

namespace {

constexpr DWORD kDefaultSeconds = 600;
constexpr DWORD kMinuteMs = 60000;
constexpr DWORD kTickMs = 1000;
constexpr DWORD kSettleMs = 5000;
constexpr DWORD kTimeoutMs = 20000;
constexpr DWORD kPollMs = 50;
constexpr SIZE_T kAllowedGrowthBytes = 64 * 1024;
constexpr UINT kEcoButtonMessage = 0x53C;
constexpr WORD kTrayCommands[] = {71, 72, 70};  // modes 2, 1, 3
constexpr int kBatteryLevels[] = {80, 55, 35, 60};
constexpr int kMonitorCounts[] = {1, 2, 0};
constexpr int kActions = 6;
// Error-log lines the simulated notebook calls for without any injected fault: its panel has no
// WMI brightness (Wine's ROOT\WMI returns no rows), so each brightness change records the WMI
// failure before the panel driver takes the value. Further texts may be allowed on the command
// line.
const wchar_t* const kExpectedErrorTexts[] = {L"fail : Set Value to Driver(0x0)"};

using benchprog::Folder;

HWND FindMainWindow(DWORD pid) {
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExW(nullptr, hwnd, L"Solvane", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid) {
            return hwnd;
        }
    }
    return nullptr;
}

// simctl.exe beside this program or in the build's folder of the simulated PC's tools.
std::wstring SimctlPath() {
    for (const wchar_t* relative : {L"simctl.exe", L"..\\simbin\\simctl.exe"}) {
        const std::wstring path = Folder() + relative;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return path;
        }
    }
    return std::wstring();
}

// Runs simctl with the arguments and waits for it; its exit code, or -1 when it did not run.
int Simctl(const std::wstring& arguments) {
    static const std::wstring path = SimctlPath();
    std::wstring commandLine = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi)) {
        return -1;
    }
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle thread(pi.hThread);
    if (WaitForSingleObject(process.Get(), kTimeoutMs) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

BOOL CALLBACK PostTaskbarCreated(HWND hwnd, LPARAM pid) {
    static const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == static_cast<DWORD>(pid)) {
        PostMessageW(hwnd, taskbarCreated, 0, 0);
    }
    return TRUE;
}

struct Driver {
    DWORD pid = 0;
    HWND main = nullptr;
    int tick = 0;
    int simctlFailures = 0;

    void Step() {
        const int round = tick / kActions;
        switch (tick % kActions) {
        case 0:
            PostMessageW(main, kEcoButtonMessage, 0, 0);
            break;
        case 1:
            PostMessageW(main, WM_COMMAND, MAKEWPARAM(kTrayCommands[round % ARRAYSIZE(kTrayCommands)], 0), 0);
            break;
        case 2:
            Run(round % 2 == 0 ? L"battery --ac off" : L"battery --ac on");
            break;
        case 3:
            Run(L"battery --percent " + std::to_wstring(kBatteryLevels[round % ARRAYSIZE(kBatteryLevels)]));
            break;
        case 4:
            Run(L"monitor-plug " + std::to_wstring(kMonitorCounts[round % ARRAYSIZE(kMonitorCounts)]));
            break;
        default:
            EnumWindows(PostTaskbarCreated, static_cast<LPARAM>(pid));
            break;
        }
        ++tick;
    }
    void Run(const std::wstring& arguments) {
        if (Simctl(arguments) != 0) {
            ++simctlFailures;
            std::fwprintf(stderr, L"simctl %ls failed\n", arguments.c_str());
        }
    }
};

void Print(const wchar_t* when, const benchview::Footprint& f) {
    std::wprintf(L"%-10ls private %8.0f KiB  handles %5lu  GDI %5ls  USER %5ls  windows %3lu  threads %3lu\n", when,
                 static_cast<double>(f.reportedPrivate) / 1024.0, static_cast<unsigned long>(f.handles),
                 f.guiCounted || f.gdiFromTable ? std::to_wstring(f.gdiObjects).c_str() : L"n/a",
                 f.guiCounted ? std::to_wstring(f.userObjects).c_str() : L"n/a",
                 static_cast<unsigned long>(f.windows), static_cast<unsigned long>(f.threads));
    std::fflush(stdout);
}

// The lines of the error log (UTF-16 with or without a byte-order mark).
std::vector<std::wstring> ReadLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    common::UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return lines;
    }
    std::wstring text;
    wchar_t buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read != 0) {
        text.append(buffer, read / sizeof(wchar_t));
    }
    if (!text.empty() && text[0] == 0xFEFF) {
        text.erase(0, 1);
    }
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != L'\r') {
            line.push_back(c);
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int seconds = argc > 1 ? _wtoi(argv[1]) : static_cast<int>(kDefaultSeconds);
    if (seconds < 61) {
        std::fwprintf(stderr, L"the soak needs more than one minute (seconds > 60)\n");
        return 2;
    }
    if (SimctlPath().empty()) {
        std::fwprintf(stderr, L"simctl.exe is missing beside this program and in ..\\simbin\n");
        return 2;
    }
    // The program writes ".\error.log" in its current folder: a folder of its own for this run.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring workFolder = std::wstring(temp) + L"solvane_soak";
    CreateDirectoryW(workFolder.c_str(), nullptr);
    const std::wstring errorLog = workFolder + L"\\error.log";
    DeleteFileW(errorLog.c_str());

    const std::wstring program = Folder() + L"Solvane.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workFolder.c_str(),
                        &si, &pi)) {
        std::fwprintf(stderr, L"cannot start %ls: %lu\n", program.c_str(), GetLastError());
        return 1;
    }
    common::UniqueHandle process(pi.hProcess);
    common::UniqueHandle mainThread(pi.hThread);
    Driver driver;
    driver.pid = pi.dwProcessId;
    for (DWORD waited = 0; driver.main == nullptr && waited < kTimeoutMs; waited += kPollMs) {
        Sleep(kPollMs);
        driver.main = FindMainWindow(driver.pid);
    }
    if (driver.main == nullptr) {
        std::fwprintf(stderr, L"no main window\n");
        TerminateProcess(process.Get(), 1);
        return 1;
    }
    Sleep(kSettleMs);
    benchview::Footprint start, minute, end;
    benchview::Measure(process.Get(), driver.pid, &start);
    std::wprintf(L"soak of %d s, one action a second\n", seconds);
    Print(L"start", start);

    const ULONGLONG began = GetTickCount64();
    bool minuteTaken = false;
    bool died = false;
    for (ULONGLONG now = began; now - began < static_cast<ULONGLONG>(seconds) * 1000; now = GetTickCount64()) {
        if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
            died = true;
            break;
        }
        if (!minuteTaken && now - began >= kMinuteMs) {
            benchview::Measure(process.Get(), driver.pid, &minute);
            Print(L"1 minute", minute);
            minuteTaken = true;
        }
        driver.Step();
        const ULONGLONG spent = GetTickCount64() - now;
        if (spent < kTickMs) {
            Sleep(static_cast<DWORD>(kTickMs - spent));
        }
    }
    // Let the last action's follow-ups (notification timer, brightness delay) finish.
    Sleep(kSettleMs);
    if (died || WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        std::wprintf(L"FAIL: the program ended during the soak (exit code %lu)\n", static_cast<unsigned long>(code));
        return 1;
    }
    benchview::Measure(process.Get(), driver.pid, &end);
    Print(L"end", end);
    std::wprintf(L"%d actions, %d simctl failures\n", driver.tick, driver.simctlFailures);

    PostMessageW(driver.main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), kTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
    }

    bool ok = true;
    const double growth = static_cast<double>(end.reportedPrivate) - static_cast<double>(minute.reportedPrivate);
    std::wprintf(L"growth from minute one to the end: private %+.0f KiB, handles %+ld, GDI %+ld, USER %+ld, "
                 L"windows %+ld\n",
                 growth / 1024.0, static_cast<long>(end.handles) - static_cast<long>(minute.handles),
                 static_cast<long>(end.gdiObjects) - static_cast<long>(minute.gdiObjects),
                 static_cast<long>(end.userObjects) - static_cast<long>(minute.userObjects),
                 static_cast<long>(end.windows) - static_cast<long>(minute.windows));
    if (growth > static_cast<double>(kAllowedGrowthBytes)) {
        std::wprintf(L"FAIL: private bytes grew by more than %zu KiB\n", kAllowedGrowthBytes / 1024);
        ok = false;
    }
    if (end.handles > minute.handles || end.gdiObjects > minute.gdiObjects || end.userObjects > minute.userObjects ||
        end.windows > minute.windows) {
        std::wprintf(L"FAIL: handles or objects grew\n");
        ok = false;
    }
    std::vector<std::wstring> allowed(std::begin(kExpectedErrorTexts), std::end(kExpectedErrorTexts));
    for (int i = 2; i < argc; ++i) {
        allowed.emplace_back(argv[i]);
    }
    size_t expected = 0;
    size_t unexpected = 0;
    for (const std::wstring& line : ReadLines(errorLog)) {
        bool known = false;
        for (const std::wstring& text : allowed) {
            known = known || line.find(text) != std::wstring::npos;
        }
        if (known) {
            ++expected;
        } else {
            ++unexpected;
            std::wprintf(L"error log: %ls\n", line.c_str());
        }
    }
    std::wprintf(L"error log: %zu expected lines (the simulated notebook calls for them)\n", expected);
    if (unexpected != 0) {
        std::wprintf(L"FAIL: %zu unexpected error-log lines (no fault was injected)\n", unexpected);
        ok = false;
    }
    if (driver.simctlFailures != 0) {
        std::wprintf(L"FAIL: the driver could not run every action\n");
        ok = false;
    }
    std::wprintf(ok ? L"soak passed\n" : L"soak failed\n");
    return ok ? 0 : 1;
}
