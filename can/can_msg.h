// The 36-byte message record: one frame or bus event as a device reports it (the output of
// IOCTL_CAN_READ) and one transmit request (the input of IOCTL_CAN_WRITE), its event types, and
// its fixed little-endian wire bytes. The struct has exactly that layout in memory on a
// little-endian host; ToWire/CanMsgFromWire convert on any host.
//
// What a record is (frame or bus event, received or sent, which identifier format) is told once,
// in can/record_class.h.
//
//   type   record                     type   record
//   2      frame received             11/12  frame received, 11-bit / 29-bit identifier
//   3      frame sent (confirmation)  13/14  frame sent, 11-bit / 29-bit identifier
//   4..9   bus events (bus error, overrun, wake up, warning, passive, arbitration lost)
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

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

inline constexpr std::size_t kCanMsgSize = sizeof(CanMsg);

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

// A record of the protocol as its wire bytes and back. WireOrder(record), found beside the
// record's type, puts its multi-byte fields into little-endian order (and back).
template <class Record>
void ToBytes(const Record& record, std::uint8_t (&out)[sizeof(Record)]) {
    const Record le = WireOrder(record);
    std::memcpy(out, &le, sizeof(Record));
}

template <class Record>
Record FromBytes(const std::uint8_t* in) {
    Record record;
    std::memcpy(&record, in, sizeof(Record));
    return WireOrder(record);
}

}  // namespace can_wire

inline CanMsg WireOrder(CanMsg m) {
    using can_wire::ToLittle;
    m.type = ToLittle(m.type);
    m.ticksLow = ToLittle(m.ticksLow);
    m.ticksHigh = ToLittle(m.ticksHigh);
    m.id = ToLittle(m.id);
    m.lost = ToLittle(m.lost);
    m.valid = ToLittle(m.valid);
    return m;
}

inline void ToWire(const CanMsg& m, std::uint8_t (&out)[kCanMsgSize]) {
    can_wire::ToBytes(m, out);
}
inline CanMsg CanMsgFromWire(const std::uint8_t* in) {
    return can_wire::FromBytes<CanMsg>(in);
}
