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

// ---------------------------------------------------------------------------------------------
// Automatic plan change (settings page "自動切替").
#define IDD_AUTO_SETTINGS 505
#define IDS_AUTO_ECO_NOTE 264
#define IDS_AUTO_DISCARD_QUESTION 535
#define IDC_AUTO_ENABLE 1107
#define IDC_AUTO_PLAN_COMBO 1110
#define IDC_AUTO_LABEL_MIN 1111
#define IDC_AUTO_LABEL_MAX 1112
#define IDC_AUTO_VALUE 1113
#define IDC_AUTO_PLAN_LABEL 1114
#define IDC_AUTO_TRACKBAR 1118
#define IDC_AUTO_EXPLANATION 1121
#define IDC_AUTO_FERROW 1140
#define IDC_AUTO_NOTE_ECO 1220
#define IDC_AUTO_NOTE 1223
#define IDT_AUTO_FERROW_WATCH 10105
#define IDH_AUTO_SETTINGS 10505
