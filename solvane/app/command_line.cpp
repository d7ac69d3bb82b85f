#include "app/command_line.h"

#include <string_view>
#include <vector>

namespace {

constexpr wchar_t kPlanSettingsSwitch[] = L"/PowerScheme";
constexpr wchar_t kEcoSettingsSwitch[] = L"/EcoMode";
constexpr wchar_t kExportSwitch[] = L"/export";
constexpr wchar_t kImportSwitch[] = L"/import";
constexpr wchar_t kQuote = L'"';

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

size_t SkipBlanks(std::wstring_view line, size_t pos) {
    while (pos < line.size() && IsBlank(line[pos])) {
        ++pos;
    }
    return pos;
}

// End of the program name: a quoted name ends at its closing quote, a plain one at a blank.
size_t SkipProgramName(std::wstring_view line) {
    size_t pos = SkipBlanks(line, 0);
    if (pos < line.size() && line[pos] == kQuote) {
        size_t close = line.find(kQuote, pos + 1);
        return close == std::wstring_view::npos ? line.size() : close + 1;
    }
    while (pos < line.size() && !IsBlank(line[pos])) {
        ++pos;
    }
    return pos;
}

struct Argument {
    std::wstring_view text;  // as written, quotes included
    size_t end;              // index just past it in the line
};

// Splits the arguments at blanks; blanks inside double quotes belong to the argument.
std::vector<Argument> SplitArguments(std::wstring_view line, size_t pos) {
    std::vector<Argument> args;
    for (pos = SkipBlanks(line, pos); pos < line.size(); pos = SkipBlanks(line, pos)) {
        size_t start = pos;
        bool quoted = false;
        while (pos < line.size() && (quoted || !IsBlank(line[pos]))) {
            if (line[pos] == kQuote) {
                quoted = !quoted;
            }
            ++pos;
        }
        args.push_back({line.substr(start, pos - start), pos});
    }
    return args;
}

const Argument* FindSwitch(const std::vector<Argument>& args, std::wstring_view name) {
    for (const Argument& arg : args) {
        if (arg.text == name) {
            return &arg;
        }
    }
    return nullptr;
}

// The file argument: the rest of the line, without leading blanks and one pair of enclosing
// quotes (a closing quote followed only by blanks still encloses).
std::wstring FileArgument(std::wstring_view line, size_t switchEnd) {
    std::wstring_view rest = line.substr(SkipBlanks(line, switchEnd));
    if (!rest.empty() && rest.front() == kQuote) {
        size_t close = rest.find(kQuote, 1);
        if (close != std::wstring_view::npos && SkipBlanks(rest, close + 1) == rest.size()) {
            return std::wstring(rest.substr(1, close - 1));
        }
    }
    return std::wstring(rest);
}

}  // namespace

CommandLineRequest ParseCommandLine(const wchar_t* commandLine) {
    CommandLineRequest result;
    if (commandLine == nullptr) {
        return result;
    }
    std::wstring_view line(commandLine);
    std::vector<Argument> args = SplitArguments(line, SkipProgramName(line));

    if (FindSwitch(args, kPlanSettingsSwitch) != nullptr) {
        result.request = StartRequest::PlanSettings;
    } else if (FindSwitch(args, kEcoSettingsSwitch) != nullptr) {
        result.request = StartRequest::EcoSettings;
    } else if (const Argument* exportArg = FindSwitch(args, kExportSwitch)) {
        result.request = StartRequest::Export;
        result.file = FileArgument(line, exportArg->end);
    } else if (const Argument* importArg = FindSwitch(args, kImportSwitch)) {
        result.request = StartRequest::Import;
        result.file = FileArgument(line, importArg->end);
    }
    return result;
}
