#include "dbc/signal_encoder.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace dbc {

namespace {

std::string Number(double v) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return std::string(text, ec == std::errc() ? end : text);
}

std::string Quoted(const Signal& s) {
    return "\"" + s.name + "\"";
}

// Writes the low `length` bits of raw where the signal's bits lie.
void PutBits(const Signal& s, std::uint64_t raw, std::uint8_t* data) {
    const int msb = s.startBit / 8 * 8 + 7 - s.startBit % 8;  // Motorola, counted MSB first
    for (int i = 0; i < s.length; ++i) {
        int byte, bit;
        if (s.byteOrder == ByteOrder::kIntel) {
            byte = (s.startBit + i) / 8;
            bit = (s.startBit + i) % 8;
        } else {
            const int index = msb + s.length - 1 - i;
            byte = index / 8;
            bit = 7 - index % 8;
        }
        const auto mask = static_cast<std::uint8_t>(1u << bit);
        data[byte] =
            static_cast<std::uint8_t>((raw >> i) & 1 ? data[byte] | mask : data[byte] & ~mask);
    }
}

bool Selected(const Message& m, const std::vector<std::uint64_t>& raw,
              const std::vector<char>& selected, int i) {
    const Signal& s = m.signals[i];
    if (s.multiplexer < 0)
        return true;
    if (!selected[s.multiplexer])
        return false;
    for (const MultiplexRange& r : s.multiplexValues) {
        if (raw[s.multiplexer] >= r.first && raw[s.multiplexer] <= r.last)
            return true;
    }
    return false;
}

}  // namespace

std::optional<std::uint64_t> PhysicalToRaw(const Signal& s, double physical, std::string& error) {
    const bool ranged = s.minimum != 0 || s.maximum != 0;
    if (std::isnan(physical) || (ranged && (physical < s.minimum || physical > s.maximum))) {
        error = "Wert " + Number(physical) + " für Signal " + Quoted(s) +
                " außerhalb des Bereichs " + Number(s.minimum) + " … " + Number(s.maximum) + ".";
        return std::nullopt;
    }
    const double scaled = (physical - s.offset) / s.factor;
    if (s.valueType == ValueType::kFloat64 && std::isfinite(scaled))
        return std::bit_cast<std::uint64_t>(scaled);
    if (s.valueType == ValueType::kFloat32 &&
        std::fabs(scaled) <= std::numeric_limits<float>::max())
        return std::bit_cast<std::uint32_t>(static_cast<float>(scaled));
    const double r = std::round(scaled);
    // 2^n as a double is exact for every width, so the comparisons are too.
    const double top = std::ldexp(1.0, s.isSigned ? s.length - 1 : s.length);
    const double bottom = s.isSigned ? -top : 0;
    if (s.valueType == ValueType::kInteger && r >= bottom && r < top) {
        if (s.isSigned)
            return static_cast<std::uint64_t>(static_cast<std::int64_t>(r));
        return static_cast<std::uint64_t>(r);
    }
    if (s.valueType != ValueType::kInteger) {
        error = "Wert " + Number(physical) + " für Signal " + Quoted(s) + " passt nicht in " +
                (s.valueType == ValueType::kFloat32 ? "float." : "double.");
    } else {
        error = "Wert " + Number(physical) + " für Signal " + Quoted(s) + " passt nicht in " +
                std::to_string(s.length) + " Bits (Rohwert " + Number(bottom) + " … " +
                Number(top - 1) + ").";
    }
    return std::nullopt;
}

EncodeResult Encode(const Message& m, std::span<const SignalValue> values) {
    EncodeResult result;
    const std::size_t n = m.signals.size();
    std::vector<std::uint64_t> raw(n, 0);
    std::vector<char> given(n, 0);
    for (const SignalValue& v : values) {
        const int i = m.FindSignal(v.signal);
        if (i < 0) {
            result.error =
                "Botschaft \"" + m.name + "\" hat kein Signal \"" + std::string(v.signal) + "\".";
            return result;
        }
        const Signal& s = m.signals[i];
        if (given[i]) {
            result.error = "Signal " + Quoted(s) + " ist zweimal angegeben.";
            return result;
        }
        given[i] = 1;
        if (!v.label.empty()) {
            auto r = s.RawOfLabel(v.label);
            if (!r) {
                result.error = "Signal " + Quoted(s) + " kennt den Wert \"" + std::string(v.label) +
                               "\" nicht.";
                return result;
            }
            raw[i] = *r;
        } else if (auto r = PhysicalToRaw(s, v.physical, result.error)) {
            raw[i] = *r;
        } else {
            return result;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!given[i])
            raw[i] = m.signals[i].startValue.value_or(0);
    }
    // The plan puts multiplexers before the signals they select.
    std::vector<char> selected(n, 0);
    EncodedFrame frame;
    frame.id = m.id;
    frame.extended = m.extended;
    frame.length = static_cast<std::uint8_t>(m.length);
    for (const SignalPlan& p : m.plan)
        selected[p.signal] = Selected(m, raw, selected, p.signal);
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < n; ++i) {
            const Signal& s = m.signals[i];
            if (given[i] && !selected[i]) {
                result.error = "Signal " + Quoted(s) + " wird beim gegebenen Wert von \"" +
                               m.signals[s.multiplexer].name + "\" nicht gesendet.";
                return result;
            }
            // Given values last, so that they win over start values where signals overlap.
            if (selected[i] && given[i] == pass)
                PutBits(s, raw[i], frame.data.data());
        }
    }
    result.frame = frame;
    return result;
}

}  // namespace dbc
