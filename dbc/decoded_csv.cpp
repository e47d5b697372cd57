#include "dbc/decoded_csv.h"

#include <charconv>
#include <cstdio>

namespace dbc {

namespace {

void AppendField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

template <typename T>
void AppendInteger(std::string& out, T v, int base = 10) {
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v, base);
    out.append(text, end);
}

}  // namespace

void AppendValueText(std::string& out, double value) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, ec == std::errc() ? end : text);
}

std::string_view CsvHeader() noexcept {
    return "time,id,extended,message,signal,raw,value,unit,label";
}

void AppendCsvLine(std::string& out, std::int64_t timeNs, std::uint32_t frameId, bool extended,
                   const Message& message, const Signal& signal, const DecodedSignal& decoded) {
    if (decoded.state == SignalState::kNotSelected)
        return;
    // Rounded to the microsecond, half away from zero.
    const std::int64_t us = (timeNs >= 0 ? timeNs + 500 : timeNs - 500) / 1000;
    if (us < 0)
        out += '-';
    const std::uint64_t magnitude = us < 0 ? 0 - static_cast<std::uint64_t>(us) : us;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%06u", static_cast<unsigned>(magnitude % 1000000));
    AppendInteger(out, magnitude / 1000000);
    out += fraction;
    out += ',';
    std::string id;
    AppendInteger(id, frameId, 16);
    for (char& c : id)
        c = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    out += id;
    out += extended ? ",1," : ",0,";
    AppendField(out, message.name);
    out += ',';
    AppendField(out, signal.name);
    out += ',';
    if (decoded.state == SignalState::kValue) {
        if (signal.valueType != ValueType::kInteger)
            AppendValueText(out, RawNumber(signal, decoded.raw));
        else if (signal.isSigned)
            AppendInteger(out, static_cast<std::int64_t>(decoded.raw));
        else
            AppendInteger(out, decoded.raw);
        out += ',';
        AppendValueText(out, decoded.value);
    } else {
        out += ',';
    }
    out += ',';
    AppendField(out, signal.unit);
    out += ',';
    if (decoded.state == SignalState::kValue)
        AppendField(out, decoded.label ? std::string_view(*decoded.label) : std::string_view());
    else
        AppendField(out, StateText(decoded.state));
    out += '\n';
}

}  // namespace dbc
