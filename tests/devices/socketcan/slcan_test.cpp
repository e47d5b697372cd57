// The adapter on a CAN interface that has a bit timing: the kernel's serial-line CAN driver on a
// pseudo terminal, whose other end the test plays as the adapter hardware would (reading the
// commands and frames the driver sends, writing frames and error reports). Runs inside the
// SocketCAN guest when the driver is there; skipped otherwise.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "can/sja1000_status.h"
#include "devices/socketcan/link_control.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "platform/device.h"
#include "tests/devices/sim/device_requests.h"
#include "tests/devices/socketcan/guest_tools.h"

#ifndef N_SLCAN
#define N_SLCAN 17
#endif

using namespace std::chrono_literals;

namespace {

namespace sr = can::sja1000;
using guest::Find;
using guest::ReadUntil;
using guest::UntilRecord;
using simtest::OpenDevice;
using simtest::TxMsg;

std::vector<std::int32_t> Types(const std::vector<CanMsg>& records) {
    std::vector<std::int32_t> types;
    for (const auto& r : records)
        types.push_back(r.type);
    return types;
}

// Switches CAP_NET_ADMIN in the calling thread's effective set; it stays permitted.
bool SetNetAdmin(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const std::uint32_t bit = 1u << CAP_NET_ADMIN;
    data[0].effective = on ? data[0].effective | bit : data[0].effective & ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

class Slcan : public ::testing::Test {
  protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        int discipline = N_SLCAN;
        if (ioctl(terminal, TIOCSETD, &discipline) != 0) {
            GTEST_SKIP() << "no serial-line CAN driver in this kernel: " << std::strerror(errno);
        }
        char name[IFNAMSIZ] = {};
        ASSERT_EQ(ioctl(terminal, SIOCGIFNAME, name), 0);
        iface = name;
        index = static_cast<int>(if_nametoindex(name));
        ASSERT_NE(index, 0);
        // The driver waits for its commands to be read before it goes on.
        drain = std::jthread([this](std::stop_token stop) { Drain(stop); });
        path = "\\\\.\\Slcan." + iface;
        adapter = socketcan::RegisterSocketCanAdapter(path, iface);
    }

    void TearDown() override {
        device.reset();
        if (!path.empty())
            platform::UnregisterDevice(path);
        if (drain.joinable()) {
            drain.request_stop();
            drain.join();
        }
        if (terminal >= 0)
            close(terminal);  // the interface goes with it
        if (master >= 0)
            close(master);
    }

    void Drain(std::stop_token stop) {
        char buffer[4096];
        while (!stop.stop_requested()) {
            if (paused.load()) {
                platform::Sleep(5);
                continue;
            }
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            std::lock_guard lock(mutex);
            wire.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // What the driver sent so far.
    std::string Wire() {
        std::lock_guard lock(mutex);
        return wire;
    }
    // Bytes the driver wrote that nobody read yet.
    int Unread() {
        int n = 0;
        ioctl(master, FIONREAD, &n);
        return n;
    }
    void FromBus(const std::string& line) {
        ASSERT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    void Up() { ASSERT_EQ(socketcan::SetLinkUp(index, true), 0); }
    void Open() {
        device = std::make_unique<OpenDevice>(path);
        ASSERT_TRUE(device->IsOpen()) << device->OpenError();
    }
    socketcan::LinkInfo Link() {
        socketcan::LinkInfo link;
        EXPECT_EQ(socketcan::QueryLink(index, link), 0);
        return link;
    }

    int master = -1;
    int terminal = -1;
    std::string iface;
    int index = 0;
    std::string path;
    std::shared_ptr<socketcan::SocketCanAdapter> adapter;
    std::unique_ptr<OpenDevice> device;
    std::mutex mutex;
    std::string wire;  // guarded by mutex
    std::atomic<bool> paused{false};
    std::jthread drain;
};

TEST_F(Slcan, InterfaceThatIsDownRefusesTheOpen) {
    EXPECT_EQ(OpenDevice(path).OpenError(), ENETDOWN);
    Up();
    EXPECT_TRUE(OpenDevice(path).IsOpen());
}

TEST_F(Slcan, BaudRateIsSetThroughTheKernelWhereItMayBe) {
    Up();
    Open();
    EXPECT_TRUE(Link().HasBitTiming());

    // Link down, bit timing, link up: the driver tells its hardware the rate (S4: 125 kbit/s)
    // and opens the channel again.
    ASSERT_EQ(device->SetBaudrate(125000), 0);
    EXPECT_TRUE(guest::Eventually([&] { return Wire().find("S4\rO\r") != std::string::npos; }))
        << Wire();
    EXPECT_EQ(Link().bitrate, 125000u);
    EXPECT_TRUE(Link().up);

    // The rate it runs at already: accepted, and the link is not touched.
    EXPECT_TRUE(guest::Eventually([&] { return Unread() == 0; }));
    const std::size_t sent = Wire().size();
    ASSERT_EQ(device->SetBaudrate(125000), 0);
    EXPECT_EQ(Unread(), 0);
    EXPECT_EQ(Wire().size(), sent);

    // A rate the controller cannot run at: the kernel's answer, and the old rate stays.
    EXPECT_EQ(device->SetBaudrate(33333), EINVAL);
    EXPECT_EQ(Link().bitrate, 125000u);
    EXPECT_TRUE(Link().up);

    // Without the right to configure links nothing changes either.
    ASSERT_TRUE(SetNetAdmin(false));
    EXPECT_EQ(device->SetBaudrate(250000), EPERM);
    ASSERT_TRUE(SetNetAdmin(true));
    EXPECT_EQ(Link().bitrate, 125000u);
    EXPECT_TRUE(Link().up);

    // And the device still receives after its link went down and up.
    FromBus("t1230\r");
    EXPECT_TRUE(Find(ReadUntil(device->Handle(), UntilRecord(CAN_EV_RX, 0x123)), CAN_EV_RX, 0x123));
}

TEST_F(Slcan, FramesTravelBothWays) {
    Up();
    Open();
    ASSERT_EQ(device->SetMode(CAN_MODE_PELICAN), 0);
    FromBus("t12321122\r");
    FromBus("T1234567811A\r");
    ASSERT_EQ(device->Write(TxMsg(0x321, {0xAA})), 0);
    auto records = ReadUntil(device->Handle(), [](const std::vector<CanMsg>& r) {
        return Find(r, CAN_EV_RX, 0x12345678) && Find(r, CAN_EV_TX, 0x321);
    });
    const CanMsg* standard = Find(records, CAN_EV_RX, 0x123);
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->dlc, 2);
    EXPECT_EQ(standard->data[1], 0x22);
    EXPECT_EQ(Find(records, CAN_EV_RX, 0x12345678)->data[0], 0x1A);
    EXPECT_TRUE(guest::Eventually([&] { return Wire().find("t3211AA\r") != std::string::npos; }))
        << Wire();
}

TEST_F(Slcan, DriverErrorReportsBecomeTheChipsBusEvents) {
    Up();
    Open();
    FromBus("e1a\r");  // no acknowledgement for our frame
    FromBus("e1c\r");  // CRC error in a frame we received
    FromBus("e1o\r");  // the controller's receive buffer overflowed
    FromBus("t1240\r");
    auto records = ReadUntil(device->Handle(), UntilRecord(CAN_EV_RX, 0x124));
    // The driver reports every error line as a bus error, the overflow included.
    ASSERT_EQ(Types(records),
              (std::vector<std::int32_t>{CAN_EV_BUS_ERROR, CAN_EV_BUS_ERROR, CAN_EV_BUS_ERROR,
                                         CAN_EV_OVERRUN, CAN_EV_RX}));
    EXPECT_TRUE(records[0].status & sr::kSrTransmitting);
    EXPECT_TRUE(records[1].status & sr::kSrReceiving);
    EXPECT_TRUE(records[3].status & sr::kSrDataOverrun);
    EXPECT_EQ(records[4].lost, 1);  // the frame the controller lost
    EXPECT_TRUE(records[4].status & sr::kSrDataOverrun);

    // Once more: still in the overrun state, so only the count grows.
    FromBus("e1o\r");
    FromBus("t1250\r");
    records = ReadUntil(device->Handle(), UntilRecord(CAN_EV_RX, 0x125));
    ASSERT_EQ(Types(records), (std::vector<std::int32_t>{CAN_EV_BUS_ERROR, CAN_EV_RX}));
    EXPECT_EQ(records[1].lost, 1);

    // Cleared, the next loss is reported again.
    ASSERT_EQ(device->Command(CAN_CMD_CLEAR_OVERRUN), 0);
    FromBus("e1o\r");
    FromBus("t1260\r");
    records = ReadUntil(device->Handle(), UntilRecord(CAN_EV_RX, 0x126));
    ASSERT_EQ(Types(records),
              (std::vector<std::int32_t>{CAN_EV_BUS_ERROR, CAN_EV_OVERRUN, CAN_EV_RX}));
}

TEST_F(Slcan, FullTransmitQueueRefusesTheWrite) {
    Up();
    Open();
    paused = true;  // the hardware stops taking frames
    int refusal = 0;
    int written = 0;
    for (; written < 100000 && refusal == 0; ++written)
        refusal = device->Write(TxMsg(0x330));
    EXPECT_EQ(refusal, ENOBUFS) << "after " << written << " writes";
    paused = false;
    EXPECT_TRUE(guest::Eventually([&] { return device->Write(TxMsg(0x331)) == 0; }));
}

}  // namespace
