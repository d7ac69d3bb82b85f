// String-table ids of the error-log records written by the settings and plan code.
#pragma once

#include <windows.h>

namespace plans {

constexpr UINT kErrActiveScheme = 2;          // reading the active scheme failed
constexpr UINT kErrPlanDescription = 3;       // a plan's description could not be read
constexpr UINT kErrCreatePlanLock = 4;        // "Mutexの作成に失敗。または既に実行されています"
constexpr UINT kErrSaveSettingsBlob = 12;     // writing HKCU "Settings"
constexpr UINT kErrSaveSettingsKey = 13;      // creating HKCU "Software\Orvel\Solvane"
constexpr UINT kErrSettingsSize = 16;         // "Settings" (or "Auto") of the wrong size
constexpr UINT kErrSettingsRead = 17;         // reading "Settings" or "Auto"
constexpr UINT kErrSettingsKeyOpen = 29;      // opening the program's key
constexpr UINT kErrPlanListLock = 48;         // the plan-list lock timed out (value = caller)
constexpr UINT kErrPlanList = 51;             // plan list memory or system actions
constexpr UINT kErrSaveProcessorFailed = 53;  // the plan's power values were not saved
constexpr UINT kErrReadProcessorPair = 54;
constexpr UINT kErrWriteProcessorPair = 55;
constexpr UINT kErrSaveColor = 59;            // writing "SaveColor"
constexpr UINT kErrReadSaveColor = 60;        // reading "SaveColor"
constexpr UINT kErrPlanKey = 69;              // per-plan extension key write
constexpr UINT kErrReadLowerLimit = 161;      // reading "LowerLimit"
constexpr UINT kErrWriteGuid = 163;           // "指定されたGUIDへ書き込みに失敗しました"
constexpr UINT kErrDimTimeoutAC = 297;
constexpr UINT kErrDimTimeoutDC = 298;

// Per-value messages of the extension value group.
constexpr UINT kErrExtIconNo = 509;
constexpr UINT kErrExtFlags = 511;
constexpr UINT kErrExtAlsbc = 524;
constexpr UINT kErrExtIndicator = 277;
constexpr UINT kErrExtLedNo = 278;
constexpr UINT kErrExtNpdCpu = 544;
constexpr UINT kErrExtSaveDisplay = 546;
constexpr UINT kErrExtMonitor = 272;
constexpr UINT kErrExtMonitorEnable = 273;

// Values of the factory snapshot ("DefaultSettings"), one message per value.
constexpr UINT kErrSnapName = 507;
constexpr UINT kErrSnapDescription = 508;
constexpr UINT kErrSnapIconNo = 509;
constexpr UINT kErrSnapFlags = 511;
constexpr UINT kErrSnapMonitorAC = 512;
constexpr UINT kErrSnapMonitorDC = 513;
constexpr UINT kErrSnapStandbyAC = 516;
constexpr UINT kErrSnapStandbyDC = 517;
constexpr UINT kErrSnapHibernateAC = 518;
constexpr UINT kErrSnapHibernateDC = 519;
constexpr UINT kErrSnapBrightnessAC = 520;
constexpr UINT kErrSnapBrightnessDC = 521;
constexpr UINT kErrSnapAlsbc = 524;
constexpr UINT kErrSnapDiskAC = 525;
constexpr UINT kErrSnapDiskDC = 526;
constexpr UINT kErrSnapMaxThrottleAC = 527;
constexpr UINT kErrSnapMinThrottleAC = 528;
constexpr UINT kErrSnapMaxThrottleDC = 529;
constexpr UINT kErrSnapMinThrottleDC = 530;
constexpr UINT kErrSnapVideoAC = 184;
constexpr UINT kErrSnapVideoDC = 185;
constexpr UINT kErrSnapWlanAC = 186;
constexpr UINT kErrSnapWlanDC = 187;
constexpr UINT kErrSnapDimTimeoutAC = 299;
constexpr UINT kErrSnapDimTimeoutDC = 300;
constexpr UINT kErrSnapDimBrightnessAC = 301;
constexpr UINT kErrSnapDimBrightnessDC = 302;

// Detail values of kErrPlanListLock naming the waiting caller.
constexpr DWORD kLockDetailListRefresh = 1;
constexpr DWORD kLockDetailCurrentPlan = 13;
constexpr DWORD kLockDetailEditorSave = 15;
constexpr DWORD kLockDetailModeSlots = 9;
constexpr DWORD kLockDetailAssignModes = 11;

}  // namespace plans
