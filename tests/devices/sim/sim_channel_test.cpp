// The channel layer on the simulated adapter: what the program does, end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "can/frame_bits.h"
#include "channel/can_channel.h"
#include "devices/default_devices.h"
#include "devices/sim/sim_driver.h"
#include "tests/devices/sim/device_requests.h"
#include "tests/support/callback_recorder.h"
#include "tests/support/environment.h"

namespace {

using simtest::Frame;
using testsupport::CallbackRecorder;

// Waits, with a generous bound, for another thread to make `done` true.
template <class Pred>
bool Eventually(Pred done, std::chrono::milliseconds bound = std::chrono::milliseconds(10000)) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class SimChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        channel_ = CanCreateChannel(nullptr, &recorder_, CallbackRecorder::Callback);
        ASSERT_NE(channel_, nullptr);
    }
    void TearDown() override { CanDestroyChannel(channel_); }

    CallbackRecorder recorder_;
    CanChannel* channel_ = nullptr;
};

TEST_F(SimChannelTest, OpenSendReceiveOnAHandDrivenAdapter) {
    const std::string path = "\\\\.\\SimChannel.hand";
    sim::SimDriver driver;
    driver.Register(path);
    int error = -1;
    ASSERT_EQ(CanOpen(channel_, path.c_str(), CAN_MODE_PELICAN, CAN_FORMAT_STANDARD, &error), 1);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(driver.Mode(), CAN_MODE_PELICAN);

    // The program's open sequence: the unchanged hardware filter is not even sent.
    EXPECT_EQ(CanSetAcceptance(channel_, 0xFFFFFFFF, 0xFFFFFFFF), 0);
    EXPECT_EQ(CanSetSoftAcceptance(channel_, 0, 0), 1);
    EXPECT_EQ(CanSetBaudrate(channel_, 125000), 1);
    EXPECT_EQ(driver.Baudrate(), 125000u);
    // A rate the controller cannot run at is refused; the previous one stays in effect.
    EXPECT_EQ(CanSetBaudrate(channel_, 33333), 0);
    EXPECT_EQ(driver.Baudrate(), 125000u);

    driver.Advance(1234 * sim::kMillisecond);
    driver.InjectFrame(Frame(0x123, {1, 2}));
    driver.Advance(5 * sim::kMillisecond);
    ASSERT_TRUE(recorder_.WaitForCount(1));
    auto d = recorder_.Deliveries().back();
    EXPECT_EQ(d.msg.type, CAN_EV_RX);
    EXPECT_EQ(d.msg.id, 0x123u);
    EXPECT_EQ(d.msg.dlc, 2);
    EXPECT_DOUBLE_EQ(d.absSeconds, 1.234);  // the frame ended 0.5 ms into that millisecond

    const std::uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(CanSend(channel_, 0x456, 0, 10, bytes), 0);
    driver.Advance(5 * sim::kMillisecond);
    ASSERT_TRUE(recorder_.WaitForCount(2));
    d = recorder_.Deliveries().back();
    EXPECT_EQ(d.msg.type, CAN_EV_TX);
    EXPECT_EQ(d.msg.id, 0x456u);
    EXPECT_EQ(d.msg.dlc, 10);
    EXPECT_EQ(d.msg.data[7], 8);
    auto sent = driver.TakeTransmitted();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].dlc, 10);

    EXPECT_EQ(CanCommand(channel_, CAN_CMD_FORMAT_REPORT_ON), 1);
    driver.InjectFrame(Frame(0x1234567, {}, true));
    driver.Advance(5 * sim::kMillisecond);
    ASSERT_TRUE(recorder_.WaitForCount(3));
    EXPECT_EQ(recorder_.Deliveries().back().msg.type, CAN_EV_RX_EXT);

    EXPECT_EQ(CanCommand(channel_, CAN_CMD_STANDBY), 1);
    driver.InjectFrame(Frame(0x100));
    driver.Advance(5 * sim::kMillisecond);
    ASSERT_TRUE(recorder_.WaitForCount(4));
    EXPECT_EQ(recorder_.Deliveries().back().msg.type, CAN_EV_WAKE_UP);

    CanClose(channel_);
    EXPECT_EQ(CanIsOpen(channel_), 0);
    simtest::OpenDevice again(path);  // the channel let go of the device
    EXPECT_TRUE(again.IsOpen());
    again.Close();
    platform::UnregisterDevice(path);
}

TEST_F(SimChannelTest, AnswerSentFromTheCallbackGoesOnTheBus) {
    const std::string path = "\\\\.\\SimChannel.reply";
    sim::SimDriver driver;
    driver.Register(path);
    recorder_.SetAction([](CanChannel* ch, const CanMsg& m) {
        if (m.type == CAN_EV_RX && m.id == 0x100) {
            const std::uint8_t answer[2] = {m.data[0], 0xAA};
            CanSend(ch, 0x200, 0, 2, answer);
        }
    });
    int error = -1;
    ASSERT_EQ(CanOpen(channel_, path.c_str(), CAN_MODE_BASIC, CAN_FORMAT_STANDARD, &error), 1);
    driver.InjectFrame(Frame(0x100, {0x42}));
    driver.Advance(10 * sim::kMillisecond);
    ASSERT_TRUE(Eventually([&] { return driver.PendingTransmissions() == 1; }));
    driver.Advance(10 * sim::kMillisecond);
    auto sent = driver.TakeTransmitted();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], Frame(0x200, {0x42, 0xAA}));
    ASSERT_TRUE(recorder_.WaitForCount(2));
    EXPECT_EQ(recorder_.Deliveries()[1].msg.type, CAN_EV_TX);
    CanClose(channel_);
    platform::UnregisterDevice(path);
}

TEST_F(SimChannelTest, DefaultAdapterShowsALiveBusWithAPlausibleLoad) {
    testsupport::UnsetVariable(sim::kScenarioEnvironmentVariable);
    platform::UnregisterDevice(AdapterPath(0));
    RegisterDefaultDevices();
    int error = -1;
    ASSERT_EQ(CanOpen(channel_, "\\\\.\\Kvaro", CAN_MODE_BASIC, CAN_FORMAT_STANDARD, &error), 1);
    EXPECT_EQ(CanSetBaudrate(channel_, 125000), 1);
    ASSERT_TRUE(recorder_.WaitForCount(30));
    double previous = 0;
    for (const auto& d : recorder_.Deliveries()) {
        if (d.msg.type != CAN_EV_RX)
            continue;
        EXPECT_LE(d.msg.id, 0x7FFu);  // Basic CAN: no extended frames
        EXPECT_GE(d.absSeconds, previous);
        previous = d.absSeconds;
    }
    // The program counts 29 + 8n bits a frame: about 5200 bit/s of this bus, some 4 % of 125000.
    // Its first evaluation may cover only the first frames, so wait for one over a whole second.
    ASSERT_TRUE(Eventually([&] {
        double load = CanGetBusLoad(channel_);
        return load > 2.0 && load < 8.0;
    })) << CanGetBusLoad(channel_);
    CanClose(channel_);
    platform::UnregisterDevice(AdapterPath(0));
}

}  // namespace
