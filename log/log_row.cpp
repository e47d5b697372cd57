#include "log/log_row.h"

#include <algorithm>
#include <cstring>

#include "can/record_class.h"
#include "can/text_writer.h"

namespace {

constexpr const char* kBusEventTexts[] = {"Bus error",     "Overrun", "Wake up",
                                          "Warning error", "Passive", "Arbitration"};
}  // namespace

LogEventClass ClassifyLogEvent(std::int32_t type) {
    const can::RecordClass c = can::ClassifyType(type);
    const int suffix = static_cast<int>(c.named);
    if (c.IsReceived())
        return {LogRowKind::kReceived, suffix, kLogReceivedText};
    if (c.IsTransmitted())
        return {LogRowKind::kTransmitted, suffix, kLogTransmittedText};
    if (c.kind == can::RecordKind::kBusEvent)
        return {LogRowKind::kBusEvent, 0, kBusEventTexts[type - CAN_EV_BUS_ERROR]};
    return {LogRowKind::kNone, 0, ""};
}

std::size_t FormatLogCell(const LogRow& row, int column, char* out, std::size_t size) {
    can::TextWriter w(out, size);
    const LogEventClass event = ClassifyLogEvent(row.msg.type);
    const CanMsg& m = row.msg;

    const bool frame =
        event.kind == LogRowKind::kReceived || event.kind == LogRowKind::kTransmitted;
    const bool filled = event.kind != LogRowKind::kNone &&
                        ((column >= 0 && column <= 2) || (frame && column >= 3 && column <= 6) ||
                         (event.kind == LogRowKind::kReceived && column == 7));
    if (!filled)
        return w.Finish();

    switch (column) {
        case 0:
            w.Put(event.label);
            if (frame)
                w.Put(kLogSuffixTexts[event.suffix]);
            break;
        case 1:
            w.PutFixed(row.absSeconds, 3);
            w.Put(" s  [");
            w.PutFixed(row.deltaSeconds, 3);
            w.Put(" s]");
            break;
        case 2:
            w.PutHex(m.status, 4, can::HexCase::kLower);
            break;
        case 3:
            w.PutHex(m.id, 4, can::HexCase::kLower);
            break;
        case 4:
            w.PutSigned(m.rtr);
            break;
        case 5:
            w.PutSigned(m.dlc);
            break;
        case 6: {
            const int count = std::min<int>(m.dlc, kLogDataLimit);
            for (int i = 0; i < count; ++i) {
                w.Put(' ');
                w.PutHex(m.data[i], 2, can::HexCase::kLower);
            }
            break;
        }
        case 7:
            w.PutSigned(m.lost);
            break;
    }
    return w.Finish();
}

std::string FormatLogCell(const LogRow& row, int column) {
    char buffer[kLogCellCapacity];
    std::size_t length = FormatLogCell(row, column, buffer, sizeof buffer);
    if (length < sizeof buffer)
        return std::string(buffer, length);
    std::string text(length, '\0');
    FormatLogCell(row, column, text.data(), length + 1);
    return text;
}
