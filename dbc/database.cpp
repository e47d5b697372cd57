#include "dbc/database.h"

#include <algorithm>

namespace dbc {

namespace {

// Motorola bits counted from the most significant bit of byte 0, so that a signal's bits run
// upwards from its start bit.
int MsbFirstIndex(int sawtoothBit) {
    return sawtoothBit / 8 * 8 + 7 - sawtoothBit % 8;
}

}  // namespace

int BitsNeeded(int startBit, int length, ByteOrder order) {
    if (order == ByteOrder::kIntel)
        return startBit + length;
    return MsbFirstIndex(startBit) + length;
}

BitPlan PlanBits(int startBit, int length, ByteOrder order) {
    BitPlan plan;
    plan.mask = length >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
    plan.motorola = order == ByteOrder::kMotorola;
    if (!plan.motorola) {
        const int last = startBit + length - 1;
        plan.firstByte = static_cast<std::uint8_t>(startBit / 8);
        plan.shift = static_cast<std::uint8_t>(startBit % 8);
        plan.wide = last / 8 - startBit / 8 == 8;
        plan.neededBytes = static_cast<std::uint8_t>(last / 8 + 1);
        return plan;
    }
    const int msb = MsbFirstIndex(startBit);
    const int lsb = msb + length - 1;
    const int bytes = lsb / 8 - msb / 8 + 1;
    const int lsbInByte = 7 - lsb % 8;
    plan.firstByte = static_cast<std::uint8_t>(msb / 8);
    plan.wide = bytes == 9;
    plan.shift = static_cast<std::uint8_t>(plan.wide ? lsbInByte : 64 - 8 * bytes + lsbInByte);
    plan.neededBytes = static_cast<std::uint8_t>(lsb / 8 + 1);
    return plan;
}

const std::string* Signal::Label(std::uint64_t raw) const noexcept {
    auto it = std::lower_bound(labels.begin(), labels.end(), raw,
                               [](const ValueLabel& l, std::uint64_t r) { return l.raw < r; });
    return it != labels.end() && it->raw == raw ? &it->text : nullptr;
}

std::optional<std::uint64_t> Signal::RawOfLabel(std::string_view text) const {
    for (const ValueLabel& l : labels) {
        if (l.text == text)
            return l.raw;
    }
    return std::nullopt;
}

int Message::FindSignal(std::string_view wanted) const noexcept {
    for (std::size_t i = 0; i < signals.size(); ++i) {
        if (signals[i].name == wanted || signals[i].symbol == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

const Message* Database::FindMessage(std::uint32_t id, bool extended) const noexcept {
    for (const Message& m : messages) {
        if (m.id == id && m.extended == extended)
            return &m;
    }
    return nullptr;
}

const Message* Database::FindMessage(std::string_view wanted) const noexcept {
    for (const Message& m : messages) {
        if (m.name == wanted || m.symbol == wanted)
            return &m;
    }
    return nullptr;
}

void BuildDecodePlan(Message& message) {
    const std::size_t n = message.signals.size();
    std::vector<int> depth(n, -1);
    // Links are acyclic, so each walk up the chain ends.
    for (std::size_t i = 0; i < n; ++i) {
        int d = 0;
        for (int m = message.signals[i].multiplexer; m >= 0; m = message.signals[m].multiplexer)
            ++d;
        depth[i] = d;
    }
    message.plan.clear();
    message.planRanges.clear();
    for (std::size_t i = 0; i < n; ++i) {
        const Signal& s = message.signals[i];
        SignalPlan p;
        p.bits = PlanBits(s.startBit, s.length, s.byteOrder);
        p.signal = static_cast<std::uint16_t>(i);
        p.multiplexer = static_cast<std::int16_t>(s.multiplexer);
        p.length = static_cast<std::uint16_t>(s.length);
        p.isSigned = s.isSigned;
        p.type = s.valueType;
        p.factor = s.factor;
        p.offset = s.offset;
        p.firstRange = static_cast<std::uint32_t>(message.planRanges.size());
        p.rangeCount = static_cast<std::uint32_t>(s.multiplexValues.size());
        message.planRanges.insert(message.planRanges.end(), s.multiplexValues.begin(),
                                  s.multiplexValues.end());
        message.plan.push_back(p);
    }
    std::stable_sort(message.plan.begin(), message.plan.end(),
                     [&](const SignalPlan& a, const SignalPlan& b) {
                         return depth[a.signal] < depth[b.signal];
                     });
}

}  // namespace dbc
