// The simulated adapter through the platform's device calls, on a hand-driven clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "can/frame_bits.h"
#include "can/sja1000_status.h"
#include "devices/common/bit_timing.h"
#include "devices/sim/sim_driver.h"
#include "platform/error.h"
#include "platform/event.h"
#include "tests/devices/sim/device_requests.h"

namespace {

namespace sr = can::sja1000;
using simtest::Frame;
using simtest::Ids;
using simtest::kShapes;
using simtest::OpenDevice;
using simtest::TxMsg;
using simtest::Types;

constexpr std::uint64_t kTicksPerMs = 10000;

// Time at which a frame that starts at `start` has been taken by its receivers.
sim::Nanos FrameEnd(const can::Frame& f, sim::Nanos start, std::uint32_t baud) {
    return start + can::BitsToNanoseconds(can::BusBits(f) - can::kIntermissionBits, baud);
}

sim::Nanos BusEnd(const can::Frame& f, sim::Nanos start, std::uint32_t baud) {
    return start + can::BitsToNanoseconds(can::BusBits(f), baud);
}

std::uint64_t Ticks(sim::Nanos t) {
    return static_cast<std::uint64_t>(t / 100);
}

class SimAdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = std::string("\\\\.\\SimAdapterTest.") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { platform::UnregisterDevice(path_); }

    std::string path_;
};

TEST_F(SimAdapterTest, DeviceInformationReportsIdentAndTheTickClock) {
    sim::SimDriver driver(sim::Scenario::kQuiet, 500 * sim::kSecond);
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_TRUE(dev.IsOpen());

    std::uint8_t bytes[kCanDeviceInfoSize];
    std::memset(bytes, 0xEE, sizeof bytes);
    std::uint32_t returned = 0;
    ASSERT_EQ(dev.Request(IOCTL_CAN_GET_DEVICE_INFO, nullptr, 0, bytes, sizeof bytes, &returned),
              0);
    EXPECT_EQ(returned, kCanDeviceInfoSize);
    CanDeviceInfo info = CanDeviceInfoFromWire(bytes);
    EXPECT_EQ(info.ident, 4u);
    EXPECT_EQ(info.clockKind, 2);
    EXPECT_EQ(bytes[12], 0);
    EXPECT_EQ(bytes[14], 0);
    EXPECT_EQ(bytes[15], 0);
    // 500 s at 10000 ticks per millisecond: past 32 bits.
    EXPECT_EQ(CanDeviceClock(info), 500'000 * kTicksPerMs);
    EXPECT_EQ(info.clockHigh, 1u);

    driver.Advance(3 * sim::kMillisecond + 50);
    EXPECT_EQ(CanDeviceClock(dev.Info()), 500'003 * kTicksPerMs);
}

// What the adapter keeps over a reopen is the contract's (tests/devices/adapter_contract.h); here,
// that the kept rate is the one the bus runs at afterwards.
TEST_F(SimAdapterTest, TheKeptBaudrateTimesTheBusAfterAReopen) {
    sim::SimDriver driver;
    driver.Register(path_);
    {
        OpenDevice dev(path_);
        ASSERT_EQ(dev.SetBaudrate(125000), 0);
    }
    OpenDevice dev(path_);
    ASSERT_TRUE(dev.IsOpen());
    sim::Nanos t0 = driver.Now();
    driver.InjectFrame(Frame(0x300));
    driver.InjectFrame(Frame(0x301));
    driver.Advance(10 * sim::kMillisecond);
    auto records = dev.ReadAll();
    ASSERT_EQ(Ids(records), (std::vector<std::uint32_t>{0x300, 0x301}));
    sim::Nanos secondStart = BusEnd(Frame(0x300), t0, 125000);
    EXPECT_EQ(CanMsgTicks(records[1]), Ticks(FrameEnd(Frame(0x301), secondStart, 125000)));
}

TEST_F(SimAdapterTest, AcceptsExactlyTheControllersBaudrates) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    for (std::uint32_t rate : devices::SupportedBaudrates()) {
        EXPECT_EQ(dev.SetBaudrate(rate), 0) << rate;
        EXPECT_EQ(driver.Baudrate(), rate);
    }
    ASSERT_EQ(dev.SetBaudrate(50000), 0);
    for (std::uint32_t rate : {0u, 9999u, 10001u, 33333u, 115200u, 1000001u, 2000000u}) {
        EXPECT_EQ(dev.SetBaudrate(rate), platform::kErrorInvalidParameter) << rate;
        EXPECT_EQ(driver.Baudrate(), 50000u);
    }
}

TEST_F(SimAdapterTest, BasicCanReceivesStandardFramesOnlyStampedAtTheirEnd) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.SetBaudrate(125000), 0);
    auto standard = Frame(0x123, {1, 2, 3});
    driver.InjectFrame(Frame(0x18FEF100, {9, 9}, true));
    driver.InjectFrame(standard);
    driver.Advance(5 * sim::kMillisecond);
    EXPECT_EQ(driver.TakeBusTraffic().size(), 2u);  // both were on the bus

    auto records = dev.ReadAll();
    ASSERT_EQ(records.size(), 1u);
    const CanMsg& m = records[0];
    EXPECT_EQ(m.type, CAN_EV_RX);
    EXPECT_EQ(m.id, 0x123u);
    EXPECT_EQ(m.dlc, 3);
    EXPECT_EQ(m.rtr, 0);
    EXPECT_EQ(m.lost, 0);
    EXPECT_EQ(m.data[0], 1);
    EXPECT_EQ(m.data[2], 3);
    EXPECT_EQ(m.data[3], 0);
    EXPECT_EQ(m.status & (sr::kSrRxBuffer | sr::kSrTxBufferReleased),
              sr::kSrRxBuffer | sr::kSrTxBufferReleased);
    // The standard frame wins arbitration and goes first.
    EXPECT_EQ(CanMsgTicks(m), Ticks(FrameEnd(standard, 0, 125000)));

    ASSERT_EQ(dev.SetMode(CAN_MODE_PELICAN), 0);
    driver.InjectFrame(Frame(0x18FEF100, {9, 9}, true));
    driver.InjectFrame(Frame(0x7FF, {}, false, true));
    driver.Advance(5 * sim::kMillisecond);
    records = dev.ReadAll();
    // The extended frame's base identifier 0x63F beats 0x7FF.
    EXPECT_EQ(Ids(records), (std::vector<std::uint32_t>{0x18FEF100, 0x7FF}));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].rtr, 1);
}

TEST_F(SimAdapterTest, HardwareFilterThenSoftwareFilter) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    auto receivedOf = [&](std::vector<can::Frame> frames) {
        for (const auto& f : frames)
            driver.InjectFrame(f);
        driver.Advance(50 * sim::kMillisecond);
        return Ids(dev.ReadAll());
    };

    ASSERT_EQ(dev.SetAcceptance(0x60, 0x01), 0);
    EXPECT_EQ(receivedOf({Frame(0x2FF), Frame(0x300), Frame(0x30F), Frame(0x310)}),
              (std::vector<std::uint32_t>{0x300, 0x30F}));
    ASSERT_EQ(dev.SetSoftAcceptance(0x30F, 0x7FF), 0);
    EXPECT_EQ(receivedOf({Frame(0x300), Frame(0x30F), Frame(0x310)}),
              (std::vector<std::uint32_t>{0x30F}));

    ASSERT_EQ(dev.SetMode(CAN_MODE_PELICAN), 0);
    ASSERT_EQ(dev.SetSoftAcceptance(0, 0), 0);
    ASSERT_EQ(dev.SetAcceptance((0x123u << 21) | (0xAB << 8), 0x001F00FF), 0);
    EXPECT_EQ(receivedOf({Frame(0x123, {0xAB, 1}), Frame(0x123, {0xAC}), Frame(0x124, {0xAB}),
                          Frame(0x123)}),
              (std::vector<std::uint32_t>{0x123, 0x123}));
}

TEST_F(SimAdapterTest, WrittenFramesGoOutInOrderAndAreConfirmedOnceSent) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.SetBaudrate(125000), 0);
    ASSERT_EQ(dev.Write(TxMsg(0x300, {1, 2, 3})), 0);
    ASSERT_EQ(dev.Write(TxMsg(0x100)), 0);  // a lower identifier still waits its turn
    ASSERT_EQ(dev.Write(TxMsg(0x7FF, {}, 1)), 0);
    EXPECT_EQ(driver.PendingTransmissions(), 3u);

    auto first = Frame(0x300, {1, 2, 3});
    sim::Nanos firstEnd = FrameEnd(first, 0, 125000);
    driver.AdvanceTo(firstEnd - 1);
    EXPECT_TRUE(dev.ReadAll().empty());
    driver.AdvanceTo(firstEnd);
    auto records = dev.ReadAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, CAN_EV_TX);
    EXPECT_EQ(records[0].id, 0x300u);
    EXPECT_EQ(records[0].dlc, 3);
    EXPECT_EQ(records[0].data[2], 3);
    EXPECT_EQ(CanMsgTicks(records[0]), Ticks(firstEnd));
    EXPECT_TRUE(records[0].status & sr::kSrTxComplete);
    EXPECT_FALSE(records[0].status & sr::kSrTxBufferReleased);  // more frames wait

    driver.Advance(10 * sim::kMillisecond);
    records = dev.ReadAll();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Ids(records), (std::vector<std::uint32_t>{0x100, 0x7FF}));
    EXPECT_EQ(records[1].rtr, 1);
    EXPECT_TRUE(records[1].status & sr::kSrTxBufferReleased);
    sim::Nanos secondStart = BusEnd(first, 0, 125000);
    EXPECT_EQ(CanMsgTicks(records[0]), Ticks(FrameEnd(Frame(0x100), secondStart, 125000)));

    auto sent = driver.TakeTransmitted();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], first);
    EXPECT_EQ(sent[2], Frame(0x7FF, {}, false, true));
    EXPECT_EQ(driver.PendingTransmissions(), 0u);
}

TEST_F(SimAdapterTest, DlcAboveEightSendsEightBytesWithThatDlc) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.Write(TxMsg(0x42, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})), 0);
    driver.Advance(20 * sim::kMillisecond);
    auto traffic = driver.TakeBusTraffic();
    ASSERT_EQ(traffic.size(), 1u);
    EXPECT_EQ(traffic[0].frame.dlc, 10);
    EXPECT_EQ(traffic[0].frame.data[7], 8);
    EXPECT_EQ(traffic[0].end - traffic[0].start,
              can::BitsToNanoseconds(can::BusBits(traffic[0].frame), 20000));
    EXPECT_EQ(can::UnstuffedFrameBits(traffic[0].frame), 44 + 64);

    auto records = dev.ReadAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dlc, 10);
    EXPECT_EQ(records[0].data[7], 8);
    EXPECT_EQ(records[0].data[8], 0);
    EXPECT_EQ(records[0].data[9], 0);

    // A code that does not fit the 4-bit field is refused.
    CanMsg tooLong = TxMsg(0x42);
    tooLong.dlc = 16;
    EXPECT_EQ(dev.Write(tooLong), platform::kErrorInvalidParameter);
    EXPECT_EQ(driver.PendingTransmissions(), 0u);
}

TEST_F(SimAdapterTest, AbortDropsFramesNotYetOnTheBus) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    for (std::uint8_t id : {0x10, 0x11, 0x12})
        ASSERT_EQ(dev.Write(TxMsg(id, {id})), 0);
    driver.Advance(100 * sim::kMicrosecond);  // 0x10 is on the bus
    ASSERT_EQ(dev.Command(CAN_CMD_ABORT_TX), 0);
    driver.Advance(100 * sim::kMillisecond);
    EXPECT_EQ(Ids(dev.ReadAll()), (std::vector<std::uint32_t>{0x10}));
    EXPECT_EQ(driver.TakeTransmitted().size(), 1u);
    EXPECT_EQ(driver.PendingTransmissions(), 0u);

    // While a node holds the bus, nothing of ours has started: all of it goes.
    driver.InjectFrame(Frame(0x001, {1, 2, 3, 4, 5, 6, 7, 8}));
    driver.Advance(10 * sim::kMicrosecond);
    ASSERT_EQ(dev.Write(TxMsg(0x20)), 0);
    ASSERT_EQ(dev.Write(TxMsg(0x21)), 0);
    ASSERT_EQ(dev.Command(CAN_CMD_ABORT_TX), 0);
    driver.Advance(100 * sim::kMillisecond);
    EXPECT_EQ(Types(dev.ReadAll()), (std::vector<std::int32_t>{CAN_EV_RX}));
    EXPECT_TRUE(driver.TakeTransmitted().empty());

    // The device sends normally afterwards.
    ASSERT_EQ(dev.Write(TxMsg(0x22)), 0);
    driver.Advance(100 * sim::kMillisecond);
    EXPECT_EQ(Ids(dev.ReadAll()), (std::vector<std::uint32_t>{0x22}));
}

TEST_F(SimAdapterTest, StandbySleepsUntilBusActivityWakesTheController) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.Command(CAN_CMD_STANDBY), 0);
    EXPECT_TRUE(driver.Sleeping());
    ASSERT_EQ(dev.Write(TxMsg(0x200, {1})), 0);
    driver.Advance(5 * sim::kSecond);
    EXPECT_TRUE(dev.ReadAll().empty());
    EXPECT_TRUE(driver.TakeTransmitted().empty());

    sim::Nanos wakeAt = driver.Now();
    driver.InjectFrame(Frame(0x100, {7}));  // wakes the controller; it misses this frame
    driver.Advance(50 * sim::kMillisecond);
    driver.InjectFrame(Frame(0x101, {8}));
    driver.Advance(50 * sim::kMillisecond);
    auto records = dev.ReadAll();
    ASSERT_EQ(Types(records), (std::vector<std::int32_t>{CAN_EV_WAKE_UP, CAN_EV_TX, CAN_EV_RX}));
    EXPECT_EQ(CanMsgTicks(records[0]), Ticks(wakeAt));
    EXPECT_TRUE(records[0].status & sr::kSrReceiving);
    EXPECT_EQ(records[1].id, 0x200u);
    EXPECT_EQ(records[2].id, 0x101u);
    EXPECT_FALSE(driver.Sleeping());
}

TEST_F(SimAdapterTest, ReceiveErrorsRaiseWarningAndPassiveEvents) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    driver.CorruptNextFrames(1);
    driver.InjectFrame(Frame(0x100, {1}));
    driver.Advance(50 * sim::kMillisecond);
    auto records = dev.ReadAll();
    ASSERT_EQ(Types(records), (std::vector<std::int32_t>{CAN_EV_BUS_ERROR, CAN_EV_RX}));
    EXPECT_TRUE(records[0].status & sr::kSrReceiving);
    EXPECT_FALSE(records[0].status & sr::kSrErrorStatus);
    EXPECT_EQ(driver.ReceiveErrorCount(), 0);  // the good frame took it back

    driver.CorruptNextFrames(128);
    driver.InjectFrame(Frame(0x100, {2}));
    driver.Advance(sim::kSecond);
    records = dev.ReadAll();
    std::vector<std::int32_t> expected(96, CAN_EV_BUS_ERROR);
    expected.push_back(CAN_EV_WARNING);
    expected.insert(expected.end(), 32, CAN_EV_BUS_ERROR);
    expected.push_back(CAN_EV_PASSIVE);
    expected.push_back(CAN_EV_PASSIVE);  // the good frame ends error passive
    expected.push_back(CAN_EV_RX);
    EXPECT_EQ(Types(records), expected);
    ASSERT_EQ(records.size(), expected.size());
    EXPECT_TRUE(records[96].status & sr::kSrErrorStatus);
    EXPECT_TRUE(records[129].status & sr::kSrErrorStatus);
    EXPECT_EQ(driver.ReceiveErrorCount(), 120);
}

TEST_F(SimAdapterTest, TransmitErrorsLeadToBusOffAndRecovery) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.SetBaudrate(125000), 0);
    driver.CorruptNextFrames(32);
    ASSERT_EQ(dev.Write(TxMsg(0x123, {1})), 0);
    driver.Advance(15 * sim::kMillisecond);  // 32 attempts of 36 bits, then 11 ms off the bus
    EXPECT_TRUE(driver.BusOff());
    EXPECT_EQ(driver.TransmitErrorCount(), 256);
    driver.Advance(100 * sim::kMillisecond);
    EXPECT_FALSE(driver.BusOff());

    auto records = dev.ReadAll();
    std::vector<std::int32_t> expected(12, CAN_EV_BUS_ERROR);
    expected.push_back(CAN_EV_WARNING);
    expected.insert(expected.end(), 4, CAN_EV_BUS_ERROR);
    expected.push_back(CAN_EV_PASSIVE);
    expected.insert(expected.end(), 16, CAN_EV_BUS_ERROR);
    expected.push_back(CAN_EV_WARNING);  // bus-off
    expected.push_back(CAN_EV_WARNING);  // back on the bus
    expected.push_back(CAN_EV_PASSIVE);  // error active again
    expected.push_back(CAN_EV_TX);
    ASSERT_EQ(Types(records), expected);
    EXPECT_TRUE(records[0].status & sr::kSrTransmitting);
    EXPECT_TRUE(records[34].status & sr::kSrBusOff);
    EXPECT_FALSE(records[35].status & (sr::kSrBusOff | sr::kSrErrorStatus));

    // Nothing was sent while bus-off: the good frame starts 128 * 11 bits after it.
    auto traffic = driver.TakeBusTraffic();
    ASSERT_EQ(traffic.size(), 33u);
    EXPECT_TRUE(traffic[31].corrupted);
    EXPECT_FALSE(traffic[32].corrupted);
    sim::Nanos busOffAt = static_cast<sim::Nanos>(CanMsgTicks(records[34])) * 100;
    EXPECT_EQ(traffic[32].start - busOffAt, can::BitsToNanoseconds(128 * 11, 125000));
}

TEST_F(SimAdapterTest, LostArbitrationIsReportedAndTheFrameSentLater) {
    sim::SimDriver driver;
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.SetBaudrate(125000), 0);
    driver.InjectFrame(Frame(0x050, {1, 2, 3, 4, 5, 6, 7, 8}));
    driver.InjectFrame(Frame(0x100));
    ASSERT_EQ(dev.Write(TxMsg(0x200)), 0);
    driver.Advance(20 * sim::kMillisecond);
    auto records = dev.ReadAll();
    ASSERT_EQ(Types(records),
              (std::vector<std::int32_t>{CAN_EV_ARBITRATION, CAN_EV_RX, CAN_EV_ARBITRATION,
                                         CAN_EV_RX, CAN_EV_TX}));
    // 0x200 and 0x050 first differ in identifier bit 9: lost in the third bit (SOF, ID10, ID9).
    EXPECT_EQ(CanMsgTicks(records[0]), Ticks(can::BitsToNanoseconds(3, 125000)));
    EXPECT_TRUE(records[0].status & sr::kSrReceiving);
    EXPECT_FALSE(records[0].status & sr::kSrTxBufferReleased);
    EXPECT_EQ(Ids(records), (std::vector<std::uint32_t>{0, 0x050, 0, 0x100, 0x200}));
}

TEST_F(SimAdapterTest, ANodeAnswersARemoteFrame) {
    sim::SimDriver driver(sim::Scenario::kDefault);
    driver.Register(path_);
    OpenDevice dev(path_);
    ASSERT_EQ(dev.Write(TxMsg(0x301, {0, 0, 0, 0}, 1)), 0);
    driver.Advance(60 * sim::kMillisecond);  // before the scenario asks for 0x301 itself
    auto records = dev.ReadAll();
    auto request = std::find_if(records.begin(), records.end(),
                                [](const CanMsg& m) { return m.type == CAN_EV_TX; });
    ASSERT_NE(request, records.end());
    EXPECT_EQ(request->rtr, 1);
    auto answer = std::find_if(request, records.end(), [](const CanMsg& m) {
        return m.type == CAN_EV_RX && m.id == 0x301 && m.rtr == 0;
    });
    ASSERT_NE(answer, records.end());
    EXPECT_EQ(answer->dlc, 4);
    EXPECT_LT(CanMsgTicks(*answer) - CanMsgTicks(*request), 20 * kTicksPerMs);
}

TEST_F(SimAdapterTest, CloseDropsUnreadRecordsAndUnsentFrames) {
    sim::SimDriver driver;
    driver.Register(path_);
    {
        OpenDevice dev(path_);
        driver.InjectFrame(Frame(0x100));
        driver.Advance(5 * sim::kMillisecond);
        ASSERT_EQ(dev.Command(CAN_CMD_STANDBY), 0);
        ASSERT_EQ(dev.Write(TxMsg(0x200)), 0);
        EXPECT_EQ(driver.QueuedRecords(), 1u);
    }
    EXPECT_EQ(driver.QueuedRecords(), 0u);
    EXPECT_EQ(driver.PendingTransmissions(), 0u);
    // While nobody has it open the adapter takes nothing from the bus.
    driver.InjectFrame(Frame(0x101));
    driver.Advance(5 * sim::kMillisecond);
    OpenDevice dev(path_);
    EXPECT_FALSE(driver.Sleeping());
    EXPECT_TRUE(dev.ReadAll().empty());
    driver.InjectFrame(Frame(0x102));
    driver.Advance(5 * sim::kMillisecond);
    EXPECT_EQ(Ids(dev.ReadAll()), (std::vector<std::uint32_t>{0x102}));
}

TEST_F(SimAdapterTest, RandomRequestsLeaveAWorkingDevice) {
    sim::SimDriver driver(sim::Scenario::kDefault);
    driver.Register(path_);
    OpenDevice dev(path_);
    std::mt19937 rng(12345);
    std::uint8_t in[48];
    std::uint8_t out[48];
    for (int i = 0; i < 20000; ++i) {
        const simtest::RequestShape& s = kShapes[rng() % std::size(kShapes)];
        for (auto& b : in)
            b = static_cast<std::uint8_t>(rng());
        std::uint32_t inSize = rng() % 4 == 0 ? rng() % 41 : s.in;
        std::uint32_t outSize = rng() % 4 == 0 ? rng() % 41 : s.out;
        std::uint32_t code = rng() % 50 == 0 ? static_cast<std::uint32_t>(rng()) : s.code;
        dev.Request(code, in, inSize, out, outSize);
        if (i % 100 == 0)
            driver.Advance(static_cast<sim::Nanos>(rng() % 20) * sim::kMillisecond);
    }
    ASSERT_EQ(dev.SetMode(CAN_MODE_BASIC), 0);
    ASSERT_EQ(dev.SetAcceptance(0, 0xFFFFFFFF), 0);
    ASSERT_EQ(dev.SetSoftAcceptance(0, 0), 0);
    ASSERT_EQ(dev.Command(CAN_CMD_ABORT_TX), 0);
    ASSERT_EQ(dev.Command(CAN_CMD_CLEAR_OVERRUN), 0);
    driver.Advance(10 * sim::kSecond);  // a sleeping controller wakes up, bus-off recovers
    dev.ReadAll();
    ASSERT_EQ(dev.Write(TxMsg(0x7AB)), 0);
    driver.Advance(sim::kSecond);
    auto records = dev.ReadAll();
    EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                            [](const CanMsg& m) { return m.type == CAN_EV_TX && m.id == 0x7AB; }));
    EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                            [](const CanMsg& m) { return m.type == CAN_EV_RX; }));
}

}  // namespace
