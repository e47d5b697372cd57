#include "dbc/dbc_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "dbc/text_encoding.h"
#include "platform/data_file.h"
#include "platform/error.h"

namespace dbc {

namespace {

struct ParseError {
    int line;
    std::string what;
};

enum class TokenKind : std::uint8_t { kEnd, kIdent, kNumber, kString, kPunct };

struct Token {
    TokenKind kind = TokenKind::kEnd;
    bool firstOnLine = true;
    bool escaped = false;  // a string holding backslash escapes
    int line = 0;
    int previousLine = 0;   // where the token before it ended
    std::string_view text;  // a string's text without its quotes

    bool Is(char c) const { return kind == TokenKind::kPunct && text[0] == c; }
    bool IsWord(std::string_view w) const { return kind == TokenKind::kIdent && text == w; }
};

enum : std::uint8_t { kDigit = 1, kNameStart = 2 };

// Bytes from 0x80 up belong to names, so that names in either encoding pass through.
constexpr std::array<std::uint8_t, 256> kCharClass = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            table[c] = kDigit;
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80)
            table[c] = kNameStart;
    }
    return table;
}();

bool IsDigit(char c) {
    return kCharClass[static_cast<unsigned char>(c)] == kDigit;
}

bool IsNameStart(char c) {
    return kCharClass[static_cast<unsigned char>(c)] == kNameStart;
}

bool IsNameChar(char c) {
    return kCharClass[static_cast<unsigned char>(c)] != 0;
}

class Lexer {
  public:
    explicit Lexer(std::string_view text) : text_(text) {}

    Token Next() {
        if (peeked_) {
            peeked_ = false;
            return peek_;
        }
        return Lex();
    }

    const Token& Peek() {
        if (!peeked_) {
            peek_ = Lex();
            peeked_ = true;
        }
        return peek_;
    }

    // The SG_ lines that follow the current one, so that a message's signals are allocated once.
    std::size_t SignalLinesAhead() const {
        std::size_t count = 0;
        for (std::size_t p = text_.find('\n', pos_); p != std::string_view::npos;
             p = text_.find('\n', p)) {
            ++p;
            while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t' || text_[p] == '\r'))
                ++p;
            if (text_.substr(p, 4) == "SG_ ")
                ++count;
            else if (p >= text_.size() || text_[p] != '\n')
                break;
        }
        return count;
    }

  private:
    Token Lex() {
        const std::size_t size = text_.size();
        for (;;) {
            if (pos_ >= size)
                return Token{TokenKind::kEnd, true, false, line_, lastLine_, {}};
            const char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < size && text_[pos_ + 1] == '/') {
                while (pos_ < size && text_[pos_] != '\n')
                    ++pos_;
            } else {
                break;
            }
        }
        Token t;
        t.line = line_;
        t.previousLine = lastLine_;
        t.firstOnLine = line_ != lastLine_;
        const std::size_t start = pos_;
        const char c = text_[pos_];
        auto at = [&](std::size_t i) { return i < size ? text_[i] : '\0'; };
        if (IsNameStart(c)) {
            while (pos_ < size && IsNameChar(text_[pos_]))
                ++pos_;
            t.kind = TokenKind::kIdent;
        } else if (IsDigit(c) ||
                   ((c == '-' || c == '+' || c == '.') &&
                    (IsDigit(at(pos_ + 1)) || (at(pos_ + 1) == '.' && IsDigit(at(pos_ + 2)))))) {
            if (c == '-' || c == '+')
                ++pos_;
            if (at(pos_) == '0' && (at(pos_ + 1) == 'x' || at(pos_ + 1) == 'X')) {
                pos_ += 2;
                while (std::isxdigit(static_cast<unsigned char>(at(pos_))))
                    ++pos_;
            } else {
                while (IsDigit(at(pos_)))
                    ++pos_;
                if (at(pos_) == '.')
                    ++pos_;
                while (IsDigit(at(pos_)))
                    ++pos_;
                const char e1 = at(pos_ + 1);
                if ((at(pos_) == 'e' || at(pos_) == 'E') &&
                    (IsDigit(e1) || ((e1 == '-' || e1 == '+') && IsDigit(at(pos_ + 2))))) {
                    pos_ += 2;
                    while (IsDigit(at(pos_)))
                        ++pos_;
                }
            }
            t.kind = TokenKind::kNumber;
        } else if (c == '"') {
            ++pos_;
            for (;;) {
                if (pos_ >= size)
                    throw ParseError{t.line, "Zeichenkette ohne schließendes Anführungszeichen."};
                const char s = text_[pos_];
                if (s == '\\' && pos_ + 1 < size) {
                    t.escaped = true;
                    if (text_[pos_ + 1] == '\n')
                        ++line_;
                    pos_ += 2;
                    continue;
                }
                if (s == '"')
                    break;
                if (s == '\n')
                    ++line_;
                ++pos_;
            }
            t.kind = TokenKind::kString;
            t.text = text_.substr(start + 1, pos_ - start - 1);
            ++pos_;
            lastLine_ = line_;
            return t;
        } else {
            ++pos_;
            t.kind = TokenKind::kPunct;
        }
        t.text = text_.substr(start, pos_ - start);
        lastLine_ = line_;
        return t;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int lastLine_ = 0;
    bool peeked_ = false;
    Token peek_;
};

std::string Unescape(const Token& t) {
    std::string out;
    out.reserve(t.text.size());
    for (std::size_t i = 0; i < t.text.size(); ++i) {
        char c = t.text[i];
        if (c == '\\' && i + 1 < t.text.size() && (t.text[i + 1] == '"' || t.text[i + 1] == '\\'))
            c = t.text[++i];
        if (c == '\r' && i + 1 < t.text.size() && t.text[i + 1] == '\n')
            continue;
        out += c;
    }
    return out;
}

std::string TextOf(const Token& t) {
    return t.escaped ? Unescape(t) : std::string(t.text);
}

// Bits of an integer as a signal holds them: negative numbers in two's complement.
std::optional<std::uint64_t> ParseInteger(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    std::uint64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty())
        return std::nullopt;
    return negative ? ~v + 1 : v;
}

// std::from_chars reads the C locale's format whatever the global locale is.
std::optional<double> ParseDouble(std::string_view s) {
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty())
        return std::nullopt;
    return v;
}

// A raw value for a signal: integers exactly, decimals rounded; float signals their IEEE bits.
std::optional<std::uint64_t> RawBitsOf(std::string_view text, const Signal& s) {
    if (s.valueType == ValueType::kInteger) {
        if (auto v = ParseInteger(text))
            return v;
    }
    auto d = ParseDouble(text);
    if (!d)
        return std::nullopt;
    if (s.valueType == ValueType::kFloat32)
        return std::bit_cast<std::uint32_t>(static_cast<float>(*d));
    if (s.valueType == ValueType::kFloat64)
        return std::bit_cast<std::uint64_t>(*d);
    if (!(std::fabs(*d) < 9.2e18))
        return std::nullopt;
    return static_cast<std::uint64_t>(std::llround(*d));
}

bool FitsWidth(std::uint64_t bits, const Signal& s) {
    if (s.valueType != ValueType::kInteger || s.length >= 64)
        return true;
    if (!s.isSigned)
        return bits >> s.length == 0;
    const auto v = static_cast<std::int64_t>(bits);
    const std::int64_t half = std::int64_t{1} << (s.length - 1);
    return v >= -half && v < half;
}

bool IsKnownStatement(std::string_view w) {
    static const std::unordered_set<std::string_view> kKnown = {
        "VERSION",       "NS_",
        "BS_",           "BU_",
        "VAL_TABLE_",    "BO_",
        "SG_",           "BO_TX_BU_",
        "CM_",           "BA_DEF_",
        "BA_DEF_DEF_",   "BA_",
        "VAL_",          "SIG_VALTYPE_",
        "SIG_GROUP_",    "SG_MUL_VAL_",
        "EV_",           "ENVVAR_DATA_",
        "SGTYPE_",       "SGTYPE_VAL_",
        "SIG_TYPE_REF_", "BA_DEF_SGTYPE_",
        "BA_SGTYPE_",    "BA_DEF_REL_",
        "BA_REL_",       "BA_DEF_DEF_REL_",
        "BU_SG_REL_",    "BU_EV_REL_",
        "BU_BO_REL_",    "CAT_DEF_",
        "CAT_",          "FILTER",
        "EV_DATA_",      "NS_DESC_",
        "SG_MUL_VAL_",
    };
    return kKnown.contains(w);
}

// Sections a bus monitor has no use for; they are skipped without a warning.
bool IsIgnoredStatement(std::string_view w) {
    return w == "EV_" || w == "ENVVAR_DATA_" || w == "SGTYPE_" || w == "SGTYPE_VAL_" ||
           w == "SIG_TYPE_REF_" || w == "BA_DEF_SGTYPE_" || w == "BA_SGTYPE_" ||
           w == "BA_DEF_REL_" || w == "BA_REL_" || w == "BA_DEF_DEF_REL_" || w == "BU_SG_REL_" ||
           w == "BU_EV_REL_" || w == "BU_BO_REL_" || w == "CAT_DEF_" || w == "CAT_" ||
           w == "FILTER" || w == "EV_DATA_" || w == "NS_DESC_";
}

// Numbers beyond 29 bits besides the format bit hold signals of no message.
constexpr std::uint32_t kExtendedFlag = 0x80000000u;
bool IsPseudoMessage(std::uint32_t fileId) {
    return (fileId & 0x60000000u) != 0;
}

// What a reference names: a message by its file number, maybe one of its signals, or a node.
struct Target {
    AttributeObject object = AttributeObject::kDatabase;
    std::uint32_t fileId = 0;
    std::string_view name;  // node, signal or environment variable
};

struct PendingComment {
    int line;
    Target target;
    std::string text;
};

struct PendingAttribute {
    int line;
    std::string_view name;
    Target target;
    Token value;
};

struct PendingLabels {
    int line;
    Target target;
    std::vector<ValueLabel> labels;
    std::vector<std::string_view> texts;  // the labels' raw numbers as written
};

struct PendingValueType {
    int line;
    Target target;
    std::string_view code;
};

struct PendingGroup {
    int line;
    std::uint32_t fileId;
    SignalGroup group;
};

struct PendingMultiplex {
    int line;
    Target target;
    std::string_view multiplexer;
    std::vector<MultiplexRange> ranges;
};

struct PendingTransmitters {
    int line;
    std::uint32_t fileId;
    std::vector<std::string> nodes;
};

// Multiplexed signals whose multiplexer comes from the m-number alone until SG_MUL_VAL_ or the
// message's only `M` says otherwise.
constexpr int kMultiplexerUnresolved = -2;

class Parser {
  public:
    Parser(std::string_view text, std::string_view fileName, std::vector<std::string>& warnings)
        : lexer_(text), fileName_(fileName), warnings_(warnings) {}

    Database Run() {
        db_.fileName = fileName_;
        for (;;) {
            const Token t = lexer_.Next();
            if (t.kind == TokenKind::kEnd)
                break;
            statement_ = t.text;
            if (t.kind != TokenKind::kIdent)
                throw ParseError{t.line, "unerwartetes \"" + std::string(t.text) + "\"."};
            Statement(t);
        }
        Resolve();
        return std::move(db_);
    }

  private:
    void Statement(const Token& t) {
        const std::string_view w = t.text;
        if (w == "SG_") {
            SignalLine(t);
        } else if (w == "BO_") {
            Message();
        } else if (w == "VERSION") {
            db_.version = TextOf(Expect(TokenKind::kString, "Zeichenkette"));
        } else if (w == "NS_") {
            SkipNewSymbols();
        } else if (w == "BS_") {
            while (!lexer_.Peek().firstOnLine)
                lexer_.Next();
        } else if (w == "BU_") {
            Optional(':');
            while (!lexer_.Peek().firstOnLine)
                db_.nodes.push_back(
                    Node{std::string(Expect(TokenKind::kIdent, "Name").text), {}, {}});
        } else if (w == "VAL_TABLE_") {
            ValueTable table;
            table.name = Expect(TokenKind::kIdent, "Name").text;
            PendingLabels labels{t.line, {}, {}, {}};
            Labels(labels);
            table.labels = std::move(labels.labels);
            SortLabels(table.labels);
            db_.valueTables.push_back(std::move(table));
        } else if (w == "VAL_") {
            if (lexer_.Peek().kind != TokenKind::kNumber)
                return SkipStatement();  // labels of an environment variable
            PendingLabels labels{t.line, SignalTarget(), {}, {}};
            Labels(labels);
            labels_.push_back(std::move(labels));
        } else if (w == "CM_") {
            Comment(t);
        } else if (w == "BA_DEF_") {
            AttributeDefinitionLine(t);
        } else if (w == "BA_DEF_DEF_") {
            const std::string_view name = Expect(TokenKind::kString, "Attributname").text;
            defaults_.emplace_back(name, Value());
            Optional(';');
        } else if (w == "BA_") {
            PendingAttribute a{t.line, Expect(TokenKind::kString, "Attributname").text, {}, {}};
            a.target = ObjectTarget();
            a.value = Value();
            Optional(';');
            attributes_.push_back(a);
        } else if (w == "SIG_VALTYPE_") {
            PendingValueType v{t.line, SignalTarget(), {}};
            Optional(':');
            v.code = Expect(TokenKind::kNumber, "Zahl").text;
            Optional(';');
            valueTypes_.push_back(v);
        } else if (w == "SIG_GROUP_") {
            SignalGroupLine(t);
        } else if (w == "SG_MUL_VAL_") {
            MultiplexLine(t);
        } else if (w == "BO_TX_BU_") {
            PendingTransmitters p{t.line, FileId(), {}};
            Optional(':');
            while (!lexer_.Peek().Is(';') && lexer_.Peek().kind != TokenKind::kEnd) {
                if (!Optional(','))
                    p.nodes.emplace_back(Expect(TokenKind::kIdent, "Name").text);
            }
            Optional(';');
            transmitters_.push_back(std::move(p));
        } else if (IsIgnoredStatement(w)) {
            SkipStatement();
        } else {
            Warn(t.line, "unbekannter Abschnitt \"" + std::string(w) + "\" übersprungen.");
            SkipStatement();
        }
    }

    // NS_ lists the keywords the file may use, one alone on each line.
    void SkipNewSymbols() {
        Optional(':');
        for (;;) {
            Lexer ahead = lexer_;
            const Token name = ahead.Next();
            if (name.kind != TokenKind::kIdent || !name.firstOnLine || !ahead.Next().firstOnLine)
                return;
            lexer_.Next();
        }
    }

    void SkipStatement() {
        for (;;) {
            const Token t = lexer_.Peek();
            if (t.kind == TokenKind::kEnd ||
                (t.firstOnLine && t.kind == TokenKind::kIdent && IsKnownStatement(t.text)))
                return;
            lexer_.Next();
            if (t.Is(';'))
                return;
        }
    }

    void Message() {
        const Token idToken = Expect(TokenKind::kNumber, "Kennung");
        const std::uint32_t fileId = ToU32(idToken, "Kennung");
        const Token name = Expect(TokenKind::kIdent, "Name");
        ExpectPunct(':');
        const std::uint32_t length = ToU32(Expect(TokenKind::kNumber, "Länge"), "Länge");
        dbc::Message m;
        if (!lexer_.Peek().firstOnLine)
            m.transmitters.emplace_back(Expect(TokenKind::kIdent, "Sender").text);
        current_ = -1;
        if (IsPseudoMessage(fileId)) {
            current_ = kPseudo;
            return;
        }
        m.extended = (fileId & kExtendedFlag) != 0;
        m.id = fileId & ~kExtendedFlag;
        m.symbol = name.text;
        m.name = m.symbol;
        m.line = idToken.line;
        if (!m.extended && m.id > 0x7FF) {
            throw ParseError{idToken.line, "Botschaft \"" + m.symbol + "\": Kennung " +
                                               std::string(idToken.text) +
                                               " ist für 11 Bit zu groß (Bit 31 kennzeichnet "
                                               "29-Bit-Kennungen)."};
        }
        if (length > static_cast<std::uint32_t>(kMaxMessageBytes)) {
            throw ParseError{idToken.line, "Botschaft \"" + m.symbol + "\" ist " +
                                               std::to_string(length) +
                                               " Bytes lang; erlaubt sind höchstens 64."};
        }
        m.length = static_cast<int>(length);
        auto [it, added] = messageIndex_.emplace(fileId, static_cast<int>(db_.messages.size()));
        if (!added) {
            throw ParseError{idToken.line,
                             "Botschaft \"" + m.symbol + "\" hat dieselbe Kennung wie \"" +
                                 db_.messages[it->second].symbol + "\" (Zeile " +
                                 std::to_string(db_.messages[it->second].line) + ")."};
        }
        current_ = it->second;
        m.signals.reserve(lexer_.SignalLinesAhead());
        db_.messages.push_back(std::move(m));
    }

    void SignalLine(const Token& keyword) {
        if (current_ == -1)
            throw ParseError{keyword.line, "SG_ ohne vorangehende Botschaft (BO_)."};
        // Built in place: a move of a signal costs about as much as reading it.
        Signal scratch;
        Signal& s = current_ == kPseudo ? scratch : db_.messages[current_].signals.emplace_back();
        const Token name = Expect(TokenKind::kIdent, "Signalname");
        s.symbol = name.text;
        s.line = name.line;
        if (lexer_.Peek().kind == TokenKind::kIdent)
            MultiplexRole(lexer_.Next(), s);
        ExpectPunct(':');
        const int start =
            static_cast<int>(ToU32(Expect(TokenKind::kNumber, "Startbit"), "Startbit"));
        ExpectPunct('|');
        const Token lengthToken = Expect(TokenKind::kNumber, "Länge");
        const std::uint32_t length = ToU32(lengthToken, "Länge");
        ExpectPunct('@');
        const Token order = Expect(TokenKind::kNumber, "Bytereihenfolge 0 oder 1");
        if (order.text != "0" && order.text != "1")
            Fail(order, "Bytereihenfolge 0 oder 1");
        s.byteOrder = order.text == "1" ? ByteOrder::kIntel : ByteOrder::kMotorola;
        const Token sign = lexer_.Next();
        if (!sign.Is('+') && !sign.Is('-'))
            Fail(sign, "\"+\" oder \"-\"");
        s.isSigned = sign.Is('-');
        ExpectPunct('(');
        s.factor = Number("Faktor");
        ExpectPunct(',');
        s.offset = Number("Offset");
        ExpectPunct(')');
        ExpectPunct('[');
        s.minimum = Number("Minimum");
        ExpectPunct('|');
        s.maximum = Number("Maximum");
        ExpectPunct(']');
        s.unit = TextOf(Expect(TokenKind::kString, "Einheit"));
        while (!lexer_.Peek().firstOnLine) {
            if (!Optional(','))
                s.receivers.emplace_back(Expect(TokenKind::kIdent, "Empfänger").text);
        }
        if (current_ == kPseudo)
            return;
        dbc::Message& m = db_.messages[current_];
        if (length < 1 || length > 64) {
            throw ParseError{lengthToken.line, "Signal \"" + s.symbol + "\" hat die Länge " +
                                                   std::to_string(length) +
                                                   "; erlaubt sind 1 bis 64 Bits."};
        }
        s.length = static_cast<int>(length);
        s.startBit = start;
        if (BitsNeeded(start, s.length, s.byteOrder) > 8 * m.length) {
            throw ParseError{name.line, "Signal \"" + s.symbol + "\" passt nicht in die " +
                                            std::to_string(m.length) + " Bytes der Botschaft \"" +
                                            m.symbol + "\"."};
        }
        if (FindSymbol(m, s.symbol) + 1 != static_cast<int>(m.signals.size())) {
            throw ParseError{name.line, "Signal \"" + s.symbol +
                                            "\" steht zweimal in Botschaft \"" + m.symbol + "\"."};
        }
        s.name = s.symbol;
    }

    // `M`, `mN` or `mNM`.
    void MultiplexRole(const Token& t, Signal& s) {
        std::string_view w = t.text;
        if (w == "M") {
            s.isMultiplexer = true;
            return;
        }
        if (w.size() >= 2 && w[0] == 'm') {
            w.remove_prefix(1);
            if (w.back() == 'M') {
                s.isMultiplexer = true;
                w.remove_suffix(1);
            }
            std::uint64_t n = 0;
            auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), n);
            if (ec == std::errc() && end == w.data() + w.size() && !w.empty()) {
                s.multiplexer = kMultiplexerUnresolved;
                s.multiplexValues = {MultiplexRange{n, n}};
                return;
            }
        }
        Fail(t, "Multiplexangabe (M, mN oder mNM) oder \":\"");
    }

    void Comment(const Token& keyword) {
        PendingComment c{keyword.line, {}, {}};
        if (lexer_.Peek().kind != TokenKind::kString)
            c.target = ObjectTarget();
        const Token text = Expect(TokenKind::kString, "Kommentar in Anführungszeichen");
        c.text = TextOf(text);
        Optional(';');
        comments_.push_back(std::move(c));
    }

    void AttributeDefinitionLine(const Token& keyword) {
        AttributeDefinition d;
        const Token first = lexer_.Peek();
        if (first.kind == TokenKind::kIdent) {
            lexer_.Next();
            if (first.text == "BU_") {
                d.object = AttributeObject::kNode;
            } else if (first.text == "BO_") {
                d.object = AttributeObject::kMessage;
            } else if (first.text == "SG_") {
                d.object = AttributeObject::kSignal;
            } else if (first.text == "EV_") {
                d.object = AttributeObject::kEnvironment;
            } else {
                Warn(keyword.line,
                     "Attributdefinition für \"" + std::string(first.text) + "\" übersprungen.");
                return SkipStatement();
            }
        }
        d.name = TextOf(Expect(TokenKind::kString, "Attributname"));
        d.type = Expect(TokenKind::kIdent, "Attributtyp").text;
        if (d.type == "ENUM") {
            while (lexer_.Peek().kind == TokenKind::kString || lexer_.Peek().Is(',')) {
                const Token v = lexer_.Next();
                if (v.kind == TokenKind::kString)
                    d.enumValues.push_back(TextOf(v));
            }
        }
        SkipStatement();
        definitionIndex_[d.name] = db_.attributeDefinitions.size();
        db_.attributeDefinitions.push_back(std::move(d));
    }

    void SignalGroupLine(const Token& keyword) {
        PendingGroup g{keyword.line, FileId(), {}};
        g.group.name = Expect(TokenKind::kIdent, "Gruppenname").text;
        g.group.repetitions = ToU32(Expect(TokenKind::kNumber, "Zahl"), "Zahl");
        ExpectPunct(':');
        while (!lexer_.Peek().Is(';') && lexer_.Peek().kind != TokenKind::kEnd) {
            if (!Optional(','))
                g.group.signals.emplace_back(Expect(TokenKind::kIdent, "Signalname").text);
        }
        Optional(';');
        groups_.push_back(std::move(g));
    }

    void MultiplexLine(const Token& keyword) {
        PendingMultiplex p{keyword.line, SignalTarget(), {}, {}};
        p.multiplexer = Expect(TokenKind::kIdent, "Multiplexer").text;
        while (!lexer_.Peek().Is(';') && lexer_.Peek().kind != TokenKind::kEnd) {
            if (Optional(','))
                continue;
            const Token a = Expect(TokenKind::kNumber, "Wertebereich");
            Token b = lexer_.Next();
            // The lexer reads "3-5" as 3 and -5.
            if (b.Is('-'))
                b = Expect(TokenKind::kNumber, "Ende des Wertebereichs");
            else if (b.kind != TokenKind::kNumber || b.text[0] != '-')
                Fail(b, "Wertebereich wie 3-5");
            else
                b.text.remove_prefix(1);
            const std::uint32_t first = ToU32(a, "Wertebereich");
            const std::uint32_t last = ToU32(b, "Wertebereich");
            if (last < first)
                throw ParseError{a.line, "Wertebereich " + std::to_string(first) + "-" +
                                             std::to_string(last) + " ist leer."};
            p.ranges.push_back(MultiplexRange{first, last});
        }
        Optional(';');
        multiplexes_.push_back(std::move(p));
    }

    void Labels(PendingLabels& p) {
        while (lexer_.Peek().kind == TokenKind::kNumber) {
            const Token raw = lexer_.Next();
            const Token text = Expect(TokenKind::kString, "Text des Werts");
            p.texts.push_back(raw.text);
            p.labels.push_back(ValueLabel{ParseInteger(raw.text).value_or(0), TextOf(text)});
        }
        ExpectPunct(';');
    }

    Target ObjectTarget() {
        Target target;
        const Token kind = lexer_.Peek();
        if (kind.kind != TokenKind::kIdent)
            return target;
        lexer_.Next();
        if (kind.text == "BU_") {
            target.object = AttributeObject::kNode;
            target.name = Expect(TokenKind::kIdent, "Knotenname").text;
        } else if (kind.text == "BO_") {
            target.object = AttributeObject::kMessage;
            target.fileId = FileId();
        } else if (kind.text == "SG_") {
            target = SignalTarget();
        } else if (kind.text == "EV_") {
            target.object = AttributeObject::kEnvironment;
            target.name = Expect(TokenKind::kIdent, "Variablenname").text;
        } else {
            Fail(kind, "BU_, BO_, SG_ oder EV_");
        }
        return target;
    }

    Target SignalTarget() {
        Target target;
        target.object = AttributeObject::kSignal;
        target.fileId = FileId();
        target.name = Expect(TokenKind::kIdent, "Signalname").text;
        return target;
    }

    Token Value() {
        const Token v = lexer_.Next();
        if (v.kind != TokenKind::kNumber && v.kind != TokenKind::kString)
            Fail(v, "Wert");
        return v;
    }

    std::uint32_t FileId() { return ToU32(Expect(TokenKind::kNumber, "Kennung"), "Kennung"); }

    double Number(const char* what) {
        const Token t = Expect(TokenKind::kNumber, what);
        auto v = ParseDouble(t.text);
        if (!v)
            Fail(t, what);
        return *v;
    }

    std::uint32_t ToU32(const Token& t, const char* what) {
        std::uint32_t v = 0;
        auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
        if (ec != std::errc() || end != t.text.data() + t.text.size())
            Fail(t, what);
        return v;
    }

    Token Expect(TokenKind kind, const char* what) {
        const Token t = lexer_.Next();
        if (t.kind != kind)
            Fail(t, what);
        return t;
    }

    void ExpectPunct(char c) {
        const Token t = lexer_.Next();
        if (!t.Is(c))
            Fail(t, std::string("\"") + c + "\"");
    }

    bool Optional(char c) {
        if (!lexer_.Peek().Is(c))
            return false;
        lexer_.Next();
        return true;
    }

    [[noreturn]] void Fail(const Token& t, const std::string& expected) {
        // A line that ends too early is that line's fault, not the next one's.
        int line = t.line;
        std::string found;
        if (t.kind == TokenKind::kEnd || t.firstOnLine) {
            line = t.previousLine;
            found = t.kind == TokenKind::kEnd ? "Dateiende" : "Zeilenende";
        } else if (t.kind == TokenKind::kString) {
            found = "Zeichenkette \"" + std::string(t.text.substr(0, 40)) + "\"";
        } else {
            found = "\"" + std::string(t.text) + "\"";
        }
        throw ParseError{line, std::string(statement_) + "-Zeile fehlerhaft: " + expected +
                                   " erwartet statt " + found + "."};
    }

    void Warn(int line, const std::string& what) {
        warnings_.push_back(fileName_ + ", Zeile " + std::to_string(line) + ": " + what);
    }

    static int FindSymbol(const dbc::Message& m, std::string_view symbol) {
        for (std::size_t i = 0; i < m.signals.size(); ++i) {
            if (m.signals[i].symbol == symbol)
                return static_cast<int>(i);
        }
        return -1;
    }

    static void SortLabels(std::vector<ValueLabel>& labels) {
        std::stable_sort(labels.begin(), labels.end(),
                         [](const ValueLabel& a, const ValueLabel& b) { return a.raw < b.raw; });
        labels.erase(
            std::unique(labels.begin(), labels.end(),
                        [](const ValueLabel& a, const ValueLabel& b) { return a.raw == b.raw; }),
            labels.end());
    }

    // The message a reference names, null (after a warning) when there is none.
    dbc::Message* MessageOf(int line, std::uint32_t fileId, const char* section) {
        auto it = messageIndex_.find(fileId);
        if (it != messageIndex_.end())
            return &db_.messages[it->second];
        if (!IsPseudoMessage(fileId))
            Warn(line, std::string(section) + " nennt die unbekannte Botschaft " +
                           std::to_string(fileId) + "; übersprungen.");
        return nullptr;
    }

    Signal* SignalOf(int line, const Target& t, const char* section) {
        dbc::Message* m = MessageOf(line, t.fileId, section);
        if (!m)
            return nullptr;
        const int i = FindSymbol(*m, t.name);
        if (i < 0) {
            Warn(line, std::string(section) + " nennt das unbekannte Signal \"" +
                           std::string(t.name) + "\" der Botschaft \"" + m->symbol +
                           "\"; übersprungen.");
            return nullptr;
        }
        return &m->signals[i];
    }

    Node* NodeOf(int line, std::string_view name, const char* section) {
        for (Node& n : db_.nodes) {
            if (n.name == name)
                return &n;
        }
        Warn(line, std::string(section) + " nennt den unbekannten Knoten \"" + std::string(name) +
                       "\"; übersprungen.");
        return nullptr;
    }

    void Resolve() {
        for (const PendingValueType& v : valueTypes_) {
            Signal* s = SignalOf(v.line, v.target, "SIG_VALTYPE_");
            if (!s)
                continue;
            const int bits = v.code == "1" ? 32 : v.code == "2" ? 64 : 0;
            if (v.code == "0")
                continue;
            if (bits == 0) {
                Warn(v.line, "unbekannter Werttyp " + std::string(v.code) + " übersprungen.");
                continue;
            }
            if (s->length != bits) {
                throw ParseError{v.line, "Signal \"" + s->symbol + "\" ist als " +
                                             (bits == 32 ? "float" : "double") +
                                             " gekennzeichnet, hat aber " +
                                             std::to_string(s->length) + " statt " +
                                             std::to_string(bits) + " Bits."};
            }
            s->valueType = bits == 32 ? ValueType::kFloat32 : ValueType::kFloat64;
        }
        for (PendingLabels& p : labels_) {
            Signal* s = SignalOf(p.line, p.target, "VAL_");
            if (!s)
                continue;
            for (std::size_t i = 0; i < p.labels.size(); ++i)
                p.labels[i].raw = RawBitsOf(p.texts[i], *s).value_or(p.labels[i].raw);
            s->labels = std::move(p.labels);
            SortLabels(s->labels);
        }
        for (PendingComment& c : comments_) {
            if (std::string* text = CommentOf(c))
                *text = std::move(c.text);
        }
        ResolveAttributes();
        for (PendingTransmitters& p : transmitters_) {
            if (dbc::Message* m = MessageOf(p.line, p.fileId, "BO_TX_BU_")) {
                for (std::string& n : p.nodes) {
                    if (std::find(m->transmitters.begin(), m->transmitters.end(), n) ==
                        m->transmitters.end())
                        m->transmitters.push_back(std::move(n));
                }
            }
        }
        for (PendingGroup& g : groups_) {
            if (dbc::Message* m = MessageOf(g.line, g.fileId, "SIG_GROUP_"))
                m->groups.push_back(std::move(g.group));
        }
        ResolveMultiplexing();
        for (dbc::Message& m : db_.messages)
            BuildDecodePlan(m);
    }

    std::string* CommentOf(const PendingComment& c) {
        switch (c.target.object) {
            case AttributeObject::kDatabase:
                return &db_.comment;
            case AttributeObject::kNode: {
                Node* n = NodeOf(c.line, c.target.name, "CM_");
                return n ? &n->comment : nullptr;
            }
            case AttributeObject::kMessage: {
                dbc::Message* m = MessageOf(c.line, c.target.fileId, "CM_");
                return m ? &m->comment : nullptr;
            }
            case AttributeObject::kSignal: {
                Signal* s = SignalOf(c.line, c.target, "CM_");
                return s ? &s->comment : nullptr;
            }
            case AttributeObject::kEnvironment:
                return nullptr;
        }
        return nullptr;
    }

    std::vector<Attribute>* AttributesOf(int line, const Target& t) {
        switch (t.object) {
            case AttributeObject::kDatabase:
                return &db_.attributes;
            case AttributeObject::kNode: {
                Node* n = NodeOf(line, t.name, "BA_");
                return n ? &n->attributes : nullptr;
            }
            case AttributeObject::kMessage: {
                dbc::Message* m = MessageOf(line, t.fileId, "BA_");
                return m ? &m->attributes : nullptr;
            }
            case AttributeObject::kSignal: {
                Signal* s = SignalOf(line, t, "BA_");
                return s ? &s->attributes : nullptr;
            }
            case AttributeObject::kEnvironment:
                return nullptr;
        }
        return nullptr;
    }

    // An enumeration's value as its text, other values as written.
    static std::string AttributeText(const AttributeDefinition& d, const Token& value) {
        if (d.type == "ENUM" && value.kind == TokenKind::kNumber) {
            const auto index = ParseInteger(value.text);
            if (index && *index < d.enumValues.size())
                return d.enumValues[*index];
        }
        return TextOf(value);
    }

    void ResolveAttributes() {
        for (auto& [name, value] : defaults_) {
            auto it = definitionIndex_.find(std::string(name));
            if (it == definitionIndex_.end())
                continue;
            AttributeDefinition& d = db_.attributeDefinitions[it->second];
            d.defaultValue = TextOf(value);
        }
        for (const PendingAttribute& a : attributes_) {
            auto it = definitionIndex_.find(std::string(a.name));
            if (it == definitionIndex_.end()) {
                Warn(a.line, "Attribut \"" + std::string(a.name) +
                                 "\" ist nicht definiert (BA_DEF_ fehlt); übersprungen.");
                continue;
            }
            const AttributeDefinition& d = db_.attributeDefinitions[it->second];
            if (d.object != a.target.object) {
                Warn(a.line, "Attribut \"" + d.name +
                                 "\" gehört nicht zu dieser Art Objekt; "
                                 "übersprungen.");
                continue;
            }
            if (std::vector<Attribute>* list = AttributesOf(a.line, a.target))
                list->push_back(Attribute{d.name, AttributeText(d, a.value)});
        }
        if (const std::string* v = Value(db_.attributes, "ProtocolType", Default("ProtocolType")))
            db_.protocolType = *v;
        const std::string* nodeName = Default("SystemNodeLongSymbol");
        for (Node& n : db_.nodes) {
            if (const std::string* v = Value(n.attributes, "SystemNodeLongSymbol", nodeName))
                n.name = *v;
        }
        const std::string* cycle = Default("GenMsgCycleTime");
        const std::string* messageName = Default("SystemMessageLongSymbol");
        const std::string* signalName = Default("SystemSignalLongSymbol");
        const std::string* start = Default("GenSigStartValue");
        for (dbc::Message& m : db_.messages) {
            if (const std::string* v = Value(m.attributes, "GenMsgCycleTime", cycle)) {
                if (auto ms = ParseDouble(*v); ms && *ms >= 0 && *ms < 1e9)
                    m.cycleTimeMs = static_cast<int>(std::lround(*ms));
            }
            if (const std::string* v = Value(m.attributes, "SystemMessageLongSymbol", messageName))
                m.name = *v;
            for (Signal& s : m.signals) {
                if (const std::string* v =
                        Value(s.attributes, "SystemSignalLongSymbol", signalName))
                    s.name = *v;
                if (const std::string* v = Value(s.attributes, "GenSigStartValue", start)) {
                    auto bits = RawBitsOf(*v, s);
                    if (bits && FitsWidth(*bits, s))
                        s.startValue = bits;
                    else
                        Warn(s.line, "Startwert " + *v + " von Signal \"" + s.symbol +
                                         "\" passt nicht zum Signal; übersprungen.");
                }
            }
        }
    }

    // The definition's default value, null when there is none.
    const std::string* Default(std::string_view name) const {
        auto it = definitionIndex_.find(std::string(name));
        if (it == definitionIndex_.end())
            return nullptr;
        const auto& d = db_.attributeDefinitions[it->second].defaultValue;
        return d ? &*d : nullptr;
    }

    // The value given for the object, else the fallback.
    static const std::string* Value(const std::vector<Attribute>& list, std::string_view name,
                                    const std::string* fallback) {
        for (const Attribute& a : list) {
            if (a.name == name)
                return &a.value;
        }
        return fallback;
    }

    void ResolveMultiplexing() {
        std::unordered_set<const Signal*> explicitly;
        for (PendingMultiplex& p : multiplexes_) {
            Signal* s = SignalOf(p.line, p.target, "SG_MUL_VAL_");
            if (!s)
                continue;
            dbc::Message& m = db_.messages[messageIndex_.at(p.target.fileId)];
            const int mux = FindSymbol(m, p.multiplexer);
            if (mux < 0 || !m.signals[mux].isMultiplexer) {
                throw ParseError{p.line,
                                 "Signal \"" + s->symbol + "\": \"" + std::string(p.multiplexer) +
                                     "\" ist kein Multiplexer der Botschaft \"" + m.symbol + "\"."};
            }
            if (!explicitly.insert(s).second) {
                throw ParseError{p.line,
                                 "Signal \"" + s->symbol + "\" hat zwei SG_MUL_VAL_-Angaben."};
            }
            s->multiplexer = mux;
            s->multiplexValues = std::move(p.ranges);
        }
        for (dbc::Message& m : db_.messages) {
            std::vector<int> plain;  // the `M` signals
            for (std::size_t i = 0; i < m.signals.size(); ++i) {
                if (m.signals[i].isMultiplexer && m.signals[i].multiplexer == -1)
                    plain.push_back(static_cast<int>(i));
            }
            for (Signal& s : m.signals) {
                if (s.multiplexer != kMultiplexerUnresolved)
                    continue;
                if (plain.size() == 1) {
                    s.multiplexer = plain[0];
                } else if (plain.empty()) {
                    throw ParseError{s.line, "Signal \"" + s.symbol +
                                                 "\" ist gemultiplext, aber Botschaft \"" +
                                                 m.symbol + "\" hat keinen Multiplexer (M)."};
                } else {
                    throw ParseError{s.line, "Botschaft \"" + m.symbol +
                                                 "\" hat mehrere Multiplexer (\"" +
                                                 m.signals[plain[0]].symbol + "\", \"" +
                                                 m.signals[plain[1]].symbol +
                                                 "\"); ohne SG_MUL_VAL_ ist nicht "
                                                 "eindeutig, welcher Signal \"" +
                                                 s.symbol + "\" wählt."};
                }
            }
            for (const Signal& s : m.signals) {
                int steps = 0;
                for (int k = s.multiplexer; k >= 0; k = m.signals[k].multiplexer) {
                    if (m.signals[k].valueType != ValueType::kInteger) {
                        throw ParseError{m.signals[k].line, "Multiplexer \"" + m.signals[k].symbol +
                                                                "\" ist eine Gleitkommazahl."};
                    }
                    if (++steps > static_cast<int>(m.signals.size())) {
                        throw ParseError{s.line, "Die Multiplexer der Botschaft \"" + m.symbol +
                                                     "\" wählen einander im Kreis."};
                    }
                }
            }
        }
    }

    static constexpr int kPseudo = -2;

    Lexer lexer_;
    std::string fileName_;
    std::vector<std::string>& warnings_;
    std::string_view statement_;
    Database db_;
    int current_ = -1;  // the message SG_ lines belong to; kPseudo for one that is skipped
    std::unordered_map<std::uint32_t, int> messageIndex_;  // by the file's number
    std::unordered_map<std::string, std::size_t> definitionIndex_;
    std::vector<std::pair<std::string_view, Token>> defaults_;
    std::vector<PendingAttribute> attributes_;
    std::vector<PendingComment> comments_;
    std::vector<PendingLabels> labels_;
    std::vector<PendingValueType> valueTypes_;
    std::vector<PendingGroup> groups_;
    std::vector<PendingMultiplex> multiplexes_;
    std::vector<PendingTransmitters> transmitters_;
};

std::string BaseName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

ReadResult ParseDbc(std::string_view bytes, std::string_view fileName) {
    ReadResult result;
    const std::string name(fileName);
    bytes = StripUtf8Bom(bytes);
    std::string converted;
    if (!IsUtf8(bytes)) {
        converted = Cp1252ToUtf8(bytes);
        bytes = converted;
    }
    try {
        Parser parser(bytes, name, result.warnings);
        result.database = parser.Run();
    } catch (const ParseError& e) {
        result.error = name + ", Zeile " + std::to_string(e.line) + ": " + e.what;
    }
    return result;
}

ReadResult ReadDbc(const std::string& path) {
    const std::string name = BaseName(path);
    platform::DataFile file = platform::DataFile::OpenForReading(path);
    if (!file.IsOpen()) {
        ReadResult result;
        result.error = name + ": Datei kann nicht geöffnet werden (" +
                       platform::ErrorText(file.Error()) + ").";
        return result;
    }
    std::string bytes;
    char block[1 << 16];
    std::int64_t n;
    while ((n = file.Read(block, sizeof block)) > 0)
        bytes.append(block, static_cast<std::size_t>(n));
    if (n < 0) {
        ReadResult result;
        result.error = name + ": Datei kann nicht gelesen werden.";
        return result;
    }
    return ParseDbc(bytes, name);
}

}  // namespace dbc
