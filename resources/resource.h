// Resource ids of Solvane.exe: strings, dialogs and controls shared by the .rc file and the code.
#pragma once

// --- Display brightness: panel, external monitors, ambient light -----------------------------
// Error-log strings.
#define IDS_ERR_HEAPALLOC 51
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
#define IDS_MON_RETRY_COUNT 292
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
