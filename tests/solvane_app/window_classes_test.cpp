#include "app/window_classes.h"

#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "test_support.h"

namespace {

class WindowClasses : public testing::Test {
protected:
    void TearDown() override {
        for (const wchar_t* name : {kMainWindowClass, kFrameWindowClass, kPowerOsdWindowClass}) {
            UnregisterClassW(name, m_instance);
        }
    }
    HINSTANCE m_instance = GetModuleHandleW(nullptr);
};

TEST_F(WindowClasses, RegistersTheThreeClassesWithTheirAttributes) {
    ASSERT_EQ(RegisterWindowClasses(m_instance), static_cast<DWORD>(ERROR_SUCCESS));
    for (const wchar_t* name : {kMainWindowClass, kFrameWindowClass, kPowerOsdWindowClass}) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        ASSERT_TRUE(GetClassInfoExW(m_instance, name, &wc)) << testing::PrintToString(std::wstring(name));
        EXPECT_EQ(wc.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
        EXPECT_EQ(wc.cbClsExtra, 0);
        EXPECT_EQ(wc.cbWndExtra, 0);
        EXPECT_EQ(wc.hbrBackground, nullptr);
        EXPECT_NE(wc.hCursor, nullptr);
        EXPECT_NE(wc.lpfnWndProc, nullptr);
    }
    WNDCLASSEXW main = {};
    main.cbSize = sizeof(main);
    ASSERT_TRUE(GetClassInfoExW(m_instance, kMainWindowClass, &main));
    ASSERT_NE(main.lpszMenuName, nullptr);
    EXPECT_STREQ(main.lpszMenuName, L"Solvane");
    WNDCLASSEXW frame = {};
    frame.cbSize = sizeof(frame);
    ASSERT_TRUE(GetClassInfoExW(m_instance, kFrameWindowClass, &frame));
    EXPECT_NE(frame.lpfnWndProc, main.lpfnWndProc) << "the frame must not get the main window's procedure";
}

TEST_F(WindowClasses, ASecondRegistrationFailsWithTheSystemsError) {
    // The failure goes to ".\error.log": keep it out of the build folder.
    testsupport::TempFolder folder;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    ASSERT_EQ(RegisterWindowClasses(m_instance), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(RegisterWindowClasses(m_instance), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    SetCurrentDirectoryW(previous);
}

}  // namespace
