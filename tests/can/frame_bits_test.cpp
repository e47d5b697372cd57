#include "can/frame_bits.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

can::Frame Make(std::uint32_t id, bool extended, bool rtr, int dlc, std::uint8_t fill) {
    can::Frame f;
    f.id = id;
    f.extended = extended;
    f.rtr = rtr;
    f.dlc = static_cast<std::uint8_t>(dlc);
    f.data.fill(fill);
    return f;
}

// A second, deliberately different derivation: the frame as a text of '0' and '1', the CRC as the
// remainder of a long division by the generator polynomial, stuffing by scanning the text.
std::string Binary(std::uint32_t v, int bits) {
    std::string s;
    for (int i = bits - 1; i >= 0; --i)
        s += ((v >> i) & 1) ? '1' : '0';
    return s;
}

std::string ReferenceCrcCovered(const can::Frame& f) {
    std::string s = "0";
    if (f.extended) {
        s +=
            Binary(f.id >> 18, 11) + "11" + Binary(f.id & 0x3FFFF, 18) + (f.rtr ? "1" : "0") + "00";
    } else {
        s += Binary(f.id, 11) + (f.rtr ? "1" : "0") + "00";
    }
    s += Binary(f.dlc, 4);
    int n = f.rtr ? 0 : std::min<int>(f.dlc, 8);
    for (int i = 0; i < n; ++i)
        s += Binary(f.data[i], 8);
    return s;
}

std::string ReferenceCrc(const std::string& message) {
    const std::string generator = "1100010110011001";  // x^15+x^14+x^10+x^8+x^7+x^4+x^3+1
    std::string r = message + std::string(15, '0');
    for (std::size_t i = 0; i + 15 < r.size(); ++i) {
        if (r[i] == '0')
            continue;
        for (std::size_t j = 0; j < generator.size(); ++j)
            r[i + j] = r[i + j] == generator[j] ? '0' : '1';
    }
    return r.substr(r.size() - 15);
}

int ReferenceStuffBits(const std::string& bits) {
    std::string stuffed;
    int stuff = 0;
    for (char b : bits) {
        stuffed += b;
        std::size_t n = stuffed.size();
        if (n >= 5 && stuffed.compare(n - 5, 5, std::string(5, b)) == 0) {
            stuffed += b == '0' ? '1' : '0';
            ++stuff;
        }
    }
    return stuff;
}

TEST(FrameBits, UnstuffedLengthFollowsTheFrameLayout) {
    for (int n = 0; n <= 8; ++n) {
        EXPECT_EQ(can::UnstuffedFrameBits(Make(0x123, false, false, n, 0)), 44 + 8 * n);
        EXPECT_EQ(can::UnstuffedFrameBits(Make(0x123, true, false, n, 0)), 64 + 8 * n);
    }
    // A remote frame carries no data whatever its code; codes above 8 carry 8 bytes.
    EXPECT_EQ(can::UnstuffedFrameBits(Make(0x123, false, true, 8, 0)), 44);
    EXPECT_EQ(can::UnstuffedFrameBits(Make(0x123, false, false, 15, 0)), 44 + 64);
}

TEST(FrameBits, CountsStuffBitsExactly) {
    // 19 dominant bits and a CRC of zero: a stuff bit after every fifth of the 34 equal bits.
    EXPECT_EQ(can::FrameCrc15(Make(0, false, false, 0, 0)), 0);
    EXPECT_EQ(can::StuffBits(Make(0, false, false, 0, 0)), 6);
    EXPECT_EQ(can::BusBits(Make(0, false, false, 0, 0)), 44 + 6 + 3);

    // Many random frames against the bit-by-bit reference, with long runs of equal bits made
    // likely (all-zero and all-one bytes and identifiers) so that stuffing across byte
    // boundaries, into the CRC and after a stuff bit is exercised.
    std::mt19937 rng(7);
    const auto value = [&rng](std::uint32_t mask) -> std::uint32_t {
        switch (rng() % 4) {
            case 0:
                return 0;
            case 1:
                return mask;
            default:
                return rng() & mask;
        }
    };
    for (int i = 0; i < 100000; ++i) {
        bool extended = rng() & 1;
        can::Frame f =
            Make(value(extended ? 0x1FFFFFFF : 0x7FF), extended, (rng() % 8) == 0, rng() % 16, 0);
        for (auto& b : f.data)
            b = static_cast<std::uint8_t>(value(0xFF));
        std::string covered = ReferenceCrcCovered(f);
        std::string crc = ReferenceCrc(covered);
        ASSERT_EQ(Binary(can::FrameCrc15(f), 15), crc) << i;
        ASSERT_EQ(can::StuffBits(f), ReferenceStuffBits(covered + crc)) << i;
        int region = static_cast<int>(covered.size()) + 15;
        ASSERT_LE(can::StuffBits(f), (region - 1) / 4);
    }
}

TEST(FrameBits, DurationIsBitsOverBaudrate) {
    EXPECT_EQ(can::BitsToNanoseconds(112, 125000), 896000);
    EXPECT_EQ(can::BitsToNanoseconds(1, 1000000), 1000);
    EXPECT_EQ(can::BitsToNanoseconds(1, 800000), 1250);
    EXPECT_EQ(can::BitsToNanoseconds(1, 12800), 78125);
    EXPECT_EQ(can::BitsToNanoseconds(100, 0), 0);
}

TEST(Arbitration, LowerArbitrationFieldWins) {
    using can::ArbitrationKey;
    can::Frame a = Make(0x100, false, false, 0, 0);
    can::Frame b = Make(0x101, false, false, 0, 0);
    can::Frame remote = Make(0x100, false, true, 0, 0);
    can::Frame ext = Make(0x100u << 18, true, false, 0, 0);
    can::Frame extRemote = Make(0x100u << 18, true, true, 0, 0);
    can::Frame extHigher = Make((0x100u << 18) | 1, true, false, 0, 0);
    EXPECT_LT(ArbitrationKey(a), ArbitrationKey(b));
    EXPECT_LT(ArbitrationKey(a), ArbitrationKey(remote));
    EXPECT_LT(ArbitrationKey(remote), ArbitrationKey(ext));  // IDE decides
    EXPECT_LT(ArbitrationKey(ext), ArbitrationKey(extRemote));
    EXPECT_LT(ArbitrationKey(ext), ArbitrationKey(extHigher));
    EXPECT_LT(ArbitrationKey(ext), ArbitrationKey(Make(0x101, false, false, 0, 0)));
}

TEST(Arbitration, LostBitCountsFromTheFirstIdentifierBit) {
    auto lost = [](std::uint32_t loser, std::uint32_t winner) {
        return can::ArbitrationLostBit(Make(loser, false, false, 0, 0),
                                       Make(winner, false, false, 0, 0));
    };
    EXPECT_EQ(lost(0x101, 0x100), 11);
    EXPECT_EQ(lost(0x400, 0x000), 1);
    EXPECT_EQ(lost(0x100, 0x100), -1);
    EXPECT_EQ(
        can::ArbitrationLostBit(Make(0x123, false, true, 0, 0), Make(0x123, false, false, 0, 0)),
        12);
    EXPECT_EQ(can::ArbitrationLostBit(Make(0x123u << 18, true, false, 0, 0),
                                      Make(0x123, false, true, 0, 0)),
              13);
}

}  // namespace
