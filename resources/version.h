// The version of the three deliverables: the version resources of Solvane.exe, Tarvik.dll and
// Vendrel.exe and the name of the release archive (tools/package.sh reads the four numbers here).
#pragma once

#define SOLVANE_VERSION_MAJOR 1
#define SOLVANE_VERSION_MINOR 0
#define SOLVANE_VERSION_PATCH 0
#define SOLVANE_VERSION_BUILD 0

#define SOLVANE_VERSION_STR2(x) #x
#define SOLVANE_VERSION_STR(x) SOLVANE_VERSION_STR2(x)

// FILEVERSION / PRODUCTVERSION: four comma-separated numbers.
#define SOLVANE_VERSION_NUMBERS \
    SOLVANE_VERSION_MAJOR, SOLVANE_VERSION_MINOR, SOLVANE_VERSION_PATCH, SOLVANE_VERSION_BUILD
// "FileVersion" / "ProductVersion": "1.0.0.0" (one string literal, as resource compilers want).
#define SOLVANE_VERSION_TEXT \
    SOLVANE_VERSION_STR(SOLVANE_VERSION_MAJOR.SOLVANE_VERSION_MINOR.SOLVANE_VERSION_PATCH.SOLVANE_VERSION_BUILD)
