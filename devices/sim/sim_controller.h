// The adapter's SJA1000 as the simulated bus sees it: settings, the driver's transmit queue, error
// counters and fault confinement, sleep, and the records it hands to the record queue.
//
// Not thread-safe: the owning adapter serialises every call.
#pragma once

#include <array>
#include <cstdint>

#include "can/frame.h"
#include "channel/device_protocol.h"
#include "devices/common/adapter_base.h"
#include "devices/sim/sim_time.h"

namespace sim {

class Controller {
  public:
    // Frames written but not yet sent; a write beyond this fails with kErrorNoBuffers.
    static constexpr std::size_t kTxQueueDepth = 64;

    explicit Controller(devices::AdapterBase& adapter) : adapter_(adapter) {}

    // Requests. 0 or a platform error code; a refused request changes nothing.
    void Standby();
    void AbortTransmission();
    int Write(const CanMsg& msg, Nanos now);

    // A handle was opened: the controller starts afresh, error counters at zero.
    void GoOnline();
    // The handle was closed: unsent frames are dropped and nothing is reported any more.
    void GoOffline();

    bool Online() const { return online_; }
    bool Sleeping() const { return sleeping_; }
    bool BusOff() const { return busOff_; }
    int TransmitErrorCount() const { return tec_; }
    int ReceiveErrorCount() const { return rec_; }
    std::uint32_t Baudrate() const { return adapter_.Baudrate(); }
    std::size_t PendingTransmissions() const { return txCount_; }
    // The status register with the given activity bits (receiving, transmitting, ...).
    std::uint8_t Status(std::uint8_t activity) const;

    // The bus side.
    // When the head of the transmit queue may go on the bus; kNever when there is nothing to
    // send or the controller cannot (offline, asleep, bus-off).
    Nanos TxReadyAt() const;
    const can::Frame& TxFrame() const { return tx_[txHead_].frame; }
    std::uint64_t TxSequence() const { return tx_[txHead_].sequence; }
    // A frame starts on the bus. A sleeping controller wakes up and misses this frame. True when
    // the controller takes part in the frame.
    bool OnFrameStart(Nanos start);
    void OnTxStarted(std::uint64_t sequence) { inFlight_ = sequence; }
    void OnArbitrationLost(Nanos at);
    void OnTxDone(std::uint64_t sequence, const can::Frame& frame, Nanos at);
    void OnTxError(std::uint64_t sequence, Nanos at);
    void OnReceived(const can::Frame& frame, Nanos at);
    void OnRxError(Nanos at);
    // Bus-off recovery: after 128 times 11 recessive bits the controller is back on the bus.
    Nanos NextTimer() const { return busOff_ ? recoveryAt_ : kNever; }
    void RunTimer(Nanos at);

    // Reports an event of the given type with the current status, with no bus condition behind
    // it (for tests of what reads the records).
    void RaiseEvent(std::int32_t type, Nanos at);

    // Bus events another record of the bus (a trace) reports: the same records the chip gives for
    // them, without moving the error counters, so that the frames that follow do not count them
    // back and report changes the record never had. The reported state shows in the status
    // register until the next open or the next reported state.
    enum class ReportedState { kActive, kWarning, kPassive, kBusOff };
    void ReportBusError(bool transmitting, Nanos at);
    void ReportState(ReportedState state, Nanos at);

  private:
    struct TxEntry {
        can::Frame frame;
        Nanos readyAt = 0;
        std::uint64_t sequence = 0;
    };

    void Emit(std::int32_t type, Nanos at, std::uint8_t activity);
    void PopTx();
    void UpdateFaultConfinement(Nanos at, std::uint8_t activity);

    devices::AdapterBase& adapter_;
    bool online_ = false;
    bool sleeping_ = false;

    std::array<TxEntry, kTxQueueDepth> tx_{};
    std::size_t txHead_ = 0;
    std::size_t txCount_ = 0;
    std::uint64_t nextSequence_ = 1;
    std::uint64_t inFlight_ = 0;  // sequence of the own frame on the bus, 0 for none
    bool abortInFlight_ = false;
    bool lastTxComplete_ = false;

    int tec_ = 0;
    int rec_ = 0;
    bool warning_ = false;
    bool passive_ = false;
    bool busOff_ = false;
    Nanos recoveryAt_ = kNever;
    ReportedState reported_ = ReportedState::kActive;
};

}  // namespace sim
