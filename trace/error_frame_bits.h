// SocketCAN's error frame layout (linux/can/error.h), spelled out so that traces are written and
// read the same on hosts without that header: the identifier's class bits and the bytes of
// data[1] (controller) and data[2] (protocol) that vesk writes and reads.
#pragma once

#include <cstdint>

#if defined(__linux__)
#include <linux/can.h>
#include <linux/can/error.h>
#endif

namespace trace::err {

inline constexpr std::uint32_t kFlag = 0x20000000;
inline constexpr std::uint32_t kLostArb = 0x002;
inline constexpr std::uint32_t kCrtl = 0x004;
inline constexpr std::uint32_t kProt = 0x008;
inline constexpr std::uint32_t kAck = 0x020;
inline constexpr std::uint32_t kBusOff = 0x040;
inline constexpr std::uint32_t kBusError = 0x080;
inline constexpr std::uint32_t kRestarted = 0x100;

inline constexpr std::uint8_t kCrtlRxOverflow = 0x01;
inline constexpr std::uint8_t kCrtlTxOverflow = 0x02;
inline constexpr std::uint8_t kCrtlRxWarning = 0x04;
inline constexpr std::uint8_t kCrtlTxWarning = 0x08;
inline constexpr std::uint8_t kCrtlRxPassive = 0x10;
inline constexpr std::uint8_t kCrtlTxPassive = 0x20;
inline constexpr std::uint8_t kCrtlActive = 0x40;
// Either direction, as a reader takes them.
inline constexpr std::uint8_t kCrtlOverflow = kCrtlRxOverflow | kCrtlTxOverflow;
inline constexpr std::uint8_t kCrtlWarning = kCrtlRxWarning | kCrtlTxWarning;
inline constexpr std::uint8_t kCrtlPassive = kCrtlRxPassive | kCrtlTxPassive;

inline constexpr std::uint8_t kProtTx = 0x80;

#if defined(__linux__)
static_assert(kFlag == CAN_ERR_FLAG && kLostArb == CAN_ERR_LOSTARB && kCrtl == CAN_ERR_CRTL &&
              kProt == CAN_ERR_PROT && kAck == CAN_ERR_ACK && kBusOff == CAN_ERR_BUSOFF &&
              kBusError == CAN_ERR_BUSERROR && kRestarted == CAN_ERR_RESTARTED);
static_assert(kCrtlRxOverflow == CAN_ERR_CRTL_RX_OVERFLOW &&
              kCrtlTxOverflow == CAN_ERR_CRTL_TX_OVERFLOW &&
              kCrtlRxWarning == CAN_ERR_CRTL_RX_WARNING &&
              kCrtlTxWarning == CAN_ERR_CRTL_TX_WARNING &&
              kCrtlRxPassive == CAN_ERR_CRTL_RX_PASSIVE &&
              kCrtlTxPassive == CAN_ERR_CRTL_TX_PASSIVE && kCrtlActive == CAN_ERR_CRTL_ACTIVE &&
              kProtTx == CAN_ERR_PROT_TX);
#endif

}  // namespace trace::err
