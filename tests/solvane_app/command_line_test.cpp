#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const wchar_t* line;
    StartRequest request;
    const wchar_t* file;
};

void ExpectParsed(const Case& c) {
    CommandLineRequest parsed = ParseCommandLine(c.line);
    EXPECT_EQ(static_cast<int>(parsed.request), static_cast<int>(c.request)) << "line: " << testing::PrintToString(std::wstring(c.line));
    EXPECT_EQ(parsed.file, std::wstring(c.file)) << "line: " << testing::PrintToString(std::wstring(c.line));
}

TEST(ParseCommandLine, PlainStartsHaveNoRequest) {
    for (const Case& c : {
             Case{L"", StartRequest::None, L""},
             Case{L"Solvane.exe", StartRequest::None, L""},
             Case{L"\"C:\\Program Files\\Solvane\\Solvane.exe\"", StartRequest::None, L""},
             Case{L"\"C:\\Program Files\\Solvane\\Solvane.exe\"   ", StartRequest::None, L""},
             Case{L"Solvane.exe /unknown", StartRequest::None, L""},
         }) {
        ExpectParsed(c);
    }
    EXPECT_EQ(ParseCommandLine(nullptr).request, StartRequest::None);
}

TEST(ParseCommandLine, SwitchesAreWholeCaseSensitiveArguments) {
    for (const Case& c : {
             Case{L"Solvane.exe /EcoMode", StartRequest::EcoSettings, L""},
             Case{L"Solvane.exe\t/PowerScheme", StartRequest::PlanSettings, L""},
             Case{L"\"C:\\P F\\Solvane.exe\"/EcoMode", StartRequest::EcoSettings, L""},
             Case{L"Solvane.exe /ecomode", StartRequest::None, L""},
             Case{L"Solvane.exe /POWERSCHEME", StartRequest::None, L""},
             Case{L"Solvane.exe /Export x", StartRequest::None, L""},
             Case{L"Solvane.exe /EcoModeX", StartRequest::None, L""},
             Case{L"Solvane.exe x/EcoMode", StartRequest::None, L""},
             Case{L"Solvane.exe /exportfile", StartRequest::None, L""},
             Case{L"Solvane.exe \"/EcoMode\"", StartRequest::None, L""},
         }) {
        ExpectParsed(c);
    }
}

TEST(ParseCommandLine, ProgramPathHoldingASwitchTriggersNothing) {
    for (const Case& c : {
             Case{L"C:/tools/export/Solvane.exe", StartRequest::None, L""},
             Case{L"\"C:/my /import dir/Solvane.exe\"", StartRequest::None, L""},
             Case{L"\"C:\\a /EcoMode b\\Solvane.exe\"", StartRequest::None, L""},
             Case{L"C:/x/PowerScheme/Solvane.exe /EcoMode", StartRequest::EcoSettings, L""},
             Case{L"/export", StartRequest::None, L""},
             Case{L"\"/EcoMode\" /import f.ECOSettings", StartRequest::Import, L"f.ECOSettings"},
         }) {
        ExpectParsed(c);
    }
}

TEST(ParseCommandLine, FirstHitOrderDecidesBetweenSwitches) {
    for (const Case& c : {
             Case{L"S.exe /EcoMode /PowerScheme", StartRequest::PlanSettings, L""},
             Case{L"S.exe /PowerScheme /EcoMode", StartRequest::PlanSettings, L""},
             Case{L"S.exe /import a /EcoMode", StartRequest::EcoSettings, L""},
             Case{L"S.exe /export a /PowerScheme", StartRequest::PlanSettings, L""},
             Case{L"S.exe /import a /export b", StartRequest::Export, L"b"},
             Case{L"S.exe /export a /import b", StartRequest::Export, L"a /import b"},
         }) {
        ExpectParsed(c);
    }
}

TEST(ParseCommandLine, FileArgumentSkipsBlanksAndOnePairOfQuotes) {
    for (const Case& c : {
             Case{L"S.exe /export C:\\x\\conf", StartRequest::Export, L"C:\\x\\conf"},
             Case{L"S.exe /export     C:\\x\\conf.ECOSettings", StartRequest::Export, L"C:\\x\\conf.ECOSettings"},
             Case{L"S.exe /export \t C:\\x\\conf", StartRequest::Export, L"C:\\x\\conf"},
             Case{L"S.exe /export", StartRequest::Export, L""},
             Case{L"S.exe /export    ", StartRequest::Export, L""},
             Case{L"S.exe /import \"C:\\my dir\\conf.ECOSettings\"", StartRequest::Import, L"C:\\my dir\\conf.ECOSettings"},
             Case{L"S.exe /import \"C:\\my dir\\conf.ECOSettings\"   ", StartRequest::Import, L"C:\\my dir\\conf.ECOSettings"},
             Case{L"S.exe /import \"\"", StartRequest::Import, L""},
             Case{L"S.exe /import \"\"C:\\q\"\"", StartRequest::Import, L"\"\"C:\\q\"\""},
             Case{L"S.exe /import \"C:\\a\" trailing", StartRequest::Import, L"\"C:\\a\" trailing"},
             Case{L"S.exe /import \"C:\\unclosed", StartRequest::Import, L"\"C:\\unclosed"},
             Case{L"S.exe /export C:\\a b\\c  d ", StartRequest::Export, L"C:\\a b\\c  d "},
             Case{L"S.exe /export C:\\a/EcoMode.ECOSettings", StartRequest::Export, L"C:\\a/EcoMode.ECOSettings"},
             Case{L"S.exe /export \"C:\\dir /EcoMode\\f.ECOSettings\"", StartRequest::Export, L"C:\\dir /EcoMode\\f.ECOSettings"},
         }) {
        ExpectParsed(c);
    }
}

TEST(ParseCommandLine, FileArgumentFollowsTheMatchingSwitchNotAnEarlierMention) {
    // "/export" inside the quoted program name is no switch; the file follows the real one.
    ExpectParsed({L"\"C:\\x /export y\\S.exe\" /export  out.ECOSettings", StartRequest::Export, L"out.ECOSettings"});
    // A quoted argument holding the switch text is one argument and no switch.
    ExpectParsed({L"S.exe \"a /export b\" /import in.ECOSettings", StartRequest::Import, L"in.ECOSettings"});
}

}  // namespace
