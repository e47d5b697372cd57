#include "log/byte_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAreArray;

// Parses into a guarded buffer so a write past the limit shows up as a changed guard byte.
std::vector<unsigned char> Parse(const char* text, int limit = kByteListLimit) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(limit) + 4, 0xEE);
    const int count = ParseByteList(buffer.data(), limit, text);
    for (std::size_t i = static_cast<std::size_t>(limit); i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xEE) << "written past the limit at " << i << " for \"" << text << '"';
    }
    EXPECT_GE(count, 0);
    EXPECT_LE(count, limit);
    buffer.resize(static_cast<std::size_t>(count));
    return buffer;
}

struct ParseCase {
    const char* text;
    std::vector<unsigned char> bytes;
};

class ByteListTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ByteListTable, GivesTheBytesOfTheTable) {
    EXPECT_THAT(Parse(GetParam().text), ElementsAreArray(GetParam().bytes))
        << "text \"" << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ByteListTable,
    ::testing::Values(
        ParseCase{"", {}}, ParseCase{"    ", {}}, ParseCase{"11 22 33", {0x11, 0x22, 0x33}},
        ParseCase{"112233", {0x11, 0x22, 0x33}}, ParseCase{"1 2 3", {0x01, 0x02, 0x03}},
        ParseCase{"   a  b ", {0x0a, 0x0b}}, ParseCase{"123", {0x12, 0x03}},
        ParseCase{"1 23 456", {0x01, 0x23, 0x45, 0x06}}, ParseCase{"FF ff", {0xff, 0xff}},
        ParseCase{"0 1 2 3 4 5 6 7 8 9 a", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        // A token that starts without a hex digit still counts, as 0.
        ParseCase{"11,22", {0x11, 0x00, 0x02}}, ParseCase{"zz 1g", {0x00, 0x01}},
        ParseCase{"\t5", {0x00}}, ParseCase{"-1", {0x00}}, ParseCase{"aB Cd", {0xab, 0xcd}},
        ParseCase{"0x12", {0x00, 0x12}}, ParseCase{"\xc3\xa4", {0x00}}));

TEST(ByteList, StopsAtTheLimitAndIgnoresTheRest) {
    EXPECT_THAT(Parse("11 22 33 44 55 66 77 88 99 aa bb cc dd"),
                ElementsAreArray({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa}));
    EXPECT_THAT(Parse("112233445566778899aabbccdd"),
                ElementsAreArray({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa}));
    EXPECT_THAT(Parse("11 22 33", 2), ElementsAreArray({0x11, 0x22}));
    EXPECT_THAT(Parse("1 2 3", 1), ElementsAreArray({0x01}));
    std::string longText(1000, 'f');
    EXPECT_EQ(Parse(longText.c_str()).size(), 10u);
}

TEST(ByteList, RefusesWhatItCannotParseSafely) {
    unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(ParseByteList(out, 0, "11 22"), 0);
    EXPECT_EQ(ParseByteList(out, -3, "11 22"), 0);
    EXPECT_EQ(ParseByteList(out, 4, nullptr), 0);
    EXPECT_EQ(ParseByteList(nullptr, 4, "11"), 0);
    EXPECT_EQ(out[0], 0xEE);
}

}  // namespace
