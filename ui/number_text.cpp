#include "ui/number_text.h"

#include <cstdio>

#include "can/hex_digit.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Digits only, accumulated in 64 bits; nothing for an empty text or a value above limit.
std::optional<std::uint64_t> ParseDigits(std::string_view digits, std::uint64_t limit) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> ScanHex(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // "0x" is a prefix only when a digit follows; otherwise the "0" alone is the number.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        can::HexDigitValue(text[i + 2]) >= 0) {
        i += 2;
    }
    if (i >= text.size() || can::HexDigitValue(text[i]) < 0)
        return std::nullopt;
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        int digit = can::HexDigitValue(text[i]);
        if (digit < 0)
            break;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

bool ScanHexInto(std::string_view text, std::uint32_t& value) {
    if (auto v = ScanHex(text)) {
        value = *v;
        return true;
    }
    return false;
}

std::string FormatHex(std::uint32_t value, int minDigits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*lx", minDigits, static_cast<unsigned long>(value));
    return buffer;
}

std::optional<std::uint32_t> ParseUnsignedDecimal(std::string_view text) {
    auto v = ParseDigits(TrimBlanks(text), UINT32_MAX);
    if (!v)
        return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

std::optional<std::int32_t> ParseSignedDecimal(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    auto v = ParseDigits(text, negative ? std::uint64_t{INT32_MAX} + 1 : INT32_MAX);
    if (!v)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(*v)
                                              : static_cast<std::int64_t>(*v));
}

namespace {

bool AllHexDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (can::HexDigitValue(c) < 0)
            return false;
    }
    return true;
}

std::string NotHex(std::string_view what, std::string_view text) {
    return std::string(what) + " „" + std::string(text) + "“ ist keine Hexadezimalzahl.";
}

}  // namespace

std::optional<std::string> IdentifierProblem(std::string_view text, std::uint32_t widest) {
    std::string_view digits = TrimBlanks(text);
    if (digits.empty())
        return std::string("Die CAN-ID fehlt.");
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.remove_prefix(2);
    if (!AllHexDigits(digits))
        return NotHex("Die CAN-ID", TrimBlanks(text));
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    const std::optional<std::uint32_t> value = digits.size() <= 8 ? ScanHex(digits) : std::nullopt;
    if (value && *value <= widest)
        return std::nullopt;
    const int bits = widest > 0x7FF ? 29 : 11;
    return "Die CAN-ID " + std::string(digits) + " hat mehr als " + std::to_string(bits) +
           " Bit (höchstens " + FormatHex(widest, 1) + ").";
}

std::optional<std::string> ByteListProblem(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = text.find(' ');
        const std::string_view token = text.substr(0, end);
        if (!token.empty()) {
            if (!AllHexDigits(token))
                return "Die Daten enthalten „" + std::string(token) +
                       "“, das ist keine Hexadezimalzahl.";
        }
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return std::nullopt;
}
