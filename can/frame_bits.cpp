#include "can/frame_bits.h"

#include <array>
#include <bit>

namespace can {
namespace {

// Trailer after the CRC: CRC delimiter, ACK slot, ACK delimiter, end of frame.
constexpr int kTrailerBits = 1 + 2 + 7;
constexpr int kCrcBits = 15;
constexpr std::uint16_t kCrcPolynomial = 0x4599;

// SOF through the CRC of the longest frame: 39 + 64 + 15 bits.
constexpr int kMaxStreamBytes = 15;

// The bits of a frame, most significant first, packed into bytes as they go on the bus. Every
// count read from here is worked a byte at a time through the tables below: the bus load is
// counted for every frame on a flooded bus, and bit by bit that cost 158 ns a frame.
class BitStream {
  public:
    void Put(std::uint32_t value, int count) {
        pending_ = (pending_ << count) | (value & ((std::uint64_t{1} << count) - 1));
        pendingBits_ += count;
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            bytes_[size_++] = static_cast<std::uint8_t>(pending_ >> pendingBits_);
        }
    }
    int Bytes() const { return size_; }
    std::uint8_t Byte(int i) const { return bytes_[i]; }
    // The bits after the last whole byte, at the low end, and how many there are.
    std::uint32_t Tail() const {
        return static_cast<std::uint32_t>(pending_ & ((1u << pendingBits_) - 1));
    }
    int TailBits() const { return pendingBits_; }

  private:
    std::array<std::uint8_t, kMaxStreamBytes> bytes_{};
    int size_ = 0;
    std::uint64_t pending_ = 0;
    int pendingBits_ = 0;
};

// SOF through the data field, the part the CRC covers.
BitStream CoveredBits(const Frame& f) {
    BitStream s;
    const std::uint32_t rtr = f.rtr ? 1 : 0;
    if (f.extended) {
        const std::uint32_t id = f.id & kExtendedIdMask;
        // SOF, base identifier, SRR, IDE; then the extension, RTR, r1 and r0.
        s.Put(((id >> 18) << 2) | 0x3, 1 + 11 + 2);
        s.Put(((id & 0x3FFFF) << 3) | (rtr << 2), 18 + 3);
    } else {
        // SOF, identifier, RTR, IDE and r0.
        s.Put(((f.id & kStandardIdMask) << 3) | (rtr << 2), 1 + 11 + 3);
    }
    s.Put(f.dlc & 0x0F, 4);
    for (int i = 0; i < f.DataBytes(); ++i)
        s.Put(f.data[i], 8);
    return s;
}

constexpr std::uint16_t CrcBit(std::uint16_t crc, std::uint32_t bit) {
    const bool next = (bit ^ (crc >> 14)) & 1;
    crc = static_cast<std::uint16_t>((crc << 1) & 0x7FFF);
    return next ? static_cast<std::uint16_t>(crc ^ kCrcPolynomial) : crc;
}

// The register after eight zero bits, from a register whose top eight bits are the index.
constexpr std::array<std::uint16_t, 256> kCrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        auto crc = static_cast<std::uint16_t>(i << (kCrcBits - 8));
        for (int b = 0; b < 8; ++b)
            crc = CrcBit(crc, 0);
        table[i] = crc;
    }
    return table;
}();

std::uint16_t Crc15(const BitStream& s) {
    std::uint16_t crc = 0;
    for (int i = 0; i < s.Bytes(); ++i) {
        crc = static_cast<std::uint16_t>(((crc << 8) & 0x7FFF) ^
                                         kCrcTable[((crc >> (kCrcBits - 8)) ^ s.Byte(i)) & 0xFF]);
    }
    for (int i = s.TailBits() - 1; i >= 0; --i)
        crc = CrcBit(crc, (s.Tail() >> i) & 1);
    return crc;
}

// The stuffing state: the level of the last bit and how many equal bits end with it (1..4),
// as state (level * 4 + run - 1), or kNoBit before the first bit. After five equal bits the
// transmitter inserts one of the opposite level, which itself starts the next run.
constexpr int kNoBit = 8;
constexpr int kStuffStates = 9;

struct StuffStep {
    int stuff;
    int state;
};

constexpr StuffStep StuffBit(int state, std::uint32_t bit) {
    int level = state == kNoBit ? -1 : state / 4;
    int run = state == kNoBit ? 0 : state % 4 + 1;
    int stuff = 0;
    if (static_cast<int>(bit) == level) {
        ++run;
    } else {
        level = static_cast<int>(bit);
        run = 1;
    }
    if (run == 5) {
        ++stuff;
        level = !bit;
        run = 1;
    }
    return {stuff, level * 4 + run - 1};
}

// For each state and byte: stuff bits inserted (at most 2) in the high nibble, the state after.
constexpr std::array<std::array<std::uint8_t, 256>, kStuffStates> kStuffTable = [] {
    std::array<std::array<std::uint8_t, 256>, kStuffStates> table{};
    for (int state = 0; state < kStuffStates; ++state) {
        for (int byte = 0; byte < 256; ++byte) {
            StuffStep step{0, state};
            for (int b = 7; b >= 0; --b) {
                const StuffStep next = StuffBit(step.state, (byte >> b) & 1);
                step = {step.stuff + next.stuff, next.state};
            }
            table[state][byte] = static_cast<std::uint8_t>((step.stuff << 4) | step.state);
        }
    }
    return table;
}();

int CountStuffBits(const BitStream& s) {
    int stuff = 0;
    int state = kNoBit;
    for (int i = 0; i < s.Bytes(); ++i) {
        const std::uint8_t entry = kStuffTable[state][s.Byte(i)];
        stuff += entry >> 4;
        state = entry & 0x0F;
    }
    for (int i = s.TailBits() - 1; i >= 0; --i) {
        const StuffStep step = StuffBit(state, (s.Tail() >> i) & 1);
        stuff += step.stuff;
        state = step.state;
    }
    return stuff;
}

}  // namespace

int UnstuffedFrameBits(const Frame& frame) {
    int covered = (frame.extended ? 39 : 19) + 8 * frame.DataBytes();
    return covered + kCrcBits + kTrailerBits;
}

std::uint16_t FrameCrc15(const Frame& frame) {
    return Crc15(CoveredBits(frame));
}

int StuffBits(const Frame& frame) {
    BitStream s = CoveredBits(frame);
    s.Put(Crc15(s), kCrcBits);
    return CountStuffBits(s);
}

int BusBits(const Frame& frame) {
    return UnstuffedFrameBits(frame) + StuffBits(frame) + kIntermissionBits;
}

std::int64_t BitsToNanoseconds(std::int64_t bits, std::uint32_t baudrate) {
    if (baudrate == 0)
        return 0;
    return bits * 1'000'000'000 / baudrate;
}

std::uint32_t ArbitrationKey(const Frame& f) {
    // The arbitration bits left-aligned in 32 bits, dominant 0 winning: base identifier, RTR
    // (standard) or SRR (extended), IDE, and for extended frames the identifier extension and RTR.
    std::uint32_t rtr = f.rtr ? 1 : 0;
    if (!f.extended)
        return ((f.id & kStandardIdMask) << 21) | (rtr << 20);
    std::uint32_t id = f.id & kExtendedIdMask;
    return ((id >> 18) << 21) | (1u << 20) | (1u << 19) | ((id & 0x3FFFF) << 1) | rtr;
}

int ArbitrationFieldBits(const Frame& frame) {
    return frame.extended ? 32 : 12;
}

int ArbitrationLostBit(const Frame& loser, const Frame& winner) {
    std::uint32_t diff = ArbitrationKey(loser) ^ ArbitrationKey(winner);
    if (diff == 0)
        return -1;
    return std::countl_zero(diff) + 1;
}

}  // namespace can
