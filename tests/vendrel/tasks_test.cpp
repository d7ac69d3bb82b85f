#include <gtest/gtest.h>

#include "test_support.h"
#include "vendrel/tasks.h"

using namespace vendrel;
using namespace vendrel_test;

namespace {
constexpr wchar_t kProbeTask[] = L"VendrelTestTask";
constexpr DWORD kToolWaitMs = 60000;

// Where the task scheduler keeps a registered task.
bool TaskPresent(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    const std::wstring file = std::wstring(path) + L"\\tasks\\" + name;
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ShippedFile(const wchar_t* name) { return OwnFolder() + L"vendrel_product\\" + name; }
}  // namespace

TEST(TaskCommands, FormattedForTheTaskTool) {
    wchar_t command[512] = {};
    ASSERT_EQ(S_OK, FormatCreateTaskCommand(L"C:\\Program Files\\Solvane\\Solvane.exe.xml",
                                            kTaskRegFix, command, 512));
    EXPECT_STREQ(L"SCHTASKS /create /xml \"C:\\Program Files\\Solvane\\Solvane.exe.xml\" /tn SolvaneRegFix",
                 command);
    ASSERT_EQ(S_OK, FormatChangeDelayCommand(L"0001:05", kTaskRun, command, 512));
    EXPECT_STREQ(L"schtasks /Change /Delay 0001:05 /tn SolvaneRun", command);
    EXPECT_TRUE(FAILED(FormatCreateTaskCommand(L"C:\\x.xml", kTaskRun, command, 10)));
    EXPECT_TRUE(FAILED(FormatChangeDelayCommand(nullptr, kTaskRun, command, 512)));
}

TEST(RunHidden, ReportsTheCommandsExitCode) {
    DWORD code = 0;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), RunHidden(L"exit 3", kToolWaitMs, &code));
    EXPECT_EQ(3u, code);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), RunHidden(L"exit 0", kToolWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), RunHidden(nullptr, 0, &code));
    std::wstring tooLong(9000, L'a');
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), RunHidden(tooLong.c_str(), 0, &code));
}

TEST(Tasks, CreatedFromTheDefinitionFileAndDeleted) {
    ScratchFolder folder;
    const std::wstring program = folder.File(L"Solvane.exe");
    DWORD code = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
              CreateTaskFromXml(program.c_str(), L".xml", kProbeTask, 0, &code));
    EXPECT_FALSE(TaskPresent(kProbeTask));

    ASSERT_TRUE(CopyOneFile(ShippedFile(L"Solvane.exe.xml"), program + L".xml"));
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              CreateTaskFromXml(program.c_str(), L".xml", kProbeTask, 0, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(TaskPresent(kProbeTask));
    // Registering the same name again without /F fails: the task is there.
    CreateTaskFromXml(program.c_str(), L".xml", kProbeTask, 0, &code);
    EXPECT_EQ(1u, code);

    const std::wstring del = std::wstring(L"SCHTASKS /Delete /TN ") + kProbeTask + L" /F";
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), RunHidden(del.c_str(), kToolWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(TaskPresent(kProbeTask));
    RunHidden(del.c_str(), kToolWaitMs, &code);
    EXPECT_EQ(1u, code);
}

TEST(Tasks, ShippedRunTaskDefinitionIsAccepted) {
    ScratchFolder folder;
    const std::wstring program = folder.File(L"Solvane.exe");
    ASSERT_TRUE(CopyOneFile(ShippedFile(L"Solvane.exe.run.xml"), program + L".run.xml"));
    DWORD code = 0;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              CreateTaskFromXml(program.c_str(), L".run.xml", kProbeTask, 0, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(TaskPresent(kProbeTask));
    const std::wstring del = std::wstring(L"SCHTASKS /Delete /TN ") + kProbeTask + L" /F";
    RunHidden(del.c_str(), kToolWaitMs, &code);
    EXPECT_FALSE(TaskPresent(kProbeTask));
}
