#include "devices/sim/sim_controller.h"

#include <algorithm>
#include <cerrno>

#include "can/frame_bits.h"
#include "can/frame_records.h"
#include "can/sja1000_status.h"
#include "devices/common/bit_timing.h"
#include "platform/error.h"

namespace sim {

namespace sr = can::sja1000;

void Controller::Standby() {
    if (online_ && !busOff_)
        sleeping_ = true;
}

void Controller::AbortTransmission() {
    // A frame already on the bus cannot be called back; it is not repeated after an error.
    bool keepHead = txCount_ > 0 && inFlight_ == tx_[txHead_].sequence;
    txCount_ = keepHead ? 1 : 0;
    abortInFlight_ = keepHead;
}

int Controller::Write(const CanMsg& msg, Nanos now) {
    if (!online_)
        return platform::kErrorInvalidHandle;
    if (msg.dlc > can::kMaxDlc)
        return platform::kErrorInvalidParameter;
    if (txCount_ >= kTxQueueDepth)
        return platform::kErrorNoBuffers;
    TxEntry& e = tx_[(txHead_ + txCount_) % kTxQueueDepth];
    e.frame = can::FrameToSend(msg, adapter_.SendsExtended(msg));
    e.readyAt = now;
    e.sequence = nextSequence_++;
    ++txCount_;
    lastTxComplete_ = false;
    return 0;
}

void Controller::GoOnline() {
    online_ = true;
    sleeping_ = false;
    txCount_ = 0;
    inFlight_ = 0;
    abortInFlight_ = false;
    lastTxComplete_ = false;
    tec_ = rec_ = 0;
    warning_ = passive_ = busOff_ = false;
    recoveryAt_ = kNever;
    reported_ = ReportedState::kActive;
}

void Controller::GoOffline() {
    online_ = false;
    sleeping_ = false;
    txCount_ = 0;
    inFlight_ = 0;
    busOff_ = false;
    recoveryAt_ = kNever;
}

std::uint8_t Controller::Status(std::uint8_t activity) const {
    sr::ControllerFlags flags;
    flags.busOff = busOff_ || reported_ == ReportedState::kBusOff;
    flags.errorStatus = tec_ >= sr::kErrorWarningLimit || rec_ >= sr::kErrorWarningLimit ||
                        reported_ != ReportedState::kActive;
    flags.txComplete = lastTxComplete_;
    flags.txBufferFree = txCount_ == 0;
    flags.dataOverrun = adapter_.Overrun();
    return sr::StatusRegister(activity, flags);
}

Nanos Controller::TxReadyAt() const {
    if (!online_ || sleeping_ || busOff_ || txCount_ == 0)
        return kNever;
    return tx_[txHead_].readyAt;
}

void Controller::Emit(std::int32_t type, Nanos at, std::uint8_t activity) {
    adapter_.DeliverEvent(type, NanosToTicks(at), Status(activity));
}

void Controller::PopTx() {
    if (txCount_ == 0)
        return;
    txHead_ = (txHead_ + 1) % kTxQueueDepth;
    --txCount_;
}

bool Controller::OnFrameStart(Nanos start) {
    if (!online_ || busOff_)
        return false;
    if (sleeping_) {
        sleeping_ = false;
        Emit(CAN_EV_WAKE_UP, start, sr::kSrReceiving);
        return false;
    }
    return true;
}

void Controller::OnArbitrationLost(Nanos at) {
    if (!online_)
        return;
    Emit(CAN_EV_ARBITRATION, at, sr::kSrReceiving);
}

void Controller::OnTxDone(std::uint64_t sequence, const can::Frame& frame, Nanos at) {
    if (!online_ || txCount_ == 0 || tx_[txHead_].sequence != sequence)
        return;
    inFlight_ = 0;
    abortInFlight_ = false;
    PopTx();
    lastTxComplete_ = true;
    if (tec_ > 0)
        --tec_;
    UpdateFaultConfinement(at, 0);
    adapter_.DeliverTransmitted(frame, NanosToTicks(at), Status(0));
}

void Controller::OnTxError(std::uint64_t sequence, Nanos at) {
    if (!online_)
        return;
    inFlight_ = 0;
    tec_ = std::min(tec_ + 8, sr::kBusOffLimit);
    Emit(CAN_EV_BUS_ERROR, at, sr::kSrTransmitting);
    if (abortInFlight_ && txCount_ > 0 && tx_[txHead_].sequence == sequence)
        PopTx();
    abortInFlight_ = false;
    UpdateFaultConfinement(at, sr::kSrTransmitting);
}

void Controller::OnReceived(const can::Frame& frame, Nanos at) {
    if (!online_)
        return;
    // A good reception brings an error-passive receive counter back below the limit at once.
    if (rec_ >= sr::kErrorPassiveLimit) {
        rec_ = sr::kErrorPassiveLimit - 8;
    } else if (rec_ > 0) {
        --rec_;
    }
    UpdateFaultConfinement(at, 0);
    adapter_.DeliverReceived(frame, NanosToTicks(at), Status(sr::kSrRxBuffer));
}

void Controller::OnRxError(Nanos at) {
    if (!online_)
        return;
    rec_ = std::min(rec_ + 1, sr::kBusOffLimit);
    Emit(CAN_EV_BUS_ERROR, at, sr::kSrReceiving);
    UpdateFaultConfinement(at, sr::kSrReceiving);
}

void Controller::UpdateFaultConfinement(Nanos at, std::uint8_t activity) {
    bool busOff = tec_ >= sr::kBusOffLimit;
    bool warning = tec_ >= sr::kErrorWarningLimit || rec_ >= sr::kErrorWarningLimit;
    bool passive = tec_ >= sr::kErrorPassiveLimit || rec_ >= sr::kErrorPassiveLimit;
    if (busOff && !busOff_) {
        recoveryAt_ = at + can::BitsToNanoseconds(128 * 11, Baudrate());
        sleeping_ = false;
    }
    // The error interrupt fires on a change of the error or the bus status, the error-passive
    // interrupt on entering and on leaving error passive.
    bool errorInterrupt = busOff != busOff_ || warning != warning_;
    bool passiveInterrupt = passive != passive_;
    busOff_ = busOff;
    warning_ = warning;
    passive_ = passive;
    if (errorInterrupt)
        Emit(CAN_EV_WARNING, at, activity);
    if (passiveInterrupt)
        Emit(CAN_EV_PASSIVE, at, activity);
}

void Controller::RunTimer(Nanos at) {
    if (!busOff_ || at < recoveryAt_)
        return;
    tec_ = rec_ = 0;
    recoveryAt_ = kNever;
    UpdateFaultConfinement(at, 0);
}

void Controller::RaiseEvent(std::int32_t type, Nanos at) {
    if (!online_)
        return;
    Emit(type, at, type == CAN_EV_OVERRUN ? sr::kSrDataOverrun : 0);
}

void Controller::ReportBusError(bool transmitting, Nanos at) {
    if (!online_)
        return;
    Emit(CAN_EV_BUS_ERROR, at, transmitting ? sr::kSrTransmitting : sr::kSrReceiving);
}

void Controller::ReportState(ReportedState state, Nanos at) {
    if (!online_)
        return;
    const bool wasPassive = reported_ == ReportedState::kPassive;
    reported_ = state;
    // One record per reported state, so that a recording of the replay has the file's events:
    // the error-passive interrupt for entering or leaving passive, the error interrupt otherwise
    // (also for a state reported twice, which is still an event of the record).
    const bool passiveChange = wasPassive != (state == ReportedState::kPassive);
    const bool viaPassive =
        passiveChange && state != ReportedState::kActive && state != ReportedState::kBusOff;
    Emit(viaPassive ? CAN_EV_PASSIVE : CAN_EV_WARNING, at, 0);
}

}  // namespace sim
