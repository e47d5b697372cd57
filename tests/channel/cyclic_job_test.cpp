#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

#include "channel/can_channel.h"
#include "channel/cyclic_job.h"
#include "platform/error.h"
#include "platform/fault_injection.h"
#include "platform/pause_clock.h"
#include "tests/channel/channel_fixture.h"
#include "tests/support/gate.h"

namespace {

std::vector<int> Keys(CanChannel* channel) {
    std::vector<int> keys;
    for (CyclicJob* job = channel->jobs; job != nullptr; job = job->next)
        keys.push_back(job->key);
    return keys;
}

bool NoStrayThreads(CanChannel* channel) {
    return std::all_of(channel->strayJobThreads.begin(), channel->strayJobThreads.end(),
                       [](platform::Handle h) { return h == platform::kNoHandle; });
}

const std::uint8_t kBytes[2] = {0x11, 0x22};

using platform::testing::HandPauseClock;
using platform::testing::PauseRecord;

// The pauses that end on one event, in the order they began.
std::vector<PauseRecord> PausesOn(const std::vector<PauseRecord>& pauses,
                                  const platform::Event* wake) {
    std::vector<PauseRecord> on;
    for (const PauseRecord& p : pauses) {
        if (p.wake == wake)
            on.push_back(p);
    }
    return on;
}

const platform::Event* WakeOf(CanChannel* channel, int key) {
    CyclicJob* job = CanFindCyclic(channel, key);
    return job != nullptr ? job->wake.get() : nullptr;
}

bool PausesBegun(const HandPauseClock& clock, const platform::Event* wake, std::size_t count) {
    return clock.WaitUntil(
        [&](const std::vector<PauseRecord>& all) { return PausesOn(all, wake).size() >= count; });
}

}  // namespace

using CyclicJobs = ChannelTest;

TEST_F(CyclicJobs, AJobSendsItsFrameAgainAndAgain) {
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x100, 0, 2, kBytes, 5), 1);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 3; }));

    CanMsg expected{};
    expected.id = 0x100;
    expected.dlc = 2;
    expected.data[0] = 0x11;
    expected.data[1] = 0x22;
    std::uint8_t want[kCanMsgSize];
    ToWire(expected, want);
    for (const auto& r : device->Requests()) {
        if (r.code == IOCTL_CAN_WRITE) {
            EXPECT_EQ(r.in, std::vector<std::uint8_t>(std::begin(want), std::end(want)));
        }
    }
    CyclicJob* job = CanFindCyclic(channel, 1);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->interval, 5u);
    EXPECT_EQ(job->channel, channel);
}

TEST_F(CyclicJobs, RestartingAKeyOnlyRetimesTheRunningJob) {
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x100, 0, 2, kBytes, 5), 1);
    const std::uint8_t other[3] = {9, 9, 9};
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x200, 0, 3, other, 7), 1);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(1));
    EXPECT_EQ(CanFindCyclic(channel, 1)->interval, 7u);

    std::size_t before = device->Count(IOCTL_CAN_WRITE);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= before + 3; }));
    for (const CanMsg& m : device->Writes()) {
        EXPECT_EQ(m.id, 0x100u);
        EXPECT_EQ(m.dlc, 2);
    }
}

// Each pause is (start, length) on the hand clock; a write comes before each.
TEST_F(CyclicJobs, AJobPausesItsIntervalAfterEachFrameAndARetimeTakesTheNextPause) {
    HandPauseClock clock;
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x100, 0, 0, nullptr, 50), 1);
    const platform::Event* wake = WakeOf(channel, 1);
    ASSERT_TRUE(PausesBegun(clock, wake, 1));
    EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), 1u);
    clock.Advance(49);
    EXPECT_EQ(PausesOn(clock.Pauses(), wake).at(0).end, PauseRecord::End::kRunning);
    clock.Advance(1);
    ASSERT_TRUE(PausesBegun(clock, wake, 2));
    EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), 2u);

    ASSERT_EQ(CanStartCyclic(channel, 1, 0x100, 0, 0, nullptr, 80), 1);
    clock.Advance(50);  // the pause under way keeps its length
    ASSERT_TRUE(PausesBegun(clock, wake, 3));
    EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), 3u);

    std::vector<std::pair<std::uint64_t, std::uint32_t>> seen;
    for (const PauseRecord& p : PausesOn(clock.Pauses(), wake))
        seen.emplace_back(p.startMs, p.lengthMs);
    EXPECT_THAT(seen, ::testing::ElementsAre(std::pair(0u, 50u), std::pair(50u, 50u),
                                             std::pair(100u, 80u)));
    CanStopAllCyclic(channel);
}

// After a refused write the job pauses 100 ms, then its interval as after any frame.
TEST_F(CyclicJobs, AFailedWritePausesAHundredMsBeforeTheInterval) {
    struct Case {
        std::uint32_t interval;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> pauses;  // start, length
    };
    const Case cases[] = {
        {0, {{0, 100}, {100, 100}}},
        {20, {{0, 100}, {100, 20}, {120, 100}}},
    };
    device->FailRequests(IOCTL_CAN_WRITE, platform::kErrorIo);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        HandPauseClock clock;
        Open();
        std::size_t writesBefore = device->Count(IOCTL_CAN_WRITE);
        ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, c.interval), 1);
        const platform::Event* wake = WakeOf(channel, 1);
        for (std::size_t i = 0; i < c.pauses.size(); ++i) {
            ASSERT_TRUE(PausesBegun(clock, wake, i + 1)) << "pause " << i;
            PauseRecord p = PausesOn(clock.Pauses(), wake)[i];
            EXPECT_EQ(p.startMs, c.pauses[i].first) << "pause " << i;
            EXPECT_EQ(p.lengthMs, c.pauses[i].second) << "pause " << i;
            if (i + 1 < c.pauses.size())
                clock.Advance(p.lengthMs);
        }
        EXPECT_EQ(device->Count(IOCTL_CAN_WRITE) - writesBefore, 2u);
        CanClose(channel);
    }
}

TEST_F(CyclicJobs, StopAllStopsTheJobsFromTheHeadOfTheList) {
    HandPauseClock clock;
    Open();
    std::vector<const platform::Event*> wakes;
    for (int key : {1, 2, 3}) {
        ASSERT_EQ(CanStartCyclic(channel, key, key, 0, 0, nullptr, 60000), 1);
        wakes.push_back(WakeOf(channel, key));
        ASSERT_TRUE(PausesBegun(clock, wakes.back(), 1));
    }
    CanStopAllCyclic(channel);

    std::vector<int> endOrder;
    for (const platform::Event* wake : wakes) {
        PauseRecord p = PausesOn(clock.Pauses(), wake).at(0);
        EXPECT_EQ(p.end, PauseRecord::End::kSignalled);
        endOrder.push_back(p.endOrder);
    }
    EXPECT_TRUE(std::is_sorted(endOrder.begin(), endOrder.end()))
        << ::testing::PrintToString(endOrder);
}

TEST_F(CyclicJobs, StoppingUnlinksFromAnyPlaceInTheList) {
    Open();
    for (int key : {1, 2, 3, 4})
        ASSERT_EQ(CanStartCyclic(channel, key, key, 0, 0, nullptr, 20), 1);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(1, 2, 3, 4));

    EXPECT_EQ(CanStopCyclic(channel, 3), 1);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(1, 2, 4));
    EXPECT_EQ(CanStopCyclic(channel, 4), 1);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(1, 2));
    EXPECT_EQ(CanStopCyclic(channel, 1), 1);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(2));
    EXPECT_EQ(CanStopCyclic(channel, 9), 0);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(2));
    EXPECT_EQ(CanFindCyclic(channel, 1), nullptr);
    EXPECT_NE(CanFindCyclic(channel, 2), nullptr);
}

TEST_F(CyclicJobs, StopAllEmptiesTheListAndEndsEveryThread) {
    Open();
    std::size_t handlesOpen = platform::OpenHandleCount();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0), 1);
    ASSERT_EQ(CanStartCyclic(channel, 2, 0x2, 0, 0, nullptr, 60000), 1);
    EXPECT_EQ(platform::OpenHandleCount(), handlesOpen + 2);
    CanStopAllCyclic(channel);
    EXPECT_EQ(channel->jobs, nullptr);
    EXPECT_TRUE(NoStrayThreads(channel)) << "a pause must end at once on stop";
    EXPECT_EQ(platform::OpenHandleCount(), handlesOpen);
}

TEST_F(CyclicJobs, CloseStopsRunningJobsFirst) {
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0), 1);
    ASSERT_EQ(CanStartCyclic(channel, 2, 0x2, 0, 0, nullptr, 60000), 1);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 10; }));
    // Every write of a job must come while the channel is still up: jobs go before its threads.
    std::atomic<int> writesAfterStop{0};
    device->SetWriteHook([&](const CanMsg&) {
        if (channel->stop.load() != 0)
            ++writesAfterStop;
    });
    CanClose(channel);
    EXPECT_EQ(channel->jobs, nullptr);
    EXPECT_TRUE(NoStrayThreads(channel));
    EXPECT_EQ(writesAfterStop, 0);
    device->SetWriteHook(nullptr);
}

TEST_F(CyclicJobs, JobsOutliveTheReceiveThreadUntilStopped) {
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0), 1);
    ASSERT_EQ(CanStartCyclic(channel, 2, 0x2, 0, 0, nullptr, 1), 1);
    device->PushReadFailure(platform::kErrorIo);
    ASSERT_TRUE(WaitUntilClosedByItself());

    // Closed: nothing new starts, the jobs stay listed, and their writes are not sent.
    EXPECT_EQ(CanStartCyclic(channel, 3, 0x3, 0, 0, nullptr, 0), 0);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(1, 2));
    std::size_t writes = device->Count(IOCTL_CAN_WRITE);
    CanStopAllCyclic(channel);
    EXPECT_EQ(channel->jobs, nullptr);
    EXPECT_TRUE(NoStrayThreads(channel));
    EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), writes);
}

// An unplugged adapter ends the receive thread; the writes that follow report "closed".
TEST_F(CyclicJobs, AWriteThatFindsTheChannelClosedPausesAsAFailedOneDoes) {
    HandPauseClock clock;
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0), 1);
    const platform::Event* wake = WakeOf(channel, 1);
    // Frames that go out need no pause: with the clock standing still, the job goes on.
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 3; }));
    EXPECT_TRUE(PausesOn(clock.Pauses(), wake).empty());
    device->PushReadFailure(platform::kErrorIo);
    ASSERT_TRUE(WaitUntilClosedByItself());

    ASSERT_TRUE(PausesBegun(clock, wake, 1));
    PauseRecord p = PausesOn(clock.Pauses(), wake)[0];
    EXPECT_EQ(p.lengthMs, 100u);
    EXPECT_EQ(CanStopCyclic(channel, 1), 1);
    EXPECT_TRUE(NoStrayThreads(channel));
    EXPECT_EQ(PausesOn(clock.Pauses(), wake).back().end, PauseRecord::End::kSignalled);
}

TEST_F(CyclicJobs, AJobWhoseWritesFailStaysStoppable) {
    device->FailRequests(IOCTL_CAN_WRITE, platform::kErrorIo);
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0), 1);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 1; }));
    // The job now sits in its 100 ms pause after the failure; stopping ends that pause.
    EXPECT_EQ(CanStopCyclic(channel, 1), 1);
    EXPECT_TRUE(NoStrayThreads(channel));
}

TEST_F(CyclicJobs, LengthIsCutToTheRecord) {
    Open();
    std::uint8_t many[40];
    for (int i = 0; i < 40; ++i)
        many[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 40, many, 60000), 1);
    ASSERT_EQ(CanStartCyclic(channel, 2, 0x2, 0, -7, many, 60000), 1);
    ASSERT_EQ(CanStartCyclic(channel, 3, 0x3, 1, 0, nullptr, 60000), 1);
    EXPECT_EQ(CanStartCyclic(channel, 4, 0x4, 0, 2, nullptr, 60000), 0);
    EXPECT_THAT(Keys(channel), ::testing::ElementsAre(1, 2, 3));

    const CanMsg& cut = CanFindCyclic(channel, 1)->msg;
    EXPECT_EQ(cut.dlc, 10);
    EXPECT_TRUE(std::equal(cut.data, cut.data + 10, many));
    EXPECT_EQ(CanFindCyclic(channel, 2)->msg.dlc, 0);
    EXPECT_EQ(CanFindCyclic(channel, 3)->msg.rtr, 1);
}

TEST_F(CyclicJobs, ANegativeWaitTimeSendsOnceAndThenWaitsForStop) {
    Open();
    int fromDialog = -50;
    ASSERT_EQ(
        CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, static_cast<std::uint32_t>(fromDialog)), 1);
    EXPECT_EQ(CanFindCyclic(channel, 1)->interval, kCanMaxIntervalMs);
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) == 1; }));
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0xFFFFFFFFu), 1);
    EXPECT_EQ(CanFindCyclic(channel, 1)->interval, kCanMaxIntervalMs);
    CanStopAllCyclic(channel);
    EXPECT_TRUE(NoStrayThreads(channel));
    EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), 1u);
}

TEST_F(CyclicJobs, AThreadThatCannotStartLeavesNoJob) {
    Open();
    platform::testing::FailNextCreateThread(platform::kErrorTryAgain);
    EXPECT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 10), 0);
    EXPECT_EQ(channel->jobs, nullptr);
}

// A job held inside a write past its stopper's 500 ms still uses the channel. Its thread is
// kept, and neither the next open nor the destroy goes on before it has ended.
TEST_F(CyclicJobs, AJobHeldPastItsBoundIsAwaitedBeforeTheRecordIsReused) {
    testsupport::Gate release;
    std::atomic<bool> held{false};
    device->SetWriteHook([&](const CanMsg&) {
        held = true;
        release.Wait();
    });
    Open();
    ASSERT_EQ(CanStartCyclic(channel, 1, 0x1, 0, 0, nullptr, 0), 1);
    ASSERT_TRUE(device->WaitUntil([&] { return held.load(); }));

    EXPECT_EQ(CanStopCyclic(channel, 1), 1);
    EXPECT_EQ(channel->jobs, nullptr);
    EXPECT_FALSE(NoStrayThreads(channel));

    release.Open();
    device->SetWriteHook(nullptr);
    Open();
    EXPECT_TRUE(NoStrayThreads(channel));
}

// A job started from a whole record sends it as given, its type included; its key must be free;
// a replaced record goes out from the next transmission on, the pause under way unchanged.
TEST_F(CyclicJobs, AJobOfAWholeRecordTakesAFreeKeyAndANewRecordAtTheNextSend) {
    HandPauseClock clock;
    Open(CAN_MODE_PELICAN);
    CanMsg first{};
    first.type = CAN_EV_TX_EXT;
    first.id = 0x18FEF100;
    first.dlc = 2;
    first.data[0] = 0xAB;
    ASSERT_EQ(CanStartCyclicMsg(channel, 0x1000, first, 40), 1);
    const platform::Event* wake = WakeOf(channel, 0x1000);
    ASSERT_TRUE(PausesBegun(clock, wake, 1));

    CanMsg other = first;
    other.id = 0x7FF;
    EXPECT_EQ(CanStartCyclicMsg(channel, 0x1000, other, 5), 0);  // taken: nothing changes
    EXPECT_EQ(CanFindCyclic(channel, 0x1000)->interval, 40u);
    EXPECT_EQ(CanSetCyclicMsg(channel, 0x1001, other), 0);

    CanMsg second = first;
    second.data[0] = 0xCD;
    second.dlc = 3;
    ASSERT_EQ(CanSetCyclicMsg(channel, 0x1000, second), 1);
    clock.Advance(40);
    ASSERT_TRUE(PausesBegun(clock, wake, 2));
    const std::vector<CanMsg> writes = device->Writes();
    ASSERT_EQ(writes.size(), 2u);
    std::vector<std::vector<int>> seen;
    for (const CanMsg& m : writes)
        seen.push_back({m.type, static_cast<int>(m.id), m.dlc, m.data[0]});
    EXPECT_THAT(seen, ::testing::ElementsAre(std::vector<int>{CAN_EV_TX_EXT, 0x18FEF100, 2, 0xAB},
                                             std::vector<int>{CAN_EV_TX_EXT, 0x18FEF100, 3, 0xCD}));
    EXPECT_EQ(PausesOn(clock.Pauses(), wake).at(1).lengthMs, 40u);
    CanStopAllCyclic(channel);
}
