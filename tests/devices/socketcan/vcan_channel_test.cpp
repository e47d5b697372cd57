// The whole channel layer's receive loop on the adapter over a real kernel's CAN interface.
// Runs inside the SocketCAN guest.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "channel/can_channel.h"
#include "devices/default_devices.h"
#include "devices/sim/sim_adapter.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/handle.h"
#include "tests/devices/socketcan/guest_tools.h"
#include "tests/support/callback_recorder.h"

using namespace std::chrono_literals;

namespace {

class VcanChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        handlesBefore = platform::OpenHandleCount();
        channel = CanCreateChannel(nullptr, &recorder, testsupport::CallbackRecorder::Callback);
        ASSERT_NE(channel, nullptr);
    }
    void TearDown() override {
        CanDestroyChannel(channel);
        EXPECT_EQ(platform::OpenHandleCount(), handlesBefore) << "a handle stayed open";
        platform::UnregisterDevice(path);
    }

    std::size_t Count(std::int32_t type, std::uint32_t id) const {
        auto all = recorder.Deliveries();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const auto& d) {
            return d.msg.type == type && d.msg.id == id;
        }));
    }

    const std::string path = "\\\\.\\VcanChannel";
    std::size_t handlesBefore = 0;
    testsupport::CallbackRecorder recorder;
    CanChannel* channel = nullptr;
};

TEST_F(VcanChannel, OpenOfAMissingInterfaceHandsOnTheSystemsCode) {
    socketcan::RegisterSocketCanAdapter(path, "vcan7");
    int error = 0;
    EXPECT_EQ(CanOpen(channel, path.c_str(), 0, 0, &error), 0);
    EXPECT_EQ(error, ENODEV);
    EXPECT_EQ(CanIsOpen(channel), 0);
}

TEST_F(VcanChannel, ReceiveLoopCarriesBusTrafficAndTheLoadUntilClose) {
    socketcan::RegisterSocketCanAdapter(path, "vcan0");
    int error = -1;
    ASSERT_EQ(CanOpen(channel, path.c_str(), CAN_MODE_PELICAN, CAN_FORMAT_STANDARD, &error), 1);
    ASSERT_EQ(error, 0);
    ASSERT_EQ(CanSetBaudrate(channel, 125000), 1);

    constexpr int kFrames = 300;
    guest::Child cangen(
        {"cangen", "vcan0", "-g", "1", "-n", std::to_string(kFrames), "-I", "2A0", "-L", "8"});
    ASSERT_TRUE(cangen.Started());
    ASSERT_EQ(cangen.Wait(), 0);
    const std::uint8_t data[2] = {0xC0, 0xDE};
    ASSERT_EQ(CanSend(channel, 0x2A1, 0, 2, data), 0);
    ASSERT_TRUE(guest::Eventually([&] { return Count(CAN_EV_TX, 0x2A1) == 1; }));
    EXPECT_EQ(Count(CAN_EV_RX, 0x2A0), static_cast<std::size_t>(kFrames));
    // The bus-load thread has frames to weigh within a second of them.
    EXPECT_TRUE(guest::Eventually([&] { return CanGetBusLoad(channel) > 0.0; }));

    // Time stamps come from the kernel and run forward from the open.
    auto deliveries = recorder.Deliveries();
    double previous = 0.0;
    for (const auto& d : deliveries) {
        EXPECT_GE(d.absSeconds, previous);
        EXPECT_LT(d.absSeconds, 600.0);
        previous = d.absSeconds;
    }

    CanClose(channel);
    EXPECT_EQ(CanIsOpen(channel), 0);
    // Closed for good: the device opens again at once.
    platform::Handle again = platform::CreateFile(path.c_str());
    EXPECT_NE(again, platform::kNoHandle);
    platform::CloseHandle(again);
}

TEST_F(VcanChannel, InterfaceThatGoesAwayEndsTheReceiveThread) {
    ASSERT_EQ(guest::Run({"/usr/sbin/ip", "link", "add", "dev", "vcan5", "type", "vcan"}), 0);
    ASSERT_EQ(guest::Run({"/usr/sbin/ip", "link", "set", "vcan5", "up"}), 0);
    socketcan::RegisterSocketCanAdapter(path, "vcan5");
    int error = -1;
    ASSERT_EQ(CanOpen(channel, path.c_str(), 0, 0, &error), 1);
    ASSERT_EQ(guest::Cansend("vcan5", "123#"), 0);
    ASSERT_TRUE(recorder.WaitForCount(1, guest::kPatience));

    ASSERT_EQ(guest::Run({"/usr/sbin/ip", "link", "del", "vcan5"}), 0);
    // The read fails with the socket's error; the thread ends and closes the device by itself.
    EXPECT_TRUE(guest::Eventually([&] { return CanIsOpen(channel) == 0; }));
    EXPECT_EQ(platform::WaitForSingleObject(channel->rxThread, 10000),
              platform::WaitResult::kSignalled);
}

TEST(VcanDefaults, FirstAdapterStaysSimulatedTheOthersAreTheHostsInterfaces) {
    for (int i = 0; i < kAdapterCount; ++i)
        platform::UnregisterDevice(AdapterPath(i));
    RegisterDefaultDevices();
    auto interfaceOf = [](int adapter) {
        auto device = std::dynamic_pointer_cast<socketcan::SocketCanAdapter>(
            platform::FindDevice(AdapterPath(adapter)));
        return device ? device->InterfaceName() : std::string("(none)");
    };
    EXPECT_TRUE(std::dynamic_pointer_cast<sim::SimAdapter>(platform::FindDevice(AdapterPath(0))));
    EXPECT_EQ(interfaceOf(1), "vcan0");
    EXPECT_EQ(interfaceOf(2), "vcan1");
    // The guest has no third CAN interface.
    EXPECT_TRUE(std::dynamic_pointer_cast<sim::SimAdapter>(platform::FindDevice(AdapterPath(3))));

    CanChannel* channel = CanCreateChannel(nullptr, nullptr, nullptr);
    int error = -1;
    EXPECT_EQ(CanOpen(channel, AdapterPath(2).c_str(), 0, 0, &error), 1);
    EXPECT_EQ(error, 0);
    CanDestroyChannel(channel);
    for (int i = 0; i < kAdapterCount; ++i)
        platform::UnregisterDevice(AdapterPath(i));
}

}  // namespace
