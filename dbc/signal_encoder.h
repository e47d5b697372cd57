// Encoding a database message from physical values, for sending it: the inverse of Decode. Values
// outside a signal's range or width are refused, never wrapped or clamped.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dbc/database.h"

namespace dbc {

// {"Drehzahl", 1200.0} or, by a value table's text, {"Gang", "Rückwärts"}.
struct SignalValue {
    SignalValue(std::string_view name, double value) : signal(name), physical(value) {}
    SignalValue(std::string_view name, std::string_view text) : signal(name), label(text) {}

    std::string_view signal;  // name or symbol
    double physical = 0;
    std::string_view label;  // sent instead of physical when not empty
};

struct EncodedFrame {
    std::uint32_t id = 0;
    bool extended = false;
    std::uint8_t length = 0;  // the message's length
    std::array<std::uint8_t, kMaxMessageBytes> data{};
};

struct EncodeResult {
    std::optional<EncodedFrame> frame;  // empty when refused
    std::string error;                  // German, naming signal and limits
};

// The raw value for a physical one: round((physical − offset) / factor), ties away from zero.
// Refused (nullopt and error) when physical lies outside [minimum, maximum] (unless that is 0..0)
// or the raw value outside the signal's width. Float signals give their IEEE bits.
//
//   signal                    physical   result
//   8 bit unsigned (1,0) 0..0   255.5    refused: raw 256 does not fit 8 bits
//   8 bit unsigned (1,0) 0..0   2.5      3
//   8 bit signed   (1,0) 0..0   -2.5     -3 (bits 0xFF..FD)
//   8 bit unsigned (1,0) 0..100 101      refused: "Wert 101 für Signal ... außerhalb des
//                                        Bereichs 0 … 100."
std::optional<std::uint64_t> PhysicalToRaw(const Signal& signal, double physical,
                                           std::string& error);

// The whole message: the given signals at their values, every other signal the multiplexers
// select at its start value (GenSigStartValue, else 0), bits of no signal 0. A multiplexer is
// given like any signal; a signal it does not select may not be given. Refused when a name is
// unknown or given twice, a label unknown, or a value does not fit.
EncodeResult Encode(const Message& message, std::span<const SignalValue> values);

}  // namespace dbc
