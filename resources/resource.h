// Resource ids of Solvane.exe, shared by resources/Solvane.rc and the code. One place for every
// string, dialog, control, icon, command and timer id of the program; add new ids to their section.
#pragma once

// =============================================================================================
// Strings
// =============================================================================================

// --- Start-up, and records of the error log ("fail : " names the failed call) ----------------
#define IDS_STARTUP_FAILED              1
#define IDS_ERR_GET_ACTIVE_SCHEME       2
#define IDS_ERR_CREATE_MUTEX            4
#define IDS_ERR_THREAD_PPI              7
#define IDS_ERR_THREAD_CPP              8
#define IDS_ERR_REGISTER_CLASS          9
#define IDS_ERR_CREATE_WINDOW           10
#define IDS_ERR_CPU_NAME_VALUE          14
#define IDS_ERR_CPU_KEY                 15
#define IDS_ERR_SETTINGS_SIZE           16
#define IDS_ERR_SETTINGS_READ           17
#define IDS_ERR_PROCESSOR_INFO          18
#define IDS_ERR_CREATE_EVENT            20
#define IDS_ERR_CREATE_RIGHT_MENU       23
#define IDS_ERR_CREATE_LEFT_MENU        24
#define IDS_ERR_SET_ACTIVE_SCHEME       28
#define IDS_ERR_OPEN_PROGRAM_KEY        29
#define IDS_ERR_WORK_AREA               32
#define IDS_ERR_CREATE_TOOLTIP          40
#define IDS_ERR_MODULE_FILE_NAME        41
#define IDS_ERR_TRAY_ADD                44
#define IDS_ERR_TRAY_ADD_MODIFY_OK      45
#define IDS_ERR_TRAY_DELETE             46
#define IDS_ERR_TRAY_MODIFY             47
#define IDS_ERR_PLAN_LOCK               48   // the plan-list lock timed out (value: the caller)
#define IDS_ERR_HEAP_ALLOC              51
#define IDS_ERR_READ_PROCESSOR_SCHEME   54
#define IDS_ERR_WRITE_PROCESSOR_SCHEME  55
#define IDS_ERR_BOOST_SETTING           62
#define IDS_ERR_BOOST_ACTIVATE          63
#define IDS_ERR_POWER_STATUS            65
#define IDS_ERR_CHARGING_CHANGE_POINT   74
#define IDS_ERR_FULL_PERCENT            76
#define IDS_ERR_BATTERY_CHECK           77
#define IDS_ERR_CHARGE_PARAMETER        83
#define IDS_ERR_DIVISION_ZERO           85
#define IDS_PROGRAM_TITLE               141
#define IDS_BUTTON_TITLE                143
#define IDS_NEEDS_VISTA                 161
#define IDS_ERR_READ_VALUE              161  // error record of a failed value read
#define IDS_ERR_BAD_PLAN_COMMAND        162  // the plan named by a message or command does not exist
#define IDS_ERR_WRITE_GUID              163
#define IDS_ERR_THREAD_VEXB             200
#define IDS_ECO_PROGRAM_TITLE           219
#define IDS_ERR_REGISTER_HOTKEY         244
#define IDS_ERR_WRITE_HOTKEY            245
#define IDS_MONITOR_RETRY_COUNT         292
#define IDS_ERR_LED_STATUS              293
#define IDS_ERR_LED_OS_POWER            294
#define IDS_ERR_CHECK_LED               295
#define IDS_ERR_DIM_TIMEOUT             296
#define IDS_QUOTED_TITLE                308
#define IDS_ERR_SUPPORTED_FEATURES      539
#define IDS_ERR_CPU_SAVING_STATE        541

// --- Settings file export and import ------------------------------------------------------
#define IDS_FILE_CREATE_FAILED          3001
#define IDS_FILE_NOT_FOUND              3002
#define IDS_IMPORT_REFUSED              3003
#define IDS_FILE_NAME_MISSING           3005
#define IDS_FILE_NOT_CREATED            3006
#define IDS_IMPORT_REFUSED_RUNNING      3007
#define IDS_EXPORT_NEEDS_ADMIN          3008

// --- Tray icon, menus, hotkey and the mode notification windows -----------------------------
#define IDS_TEXT_PERFORMANCE            97
#define IDS_TEXT_SCENES                 98
#define IDS_TEXT_PLAN_SETTINGS          99
#define IDS_MENU_PANEL                  146
#define IDS_MENU_MINIMIZE               148
#define IDS_MENU_TOPMOST                149
#define IDS_MENU_TRANSPARENT            150
#define IDS_MENU_PLAN_SETTINGS          151
#define IDS_MENU_DISPLAY_SETTINGS       152
#define IDS_MENU_EXIT                   153
#define IDS_MODE_LABEL_1                170  // 170-172: "モード１".."モード３"
#define IDS_MODE_LABEL_2                171
#define IDS_MODE_LABEL_3                172
#define IDS_TEXT_ECO_SETTINGS           190
#define IDS_MENU_ECO_SETTINGS           191
#define IDS_NO_PLAN                     194
#define IDS_MENU_HELP                   204
#define IDS_HOTKEY_NAME_FIRST           220  // 220 "no hotkey", then 221-243 in hotkey table order
#define IDS_HOTKEY_RESET_QUESTION       246
#define IDS_HOTKEY_RESET_LABEL          248
#define IDS_HOTKEY_FAILED               249
#define IDS_LOW_BATTERY_CHANGE          261
#define IDS_SWITCHING                   269
#define IDS_SWITCHED                    270
#define IDS_NAME_NI                     271
#define IDS_MENU_ENERGY_VIEWER          303
#define IDS_FONT_FACE                   304
#define IDS_HIBERNATE_QUESTION          306
#define IDS_TOOLTIP_PLAN                307
#define IDS_CANNOT_SWITCH               309
#define IDS_SAVING_POWER                312
#define IDS_MODE3_QUESTION              313
#define IDS_SUPPLY_TOAST                314
#define IDS_ECO_TOAST                   315
#define IDS_MENU_MONITOR_INFO           316
#define IDS_DISCARD_CHANGES             535

// --- Mode switching, exit questions and the guards before the plan windows ------------------
#define IDS_FERROW_RUNNING              95
#define IDS_PLAN_SHEET_CAPTION          102
#define IDS_CHANGE_PLAN_QUESTION        123
#define IDS_EXIT_QUESTION_TWO_MODE      201
#define IDS_EXIT_QUESTION_THREE_MODE    255
#define IDS_VIDEO_WARNING               262
#define IDS_VIDEO_WARNING_CHECK         263
#define IDS_MODE_PLAN_DELETED           274
#define IDS_RESTORE_DEFAULTS            276
#define IDS_ECO_SETTINGS_TITLE          317
#define IDS_WINDOWS_PLAN_NOTICE         532

// =============================================================================================
// Dialogs
// =============================================================================================
#define IDD_PLAN_SETTINGS_PAGE          501
#define IDD_PEAKCUT_QUESTION            546
#define IDD_HOTKEY                      1307

// =============================================================================================
// Controls
// =============================================================================================

// --- Plan settings page (501) ---------------------------------------------------------------
#define IDC_PLAN_DETAILS                1033  // "詳細設定(&C)...": the plan editor
#define IDC_PLAN_COMBO                  1035
#define IDC_PLAN_DESCRIPTION            1036
#define IDC_PERFORMANCE_LABEL           1186
#define IDC_SAVING_LABEL                1187
#define IDC_PERFORMANCE_BAR1            1188  // 1188-1192
#define IDC_PERFORMANCE_BAR2            1189
#define IDC_PERFORMANCE_BAR3            1190
#define IDC_PERFORMANCE_BAR4            1191
#define IDC_PERFORMANCE_BAR5            1192
#define IDC_SAVING_BAR1                 1193  // 1193-1197
#define IDC_SAVING_BAR2                 1194
#define IDC_SAVING_BAR3                 1195
#define IDC_SAVING_BAR4                 1196
#define IDC_SAVING_BAR5                 1197
#define IDC_BATTERY_TIME                1199
#define IDC_BATTERY_TIME_LABEL          1211

// --- Peak-cut question (546) ----------------------------------------------------------------
#define IDC_PEAKCUT_INTRO               1255
#define IDC_PEAKCUT_REACHED             1256
#define IDC_PEAKCUT_QUESTION            1257
#define IDC_PEAKCUT_PERCENT             1258

// --- Hotkey settings (1307) -----------------------------------------------------------------
#define IDC_HOTKEY_RESET                1308
#define IDC_HOTKEY_COMBO                1309

// =============================================================================================
// Icons, bitmaps and data
// =============================================================================================
#define IDI_SOLVANE                     363
#define IDI_PLAN_DIALOG_FIRST           364  // 364-375: plan dialog icons of icon numbers 0-11
#define IDI_PLAN_TRAY_FIRST             388  // 388-399: the same for the tray and the menus
#define IDI_PLAN_MARK                   402  // current-plan mark of the menus
#define IDI_GAUGE_OFF                   514  // gauge star: an unlit place of a rating row
#define IDI_GAUGE_ON                    515  // gauge star: a lit place
#define IDI_GAUGE_NONE                  534  // gauge star: rating unknown (every place)
#define IDI_ECO_PLAN_DIALOG_FIRST       600  // 600-639: ECO variant, dialog icons plus mode 0-3
#define IDI_ECO_PLAN_TRAY_FIRST         650  // 650-689: ECO variant, tray icons plus mode 0-3
#define IDI_OSD_NOT_SELECTED_FIRST      700  // mode notification icons; mode k adds k - 1
#define IDI_OSD_SELECTED_FIRST          750
#define IDI_OSD_UNAVAILABLE_FIRST       800
#define IDB_OSD_BACKGROUND              518
#define IDR_SIZE_NAMES                  543  // text sizes (pixels) of the mode notification windows
#define IDR_SIZE_LABELS                 544
#define IDR_SIZE_SENTENCE               545

// =============================================================================================
// Commands (WM_COMMAND ids of the main window and its menus)
// =============================================================================================
#define IDM_HELP                        47
#define IDM_ECO_SETTINGS                48
#define IDM_TRANSPARENT                 49
#define IDM_EXIT                        50
#define IDM_TOPMOST                     51
#define IDM_MINIMIZE_TO_TRAY            52
#define IDM_RESTORE_PANEL               53
#define IDM_PLAN_SETTINGS               56
#define IDM_DISPLAY_SETTINGS            57
#define IDM_ENERGY_VIEWER               64
#define IDM_MONITOR_INFO                65  // right-click menu; text item 65 of the owner-drawn menus
#define IDM_SEPARATOR_MODES             66
#define IDM_TEXT_SCENES                 67
#define IDM_SEPARATOR_PLANS             68
#define IDM_SETTINGS_ALIAS              69  // ECO mode settings in ECO operation, else the plan sheet
#define IDM_PLAN_PINNED3                70  // mode 3 (three-mode) plan
#define IDM_PLAN_PINNED2                71
#define IDM_PLAN_PINNED1                72
#define IDM_PLAN_OTHER_FIRST            74  // 74 + n: plan n of the list the menu showed
#define IDM_BOOST                       1056  // the meter panel's boost button and its menu item

// =============================================================================================
// Timers
// =============================================================================================
#define IDT_TRAY_CLICK                  1010   // a single click waits for the double-click time
#define IDT_PANEL_REPAINT               10101
#define IDT_SHEET_REFRESH               10102  // the plan settings page
#define IDT_FERROW_WATCH                10105  // the plan settings page
#define IDT_ECO_MENU                    10108
#define IDT_BRIGHTNESS                  10109  // main window
#define IDT_OSD                         10109  // the mode notification windows
#define IDT_MODE_CHOICE                 10109  // the mode choice window
#define IDT_LED_CHECK                   10110
#define IDT_MONITOR_REFRESH             10111
#define IDT_MONITOR_RETRY               10112
#define IDT_MONITOR_RESUME              10113
#define IDT_TRAY_ADD_RETRY              10120
#define IDT_PANEL_IDLE                  10103  // meter panel: wakes the idle animation
#define IDT_PANEL_GLOW                  10104  // meter panel: moves the glow
#define IDT_PANEL_MENU                  10108  // meter panel: destroys an open pop-up menu

// ---------------------------------------------------------------------------------------------
// Battery model and time estimation.
// Error-log records.
#define IDS_ERR_BATTERY_HANDLE 80
#define IDS_ERR_BATTERY_QUERY_INFORMATION 82
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

// --- Display brightness: panel, external monitors, ambient light -----------------------------
// Error-log strings.
#define IDS_ERR_LCD_OPEN 64
#define IDS_ERR_LCD_SET 67
#define IDS_ERR_READ_BLEVEL 70
#define IDS_ERR_READ_BVALUE 71
#define IDS_ERR_READ_ECWAIT 72
#define IDS_ERR_LCD_NOT_SUPPORTED 87
#define IDS_ERR_VEXAPI 157
#define IDS_ERR_MON_GETCAPS 281
#define IDS_ERR_MON_GETBRIGHTNESS 282
#define IDS_ERR_MON_GETVCP 283
#define IDS_ERR_MON_CAPSLENGTH 284
#define IDS_ERR_MON_CAPSREQUEST 285
#define IDS_ERR_MON_NUMPHYSICAL 286
#define IDS_ERR_MON_PHYSICAL 287
#define IDS_ERR_MON_SETBRIGHTNESS 288
#define IDS_ERR_MON_SETVCP 289
#define IDS_ERR_MON_SAVE 290
#define IDS_ERR_MON_SAVEVCP 291
// Brightness labels and captions.
#define IDS_BRIGHTNESS_LEVEL 110
#define IDS_BRIGHTNESS_CAPTION 111
#define IDS_BRIGHTNESS_CURRENT 112
#define IDS_BRIGHTNESS_DARK 138
#define IDS_BRIGHTNESS_BRIGHT 139
#define IDS_BRIGHTNESS_NONE 140
#define IDS_ALS_MINIMUM 154
#define IDS_ALS_MAXIMUM 155
#define IDS_BRIGHTNESS_AUTO 156
// The monitor wait dialog.
#define IDD_MONITOR_WAIT 551
#define IDC_MONITOR_WAIT_TEXT 5510
// Ambient-light range sliders of the plan editor.
#define IDC_ALS_AC_MAX_LABEL 1093
#define IDC_ALS_AC_MIN_LABEL 1094
#define IDC_ALS_AC_SLIDER 1095
#define IDC_ALS_DC_MAX_LABEL 1096
#define IDC_ALS_DC_MIN_LABEL 1097
#define IDC_ALS_DC_SLIDER 1098
// Brightness group boxes of the plan dialog (with and without the CMOS interface).
#define IDC_BRIGHTNESS_GROUP_ALS 1078
#define IDC_BRIGHTNESS_GROUP 1253
// Main-window command: find the external monitors again.
#define IDM_MONITOR_REFRESH 17
// ---------------------------------------------------------------------------------------------
// Automatic plan change (settings page "自動切替").
#define IDD_AUTO_SETTINGS 505
#define IDS_AUTO_ECO_NOTE 264
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
#define IDH_AUTO_SETTINGS 10505

// ---------------------------------------------------------------------------------------------
// Peak-cut client.
// Peak-shift settings dialogs (two-mode 2021, three-mode 2022).
#define IDD_PEAKSHIFT_TWO_MODE           2021
#define IDD_PEAKSHIFT_THREE_MODE         2022
#define IDS_PEAKSHIFT_BAD_WINDOW         2001
#define IDS_PEAKSHIFT_BAD_THRESHOLD      2002
#define IDS_PEAKSHIFT_BAD_BATTERY        2003
#define IDS_PEAKSHIFT_NO_REGION          2004
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
#define IDC_MODE_EXPLANATION1 1311
#define IDC_MODE_EXPLANATION2 1312
#define IDS_MODE_EXPLANATION1_THREE 257
#define IDS_MODE_EXPLANATION2_THREE 258
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
#define IDS_MODE_NOT_SET_TWO 195
#define IDS_MODE_SAME_PLAN 196
#define IDS_MODE_DELETED_PLAN 197
#define IDS_MODE_LED_COLOR 218       // LED caption without an LED device
#define IDS_MODE_NOT_SET_THREE 252
#define IDS_MODE_CHANGE_MESSAGE 265

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
#define IDC_EDITOR_PROCESSOR_AC_LABEL 1054
#define IDC_EDITOR_PROCESSOR_DC_LABEL 1058
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
#define IDC_EDITOR_BRIGHTNESS_LABEL 1079     // row caption of the brightness sliders
#define IDC_EDITOR_BRIGHTNESS_AC 1080        // its value label is 1081
#define IDC_EDITOR_BRIGHTNESS_AC_LABEL 1081
#define IDC_EDITOR_BRIGHTNESS_DC 1082
#define IDC_EDITOR_BRIGHTNESS_DC_LABEL 1084  // 1083 is Apply
#define IDC_EDITOR_ALS_ROW_LABEL 1089
#define IDC_EDITOR_DIM_ROW_LABEL 1090
#define IDC_EDITOR_FIXED_BRIGHTNESS 1091
#define IDC_EDITOR_AMBIENT_BRIGHTNESS 1092
#define IDC_EDITOR_DIM_BRIGHTNESS_ROW_LABEL 1099
#define IDC_EDITOR_DIM_AC 1100               // dim sliders: value label at the next id
#define IDC_EDITOR_DIM_DC 1102
#define IDC_EDITOR_DIM_BRIGHTNESS_AC 1104
#define IDC_EDITOR_DIM_BRIGHTNESS_DC 1106
#define IDC_EDITOR_MONITOR_BRIGHTNESS 1232   // "BrightnessMonitorEnable"
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
#define IDS_STEP_NEVER IDS_BRIGHTNESS_NONE  // "なし" labels the never step too
#define IDS_PRESET_LOW 134
#define IDS_PRESET_LOW_FIXED 135
#define IDS_PRESET_AUTO 136
#define IDS_PRESET_HIGH 137
#define IDS_PRESET_USER 164
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

// ---------------------------------------------------------------------------------------------
// Meter panel.
#define IDD_METER_PANEL                 535
#define IDD_PANEL_DISPLAY               502  // the panel's display settings
#define IDC_PANEL_LAYOUT_STANDARD       1401
#define IDC_PANEL_LAYOUT_FIRST          1402
#define IDC_PANEL_LAYOUT_SECOND         1403
#define IDC_PANEL_TOPMOST               1404
#define IDC_PANEL_TRANSPARENT           1405
#define IDS_ERR_LAYERED_ATTRIBUTES      42
#define IDS_ERR_PANEL_ZORDER            43
#define IDS_NOT_AVAILABLE_NOW           122  // "%s (currently unavailable)"
#define IDS_GAUGE_TIP_LEFT              125
#define IDS_GAUGE_TIP_CHARGING          126
#define IDS_PANEL_BATTERY_TIME          127
#define IDS_PANEL_BATTERY_TIME_CHARGING 128
#define IDS_BOOST_BUTTON                142
