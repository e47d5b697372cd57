#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "channel/can_channel.h"
#include "platform/error.h"
#include "tests/channel/channel_fixture.h"

using testsupport::Little32;

namespace {

std::vector<std::uint32_t> SentRates(const testsupport::ScriptedDevice& device) {
    std::vector<std::uint32_t> rates;
    for (const auto& r : device.Requests()) {
        if (r.code == IOCTL_CAN_SET_BAUDRATE)
            rates.push_back(Little32(r.in, 0));
    }
    return rates;
}

std::vector<std::vector<std::uint8_t>> Inputs(const testsupport::ScriptedDevice& device,
                                              std::uint32_t code) {
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const auto& r : device.Requests()) {
        if (r.code == code)
            inputs.push_back(r.in);
    }
    return inputs;
}

}  // namespace

using ChannelSettings = ChannelTest;

TEST_F(ChannelSettings, BaudrateIsSentOnlyWhenItChanges) {
    Open();
    EXPECT_EQ(CanSetBaudrate(channel, 20000), 1);
    EXPECT_THAT(SentRates(*device), ::testing::IsEmpty());
    EXPECT_EQ(CanSetBaudrate(channel, 10000), 1);
    EXPECT_EQ(CanSetBaudrate(channel, 10000), 1);
    EXPECT_THAT(SentRates(*device), ::testing::ElementsAre(10000u));
    EXPECT_EQ(Inputs(*device, IOCTL_CAN_SET_BAUDRATE)[0],
              (std::vector<std::uint8_t>{0x10, 0x27, 0x00, 0x00}));
    EXPECT_EQ(channel->baudrate, 10000u);
}

TEST_F(ChannelSettings, ARefusedBaudrateResendsThePreviousOne) {
    Open();
    ASSERT_EQ(CanSetBaudrate(channel, 10000), 1);
    device->RefuseBaudrate(1000000);
    device->ClearRequests();
    EXPECT_EQ(CanSetBaudrate(channel, 1000000), 0);
    EXPECT_THAT(SentRates(*device), ::testing::ElementsAre(1000000u, 10000u));
    EXPECT_EQ(channel->baudrate, 10000u);
}

TEST_F(ChannelSettings, AcceptanceIsRememberedBeforeItIsSent) {
    Open();
    EXPECT_EQ(CanSetAcceptance(channel, 0xFFFFFFFF, 0xFFFFFFFF), 0);
    EXPECT_EQ(device->Count(IOCTL_CAN_SET_ACCEPTANCE), 0u);

    EXPECT_EQ(CanSetAcceptance(channel, 0x100, 0x7FF), 1);
    EXPECT_EQ(Inputs(*device, IOCTL_CAN_SET_ACCEPTANCE).back(),
              (std::vector<std::uint8_t>{0x00, 0x01, 0, 0, 0xFF, 0x07, 0, 0}));

    // A pair the device refuses is remembered all the same and not sent again.
    device->FailRequests(IOCTL_CAN_SET_ACCEPTANCE, platform::kErrorIo);
    EXPECT_EQ(CanSetAcceptance(channel, 0x200, 0x7FF), 1);
    EXPECT_EQ(channel->accCode, 0x200u);
    EXPECT_EQ(channel->accMask, 0x7FFu);
    EXPECT_EQ(CanSetAcceptance(channel, 0x200, 0x7FF), 0);
    // Either value differing is a change.
    EXPECT_EQ(CanSetAcceptance(channel, 0x200, 0x7FE), 1);
    EXPECT_EQ(device->Count(IOCTL_CAN_SET_ACCEPTANCE), 3u);
}

TEST_F(ChannelSettings, SoftAcceptanceIsSentEveryTime) {
    Open();
    EXPECT_EQ(CanSetSoftAcceptance(channel, 0x12345678, 0x9ABCDEF0), 1);
    EXPECT_EQ(CanSetSoftAcceptance(channel, 0x12345678, 0x9ABCDEF0), 1);
    auto inputs = Inputs(*device, IOCTL_CAN_SET_SOFT_ACCEPTANCE);
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[1],
              (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12, 0xF0, 0xDE, 0xBC, 0x9A}));
}

TEST_F(ChannelSettings, CommandIsSentAndSucceedsWhateverTheDeviceAnswers) {
    Open();
    device->FailRequests(IOCTL_CAN_COMMAND, platform::kErrorIo);
    EXPECT_EQ(CanCommand(channel, CAN_CMD_CLEAR_OVERRUN), 1);
    EXPECT_EQ(Inputs(*device, IOCTL_CAN_COMMAND),
              (std::vector<std::vector<std::uint8_t>>{{CAN_CMD_CLEAR_OVERRUN}}));
}

TEST_F(ChannelSettings, AClosedChannelSendsNothing) {
    auto expectNothingSent = [&](const char* when) {
        CanMsg msg{};
        std::uint8_t data[2] = {1, 2};
        EXPECT_EQ(CanSetBaudrate(channel, 10000), 0) << when;
        EXPECT_EQ(CanCommand(channel, 1), 0) << when;
        EXPECT_EQ(CanSetAcceptance(channel, 1, 2), 0) << when;
        EXPECT_EQ(CanSetSoftAcceptance(channel, 1, 2), 0) << when;
        EXPECT_EQ(CanSend(channel, 0x123, 0, 2, data), 0) << when;
        EXPECT_EQ(CanWriteMsg(channel, &msg), 0) << when;
        CanResetTime(channel);
        EXPECT_EQ(CanStartCyclic(channel, 1, 0x123, 0, 2, data, 10), 0) << when;
        EXPECT_EQ(channel->baudrate, 20000u) << when;
        EXPECT_EQ(channel->accCode, 0xFFFFFFFFu) << when;
    };
    expectNothingSent("never opened");
    EXPECT_THAT(device->Requests(), ::testing::IsEmpty());

    Open();
    CanClose(channel);
    device->ClearRequests();
    expectNothingSent("after a close");
    EXPECT_THAT(device->Requests(), ::testing::IsEmpty());
}

using ChannelSend = ChannelTest;

TEST_F(ChannelSend, BuildsARecordThatIsZeroButForIdRtrDlcAndData) {
    Open();
    const std::uint8_t data[3] = {0x01, 0x02, 0x03};
    EXPECT_EQ(CanSend(channel, 0x7FF, 0, 3, data), 0);
    auto inputs = Inputs(*device, IOCTL_CAN_WRITE);
    ASSERT_EQ(inputs.size(), 1u);
    std::vector<std::uint8_t> expected(36, 0);
    expected[12] = 0xFF;  // id 0x7FF, little-endian
    expected[13] = 0x07;
    expected[21] = 3;  // dlc
    expected[26] = 0x01;
    expected[27] = 0x02;
    expected[28] = 0x03;
    EXPECT_EQ(inputs[0], expected);
}

TEST_F(ChannelSend, TenBytesFillTheWholeDataField) {
    Open();
    std::uint8_t data[10];
    for (int i = 0; i < 10; ++i)
        data[i] = static_cast<std::uint8_t>(0xA0 + i);
    EXPECT_EQ(CanSend(channel, 0x1ABCDEF0, 1, 10, data), 0);
    auto sent = Inputs(*device, IOCTL_CAN_WRITE).at(0);
    EXPECT_EQ(sent[20], 1);
    EXPECT_EQ(sent[21], 10);
    EXPECT_EQ(std::vector<std::uint8_t>(sent.begin() + 26, sent.end()),
              std::vector<std::uint8_t>(data, data + 10));
    EXPECT_EQ(Little32(sent, 12), 0x1ABCDEF0u);
}

TEST_F(ChannelSend, LengthIsCutToTheRecordAndNullDataIsFineWithoutBytes) {
    Open();
    std::uint8_t many[300];
    for (int i = 0; i < 300; ++i)
        many[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(CanSend(channel, 0x1, 0, 300, many), 0);
    EXPECT_EQ(CanSend(channel, 0x2, 0, -4, many), 0);
    EXPECT_EQ(CanSend(channel, 0x3, 0, 0, nullptr), 0);
    EXPECT_EQ(CanSend(channel, 0x4, 0, 2, nullptr), platform::kErrorInvalidParameter);

    auto writes = device->Writes();
    ASSERT_EQ(writes.size(), 3u) << "a null pointer with bytes to copy is not sent";
    EXPECT_EQ(writes[0].dlc, 10);
    EXPECT_EQ(std::memcmp(writes[0].data, many, 10), 0);
    for (const CanMsg& m : {writes[1], writes[2]}) {
        EXPECT_EQ(m.dlc, 0);
        for (std::uint8_t b : m.data)
            EXPECT_EQ(b, 0);
    }
}

TEST_F(ChannelSend, AFailedWriteReturnsThePlatformError) {
    Open();
    device->FailRequests(IOCTL_CAN_WRITE, platform::kErrorIo);
    EXPECT_EQ(CanSend(channel, 0x123, 0, 0, nullptr), platform::kErrorIo);
    CanMsg msg{};
    EXPECT_EQ(CanWriteMsg(channel, &msg), platform::kErrorIo);
    EXPECT_EQ(CanWriteMsg(channel, nullptr), platform::kErrorInvalidParameter);
}

TEST_F(ChannelSend, AWriteAfterTheReceiveThreadEndedCountsAsClosed) {
    Open();
    device->PushReadFailure(platform::kErrorIo);
    ASSERT_TRUE(WaitUntilClosedByItself());
    device->ClearRequests();
    EXPECT_EQ(CanSend(channel, 0x123, 0, 0, nullptr), 0);
    EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), 0u);
}

// The receive thread closes the device while other threads write. Whatever moment a writer
// hits, the close must read as "closed" (0), never as a failed write (kErrorInvalidHandle).
TEST_F(ChannelSend, AWriteRacingTheReceiveThreadsCloseCountsAsClosed) {
    std::atomic<int> resultInClose{-1};
    device->SetCloseHook([&] { resultInClose = CanSend(channel, 0x55, 0, 0, nullptr); });
    std::atomic<int> failures{0};
    // The window is a few instructions wide; several rounds make hitting it likely.
    for (int round = 0; round < 5; ++round) {
        Open();
        std::atomic<bool> done{false};
        std::thread writer([&] {
            while (!done) {
                if (CanSend(channel, 0x66, 0, 0, nullptr) != 0)
                    ++failures;
            }
        });
        device->PushReadFailure(platform::kErrorIo);
        ASSERT_TRUE(WaitUntilClosedByItself());
        done = true;
        writer.join();
        EXPECT_EQ(resultInClose, 0);
    }
    EXPECT_EQ(failures, 0);
    device->SetCloseHook(nullptr);
}

TEST_F(ChannelSettings, ResetTimeTakesANewBaseFromTheDeviceClock) {
    device->SetDeviceInfo(CAN_DEVICE_IDENT, 2, 10000ull * 1000);
    Open();
    EXPECT_EQ(channel->baseMs, 1000u);

    // Neither ident nor clock kind are looked at again: the rate of the open stays.
    device->SetDeviceInfo(7, 0, 10000ull * 5000);
    channel->prevMs = 77;
    CanResetTime(channel);
    EXPECT_EQ(channel->baseMs, 5000u);
    EXPECT_EQ(channel->prevMs, 0u);
    EXPECT_EQ(channel->ticksPerMs, 10000u);

    device->PushRecord(testsupport::Frame(CAN_EV_RX, 0x10, 10000ull * 5003));
    ASSERT_TRUE(recorder.WaitForCount(1));
    auto d = recorder.Deliveries().at(0);
    EXPECT_DOUBLE_EQ(d.absSeconds, 0.003);
    EXPECT_DOUBLE_EQ(d.deltaSeconds, 0.003);
}
