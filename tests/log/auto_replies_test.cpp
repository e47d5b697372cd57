#include "log/auto_replies.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include "channel/device_protocol.h"
#include "tests/log/reply_recorder.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class AutoRepliesMatch : public ::testing::Test {
  protected:
    void Frame(std::uint32_t id, std::vector<std::uint8_t> data) {
        std::uint8_t record[kCanMaxSendBytes] = {};
        std::copy(data.begin(), data.end(), record);
        replies.MatchAutoReplies(id, static_cast<std::uint8_t>(data.size()), record,
                                 recorder.Sink());
    }
    AutoReplies replies;
    ReplyRecorder recorder;
};

TEST_F(AutoRepliesMatch, ReplyIdZeroNeverFires) {
    replies.SetEntry(0, {0x100, "11 22", 0, "aa"});
    replies.SetEntry(1, {0x100, "", 0, ""});
    Frame(0x100, {0x11, 0x22});
    Frame(0x100, {});
    EXPECT_THAT(recorder.sent, IsEmpty());
}

TEST_F(AutoRepliesMatch, OnlyTheTriggerIdentifierFires) {
    replies.SetEntry(0, {0x7ff, "", 0x123, "01"});
    Frame(0x7fe, {});
    Frame(0x17ff, {});
    Frame(0x0, {});
    EXPECT_THAT(recorder.sent, IsEmpty());
    Frame(0x7ff, {0x55});
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x123, {0x01}}));
}

TEST_F(AutoRepliesMatch, TriggerDataIsAPrefixOverTheShorterOfTriggerAndFrame) {
    replies.SetEntry(0, {0x100, "11 22 33", 0x200, "01"});
    Frame(0x100, {0x11, 0x22});  // only two bytes compared
    Frame(0x100, {0x11, 0x22, 0x33, 0x44});
    Frame(0x100, {0x11, 0x23, 0x33});
    Frame(0x100, {0x10});
    Frame(0x100, {0x11, 0x22, 0x34});
    EXPECT_EQ(recorder.sent.size(), 2u);

    recorder.sent.clear();
    replies.SetEntry(0, {0x100, "11 22", 0x200, "02"});
    Frame(0x100, {0x11, 0x22, 0x44, 0x55});
    Frame(0x100, {0x11, 0x23});
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x200, {0x02}}));
}

TEST_F(AutoRepliesMatch, EmptyTriggerDataOrDlcZeroFiresForTheIdentifier) {
    replies.SetEntry(0, {0x100, "", 0x200, "01"});
    replies.SetEntry(1, {0x101, "de ad", 0x201, "02"});
    Frame(0x100, {0xde, 0xad, 0xbe, 0xef});
    Frame(0x101, {});
    Frame(0x101, {0xdf});
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x200, {0x01}}, SentReply{0x201, {0x02}}));
}

TEST_F(AutoRepliesMatch, EntriesOnOneTriggerFireInEntryOrderEvenWhenASendFails) {
    recorder.result = 5;  // the device refuses every reply
    replies.SetEntry(3, {0x42, "01", 0x303, "03"});
    replies.SetEntry(0, {0x42, "", 0x300, "00"});
    replies.SetEntry(2, {0x42, "02", 0x302, "02"});  // does not match
    replies.SetEntry(1, {0x42, "01 02", 0x301, "01"});
    Frame(0x42, {0x01, 0x02});
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x300, {0x00}}, SentReply{0x301, {0x01}},
                                           SentReply{0x303, {0x03}}));
}

TEST_F(AutoRepliesMatch, ReplyDataIsParsedAsAByteList) {
    replies.SetEntry(0, {0x1, "", 0x10, ""});
    replies.SetEntry(1, {0x1, "", 0x11, "112233"});
    replies.SetEntry(2, {0x1, "", 0x12, "0 1 2 3 4 5 6 7 8 9 a b"});
    replies.SetEntry(3, {0x1, "", 0xffffffffu, "11,22"});
    Frame(0x1, {});
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x10, {}}, SentReply{0x11, {0x11, 0x22, 0x33}},
                                           SentReply{0x12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
                                           SentReply{0xffffffffu, {0x11, 0x00, 0x02}}));
}

TEST_F(AutoRepliesMatch, NeverReadsMoreThanTenDataBytes) {
    // Ten trigger bytes against a record whose dlc claims 255: the eleventh byte is not there.
    replies.SetEntry(0, {0x9, "00 01 02 03 04 05 06 07 08 09", 0x90, "ff"});
    std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    replies.MatchAutoReplies(0x9, 255, data, recorder.Sink());
    data[9] = 0x77;
    replies.MatchAutoReplies(0x9, 255, data, recorder.Sink());
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x90, {0xff}}));
}

TEST(AutoRepliesEntries, KeepTheTextsAsTypedAndIgnoreIndexesOutside) {
    AutoReplies replies;
    EXPECT_EQ(replies.Entry(2), ReplyEntry{});
    const ReplyEntry entry{0x7ff, "  11 2 ", 0x123, "zz"};
    replies.SetEntry(2, entry);
    EXPECT_EQ(replies.Entry(2), entry);
    EXPECT_EQ(replies.Entry(1), ReplyEntry{});

    replies.SetEntry(-1, entry);
    replies.SetEntry(AutoReplies::kEntryCount, entry);
    EXPECT_EQ(replies.Entry(-1), ReplyEntry{});
    EXPECT_EQ(replies.Entry(AutoReplies::kEntryCount), ReplyEntry{});
    for (int i : {0, 1, 3})
        EXPECT_EQ(replies.Entry(i), ReplyEntry{});
}

TEST(AutoRepliesEntries, ARewrittenEntryMatchesByItsNewContents) {
    AutoReplies replies;
    ReplyRecorder recorder;
    const std::uint8_t data[2] = {0x11, 0x22};
    replies.SetEntry(1, {0x100, "11", 0x200, "01"});
    replies.SetEntry(1, {0x101, "22", 0x201, "02"});
    replies.MatchAutoReplies(0x100, 2, data, recorder.Sink());
    EXPECT_THAT(recorder.sent, IsEmpty());
    const std::uint8_t other[1] = {0x22};
    replies.MatchAutoReplies(0x101, 1, other, recorder.Sink());
    EXPECT_THAT(recorder.sent, ElementsAre(SentReply{0x201, {0x02}}));
    replies.SetEntry(1, {0x101, "22", 0, "02"});
    replies.MatchAutoReplies(0x101, 1, other, recorder.Sink());
    EXPECT_EQ(recorder.sent.size(), 1u);
}

}  // namespace
