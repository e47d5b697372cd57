#include "devices/common/frame_bits.h"

#include <bit>

namespace devices {
namespace {

// Trailer after the CRC: CRC delimiter, ACK slot, ACK delimiter, end of frame.
constexpr int kTrailerBits = 1 + 2 + 7;
constexpr int kCrcBits = 15;

// Feeds SOF through the data field, the part the CRC covers, to `bit` one bit at a time.
template <class Sink>
void ForEachCoveredBit(const CanFrame& f, Sink&& bit) {
    auto put = [&bit](std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            bit((value >> i) & 1);
    };
    std::uint32_t rtr = f.rtr ? 1 : 0;
    put(0, 1);  // SOF
    if (f.extended) {
        std::uint32_t id = f.id & kExtendedIdMask;
        put(id >> 18, 11);
        put(1, 1);  // SRR
        put(1, 1);  // IDE
        put(id & 0x3FFFF, 18);
        put(rtr, 1);
        put(0, 2);  // r1, r0
    } else {
        put(f.id & kStandardIdMask, 11);
        put(rtr, 1);
        put(0, 1);  // IDE
        put(0, 1);  // r0
    }
    put(f.dlc & 0x0F, 4);
    for (int i = 0; i < f.DataBytes(); ++i)
        put(f.data[i], 8);
}

struct Crc15 {
    std::uint16_t value = 0;
    void operator()(std::uint32_t bit) {
        bool next = (bit ^ (value >> 14)) & 1;
        value = static_cast<std::uint16_t>((value << 1) & 0x7FFF);
        if (next)
            value ^= 0x4599;
    }
};

// Counts the stuff bits a transmitter inserts: after five equal bits, one of the opposite level,
// which itself starts the next run.
struct StuffCounter {
    int stuff = 0;
    int run = 0;
    std::uint32_t previous = 2;
    void operator()(std::uint32_t bit) {
        if (bit == previous) {
            ++run;
        } else {
            previous = bit;
            run = 1;
        }
        if (run == 5) {
            ++stuff;
            previous = !bit;
            run = 1;
        }
    }
};

}  // namespace

int UnstuffedFrameBits(const CanFrame& frame) {
    int covered = (frame.extended ? 39 : 19) + 8 * frame.DataBytes();
    return covered + kCrcBits + kTrailerBits;
}

std::uint16_t FrameCrc15(const CanFrame& frame) {
    Crc15 crc;
    ForEachCoveredBit(frame, crc);
    return crc.value;
}

int StuffBits(const CanFrame& frame) {
    Crc15 crc;
    StuffCounter stuffing;
    ForEachCoveredBit(frame, [&](std::uint32_t bit) {
        crc(bit);
        stuffing(bit);
    });
    for (int i = kCrcBits - 1; i >= 0; --i)
        stuffing((crc.value >> i) & 1);
    return stuffing.stuff;
}

int BusBits(const CanFrame& frame) {
    return UnstuffedFrameBits(frame) + StuffBits(frame) + kIntermissionBits;
}

std::int64_t BitsToNanoseconds(std::int64_t bits, std::uint32_t baudrate) {
    if (baudrate == 0)
        return 0;
    return bits * 1'000'000'000 / baudrate;
}

std::uint32_t ArbitrationKey(const CanFrame& f) {
    // The arbitration bits left-aligned in 32 bits, dominant 0 winning: base identifier, RTR
    // (standard) or SRR (extended), IDE, and for extended frames the identifier extension and RTR.
    std::uint32_t rtr = f.rtr ? 1 : 0;
    if (!f.extended)
        return ((f.id & kStandardIdMask) << 21) | (rtr << 20);
    std::uint32_t id = f.id & kExtendedIdMask;
    return ((id >> 18) << 21) | (1u << 20) | (1u << 19) | ((id & 0x3FFFF) << 1) | rtr;
}

int ArbitrationFieldBits(const CanFrame& frame) {
    return frame.extended ? 32 : 12;
}

int ArbitrationLostBit(const CanFrame& loser, const CanFrame& winner) {
    std::uint32_t diff = ArbitrationKey(loser) ^ ArbitrationKey(winner);
    if (diff == 0)
        return -1;
    return std::countl_zero(diff) + 1;
}

}  // namespace devices
