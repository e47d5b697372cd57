#include "devices/socketcan/error_frame_mapping.h"

#include <linux/can.h>
#include <linux/can/error.h>

#include "can/error_frame.h"
#include "can/sja1000_status.h"
#include "channel/device_protocol.h"

namespace socketcan {
namespace {

namespace sr = can::sja1000;
namespace err = can::err;

// The trace files spell the kernel's error frame layout out; it must be the kernel's.
static_assert(err::kFlag == CAN_ERR_FLAG && err::kLostArb == CAN_ERR_LOSTARB &&
              err::kCrtl == CAN_ERR_CRTL && err::kProt == CAN_ERR_PROT &&
              err::kAck == CAN_ERR_ACK && err::kBusOff == CAN_ERR_BUSOFF &&
              err::kBusError == CAN_ERR_BUSERROR && err::kRestarted == CAN_ERR_RESTARTED);
static_assert(err::kCrtlRxOverflow == CAN_ERR_CRTL_RX_OVERFLOW &&
              err::kCrtlTxOverflow == CAN_ERR_CRTL_TX_OVERFLOW &&
              err::kCrtlRxWarning == CAN_ERR_CRTL_RX_WARNING &&
              err::kCrtlTxWarning == CAN_ERR_CRTL_TX_WARNING &&
              err::kCrtlRxPassive == CAN_ERR_CRTL_RX_PASSIVE &&
              err::kCrtlTxPassive == CAN_ERR_CRTL_TX_PASSIVE &&
              err::kCrtlActive == CAN_ERR_CRTL_ACTIVE && err::kProtTx == CAN_ERR_PROT_TX);

enum class Level { kActive, kWarning, kPassive, kBusOff };

ErrorState StateOf(Level level) {
    ErrorState s;
    s.warning = level >= Level::kWarning;
    s.passive = level >= Level::kPassive;
    s.busOff = level == Level::kBusOff;
    return s;
}

void Add(ErrorFrameRecords& out, std::int32_t type, std::uint8_t activity) {
    if (out.count < ErrorFrameRecords::kMaxRecords)
        out.records[out.count++] = {type, activity};
}

}  // namespace

ErrorFrameRecords MapErrorFrame(std::uint32_t canId, const std::uint8_t (&data)[8],
                                ErrorState& state) {
    ErrorFrameRecords out;
    const std::uint32_t classes = canId & CAN_ERR_MASK;

    constexpr std::uint32_t kBusErrorClasses =
        CAN_ERR_PROT | CAN_ERR_BUSERROR | CAN_ERR_ACK | CAN_ERR_TX_TIMEOUT | CAN_ERR_TRX;
    if (classes & kBusErrorClasses) {
        // Bit0/Bit1 errors mean the controller could not drive the bus: only a transmitter can.
        const bool transmitting =
            (classes & (CAN_ERR_ACK | CAN_ERR_TX_TIMEOUT)) ||
            ((classes & CAN_ERR_PROT) &&
             (data[2] & (CAN_ERR_PROT_TX | CAN_ERR_PROT_BIT0 | CAN_ERR_PROT_BIT1)));
        Add(out, CAN_EV_BUS_ERROR, transmitting ? sr::kSrTransmitting : sr::kSrReceiving);
    }
    if (classes & CAN_ERR_LOSTARB)
        Add(out, CAN_EV_ARBITRATION, sr::kSrReceiving);

    // The state the frame reports, if it reports one; the highest wins.
    bool reported = false;
    Level level = Level::kActive;
    std::uint8_t activity = 0;
    if (classes & CAN_ERR_RESTARTED)
        reported = true;
    if (classes & CAN_ERR_CRTL) {
        const std::uint8_t c = data[1];
        if (c & CAN_ERR_CRTL_ACTIVE)
            reported = true;
        if (c & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING)) {
            reported = true;
            level = Level::kWarning;
        }
        if (c & (CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE)) {
            reported = true;
            level = Level::kPassive;
        }
        if (c & (CAN_ERR_CRTL_TX_WARNING | CAN_ERR_CRTL_TX_PASSIVE)) {
            activity = sr::kSrTransmitting;
        } else if (c & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_RX_PASSIVE)) {
            activity = sr::kSrReceiving;
        }
    }
    if (classes & CAN_ERR_BUSOFF) {
        reported = true;
        level = Level::kBusOff;
        activity = sr::kSrTransmitting;  // only transmit errors take a controller off the bus
    }
    if (reported) {
        const ErrorState next = StateOf(level);
        const bool errorInterrupt = next.busOff != state.busOff || next.warning != state.warning;
        const bool passiveInterrupt = next.passive != state.passive;
        state = next;
        if (errorInterrupt)
            Add(out, CAN_EV_WARNING, activity);
        if (passiveInterrupt)
            Add(out, CAN_EV_PASSIVE, activity);
    }

    if (classes & CAN_ERR_CRTL) {
        if (data[1] & CAN_ERR_CRTL_RX_OVERFLOW)
            out.lostFrames = 1;
        if (data[1] & CAN_ERR_CRTL_TX_OVERFLOW)
            Add(out, CAN_EV_OVERRUN, sr::kSrTransmitting);
    }
    return out;
}

}  // namespace socketcan
