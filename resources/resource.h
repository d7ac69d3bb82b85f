// Resource ids of Solvane shared by resources/Solvane.rc and the code.
#pragma once

// ---------------------------------------------------------------------------------------------
// Battery model and time estimation.
// Error-log records.
#define IDS_ERR_HEAPALLOC 51
#define IDS_ERR_CHARGE_CHANGE_POINT 74
#define IDS_ERR_FULL_PERCENT 76
#define IDS_ERR_BATTERY_STATUS_CHECK 77
#define IDS_ERR_BATTERY_HANDLE 80
#define IDS_ERR_BATTERY_QUERY_INFORMATION 82
#define IDS_ERR_CHARGE_PARAMETER 83
#define IDS_ERR_DIVISION_ZERO 85
#define IDS_ERR_BATTERY_QUERY_TAG 93
#define IDS_ERR_BATTERY_QUERY_STATUS 94
// Texts of the battery fields of the plan dialogs.
#define IDS_BATTERY_UNKNOWN 103
#define IDS_BATTERY_CHARGING 104
#define IDS_BATTERY_REMAINING 106
#define IDS_BATTERY_REMAINING_AFTER 107
#define IDS_BATTERY_NONE 108
#define IDS_BATTERY_ESTIMATING 179
#define IDS_BATTERY_ON_AC 182
// Battery images of the plan dialogs.
#define IDB_BATTERY_DISCHARGING 512
#define IDB_BATTERY_ON_AC 513
#define IDB_BATTERY_NONE 517
// Battery fields of the plan editor.
#define IDC_BATTERY_PERCENT 1086
#define IDC_BATTERY_STATUS 1087
#define IDC_BATTERY_IMAGE 1200

// ---------------------------------------------------------------------------------------------
// Processor speed monitor.
#define IDS_ERR_PROCESSOR_POWER_INFO 18

// ---- Settings file export and import (solvane/settingsfile) ---------------------------------
#define IDS_SETTINGS_FILE_WRITE_FAILED   3001  // export: a key could not be written
#define IDS_SETTINGS_FILE_MISSING        3002  // import: the file does not exist
#define IDS_SETTINGS_FILE_REJECTED       3003  // import: the file was refused or could not be applied
#define IDS_SETTINGS_FILE_NO_NAME        3005  // no file name, or the name is too long
#define IDS_SETTINGS_FILE_CREATE_FAILED  3006  // export: the file could not be bound
#define IDS_SETTINGS_FILE_RUNNING        3007  // import beside the running program
#define IDS_SETTINGS_FILE_NOT_ADMIN      3008  // export by a user outside "Administrators"
#define IDS_SETTINGS_FILE_CAPTION        219   // caption of every settings-file message ("Kaviro")

// ---------------------------------------------------------------------------------------------
// Peak-cut client.
// Error-log records.
#define IDS_ERR_PEAKCUT_THREAD           7   // the poll thread could not be created
#define IDS_ERR_PEAKCUT_LEVEL_WRITE      17  // "PeakCutLevel" could not be written
// Peak-shift settings dialogs (two-mode 2021, three-mode 2022).
#define IDD_PEAKSHIFT_TWO_MODE           2021
#define IDD_PEAKSHIFT_THREE_MODE         2022
#define IDS_PEAKSHIFT_BAD_WINDOW         2001
#define IDS_PEAKSHIFT_BAD_THRESHOLD      2002
#define IDS_PEAKSHIFT_BAD_BATTERY        2003
#define IDS_PEAKSHIFT_NO_REGION          2004
#define IDS_PEAKSHIFT_NO_PLAN            194   // "設 定 な し"
#define IDS_PEAKSHIFT_CAPTION            219   // "Kaviro"
#define IDC_PS_LV1_START                 2101
#define IDC_PS_LV1_END                   2102
#define IDC_PS_BATTERY_ON                2103
#define IDC_PS_BATTERY_PERCENT           2104
#define IDC_PS_TIME_TEXT                 2105
#define IDC_PS_NOTE                      2115
#define IDC_PS_BATTERY_GROUP             2116
#define IDC_PS_BATTERY_TEXT              2117
#define IDC_PS_BATTERY_LABEL             2118
#define IDC_PS_BATTERY_UNIT              2119
#define IDC_PS_BATTERY_SPIN              2122
#define IDC_PS_EXPLANATION_TWO           2123
#define IDC_PS_THRESHOLD                 2124
#define IDC_PS_LV2_START                 2125
#define IDC_PS_LV2_END                   2126
#define IDC_PS_APPLY                     2127
#define IDC_PS_PLAN_CHANGE               2128
#define IDC_PS_THRESHOLD_SPIN            2129
#define IDC_PS_DEMAND_ON                 2130
#define IDC_PS_REGION                    2131
#define IDC_PS_PERIOD_START              2132
#define IDC_PS_PERIOD_END                2133
#define IDC_PS_EXPLANATION_THREE         2134
#define IDC_PS_TIME_TEXT_THREE           2135
#define IDC_PS_MODE3_NAME                1259
#define IDC_PS_MODE2_NAME                1261
#define IDC_PS_MODE3_NAME_LV1            1264
#define IDC_PS_STATIC                    -1
