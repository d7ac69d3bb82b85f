// The exports of Tarvik.dll as its callers bind them (GetProcAddress by name).
// Records passed by pointer belong to the caller; the region table belongs to the library.
#pragma once

#include <windows.h>

#include "tarvik/one_data.h"
#include "tarvik/region_list.h"

using PFN_TarvikGetTimeExceedThreshold = BOOL(WINAPI*)(DWORD dwThreshold, OneData* lpOneData);
using PFN_TarvikCompareToThreshold = BOOL(WINAPI*)(DWORD dwThreshold, DWORD* lpExceed);
using PFN_TarvikGetRegionList = DWORD(WINAPI*)(RegionEntry** lpList);
using PFN_TarvikGetDword = DWORD(WINAPI*)();                 // GetSelectedRegion, GetPowerCompany,
                                                             // GetStartHour, GetEndHour, GetUtilization
using PFN_TarvikSetDword = BOOL(WINAPI*)(DWORD dwValue);     // SetSelectedRegion, SetPowerCompany,
                                                             // SetThreshold, SetEngineEnable
using PFN_TarvikGetBool = BOOL(WINAPI*)();                   // StartEngine, ShowDialog, GetAgreement,
                                                             // SetAgreement, GetDebugMode
using PFN_TarvikStopEngine = void(WINAPI*)();
using PFN_TarvikGetRecord = BOOL(WINAPI*)(OneData* lpOneData);        // GetUsePeriod, GetLv1Time, GetLv2Time
using PFN_TarvikSetRecord = BOOL(WINAPI*)(const OneData* lpOneData);  // SetUsePeriod, SetLv1Time, SetLv2Time
using PFN_TarvikGetThreshold = BOOL(WINAPI*)(DWORD* lpThreshold);     // GetThreshold, GetThresholdLv3
using PFN_TarvikGetEnable = BOOL(WINAPI*)(BOOL* lpOn);
using PFN_TarvikSetEnable = BOOL(WINAPI*)(BOOL bOn);
using PFN_TarvikGetSupportType = DWORD(WINAPI*)(DWORD dwRegion);

extern "C" {
BOOL WINAPI TarvikGetTimeExceedThreshold(DWORD dwThreshold, OneData* lpOneData);
BOOL WINAPI TarvikCompareToThreshold(DWORD dwThreshold, DWORD* lpExceed);
DWORD WINAPI TarvikGetRegionList(RegionEntry** lpList);
DWORD WINAPI TarvikGetSelectedRegion();
BOOL WINAPI TarvikSetSelectedRegion(DWORD dwRegion);
BOOL WINAPI TarvikStartEngine();
void WINAPI TarvikStopEngine();
BOOL WINAPI TarvikShowDialog();
BOOL WINAPI TarvikGetUsePeriod(OneData* lpOneData);
BOOL WINAPI TarvikSetUsePeriod(const OneData* lpOneData);
DWORD WINAPI TarvikGetPowerCompany();
BOOL WINAPI TarvikSetPowerCompany(DWORD dwRegion);
BOOL WINAPI TarvikGetLv1Time(OneData* lpOneData);
BOOL WINAPI TarvikSetLv1Time(const OneData* lpOneData);
BOOL WINAPI TarvikGetLv2Time(OneData* lpOneData);
BOOL WINAPI TarvikSetLv2Time(const OneData* lpOneData);
BOOL WINAPI TarvikGetThreshold(DWORD* lpThreshold);
BOOL WINAPI TarvikSetThreshold(DWORD dwThreshold);
BOOL WINAPI TarvikGetPlanChangeEnable(BOOL* lpOn);
BOOL WINAPI TarvikSetPlanChangeEnable(BOOL bOn);
BOOL WINAPI TarvikGetTimePeriodEnable(BOOL* lpOn);
BOOL WINAPI TarvikSetTimePeriodEnable(BOOL bOn);
BOOL WINAPI TarvikGetTarvikEnable(BOOL* lpOn);
BOOL WINAPI TarvikSetTarvikEnable(BOOL bOn);
BOOL WINAPI TarvikGetAgreement();
BOOL WINAPI TarvikSetAgreement();
BOOL WINAPI TarvikSetEngineEnable(DWORD dwEnable);
DWORD WINAPI TarvikGetSupportType(DWORD dwRegion);
BOOL WINAPI TarvikGetDebugMode();
DWORD WINAPI TarvikGetStartHour();
DWORD WINAPI TarvikGetEndHour();
DWORD WINAPI TarvikGetUtilization();
BOOL WINAPI TarvikGetThresholdLv3(DWORD* lpThreshold);
}
