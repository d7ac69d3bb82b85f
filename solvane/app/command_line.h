// The switches of Solvane's command line.
#pragma once

#include <string>

enum class StartRequest {
    None,          // no switch: start resident
    PlanSettings,  // "/PowerScheme": open the power-plan settings sheet
    EcoSettings,   // "/EcoMode": open the ECO mode settings dialog
    Export,        // "/export <file>": write the settings file and end
    Import,        // "/import <file>": read the settings file and end
};

struct CommandLineRequest {
    StartRequest request = StartRequest::None;
    std::wstring file;  // the file argument of "/export" and "/import"
};

// Reads a full command line as GetCommandLineW returns it (program name first).
// A switch counts only as a whole argument after the program name, case-sensitive; when several
// are present the first of "/PowerScheme", "/EcoMode", "/export", "/import" wins. The file of
// "/export" and "/import" is the rest of the line after the switch, leading blanks skipped and
// one pair of enclosing double quotes removed; anything else is kept as written.
CommandLineRequest ParseCommandLine(const wchar_t* commandLine);
