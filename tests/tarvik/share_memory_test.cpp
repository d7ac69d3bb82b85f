// CShareMemory: named blocks shared between users, their size check and their bounded lock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "common/handles.h"
#include "tarvik/share_memory.h"

namespace {

std::wstring UniqueName(const wchar_t* base) {
    return std::wstring(base) + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount64());
}

TEST(ShareMemory, RefusesMissingNameOrSize) {
    tarvik::CShareMemory block;
    DWORD size = 4;
    EXPECT_FALSE(block.Create(nullptr, &size));
    EXPECT_FALSE(block.Create(L"", &size));
    EXPECT_FALSE(block.Create(L"TarvikTestBlock", nullptr));
    EXPECT_FALSE(block.Created());
    EXPECT_EQ(block.GetBuffer(), nullptr);
    EXPECT_FALSE(block.Lock());
}

TEST(ShareMemory, NewBlockIsZeroedAndAnExistingOneKeepsItsContents) {
    const std::wstring name = UniqueName(L"TarvikTestShared");
    tarvik::CShareMemory first;
    DWORD size = 4;
    ASSERT_TRUE(first.Create(name.c_str(), &size));
    EXPECT_GE(size, 4096u);  // the whole page
    auto* bytes = static_cast<unsigned char*>(first.GetBuffer());
    ASSERT_NE(bytes, nullptr);
    for (DWORD i = 0; i < size; ++i) {
        ASSERT_EQ(bytes[i], 0) << i;
    }
    std::memcpy(bytes, "count", 5);
    first.ReleaseBuffer();

    tarvik::CShareMemory second;
    DWORD secondSize = 8;
    ASSERT_TRUE(second.Create(name.c_str(), &secondSize));
    auto* seen = static_cast<const char*>(second.GetBuffer());
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(std::memcmp(seen, "count", 5), 0);
    second.ReleaseBuffer();
}

TEST(ShareMemory, CreatingAgainChecksTheMappedLength) {
    const std::wstring name = UniqueName(L"TarvikTestAgain");
    tarvik::CShareMemory block;
    DWORD size = 16;
    ASSERT_TRUE(block.Create(name.c_str(), &size));
    const DWORD mapped = size;
    DWORD smaller = 8;
    EXPECT_TRUE(block.Create(name.c_str(), &smaller));
    EXPECT_EQ(smaller, mapped);
    DWORD larger = mapped + 1;
    EXPECT_FALSE(block.Create(name.c_str(), &larger));
    EXPECT_TRUE(block.Created());  // still usable
    block.Close();
    EXPECT_FALSE(block.Created());
    EXPECT_EQ(block.GetBuffer(), nullptr);
}

TEST(ShareMemory, LockWaitIsBoundedAndAnAbandonedLockIsOwned) {
    const std::wstring name = UniqueName(L"TarvikTestLock");
    tarvik::CShareMemory block;
    DWORD size = 4;
    ASSERT_TRUE(block.Create(name.c_str(), &size));
    tarvik::CShareMemory other;
    DWORD otherSize = 4;
    ASSERT_TRUE(other.Create(name.c_str(), &otherSize));

    // Another thread holds the lock: the wait gives up after about 100 ms.
    common::UniqueHandle heldEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    common::UniqueHandle releaseEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE held = heldEvent.Get();
    HANDLE release = releaseEvent.Get();
    std::thread holder([&] {
        other.Lock();
        SetEvent(held);
        WaitForSingleObject(release, 10000);
        other.UnLock();
    });
    ASSERT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(block.GetBuffer(), nullptr);
    EXPECT_LT(GetTickCount64() - started, 5000u);
    SetEvent(release);
    holder.join();
    ASSERT_NE(block.GetBuffer(), nullptr);
    block.ReleaseBuffer();

    // A thread that ends holding the lock leaves it abandoned: the next user owns it.
    std::thread quitter([&] { other.Lock(); });
    quitter.join();
    EXPECT_TRUE(block.Lock());
    block.UnLock();
}

}  // namespace
