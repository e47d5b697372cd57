// Decoding a received frame into its signals' values, on the receive thread: no allocation, no
// lock, the bit positions worked out when the database was read (decode_plan.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dbc/database.h"

namespace dbc {

enum class SignalState : std::uint8_t {
    kValue,        // raw and value hold what the frame carries
    kShortFrame,   // the frame ended before the signal (or its multiplexer): no value
    kNotSelected,  // the multiplexer chose other signals
};

struct DecodedSignal {
    SignalState state = SignalState::kNotSelected;
    // Integer signals: the raw value, sign-extended to 64 bits when signed (read it as
    // std::int64_t then). Float signals: the IEEE bits (a float's in the low 32).
    std::uint64_t raw = 0;
    double value = 0;                    // physical: raw × factor + offset, in double
    const std::string* label = nullptr;  // the value table's text for raw, null when none
};

// Decodes every signal of `message` from the frame's data bytes: out[i] for message.signals[i].
// out must hold at least message.signals.size() entries; beyond that it is left alone. Bytes past
// 64 are ignored. Returns the number of signals that got a value.
//
//   data (hex)               signal                  state        raw        value
//   12 34 FE DC BC 0A 05 80  7|12@0+ (1,0)           kValue       291        291
//   12 34 FE DC BC 0A 05 80  23|12@0- (0.5,-10)      kValue       -19        -19.5
//   12 34                    32|12@1+ (1,0)          kShortFrame  0          0
//   mux raw 2                m3 signal               kNotSelected 0          0
std::size_t Decode(const Message& message, std::span<const std::uint8_t> data,
                   std::span<DecodedSignal> out) noexcept;

// The raw value as a number: a float signal's IEEE value, else the integer (exact up to 2^53).
double RawNumber(const Signal& signal, std::uint64_t raw) noexcept;

// What a view shows for a signal without value: "fehlt: Rahmen zu kurz", "nicht gewählt
// (Multiplexer)"; empty for kValue.
std::string_view StateText(SignalState state) noexcept;

}  // namespace dbc
