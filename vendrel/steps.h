// The steps of the installer helper and the switch that selects them.
#pragma once

#include <windows.h>

namespace vendrel {

constexpr DWORD STEP_CLOSE_PROGRAM = 0x0001;    // close a running main program
constexpr DWORD STEP_CHECK_PROGRAM = 0x0008;    // check that the main program's file exists
constexpr DWORD STEP_START_PROGRAM = 0x0010;    // start the main program (needs the file found)
constexpr DWORD STEP_FIX_KEY_RIGHTS = 0x0020;   // repair registry access rights
constexpr DWORD STEP_CREATE_PLANS = 0x0200;     // create power plans from the plan definition file
constexpr DWORD STEP_FORM_PATH = 0x0400;        // form the main program's path
constexpr DWORD STEP_WAIT_AND_CLOSE = 0x0800;   // wait for the main program, then close it
constexpr DWORD STEP_REMOVE_LED_NO = 0x1000;    // remove "LedNo" from every plan key
constexpr DWORD STEP_TASK_REGFIX = 0x2000;      // create the scheduled task "SolvaneRegFix"
constexpr DWORD STEP_DELETE_TASKS = 0x4000;     // delete both scheduled tasks
constexpr DWORD STEP_TASK_RUN = 0x8000;         // create the scheduled task "SolvaneRun"

constexpr DWORD MASK_COMMIT = 0xA6FB;
constexpr DWORD MASK_UNINSTALL = 0x5141;
constexpr DWORD MASK_STANDALONE = 0x0E3B;
constexpr DWORD MASK_UPDATE = 0x0021;
constexpr DWORD MASK_DEFAULT = 0x0020;

// The mask of the first switch found in the whole command line (case-sensitive), in the order
// "/Commit", "/Uninstall", "/StandAlone", "/Update"; no switch selects the access-rights repair.
DWORD SelectStepMask(const wchar_t* commandLine) noexcept;

}  // namespace vendrel
