#include "monitor/frame_signals.h"

#include <algorithm>
#include <span>

#include "dbc/decode_plan.h"
#include "dbc/decoded_csv.h"
#include "dbc/signal_decoder.h"

namespace {

std::uint8_t BytesOf(const dbc::Signal& signal) {
    const dbc::BitPlan plan = dbc::PlanBits(signal.startBit, signal.length, signal.byteOrder);
    const int needed = dbc::BitsNeeded(signal.startBit, signal.length, signal.byteOrder);
    std::uint8_t mask = 0;
    for (int byte = plan.firstByte; byte <= (needed - 1) / 8 && byte < 8; ++byte)
        mask |= static_cast<std::uint8_t>(1u << byte);
    return mask;
}

}  // namespace

FrameSignals DecodeFrameSignals(const dbc::DatabaseSet& databases, std::uint32_t id, bool extended,
                                bool remote, const std::uint8_t* data, int length) {
    FrameSignals result;
    const dbc::MessageMatch match = databases.Find(id, extended);
    result.message = match.message;
    if (!match.message || remote)
        return result;
    const dbc::Message& message = *match.message;
    std::vector<dbc::DecodedSignal> decoded(message.signals.size());
    dbc::Decode(message,
                std::span<const std::uint8_t>(data, static_cast<std::size_t>(std::max(length, 0))),
                decoded);
    for (std::size_t i = 0; i < message.signals.size(); ++i) {
        const dbc::Signal& signal = message.signals[i];
        const dbc::DecodedSignal& d = decoded[i];
        if (d.state == dbc::SignalState::kNotSelected)
            continue;
        SignalRow row;
        row.name = signal.name;
        row.unit = signal.unit;
        row.bytes = BytesOf(signal);
        if (d.state == dbc::SignalState::kValue) {
            dbc::AppendValueText(row.value, d.value);
            if (d.label)
                row.label = *d.label;
        } else {
            row.label = std::string(dbc::StateText(d.state));
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}
