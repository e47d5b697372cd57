// How the receive path reads one signal's bits: worked out once per signal when a database is
// read, so that decoding a frame is a few loads, shifts and a multiply, with no branches on the
// byte order's numbering.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace dbc {

enum class ByteOrder : std::uint8_t { kIntel, kMotorola };
enum class ValueType : std::uint8_t { kInteger, kFloat32, kFloat64 };

// The longest payload a database message may declare (CAN FD).
inline constexpr int kMaxMessageBytes = 64;

struct BitPlan {
    std::uint8_t firstByte = 0;  // lowest byte the signal touches
    std::uint8_t shift = 0;      // Intel: the low bit in the first byte; Motorola: see DecodeBits
    bool wide = false;           // the signal touches 9 bytes (64 bits not on a byte boundary)
    bool motorola = false;
    std::uint8_t neededBytes = 0;  // a frame shorter than this does not carry the signal
    std::uint64_t mask = 0;
};

// startBit as a DBC file gives it: Intel the least significant bit, Motorola the most significant
// one, both in the sawtooth numbering (bit 7 of byte 0 is 7, bit 0 of byte 1 is 8). length 1..64.
BitPlan PlanBits(int startBit, int length, ByteOrder order);

// The last frame bit a signal uses plus one, in Intel numbering for Intel and in the MSB-first
// numbering (bit 7 of byte 0 is 0) for Motorola: the signal fits a message of n bytes when this
// is at most 8 n. Negative when the signal would run before the first bit.
int BitsNeeded(int startBit, int length, ByteOrder order);

inline std::uint64_t LoadLittle64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return std::endian::native == std::endian::little ? v : __builtin_bswap64(v);
}

inline std::uint64_t LoadBig64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return std::endian::native == std::endian::big ? v : __builtin_bswap64(v);
}

// Reads the bits from a frame buffer that holds at least firstByte + 9 bytes (pad with zeros).
inline std::uint64_t DecodeBits(const BitPlan& plan, const std::uint8_t* buffer) noexcept {
    const std::uint8_t* p = buffer + plan.firstByte;
    std::uint64_t v;
    if (!plan.motorola) {
        v = LoadLittle64(p) >> plan.shift;
        if (plan.wide)
            v |= static_cast<std::uint64_t>(p[8]) << (64 - plan.shift);
    } else if (!plan.wide) {
        v = LoadBig64(p) >> plan.shift;
    } else {
        v = (LoadBig64(p + 1) >> plan.shift) |
            (static_cast<std::uint64_t>(p[0]) << (64 - plan.shift));
    }
    return v & plan.mask;
}

// One signal's entry in its message's decode order (multiplexers before what they select).
struct SignalPlan {
    BitPlan bits;
    std::uint16_t signal = 0;       // index in Message::signals
    std::int16_t multiplexer = -1;  // index in Message::signals, -1 when always present
    std::uint16_t length = 0;
    bool isSigned = false;
    ValueType type = ValueType::kInteger;
    std::uint32_t firstRange = 0;  // this signal's ranges in Message::planRanges
    std::uint32_t rangeCount = 0;
    double factor = 1;
    double offset = 0;
};

}  // namespace dbc
