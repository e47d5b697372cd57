#include "dbc/signal_decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace dbc {

double RawNumber(const Signal& signal, std::uint64_t raw) noexcept {
    switch (signal.valueType) {
        case ValueType::kFloat32:
            return std::bit_cast<float>(static_cast<std::uint32_t>(raw));
        case ValueType::kFloat64:
            return std::bit_cast<double>(raw);
        case ValueType::kInteger:
            break;
    }
    return signal.isSigned ? static_cast<double>(static_cast<std::int64_t>(raw))
                           : static_cast<double>(raw);
}

std::string_view StateText(SignalState state) noexcept {
    switch (state) {
        case SignalState::kValue:
            return {};
        case SignalState::kShortFrame:
            return "fehlt: Rahmen zu kurz";
        case SignalState::kNotSelected:
            return "nicht gewählt (Multiplexer)";
    }
    return {};
}

std::size_t Decode(const Message& message, std::span<const std::uint8_t> data,
                   std::span<DecodedSignal> out) noexcept {
    // Zero padding lets every signal load its 9-byte window without a bounds test.
    std::uint8_t buffer[kMaxMessageBytes + 9] = {};
    const std::size_t length = std::min<std::size_t>(data.size(), kMaxMessageBytes);
    if (length > 0)
        std::memcpy(buffer, data.data(), length);
    std::size_t values = 0;
    for (const SignalPlan& p : message.plan) {
        DecodedSignal& d = out[p.signal];
        d = DecodedSignal{};
        if (p.multiplexer >= 0) {
            const DecodedSignal& mux = out[p.multiplexer];
            if (mux.state != SignalState::kValue) {
                d.state = mux.state;
                continue;
            }
            const MultiplexRange* r = message.planRanges.data() + p.firstRange;
            const MultiplexRange* end = r + p.rangeCount;
            while (r != end && (mux.raw < r->first || mux.raw > r->last))
                ++r;
            if (r == end)
                continue;
        }
        if (p.bits.neededBytes > length) {
            d.state = SignalState::kShortFrame;
            continue;
        }
        std::uint64_t raw = DecodeBits(p.bits, buffer);
        double number;
        if (p.type == ValueType::kFloat32) {
            number = std::bit_cast<float>(static_cast<std::uint32_t>(raw));
        } else if (p.type == ValueType::kFloat64) {
            number = std::bit_cast<double>(raw);
        } else if (p.isSigned) {
            if (p.length < 64) {
                const std::uint64_t sign = std::uint64_t{1} << (p.length - 1);
                raw = (raw ^ sign) - sign;
            }
            number = static_cast<double>(static_cast<std::int64_t>(raw));
        } else {
            number = static_cast<double>(raw);
        }
        d.state = SignalState::kValue;
        d.raw = raw;
        d.value = number * p.factor + p.offset;
        const Signal& s = message.signals[p.signal];
        if (!s.labels.empty()) {
            if (p.type == ValueType::kInteger) {
                d.label = s.Label(raw);
            } else if (std::trunc(number) == number && std::fabs(number) < 9.2e18) {
                d.label = s.Label(static_cast<std::uint64_t>(static_cast<std::int64_t>(number)));
            }
        }
        ++values;
    }
    return values;
}

}  // namespace dbc
