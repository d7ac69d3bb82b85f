// The rebuild of the monitor records behind the wait dialog (551).
#pragma once

#include <windows.h>

namespace display {

constexpr UINT WM_APP_MONITOR_DATA_DONE = WM_USER + 330;  // wParam: InitializeMonitorData's result

// Shows the wait dialog while a worker thread rebuilds the monitor records; the rebuild's result.
int InitializeMonitorDataWithUI(HWND owner);

}  // namespace display
