// Drives a simulated adapter by hand, for tests: the clock moves only when the driver says so,
// frames and bus events are injected at will, and what the adapter sent can be read back. The
// adapter answers requests through the platform as usual, so a test registers it under a path,
// opens it like any device and needs no sleeps for anything the device does.
//
//   sim::SimDriver driver;                 // quiet bus, clock at 0
//   driver.Register("\\\\.\\Test");
//   ... open and configure it through platform::CreateFile / DeviceIoControl ...
//   driver.InjectFrame(frame);             // a node sends it as soon as the bus is free
//   driver.Advance(5 * sim::kMillisecond); // simulate 5 ms: the frame is received
//
// Every member may be called from any thread (the adapter's requests meanwhile too).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/sim/sim_adapter.h"

namespace sim {

class SimDriver {
  public:
    // A new hand-driven adapter on a bus with the given scenario, its clock at `start`.
    explicit SimDriver(Scenario scenario = Scenario::kQuiet, Nanos start = 0,
                       std::size_t queueDepth = devices::RecordQueue::kDefaultDepth);
    // ... with any options; the clock is hand-driven whatever they say.
    explicit SimDriver(SimAdapterOptions options);

    const std::shared_ptr<SimAdapter>& Adapter() const { return adapter_; }
    // Registers the adapter with the platform under `path`.
    void Register(const std::string& path) const;

    Nanos Now() const;
    // When the bus next does something on its own; kNever when it is idle for good.
    Nanos NextEventTime() const;
    void Advance(Nanos duration);
    void AdvanceTo(Nanos time);

    // A node sends `frame` as soon as it wins the bus (at once on an idle bus). Each injected
    // frame comes from a node of its own, so frames injected together go in arbitration order.
    bool InjectFrame(const can::Frame& frame);
    bool InjectFrameAt(const can::Frame& frame, Nanos at);
    // The next `count` frames that start on the bus (whoever sends them) end in an error frame:
    // a bus error for the adapter, whose error counters move as the fault confinement rules say.
    void CorruptNextFrames(int count = 1);
    // A record of the given event type (4..9) now, with the controller's status, without the
    // bus condition behind it.
    void RaiseEvent(std::int32_t type);

    // Frames that went over the bus since the last call (the last 65536 at most).
    std::vector<BusTraffic> TakeBusTraffic();
    // Frames the adapter sent successfully since the last call.
    std::vector<can::Frame> TakeTransmitted();

    // The adapter's settings.
    std::uint32_t Baudrate() const { return adapter_->Baudrate(); }
    std::uint32_t AcceptanceCode() const { return adapter_->AcceptanceCode(); }
    std::uint32_t AcceptanceMask() const { return adapter_->AcceptanceMask(); }
    std::uint32_t SoftAcceptanceCode() const { return adapter_->SoftAcceptanceCode(); }
    std::uint32_t SoftAcceptanceMask() const { return adapter_->SoftAcceptanceMask(); }
    std::uint8_t Mode() const { return adapter_->Mode(); }
    bool ExtendedFormat() const { return adapter_->ExtendedFormat(); }
    bool FormatReporting() const { return adapter_->FormatReporting(); }

    // The controller's state.
    bool Sleeping() const;
    bool BusOff() const;
    int TransmitErrorCount() const;
    int ReceiveErrorCount() const;
    std::size_t PendingTransmissions() const;
    std::size_t QueuedRecords() const;

  private:
    std::shared_ptr<SimAdapter> adapter_;
};

}  // namespace sim
