#include "ui/number_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ScanHex, ReadsTheNumberAtTheStartOfTheText) {
    EXPECT_EQ(ScanHex("7ff"), 0x7ffu);
    EXPECT_EQ(ScanHex("7FF"), 0x7ffu);
    EXPECT_EQ(ScanHex("0x123"), 0x123u);
    EXPECT_EQ(ScanHex("0X1aB"), 0x1abu);
    EXPECT_EQ(ScanHex(" 100"), 0x100u);
    EXPECT_EQ(ScanHex("\t\n 42"), 0x42u);
    EXPECT_EQ(ScanHex("ffffffff"), 0xffffffffu);
    EXPECT_EQ(ScanHex("00000000"), 0u);
}

TEST(ScanHex, StopsAtTheFirstCharacterThatIsNoHexDigit) {
    EXPECT_EQ(ScanHex("12g4"), 0x12u);
    EXPECT_EQ(ScanHex("7ff 123"), 0x7ffu);
    EXPECT_EQ(ScanHex("abc,def"), 0xabcu);
    // "0x" without a digit after it is the number 0 followed by text.
    EXPECT_EQ(ScanHex("0x"), 0u);
    EXPECT_EQ(ScanHex("0xg"), 0u);
}

TEST(ScanHex, AcceptsASignAndNegatesModulo32Bits) {
    EXPECT_EQ(ScanHex("+1f"), 0x1fu);
    EXPECT_EQ(ScanHex("-1"), 0xffffffffu);
    EXPECT_EQ(ScanHex("-0x10"), 0xfffffff0u);
    EXPECT_EQ(ScanHex("-0"), 0u);
}

TEST(ScanHex, TextWithoutANumberGivesNothing) {
    EXPECT_EQ(ScanHex(""), std::nullopt);
    EXPECT_EQ(ScanHex("   "), std::nullopt);
    EXPECT_EQ(ScanHex("xyz"), std::nullopt);
    EXPECT_EQ(ScanHex("-"), std::nullopt);
    EXPECT_EQ(ScanHex("+ 5"), std::nullopt);
    EXPECT_EQ(ScanHex("- 5"), std::nullopt);
    EXPECT_EQ(ScanHex("x12"), std::nullopt);
}

TEST(ScanHex, KeepsTheLow32BitsOfWiderNumbers) {
    EXPECT_EQ(ScanHex("123456789"), 0x23456789u);
    EXPECT_EQ(ScanHex("1ffffffff"), 0xffffffffu);
    EXPECT_EQ(ScanHex("100000000"), 0u);
    EXPECT_EQ(ScanHex("fedcba9876543210"), 0x76543210u);
}

TEST(ScanHexInto, LeavesTheValueWhenTheTextHoldsNoNumber) {
    std::uint32_t value = 0x1234;
    EXPECT_FALSE(ScanHexInto("", value));
    EXPECT_EQ(value, 0x1234u);
    EXPECT_FALSE(ScanHexInto("zz", value));
    EXPECT_EQ(value, 0x1234u);
    EXPECT_TRUE(ScanHexInto("7ff", value));
    EXPECT_EQ(value, 0x7ffu);
    EXPECT_TRUE(ScanHexInto("0", value));
    EXPECT_EQ(value, 0u);
}

TEST(FormatHex, PadsToTheMinimumWidthInLowerCase) {
    EXPECT_EQ(FormatHex(0x7ff, 3), "7ff");
    EXPECT_EQ(FormatHex(5, 3), "005");
    EXPECT_EQ(FormatHex(0x1234, 3), "1234");
    EXPECT_EQ(FormatHex(0, 3), "000");
    EXPECT_EQ(FormatHex(0xFFFFFFFF, 8), "ffffffff");
    EXPECT_EQ(FormatHex(0x7ff, 8), "000007ff");
    EXPECT_EQ(FormatHex(0xABCDEF01, 3), "abcdef01");
}

TEST(FormatHex, RoundTripsThroughScanHex) {
    for (std::uint32_t v : {0u, 1u, 0x7ffu, 0x80000000u, 0xffffffffu, 0x1fffffffu}) {
        EXPECT_EQ(ScanHex(FormatHex(v, 8)), v);
        EXPECT_EQ(ScanHex(FormatHex(v, 3)), v);
    }
}

TEST(ParseUnsignedDecimal, TakesOnlyAWholeUnsignedNumber) {
    EXPECT_EQ(ParseUnsignedDecimal("125000"), 125000u);
    EXPECT_EQ(ParseUnsignedDecimal("  10000 "), 10000u);
    EXPECT_EQ(ParseUnsignedDecimal("4294967295"), 4294967295u);
    EXPECT_EQ(ParseUnsignedDecimal("4294967296"), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal("99999999999999999999999"), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal(""), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal("  "), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal("-5"), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal("12abc"), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal("1 2"), std::nullopt);
    EXPECT_EQ(ParseUnsignedDecimal("0x10"), std::nullopt);
}

TEST(ParseSignedDecimal, TakesAWholeSigned32BitNumber) {
    EXPECT_EQ(ParseSignedDecimal("50"), 50);
    EXPECT_EQ(ParseSignedDecimal(" -7 "), -7);
    EXPECT_EQ(ParseSignedDecimal("+0"), 0);
    EXPECT_EQ(ParseSignedDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseSignedDecimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseSignedDecimal("2147483648"), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal(""), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal("-"), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal("5ms"), std::nullopt);
    EXPECT_EQ(ParseSignedDecimal("1.5"), std::nullopt);
}

}  // namespace

namespace {

TEST(TransmitTextChecks, RefuseWhatTheReadingRulesWouldSendOtherwise) {
    const std::optional<std::string> ok;
    struct Case {
        const char* text;
        std::uint32_t widest;
        std::optional<std::string> problem;
    } ids[] = {
        {"123", 0x7FF, ok},
        {" 0x7ff ", 0x7FF, ok},
        {"000007ff", 0x7FF, ok},
        {"1fffffff", 0x1FFFFFFF, ok},
        {"800", 0x7FF, "Die CAN-ID 800 hat mehr als 11 Bit (höchstens 7ff)."},
        {"18fef100", 0x7FF, "Die CAN-ID 18fef100 hat mehr als 11 Bit (höchstens 7ff)."},
        {"20000000", 0x1FFFFFFF, "Die CAN-ID 20000000 hat mehr als 29 Bit (höchstens 1fffffff)."},
        {"123456789", 0x1FFFFFFF, "Die CAN-ID 123456789 hat mehr als 29 Bit (höchstens 1fffffff)."},
        {"zz", 0x1FFFFFFF, "Die CAN-ID „zz“ ist keine Hexadezimalzahl."},
        {"12g", 0x7FF, "Die CAN-ID „12g“ ist keine Hexadezimalzahl."},
        {"-1", 0x7FF, "Die CAN-ID „-1“ ist keine Hexadezimalzahl."},
        {"0x", 0x7FF, "Die CAN-ID „0x“ ist keine Hexadezimalzahl."},
        {"  ", 0x7FF, "Die CAN-ID fehlt."},
    };
    for (const Case& c : ids)
        EXPECT_EQ(IdentifierProblem(c.text, c.widest), c.problem) << c.text;

    const struct {
        const char* text;
        std::optional<std::string> problem;
    } data[] = {
        {"", ok},
        {"11 22  33", ok},
        {"123", ok},
        {"0 1 2 3 4 5 6 7 8 9", ok},
        {"00112233445566778899", ok},
        {"123 zz 4", "Die Daten enthalten „zz“, das ist keine Hexadezimalzahl."},
        {"11,22", "Die Daten enthalten „11,22“, das ist keine Hexadezimalzahl."},
        {"\t5", "Die Daten enthalten „\t5“, das ist keine Hexadezimalzahl."},
        {"0 1 2 3 4 5 6 7 8 9 a", ok},
    };
    for (const auto& c : data)
        EXPECT_EQ(ByteListProblem(c.text), c.problem) << c.text;
}

}  // namespace
