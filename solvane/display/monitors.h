// External monitors over DDC/CI: the monitor records, the retried monitor calls, the capability
// string parser, the brightness conversions, the published monitor names and the access gate.
#pragma once

#include <windows.h>
#include <highlevelmonitorconfigurationapi.h>
#include <physicalmonitorenumerationapi.h>

#include <string>
#include <vector>

#include "plans/plan_record.h"
#include "plans/settings.h"

// Low-level monitor configuration, absent from the installed headers.
extern "C" {
#ifndef MC_MOMENTARY
typedef enum _MC_VCP_CODE_TYPE { MC_MOMENTARY, MC_SET_PARAMETER } MC_VCP_CODE_TYPE, *LPMC_VCP_CODE_TYPE;
#endif
BOOL WINAPI GetVCPFeatureAndVCPFeatureReply(HANDLE hMonitor, BYTE bVCPCode, LPMC_VCP_CODE_TYPE pvct,
                                            LPDWORD pdwCurrentValue, LPDWORD pdwMaximumValue);
BOOL WINAPI SetVCPFeature(HANDLE hMonitor, BYTE bVCPCode, DWORD dwNewValue);
BOOL WINAPI SaveCurrentSettings(HANDLE hMonitor);
BOOL WINAPI GetCapabilitiesStringLength(HANDLE hMonitor, LPDWORD pdwCapabilitiesStringLengthInCharacters);
BOOL WINAPI CapabilitiesRequestAndCapabilitiesReply(HANDLE hMonitor, LPSTR pszASCIICapabilitiesString,
                                                    DWORD dwCapabilitiesStringLengthInCharacters);
}

namespace display {

constexpr int kMaxMonitorRecords = 4;
constexpr size_t kModelChars = 33;
constexpr DWORD kCapsVcpBrightness = 0x1;
constexpr DWORD kCapsHighLevel = 0x2;
constexpr BYTE kVcpBrightness = 0x10;
constexpr DWORD kErrorMonitorNoLongerExists = 0xC026258D;
constexpr DWORD kErrorMccsVersionMismatch = 0xC02625DB;
constexpr DWORD kNoMonitorLevel = 0xF021;
constexpr DWORD kMonitorLevelNotManaged = 0xF022;

struct MonitorRecord {
    PHYSICAL_MONITOR physical;
    DWORD dwCapsBrightnessFlag;
    DWORD dwBrightnessMaxRate;
    DWORD dwCurrent;
    DWORD dwBrightnessMinRate;
    wchar_t szModel[kModelChars];
};

extern MonitorRecord g_monitors[kMaxMonitorRecords];
extern int g_iNumMonitor;

void SetRetrySettings(const plans::ExternalMonitorTiming& timing) noexcept;
const plans::ExternalMonitorTiming& RetrySettings() noexcept;

// Retried monitor calls: same arguments and result as the call they wrap.
BOOL RetryGetMonitorCapabilities(HANDLE monitor, LPDWORD caps, LPDWORD temperatures);
BOOL RetryGetMonitorBrightness(HANDLE monitor, LPDWORD minimum, LPDWORD current, LPDWORD maximum);
BOOL RetryGetVCPFeatureAndVCPFeatureReply(HANDLE monitor, BYTE code, LPMC_VCP_CODE_TYPE type, LPDWORD current,
                                          LPDWORD maximum);
BOOL RetrySetMonitorBrightness(HANDLE monitor, DWORD value);
BOOL RetrySetVCPFeature(HANDLE monitor, BYTE code, DWORD value);
BOOL RetrySaveCurrentMonitorSettings(HANDLE monitor);
BOOL RetrySaveCurrentSettings(HANDLE monitor);
BOOL RetryGetCapabilitiesStringLength(HANDLE monitor, LPDWORD length);
BOOL RetryCapabilitiesRequestAndCapabilitiesReply(HANDLE monitor, LPSTR text, DWORD length);
BOOL RetryGetNumberOfPhysicalMonitorsFromHMONITOR(HMONITOR monitor, LPDWORD count);
BOOL RetryGetPhysicalMonitorsFromHMONITOR(HMONITOR monitor, DWORD count, LPPHYSICAL_MONITOR monitors);

// Capability string: the "model(" text (at most 32 characters; false when there is none) and
// whether "vcp(" lists a code. Both stop at the end of the text, whatever it holds.
bool GetMonitorModelFromCapstr(const wchar_t* caps, wchar_t* model, size_t cchModel) noexcept;
bool CheckSupportVCPCode(const wchar_t* caps, BYTE code) noexcept;

// Percent of a monitor value and back (maximum 0 counts as 100).
DWORD ConvertBrightnessToPersent(DWORD value, DWORD maximum) noexcept;
DWORD ConvertPersentToBrightness(DWORD percent, DWORD maximum) noexcept;

BOOL GetBrightnessRate(MonitorRecord* record);
BOOL SetBrightnessRate(MonitorRecord* record, DWORD value);
int GetExternalMonitorBrightness();
BOOL SetExternalMonitorBrightness(DWORD percent);
bool GetExternalMonitorSupported() noexcept;

int CountSupportMonitors() noexcept;
bool IsMonitorAccessBlocked() noexcept;
int InitializeMonitorData();
// Destroys the physical-monitor handles of the records and empties them.
void ReleaseMonitorData() noexcept;
BOOL SetInfoExMonitor(DWORD level, DWORD enable);
// The monitor part of applying a plan: its monitor level, then the published information.
void ApplyPlanToMonitors(const plans::PlanRecord& activepsi);

// "AttachedMonitor": the models of the examined monitors.
class CRegAttachedMonitor {
public:
    CRegAttachedMonitor() noexcept = default;
    ~CRegAttachedMonitor() { Finalize(); }
    CRegAttachedMonitor(const CRegAttachedMonitor&) = delete;
    CRegAttachedMonitor& operator=(const CRegAttachedMonitor&) = delete;

    DWORD Initialize(bool load);
    void Finalize() noexcept;
    DWORD AddMonitorW(const wchar_t* model, bool* supported);
    bool GetMonitor(wchar_t* buffer, size_t cchBuffer, DWORD index) const noexcept;
    DWORD GetNumMonitor() const noexcept { return m_dwNumMonitors; }
    DWORD Clear();

private:
    DWORD m_dwNumMonitors = 0;
    std::vector<std::wstring> m_models;
};

}  // namespace display
