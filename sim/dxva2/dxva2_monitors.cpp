// The simulated physical monitors: configuration from the registry, display mapping, handles.
#include "sim/dxva2/dxva2_monitors.h"

#include <map>

#include "sim/dxva2/dxva2_api.h"
#include "sim/simlib/simlib.h"

namespace dxva2sim {
namespace {

constexpr ULONG_PTR FIRST_HANDLE = 0x5D000;  // physical-monitor handles are plain numbers
constexpr ULONG_PTR HANDLE_STEP = 4;
constexpr wchar_t GENERIC_DESCRIPTION[] = L"Generic PnP Monitor";

SRWLOCK g_handleLock = SRWLOCK_INIT;
ULONG_PTR g_nextHandle = FIRST_HANDLE;

std::map<ULONG_PTR, DWORD>& HandleTable() {
    static std::map<ULONG_PTR, DWORD> table;
    return table;
}

class ExclusiveLock {
public:
    ExclusiveLock() { AcquireSRWLockExclusive(&g_handleLock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&g_handleLock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

BOOL CALLBACK CollectDisplay(HMONITOR hMonitor, HDC, LPRECT, LPARAM context) {
    reinterpret_cast<std::vector<HMONITOR>*>(context)->push_back(hMonitor);
    return TRUE;
}

}  // namespace

std::wstring MonitorKey(DWORD number) {
    return simlib::PieceKey(PIECE, (L"Monitor" + std::to_wstring(number)).c_str());
}

DWORD MonitorCount() {
    DWORD count = simlib::DwordOr(simlib::PieceKey(PIECE), L"Monitors", 0);
    return count > MAX_MONITORS ? MAX_MONITORS : count;
}

bool LoadMonitor(DWORD number, MonitorConfig& config) {
    config = MonitorConfig();
    if (number == GENERIC_MONITOR) {
        if (MonitorCount() != 0) {
            return false;
        }
        config.description = GENERIC_DESCRIPTION;
        return true;
    }
    if (number > MonitorCount()) {
        return false;
    }
    std::wstring key = MonitorKey(number);
    config.number = number;
    if (simlib::ReadString(key, L"Description", config.description) != ERROR_SUCCESS) {
        config.description = GENERIC_DESCRIPTION;
    }
    std::wstring capabilities;
    simlib::ReadString(key, L"Capabilities", capabilities);
    for (wchar_t c : capabilities) {
        config.capabilities += c < 0x80 ? static_cast<char>(c) : '?';  // the bus carries ASCII only
    }
    config.caps = simlib::DwordOr(key, L"Caps", 0);
    config.colorTemperatures = simlib::DwordOr(key, L"ColorTemperatures", 0);
    config.capsError = simlib::DwordOr(key, L"CapsError", 0);
    config.answersDdc = true;
    return true;
}

bool MonitorsOfDisplay(HMONITOR hMonitor, std::vector<DWORD>& numbers) {
    numbers.clear();
    std::vector<HMONITOR> displays;
    EnumDisplayMonitors(nullptr, nullptr, CollectDisplay, reinterpret_cast<LPARAM>(&displays));
    size_t index = 0;
    while (index < displays.size() && displays[index] != hMonitor) {
        ++index;
    }
    if (index == displays.size()) {
        return false;
    }
    DWORD count = MonitorCount();
    if (count == 0) {
        numbers.push_back(GENERIC_MONITOR);
        return true;
    }
    size_t last = displays.size() - 1;
    for (DWORD n = 1; n <= count; ++n) {
        size_t display = (n - 1) < last ? (n - 1) : last;
        if (display == index) {
            numbers.push_back(n);
        }
    }
    return true;
}

HANDLE OpenMonitorHandle(DWORD number) {
    ExclusiveLock lock;
    ULONG_PTR value = g_nextHandle;
    g_nextHandle += HANDLE_STEP;
    HandleTable()[value] = number;
    return reinterpret_cast<HANDLE>(value);
}

bool LookupMonitorHandle(HANDLE handle, DWORD& number) {
    ExclusiveLock lock;
    auto it = HandleTable().find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == HandleTable().end()) {
        return false;
    }
    number = it->second;
    return true;
}

bool CloseMonitorHandle(HANDLE handle) {
    ExclusiveLock lock;
    return HandleTable().erase(reinterpret_cast<ULONG_PTR>(handle)) == 1;
}

std::wstring MonitorName(HANDLE handle) {
    DWORD number = 0;
    return LookupMonitorHandle(handle, number) ? std::to_wstring(number) : L"?";
}

}  // namespace dxva2sim
