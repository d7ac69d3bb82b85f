// The data service started once for all users of the session and ended by the last one,
// across real processes.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "tests/tarvik/child_process.h"
#include "tests/tarvik/library_fixture.h"

using namespace tarvik_test;

namespace {

DWORD ServiceStarts() {
    DWORD value = 0;
    GetDword(kSimMorrowKey, L"ServiceStarts", value);
    return value;
}

// Waits until `condition` holds (at most ten seconds).
template <typename Fn>
bool Eventually(Fn condition) {
    for (int i = 0; i < 200; ++i) {
        if (condition()) {
            return true;
        }
        Sleep(50);
    }
    return condition();
}

class TarvikEngine : public TarvikLibraryTest {
protected:
    void SetUp() override {
        CleanRegistry();
        EndServiceProcesses();
        ASSERT_TRUE(InstallService());
        ASSERT_TRUE(lib.Load());
        lib.GetSelectedRegion();  // readies the library: the shared blocks exist from here on
        ASSERT_EQ(EngineCount(), 0);
    }
    void TearDown() override {
        lib.Unload();
        RemoveService();
        CleanRegistry();
    }
};

TEST_F(TarvikEngine, SecondUserSharesTheServiceAndTheLastStopEndsIt) {
    ASSERT_TRUE(lib.StartEngine());
    EXPECT_EQ(EngineCount(), 1);
    DWORD enable = 0;
    ASSERT_TRUE(GetDword(kMorrowKey, L"Enable", enable));
    EXPECT_EQ(enable, 1u);
    ASSERT_TRUE(Eventually([] { return ServiceStarts() == 1; }));
    EXPECT_EQ(CountServiceProcesses(), 1);

    common::UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, L"TarvikTestReady"));
    common::UniqueHandle quit(CreateEventW(nullptr, TRUE, FALSE, L"TarvikTestQuit"));
    common::UniqueHandle child = StartChild(L"start-hold TarvikTestReady TarvikTestQuit");
    ASSERT_TRUE(child.Valid());
    ASSERT_EQ(WaitForSingleObject(ready.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(EngineCount(), 2);
    Sleep(300);
    EXPECT_EQ(CountServiceProcesses(), 1);
    EXPECT_EQ(ServiceStarts(), 1u);

    lib.StopEngine();  // the first user leaves: the service keeps running
    EXPECT_EQ(EngineCount(), 1);
    EXPECT_EQ(CountServiceProcesses(), 1);

    SetEvent(quit.Get());  // the other process, which did not start the service, stops last
    ASSERT_EQ(WaitChild(child), 0);
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_TRUE(Eventually([] { return CountServiceProcesses() == 0; }));
    EXPECT_EQ(EngineSlot(), 0u);
}

TEST_F(TarvikEngine, AUserThatDiedIsTakenOffTheCount) {
    common::UniqueHandle child = StartChild(L"start-and-die");
    ASSERT_EQ(WaitChild(child), kChildCrashed);
    EXPECT_EQ(EngineCount(), 1);
    ASSERT_TRUE(Eventually([] { return ServiceStarts() == 1; }));

    ASSERT_TRUE(lib.StartEngine());
    EXPECT_EQ(EngineCount(), 1);  // only this process uses the service now
    ASSERT_TRUE(Eventually([] { return ServiceStarts() == 2; }));
    EXPECT_TRUE(Eventually([] { return CountServiceProcesses() == 1; }));

    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_TRUE(Eventually([] { return CountServiceProcesses() == 0; }));
}

TEST_F(TarvikEngine, ADeadUserIsAlsoDroppedByAStop) {
    ASSERT_TRUE(lib.StartEngine());
    common::UniqueHandle child = StartChild(L"start-and-die");
    ASSERT_EQ(WaitChild(child), kChildCrashed);
    EXPECT_EQ(EngineCount(), 2);
    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_TRUE(Eventually([] { return CountServiceProcesses() == 0; }));
}

TEST_F(TarvikEngine, TheCountNeverGoesBelowZero) {
    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
    common::UniqueHandle child = StartChild(L"stop");
    ASSERT_EQ(WaitChild(child), 0);
    EXPECT_EQ(EngineCount(), 0);
    ASSERT_TRUE(lib.StartEngine());
    EXPECT_EQ(EngineCount(), 1);
    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_TRUE(Eventually([] { return CountServiceProcesses() == 0; }));
}

TEST_F(TarvikEngine, TheSlotCannotMakeTheLibraryEndAnotherProgram) {
    ASSERT_TRUE(lib.StartEngine());
    common::UniqueHandle quit(CreateEventW(nullptr, TRUE, FALSE, L"TarvikTestSleeperQuit"));
    common::UniqueHandle sleeper = StartChild(L"sleep TarvikTestSleeperQuit");
    ASSERT_TRUE(sleeper.Valid());
    ASSERT_TRUE(SetEngineSlot(GetProcessId(sleeper.Get())));
    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_EQ(WaitForSingleObject(sleeper.Get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(quit.Get());
    EXPECT_EQ(WaitChild(sleeper), 0);
}

// Sets the process's rights from a security descriptor string.
bool SetProcessRights(HANDLE process, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    common::UniqueLocal memory(descriptor);
    return SetKernelObjectSecurity(process, DACL_SECURITY_INFORMATION, descriptor) != FALSE;
}

// Everyone may do anything with the process except end it.
constexpr wchar_t kCannotBeEnded[] = L"D:(D;;0x0001;;;WD)(A;;0x1FFFFF;;;WD)";
constexpr wchar_t kMayBeEnded[] = L"D:(A;;0x1FFFFF;;;WD)";

// The service runs but the last stop may not end it: its record stays, so the next start uses
// the running service instead of starting a second one, and a later last stop ends it.
TEST_F(TarvikEngine, AServiceThatCouldNotBeEndedKeepsItsRecord) {
    PSECURITY_DESCRIPTOR guarded = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(kCannotBeEnded, SDDL_REVISION_1, &guarded,
                                                                     nullptr));
    common::UniqueLocal guardedMemory(guarded);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), guarded, FALSE};
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const std::wstring path = std::wstring(kServiceFolder) + L"\\Morrow.exe";
    ASSERT_TRUE(CreateProcessW(path.c_str(), nullptr, &attributes, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &info));
    common::UniqueHandle service(info.hProcess);
    common::UniqueHandle thread(info.hThread);
    struct StopOnExit {
        ~StopOnExit() {
            common::UniqueHandle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"SimulatedPC_Morrow_Stop"));
            if (stop) {
                SetEvent(stop.Get());
            }
        }
    } stopOnExit;
    ASSERT_TRUE(Eventually([] { return ServiceStarts() == 1; }));
    const ULONGLONG pid = info.dwProcessId;
    {
        common::UniqueHandle probe(OpenProcess(PROCESS_TERMINATE, FALSE, info.dwProcessId));
        ASSERT_FALSE(probe.Valid()) << "the service's rights must keep this process from ending it";
    }
    ASSERT_TRUE(SetEngineSlot(pid));

    struct Step {
        const char* what;
        bool start;  // start, else stop
        LONG count;
        ULONGLONG slot;
    };
    const Step steps[] = {
        {"a start while the recorded service runs", true, 1, pid},
        {"a last stop that cannot end the service", false, 0, pid},
        {"the next start", true, 1, pid},
    };
    for (const Step& step : steps) {
        if (step.start) {
            ASSERT_TRUE(lib.StartEngine()) << step.what;
        } else {
            lib.StopEngine();
        }
        EXPECT_EQ(EngineCount(), step.count) << step.what;
        EXPECT_EQ(EngineSlot(), step.slot) << step.what;
        EXPECT_EQ(WaitForSingleObject(service.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << step.what;
    }

    ASSERT_TRUE(SetProcessRights(service.Get(), kMayBeEnded));
    lib.StopEngine();
    EXPECT_EQ(WaitForSingleObject(service.Get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_EQ(EngineSlot(), 0u);
    EXPECT_EQ(ServiceStarts(), 1u);
}

TEST_F(TarvikEngine, AnAbandonedLockIsTakenOver) {
    common::UniqueHandle child = StartChild(L"hold-lock-and-die");
    ASSERT_EQ(WaitChild(child), kChildCrashed);
    EXPECT_TRUE(lib.StartEngine());
    EXPECT_EQ(EngineCount(), 1);
    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
}

TEST_F(TarvikEngine, AServiceThatCannotStartIsNotCounted) {
    RemoveService();
    EXPECT_FALSE(lib.StartEngine());
    EXPECT_EQ(EngineCount(), 0);
    DWORD enable = 0;
    ASSERT_TRUE(GetDword(kMorrowKey, L"Enable", enable));
    EXPECT_EQ(enable, 1u);
    EXPECT_EQ(CountServiceProcesses(), 0);
}

// The simulated service program itself: one instance per session, ended by its stop event.
TEST_F(TarvikEngine, ServiceProgramRunsOnceAndEndsOnRequest) {
    auto start = [] {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::wstring path = std::wstring(kServiceFolder) + L"\\Morrow.exe";
        if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            return common::UniqueHandle();
        }
        common::UniqueHandle thread(info.hThread);
        return common::UniqueHandle(info.hProcess);
    };
    common::UniqueHandle first = start();
    ASSERT_TRUE(first.Valid());
    ASSERT_TRUE(Eventually([] { return ServiceStarts() == 1; }));
    DWORD pid = 0;
    ASSERT_TRUE(GetDword(kSimMorrowKey, L"ServicePid", pid));
    EXPECT_EQ(pid, GetProcessId(first.Get()));
    common::UniqueHandle second = start();
    ASSERT_TRUE(second.Valid());
    EXPECT_EQ(WaitChild(second, 10000), 1);
    EXPECT_EQ(ServiceStarts(), 1u);
    {
        common::UniqueHandle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"SimulatedPC_Morrow_Stop"));
        ASSERT_TRUE(stop.Valid());
        SetEvent(stop.Get());
    }
    EXPECT_EQ(WaitChild(first, 10000), 0);
    ASSERT_TRUE(GetDword(kSimMorrowKey, L"ServicePid", pid));
    EXPECT_EQ(pid, 0u);
}

}  // namespace
