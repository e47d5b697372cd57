// The adapter driver's request protocol: control codes, the 36-byte message record, the 16-byte
// device information record, event types and controller commands.
//
// Both records travel as fixed little-endian byte layouts. The structs below have exactly that
// layout in memory on a little-endian host; ToWire/FromWire convert on any host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

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

// Event types (CanMsg::type of a read reply).
inline constexpr std::int32_t CAN_EV_RX = 2;
inline constexpr std::int32_t CAN_EV_TX = 3;
inline constexpr std::int32_t CAN_EV_BUS_ERROR = 4;
inline constexpr std::int32_t CAN_EV_OVERRUN = 5;
inline constexpr std::int32_t CAN_EV_WAKE_UP = 6;
inline constexpr std::int32_t CAN_EV_WARNING = 7;
inline constexpr std::int32_t CAN_EV_PASSIVE = 8;
inline constexpr std::int32_t CAN_EV_ARBITRATION = 9;
inline constexpr std::int32_t CAN_EV_RX_STD = 11;
inline constexpr std::int32_t CAN_EV_RX_EXT = 12;
inline constexpr std::int32_t CAN_EV_TX_STD = 13;
inline constexpr std::int32_t CAN_EV_TX_EXT = 14;

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

// Byte 23 of a frame record, which the driver's protocol leaves unread: the in-process adapters
// put the frame's own identifier format there whatever frame-format reporting says, so that a
// recording, the overview and the exact bus load tell a 29-bit 0x123 from an 11-bit one while
// the log shows types 2 and 3. A driver that knows nothing of it leaves 0.
inline constexpr std::uint8_t CAN_RECORD_FORMAT_UNKNOWN = 0;
inline constexpr std::uint8_t CAN_RECORD_FORMAT_STD = 1;
inline constexpr std::uint8_t CAN_RECORD_FORMAT_EXT = 2;

inline constexpr int kCanMaxSendBytes = 10;  // bytes a transmit request can carry
inline constexpr int kCanMaxFrameBytes = 8;  // bytes a frame on the bus carries

// One frame or bus event: the output of IOCTL_CAN_READ and the input of IOCTL_CAN_WRITE. A
// written record's type is 0, or CAN_EV_TX_STD / CAN_EV_TX_EXT to send that one frame with an
// 11-bit / 29-bit identifier whatever the channel's frame format (29-bit only in PeliCAN mode).
struct CanMsg {
    std::int32_t type;
    std::uint32_t ticksLow;
    std::uint32_t ticksHigh;
    std::uint32_t id;
    std::int32_t lost;
    std::uint8_t rtr;
    std::uint8_t dlc;
    std::uint8_t status;
    std::uint8_t format;  // CAN_RECORD_FORMAT_*; zero in a transmit request
    std::uint16_t valid;
    std::uint8_t data[kCanMaxSendBytes];
};

static_assert(sizeof(CanMsg) == 36);
static_assert(offsetof(CanMsg, type) == 0);
static_assert(offsetof(CanMsg, ticksLow) == 4);
static_assert(offsetof(CanMsg, ticksHigh) == 8);
static_assert(offsetof(CanMsg, id) == 12);
static_assert(offsetof(CanMsg, lost) == 16);
static_assert(offsetof(CanMsg, rtr) == 20);
static_assert(offsetof(CanMsg, dlc) == 21);
static_assert(offsetof(CanMsg, status) == 22);
static_assert(offsetof(CanMsg, format) == 23);
static_assert(offsetof(CanMsg, valid) == 24);
static_assert(offsetof(CanMsg, data) == 26);

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

inline constexpr std::size_t kCanMsgSize = sizeof(CanMsg);
inline constexpr std::size_t kCanDeviceInfoSize = sizeof(CanDeviceInfo);

inline std::uint64_t CanMsgTicks(const CanMsg& m) {
    return (std::uint64_t{m.ticksHigh} << 32) | m.ticksLow;
}
// Whether a frame record carries a 29-bit identifier: by its type where format reporting gave
// one, else by its format byte, else (a driver that reports neither) by the identifier's value.
inline bool CanMsgIsExtended(const CanMsg& m) {
    if (m.type == CAN_EV_RX_EXT || m.type == CAN_EV_TX_EXT)
        return true;
    if (m.type == CAN_EV_RX_STD || m.type == CAN_EV_TX_STD)
        return false;
    if (m.format != CAN_RECORD_FORMAT_UNKNOWN)
        return m.format == CAN_RECORD_FORMAT_EXT;
    return m.id > 0x7FFu;
}

inline std::uint64_t CanDeviceClock(const CanDeviceInfo& i) {
    return (std::uint64_t{i.clockHigh} << 32) | i.clockLow;
}
inline std::uint32_t CanTicksPerMs(const CanDeviceInfo& i) {
    return i.clockKind == CAN_CLOCK_KIND_FAST ? 10000u : 1250u;
}

// Conversion between the records and their little-endian wire bytes. On a little-endian host
// both are a plain copy.
namespace can_wire {

template <class T>
T ByteSwapped(T v) {
    if constexpr (sizeof(T) == 1) {
        return v;
    } else {
        auto u = static_cast<std::make_unsigned_t<T>>(v);
        std::make_unsigned_t<T> r = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            r = (r << 8) | ((u >> (8 * i)) & 0xFF);
        return static_cast<T>(r);
    }
}

template <class T>
T ToLittle(T v) {
    return std::endian::native == std::endian::little ? v : ByteSwapped(v);
}

inline CanMsg Swapped(CanMsg m) {
    m.type = ToLittle(m.type);
    m.ticksLow = ToLittle(m.ticksLow);
    m.ticksHigh = ToLittle(m.ticksHigh);
    m.id = ToLittle(m.id);
    m.lost = ToLittle(m.lost);
    m.valid = ToLittle(m.valid);
    return m;
}

inline CanDeviceInfo Swapped(CanDeviceInfo i) {
    i.ident = ToLittle(i.ident);
    i.clockLow = ToLittle(i.clockLow);
    i.clockHigh = ToLittle(i.clockHigh);
    return i;
}

}  // namespace can_wire

inline void ToWire(const CanMsg& m, std::uint8_t (&out)[kCanMsgSize]) {
    CanMsg le = can_wire::Swapped(m);
    std::memcpy(out, &le, kCanMsgSize);
}
inline CanMsg CanMsgFromWire(const std::uint8_t* in) {
    CanMsg m;
    std::memcpy(&m, in, kCanMsgSize);
    return can_wire::Swapped(m);
}
inline void ToWire(const CanDeviceInfo& i, std::uint8_t (&out)[kCanDeviceInfoSize]) {
    CanDeviceInfo le = can_wire::Swapped(i);
    std::memcpy(out, &le, kCanDeviceInfoSize);
}
inline CanDeviceInfo CanDeviceInfoFromWire(const std::uint8_t* in) {
    CanDeviceInfo i;
    std::memcpy(&i, in, kCanDeviceInfoSize);
    return can_wire::Swapped(i);
}
