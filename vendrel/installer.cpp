#include "vendrel/installer.h"

#include <shellapi.h>
#include <strsafe.h>

#include "common/handles.h"
#include "common/log.h"
#include "vendrel/key_acl.h"
#include "vendrel/plan_file.h"
#include "vendrel/program.h"
#include "vendrel/steps.h"
#include "vendrel/tasks.h"

namespace vendrel {

namespace {
constexpr wchar_t kPlanFileSuffix[] = L".ini";
constexpr wchar_t kRegFixXmlSuffix[] = L".xml";
constexpr wchar_t kRunXmlSuffix[] = L".run.xml";
constexpr size_t kStartCommandChars = MAX_PATH * 2 + 3;  // quoted path in a multi-byte code page

bool Has(DWORD mask, DWORD step) noexcept { return (mask & step) != 0; }

void CreatePlans(const wchar_t* programPath, PowerPlanApi& power) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlans", L"Enter");
    wchar_t planFile[MAX_PATH] = {};
    if (FAILED(StringCchPrintfW(planFile, ARRAYSIZE(planFile), L"%s%s", programPath,
                                kPlanFileSuffix)) ||
        !FileExists(planFile)) {
        LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlans", L"Exit - Error! retval:%08x",
                  ERROR_FILE_NOT_FOUND);
        return;
    }
    const int created = CreatePlansFromFile(planFile, power);
    LOG_TRACE(TRACE_LEVEL_APP, L"CreatePlans", L"Exit retval:%08x", created);
}
}  // namespace

void RunInstallerSteps(DWORD mask, const TaskDelays& delays, const wchar_t* modulePath,
                       PowerPlanApi& power, const InstallerTimings& timings) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"RunInstallerSteps", L"Enter");
    if (Has(mask, STEP_CLOSE_PROGRAM)) {
        CloseRunningProgram();
    }
    wchar_t programPath[MAX_PATH] = {};
    char startCommand[kStartCommandChars] = {};
    bool pathFormed = false;
    if (Has(mask, STEP_FORM_PATH)) {
        const HRESULT hr = modulePath != nullptr
                               ? FormProgramPath(modulePath, programPath, ARRAYSIZE(programPath))
                               : FormOwnProgramPath(programPath, ARRAYSIZE(programPath));
        pathFormed = SUCCEEDED(hr);
        if (pathFormed) {
            FormStartCommand(programPath, startCommand, ARRAYSIZE(startCommand));
        }
    }
    bool programFound = false;
    if (Has(mask, STEP_CHECK_PROGRAM) && pathFormed) {
        programFound = FileExists(programPath);
    }
    if (Has(mask, STEP_CREATE_PLANS) && pathFormed) {
        CreatePlans(programPath, power);
    }
    if (Has(mask, STEP_DELETE_TASKS)) {
        DeleteTasks();
    }
    if (Has(mask, STEP_TASK_REGFIX) && pathFormed) {
        CreateTaskFromXml(programPath, kRegFixXmlSuffix, kTaskRegFix, timings.taskSettleMs);
    }
    if (Has(mask, STEP_TASK_RUN) && pathFormed) {
        CreateTaskFromXml(programPath, kRunXmlSuffix, kTaskRun, timings.taskSettleMs);
    }
    if (delays.present) {
        ChangeTaskDelays(delays);
    }
    if (Has(mask, STEP_FIX_KEY_RIGHTS)) {
        FixProgramKeyAcls();
    }
    if (Has(mask, STEP_START_PROGRAM) && programFound) {
        StartProgram(startCommand);
    }
    if (Has(mask, STEP_WAIT_AND_CLOSE)) {
        WaitAndCloseProgram(timings.startSettleMs, timings.findAttempts, timings.findPeriodMs);
    }
    if (Has(mask, STEP_REMOVE_LED_NO)) {
        RemoveLedNumbers(HKEY_LOCAL_MACHINE, kPlanSettingsKey);
    }
    LOG_TRACE(TRACE_LEVEL_APP, L"RunInstallerSteps", L"Exit");
}

int RunInstaller(const wchar_t* commandLine) noexcept {
    LOG_TRACE(TRACE_LEVEL_APP, L"RunInstaller", L"Enter");
    const DWORD mask = SelectStepMask(commandLine);
    TaskDelays delays;
    int argc = 0;
    common::UniqueLocal argvMemory;
    if (commandLine != nullptr) {
        wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
        argvMemory.Reset(argv);
        delays = FindTaskDelays(argc, argv);
    }
    SystemPowerPlanApi power;
    RunInstallerSteps(mask, delays, nullptr, power, kDefaultTimings);
    LOG_TRACE(TRACE_LEVEL_APP, L"RunInstaller", L"Exit retval:%08x", 0);
    return 0;
}

}  // namespace vendrel
