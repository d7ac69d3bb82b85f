// The help file's place, the energy viewer's launch entry and its command through the main window.
#include <gtest/gtest.h>

#include <string>

#include "app/app_globals.h"
#include "app/help.h"
#include "app/launchers.h"
#include "app/window_classes.h"
#include "common/handles.h"
#include "plans/plan_list.h"
#include "test_support.h"

namespace {

using testsupport::ScopedRegValue;
using testsupport::TempFolder;

constexpr LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr WPARAM kEnergyViewerCommand = 64;
constexpr DWORD kLaunchWaitMs = 15000;

void CreateEmptyFile(const std::wstring& path) {
    common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << GetLastError();
}

void WriteText(const std::wstring& path, const std::string& text) {
    common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(HelpFile, BesideTheProgramOrInItsLanguageFolder) {
    TempFolder folder;
    const std::wstring program = folder.Path() + L"\\Solvane.exe";
    CreateEmptyFile(program);
    wchar_t path[MAX_PATH] = {};
    ASSERT_EQ(LocateHelpFile(program.c_str(), kJapanese, path, MAX_PATH), 0u);
    EXPECT_EQ(std::wstring(path), folder.Path() + L"\\Solvane.chm") << "no language folder: the program's folder";

    ASSERT_TRUE(CreateDirectoryW((folder.Path() + L"\\ja-JP").c_str(), nullptr));
    CreateEmptyFile(folder.Path() + L"\\ja-JP\\Solvane.exe.mui");
    ASSERT_EQ(LocateHelpFile(program.c_str(), kJapanese, path, MAX_PATH), 0u);
    EXPECT_EQ(std::wstring(path), folder.Path() + L"\\ja-JP\\Solvane.chm");
    DeleteFileW((folder.Path() + L"\\ja-JP\\Solvane.exe.mui").c_str());
    RemoveDirectoryW((folder.Path() + L"\\ja-JP").c_str());

    const struct {
        const wchar_t* module;
        size_t cch;
        DWORD error;
        const wchar_t* expected;
    } cases[] = {
        {L"Solvane.exe", MAX_PATH, 0, L"Solvane.exe\\Solvane.chm"},  // no folder at all: a '\' is appended
        {L"C:\\a\\Solvane.exe", 10, ERROR_INSUFFICIENT_BUFFER, L""},
    };
    for (const auto& c : cases) {
        wchar_t out[MAX_PATH] = L"x";
        EXPECT_EQ(LocateHelpFile(c.module, kJapanese, out, c.cch), c.error);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(HelpFile, InitHelpTakesTheRunningProgramsFolder) {
    ASSERT_EQ(InitHelp(nullptr), 0u);
    EXPECT_EQ(std::wstring(HelpFilePath()), testsupport::ExeFolder() + L"Solvane.chm");
    UninitHelp();
}

TEST(EnergyViewer, EntryExistsOnlyWithALaunchPathThatExists) {
    TempFolder folder;
    const std::wstring viewer = folder.Path() + L"\\viewer.exe";
    CreateEmptyFile(viewer);
    const struct {
        const char* what;
        bool key;
        const wchar_t* path;  // null: no value
        const wchar_t* name;  // null: no value
        bool present;
        const wchar_t* menuName;
    } cases[] = {
        {"no key", false, nullptr, nullptr, false, L""},
        {"no path", true, nullptr, L"Viewer", false, L""},
        {"path missing on disk", true, L"C:\\nowhere\\viewer.exe", L"Viewer", false, L""},
        {"path and name", true, viewer.c_str(), L"Viewer", true, L"Viewer"},
        {"path without name", true, viewer.c_str(), nullptr, true, L""},
    };
    for (const auto& c : cases) {
        ScopedRegValue path(HKEY_LOCAL_MACHINE, kEnergyViewerKey, L"LaunchPath");
        ScopedRegValue name(HKEY_LOCAL_MACHINE, kEnergyViewerKey, L"LaunchMenuName");
        if (c.key) {
            // Deleting a value that is not there reports ERROR_FILE_NOT_FOUND: either way it is gone.
            if (c.path != nullptr) {
                ASSERT_EQ(path.SetString(c.path), ERROR_SUCCESS);
            } else {
                path.Delete();
            }
            if (c.name != nullptr) {
                ASSERT_EQ(name.SetString(c.name), ERROR_SUCCESS);
            } else {
                name.Delete();
            }
        }
        wchar_t menuName[kEnergyViewerTextChars] = L"x";
        wchar_t launchPath[kEnergyViewerTextChars] = L"x";
        EXPECT_EQ(ReadEnergyViewerEntry(menuName, kEnergyViewerTextChars, launchPath, kEnergyViewerTextChars),
                  c.present)
            << c.what;
        EXPECT_STREQ(menuName, c.menuName) << c.what;
        EXPECT_EQ(std::wstring(launchPath), c.present ? viewer : std::wstring()) << c.what;
    }
}

// Command 64 reaches the main window as WM_COMMAND and starts the remembered viewer.
TEST(EnergyViewer, CommandLaunchesTheRememberedViewer) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    ASSERT_EQ(RegisterWindowClasses(instance), static_cast<DWORD>(ERROR_SUCCESS));
    common::UniqueWindow hwnd(CreateWindowExW(WS_EX_LAYERED, kMainWindowClass, L"test", WS_POPUP, 0, 0, 0, 0,
                                              nullptr, nullptr, instance, nullptr));
    ASSERT_TRUE(hwnd);
    TempFolder folder;
    const std::wstring marker = folder.Path() + L"\\launched.txt";
    const std::wstring viewer = folder.Path() + L"\\viewer.cmd";
    const std::wstring markerA(marker.begin(), marker.end());
    WriteText(viewer, "@echo launched> \"" + std::string(markerA.begin(), markerA.end()) + "\"\r\n");
    RememberEnergyViewerPath(viewer.c_str());

    SendMessageW(hwnd.Get(), WM_COMMAND, kEnergyViewerCommand, 0);
    const ULONGLONG deadline = GetTickCount64() + kLaunchWaitMs;
    while (!Exists(marker) && GetTickCount64() < deadline) {
        Sleep(50);
    }
    EXPECT_TRUE(Exists(marker)) << "the viewer did not start";
    RememberEnergyViewerPath(nullptr);
    for (int i = 0; i < 40 && Exists(marker) && !DeleteFileW(marker.c_str()); ++i) {
        Sleep(50);  // the batch may still hold the file
    }
    DeleteFileW(viewer.c_str());
    hwnd.Reset();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    plans::ClosePlanListLock();
    g_bRunFlag = false;
    for (const wchar_t* name : {kMainWindowClass, kFrameWindowClass, kPowerOsdWindowClass}) {
        UnregisterClassW(name, instance);
    }
}

}  // namespace
