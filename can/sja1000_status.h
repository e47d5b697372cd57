// Bits of the SJA1000 status register, which the devices report in CanMsg::status so that a record
// says what the controller was doing when the event happened.
#pragma once

#include <cstdint>

namespace can::sja1000 {

inline constexpr std::uint8_t kSrBusOff = 0x80;            // BS: controller is bus-off
inline constexpr std::uint8_t kSrErrorStatus = 0x40;       // ES: an error counter reached 96
inline constexpr std::uint8_t kSrTransmitting = 0x20;      // TS: transmitting a message
inline constexpr std::uint8_t kSrReceiving = 0x10;         // RS: receiving a message
inline constexpr std::uint8_t kSrTxComplete = 0x08;        // TCS: last transmission completed
inline constexpr std::uint8_t kSrTxBufferReleased = 0x04;  // TBS: transmit buffer free
inline constexpr std::uint8_t kSrDataOverrun = 0x02;       // DOS: a message was lost
inline constexpr std::uint8_t kSrRxBuffer = 0x01;          // RBS: a message is waiting

// Error counter limits of the CAN fault confinement rules.
inline constexpr int kErrorWarningLimit = 96;
inline constexpr int kErrorPassiveLimit = 128;
inline constexpr int kBusOffLimit = 256;

// What the status register shows besides the activity of the moment.
struct ControllerFlags {
    bool busOff = false;
    bool errorStatus = false;  // an error counter at or above the warning limit
    bool txComplete = false;   // the last transmission went out
    bool txBufferFree = true;  // nothing written waits to be sent
    bool dataOverrun = false;  // a record was lost and the overrun not yet cleared
};

constexpr std::uint8_t StatusRegister(std::uint8_t activity, const ControllerFlags& f) {
    std::uint8_t s = activity;
    if (f.busOff)
        s |= kSrBusOff;
    if (f.errorStatus)
        s |= kSrErrorStatus;
    if (f.txComplete)
        s |= kSrTxComplete;
    if (f.txBufferFree)
        s |= kSrTxBufferReleased;
    if (f.dataOverrun)
        s |= kSrDataOverrun;
    return s;
}

}  // namespace can::sja1000
