#include "dbc/signal_assignments.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace dbc {

namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<double> ParsePhysical(std::string_view text) {
    std::string s(text);
    for (char& c : s) {
        if (c == ',')
            c = '.';
    }
    double v = 0;
    const char* begin = s.data();
    if (!s.empty() && s[0] == '+')
        ++begin;
    auto [end, ec] = std::from_chars(begin, s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || begin == end || std::isnan(v))
        return std::nullopt;
    return v;
}

std::optional<std::vector<SignalAssignment>> ParseSignalValues(std::string_view text,
                                                               std::string& error) {
    std::vector<SignalAssignment> values;
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && Blank(text[i]))
            ++i;
        if (i == text.size())
            return values;
        const std::size_t nameStart = i;
        while (i < text.size() && !Blank(text[i]) && text[i] != '=')
            ++i;
        SignalAssignment a;
        a.signal = std::string(text.substr(nameStart, i - nameStart));
        if (i == text.size() || text[i] != '=' || a.signal.empty()) {
            error = "Nach \"" + a.signal + "\" fehlt \"=WERT\".";
            return std::nullopt;
        }
        ++i;
        if (i < text.size() && text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "Beim Wert von \"" + a.signal + "\" fehlt das schließende \".";
                return std::nullopt;
            }
            a.label = std::string(text.substr(i + 1, close - i - 1));
            i = close + 1;
            if (a.label.empty()) {
                error = "Der Wert von \"" + a.signal + "\" ist leer.";
                return std::nullopt;
            }
        } else {
            const std::size_t valueStart = i;
            while (i < text.size() && !Blank(text[i]))
                ++i;
            const std::string_view value = text.substr(valueStart, i - valueStart);
            if (value.empty()) {
                error = "Der Wert von \"" + a.signal + "\" ist leer.";
                return std::nullopt;
            }
            if (auto n = ParsePhysical(value))
                a.physical = *n;
            else
                a.label = std::string(value);
        }
        values.push_back(std::move(a));
    }
}

std::optional<SignalAssignments> ParseSignalAssignments(std::string_view text, std::string& error) {
    std::size_t i = 0;
    while (i < text.size() && Blank(text[i]))
        ++i;
    const std::size_t start = i;
    while (i < text.size() && !Blank(text[i]))
        ++i;
    SignalAssignments result;
    result.message = std::string(text.substr(start, i - start));
    if (result.message.empty() || result.message.find('=') != std::string::npos) {
        error = "Vor den Signalwerten fehlt der Name der Botschaft.";
        return std::nullopt;
    }
    auto values = ParseSignalValues(text.substr(i), error);
    if (!values)
        return std::nullopt;
    result.values = std::move(*values);
    return result;
}

std::string FormatSignalValues(std::span<const SignalAssignment> values) {
    std::string text;
    for (const SignalAssignment& a : values) {
        if (!text.empty())
            text += ' ';
        text += a.signal + '=';
        if (a.label.empty()) {
            char number[32];
            auto [end, ec] = std::to_chars(number, number + sizeof number, a.physical);
            text.append(number, ec == std::errc() ? end : number);
        } else if (ParsePhysical(a.label) || a.label.find_first_of(" \t\"") != std::string::npos) {
            text += '"' + a.label + '"';
        } else {
            text += a.label;
        }
    }
    return text;
}

std::vector<SignalValue> ToSignalValues(std::span<const SignalAssignment> values) {
    std::vector<SignalValue> out;
    out.reserve(values.size());
    for (const SignalAssignment& a : values) {
        if (a.label.empty())
            out.emplace_back(a.signal, a.physical);
        else
            out.emplace_back(a.signal, std::string_view(a.label));
    }
    return out;
}

const Message* FindMessageByText(std::span<const Database* const> databases,
                                 std::string_view name) {
    for (const Database* db : databases) {
        if (const Message* m = db->FindMessage(name))
            return m;
    }
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
        std::uint32_t id = 0;
        auto [end, ec] = std::from_chars(name.data() + 2, name.data() + name.size(), id, 16);
        if (ec != std::errc() || end != name.data() + name.size() || id > 0x1FFFFFFFu)
            return nullptr;
        for (const Database* db : databases) {
            if (const Message* m = db->FindMessage(id, id > 0x7FF))
                return m;
            if (const Message* m = db->FindMessage(id, true))
                return m;
        }
    }
    return nullptr;
}

}  // namespace dbc
