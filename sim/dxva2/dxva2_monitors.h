// The simulated physical monitors behind dxva2.dll: their registry configuration, the displays
// they hang on and the process's open physical-monitor handles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dxva2sim {

constexpr DWORD GENERIC_MONITOR = 0;  // the display's own monitor when no DDC/CI monitor is configured

struct MonitorConfig {
    DWORD number = GENERIC_MONITOR;  // 1-based; GENERIC_MONITOR for the non-DDC/CI monitor
    std::wstring description;
    std::string capabilities;        // ASCII capability string
    DWORD caps = 0;                  // MC_CAPS_*
    DWORD colorTemperatures = 0;     // MC_SUPPORTED_COLOR_TEMPERATURE_*
    DWORD capsError = 0;             // non-zero: GetMonitorCapabilities fails with it
    bool answersDdc = false;         // false: every DDC/CI request fails on the bus
};

// "Software\SimulatedPC\Dxva2\Monitor<n>".
std::wstring MonitorKey(DWORD number);
// Configured DDC/CI monitors, 0..MAX_MONITORS.
DWORD MonitorCount();
// Reads a monitor's configuration; false when number is not a present monitor.
bool LoadMonitor(DWORD number, MonitorConfig& config);

// The monitor numbers attached to a display; false when hMonitor is not a display of
// EnumDisplayMonitors.
bool MonitorsOfDisplay(HMONITOR hMonitor, std::vector<DWORD>& numbers);

// Physical-monitor handles of this process.
HANDLE OpenMonitorHandle(DWORD number);
bool LookupMonitorHandle(HANDLE handle, DWORD& number);
bool CloseMonitorHandle(HANDLE handle);
// "1", "2", "0" (generic) or "?" (unknown handle), for log lines.
std::wstring MonitorName(HANDLE handle);

}  // namespace dxva2sim
