#include "trace/trace_lines.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "can/error_frame.h"
#include "can/floor_div.h"
#include "can/frame_bits.h"
#include "can/frame_records.h"
#include "can/record_class.h"
#include "can/sja1000_status.h"
#include "can/text_writer.h"
#include "platform/local_time.h"

namespace trace {
namespace {

namespace sr = can::sja1000;
namespace err = can::err;

constexpr can::HexCase kUpper = can::HexCase::kUpper;
constexpr const char* kAscStateTexts[] = {"error active", "warning level", "error passive",
                                          "bus off"};
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

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
    return can::IsFrameType(type) || (can::IsBusEventType(type) && type != CAN_EV_WAKE_UP);
}

TraceLines::TraceLines(TraceFormat format, std::string_view interfaceName, std::int64_t startNs)
    : format_(format), ascZeroUs_(can::FloorDiv(startNs, 1'000'000) * 1000) {
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
        can::TextWriter w(out, size);
        return w.Finish();
    }
    // English names and a 12-hour clock whatever the locale: the readers parse exactly these.
    const std::time_t seconds = static_cast<std::time_t>(can::FloorDiv(ascZeroUs_, 1'000'000));
    const int millis = static_cast<int>(can::FloorDiv(ascZeroUs_, 1000) -
                                        can::FloorDiv(ascZeroUs_, 1'000'000) * 1000);
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
    can::TextWriter w(out, size);
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

void PutLogTime(can::TextWriter& w, std::int64_t timeNs) {
    const std::int64_t us = std::max<std::int64_t>(0, can::FloorDiv(timeNs, 1000));
    w.Put('(');
    w.PutDecimal(static_cast<std::uint64_t>(us / 1'000'000), 10);
    w.Put('.');
    w.PutDecimal(static_cast<std::uint64_t>(us % 1'000'000), 6);
    w.Put(") ");
}

void PutLogError(can::TextWriter& w, std::int64_t timeNs, const char* ifname,
                 std::size_t ifnameLength, const ErrorFrame& e) {
    PutLogTime(w, timeNs);
    w.Put(std::string_view(ifname, ifnameLength));
    w.Put(' ');
    w.PutHex(err::kFlag | e.classes, 8, kUpper);
    w.Put('#');
    for (std::uint8_t b : e.data)
        w.PutHex(b, 2, kUpper);
    w.Put(" R\n");
}

void PutAscTime(can::TextWriter& w, std::int64_t timeNs, std::int64_t zeroUs) {
    const std::int64_t us = std::max<std::int64_t>(0, can::FloorDiv(timeNs, 1000) - zeroUs);
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

void PutAscOverrun(can::TextWriter& w, std::int64_t timeNs, std::int64_t zeroUs,
                   std::uint64_t lost) {
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
    can::TextWriter w(out, size);
    if (format_ == TraceFormat::kAsc) {
        PutAscOverrun(w, timeNs, ascZeroUs_, count);
    } else {
        PutLogError(w, timeNs, interface_, interfaceLength_, OverflowFrame(false));
    }
    return w.Finish();
}

std::size_t TraceLines::Event(const CanMsg& msg, std::int64_t timeNs, std::uint32_t bitrate,
                              char* out, std::size_t size) {
    can::TextWriter w(out, size);
    if (!IsTraceEvent(msg.type))
        return w.Finish();
    const ControllerState before = state_;
    Track(msg);
    const bool asc = format_ == TraceFormat::kAsc;
    const bool transmitting = (msg.status & sr::kSrTransmitting) != 0;

    if (can::IsFrameType(msg.type)) {
        const can::Frame f = can::FrameOfRecord(msg);
        const bool received = can::IsReceivedFrameType(msg.type);
        if (received && msg.lost > 0) {
            if (asc) {
                PutAscOverrun(w, timeNs, ascZeroUs_, static_cast<std::uint64_t>(msg.lost));
            } else {
                PutLogError(w, timeNs, interface_, interfaceLength_, OverflowFrame(false));
            }
        }
        const int dataBytes = f.DataBytes();
        if (!asc) {
            PutLogTime(w, timeNs);
            w.Put(std::string_view(interface_, interfaceLength_));
            w.Put(' ');
            w.PutHex(f.id, f.extended ? 8 : 3, kUpper);
            w.Put('#');
            if (f.rtr) {
                w.Put('R');
                if (f.dlc > 0)
                    w.PutHex(std::min<int>(f.dlc, kCanMaxFrameBytes), 1, kUpper);
            } else {
                for (int i = 0; i < dataBytes; ++i)
                    w.PutHex(f.data[i], 2, kUpper);
            }
            if (f.dlc > kCanMaxFrameBytes) {
                w.Put('_');
                w.PutHex(f.dlc, 1, kUpper);
            }
            w.Put(received ? " R\n" : " T\n");
            return w.Finish();
        }
        const int bits = can::UnstuffedFrameBits(f) + can::StuffBits(f);
        PutAscTime(w, timeNs, ascZeroUs_);
        w.Put("1  ");
        std::size_t idLength = w.PutHex(f.id, 1, kUpper);
        if (f.extended) {
            w.Put('x');
            ++idLength;
        }
        w.Pad(idLength, 15);
        w.Put(received ? " Rx   " : " Tx   ");
        w.Put(f.rtr ? 'r' : 'd');
        w.Put(' ');
        w.PutHex(f.dlc, 1, kUpper);
        for (int i = 0; i < dataBytes; ++i) {
            w.Put(' ');
            w.PutHex(f.data[i], 2, kUpper);
        }
        w.Put("  Length = ");
        w.PutDecimal(static_cast<std::uint64_t>(can::BitsToNanoseconds(bits, bitrate)));
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
