// How numbers cross the dialogs as text: hexadecimal identifiers and filter values, decimal baud
// rate and interval. Free of wx so that the rules can be tested without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reads a hexadecimal number the way the "%lx" scan conversion does: leading white space is
// skipped, an optional sign and an optional "0x"/"0X" prefix are accepted, and reading stops at
// the first character that is not a hexadecimal digit. A minus sign negates the number modulo
// 2^32, so "-1" reads as 0xffffffff. Returns nothing when the text holds no number at that place.
//
// Numbers wider than 32 bits keep their low 32 bits ("123456789" reads as 0x23456789): the value
// is accumulated modulo 2^32, as a 32-bit "long" scan does, rather than clamped.
std::optional<std::uint32_t> ScanHex(std::string_view text);

// ScanHex into an existing value; a text without a number leaves the value as it was.
// Returns whether a number was read.
bool ScanHexInto(std::string_view text, std::uint32_t& value);

// Lower-case hexadecimal with at least minDigits digits: "%03lx" is FormatHex(v, 3), "%08lx"
// is FormatHex(v, 8).
std::string FormatHex(std::uint32_t value, int minDigits);

// Whole-field decimal reads for the edit fields that hold numbers. Blanks around the number are
// allowed; anything else after it, an empty field and values outside the type are refused.
std::optional<std::uint32_t> ParseUnsignedDecimal(std::string_view text);
std::optional<std::int32_t> ParseSignedDecimal(std::string_view text);

// What the transmit dialog refuses before it sends, because the reading rules above would send
// something other than what was typed. Each returns nothing for a text that may go out, else
// the German reason for the status line.
//
//   identifier text   widest     result
//   "123", " 0x7ff "  0x7ff      nothing
//   "18fef100"        0x7ff      "Die CAN-ID 18fef100 hat mehr als 11 Bit (höchstens 7ff)."
//   "18fef100"        0x1fffffff nothing
//   "zz", "12g"       any        "Die CAN-ID „zz“ ist keine Hexadezimalzahl."
//   "", "  "          any        "Die CAN-ID fehlt."
//   "-1"              any        "Die CAN-ID „-1“ ist keine Hexadezimalzahl."
std::optional<std::string> IdentifierProblem(std::string_view text, std::uint32_t widest);

//   data text             result
//   "", "11 22", "123"    nothing ("123" is 12 03, the byte list's rule for long tokens;
//                         values past the tenth are left out as the byte list leaves them)
//   "123 zz 4"            "Die Daten enthalten „zz“, das ist keine Hexadezimalzahl."
//   "11,22"               "Die Daten enthalten „11,22“, das ist keine Hexadezimalzahl."
std::optional<std::string> ByteListProblem(std::string_view text);
