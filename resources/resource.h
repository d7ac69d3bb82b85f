// Resource ids of Solvane.exe, shared by resources/Solvane.rc and the code.
#pragma once

// ---- Settings file export and import (solvane/settingsfile) ---------------------------------
#define IDS_SETTINGS_FILE_WRITE_FAILED   3001  // export: a key could not be written
#define IDS_SETTINGS_FILE_MISSING        3002  // import: the file does not exist
#define IDS_SETTINGS_FILE_REJECTED       3003  // import: the file was refused or could not be applied
#define IDS_SETTINGS_FILE_NO_NAME        3005  // no file name, or the name is too long
#define IDS_SETTINGS_FILE_CREATE_FAILED  3006  // export: the file could not be bound
#define IDS_SETTINGS_FILE_RUNNING        3007  // import beside the running program
#define IDS_SETTINGS_FILE_NOT_ADMIN      3008  // export by a user outside "Administrators"
#define IDS_SETTINGS_FILE_CAPTION        219   // caption of every settings-file message ("Kaviro")
