#include "devices/sim/sim_controller.h"

#include <algorithm>
#include <cerrno>

#include "devices/common/acceptance_filter.h"
#include "devices/common/bit_timing.h"
#include "devices/common/frame_bits.h"
#include "devices/common/sja1000_status.h"

namespace sim {

namespace sr = devices::sja1000;

int Controller::SetMode(std::uint8_t mode) {
    if (mode != CAN_MODE_BASIC && mode != CAN_MODE_PELICAN)
        return EINVAL;
    mode_ = mode;
    return 0;
}

int Controller::SetFrameFormat(std::uint8_t format) {
    // Any non-zero format means extended, as the channel layer counts it for the bus load.
    extendedFormat_ = format != CAN_FORMAT_STANDARD;
    return 0;
}

int Controller::SetBaudrate(std::uint32_t baudrate) {
    if (!devices::IsSupportedBaudrate(baudrate))
        return EINVAL;
    baudrate_ = baudrate;
    return 0;
}

void Controller::SetAcceptance(std::uint32_t code, std::uint32_t mask) {
    accCode_ = code;
    accMask_ = mask;
}

void Controller::SetSoftAcceptance(std::uint32_t code, std::uint32_t mask) {
    softCode_ = code;
    softMask_ = mask;
}

int Controller::Command(std::uint8_t command) {
    switch (command) {
        case CAN_CMD_STANDBY:
            if (online_ && !busOff_)
                sleeping_ = true;
            return 0;
        case CAN_CMD_ABORT_TX: {
            // A frame already on the bus cannot be called back; it is not repeated after an error.
            bool keepHead = txCount_ > 0 && inFlight_ == tx_[txHead_].sequence;
            txCount_ = keepHead ? 1 : 0;
            abortInFlight_ = keepHead;
            return 0;
        }
        case CAN_CMD_CLEAR_OVERRUN:
            queue_.ClearOverrun();
            return 0;
        case CAN_CMD_FORMAT_REPORT_ON:
            formatReporting_ = true;
            return 0;
        case CAN_CMD_FORMAT_REPORT_OFF:
            formatReporting_ = false;
            return 0;
        default:
            return EINVAL;
    }
}

int Controller::Write(const CanMsg& msg, Nanos now) {
    if (!online_)
        return EBADF;
    if (msg.dlc > devices::kMaxDlc)
        return EINVAL;
    if (txCount_ >= kTxQueueDepth)
        return ENOBUFS;
    TxEntry& e = tx_[(txHead_ + txCount_) % kTxQueueDepth];
    e.frame = CanFrame{};
    e.frame.extended = mode_ == CAN_MODE_PELICAN && extendedFormat_;
    e.frame.id = msg.id & (e.frame.extended ? devices::kExtendedIdMask : devices::kStandardIdMask);
    e.frame.rtr = msg.rtr != 0;
    e.frame.dlc = msg.dlc;
    std::copy_n(msg.data, e.frame.DataBytes(), e.frame.data.begin());
    e.readyAt = now;
    e.sequence = nextSequence_++;
    ++txCount_;
    lastTxComplete_ = false;
    return 0;
}

void Controller::GoOnline() {
    online_ = true;
    sleeping_ = false;
    mode_ = CAN_MODE_BASIC;
    extendedFormat_ = false;
    txCount_ = 0;
    inFlight_ = 0;
    abortInFlight_ = false;
    lastTxComplete_ = false;
    tec_ = rec_ = 0;
    warning_ = passive_ = busOff_ = false;
    recoveryAt_ = kNever;
    queue_.Clear();
}

void Controller::GoOffline() {
    online_ = false;
    sleeping_ = false;
    txCount_ = 0;
    inFlight_ = 0;
    busOff_ = false;
    recoveryAt_ = kNever;
    queue_.Clear();
}

std::uint8_t Controller::Status(std::uint8_t activity) const {
    std::uint8_t s = activity;
    if (busOff_)
        s |= sr::kSrBusOff;
    if (tec_ >= sr::kErrorWarningLimit || rec_ >= sr::kErrorWarningLimit)
        s |= sr::kSrErrorStatus;
    if (lastTxComplete_)
        s |= sr::kSrTxComplete;
    if (txCount_ == 0)
        s |= sr::kSrTxBufferReleased;
    if (queue_.Overrun())
        s |= sr::kSrDataOverrun;
    return s;
}

Nanos Controller::TxReadyAt() const {
    if (!online_ || sleeping_ || busOff_ || txCount_ == 0)
        return kNever;
    return tx_[txHead_].readyAt;
}

void Controller::Emit(std::int32_t type, Nanos at, std::uint8_t activity) {
    CanMsg m{};
    m.type = type;
    std::uint64_t ticks = NanosToTicks(at);
    m.ticksLow = static_cast<std::uint32_t>(ticks);
    m.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
    m.status = Status(activity);
    queue_.PushEvent(m);
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

void Controller::OnTxDone(std::uint64_t sequence, const CanFrame& frame, Nanos at) {
    if (!online_ || txCount_ == 0 || tx_[txHead_].sequence != sequence)
        return;
    inFlight_ = 0;
    abortInFlight_ = false;
    PopTx();
    lastTxComplete_ = true;
    if (tec_ > 0)
        --tec_;
    UpdateFaultConfinement(at, 0);

    CanMsg m{};
    m.type = formatReporting_ ? (frame.extended ? CAN_EV_TX_EXT : CAN_EV_TX_STD) : CAN_EV_TX;
    std::uint64_t ticks = NanosToTicks(at);
    m.ticksLow = static_cast<std::uint32_t>(ticks);
    m.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
    m.id = frame.id;
    m.rtr = frame.rtr ? 1 : 0;
    m.dlc = frame.dlc;
    m.status = Status(0);
    std::copy_n(frame.data.begin(), frame.DataBytes(), m.data);
    queue_.PushFrame(m);
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

void Controller::OnReceived(const CanFrame& frame, Nanos at) {
    if (!online_)
        return;
    // A good reception brings an error-passive receive counter back below the limit at once.
    if (rec_ >= sr::kErrorPassiveLimit) {
        rec_ = sr::kErrorPassiveLimit - 8;
    } else if (rec_ > 0) {
        --rec_;
    }
    UpdateFaultConfinement(at, 0);
    if (!devices::HardwareFilterAccepts(mode_, accCode_, accMask_, frame))
        return;
    if (!devices::SoftwareFilterAccepts(softCode_, softMask_, frame.id))
        return;

    CanMsg m{};
    m.type = formatReporting_ ? (frame.extended ? CAN_EV_RX_EXT : CAN_EV_RX_STD) : CAN_EV_RX;
    std::uint64_t ticks = NanosToTicks(at);
    m.ticksLow = static_cast<std::uint32_t>(ticks);
    m.ticksHigh = static_cast<std::uint32_t>(ticks >> 32);
    m.id = frame.id;
    m.rtr = frame.rtr ? 1 : 0;
    m.dlc = frame.dlc;
    m.status = Status(sr::kSrRxBuffer);
    std::copy_n(frame.data.begin(), frame.DataBytes(), m.data);
    queue_.PushFrame(m);
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
        recoveryAt_ = at + devices::BitsToNanoseconds(128 * 11, baudrate_);
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

}  // namespace sim
