// The adapter contract (tests/devices/adapter_contract.h) on the SocketCAN adapter, on vcan0
// inside the CAN guest, with a raw socket of the test's own as the other node.
#include <linux/can.h>

#include <algorithm>

#include "devices/common/acceptance_filter.h"
#include "devices/socketcan/raw_can_socket.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "tests/devices/adapter_contract.h"
#include "tests/devices/socketcan/guest_tools.h"

namespace {

class SocketCanBench : public contract::AdapterBench {
  public:
    SocketCanBench() { opened_ = node_.Open("vcan0", {}, 0); }

    std::shared_ptr<devices::AdapterBase> Make(const std::string& path,
                                               std::size_t depth) override {
        EXPECT_EQ(opened_, 0) << "the other node's socket";
        socketcan::SocketCanOptions options;
        options.queueDepth = depth;
        adapter_ = std::make_shared<socketcan::SocketCanAdapter>("vcan0", options);
        platform::RegisterDevice(path, adapter_);
        expected_ = adapter_->BusFrames();
        return adapter_;
    }

    void Receive(const std::vector<can::Frame>& frames) override {
        for (const can::Frame& f : frames) {
            if (ReachesTheSocket(f))
                ++expected_;
            EXPECT_EQ(node_.Send(KernelFrame(f)), 0) << std::hex << f.id;
        }
        WaitUntilTaken();
    }
    void Transmit(int count) override {
        expected_ += static_cast<std::uint64_t>(count);
        WaitUntilTaken();
    }

  private:
    // The adapter's kernel filter (devices/socketcan/kernel_filter.h) keeps out what fails the
    // software filter and, in Basic CAN, extended frames; those the adapter never sees, so
    // there is nothing to wait for. (Identifiers it let in for its own confirmations would pass
    // too; the contract writes none that the software filter refuses.)
    bool ReachesTheSocket(const can::Frame& f) const {
        return (adapter_->Mode() == CAN_MODE_PELICAN || !f.extended) &&
               devices::SoftwareFilterAccepts(adapter_->SoftAcceptanceCode(),
                                              adapter_->SoftAcceptanceMask(), f.id);
    }
    void WaitUntilTaken() {
        EXPECT_TRUE(guest::Eventually([&] { return adapter_->BusFrames() >= expected_; }))
            << adapter_->BusFrames() << " of " << expected_ << " frames taken";
    }
    static can_frame KernelFrame(const can::Frame& f) {
        can_frame k{};
        k.can_id = f.extended ? (f.id | CAN_EFF_FLAG) : f.id;
        if (f.rtr)
            k.can_id |= CAN_RTR_FLAG;
        k.len = static_cast<std::uint8_t>(std::min<int>(f.dlc, CAN_MAX_DLEN));
        std::copy_n(f.data.begin(), f.DataBytes(), k.data);
        return k;
    }

    socketcan::RawCanSocket node_;
    int opened_ = 0;
    std::shared_ptr<socketcan::SocketCanAdapter> adapter_;
    std::uint64_t expected_ = 0;
};

std::unique_ptr<contract::AdapterBench> MakeSocketCanBench() {
    return std::make_unique<SocketCanBench>();
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(SocketCan, AdapterContract, ::testing::Values(&MakeSocketCanBench));
