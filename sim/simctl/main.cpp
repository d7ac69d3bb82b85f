// simctl.exe: command dispatch, usage text and the shared output helpers.
#include "sim/simctl/simctl.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace simctl {
namespace {

constexpr int EXIT_BAD_ARGUMENTS = 2;
constexpr size_t OUTPUT_CHARS = 4096;

std::vector<Command>& CommandTable() {
    static std::vector<Command> table;
    return table;
}

struct StatusSection {
    const wchar_t* name;
    StatusFn print;
};

std::vector<StatusSection>& StatusTable() {
    static std::vector<StatusSection> table;
    return table;
}

void WriteUtf8(FILE* stream, const wchar_t* format, va_list args) {
    wchar_t text[OUTPUT_CHARS];
    _vsnwprintf_s(text, OUTPUT_CHARS, _TRUNCATE, format, args);
    char utf8[OUTPUT_CHARS * 3];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
    if (bytes > 1) {
        fwrite(utf8, 1, static_cast<size_t>(bytes - 1), stream);
        fflush(stream);
    }
}

void PrintUsage() {
    Err(L"usage: simctl <command> [arguments]\n\ncommands:\n");
    for (const Command& c : CommandTable()) {
        Err(L"  %-40ls %ls\n", c.usage, c.summary);
    }
}

int RunStatus(const std::vector<std::wstring>& args) {
    if (!args.empty()) {
        return UsageError(L"status", L"status takes no arguments");
    }
    for (const StatusSection& s : StatusTable()) {
        Out(L"[%ls]\n", s.name);
        s.print();
    }
    return 0;
}

SIMCTL_COMMAND(L"status", L"status", L"print the whole machine state", RunStatus);

}  // namespace

bool RegisterCommand(const Command& command) {
    CommandTable().push_back(command);
    return true;
}

const std::vector<Command>& Commands() { return CommandTable(); }

bool RegisterStatus(const wchar_t* section, StatusFn print) {
    StatusTable().push_back({section, print});
    return true;
}

void Out(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    WriteUtf8(stdout, format, args);
    va_end(args);
}

void Err(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    WriteUtf8(stderr, format, args);
    va_end(args);
}

int UsageError(const wchar_t* commandName, const wchar_t* message) {
    Err(L"simctl: %ls\n", message);
    for (const Command& c : CommandTable()) {
        if (wcscmp(c.name, commandName) == 0) {
            Err(L"usage: simctl %ls\n", c.usage);
        }
    }
    return EXIT_BAD_ARGUMENTS;
}

bool ParseNumber(const std::wstring& text, long long& value) {
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    long long parsed = wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != L'\0') {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace simctl

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        simctl::PrintUsage();
        return simctl::EXIT_BAD_ARGUMENTS;
    }
    std::vector<std::wstring> args(argv + 2, argv + argc);
    for (const simctl::Command& c : simctl::Commands()) {
        if (wcscmp(c.name, argv[1]) == 0) {
            return c.run(args);
        }
    }
    simctl::Err(L"simctl: unknown command \"%ls\"\n", argv[1]);
    simctl::PrintUsage();
    return simctl::EXIT_BAD_ARGUMENTS;
}
