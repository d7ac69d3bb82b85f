// The helpers every part of the programs shares: texts, thread joining, mutex hand-back.
#include <gtest/gtest.h>

#include <string>

#include "common/handles.h"
#include "common/text.h"
#include "common/threads.h"
#include "test_strings.h"

namespace {

TEST(LoadText, TextsMissingIdsAndCutBuffers) {
    struct Case {
        UINT id;
        size_t cch;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {IDS_TEST_FAIL, 64, L"fail : CreateEvent"},
        {IDS_TEST_FAIL, 5, L"fail"},  // cut, still terminated
        {IDS_TEST_FAIL, 1, L""},
        {IDS_TEST_JAPANESE, 64, L"失敗 : テスト"},
        {IDS_TEST_MISSING, 64, L""},
    };
    common::SetTextModule(nullptr);
    for (const Case& c : cases) {
        wchar_t text[64];
        wmemset(text, L'#', ARRAYSIZE(text));
        common::LoadText(c.id, text, c.cch);
        EXPECT_EQ(std::wstring(text), c.expected) << c.id << "/" << c.cch;
    }
    common::LoadText(IDS_TEST_FAIL, nullptr, 10);  // no buffer: nothing happens
}

// A module without the texts gives empty texts; null restores the program's own module.
TEST(LoadText, ModuleCanBeChosen) {
    common::SetTextModule(GetModuleHandleW(L"kernel32.dll"));
    wchar_t text[64] = L"#";
    common::LoadText(IDS_TEST_FAIL, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"");
    common::SetTextModule(nullptr);
    common::LoadText(IDS_TEST_FAIL, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"fail : CreateEvent");
}

DWORD WINAPI SleepThenEnd(LPVOID param) {
    Sleep(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(param)));
    return 0;
}

TEST(JoinThread, WaitsForTheThreadAndClosesItsHandle) {
    struct Case {
        DWORD lifeMs;
    };
    const Case cases[] = {{0}, {700}, {1200}};  // ends within the first, second or third step
    for (const Case& c : cases) {
        common::UniqueHandle thread(CreateThread(nullptr, 0, SleepThenEnd,
                                                 reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(c.lifeMs)), 0, nullptr));
        ASSERT_TRUE(thread);
        const HANDLE raw = thread.Get();
        HANDLE watcher = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), raw, GetCurrentProcess(), &watcher, SYNCHRONIZE, FALSE, 0));
        common::UniqueHandle watch(watcher);
        EXPECT_TRUE(common::JoinThread(thread)) << c.lifeMs;
        EXPECT_FALSE(thread) << "the handle is closed";
        EXPECT_EQ(WaitForSingleObject(watch.Get(), 0), WAIT_OBJECT_0) << "the thread has ended";
    }
    common::UniqueHandle none;
    EXPECT_TRUE(common::JoinThread(none));
}

TEST(MutexLock, ReleaseGivesTheMutexBackBeforeTheScopeEnds) {
    common::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    ASSERT_TRUE(mutex);
    common::MutexLock lock(mutex.Get(), 1000);
    ASSERT_TRUE(lock.Owned());
    lock.Release();
    EXPECT_FALSE(lock.Owned());
    // Another thread can take it now.
    HANDLE raw = mutex.Get();
    common::UniqueHandle other(CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            const DWORD wait = WaitForSingleObject(static_cast<HANDLE>(param), 0);
            if (wait == WAIT_OBJECT_0) {
                ReleaseMutex(static_cast<HANDLE>(param));
            }
            return wait;
        },
        raw, 0, nullptr));
    ASSERT_TRUE(other);
    ASSERT_EQ(WaitForSingleObject(other.Get(), 5000), WAIT_OBJECT_0);
    DWORD code = 0xFFFF;
    ASSERT_TRUE(GetExitCodeThread(other.Get(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(WAIT_OBJECT_0));
    lock.Release();  // a second release changes nothing
    EXPECT_FALSE(lock.Owned());
}

}  // namespace
