// Appends text into a caller's bounded buffer without allocating, counting the whole length as
// snprintf does: at most size - 1 characters and a terminating NUL are written (nothing when size
// is 0), and Finish() returns the length of the whole text, so a result of size or more means the
// text was cut. Numbers come out as the C locale writes them, whatever locale the program runs in.
//
//   call                                  text        as printf would write it
//   PutDecimal(42)                        42          %llu
//   PutDecimal(7, 6)                      000007      %06llu
//   PutSigned(-3)                         -3          %lld
//   PutHex(0x12, 4, HexCase::kLower)      0012        %04x
//   PutHex(0x1ABCD, 4, HexCase::kLower)   1abcd       %04x (longer values whole)
//   PutHex(0x7FF, 3, HexCase::kUpper)     7FF         %03X
//   PutFixed(1.0005, 3)                   1.000       %.3f (rounded as printf rounds)
//   Pad(3, 6)                             3 blanks    (from column 3 to column 6)
//   "abcdef" into a buffer of 4           abc, NUL    Finish() == 6
#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace can {

enum class HexCase { kLower, kUpper };

class TextWriter {
  public:
    TextWriter(char* out, std::size_t size) : out_(out), size_(size) {}

    void Put(char c) {
        if (length_ + 1 < size_)
            out_[length_] = c;
        ++length_;
    }
    void Put(const char* text) {
        while (*text != '\0')
            Put(*text++);
    }
    void Put(std::string_view text) {
        for (char c : text)
            Put(c);
    }
    // Blanks from column `written` up to `width`.
    void Pad(std::size_t written, std::size_t width) {
        for (; written < width; ++written)
            Put(' ');
    }

    // Decimal, at least minDigits digits with leading zeros; returns the digits written.
    std::size_t PutDecimal(std::uint64_t value, int minDigits = 1) {
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n < minDigits && n < static_cast<int>(sizeof digits))
            digits[n++] = '0';
        const std::size_t count = static_cast<std::size_t>(n);
        while (n > 0)
            Put(digits[--n]);
        return count;
    }
    void PutSigned(std::int64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        Put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }
    // Hex, at least minDigits digits with leading zeros, more when the value needs them; returns
    // the digits written.
    std::size_t PutHex(std::uint32_t value, int minDigits, HexCase hexCase) {
        const char* const table = hexCase == HexCase::kUpper ? kUpper : kLower;
        int digits = 1;
        while (digits < 8 && (value >> (4 * digits)) != 0)
            ++digits;
        for (int pad = digits; pad < minDigits; ++pad)
            Put('0');
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
            Put(table[(value >> shift) & 0xF]);
        return static_cast<std::size_t>(std::max(digits, minDigits));
    }
    // Fixed notation with `decimals` places; to_chars rounds exactly as printf does, but never
    // writes a locale's comma.
    void PutFixed(double value, int decimals) {
        char digits[352];  // room for the largest double in fixed notation
        const auto result = std::to_chars(digits, digits + sizeof digits, value,
                                          std::chars_format::fixed, decimals);
        Put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    }

    // Terminates the text and returns its whole length.
    std::size_t Finish() {
        if (size_ > 0)
            out_[std::min(length_, size_ - 1)] = '\0';
        return length_;
    }

  private:
    static constexpr char kLower[] = "0123456789abcdef";
    static constexpr char kUpper[] = "0123456789ABCDEF";

    char* out_;
    std::size_t size_;
    std::size_t length_ = 0;
};

}  // namespace can
