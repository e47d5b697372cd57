// The CAN core's small helpers against the tables in their headers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "can/floor_div.h"
#include "can/hex_digit.h"
#include "can/text_writer.h"

namespace {

TEST(CanCore, FloorDivRoundsTowardMinusInfinity) {
    const struct {
        std::int64_t a, b, expected;
    } cases[] = {{7, 2, 3}, {-7, 2, -4}, {-8, 2, -4}, {-1, 1000, -1}, {0, 1000, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(can::FloorDiv(c.a, c.b), c.expected) << c.a << " / " << c.b;
}

TEST(CanCore, HexDigitValueTakesBothCases) {
    const struct {
        char c;
        int expected;
    } cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', -1}, {' ', -1}, {'@', -1}};
    for (const auto& c : cases)
        EXPECT_EQ(can::HexDigitValue(c.c), c.expected) << c.c;
}

TEST(CanCore, TextWriterWritesAsPrintfAndCountsWhatIsCut) {
    using can::HexCase;
    using can::TextWriter;
    const struct {
        const char* name;
        void (*write)(TextWriter&);
        std::size_t size;
        std::string text;
        std::size_t length;
    } cases[] = {
        {"decimal", [](TextWriter& w) { w.PutDecimal(42); }, 32, "42", 2},
        {"zeros", [](TextWriter& w) { w.PutDecimal(7, 6); }, 32, "000007", 6},
        {"signed", [](TextWriter& w) { w.PutSigned(-3); }, 32, "-3", 2},
        {"hex4", [](TextWriter& w) { w.PutHex(0x12, 4, HexCase::kLower); }, 32, "0012", 4},
        {"hex whole", [](TextWriter& w) { w.PutHex(0x1ABCD, 4, HexCase::kLower); }, 32, "1abcd", 5},
        {"hex upper", [](TextWriter& w) { w.PutHex(0x7FF, 3, HexCase::kUpper); }, 32, "7FF", 3},
        {"fixed", [](TextWriter& w) { w.PutFixed(1.0005, 3); }, 32, "1.000", 5},
        {"pad", [](TextWriter& w) { w.Pad(3, 6); }, 32, "   ", 3},
        {"cut", [](TextWriter& w) { w.Put("abcdef"); }, 4, "abc", 6},
        {"no room", [](TextWriter& w) { w.Put('x'); }, 0, "", 1},
    };
    for (const auto& c : cases) {
        char out[32] = "unchanged";
        TextWriter w(out, c.size);
        c.write(w);
        EXPECT_EQ(w.Finish(), c.length) << c.name;
        if (c.size > 0)
            EXPECT_EQ(std::string(out), c.text) << c.name;
        else
            EXPECT_EQ(std::string(out), "unchanged") << c.name;
    }
}

}  // namespace
