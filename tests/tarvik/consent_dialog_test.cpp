// The consent dialog: shown only without consent; accept writes "Agreement", decline does not.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/tarvik/library_fixture.h"

using namespace tarvik_test;

namespace {

struct DialogSeen {
    std::atomic<bool> found{false};
    std::wstring termsLinkClass;
    std::wstring supportLinkClass;
    std::wstring question;
    std::wstring acceptText;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// Looks for the dialog for up to `waitMs`; answers it with `command` when found.
std::thread AnswerDialog(DialogSeen& seen, WORD command, DWORD waitMs) {
    return std::thread([&seen, command, waitMs] {
        const ULONGLONG until = GetTickCount64() + waitMs;
        while (GetTickCount64() < until) {
            HWND dialog = FindWindowW(L"#32770", L"利用規約");
            // Answered once it is shown, with all its controls.
            if (dialog != nullptr && IsWindowVisible(dialog) && GetDlgItem(dialog, 7) != nullptr) {
                seen.termsLinkClass = ClassOf(GetDlgItem(dialog, 1002));
                seen.supportLinkClass = ClassOf(GetDlgItem(dialog, 1008));
                seen.question = TextOf(GetDlgItem(dialog, 1005));
                seen.acceptText = TextOf(GetDlgItem(dialog, 6));
                seen.found = true;
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
                return;
            }
            Sleep(50);
        }
    });
}

using TarvikConsent = TarvikLibraryTest;

TEST_F(TarvikConsent, ConsentGivenOnceShowsNoDialog) {
    ASSERT_TRUE(SetDword(kMorrowKey, L"Agreement", 1));
    DialogSeen seen;
    std::thread watcher = AnswerDialog(seen, 7, 1500);
    EXPECT_TRUE(lib.ShowDialog());
    watcher.join();
    EXPECT_FALSE(seen.found);
}

TEST_F(TarvikConsent, DeclineWritesNothing) {
    DialogSeen seen;
    std::thread watcher = AnswerDialog(seen, 7, 20000);
    EXPECT_FALSE(lib.ShowDialog());
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.termsLinkClass, L"SysLink");
    EXPECT_EQ(seen.supportLinkClass, L"SysLink");
    EXPECT_EQ(seen.question, L"利用規約に同意しますか?");
    EXPECT_EQ(seen.acceptText, L"同意する");
    EXPECT_FALSE(ValueExists(kMorrowKey, L"Agreement"));
}

TEST_F(TarvikConsent, EscapeDeclines) {
    DialogSeen seen;
    std::thread watcher = AnswerDialog(seen, IDCANCEL, 20000);
    EXPECT_FALSE(lib.ShowDialog());
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(lib.GetAgreement());
}

TEST_F(TarvikConsent, AcceptWritesTheAgreement) {
    DialogSeen seen;
    std::thread watcher = AnswerDialog(seen, 6, 20000);
    EXPECT_TRUE(lib.ShowDialog());
    watcher.join();
    ASSERT_TRUE(seen.found);
    DWORD agreement = 0;
    ASSERT_TRUE(GetDword(kMorrowKey, L"Agreement", agreement));
    EXPECT_EQ(agreement, 1u);
    EXPECT_TRUE(lib.GetAgreement());
}

}  // namespace
