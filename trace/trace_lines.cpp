#include "trace/trace_lines.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "devices/common/can_frame.h"
#include "devices/common/frame_bits.h"
#include "devices/common/sja1000_status.h"
#include "platform/local_time.h"
#include "trace/error_frame_bits.h"

namespace trace {
namespace {

namespace sr = devices::sja1000;

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr const char* kAscStateTexts[] = {"error active", "warning level", "error passive",
                                          "bus off"};
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Appends into a bounded buffer while counting the whole length, like snprintf.
class LineWriter {
  public:
    LineWriter(char* out, std::size_t size) : out_(out), size_(size) {}

    void Put(char c) {
        if (length_ + 1 < size_)
            out_[length_] = c;
        ++length_;
    }
    void Put(const char* text) {
        while (*text != '\0')
            Put(*text++);
    }
    void Put(const char* text, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            Put(text[i]);
    }
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
        while (n < minDigits)
            digits[n++] = '0';
        const std::size_t count = static_cast<std::size_t>(n);
        while (n > 0)
            Put(digits[--n]);
        return count;
    }
    // Upper-case hex of exactly `digits` digits.
    void PutHexFixed(std::uint32_t value, int digits) {
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
            Put(kUpperHex[(value >> shift) & 0xF]);
    }
    // Upper-case hex without leading zeros; returns the digits written.
    std::size_t PutHex(std::uint32_t value) {
        int digits = 1;
        while (digits < 8 && (value >> (4 * digits)) != 0)
            ++digits;
        PutHexFixed(value, digits);
        return static_cast<std::size_t>(digits);
    }
    void PutByte(std::uint8_t value) {
        Put(kUpperHex[value >> 4]);
        Put(kUpperHex[value & 0xF]);
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

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    std::int64_t q = value / divisor;
    return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

// The frame a record describes, as the bus carries it.
struct FrameView {
    devices::CanFrame frame;
    bool received;
};

FrameView FrameOf(const CanMsg& msg) {
    FrameView v{};
    v.received = msg.type == CAN_EV_RX || msg.type == CAN_EV_RX_STD || msg.type == CAN_EV_RX_EXT;
    const bool extended = CanMsgIsExtended(msg);
    v.frame.extended = extended;
    v.frame.id = msg.id & (extended ? devices::kExtendedIdMask : devices::kStandardIdMask);
    v.frame.rtr = msg.rtr != 0;
    v.frame.dlc = msg.dlc <= devices::kMaxDlc ? msg.dlc : kCanMaxFrameBytes;
    std::copy_n(msg.data, kCanMaxFrameBytes, v.frame.data.begin());
    return v;
}

bool IsFrame(std::int32_t type) {
    return type == CAN_EV_RX || type == CAN_EV_TX ||
           (type >= CAN_EV_RX_STD && type <= CAN_EV_TX_EXT);
}

struct ErrorFrame {
    std::uint32_t classes = 0;
    std::uint8_t data[8] = {};
};

ErrorFrame OverflowFrame(bool transmit) {
    ErrorFrame e;
    e.classes = err::kCrtl;
    e.data[1] = transmit ? err::kCrtlTxOverflow : err::kCrtlRxOverflow;
    return e;
}

}  // namespace

bool IsTraceEvent(std::int32_t type) {
    return IsFrame(type) ||
           (type >= CAN_EV_BUS_ERROR && type <= CAN_EV_ARBITRATION && type != CAN_EV_WAKE_UP);
}

TraceLines::TraceLines(TraceFormat format, std::string_view interfaceName, std::int64_t startNs)
    : format_(format), ascZeroUs_(FloorDiv(startNs, 1'000'000) * 1000) {
    if (interfaceName.empty())
        interfaceName = "vesk0";
    interfaceLength_ = std::min(interfaceName.size(), kMaxInterfaceName);
    for (std::size_t i = 0; i < interfaceLength_; ++i) {
        const char c = interfaceName[i];
        interface_[i] = (c == ' ' || c == '\t' || c == '\n' || c == '\r') ? '_' : c;
    }
    interface_[interfaceLength_] = '\0';
}

std::size_t TraceLines::Header(char* out, std::size_t size) const {
    if (format_ != TraceFormat::kAsc) {
        LineWriter w(out, size);
        return w.Finish();
    }
    // English names and a 12-hour clock whatever the locale: the readers parse exactly these.
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(ascZeroUs_, 1'000'000));
    const int millis =
        static_cast<int>(FloorDiv(ascZeroUs_, 1000) - FloorDiv(ascZeroUs_, 1'000'000) * 1000);
    std::tm tm{};
    platform::LocalTime(seconds, tm);
    const int hour12 = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
    char date[64];
    std::snprintf(date, sizeof date, "%s %s %02d %02d:%02d:%02d.%03d %s %d", kDayNames[tm.tm_wday],
                  kMonthNames[tm.tm_mon], tm.tm_mday, hour12, tm.tm_min, tm.tm_sec, millis,
                  tm.tm_hour < 12 ? "am" : "pm", tm.tm_year + 1900);
    const int n = std::snprintf(out, size,
                                "date %s\n"
                                "base hex  timestamps absolute\n"
                                "internal events logged\n"
                                "Begin Triggerblock %s\n"
                                "   0.000000 Start of measurement\n",
                                date, date);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

std::size_t TraceLines::Footer(char* out, std::size_t size) const {
    LineWriter w(out, size);
    if (format_ == TraceFormat::kAsc)
        w.Put("End TriggerBlock\n");
    return w.Finish();
}

void TraceLines::Track(const CanMsg& msg) {
    const bool busOff = (msg.status & sr::kSrBusOff) != 0;
    const bool errorStatus = (msg.status & sr::kSrErrorStatus) != 0;
    if (busOff) {
        state_ = ControllerState::kBusOff;
    } else if (!errorStatus) {
        state_ = ControllerState::kActive;
    } else if (msg.type == CAN_EV_PASSIVE) {
        // The error-passive interrupt fires on entering and on leaving; with ES still set, leaving
        // goes back to the warning level.
        state_ = state_ == ControllerState::kPassive ? ControllerState::kWarning
                                                     : ControllerState::kPassive;
    } else if (state_ == ControllerState::kActive || state_ == ControllerState::kBusOff) {
        state_ = ControllerState::kWarning;
    }
}

namespace {

void PutLogTime(LineWriter& w, std::int64_t timeNs) {
    const std::int64_t us = std::max<std::int64_t>(0, FloorDiv(timeNs, 1000));
    w.Put('(');
    w.PutDecimal(static_cast<std::uint64_t>(us / 1'000'000), 10);
    w.Put('.');
    w.PutDecimal(static_cast<std::uint64_t>(us % 1'000'000), 6);
    w.Put(") ");
}

void PutLogError(LineWriter& w, std::int64_t timeNs, const char* ifname, std::size_t ifnameLength,
                 const ErrorFrame& e) {
    PutLogTime(w, timeNs);
    w.Put(ifname, ifnameLength);
    w.Put(' ');
    w.PutHexFixed(err::kFlag | e.classes, 8);
    w.Put('#');
    for (std::uint8_t b : e.data)
        w.PutByte(b);
    w.Put(" R\n");
}

void PutAscTime(LineWriter& w, std::int64_t timeNs, std::int64_t zeroUs) {
    const std::int64_t us = std::max<std::int64_t>(0, FloorDiv(timeNs, 1000) - zeroUs);
    std::uint64_t seconds = static_cast<std::uint64_t>(us / 1'000'000);
    int digits = 1;
    for (std::uint64_t s = seconds; s >= 10; s /= 10)
        ++digits;
    w.Pad(static_cast<std::size_t>(digits) + 7, 11);
    w.PutDecimal(seconds);
    w.Put('.');
    w.PutDecimal(static_cast<std::uint64_t>(us % 1'000'000), 6);
    w.Put(' ');
}

void PutAscOverrun(LineWriter& w, std::int64_t timeNs, std::int64_t zeroUs, std::uint64_t lost) {
    PutAscTime(w, timeNs, zeroUs);
    w.Put("CAN 1 Status:data overrun");
    if (lost > 0) {
        w.Put(" - ");
        w.PutDecimal(lost);
        w.Put(lost == 1 ? " frame lost" : " frames lost");
    }
    w.Put('\n');
}

}  // namespace

std::size_t TraceLines::LostMarker(std::int64_t timeNs, std::uint64_t count, char* out,
                                   std::size_t size) const {
    LineWriter w(out, size);
    if (format_ == TraceFormat::kAsc) {
        PutAscOverrun(w, timeNs, ascZeroUs_, count);
    } else {
        PutLogError(w, timeNs, interface_, interfaceLength_, OverflowFrame(false));
    }
    return w.Finish();
}

std::size_t TraceLines::Event(const CanMsg& msg, std::int64_t timeNs, std::uint32_t bitrate,
                              char* out, std::size_t size) {
    LineWriter w(out, size);
    if (!IsTraceEvent(msg.type))
        return w.Finish();
    const ControllerState before = state_;
    Track(msg);
    const bool asc = format_ == TraceFormat::kAsc;
    const bool transmitting = (msg.status & sr::kSrTransmitting) != 0;

    if (IsFrame(msg.type)) {
        const FrameView v = FrameOf(msg);
        const devices::CanFrame& f = v.frame;
        if (v.received && msg.lost > 0) {
            if (asc) {
                PutAscOverrun(w, timeNs, ascZeroUs_, static_cast<std::uint64_t>(msg.lost));
            } else {
                PutLogError(w, timeNs, interface_, interfaceLength_, OverflowFrame(false));
            }
        }
        const int dataBytes = f.DataBytes();
        if (!asc) {
            PutLogTime(w, timeNs);
            w.Put(interface_, interfaceLength_);
            w.Put(' ');
            w.PutHexFixed(f.id, f.extended ? 8 : 3);
            w.Put('#');
            if (f.rtr) {
                w.Put('R');
                if (f.dlc > 0)
                    w.Put(kUpperHex[std::min<int>(f.dlc, kCanMaxFrameBytes)]);
            } else {
                for (int i = 0; i < dataBytes; ++i)
                    w.PutByte(f.data[i]);
            }
            if (f.dlc > kCanMaxFrameBytes) {
                w.Put('_');
                w.Put(kUpperHex[f.dlc]);
            }
            w.Put(v.received ? " R\n" : " T\n");
            return w.Finish();
        }
        const int bits = devices::UnstuffedFrameBits(f) + devices::StuffBits(f);
        PutAscTime(w, timeNs, ascZeroUs_);
        w.Put("1  ");
        std::size_t idLength = w.PutHex(f.id);
        if (f.extended) {
            w.Put('x');
            ++idLength;
        }
        w.Pad(idLength, 15);
        w.Put(v.received ? " Rx   " : " Tx   ");
        w.Put(f.rtr ? 'r' : 'd');
        w.Put(' ');
        w.Put(kUpperHex[f.dlc]);
        for (int i = 0; i < dataBytes; ++i) {
            w.Put(' ');
            w.PutByte(f.data[i]);
        }
        w.Put("  Length = ");
        w.PutDecimal(static_cast<std::uint64_t>(devices::BitsToNanoseconds(bits, bitrate)));
        w.Put(" BitCount = ");
        w.PutDecimal(static_cast<std::uint64_t>(bits));
        w.Put(" ID = ");
        w.PutDecimal(f.id);
        if (f.extended)
            w.Put('x');
        w.Put('\n');
        return w.Finish();
    }

    if (asc) {
        switch (msg.type) {
            case CAN_EV_BUS_ERROR:
                PutAscTime(w, timeNs, ascZeroUs_);
                w.Put("1  ErrorFrame\n");
                break;
            case CAN_EV_OVERRUN:
                PutAscOverrun(w, timeNs, ascZeroUs_, 0);
                break;
            case CAN_EV_ARBITRATION:
                PutAscTime(w, timeNs, ascZeroUs_);
                w.Put("CAN 1 Status:arbitration lost\n");
                break;
            default:  // warning, passive
                PutAscTime(w, timeNs, ascZeroUs_);
                w.Put("CAN 1 Status:chip status ");
                w.Put(kAscStateTexts[static_cast<int>(state_)]);
                w.Put('\n');
                break;
        }
        return w.Finish();
    }

    ErrorFrame e;
    switch (msg.type) {
        case CAN_EV_BUS_ERROR:
            e.classes = err::kProt | err::kBusError;
            e.data[2] = transmitting ? err::kProtTx : 0;
            break;
        case CAN_EV_OVERRUN:
            e = OverflowFrame(transmitting);
            break;
        case CAN_EV_ARBITRATION:
            e.classes = err::kLostArb;
            break;
        default:  // warning, passive
            switch (state_) {
                case ControllerState::kBusOff:
                    e.classes = err::kBusOff;
                    break;
                case ControllerState::kActive:
                    e.classes = err::kCrtl;
                    e.data[1] = err::kCrtlActive;
                    break;
                case ControllerState::kWarning:
                    e.classes = err::kCrtl;
                    e.data[1] = transmitting ? err::kCrtlTxWarning : err::kCrtlRxWarning;
                    break;
                case ControllerState::kPassive:
                    e.classes = err::kCrtl;
                    e.data[1] = transmitting ? err::kCrtlTxPassive : err::kCrtlRxPassive;
                    break;
            }
            if (before == ControllerState::kBusOff && state_ != ControllerState::kBusOff)
                e.classes |= err::kRestarted;
            break;
    }
    PutLogError(w, timeNs, interface_, interfaceLength_, e);
    return w.Finish();
}

}  // namespace trace
