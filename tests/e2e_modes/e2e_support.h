// Helpers of the mode tests on a simulated PC: the plans, the devices, the resident program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/solvane_app/solvane_process.h"
#include "tests/solvane_app/test_support.h"
#include "tests/solvane_app/trace_file.h"
#include "tests/support/simctl_run.h"

namespace e2e {

extern const GUID kBalanced;
extern const GUID kPowerSaver;
extern const GUID kHighPerformance;
// The maker's plans the installation creates and binds to the modes.
extern const GUID kEcoSave;
extern const GUID kEcoBalance;
extern const GUID kEcoPerformance;

// Makes sure the plan exists (a copy of `source` under that GUID when it does not).
bool EnsurePlan(const GUID& plan, const GUID& source);

constexpr DWORD kWaitMs = 15000;

std::wstring GuidKeyText(const GUID& guid);     // lower case, no braces
std::wstring GuidBracedText(const GUID& guid);  // upper case, braces

GUID ActivePlan();
bool WaitActivePlan(const GUID& plan, DWORD timeoutMs);
bool Activate(const GUID& plan);

// Per-plan values under HKLM "Software\Orvel\Solvane\PowerSettings\<plan>".
void SetPlanValue(const GUID& plan, const wchar_t* name, DWORD value);
DWORD PlanValue(const GUID& plan, const wchar_t* name, DWORD fallback);
void DeletePlanKey(const GUID& plan);

// HKLM "Software\Orvel\Solvane" values.
void SetMachineDword(const wchar_t* name, DWORD value);
void SetMachineString(const wchar_t* name, const wchar_t* value);
void SetMachineMultiString(const wchar_t* name, const std::vector<std::wstring>& values);

struct DeviceState {
    DWORD ledState;      // 0-3 decoded from the read-back value
    DWORD ledNotifies;   // driver notifications received
    DWORD cpuState;      // last processor state set
    DWORD cpuSets;       // set requests accepted
    DWORD lcdAC;         // panel brightness on mains, percent
};
DeviceState Devices();
// Waits until the panel's brightness on mains is `percent`; false (with the last value seen in
// *last) when it did not get there within timeoutMs.
bool WaitPanelBrightness(DWORD percent, DWORD timeoutMs, DWORD* last);

// Runs a simctl command and returns its exit code; kSimctlNotRun (with the reason on stderr) when
// simctl could not be started or did not end, never a start error in place of an exit code.
inline constexpr DWORD kSimctlNotRun = testsupport::kSimctlNotRun;
DWORD RunSimctl(const std::wstring& arguments);

// The resident program with its trace log.
class Resident {
public:
    Resident();
    ~Resident();
    bool Start(const std::wstring& arguments = std::wstring());
    HWND Window() const { return m_hwnd; }
    DWORD Pid() const { return m_process.Pid(); }
    testsupport::SolvaneProcess& Process() { return m_process; }
    std::vector<testsupport::TraceLine> Lines() const { return m_trace->LinesOf(m_process.Pid()); }
    bool WaitTrace(const std::wstring& text, DWORD timeoutMs = kWaitMs) const {
        return m_trace->WaitFor(m_process.Pid(), text, timeoutMs);
    }
    // Index of each text in order (each after the previous one); -1 from the first missing.
    std::vector<int> FindInOrder(const std::vector<std::wstring>& texts) const;
    // Waits until FindInOrder finds every text; its last result.
    std::vector<int> WaitInOrder(const std::vector<std::wstring>& texts, DWORD timeoutMs = kWaitMs) const;
    void PostCommand(WORD id, LPARAM lParam = 0) const;
    // Ends the program with WM_CLOSE; false when it did not end.
    bool Close();
    const std::wstring& Folder() const { return m_folder.Path(); }
    testsupport::TraceFile& Trace() { return *m_trace; }

private:
    std::unique_ptr<testsupport::TraceFile> m_trace;
    testsupport::TempFolder m_folder;
    testsupport::SolvaneProcess m_process;
    HWND m_hwnd = nullptr;
};

}  // namespace e2e
