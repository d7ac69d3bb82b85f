// simctl: drives the simulated PC. Each command is a function in its own cmd_*.cpp file,
// registered with SIMCTL_COMMAND so that no shared table has to be edited.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace simctl {

// Runs one command; args excludes the command name. Returns the process exit code
// (0 = success, 2 = bad arguments, anything else = the machine refused).
using CommandFn = int (*)(const std::vector<std::wstring>& args);

struct Command {
    const wchar_t* name;
    const wchar_t* usage;    // e.g. L"battery --percent N --ac on|off"
    const wchar_t* summary;  // one line for the usage text
    CommandFn run;
};

bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Prints to stdout / stderr as UTF-8.
void Out(const wchar_t* format, ...);
void Err(const wchar_t* format, ...);

// Bad arguments: prints "simctl: <message>" and the command's usage, returns 2.
int UsageError(const wchar_t* commandName, const wchar_t* message);

// Parses a whole decimal number; false for anything else.
bool ParseNumber(const std::wstring& text, long long& value);

// Status sections: each part of the machine adds a printer that "simctl status" calls in turn.
using StatusFn = void (*)();
bool RegisterStatus(const wchar_t* section, StatusFn print);

}  // namespace simctl

#define SIMCTL_JOIN2(a, b) a##b
#define SIMCTL_JOIN(a, b) SIMCTL_JOIN2(a, b)
// SIMCTL_COMMAND(L"led", L"led", L"print the LED state", RunLed);
#define SIMCTL_COMMAND(name, usage, summary, fn) \
    static const bool SIMCTL_JOIN(g_registered_, __LINE__) = ::simctl::RegisterCommand({name, usage, summary, fn})
#define SIMCTL_STATUS(section, fn) \
    static const bool SIMCTL_JOIN(g_status_, __LINE__) = ::simctl::RegisterStatus(section, fn)
