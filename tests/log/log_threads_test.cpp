// The receive thread against the user-interface thread: rows handed over while the table is
// drained and cleared, and reply entries rewritten while frames are matched.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "log/event_log.h"
#include "tests/log/reply_recorder.h"
#include "tests/support/test_record.h"

namespace {

CanMsg Received(std::uint32_t n) {
    return testsupport::Record({.type = CAN_EV_RX, .id = n, .data = {0x11, 0x22}});
}

// Ids grow in push order, so any table the user-interface thread sees must list them strictly
// falling from the top, and never hold more than the cap.
void ExpectOrderedTable(const LogModel& model) {
    ASSERT_LE(model.RowCount(), LogModel::kMaxRows);
    for (std::size_t i = 1; i < model.RowCount(); ++i) {
        ASSERT_GT(model.Row(i - 1).msg.id, model.Row(i).msg.id) << "row " << i;
    }
}

class ReceiveAgainstInterface : public ::testing::Test {
  protected:
    LogModel model;
    AutoReplies replies;
    ReplyRecorder recorder;  // touched by the producer only
    EventLog log{model, replies, recorder.Sink()};

    void SetUp() override {
        // Four entries that never match, as in a busy session.
        for (int i = 0; i < AutoReplies::kEntryCount; ++i) {
            replies.SetEntry(i, {0x7000u + static_cast<std::uint32_t>(i), "99", 0x1, "01"});
        }
    }
};

TEST_F(ReceiveAgainstInterface, EveryRowIsShownOrCountedAsSkipped) {
    constexpr std::uint32_t kRows = 300000;
    std::atomic<bool> finished{false};
    std::thread producer([&] {
        for (std::uint32_t n = 1; n <= kRows; ++n) {
            const CanMsg m = Received(n);
            log.OnCanNotify(&m, n * 0.001, 0.001);
        }
        finished.store(true, std::memory_order_release);
    });

    std::uint64_t added = 0;
    auto watch = [&] {
        while (!finished.load(std::memory_order_acquire)) {
            if (!model.HasPending()) {
                std::this_thread::yield();
                continue;
            }
            added += model.Drain();
            ASSERT_NO_FATAL_FAILURE(ExpectOrderedTable(model));
        }
    };
    watch();
    producer.join();
    added += model.Drain();

    EXPECT_EQ(added + model.SkippedCount(), kRows);
    ExpectOrderedTable(model);
    ASSERT_EQ(model.RowCount(), LogModel::kMaxRows);
    EXPECT_EQ(model.Row(0).msg.id, kRows);
    EXPECT_EQ(model.Row(LogModel::kMaxRows - 1).msg.id, kRows - LogModel::kMaxRows + 1);
    EXPECT_TRUE(recorder.sent.empty());
}

TEST_F(ReceiveAgainstInterface, ClearingWhileRowsArriveKeepsTheTableSound) {
    constexpr std::uint32_t kRows = 200000;
    std::atomic<bool> finished{false};
    std::thread producer([&] {
        for (std::uint32_t n = 1; n <= kRows; ++n) {
            const CanMsg m = Received(n);
            log.OnCanNotify(&m, 0, 0);
        }
        finished.store(true, std::memory_order_release);
    });

    auto watch = [&] {
        std::uint32_t newestSeen = 0;
        std::uint32_t newestCleared = 0;
        for (int round = 0; !finished.load(std::memory_order_acquire); ++round) {
            model.Drain();
            ASSERT_NO_FATAL_FAILURE(ExpectOrderedTable(model));
            if (model.RowCount() > 0) {
                ASSERT_GE(model.Row(0).msg.id, newestSeen);
                // Nothing from before a clear comes back after it.
                ASSERT_GT(model.Row(model.RowCount() - 1).msg.id, newestCleared);
                newestSeen = model.Row(0).msg.id;
            }
            if (round % 3 == 0) {
                model.Clear();
                ASSERT_EQ(model.RowCount(), 0u);
                newestCleared = newestSeen;
            }
        }
    };
    watch();
    producer.join();

    const CanMsg last = Received(kRows + 1);
    log.OnCanNotify(&last, 0, 0);
    model.Drain();
    ExpectOrderedTable(model);
    ASSERT_GE(model.RowCount(), 1u);
    EXPECT_EQ(model.Row(0).msg.id, kRows + 1);
}

TEST(RepliesAgainstDialog, EveryFrameSeesAWholeEntry) {
    // Two versions of entry 1 that both match the frame but answer differently; a torn read would
    // mix the reply id of one with the bytes of the other, or compare against the wrong trigger.
    const ReplyEntry first{0x100, "11 22", 0x201, "01 01 01"};
    const ReplyEntry second{0x100, "11", 0x202, "02 02 02 02 02 02 02 02 02 02"};
    const ReplyEntry elsewhere{0x555, "33", 0x203, ""};  // no match: never fires
    AutoReplies replies;
    replies.SetEntry(1, first);

    constexpr int kRewrites = 100000;
    std::atomic<bool> finished{false};
    std::thread dialog([&] {
        for (int i = 0; i < kRewrites; ++i) {
            const ReplyEntry& next = i % 3 == 0 ? first : i % 3 == 1 ? second : elsewhere;
            replies.SetEntry(1, next);
            const ReplyEntry shown = replies.Entry(1);
            EXPECT_TRUE(shown == first || shown == second || shown == elsewhere);
        }
        finished.store(true, std::memory_order_release);
    });

    ReplyRecorder recorder;
    const SentReply firstReply{0x201, {1, 1, 1}};
    const SentReply secondReply{0x202, std::vector<std::uint8_t>(10, 2)};
    const std::uint8_t data[2] = {0x11, 0x22};
    auto match = [&] {
        std::size_t frames = 0;
        while (!finished.load(std::memory_order_acquire)) {
            replies.MatchAutoReplies(0x100, 2, data, recorder.Sink());
            ++frames;
            ASSERT_LE(recorder.sent.size(), frames);
            if (recorder.sent.size() > 1000) {
                for (const SentReply& r : recorder.sent) {
                    ASSERT_TRUE(r == firstReply || r == secondReply) << r;
                }
                recorder.sent.clear();
                frames = 0;
            }
        }
    };
    match();
    dialog.join();
    for (const SentReply& r : recorder.sent)
        ASSERT_TRUE(r == firstReply || r == secondReply) << r;
}

}  // namespace
