#include "monitor/trace_decode.h"

#include <string_view>

#include "dbc/decoded_csv.h"
#include "dbc/signal_decoder.h"
#include "monitor/signal_databases.h"
#include "trace/trace_reader.h"

int DecodeTrace(const std::string& tracePath, const std::vector<std::string>& databases,
                std::FILE* out, std::FILE* err) {
    SignalDatabases loaded;
    for (const std::string& path : databases) {
        std::string error;
        std::vector<std::string> warnings;
        const bool ok = loaded.Load(path, error, warnings);
        for (const std::string& warning : warnings)
            std::fprintf(err, "vesk: %s\n", warning.c_str());
        if (!ok) {
            std::fprintf(err, "vesk: %s\n", error.c_str());
            return 1;
        }
    }
    std::string error;
    const auto file = trace::ReadTrace(tracePath, error);
    if (!file) {
        std::fprintf(err, "vesk: %s\n", error.c_str());
        return 1;
    }
    const auto set = loaded.Set();
    std::string text(dbc::CsvHeader());
    text += '\n';
    std::vector<dbc::DecodedSignal> decoded;
    for (const trace::TraceFrame& frame : file->entries) {
        if (frame.kind != trace::TraceFrame::Kind::kFrame || frame.rtr)
            continue;
        const dbc::MessageMatch match = set->Find(frame.id, frame.extended);
        if (!match.message)
            continue;
        const dbc::Message& message = *match.message;
        decoded.assign(message.signals.size(), {});
        dbc::Decode(message, std::span<const std::uint8_t>(frame.data.data(), frame.length),
                    decoded);
        for (std::size_t i = 0; i < message.signals.size(); ++i) {
            dbc::AppendCsvLine(text, file->startNs + frame.timeNs, frame.id, frame.extended,
                               message, message.signals[i], decoded[i]);
        }
        // Written in pieces, so that a long trace does not wait for its end in memory.
        if (text.size() >= 1 << 16) {
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), out);
    return std::fflush(out) == 0 ? 0 : 1;
}
