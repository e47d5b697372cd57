// The simulated adapter: a device that answers the adapter driver's requests like the real one,
// with an SJA1000 on a simulated bus behind it.
//
// Clock: in real-time mode the device clock is the system's monotonic clock and the bus follows
// it; one scheduler thread per open adapter sleeps until the next thing happens on the bus (a
// frame ends, a node's next frame is due), so an idle bus costs no CPU. Records are stamped with
// the exact bus time; the thread wakes at most about once a millisecond and delivers what
// happened meanwhile in one go. The thread runs only while a handle is open; closing the handle
// stops it. In manual mode nothing moves unless a SimDriver (sim_driver.h) advances the clock,
// and no thread is started.
//
// Requests, the settings kept from one open to the next and the record queue are the adapter
// base's (devices/common/adapter_base.h). An open resets the error counters; a close drops
// unsent frames.
#pragma once

#include <pthread.h>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "devices/common/adapter_base.h"
#include "devices/common/thread_cpu_time.h"
#include "devices/sim/node_source.h"
#include "devices/sim/scenario.h"
#include "devices/sim/sim_bus.h"
#include "devices/sim/sim_controller.h"

namespace sim {

enum class ClockMode { kRealTime, kManual };

struct SimAdapterOptions {
    Scenario scenario = Scenario::kDefault;
    ClockMode clock = ClockMode::kRealTime;
    std::size_t queueDepth = devices::RecordQueue::kDefaultDepth;
    Nanos manualStart = 0;  // device clock at construction in manual mode
    std::uint32_t seed = 1;
    // Other nodes set up at every open, in place of the scenario's (whose nodes are then left
    // out); an open it refuses fails.
    std::shared_ptr<NodeSource> nodeSource;
    // What a recording calls the bus, completed by the adapter's number ("sim1").
    std::string busName = "sim";
};

class SimAdapter final : public devices::AdapterBase {
  public:
    explicit SimAdapter(const SimAdapterOptions& options = {});
    ~SimAdapter() override;

    Scenario GetScenario() const { return options_.scenario; }
    ClockMode GetClockMode() const { return options_.clock; }
    const NodeSource* GetNodeSource() const { return options_.nodeSource.get(); }
    std::string BusName(int adapter) const override {
        return options_.busName + std::to_string(adapter);
    }
    std::string SourceFile() const override {
        return options_.nodeSource ? options_.nodeSource->SourceFile() : std::string();
    }
    std::string ScenarioName() const override;

    // CPU time the scheduler threads of this adapter have used so far (real-time mode).
    std::chrono::nanoseconds SchedulerCpuTime() const;

  private:
    friend class SimDriver;

    int OnOpen() override;
    void OnClose() override;
    void Configured() override;
    CanDeviceInfo DeviceInfo() override;
    int SetBaudrate(std::uint32_t rate) override;
    int SetMode(std::uint8_t mode) override;
    int SetFrameFormat(bool extended) override;
    int SetAcceptance(std::uint32_t code, std::uint32_t mask) override;
    int SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) override;
    int Command(std::uint8_t command) override;
    int Write(const CanMsg& msg) override;

    // Brings the bus up to the present before a request changes what it does next.
    void CatchUp();
    Nanos ClockNow() const;
    // Brings the bus up to `now` (real-time mode; the manual clock never lags).
    void CatchUpLocked(Nanos now);
    void KickLocked();
    void SchedulerLoop(std::stop_token stop);

    const SimAdapterOptions options_;
    const Nanos created_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    bool kick_ = false;          // guarded by mutex_
    bool nodesStarted_ = false;  // guarded by mutex_: the node source's nodes are on the bus
    Controller controller_;
    Bus bus_;
    devices::ThreadCpuAccount schedulerCpu_;
    std::jthread scheduler_;
};

// Registers a new real-time simulated adapter with the given scenario under `path`, in place of
// whatever device was registered there. Returns it.
std::shared_ptr<SimAdapter> RegisterSimulatedAdapter(const std::string& path, Scenario scenario);

}  // namespace sim
