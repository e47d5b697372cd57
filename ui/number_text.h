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
