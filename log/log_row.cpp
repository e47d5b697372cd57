#include "log/log_row.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

constexpr const char* kBusEventTexts[] = {"Bus error",     "Overrun", "Wake up",
                                          "Warning error", "Passive", "Arbitration"};
constexpr char kHexDigits[] = "0123456789abcdef";

// Appends into a bounded buffer while counting the whole length, like snprintf.
class CellWriter {
  public:
    CellWriter(char* out, std::size_t size) : out_(out), size_(size) {}

    void Put(char c) {
        if (length_ + 1 < size_)
            out_[length_] = c;
        ++length_;
    }
    void Put(const char* text) {
        while (*text != '\0')
            Put(*text++);
    }
    void Put(const char* first, const char* last) {
        while (first != last)
            Put(*first++);
    }

    // "%04x": at least four digits, more when the value needs them.
    void PutHex4(std::uint32_t value) {
        char digits[8];
        int n = 0;
        do {
            digits[n++] = kHexDigits[value & 0xF];
            value >>= 4;
        } while (value != 0);
        for (int pad = n; pad < 4; ++pad)
            Put('0');
        while (n > 0)
            Put(digits[--n]);
    }
    void PutHexByte(std::uint8_t value) {
        Put(kHexDigits[value >> 4]);
        Put(kHexDigits[value & 0xF]);
    }
    void PutDecimal(long value) {
        char digits[24];
        auto result = std::to_chars(digits, digits + sizeof digits, value);
        Put(digits, result.ptr);
    }
    // "%.3lf"; to_chars rounds exactly as printf does, but never writes a locale's comma.
    void PutSeconds(double value) {
        char digits[352];  // room for the largest double in fixed notation
        auto result =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
        Put(digits, result.ptr);
    }

    std::size_t Finish() {
        if (size_ > 0)
            out_[std::min(length_, size_ - 1)] = '\0';
        return length_;
    }

  private:
    char* out_;
    std::size_t size_;
    std::size_t length_ = 0;
};

}  // namespace

LogEventClass ClassifyLogEvent(std::int32_t type) {
    for (int suffix = 0; suffix < 3; ++suffix) {
        if (type == kLogReceivedTypes[suffix]) {
            return {LogRowKind::kReceived, suffix, kLogReceivedText};
        }
        if (type == kLogTransmittedTypes[suffix]) {
            return {LogRowKind::kTransmitted, suffix, kLogTransmittedText};
        }
    }
    if (type >= CAN_EV_BUS_ERROR && type <= CAN_EV_ARBITRATION) {
        return {LogRowKind::kBusEvent, 0, kBusEventTexts[type - CAN_EV_BUS_ERROR]};
    }
    return {LogRowKind::kNone, 0, ""};
}

std::size_t FormatLogCell(const LogRow& row, int column, char* out, std::size_t size) {
    CellWriter w(out, size);
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
            w.PutSeconds(row.absSeconds);
            w.Put(" s  [");
            w.PutSeconds(row.deltaSeconds);
            w.Put(" s]");
            break;
        case 2:
            w.PutHex4(m.status);
            break;
        case 3:
            w.PutHex4(m.id);
            break;
        case 4:
            w.PutDecimal(m.rtr);
            break;
        case 5:
            w.PutDecimal(m.dlc);
            break;
        case 6: {
            const int count = std::min<int>(m.dlc, kLogDataLimit);
            for (int i = 0; i < count; ++i) {
                w.Put(' ');
                w.PutHexByte(m.data[i]);
            }
            break;
        }
        case 7:
            w.PutDecimal(m.lost);
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
