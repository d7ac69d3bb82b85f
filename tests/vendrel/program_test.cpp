#include <gtest/gtest.h>

#include "common/handles.h"
#include "fake_main_program.h"
#include "test_support.h"
#include "vendrel/program.h"

using namespace vendrel;
using namespace vendrel_test;

TEST(ProgramPath, FormedBesideTheHelper) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_EQ(S_OK, FormProgramPath(L"C:\\Program Files\\Solvane\\Vendrel.exe", path, MAX_PATH));
    EXPECT_STREQ(L"C:\\Program Files\\Solvane\\Solvane.exe", path);
    ASSERT_EQ(S_OK, FormProgramPath(L"Vendrel.exe", path, MAX_PATH));
    EXPECT_STREQ(L"Solvane.exe", path);
    EXPECT_TRUE(FAILED(FormProgramPath(L"C:\\x\\Vendrel.exe", path, 8)));
    EXPECT_STREQ(L"", path) << "a cut path is never used";
    EXPECT_TRUE(FAILED(FormProgramPath(nullptr, path, MAX_PATH)));

    char command[MAX_PATH + 3] = {};
    ASSERT_TRUE(FormStartCommand(L"C:\\Program Files\\Solvane\\Solvane.exe", command, sizeof(command)));
    EXPECT_STREQ("\"C:\\Program Files\\Solvane\\Solvane.exe\"", command);
    EXPECT_FALSE(FormStartCommand(L"C:\\a\\Solvane.exe", command, 5));
    EXPECT_STREQ("", command);
}

TEST(ProgramPath, FileExistsOnlyForReadableFiles) {
    ScratchFolder folder;
    EXPECT_FALSE(FileExists(folder.File(L"Solvane.exe").c_str()));
    ASSERT_TRUE(WriteBytesFile(folder.File(L"Solvane.exe"), "MZ"));
    EXPECT_TRUE(FileExists(folder.File(L"Solvane.exe").c_str()));
    EXPECT_FALSE(FileExists(L""));
    EXPECT_FALSE(FileExists(nullptr));
}

TEST(LedNumbers, RemovedFromEveryPlanKeyAndNothingElse) {
    ScratchKey scratch;
    const wchar_t* plans[] = {L"9b7d845b-af66-4d2a-b476-d4dab840abf8",
                              L"6658a2a5-119c-4e4e-931b-972bcfdd14a6",
                              L"b06fb371-2c24-43a7-b87b-5eede712b549"};
    DWORD led = 1;
    for (const wchar_t* plan : plans) {
        common::UniqueRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (scratch.Path() + L"\\" + plan).c_str(), 0,
                                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
        RegSetValueExW(key.Get(), L"LedNo", 0, REG_DWORD, reinterpret_cast<BYTE*>(&led), sizeof(led));
        DWORD icon = 10 + led;
        RegSetValueExW(key.Get(), L"IconNo", 0, REG_DWORD, reinterpret_cast<BYTE*>(&icon), sizeof(icon));
        ++led;
    }
    {
        common::UniqueRegKey parent;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, scratch.Path().c_str(), 0, KEY_SET_VALUE, parent.Put());
        RegSetValueExW(parent.Get(), L"LedNo", 0, REG_DWORD, reinterpret_cast<BYTE*>(&led), sizeof(led));
    }
    EXPECT_EQ(3, RemoveLedNumbers(HKEY_LOCAL_MACHINE, scratch.Path().c_str()));
    DWORD expectedIcon = 11;
    for (const wchar_t* plan : plans) {
        const std::wstring path = scratch.Path() + L"\\" + plan;
        DWORD value = 0, size = sizeof(value);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"LedNo",
                                                     RRF_RT_REG_DWORD, nullptr, &value, &size));
        size = sizeof(value);
        ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"IconNo",
                                              RRF_RT_REG_DWORD, nullptr, &value, &size));
        EXPECT_EQ(expectedIcon++, value) << "other values stay";
    }
    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, scratch.Path().c_str(), L"LedNo",
                                          RRF_RT_REG_DWORD, nullptr, &value, &size))
        << "only the plan keys lose LedNo";
    EXPECT_EQ(0, RemoveLedNumbers(HKEY_LOCAL_MACHINE, (scratch.Path() + L"\\absent").c_str()));
}

TEST(CloseProgram, RunningProgramIsAskedToClose) {
    FakeMainProgram program;
    ASSERT_TRUE(program.HasWindow()) << "needs a display";
    EXPECT_TRUE(CloseRunningProgram());
    EXPECT_EQ(1, program.Closes());
}

TEST(CloseProgram, NothingIsAskedWhenTheProgramDoesNotRun) {
    EXPECT_FALSE(CloseRunningProgram());
    EXPECT_FALSE(WaitAndCloseProgram(0, 3, 10));
}

TEST(CloseProgram, WaitAndCloseFindsTheStartedProgram) {
    FakeMainProgram program;
    ASSERT_TRUE(program.HasWindow());
    EXPECT_TRUE(WaitAndCloseProgram(0, 3, 10));
    EXPECT_EQ(1, program.Closes());
}
