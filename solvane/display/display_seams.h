// The display code's test seams, all of one shape: a function pointer that defaults to the real
// Windows call. Wine answers these from the host (the power source) or has no rows to give
// ("ROOT\WMI" WmiMonitorBrightness), so tests install their own answers here.
#pragma once

#include <windows.h>
#include <wbemidl.h>

namespace display {

using GetSystemPowerStatusFn = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS status);
extern GetSystemPowerStatusFn g_pfnGetSystemPowerStatus;

// Creates the WMI locator (CoCreateInstance of CLSID_WbemLocator by default).
using CreateWbemLocatorFn = HRESULT (*)(IWbemLocator** locator);
extern CreateWbemLocatorFn g_pfnCreateWbemLocator;

}  // namespace display
