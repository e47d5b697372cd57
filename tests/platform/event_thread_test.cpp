// Handles, auto-reset events and threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/fault_injection.h"
#include "platform/handle.h"
#include "platform/pause_clock.h"
#include "platform/thread.h"
#include "tests/support/gate.h"

using platform::WaitResult;

TEST(Handles, AClosedHandleFailsWithBadFileAndIsNeverReused) {
    std::size_t before = platform::OpenHandleCount();
    platform::Handle first = platform::CreateEvent();
    ASSERT_NE(first, platform::kNoHandle);
    EXPECT_EQ(platform::OpenHandleCount(), before + 1);
    EXPECT_TRUE(platform::CloseHandle(first));
    EXPECT_EQ(platform::OpenHandleCount(), before);

    platform::Handle second = platform::CreateEvent();
    EXPECT_NE(second, first);
    platform::SetLastError(0);
    EXPECT_FALSE(platform::SetEvent(first));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
    EXPECT_FALSE(platform::CloseHandle(first));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
    EXPECT_EQ(platform::WaitForSingleObject(first, 0), WaitResult::kFailed);
    EXPECT_EQ(platform::WaitForSingleObject(platform::kNoHandle, 0), WaitResult::kFailed);
    platform::CloseHandle(second);
}

TEST(Events, AnAutoResetEventReleasesOneWaitPerSignal) {
    platform::Handle event = platform::CreateEvent();
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), WaitResult::kTimeout)
        << "starts unsignalled";
    platform::SetEvent(event);
    platform::SetEvent(event);  // signals do not add up
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), WaitResult::kSignalled);
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), WaitResult::kTimeout);

    platform::SetEvent(event);
    platform::ResetEvent(event);
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), WaitResult::kTimeout);
    platform::CloseHandle(event);
}

TEST(Events, AManualResetEventStaysSignalledUntilReset) {
    platform::Event event(/*manualReset=*/true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Events, ASignalFromAnotherThreadEndsAnEndlessWait) {
    platform::Handle event = platform::CreateEvent();
    std::thread setter([event] { platform::SetEvent(event); });
    EXPECT_EQ(platform::WaitForSingleObject(event, platform::kInfinite), WaitResult::kSignalled);
    setter.join();
    platform::CloseHandle(event);
}

TEST(Events, TheObjectOutlivesItsHandleForWhoeverHoldsIt) {
    platform::Handle handle = platform::CreateEvent();
    std::shared_ptr<platform::Event> object = platform::EventFromHandle(handle);
    ASSERT_NE(object, nullptr);
    platform::CloseHandle(handle);
    EXPECT_EQ(platform::EventFromHandle(handle), nullptr);
    object->Set();  // a device completing a request after its caller closed the event
    EXPECT_TRUE(object->Wait(0));
}

TEST(Events, InjectedFailureHitsOnlyTheNextCreation) {
    platform::testing::FailNextCreateEvent(ENOMEM);
    EXPECT_EQ(platform::CreateEvent(), platform::kNoHandle);
    EXPECT_EQ(platform::GetLastError(), ENOMEM);
    platform::Handle event = platform::CreateEvent();
    EXPECT_NE(event, platform::kNoHandle);
    platform::CloseHandle(event);
}

TEST(Threads, TheHandleSignalsOnceTheFunctionHasReturned) {
    testsupport::Gate release;
    std::atomic<bool> ran{false};
    platform::Handle thread = platform::CreateThread([&] {
        release.Wait();
        ran = true;
    });
    ASSERT_NE(thread, platform::kNoHandle);
    EXPECT_EQ(platform::WaitForSingleObject(thread, 20), WaitResult::kTimeout);
    release.Open();
    EXPECT_EQ(platform::WaitForSingleObject(thread, platform::kInfinite), WaitResult::kSignalled);
    EXPECT_TRUE(ran);
    // Stays signalled: every later wait sees the thread ended.
    EXPECT_EQ(platform::WaitForSingleObject(thread, 0), WaitResult::kSignalled);
    EXPECT_TRUE(platform::CloseHandle(thread));
}

// Whoever sees the thread ended may free what the thread function captured; so the captures
// must be gone by then.
TEST(Threads, CapturesAreDestroyedBeforeTheHandleSignals) {
    struct Witness {
        std::atomic<bool>* destroyed = nullptr;
        ~Witness() { *destroyed = true; }
    };
    for (int i = 0; i < 50; ++i) {
        std::atomic<bool> destroyed{false};
        auto witness = std::make_shared<Witness>();
        witness->destroyed = &destroyed;
        platform::Handle thread = platform::CreateThread([witness] {});
        witness.reset();
        ASSERT_EQ(platform::WaitForSingleObject(thread, platform::kInfinite),
                  WaitResult::kSignalled);
        EXPECT_TRUE(destroyed) << "round " << i;
        platform::CloseHandle(thread);
    }
}

TEST(Threads, ClosingTheHandleLetsTheThreadRunToItsEnd) {
    testsupport::Gate release;
    auto finished = std::make_shared<platform::Event>(true);
    platform::Handle thread = platform::CreateThread([&release, finished] {
        release.Wait();
        finished->Set();
    });
    EXPECT_TRUE(platform::CloseHandle(thread));
    release.Open();
    EXPECT_TRUE(finished->Wait(10000));
}

TEST(Threads, InjectedFailureCanSkipCreations) {
    platform::testing::FailNextCreateThread(platform::kErrorTryAgain, /*skip=*/1);
    platform::Handle first = platform::CreateThread([] {});
    EXPECT_NE(first, platform::kNoHandle);
    EXPECT_EQ(platform::CreateThread([] {}), platform::kNoHandle);
    EXPECT_EQ(platform::GetLastError(), platform::kErrorTryAgain);
    platform::Handle third = platform::CreateThread([] {});
    EXPECT_NE(third, platform::kNoHandle);
    for (platform::Handle h : {first, third}) {
        platform::WaitForSingleObject(h, platform::kInfinite);
        platform::CloseHandle(h);
    }
}

TEST(LastError, IsKeptPerThread) {
    platform::SetLastError(platform::kErrorIo);
    std::thread other([] { platform::SetLastError(platform::kErrorNotFound); });
    other.join();
    EXPECT_EQ(platform::GetLastError(), platform::kErrorIo);
}

using platform::testing::HandPauseClock;
using platform::testing::PauseRecord;

TEST(HandPauseClock, APauseEndsOnItsSignalOrOnceTheClockHasPassedItsEnd) {
    HandPauseClock clock;
    platform::Event wake(/*manualReset=*/false);
    std::atomic<int> first{-1};
    std::atomic<int> second{-1};
    std::thread pauser([&] {
        first = wake.Pause(50);
        second = wake.Pause(30);
    });
    EXPECT_TRUE(clock.WaitUntil([](const auto& pauses) { return pauses.size() == 1; }));
    clock.Advance(49);
    EXPECT_EQ(clock.Pauses().at(0).end, PauseRecord::End::kRunning);
    clock.Advance(1);
    EXPECT_EQ(clock.Pauses().at(0).end, PauseRecord::End::kTimedOut);
    EXPECT_TRUE(clock.WaitUntil([](const auto& pauses) { return pauses.size() == 2; }));
    wake.Set();
    pauser.join();

    std::vector<PauseRecord> pauses = clock.Pauses();
    ASSERT_EQ(pauses.size(), 2u);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(pauses[0].wake, &wake);
    EXPECT_EQ(pauses[0].startMs, 0u);
    EXPECT_EQ(pauses[0].lengthMs, 50u);
    EXPECT_EQ(pauses[1].startMs, 50u);
    EXPECT_EQ(pauses[1].end, PauseRecord::End::kSignalled);
    EXPECT_EQ(pauses[1].endOrder, 2);
    EXPECT_FALSE(wake.IsSet()) << "a signal that ends a pause of an auto-reset event is used up";
}

TEST(HandPauseClock, GoingAwayEndsThePausesStillRunning) {
    platform::Event wake(/*manualReset=*/true);
    std::atomic<int> result{-1};
    std::thread pauser;
    {
        HandPauseClock clock;
        pauser = std::thread([&] { result = wake.Pause(60000); });
        EXPECT_TRUE(clock.WaitUntil([](const auto& pauses) { return pauses.size() == 1; }));
    }
    pauser.join();
    EXPECT_EQ(result, 0);
}
