// Pausing a worker at its next turn, and joining workers at shutdown.
#include "app/thread_pause.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Worker {
    ThreadPauseGate* gate;
    HANDLE stop;
    std::atomic<LONG> turns{0};
    std::atomic<bool> inTurn{false};
};

DWORD WINAPI WorkerProc(void* parameter) {
    auto* worker = static_cast<Worker*>(parameter);
    while (worker->gate->WaitWhilePaused(worker->stop)) {
        worker->inTurn = true;
        Sleep(5);  // the turn's work, during which nothing may freeze it
        ++worker->turns;
        worker->inTurn = false;
        Sleep(5);
    }
    return 0;
}

TEST(ThreadPauseGate, PausedWorkerStopsBetweenTurnsAndGoesOnWhenResumed) {
    ThreadPauseGate gate;
    ASSERT_EQ(gate.Create(), static_cast<DWORD>(ERROR_SUCCESS));
    common::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Worker worker{&gate, stop.Get()};
    common::UniqueHandle thread(CreateThread(nullptr, 0, WorkerProc, &worker, 0, nullptr));
    ASSERT_TRUE(thread.Valid());
    Sleep(100);
    EXPECT_GT(worker.turns.load(), 0);

    gate.Pause();
    EXPECT_TRUE(gate.Paused());
    Sleep(100);  // the turn in progress ends
    const LONG paused = worker.turns.load();
    EXPECT_FALSE(worker.inTurn.load()) << "never held inside a turn";
    Sleep(200);
    EXPECT_EQ(worker.turns.load(), paused) << "no turn while paused";

    gate.Resume();
    EXPECT_FALSE(gate.Paused());
    Sleep(100);
    EXPECT_GT(worker.turns.load(), paused);

    SetEvent(stop.Get());
    EXPECT_TRUE(JoinWorkerThread(thread, L"worker"));
    EXPECT_FALSE(thread.Valid());
}

TEST(ThreadPauseGate, StopReachesAPausedWorker) {
    ThreadPauseGate gate;
    ASSERT_EQ(gate.Create(), static_cast<DWORD>(ERROR_SUCCESS));
    gate.Pause();
    common::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Worker worker{&gate, stop.Get()};
    common::UniqueHandle thread(CreateThread(nullptr, 0, WorkerProc, &worker, 0, nullptr));
    Sleep(100);
    EXPECT_EQ(worker.turns.load(), 0);
    SetEvent(stop.Get());
    EXPECT_EQ(WaitForSingleObject(thread.Get(), 2000), WAIT_OBJECT_0);
    EXPECT_EQ(worker.turns.load(), 0);
}

TEST(ThreadPauseGate, WithoutAGateTheWorkerRunsAndStopStillWins) {
    ThreadPauseGate gate;  // not created
    gate.Pause();
    EXPECT_FALSE(gate.Paused());
    EXPECT_TRUE(gate.WaitWhilePaused(nullptr));
    common::UniqueHandle stop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    EXPECT_FALSE(gate.WaitWhilePaused(stop.Get()));
}

DWORD WINAPI SleepProc(void* parameter) {
    Sleep(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(parameter)));
    return 0;
}

TEST(JoinWorkerThread, GivesUpAfterElevenWaitsOfHalfASecond) {
    common::UniqueHandle thread(CreateThread(nullptr, 0, SleepProc, reinterpret_cast<void*>(UINT_PTR{8000}), 0, nullptr));
    ASSERT_TRUE(thread.Valid());
    const DWORD start = GetTickCount();
    EXPECT_FALSE(JoinWorkerThread(thread, L"slow"));
    EXPECT_GE(GetTickCount() - start, 5000u) << "eleven waits of 500 ms, counting from 10 down";
    EXPECT_FALSE(thread.Valid()) << "the handle is closed either way";
    common::UniqueHandle empty;
    EXPECT_TRUE(JoinWorkerThread(empty, L"none"));
}

}  // namespace
