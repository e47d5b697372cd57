// The adapter contract on the adapters that run on this machine: the simulated adapter and the
// replay adapter on their hand-driven clocks and the tests' scripted device on a bus of its own.
#include "tests/devices/adapter_contract.h"

#include <fstream>

#include "devices/replay/replay_adapter.h"
#include "devices/sim/sim_driver.h"
#include "tests/support/scripted_device.h"

namespace {

class SimBench : public contract::AdapterBench {
  public:
    std::shared_ptr<devices::AdapterBase> Make(const std::string& path,
                                               std::size_t depth) override {
        driver_ = std::make_unique<sim::SimDriver>(Options(depth));
        driver_->Register(path);
        return driver_->Adapter();
    }
    void Receive(const std::vector<can::Frame>& frames) override {
        for (const auto& f : frames)
            driver_->InjectFrame(f);
        Settle();
    }
    void Transmit(int) override { Settle(); }

  private:
    // Until nothing is left to happen on the bus; frames wait for each other at 20 kbit/s or
    // faster, so a second covers any test's traffic.
    void Settle() { driver_->Advance(sim::kSecond); }

    virtual sim::SimAdapterOptions Options(std::size_t depth) {
        sim::SimAdapterOptions options;
        options.scenario = sim::Scenario::kQuiet;
        options.queueDepth = depth;
        return options;
    }

    std::unique_ptr<sim::SimDriver> driver_;
};

// A replay whose file has nothing to play, so that the suite's own frames are all there is.
class ReplayBench : public SimBench {
    sim::SimAdapterOptions Options(std::size_t depth) override {
        const std::string file = ::testing::TempDir() + "contract-empty.log";
        std::ofstream(file) << "# nothing recorded\n";
        sim::SimAdapterOptions options = replay::ReplayOptions(file, true);
        options.queueDepth = depth;
        return options;
    }
};

class ScriptedBench : public contract::AdapterBench {
  public:
    std::shared_ptr<devices::AdapterBase> Make(const std::string& path,
                                               std::size_t depth) override {
        device_ = std::make_shared<testsupport::ScriptedDevice>(depth);
        device_->ConfirmWrites(true);
        platform::RegisterDevice(path, device_);
        return device_;
    }
    void Receive(const std::vector<can::Frame>& frames) override {
        for (const auto& f : frames)
            device_->ReceiveFromBus(f);
    }
    void Transmit(int) override {}  // confirmed as they were written

  private:
    std::shared_ptr<testsupport::ScriptedDevice> device_;
};

std::unique_ptr<contract::AdapterBench> MakeSimBench() {
    return std::make_unique<SimBench>();
}
std::unique_ptr<contract::AdapterBench> MakeReplayBench() {
    return std::make_unique<ReplayBench>();
}
std::unique_ptr<contract::AdapterBench> MakeScriptedBench() {
    return std::make_unique<ScriptedBench>();
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Simulated, AdapterContract, ::testing::Values(&MakeSimBench));
INSTANTIATE_TEST_SUITE_P(Replay, AdapterContract, ::testing::Values(&MakeReplayBench));
INSTANTIATE_TEST_SUITE_P(Scripted, AdapterContract, ::testing::Values(&MakeScriptedBench));
