#include "trace/trace_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "can/error_frame.h"
#include "can/hex_digit.h"
#include "platform/data_file.h"
#include "platform/end_signal.h"
#include "platform/error.h"
#include "trace/trace_format.h"

namespace trace {
namespace {

using Kind = TraceFrame::Kind;
namespace err = can::err;

constexpr std::uint32_t kStandardIdMax = can::kStandardIdMask;
constexpr std::uint32_t kExtendedIdMax = can::kExtendedIdMask;
constexpr std::size_t kQuotedLineMax = 100;
constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kLineMax = 4096;
// Flags of an ASC CANFD line: the frame has the FD format (EDL), a classic one is remote.
constexpr std::uint32_t kAscFlagEdl = 0x1000;
constexpr std::uint32_t kAscFlagRemote = 0x10;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The next blank-separated token; `rest` keeps what follows it.
std::string_view NextToken(std::string_view& rest) {
    std::size_t i = 0;
    while (i < rest.size() && IsBlank(rest[i]))
        ++i;
    std::size_t j = i;
    while (j < rest.size() && !IsBlank(rest[j]))
        ++j;
    const std::string_view token = rest.substr(i, j - i);
    rest.remove_prefix(j);
    return token;
}

// An unsigned number in base 16 or 10, all of `text`, at most `max`.
bool ParseNumber(std::string_view text, int base, std::uint32_t max, std::uint32_t& value) {
    if (text.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : text) {
        const int digit = base == 16 ? can::HexDigitValue(c) : (IsDigit(c) ? c - '0' : -1);
        if (digit < 0)
            return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (v > max)
            return false;
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

// "SECONDS[.FRACTION]" in ns; digits past the nanosecond are cut.
bool ParseSeconds(std::string_view text, std::int64_t& ns) {
    constexpr std::int64_t kMaxSeconds = 9'000'000'000;  // what fits an int64 of ns
    std::size_t i = 0;
    std::int64_t seconds = 0;
    while (i < text.size() && IsDigit(text[i])) {
        seconds = seconds * 10 + (text[i] - '0');
        if (seconds > kMaxSeconds)
            return false;
        ++i;
    }
    if (i == 0)
        return false;
    std::int64_t fraction = 0;
    std::int64_t scale = 1'000'000'000;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            if (scale > 1) {
                scale /= 10;
                fraction += (text[i] - '0') * scale;
            }
            ++i;
        }
    }
    if (i != text.size())
        return false;
    ns = seconds * 1'000'000'000 + fraction;
    return true;
}

TraceFrame Event(Kind kind, std::int64_t timeNs, bool transmitted) {
    TraceFrame e;
    e.kind = kind;
    e.timeNs = timeNs;
    e.transmitted = transmitted;
    return e;
}

class Reader {
  public:
    Reader(const std::string& path, TraceFormat format, std::string& error)
        : path_(path), format_(format), error_(error) {}

    bool Line(std::string_view line) {
        ++lineNumber_;
        line_ = line;
        if (lineNumber_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
            line.remove_prefix(3);  // a byte-order mark from Windows editors
        line = Trim(line);
        if (line.empty())
            return true;
        return format_ == TraceFormat::kAsc ? AscLine(line) : LogLine(line);
    }

    // A line that reaches past kLineMax; `start` is what of it has been read.
    bool TooLong(std::string_view start) {
        ++lineNumber_;
        line_ = start;
        return Fail("länger als " + std::to_string(kLineMax) + " Zeichen");
    }

    TraceFile Finish() {
        if (!file_.entries.empty()) {
            const std::int64_t first = file_.entries.front().timeNs;
            file_.startNs = first;
            for (TraceFrame& e : file_.entries)
                e.timeNs -= first;
        }
        return std::move(file_);
    }

  private:
    bool Fail(const std::string& why) {
        const std::string_view text = Trim(line_);
        // Control bytes shown escaped: a NUL would end the message, others garble a terminal.
        std::string quoted;
        for (const char c : text.substr(0, kQuotedLineMax)) {
            const auto u = static_cast<unsigned char>(c);
            if ((u < 0x20 && c != '\t') || u == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
        if (text.size() > kQuotedLineMax)
            quoted += "…";
        error_ = "Die Aufzeichnung „" + path_ + "“ kann nicht gelesen werden: Zeile " +
                 std::to_string(lineNumber_) + " „" + quoted + "“ (" + why + ").";
        return false;
    }

    // "(SECONDS.MICROSECONDS) IFNAME ID#DATA [R|T]"
    bool LogLine(std::string_view line) {
        if (line.front() == '#')
            return true;
        std::string_view rest = line;
        const std::string_view time = NextToken(rest);
        std::int64_t ns = 0;
        if (time.size() < 3 || time.front() != '(' || time.back() != ')' ||
            !ParseSeconds(time.substr(1, time.size() - 2), ns))
            return Fail("kein gültiger Zeitstempel");
        if (NextToken(rest).empty())
            return Fail("Schnittstelle fehlt");
        const std::string_view frame = NextToken(rest);
        if (frame.empty())
            return Fail("Rahmen fehlt");
        const std::string_view direction = NextToken(rest);
        if (!NextToken(rest).empty())
            return Fail("unerwarteter Text nach dem Rahmen");
        bool transmitted = false;
        if (direction == "T" || direction == "t") {
            transmitted = true;
        } else if (!direction.empty() && direction != "R" && direction != "r") {
            return Fail("Richtung ist weder R noch T");
        }

        const std::size_t hash = frame.find('#');
        if (hash == std::string_view::npos)
            return Fail("„#“ fehlt");
        const std::string_view idText = frame.substr(0, hash);
        std::string_view body = frame.substr(hash + 1);
        TraceFrame f;
        f.timeNs = ns;
        f.transmitted = transmitted;
        std::uint32_t id = 0;
        if (idText.size() == 8 && ParseNumber(idText, 16, 0xFFFFFFFF, id) && (id & err::kFlag) != 0)
            return ErrorFrame(id, body, ns, transmitted);
        if (idText.size() == 3 && ParseNumber(idText, 16, kStandardIdMax, id)) {
            f.extended = false;
        } else if (idText.size() == 8 && ParseNumber(idText, 16, kExtendedIdMax, id)) {
            f.extended = true;
        } else {
            return Fail("ungültige Kennung");
        }
        f.id = id;
        if (!body.empty() && body.front() == '#')
            return Fail("CAN-FD-Rahmen werden nicht unterstützt");
        if (!body.empty() && (body.front() == 'R' || body.front() == 'r')) {
            f.rtr = true;
            body.remove_prefix(1);
            if (!body.empty() && IsDigit(body.front())) {
                f.dlc = static_cast<std::uint8_t>(body.front() - '0');
                if (f.dlc > 8)
                    return Fail("ungültige Länge");
                body.remove_prefix(1);
            }
        } else {
            while (!body.empty() && body.front() != '_') {
                if (body.front() == '.') {  // cansend's optional byte separator
                    body.remove_prefix(1);
                    continue;
                }
                const int hi = can::HexDigitValue(body.front());
                const int lo = body.size() > 1 ? can::HexDigitValue(body[1]) : -1;
                if (hi < 0 || lo < 0 || f.length == 8)
                    return Fail("ungültige Daten");
                f.data[f.length++] = static_cast<std::uint8_t>(hi * 16 + lo);
                body.remove_prefix(2);
            }
            f.dlc = f.length;
        }
        if (!body.empty()) {
            // "_<dlc>": a code 9..15 after 8 bytes.
            const int code = body.size() == 2 ? can::HexDigitValue(body[1]) : -1;
            if (body.front() != '_' || f.dlc != 8 || code < 9)
                return Fail("ungültige Länge");
            f.dlc = static_cast<std::uint8_t>(code);
        }
        file_.entries.push_back(f);
        return true;
    }

    // One error frame can report several things at once (a bus error that made the controller
    // error passive): one entry each, the cause before the state it led to.
    bool ErrorFrame(std::uint32_t id, std::string_view body, std::int64_t ns, bool transmitted) {
        std::uint8_t data[8] = {};
        std::size_t n = 0;
        while (!body.empty()) {
            const int hi = can::HexDigitValue(body.front());
            const int lo = body.size() > 1 ? can::HexDigitValue(body[1]) : -1;
            if (hi < 0 || lo < 0 || n == 8)
                return Fail("ungültige Daten");
            data[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
            body.remove_prefix(2);
        }
        auto add = [&](Kind kind) { file_.entries.push_back(Event(kind, ns, transmitted)); };
        if ((id & (err::kProt | err::kBusError | err::kAck)) != 0)
            add(Kind::kBusError);
        if ((id & err::kLostArb) != 0)
            add(Kind::kArbitration);
        if ((id & err::kCrtl) != 0 && (data[1] & err::kCrtlOverflow) != 0)
            add(Kind::kOverrun);
        if ((id & err::kBusOff) != 0) {
            add(Kind::kBusOff);
        } else if ((id & err::kCrtl) != 0 && (data[1] & err::kCrtlPassive) != 0) {
            add(Kind::kPassive);
        } else if ((id & err::kCrtl) != 0 && (data[1] & err::kCrtlWarning) != 0) {
            add(Kind::kWarning);
        } else if ((id & err::kRestarted) != 0 ||
                   ((id & err::kCrtl) != 0 && (data[1] & err::kCrtlActive) != 0)) {
            add(Kind::kActive);
        }
        // Other classes (transmit timeout, transceiver, counters alone) have no bus event.
        return true;
    }

    bool AscLine(std::string_view line) {
        if (line.substr(0, 2) == "//")
            return true;
        std::string_view rest = line;
        const std::string_view first = NextToken(rest);
        if (!IsDigit(first.front()))
            return AscHeader(first, rest);
        std::int64_t ns = 0;
        if (!ParseSeconds(first, ns))
            return Fail("kein gültiger Zeitstempel");
        // Relative time stamps count from the event before.
        if (relative_ && ns > std::numeric_limits<std::int64_t>::max() - clockNs_)
            return Fail("Zeitstempel jenseits des Zeitbereichs");
        clockNs_ = relative_ ? clockNs_ + ns : ns;
        const std::string_view what = NextToken(rest);
        if (what.empty())
            return Fail("Ereignis fehlt");
        if (EqualsNoCase(what, "CANFD"))
            return AscFdFrame(rest);
        if (EqualsNoCase(what, "CAN"))
            return AscStatus(rest);
        std::uint32_t channel = 0;
        if (!ParseNumber(what, 10, 0xFFFF, channel)) {
            // Events without a channel: the start, system variables.
            if ((EqualsNoCase(what, "Start") && EqualsNoCase(Trim(rest), "of measurement")) ||
                EqualsNoCase(what, "SV:"))
                return true;
            return Fail("unbekanntes Ereignis");
        }
        const std::string_view idText = NextToken(rest);
        if (idText.empty())
            return Fail("Ereignis fehlt");
        if (EqualsNoCase(idText, "ErrorFrame")) {
            file_.entries.push_back(Event(Kind::kBusError, clockNs_, false));
            return true;
        }
        if (EqualsNoCase(idText, "Statistic:"))
            return true;
        const Direction direction = AscDirection(NextToken(rest));
        if (direction == Direction::kRequest)
            return true;
        if (direction == Direction::kNone)
            return Fail("Richtung ist weder Rx noch Tx");
        return AscFrame(idText, direction == Direction::kTx, rest);
    }

    // A transmit request (TxRq) is a frame not yet on the bus: nothing to play.
    enum class Direction { kRx, kTx, kRequest, kNone };
    static Direction AscDirection(std::string_view token) {
        if (EqualsNoCase(token, "Rx"))
            return Direction::kRx;
        if (EqualsNoCase(token, "Tx"))
            return Direction::kTx;
        return EqualsNoCase(token, "TxRq") ? Direction::kRequest : Direction::kNone;
    }

    // "CHANNEL Rx|Tx ID [NAME] BRS ESI DLC LENGTH DATA... DURATION BITCOUNT FLAGS ...", as log2asc
    // -f writes classic frames too; only those are read. Without the flags it may be FD.
    bool AscFdFrame(std::string_view rest) {
        std::uint32_t value = 0;
        if (!ParseNumber(NextToken(rest), 10, 0xFFFF, value))
            return Fail("ungültiger Kanal");
        const Direction direction = AscDirection(NextToken(rest));
        if (direction == Direction::kRequest)
            return true;
        if (direction == Direction::kNone)
            return Fail("Richtung ist weder Rx noch Tx");
        TraceFrame f;
        f.timeNs = clockNs_;
        f.transmitted = direction == Direction::kTx;
        const std::string_view idText = NextToken(rest);
        if (EqualsNoCase(idText, "ErrorFrame")) {
            file_.entries.push_back(Event(Kind::kBusError, clockNs_, f.transmitted));
            return true;
        }
        if (!AscId(idText, f))
            return Fail("ungültige Kennung");
        if (const std::string_view brs = NextToken(rest); !brs.empty() && !IsDigit(brs.front()))
            NextToken(rest);  // that was a symbolic name, this is BRS
        NextToken(rest);      // ESI
        std::uint32_t length = 0;
        if (!ParseNumber(NextToken(rest), base_, 15, value) ||
            !ParseNumber(NextToken(rest), 10, 64, length))
            return Fail("ungültige Länge");
        if (length > 8)
            return Fail("CAN-FD-Rahmen werden nicht unterstützt");
        f.dlc = static_cast<std::uint8_t>(value);
        f.length = static_cast<std::uint8_t>(length);
        for (std::uint8_t i = 0; i < f.length; ++i) {
            if (!ParseNumber(NextToken(rest), base_, 0xFF, value))
                return Fail("weniger Datenbytes als die Länge angibt");
            f.data[i] = static_cast<std::uint8_t>(value);
        }
        NextToken(rest);  // duration
        NextToken(rest);  // bit count
        std::uint32_t flags = 0;
        if (!ParseNumber(NextToken(rest), 16, 0xFFFFFFFF, flags) || (flags & kAscFlagEdl) != 0)
            return Fail("CAN-FD-Rahmen werden nicht unterstützt");
        f.rtr = (flags & kAscFlagRemote) != 0;
        if (f.length != (f.rtr ? 0 : std::min<int>(f.dlc, 8)))
            return Fail("Länge und Datenlänge passen nicht zusammen");
        file_.entries.push_back(f);
        return true;
    }

    bool AscHeader(std::string_view keyword, std::string_view rest) {
        if (EqualsNoCase(keyword, "base")) {
            const std::string_view base = NextToken(rest);
            if (EqualsNoCase(base, "hex")) {
                base_ = 16;
            } else if (EqualsNoCase(base, "dec")) {
                base_ = 10;
            } else {
                return Fail("Zahlenbasis ist weder hex noch dec");
            }
            const std::string_view word = NextToken(rest);
            if (word.empty())
                return true;
            const std::string_view mode = NextToken(rest);
            if (!EqualsNoCase(word, "timestamps") ||
                !(EqualsNoCase(mode, "absolute") || EqualsNoCase(mode, "relative")))
                return Fail("unbekannte Zeitangabe");
            relative_ = EqualsNoCase(mode, "relative");
            return true;
        }
        if (EqualsNoCase(keyword, "date") || EqualsNoCase(keyword, "internal") ||
            EqualsNoCase(keyword, "no") || EqualsNoCase(keyword, "begin") ||
            EqualsNoCase(keyword, "end"))
            return true;
        return Fail("keine ASC-Zeile");
    }

    bool AscStatus(std::string_view rest) {
        std::uint32_t channel = 0;
        if (!ParseNumber(NextToken(rest), 10, 0xFFFF, channel))
            return Fail("ungültiger Kanal");
        rest = Trim(rest);
        if (!StartsWithNoCase(rest, "Status:"))
            return Fail("unbekanntes Ereignis");
        rest = Trim(rest.substr(7));
        struct Status {
            const char* text;
            Kind kind;
        };
        static constexpr Status kStatus[] = {
            {"chip status error active", Kind::kActive},
            {"chip status warning level", Kind::kWarning},
            {"chip status error passive", Kind::kPassive},
            {"chip status bus off", Kind::kBusOff},
            {"data overrun", Kind::kOverrun},
            {"arbitration lost", Kind::kArbitration},
        };
        for (const Status& s : kStatus) {
            const std::size_t n = std::strlen(s.text);
            if (StartsWithNoCase(rest, s.text) && (rest.size() == n || IsBlank(rest[n]))) {
                file_.entries.push_back(Event(s.kind, clockNs_, false));
                return true;
            }
        }
        return Fail("unbekannter Status");
    }

    // "ID[x] Rx|Tx d DLC BYTES... [Length = ...]" or "ID[x] Rx|Tx r [DLC] [...]", from the id on.
    bool AscFrame(std::string_view idText, bool transmitted, std::string_view rest) {
        TraceFrame f;
        f.timeNs = clockNs_;
        f.transmitted = transmitted;
        if (!AscId(idText, f))
            return Fail("ungültige Kennung");
        const std::string_view type = NextToken(rest);
        std::uint32_t value = 0;
        if (EqualsNoCase(type, "r")) {
            f.rtr = true;
            std::string_view after = rest;
            const std::string_view dlc = NextToken(after);
            if (!dlc.empty() && ParseNumber(dlc, base_, 15, value))
                f.dlc = static_cast<std::uint8_t>(value);
        } else if (EqualsNoCase(type, "d")) {
            if (!ParseNumber(NextToken(rest), base_, 15, value))
                return Fail("ungültige Länge");
            f.dlc = static_cast<std::uint8_t>(value);
            f.length = f.dlc > 8 ? 8 : f.dlc;
            for (std::uint8_t i = 0; i < f.length; ++i) {
                if (!ParseNumber(NextToken(rest), base_, 0xFF, value))
                    return Fail("weniger Datenbytes als die Länge angibt");
                f.data[i] = static_cast<std::uint8_t>(value);
            }
        } else {
            return Fail("Rahmentyp ist weder d noch r");
        }
        file_.entries.push_back(f);
        return true;
    }

    // "ID" or "IDx" (29 bits) into f.id and f.extended.
    bool AscId(std::string_view text, TraceFrame& f) const {
        if (!text.empty() && (text.back() == 'x' || text.back() == 'X')) {
            f.extended = true;
            text.remove_suffix(1);
        }
        return ParseNumber(text, base_, f.extended ? kExtendedIdMax : kStandardIdMax, f.id);
    }

    const std::string& path_;
    TraceFormat format_;
    std::string& error_;
    TraceFile file_;
    std::size_t lineNumber_ = 0;
    std::string_view line_;
    int base_ = 16;
    bool relative_ = false;
    std::int64_t clockNs_ = 0;
};

// What a path that is not a regular file names instead, for the message.
const char* NotAFile(platform::FileKind kind) {
    switch (kind) {
        case platform::FileKind::kFolder:
            return "ein Ordner";
        case platform::FileKind::kPipe:
            return "eine benannte Pipe";
        case platform::FileKind::kSocket:
            return "ein Socket";
        default:
            return "ein Gerät";
    }
}

}  // namespace

std::optional<TraceFile> ReadTrace(const std::string& path, std::string& error) {
    return ReadTrace(path, error, {});
}

std::optional<TraceFile> ReadTrace(const std::string& path, std::string& error,
                                   const ReadProgress& progress) {
    const std::optional<TraceFormat> format = FormatForPath(path, error);
    if (!format)
        return std::nullopt;
    const std::string named = "Die Aufzeichnung „" + path + "“ ";
    platform::DataFile file = platform::DataFile::OpenForReading(path);
    if (!file.IsOpen()) {
        error = named + "kann nicht geöffnet werden: " + platform::ErrorText(file.Error()) + ".";
        return std::nullopt;
    }
    if (file.Kind() != platform::FileKind::kRegular) {
        error = named + "kann nicht gelesen werden: Das ist keine Datei, sondern " +
                NotAFile(file.Kind()) + ".";
        return std::nullopt;
    }
    Reader reader(path, *format, error);
    // Whole lines are parsed where they lie in the block; a line cut by the block's end moves to
    // the front before the next read. Lines are capped, so a file without line ends costs no more
    // than the block.
    std::unique_ptr<char[]> block(new char[kBlockSize]);
    std::size_t held = 0;
    std::uint64_t done = 0;
    const auto total = file.Size();
    for (;;) {
        // The program without a window holds its end signals pending while this thread reads.
        if (platform::EndSignalPending() || (progress && !progress(done, total))) {
            error = "Das Lesen der Aufzeichnung „" + path + "“ wurde abgebrochen.";
            return std::nullopt;
        }
        const std::int64_t got = file.Read(block.get() + held, kBlockSize - held);
        if (got < 0) {
            error = named + "kann nicht gelesen werden: " + platform::ErrorText(file.Error()) + ".";
            return std::nullopt;
        }
        done += static_cast<std::uint64_t>(got);
        const char* p = block.get();
        const char* end = p + held + got;
        for (;;) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (nl == nullptr)
                break;
            const std::string_view line(p, static_cast<std::size_t>(nl - p));
            if (line.size() > kLineMax) {
                reader.TooLong(line);
                return std::nullopt;
            }
            if (!reader.Line(line))
                return std::nullopt;
            p = nl + 1;
        }
        held = static_cast<std::size_t>(end - p);
        if (held > kLineMax) {
            reader.TooLong(std::string_view(p, held));
            return std::nullopt;
        }
        if (got == 0) {
            if (held > 0 && !reader.Line(std::string_view(p, held)))
                return std::nullopt;
            break;
        }
        std::memmove(block.get(), p, held);
    }
    error.clear();
    return reader.Finish();
}

}  // namespace trace
