// Reads a DBC file and answers requests on stdin, one per line, for dbc_interop.py:
//   D <id hex> <extended 0|1> <data hex>      ->  one "S <signal> <raw> <value> <label|->" per
//                                                 signal with a value, then "."
//   E <id hex> <extended 0|1> <signal>=<physical>...  ->  "B <data hex>" or "X <error>"; the
//                                                 values as --send writes them
//   M <id hex> <extended 0|1>                 ->  "M <name>\t<cycle ms>\t<comment>" (line
//                                                 breaks as \n)
// raw is the integer, or a float signal's IEEE value; numbers in their shortest exact form.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "dbc/dbc_reader.h"
#include "dbc/signal_assignments.h"
#include "dbc/signal_decoder.h"
#include "dbc/signal_encoder.h"

namespace {

std::string Shortest(double v) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end);
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: dbc_probe FILE\n";
        return 2;
    }
    const dbc::ReadResult read = dbc::ReadDbc(argv[1]);
    for (const std::string& w : read.warnings)
        std::cerr << w << '\n';
    if (!read.database) {
        std::cerr << read.error << '\n';
        return 1;
    }
    const dbc::Database& db = *read.database;
    std::vector<dbc::DecodedSignal> decoded;
    std::string line, out;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string kind, idHex;
        int extended = 0;
        in >> kind >> idHex >> extended;
        const dbc::Message* m = db.FindMessage(std::stoul(idHex, nullptr, 16), extended != 0);
        if (!m) {
            out += "X no message\n";
            continue;
        }
        if (kind == "M") {
            std::string comment;
            for (char c : m->comment)
                comment += c == '\n' ? std::string("\\n") : std::string(1, c);
            out += "M " + m->name + "\t" + std::to_string(m->cycleTimeMs) + "\t" + comment + "\n";
        } else if (kind == "D") {
            std::string hex;
            in >> hex;
            const std::vector<std::uint8_t> data = FromHex(hex);
            decoded.resize(m->signals.size());
            dbc::Decode(*m, data, decoded);
            for (std::size_t i = 0; i < m->signals.size(); ++i) {
                const dbc::DecodedSignal& d = decoded[i];
                if (d.state != dbc::SignalState::kValue)
                    continue;
                const dbc::Signal& s = m->signals[i];
                std::string raw = s.valueType != dbc::ValueType::kInteger
                                      ? Shortest(dbc::RawNumber(s, d.raw))
                                  : s.isSigned ? std::to_string(static_cast<std::int64_t>(d.raw))
                                               : std::to_string(d.raw);
                out += "S " + s.name + " " + raw + " " + Shortest(d.value) + " " +
                       (d.label ? *d.label : std::string("-")) + "\n";
            }
            out += ".\n";
        } else {
            // The values as --send and the settings file write them, read by the same parser.
            std::string text;
            std::getline(in, text);
            std::string error;
            const auto assignments = dbc::ParseSignalValues(text, error);
            if (!assignments) {
                out += "X " + error + "\n";
                continue;
            }
            const std::vector<dbc::SignalValue> values = dbc::ToSignalValues(*assignments);
            const dbc::EncodeResult r = dbc::Encode(*m, values);
            if (!r.frame) {
                out += "X " + r.error + "\n";
                continue;
            }
            out += "B ";
            char hex[3];
            for (int i = 0; i < r.frame->length; ++i) {
                std::snprintf(hex, sizeof hex, "%02X", r.frame->data[i]);
                out += hex;
            }
            out += '\n';
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
