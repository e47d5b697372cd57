// The adapter on a real kernel's virtual CAN interfaces (vcan0 and vcan1, up), with can-utils as
// the other nodes on the bus. Runs inside the SocketCAN guest.
#include <gtest/gtest.h>
#include <net/if.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "can/sja1000_status.h"
#include "devices/socketcan/link_control.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "platform/device.h"
#include "platform/error.h"
#include "tests/devices/sim/device_requests.h"
#include "tests/devices/socketcan/guest_tools.h"

using namespace std::chrono_literals;

namespace {

namespace sr = can::sja1000;
using guest::Cansend;
using guest::Find;
using guest::ReadUntil;
using guest::UntilRecord;
using simtest::OpenDevice;
using simtest::TxMsg;

const std::string kPath = "\\\\.\\VcanTest";

class VcanAdapter : public ::testing::Test {
  protected:
    void SetUp() override {
        adapter = socketcan::RegisterSocketCanAdapter(kPath, "vcan0");
        device = std::make_unique<OpenDevice>(kPath);
        ASSERT_TRUE(device->IsOpen()) << platform::ErrorText(device->OpenError());
    }
    void TearDown() override {
        device.reset();
        platform::UnregisterDevice(kPath);
    }

    std::vector<CanMsg> ReadUntilReceived(std::uint32_t id, std::int32_t type = CAN_EV_RX) {
        return ReadUntil(device->Handle(), UntilRecord(type, id));
    }

    std::shared_ptr<socketcan::SocketCanAdapter> adapter;
    std::unique_ptr<OpenDevice> device;
};

std::vector<std::uint32_t> ReceivedIds(const std::vector<CanMsg>& records) {
    std::vector<std::uint32_t> ids;
    for (const auto& r : records) {
        if (r.type == CAN_EV_RX || r.type == CAN_EV_RX_STD || r.type == CAN_EV_RX_EXT) {
            ids.push_back(r.id);
        }
    }
    return ids;
}

std::uint64_t RealTimeTicks() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return (std::uint64_t(now.tv_sec) * 1'000'000'000 + std::uint64_t(now.tv_nsec)) / 100;
}

TEST(VcanOpen, MissingOrDownInterfacesFailWithTheSystemsCode) {
    const std::string path = "\\\\.\\VcanOpen";
    socketcan::RegisterSocketCanAdapter(path, "vcan9");
    EXPECT_EQ(OpenDevice(path).OpenError(), ENODEV);
    EXPECT_EQ(platform::ErrorText(ENODEV), "No such device");

    socketcan::RegisterSocketCanAdapter(path, "vcan1");
    const int index = static_cast<int>(if_nametoindex("vcan1"));
    ASSERT_EQ(socketcan::SetLinkUp(index, false), 0);
    EXPECT_EQ(OpenDevice(path).OpenError(), ENETDOWN);
    ASSERT_EQ(socketcan::SetLinkUp(index, true), 0);
    EXPECT_TRUE(OpenDevice(path).IsOpen());
    platform::UnregisterDevice(path);
}

TEST_F(VcanAdapter, DeviceInformationIsTheFastClockOnRealTime) {
    const std::uint64_t before = RealTimeTicks();
    CanDeviceInfo info = device->Info();
    const std::uint64_t after = RealTimeTicks();
    EXPECT_EQ(info.ident, CAN_DEVICE_IDENT);
    EXPECT_EQ(info.clockKind, CAN_CLOCK_KIND_FAST);
    EXPECT_GE(CanDeviceClock(info), before);
    EXPECT_LE(CanDeviceClock(info), after);
}

TEST_F(VcanAdapter, ReceivesEveryKindOfFrameOtherNodesSend) {
    ASSERT_EQ(device->SetMode(CAN_MODE_PELICAN), 0);
    const std::uint64_t before = RealTimeTicks();
    for (const char* frame : {"123#11223344", "12345678#DEADBEEF", "7FF#", "001#0102030405060708",
                              "456#R", "00000457#R3"}) {
        ASSERT_EQ(Cansend("vcan0", frame), 0) << frame;
    }
    auto records = ReadUntilReceived(0x457);
    const std::uint64_t after = RealTimeTicks();
    ASSERT_EQ(ReceivedIds(records),
              (std::vector<std::uint32_t>{0x123, 0x12345678, 0x7FF, 0x001, 0x456, 0x457}));

    EXPECT_EQ(records[0].dlc, 4);
    EXPECT_EQ(records[0].data[3], 0x44);
    EXPECT_EQ(records[1].dlc, 4);
    EXPECT_EQ(records[1].data[0], 0xDE);
    EXPECT_EQ(records[2].dlc, 0);
    EXPECT_EQ(records[3].dlc, 8);
    EXPECT_EQ(records[3].data[7], 0x08);
    EXPECT_EQ(records[4].rtr, 1);
    EXPECT_EQ(records[4].dlc, 0);
    EXPECT_EQ(records[5].rtr, 1);
    EXPECT_EQ(records[5].dlc, 3);
    EXPECT_EQ(records[5].data[0], 0);
    std::uint64_t previous = before;
    for (const auto& r : records) {
        EXPECT_EQ(r.type, CAN_EV_RX);
        EXPECT_EQ(r.lost, 0);
        EXPECT_EQ(r.status & (sr::kSrRxBuffer | sr::kSrTxBufferReleased),
                  sr::kSrRxBuffer | sr::kSrTxBufferReleased);
        // Kernel time stamps on the device clock, in the order the frames came.
        EXPECT_GE(CanMsgTicks(r), previous);
        EXPECT_LE(CanMsgTicks(r), after);
        previous = CanMsgTicks(r);
    }
}

TEST_F(VcanAdapter, OwnFramesReachTheBusAndAreConfirmedOnlyThen) {
    const int listeners = guest::ReceiverCount("vcan0");
    const std::string dump = "/tmp/candump-own.log";
    guest::Child candump({"candump", "-L", "-n", "3", "vcan0"}, dump);
    ASSERT_TRUE(candump.Started());
    ASSERT_TRUE(guest::Eventually([&] { return guest::ReceiverCount("vcan0") > listeners; }));

    ASSERT_EQ(device->Write(TxMsg(0x123, {0x11, 0x22})), 0);
    ASSERT_EQ(device->Write(TxMsg(0x124, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})), 0);
    ASSERT_EQ(device->Write(TxMsg(0x125, {}, 1)), 0);
    ASSERT_EQ(candump.Wait(), 0);
    const std::string seen = guest::ReadFile(dump);
    EXPECT_NE(seen.find("vcan0 123#1122"), std::string::npos) << seen;
    EXPECT_NE(seen.find("vcan0 124#0102030405060708"), std::string::npos) << seen;
    EXPECT_NE(seen.find("vcan0 125#R"), std::string::npos) << seen;

    // What the confirmations carry is the adapter contract's (tests/devices/adapter_contract.h).
    auto records = ReadUntil(device->Handle(), UntilRecord(CAN_EV_TX, 0x125));
    EXPECT_EQ(records.size(), 3u);
}

TEST_F(VcanAdapter, SoftwareFilterRunsInTheKernelYetOwnFramesAreConfirmed) {
    ASSERT_EQ(device->SetSoftAcceptance(0x100, 0x7FF), 0);
    // The kernel holds the filter for this interface: identifier 100, mask 7ff, and, since
    // Basic CAN receives no extended frames, the extended flag in the mask.
    EXPECT_TRUE(guest::HasReceiver("rx_fil", "vcan0", "100", "800007ff"))
        << guest::ReadFile("/proc/net/can/rcvlist_fil");

    ASSERT_EQ(Cansend("vcan0", "101#"), 0);
    ASSERT_EQ(Cansend("vcan0", "200#"), 0);
    ASSERT_EQ(device->Write(TxMsg(0x200, {0xAB})), 0);  // rejected by the filter, yet ours
    ASSERT_EQ(Cansend("vcan0", "200#01"), 0);           // another node's 0x200 stays out
    ASSERT_EQ(Cansend("vcan0", "100#"), 0);
    auto records = ReadUntilReceived(0x100);
    EXPECT_EQ(ReceivedIds(records), std::vector<std::uint32_t>{0x100});
    const CanMsg* own = Find(records, CAN_EV_TX, 0x200);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->data[0], 0xAB);

    // Back to everything.
    ASSERT_EQ(device->SetSoftAcceptance(0, 0), 0);
    ASSERT_EQ(Cansend("vcan0", "00012345#"), 0);
    ASSERT_EQ(device->SetMode(CAN_MODE_PELICAN), 0);
    ASSERT_EQ(Cansend("vcan0", "00012346#"), 0);
    records = ReadUntilReceived(0x12346);
    EXPECT_EQ(ReceivedIds(records), std::vector<std::uint32_t>{0x12346});  // Basic CAN had none
}

TEST_F(VcanAdapter, HardwareFilterMatchesIdentifierAndDataAsTheChipDoes) {
    // Basic CAN: identifier bits 10..3 against the low code byte; 0x120..0x127 pass.
    ASSERT_EQ(device->SetAcceptance(0x24, 0x00), 0);
    for (const char* frame : {"128#", "127#", "11F#", "120#"})
        ASSERT_EQ(Cansend("vcan0", frame), 0);
    EXPECT_EQ(ReceivedIds(ReadUntilReceived(0x120)), (std::vector<std::uint32_t>{0x127, 0x120}));

    // PeliCAN single filter: identifier 0x123 with 0xAA as first data byte; remote bit, the
    // unused bits and the second data byte don't care. A frame without data bytes is compared
    // on its identifier alone, as on the chip.
    ASSERT_EQ(device->SetMode(CAN_MODE_PELICAN), 0);
    ASSERT_EQ(device->SetAcceptance((0x123u << 21) | (0xAAu << 8), 0x001F00FF), 0);
    for (const char* frame : {"123#AB01", "124#AA01", "123#AA01", "123#", "123#AA02"}) {
        ASSERT_EQ(Cansend("vcan0", frame), 0);
    }
    auto records = ReadUntil(device->Handle(), [](const std::vector<CanMsg>& r) {
        return !r.empty() && r.back().data[1] == 0x02;
    });
    ASSERT_EQ(ReceivedIds(records), (std::vector<std::uint32_t>{0x123, 0x123, 0x123}));
    EXPECT_EQ(records[0].data[1], 0x01);
    EXPECT_EQ(records[1].dlc, 0);
}

TEST_F(VcanAdapter, CommandsWithoutCounterpartAreAcceptedAndChangeNothing) {
    EXPECT_EQ(device->Command(CAN_CMD_STANDBY), 0);
    EXPECT_EQ(device->Command(CAN_CMD_ABORT_TX), 0);
    ASSERT_EQ(device->Write(TxMsg(0x310)), 0);  // still sending after standby
    ASSERT_EQ(Cansend("vcan0", "311#"), 0);     // and receiving
    auto records = ReadUntilReceived(0x311);
    EXPECT_TRUE(Find(records, CAN_EV_TX, 0x310));
}

TEST_F(VcanAdapter, VirtualBusTakesAnyClassicRate) {
    EXPECT_EQ(device->SetBaudrate(125000), 0);
    EXPECT_EQ(device->SetBaudrate(33333), 0);
    EXPECT_EQ(device->SetBaudrate(1000000), 0);
    EXPECT_EQ(device->SetBaudrate(0), EINVAL);
    EXPECT_EQ(device->SetBaudrate(2000000), EINVAL);
}

TEST_F(VcanAdapter, WriteOnADownInterfaceReturnsTheKernelsError) {
    const int index = static_cast<int>(if_nametoindex("vcan0"));
    ASSERT_EQ(socketcan::SetLinkUp(index, false), 0);
    EXPECT_EQ(device->Write(TxMsg(0x320)), ENETDOWN);
    ASSERT_EQ(socketcan::SetLinkUp(index, true), 0);
    // The socket survived the link going down and up.
    ASSERT_EQ(device->Write(TxMsg(0x321)), 0);
    ASSERT_EQ(Cansend("vcan0", "322#"), 0);
    auto records = ReadUntilReceived(0x322);
    EXPECT_TRUE(Find(records, CAN_EV_TX, 0x321));
    EXPECT_FALSE(Find(records, CAN_EV_TX, 0x320));
}

TEST(VcanFlood, SocketDropsReachLostAndEveryFrameIsAccountedFor) {
    const std::string path = "\\\\.\\VcanFlood";
    socketcan::SocketCanOptions options;
    options.receiveBufferBytes = 1;  // the kernel's minimum: a few frames
    auto adapter = std::make_shared<socketcan::SocketCanAdapter>("vcan1", options);
    platform::RegisterDevice(path, adapter);
    OpenDevice device(path);
    ASSERT_TRUE(device.IsOpen());

    const unsigned long backlogBefore = guest::BacklogDrops();
    constexpr int kFlood = 5000;
    guest::Child cangen({"cangen", "vcan1", "-g", "0", "-n", std::to_string(kFlood), "-I", "100",
                         "-L", "8", "-D", "i"});
    ASSERT_TRUE(cangen.Started());

    std::atomic<bool> floodOver{false};
    std::thread waiter([&] {
        EXPECT_EQ(cangen.Wait(), 0);
        floodOver = true;
    });
    // Read along while the flood lasts.
    std::vector<CanMsg> records = ReadUntil(
        device.Handle(), [&](const std::vector<CanMsg>&) { return floodOver.load(); },
        4 * guest::kPatience, 100ms);
    waiter.join();
    // Losses are counted with the next received frame: send a marker until one arrives, each
    // with an identifier of its own so that the last one sent is known to have come last.
    int markers = 0;
    while (markers == 0 || (markers < 10 && !Find(records, CAN_EV_RX, 0x7F0u + markers - 1))) {
        char frame[16];
        std::snprintf(frame, sizeof frame, "%03X#", 0x7F0 + markers);
        ASSERT_EQ(Cansend("vcan1", frame), 0);
        ++markers;
        auto more = ReadUntil(device.Handle(), UntilRecord(CAN_EV_RX, 0x7F0u + markers - 1), 3s);
        records.insert(records.end(), more.begin(), more.end());
    }
    ASSERT_TRUE(Find(records, CAN_EV_RX, 0x7F0u + markers - 1));

    long received = 0;
    long lost = 0;
    bool overrun = false;
    for (const auto& r : records) {
        if (r.type == CAN_EV_RX) {
            ++received;
            EXPECT_TRUE(r.id == 0x100 || r.id >= 0x7F0) << r.id;
        }
        lost += r.lost;
        if (r.type == CAN_EV_OVERRUN)
            overrun = r.status & sr::kSrDataOverrun;
    }
    const long neverDelivered = static_cast<long>(guest::BacklogDrops() - backlogBefore);
    std::printf("flood: %ld received, %ld lost, socket drop counter %u, backlog drops %ld\n",
                received, lost, adapter->SocketDrops(), neverDelivered);
    EXPECT_GT(adapter->SocketDrops(), 0u);
    EXPECT_GE(lost, static_cast<long>(adapter->SocketDrops()));
    EXPECT_TRUE(overrun);
    EXPECT_EQ(received + lost + neverDelivered, kFlood + markers);
    device.Close();
    platform::UnregisterDevice(path);
}

}  // namespace
