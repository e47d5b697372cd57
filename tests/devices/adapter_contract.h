// The contract every adapter on the adapter base keeps, written once and run against each of
// them: request checking, the settings kept over a reopen, overrun and `lost`, the wait request
// and its cancellation, the confirmation of written frames.
//
// An adapter takes part with a bench (the bus it stands on, with other nodes that the suite can
// make send) and one line in its own test binary:
//
//   INSTANTIATE_TEST_SUITE_P(Simulated, AdapterContract, ::testing::Values(&MakeSimBench));
//
// and adapter_contract.cpp among that binary's sources. The tests reach the adapter through the
// platform's device calls, as the channel layer does, and look at its settings directly.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "can/frame.h"
#include "devices/common/adapter_base.h"
#include "platform/device.h"
#include "tests/devices/sim/device_requests.h"

namespace contract {

class AdapterBench {
  public:
    virtual ~AdapterBench() = default;
    // A new adapter with a record queue `depth` records deep, registered under `path`.
    virtual std::shared_ptr<devices::AdapterBase> Make(const std::string& path,
                                                       std::size_t depth) = 0;
    // Other nodes send these frames in this order; returns once the adapter has taken them all.
    virtual void Receive(const std::vector<can::Frame>& frames) = 0;
    // Returns once the adapter has taken its last `count` written frames back from the bus.
    virtual void Transmit(int count) = 0;
};

using BenchMaker = std::unique_ptr<AdapterBench> (*)();

}  // namespace contract

class AdapterContract : public ::testing::TestWithParam<contract::BenchMaker> {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::string("\\\\.\\Contract.") + info->name();
        bench_ = GetParam()();
    }
    void TearDown() override {
        device_.reset();
        platform::UnregisterDevice(path_);
    }

    void Start(std::size_t depth = devices::RecordQueue::kDefaultDepth) {
        adapter_ = bench_->Make(path_, depth);
        Reopen();
    }
    void Reopen() {
        device_.reset();
        device_ = std::make_unique<simtest::OpenDevice>(path_);
        ASSERT_TRUE(device_->IsOpen()) << device_->OpenError();
    }
    std::vector<CanMsg> Receive(const std::vector<can::Frame>& frames) {
        bench_->Receive(frames);
        return device_->ReadAll();
    }
    std::vector<CanMsg> Transmit(const std::vector<CanMsg>& writes) {
        for (const CanMsg& m : writes)
            EXPECT_EQ(device_->Write(m), 0) << std::hex << m.id;
        bench_->Transmit(static_cast<int>(writes.size()));
        return device_->ReadAll();
    }

    std::string path_;
    std::unique_ptr<contract::AdapterBench> bench_;
    std::shared_ptr<devices::AdapterBase> adapter_;
    std::unique_ptr<simtest::OpenDevice> device_;
};
