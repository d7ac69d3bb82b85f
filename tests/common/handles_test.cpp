#include "common/handles.h"

#include <gtest/gtest.h>

namespace {

using common::MutexLock;
using common::UniqueHandle;
using common::UniqueRegKey;

TEST(UniqueHandle, ClosesOnResetAndMove) {
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.Valid());
    HANDLE raw = event.Get();
    UniqueHandle moved(std::move(event));
    EXPECT_FALSE(event.Valid());
    EXPECT_EQ(moved.Get(), raw);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
    moved.Reset();
    EXPECT_FALSE(GetHandleInformation(raw, &flags)) << "the handle must be closed by Reset";
}

TEST(UniqueRegKey, PutReleasesPreviousKey) {
    UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Put()), ERROR_SUCCESS);
    EXPECT_TRUE(key.Valid());
    HKEY first = key.Get();
    HKEY* slot = key.Put();
    EXPECT_EQ(*slot, nullptr);
    DWORD subkeys = 0;
    EXPECT_NE(RegQueryInfoKeyW(first, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS)
        << "Put must close the key it held";
}

TEST(MutexLock, TimesOutWhenHeldByAnotherThreadAndCountsAbandonedAsOwned) {
    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    ASSERT_TRUE(mutex.Valid());
    HANDLE raw = mutex.Get();
    // A thread that takes the mutex and ends without releasing it abandons it.
    UniqueHandle holder(CreateThread(
        nullptr, 0, [](void* m) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(m), 0); },
        raw, 0, nullptr));
    ASSERT_TRUE(holder.Valid());
    WaitForSingleObject(holder.Get(), INFINITE);
    MutexLock lock(raw, 1000);
    EXPECT_EQ(lock.WaitResult(), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(lock.Owned());
}

}  // namespace
