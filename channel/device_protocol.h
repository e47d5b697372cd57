// The adapter driver's request protocol: control codes, the 16-byte device information record,
// controller modes, frame formats and commands. The 36-byte message record the requests carry,
// its event types and its wire bytes are the CAN core's (can/can_msg.h).
//
// The information record travels as a fixed little-endian byte layout. The struct below has
// exactly that layout in memory on a little-endian host; ToWire/FromWire convert on any host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "can/can_msg.h"

// <windows.h> (wx brings it along) has these four as macros of the same values. Where it came
// first, ours take their place; where it comes later, its macros expand to the same numbers.
#undef CTL_CODE
#undef FILE_DEVICE_PARALLEL_PORT
#undef METHOD_BUFFERED
#undef FILE_ANY_ACCESS

constexpr std::uint32_t CTL_CODE(std::uint32_t deviceType, std::uint32_t function,
                                 std::uint32_t method, std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

inline constexpr std::uint32_t FILE_DEVICE_PARALLEL_PORT = 0x16;
inline constexpr std::uint32_t METHOD_BUFFERED = 0;
inline constexpr std::uint32_t FILE_ANY_ACCESS = 0;

constexpr std::uint32_t CanIoctl(std::uint32_t function) {
    return CTL_CODE(FILE_DEVICE_PARALLEL_PORT, function, METHOD_BUFFERED, FILE_ANY_ACCESS);
}

inline constexpr std::uint32_t IOCTL_CAN_GET_DEVICE_INFO = CanIoctl(0x801);
inline constexpr std::uint32_t IOCTL_CAN_WAIT_EVENT = CanIoctl(0x807);
inline constexpr std::uint32_t IOCTL_CAN_SET_ACCEPTANCE = CanIoctl(0x809);
inline constexpr std::uint32_t IOCTL_CAN_WRITE = CanIoctl(0x810);
inline constexpr std::uint32_t IOCTL_CAN_SET_BAUDRATE = CanIoctl(0x811);
inline constexpr std::uint32_t IOCTL_CAN_READ = CanIoctl(0x813);
inline constexpr std::uint32_t IOCTL_CAN_SET_MODE = CanIoctl(0x814);
inline constexpr std::uint32_t IOCTL_CAN_SET_FRAME_FORMAT = CanIoctl(0x815);
inline constexpr std::uint32_t IOCTL_CAN_COMMAND = CanIoctl(0x816);
inline constexpr std::uint32_t IOCTL_CAN_SET_SOFT_ACCEPTANCE = CanIoctl(0x817);

static_assert(IOCTL_CAN_GET_DEVICE_INFO == 0x162004);
static_assert(IOCTL_CAN_WAIT_EVENT == 0x16201c);
static_assert(IOCTL_CAN_SET_ACCEPTANCE == 0x162024);
static_assert(IOCTL_CAN_WRITE == 0x162040);
static_assert(IOCTL_CAN_SET_BAUDRATE == 0x162044);
static_assert(IOCTL_CAN_READ == 0x16204c);
static_assert(IOCTL_CAN_SET_MODE == 0x162050);
static_assert(IOCTL_CAN_SET_FRAME_FORMAT == 0x162054);
static_assert(IOCTL_CAN_COMMAND == 0x162058);
static_assert(IOCTL_CAN_SET_SOFT_ACCEPTANCE == 0x16205c);

// Controller mode (byte of IOCTL_CAN_SET_MODE).
inline constexpr std::uint8_t CAN_MODE_BASIC = 0;    // Basic CAN, CAN 2.0A
inline constexpr std::uint8_t CAN_MODE_PELICAN = 1;  // PeliCAN, CAN 2.0B

// Frame format (byte of IOCTL_CAN_SET_FRAME_FORMAT).
inline constexpr std::uint8_t CAN_FORMAT_STANDARD = 0;  // 11-bit identifiers
inline constexpr std::uint8_t CAN_FORMAT_EXTENDED = 1;  // 29-bit identifiers

// Controller commands (byte of IOCTL_CAN_COMMAND).
inline constexpr std::uint8_t CAN_CMD_STANDBY = 1;
inline constexpr std::uint8_t CAN_CMD_ABORT_TX = 2;
inline constexpr std::uint8_t CAN_CMD_CLEAR_OVERRUN = 3;
inline constexpr std::uint8_t CAN_CMD_FORMAT_REPORT_ON = 5;
inline constexpr std::uint8_t CAN_CMD_FORMAT_REPORT_OFF = 6;

// The identification value a device must report (CanDeviceInfo::ident).
inline constexpr std::uint32_t CAN_DEVICE_IDENT = 4;
// CanDeviceInfo::clockKind value of a clock at 10000 ticks per ms; any other: 1250 per ms.
inline constexpr std::uint8_t CAN_CLOCK_KIND_FAST = 2;

// The reply of IOCTL_CAN_GET_DEVICE_INFO.
struct CanDeviceInfo {
    std::uint32_t ident;
    std::uint32_t clockLow;
    std::uint32_t clockHigh;
    std::uint8_t unused12;
    std::uint8_t clockKind;
    std::uint8_t unused14[2];
};

static_assert(sizeof(CanDeviceInfo) == 16);
static_assert(offsetof(CanDeviceInfo, ident) == 0);
static_assert(offsetof(CanDeviceInfo, clockLow) == 4);
static_assert(offsetof(CanDeviceInfo, clockHigh) == 8);
static_assert(offsetof(CanDeviceInfo, clockKind) == 13);

inline constexpr std::size_t kCanDeviceInfoSize = sizeof(CanDeviceInfo);

inline std::uint64_t CanDeviceClock(const CanDeviceInfo& i) {
    return (std::uint64_t{i.clockHigh} << 32) | i.clockLow;
}
inline std::uint32_t CanTicksPerMs(const CanDeviceInfo& i) {
    return i.clockKind == CAN_CLOCK_KIND_FAST ? 10000u : 1250u;
}

inline CanDeviceInfo WireOrder(CanDeviceInfo i) {
    using can_wire::ToLittle;
    i.ident = ToLittle(i.ident);
    i.clockLow = ToLittle(i.clockLow);
    i.clockHigh = ToLittle(i.clockHigh);
    return i;
}

inline void ToWire(const CanDeviceInfo& i, std::uint8_t (&out)[kCanDeviceInfoSize]) {
    can_wire::ToBytes(i, out);
}
inline CanDeviceInfo CanDeviceInfoFromWire(const std::uint8_t* in) {
    return can_wire::FromBytes<CanDeviceInfo>(in);
}
