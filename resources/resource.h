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
// Factory defaults and the mode-table restore.
#define IDS_ERR_SNAPSHOT_WRITE 57
#define IDS_MODE_RESTORE_ASK_TWO 173
#define IDS_MODE_RESTORE_FAILED_TWO 198
#define IDS_MODE_RESTORE_ASK_THREE 250
#define IDS_MODE_RESTORE_FAILED_THREE 254

// ---------------------------------------------------------------------------------------------
// ECO mode settings dialog.
#define IDD_MODE_SETTINGS_THREE 1178
#define IDD_MODE_SETTINGS_TWO 1313
#define IDC_MODE_ICON1 1165          // 1165-1167
#define IDC_MODE_COMBO1 1168         // 1168-1170
#define IDC_MODE_DESCRIPTION1 1171   // 1171-1173
#define IDC_MODE_EDITOR1 1174        // 1174-1176
#define IDC_MODE_RESTORE 1177
#define IDC_MODE_HOTKEY 1187
#define IDC_MODE_AUTO_CHANGE 1188
#define IDC_MODE_LED_CAPTION 1210
#define IDC_MODE_CHANGE_MESSAGE 1221
#define IDC_MODE_PEAK_SHIFT 1261
#define IDC_MODE_PERFORMANCE1 1265   // five bars per slot, slots 10 apart
#define IDC_MODE_SAVING1 1270
#define IDC_MODE_BATTERY_TIME1 1295  // 1295-1297
#define IDC_MODE_BATTERY_LABEL1 1302 // 1302-1304
#define IDC_MODE_APPLY 1083
#define IDC_MODE_POWER_OPTIONS 3
#define IDS_MODE_NO_TIME 189
#define IDS_MODE_NOT_SET 194
#define IDS_MODE_NOT_SET_TWO 195
#define IDS_MODE_SAME_PLAN 196
#define IDS_MODE_DELETED_PLAN 197
#define IDS_MODE_NOT_SET_THREE 252
#define IDS_MODE_CHANGE_MESSAGE 265
#define IDS_MODE_DISCARD_CHANGES 535

// ---------------------------------------------------------------------------------------------
// Plan editor "詳細設定" and its name dialog.
#define IDD_PLAN_EDITOR_503 503
#define IDD_PLAN_EDITOR_1179 1179
#define IDD_PLAN_EDITOR_1183 1183
#define IDD_PLAN_EDITOR_1184 1184
#define IDD_PLAN_EDITOR_1314 1314
#define IDD_PLAN_EDITOR_1315 1315
#define IDD_PLAN_NAME 504
#define IDC_EDITOR_DELETE 1034
#define IDC_EDITOR_MONITOR_AC 1037   // each slider's value label has the next id
#define IDC_EDITOR_MONITOR_DC 1039
#define IDC_EDITOR_DISK_AC 1041
#define IDC_EDITOR_DISK_DC 1043
#define IDC_EDITOR_STANDBY_AC 1045
#define IDC_EDITOR_STANDBY_DC 1047
#define IDC_EDITOR_HIBERNATE_AC 1049
#define IDC_EDITOR_HIBERNATE_DC 1051
#define IDC_EDITOR_PROCESSOR_AC 1053
#define IDC_EDITOR_PROCESSOR_DC 1055
#define IDC_EDITOR_WIRELESS_AC 1056
#define IDC_EDITOR_WIRELESS_DC 1057
#define IDC_EDITOR_RESTORE 1059
#define IDC_EDITOR_SAVE_AS 1060
#define IDC_EDITOR_RENAME 1061
#define IDC_EDITOR_GRAPHICS_AC 1064
#define IDC_EDITOR_GRAPHICS_DC 1065
#define IDC_EDITOR_ICON 1134
#define IDC_EDITOR_DESCRIPTION 1137
#define IDC_EDITOR_PLAN 1142
#define IDC_EDITOR_NPD_CPU 1213
#define IDC_NAME_EDIT 1140
#define IDC_DESCRIPTION_EDIT 1141
#define IDC_NAME_ICON_FIRST 1144     // 1144-1155: "IconNo" 0-11
#define IDS_EDITOR_DELETE_FAILED 50
#define IDS_EDITOR_SAVE_FAILED 56
#define IDS_EDITOR_NEW_FAILED 58
#define IDS_NAME_TITLE_NEW 114
#define IDS_NAME_TITLE_RENAME 115
#define IDS_NAME_TAKEN 116
#define IDS_STEP_ONE_MINUTE 130
#define IDS_STEP_MINUTES 131
#define IDS_STEP_ONE_HOUR 132
#define IDS_STEP_HOURS 133
#define IDS_STEP_NEVER 134
#define IDS_EDITOR_NOT_LISTED 162
#define IDS_EDITOR_DELETE_ASK 174
#define IDS_EDITOR_CHANGED_ASK 175
#define IDS_NEW_PLAN_PREFIX 188
#define IDS_EXTRA_JOIN 215
#define IDS_EXTRA_HOURS 216
#define IDS_EXTRA_MINUTES 217
#define IDS_EDITOR_RESTORE_ASK_THREE 253
#define IDS_EDITOR_RESTORE_ASK 531
// Tool tips of the ECO mode settings dialog.
#define IDS_TIP_EDITOR 183
#define IDS_TIP_RESTORE_THREE 251
#define IDS_TIP_HOTKEY 259
#define IDS_TIP_AUTO_CHANGE 266
#define IDS_TIP_RESTORE_TWO 533
#define IDS_TIP_PEAK_SHIFT 2144
