// The error frame layout of Linux CAN (linux/can/error.h), spelled out so that traces are written
// and read the same on hosts without that header: the identifier's class bits and the bytes of
// data[1] (controller) and data[2] (protocol) that vesk writes and reads. The SocketCAN adapter
// checks these values against the kernel's header at compile time.
//
//   what happened                      identifier           data[1]        data[2]
//   bus error on our transmission      kFlag|kProt|kBusError               kProtTx
//   receive buffer overrun             kFlag|kCrtl          kCrtlRxOverflow
//   error passive (receive counter)    kFlag|kCrtl          kCrtlRxPassive
//   bus off                            kFlag|kBusOff
//   back to error active after it      kFlag|kRestarted|kCrtl kCrtlActive
//   arbitration lost                   kFlag|kLostArb
#pragma once

#include <cstdint>

namespace can::err {

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

}  // namespace can::err
