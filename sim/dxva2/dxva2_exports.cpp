// dxva2.dll exports: physical-monitor enumeration and DDC/CI monitor configuration of the
// simulated monitors. Every call is logged; scripted failures come before the monitor answers.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/dxva2/dxva2_api.h"
#include "sim/dxva2/dxva2_monitors.h"
#include "sim/simlib/simlib.h"

using namespace dxva2sim;

namespace {

// Outcome of one call: the error it fails with (0 = success) and what the log line adds.
struct Outcome {
    DWORD error = ERROR_SUCCESS;
    std::wstring detail;
};

// Logs "<function>(<args>) = <result>[ error 0x...][ detail]", sets the last error, returns the BOOL.
BOOL Finish(const wchar_t* function, const std::wstring& args, const Outcome& outcome) {
    std::wstring line = std::wstring(function) + L"(" + args + L") = ";
    if (outcome.error == ERROR_SUCCESS) {
        line += L"1";
    } else {
        line += L"0 error " + simlib::Hex(outcome.error);
    }
    if (!outcome.detail.empty()) {
        line += L" " + outcome.detail;
    }
    simlib::AppendLog(PIECE, line);
    SetLastError(outcome.error);
    return outcome.error == ERROR_SUCCESS ? TRUE : FALSE;
}

// The checks every physical-monitor function makes first. Returns false with outcome.error set
// when the call must fail; scriptedNoEffect tells a setter to report success without acting.
bool Admit(const wchar_t* function, HANDLE handle, MonitorConfig& config, Outcome& outcome,
           bool* scriptedNoEffect = nullptr) {
    DWORD number = 0;
    if (!LookupMonitorHandle(handle, number)) {
        outcome.error = ERROR_GRAPHICS_INVALID_PHYSICAL_MONITOR_HANDLE;
        return false;
    }
    if (!LoadMonitor(number, config)) {
        outcome.error = ERROR_GRAPHICS_MONITOR_NO_LONGER_EXISTS;  // unplugged since it was opened
        return false;
    }
    DWORD scripted = 0;
    if (simlib::TakeScriptedFailure(PIECE, function, scripted)) {
        if (scripted == ERROR_SUCCESS && scriptedNoEffect != nullptr) {
            *scriptedNoEffect = true;
            outcome.detail = L"(not applied)";
            return false;
        }
        outcome.error = scripted == ERROR_SUCCESS ? ERROR_GEN_FAILURE : scripted;
        return false;
    }
    if (!config.answersDdc) {
        outcome.error = ERROR_GRAPHICS_I2C_ERROR_TRANSMITTING_DATA;
        return false;
    }
    return true;
}

// High-level functions need the monitor's MCCS support and the brightness capability.
DWORD HighLevelBrightnessError(const MonitorConfig& config) {
    if (config.capsError != 0) {
        return config.capsError;
    }
    return (config.caps & MC_CAPS_BRIGHTNESS) != 0 ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED;
}

struct Brightness {
    DWORD minimum;
    DWORD current;
    DWORD maximum;
};

Brightness ReadBrightness(DWORD number) {
    std::wstring key = MonitorKey(number);
    Brightness b{};
    b.minimum = simlib::DwordOr(key, L"BrightnessMin", 0);
    b.maximum = simlib::DwordOr(key, L"BrightnessMax", 100);
    b.current = simlib::DwordOr(key, L"BrightnessCurrent", b.maximum);
    return b;
}

// A VCP code other than brightness exists when "Vcp<XX>" is configured; its maximum is "Vcp<XX>Max".
std::wstring VcpValueName(BYTE code, bool maximum) {
    wchar_t name[16] = {};
    wsprintfW(name, maximum ? L"Vcp%02XMax" : L"Vcp%02X", code);
    return name;
}

std::wstring Hex2(BYTE code) {
    wchar_t text[8] = {};
    wsprintfW(text, L"0x%02X", code);
    return text;
}

}  // namespace

extern "C" {

BOOL WINAPI GetNumberOfPhysicalMonitorsFromHMONITOR(HMONITOR hMonitor, LPDWORD pdwNumberOfPhysicalMonitors) {
    const wchar_t* fn = L"GetNumberOfPhysicalMonitorsFromHMONITOR";
    Outcome outcome;
    std::vector<DWORD> numbers;
    DWORD scripted = 0;
    if (simlib::TakeScriptedFailure(PIECE, fn, scripted)) {
        outcome.error = scripted == ERROR_SUCCESS ? ERROR_GEN_FAILURE : scripted;
    } else if (pdwNumberOfPhysicalMonitors == nullptr) {
        outcome.error = ERROR_INVALID_PARAMETER;
    } else if (!MonitorsOfDisplay(hMonitor, numbers)) {
        outcome.error = ERROR_INVALID_HANDLE;
    } else {
        *pdwNumberOfPhysicalMonitors = static_cast<DWORD>(numbers.size());
        outcome.detail = L"count " + std::to_wstring(numbers.size());
    }
    return Finish(fn, L"display", outcome);
}

BOOL WINAPI GetPhysicalMonitorsFromHMONITOR(HMONITOR hMonitor, DWORD dwPhysicalMonitorArraySize,
                                            LPPHYSICAL_MONITOR pPhysicalMonitorArray) {
    const wchar_t* fn = L"GetPhysicalMonitorsFromHMONITOR";
    Outcome outcome;
    std::vector<DWORD> numbers;
    DWORD scripted = 0;
    if (simlib::TakeScriptedFailure(PIECE, fn, scripted)) {
        outcome.error = scripted == ERROR_SUCCESS ? ERROR_GEN_FAILURE : scripted;
    } else if (pPhysicalMonitorArray == nullptr || dwPhysicalMonitorArraySize == 0) {
        outcome.error = ERROR_INVALID_PARAMETER;
    } else if (!MonitorsOfDisplay(hMonitor, numbers)) {
        outcome.error = ERROR_INVALID_HANDLE;
    } else if (dwPhysicalMonitorArraySize < numbers.size()) {
        outcome.error = ERROR_INSUFFICIENT_BUFFER;  // nothing is handed out, nothing leaks
    } else {
        outcome.detail = L"monitors";
        for (size_t i = 0; i < numbers.size(); ++i) {
            MonitorConfig config;
            LoadMonitor(numbers[i], config);
            PHYSICAL_MONITOR& entry = pPhysicalMonitorArray[i];
            entry.hPhysicalMonitor = OpenMonitorHandle(numbers[i]);
            memset(entry.szPhysicalMonitorDescription, 0, sizeof(entry.szPhysicalMonitorDescription));
            lstrcpynW(entry.szPhysicalMonitorDescription, config.description.c_str(),
                      PHYSICAL_MONITOR_DESCRIPTION_SIZE);
            outcome.detail += L" " + std::to_wstring(numbers[i]);
        }
    }
    return Finish(fn, L"display, " + std::to_wstring(dwPhysicalMonitorArraySize), outcome);
}

BOOL WINAPI DestroyPhysicalMonitor(HANDLE hMonitor) {
    Outcome outcome;
    std::wstring name = MonitorName(hMonitor);
    if (!CloseMonitorHandle(hMonitor)) {
        outcome.error = ERROR_INVALID_HANDLE;
    }
    return Finish(L"DestroyPhysicalMonitor", name, outcome);
}

BOOL WINAPI DestroyPhysicalMonitors(DWORD dwPhysicalMonitorArraySize, LPPHYSICAL_MONITOR pPhysicalMonitorArray) {
    Outcome outcome;
    std::wstring args = std::to_wstring(dwPhysicalMonitorArraySize);
    if (pPhysicalMonitorArray == nullptr && dwPhysicalMonitorArraySize != 0) {
        outcome.error = ERROR_INVALID_PARAMETER;
    } else {
        // Every handle is closed even when one of them is unknown; that one makes the call fail.
        for (DWORD i = 0; i < dwPhysicalMonitorArraySize; ++i) {
            HANDLE h = pPhysicalMonitorArray[i].hPhysicalMonitor;
            args += L", " + MonitorName(h);
            if (!CloseMonitorHandle(h)) {
                outcome.error = ERROR_INVALID_HANDLE;
            }
        }
    }
    return Finish(L"DestroyPhysicalMonitors", args, outcome);
}

BOOL WINAPI GetMonitorCapabilities(HANDLE hMonitor, LPDWORD pdwMonitorCapabilities,
                                   LPDWORD pdwSupportedColorTemperatures) {
    const wchar_t* fn = L"GetMonitorCapabilities";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        if (pdwMonitorCapabilities == nullptr || pdwSupportedColorTemperatures == nullptr) {
            outcome.error = ERROR_INVALID_PARAMETER;
        } else if (config.capsError != 0) {
            outcome.error = config.capsError;
        } else {
            *pdwMonitorCapabilities = config.caps;
            *pdwSupportedColorTemperatures = config.colorTemperatures;
            outcome.detail = L"caps " + simlib::Hex(config.caps);
        }
    }
    return Finish(fn, MonitorName(hMonitor), outcome);
}

BOOL WINAPI GetMonitorBrightness(HANDLE hMonitor, LPDWORD pdwMinimumBrightness, LPDWORD pdwCurrentBrightness,
                                 LPDWORD pdwMaximumBrightness) {
    const wchar_t* fn = L"GetMonitorBrightness";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        if (pdwMinimumBrightness == nullptr || pdwCurrentBrightness == nullptr || pdwMaximumBrightness == nullptr) {
            outcome.error = ERROR_INVALID_PARAMETER;
        } else if ((outcome.error = HighLevelBrightnessError(config)) == ERROR_SUCCESS) {
            Brightness b = ReadBrightness(config.number);
            *pdwMinimumBrightness = b.minimum;
            *pdwCurrentBrightness = b.current;
            *pdwMaximumBrightness = b.maximum;
            outcome.detail = L"min " + std::to_wstring(b.minimum) + L" current " + std::to_wstring(b.current) +
                             L" max " + std::to_wstring(b.maximum);
        }
    }
    return Finish(fn, MonitorName(hMonitor), outcome);
}

BOOL WINAPI SetMonitorBrightness(HANDLE hMonitor, DWORD dwNewBrightness) {
    const wchar_t* fn = L"SetMonitorBrightness";
    Outcome outcome;
    MonitorConfig config;
    bool noEffect = false;
    if (Admit(fn, hMonitor, config, outcome, &noEffect)) {
        Brightness b = ReadBrightness(config.number);
        outcome.error = HighLevelBrightnessError(config);
        if (outcome.error != ERROR_SUCCESS) {
            // the monitor has no high-level brightness
        } else if (dwNewBrightness < b.minimum || dwNewBrightness > b.maximum) {
            outcome.error = ERROR_INVALID_PARAMETER;  // out of range: the monitor keeps its value
        } else {
            outcome.error = static_cast<DWORD>(
                simlib::WriteDword(MonitorKey(config.number), L"BrightnessCurrent", dwNewBrightness));
        }
    }
    return Finish(fn, MonitorName(hMonitor) + L", " + std::to_wstring(dwNewBrightness), outcome);
}

BOOL WINAPI SaveCurrentMonitorSettings(HANDLE hMonitor) {
    const wchar_t* fn = L"SaveCurrentMonitorSettings";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        if ((outcome.error = HighLevelBrightnessError(config)) == ERROR_SUCCESS) {
            DWORD current = ReadBrightness(config.number).current;
            outcome.error = static_cast<DWORD>(
                simlib::WriteDword(MonitorKey(config.number), L"SavedBrightness", current));
            outcome.detail = L"saved " + std::to_wstring(current);
        }
    }
    return Finish(fn, MonitorName(hMonitor), outcome);
}

BOOL WINAPI GetVCPFeatureAndVCPFeatureReply(HANDLE hMonitor, BYTE bVCPCode, LPMC_VCP_CODE_TYPE pvct,
                                            LPDWORD pdwCurrentValue, LPDWORD pdwMaximumValue) {
    const wchar_t* fn = L"GetVCPFeatureAndVCPFeatureReply";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        DWORD current = 0;
        DWORD maximum = 0;
        std::wstring key = MonitorKey(config.number);
        if (pdwCurrentValue == nullptr) {
            outcome.error = ERROR_INVALID_PARAMETER;
        } else if (bVCPCode == VCP_BRIGHTNESS) {
            Brightness b = ReadBrightness(config.number);
            current = b.current;
            maximum = b.maximum;
        } else if (simlib::ReadDword(key, VcpValueName(bVCPCode, false).c_str(), current) != ERROR_SUCCESS) {
            outcome.error = ERROR_GRAPHICS_DDCCI_VCP_NOT_SUPPORTED;
        } else {
            maximum = simlib::DwordOr(key, VcpValueName(bVCPCode, true).c_str(), 0xFFFF);
        }
        if (outcome.error == ERROR_SUCCESS) {
            *pdwCurrentValue = current;
            if (pdwMaximumValue != nullptr) {
                *pdwMaximumValue = maximum;
            }
            if (pvct != nullptr) {
                *pvct = MC_SET_PARAMETER;
            }
            outcome.detail = L"current " + std::to_wstring(current) + L" max " + std::to_wstring(maximum);
        }
    }
    return Finish(fn, MonitorName(hMonitor) + L", " + Hex2(bVCPCode), outcome);
}

BOOL WINAPI SetVCPFeature(HANDLE hMonitor, BYTE bVCPCode, DWORD dwNewValue) {
    const wchar_t* fn = L"SetVCPFeature";
    Outcome outcome;
    MonitorConfig config;
    bool noEffect = false;
    if (Admit(fn, hMonitor, config, outcome, &noEffect)) {
        std::wstring key = MonitorKey(config.number);
        DWORD existing = 0;
        if (bVCPCode == VCP_BRIGHTNESS) {
            if (dwNewValue > ReadBrightness(config.number).maximum) {
                outcome.error = ERROR_INVALID_PARAMETER;
            } else {
                outcome.error = static_cast<DWORD>(simlib::WriteDword(key, L"BrightnessCurrent", dwNewValue));
            }
        } else if (simlib::ReadDword(key, VcpValueName(bVCPCode, false).c_str(), existing) != ERROR_SUCCESS) {
            outcome.error = ERROR_GRAPHICS_DDCCI_VCP_NOT_SUPPORTED;
        } else if (dwNewValue > simlib::DwordOr(key, VcpValueName(bVCPCode, true).c_str(), 0xFFFF)) {
            outcome.error = ERROR_INVALID_PARAMETER;
        } else {
            outcome.error = static_cast<DWORD>(simlib::WriteDword(key, VcpValueName(bVCPCode, false).c_str(), dwNewValue));
        }
    }
    return Finish(fn, MonitorName(hMonitor) + L", " + Hex2(bVCPCode) + L", " + std::to_wstring(dwNewValue), outcome);
}

BOOL WINAPI SaveCurrentSettings(HANDLE hMonitor) {
    const wchar_t* fn = L"SaveCurrentSettings";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        DWORD current = ReadBrightness(config.number).current;
        outcome.error = static_cast<DWORD>(simlib::WriteDword(MonitorKey(config.number), L"SavedBrightness", current));
        outcome.detail = L"saved " + std::to_wstring(current);
    }
    return Finish(fn, MonitorName(hMonitor), outcome);
}

BOOL WINAPI GetCapabilitiesStringLength(HANDLE hMonitor, LPDWORD pdwCapabilitiesStringLengthInCharacters) {
    const wchar_t* fn = L"GetCapabilitiesStringLength";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        if (pdwCapabilitiesStringLengthInCharacters == nullptr) {
            outcome.error = ERROR_INVALID_PARAMETER;
        } else if (config.capabilities.empty()) {
            outcome.error = ERROR_GRAPHICS_DDCCI_INVALID_DATA;  // the monitor sends no capability string
        } else {
            DWORD length = static_cast<DWORD>(config.capabilities.size() + 1);  // with the terminating NUL
            *pdwCapabilitiesStringLengthInCharacters = length;
            outcome.detail = L"length " + std::to_wstring(length);
        }
    }
    return Finish(fn, MonitorName(hMonitor), outcome);
}

BOOL WINAPI CapabilitiesRequestAndCapabilitiesReply(HANDLE hMonitor, LPSTR pszASCIICapabilitiesString,
                                                    DWORD dwCapabilitiesStringLengthInCharacters) {
    const wchar_t* fn = L"CapabilitiesRequestAndCapabilitiesReply";
    Outcome outcome;
    MonitorConfig config;
    if (Admit(fn, hMonitor, config, outcome)) {
        if (pszASCIICapabilitiesString == nullptr || dwCapabilitiesStringLengthInCharacters == 0) {
            outcome.error = ERROR_INVALID_PARAMETER;
        } else if (config.capabilities.empty()) {
            outcome.error = ERROR_GRAPHICS_DDCCI_INVALID_DATA;
        } else if (dwCapabilitiesStringLengthInCharacters < config.capabilities.size() + 1) {
            outcome.error = ERROR_INSUFFICIENT_BUFFER;  // never a string without its terminator
        } else {
            memcpy(pszASCIICapabilitiesString, config.capabilities.c_str(), config.capabilities.size() + 1);
        }
    }
    return Finish(fn, MonitorName(hMonitor) + L", " + std::to_wstring(dwCapabilitiesStringLengthInCharacters),
                  outcome);
}

}  // extern "C"
