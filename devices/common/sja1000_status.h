// Bits of the SJA1000 status register, which the devices report in CanMsg::status so that a record
// says what the controller was doing when the event happened.
#pragma once

#include <cstdint>

namespace devices::sja1000 {

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

}  // namespace devices::sja1000
