#include "monitor/trace_evaluation.h"

#include <span>
#include <unordered_map>
#include <vector>

#include "dbc/signal_decoder.h"
#include "trace/trace_reader.h"

namespace {

constexpr double kReadShare = 0.8;
constexpr std::size_t kFramesPerReport = 1 << 16;

}  // namespace

TraceEvaluation EvaluateTrace(const std::string& path, const dbc::DatabaseSet& databases,
                              plot::PlotModel& model, const EvaluationProgress& progress) {
    TraceEvaluation result;
    bool gaveUp = false;
    const auto file =
        trace::ReadTrace(path, result.error, [&](std::uint64_t done, std::uint64_t total) {
            if (!progress || total == 0)
                return true;
            gaveUp = !progress(kReadShare * static_cast<double>(done) / static_cast<double>(total));
            return !gaveUp;
        });
    if (!file) {
        result.cancelled = gaveUp;
        return result;
    }
    result.error.clear();
    result.startNs = file->startNs;
    // A message's series are consecutive ids, the first one kept here.
    std::unordered_map<const dbc::Message*, plot::SeriesId> first;
    std::vector<dbc::DecodedSignal> decoded;
    const std::size_t count = file->entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (progress && i % kFramesPerReport == 0 && i > 0 &&
            !progress(kReadShare +
                      (1 - kReadShare) * static_cast<double>(i) / static_cast<double>(count))) {
            result.cancelled = true;
            return result;
        }
        const trace::TraceFrame& frame = file->entries[i];
        if (frame.kind != trace::TraceFrame::Kind::kFrame)
            continue;
        ++result.frames;
        if (frame.rtr)
            continue;
        const dbc::MessageMatch match = databases.Find(frame.id, frame.extended);
        if (!match.message)
            continue;
        ++result.decoded;
        const dbc::Message& message = *match.message;
        auto [it, added] = first.try_emplace(&message, 0);
        if (added) {
            for (std::size_t s = 0; s < message.signals.size(); ++s) {
                const plot::SeriesId id =
                    model.AddSeries(plot::MakeSeriesInfo(*match.database, message, s));
                if (s == 0)
                    it->second = id;
            }
        }
        decoded.resize(message.signals.size());
        dbc::Decode(message, std::span<const std::uint8_t>(frame.data.data(), frame.length),
                    decoded);
        for (std::size_t s = 0; s < message.signals.size(); ++s) {
            model.Append(it->second + static_cast<plot::SeriesId>(s),
                         plot::PointOf(frame.timeNs, decoded[s].state, decoded[s].raw));
        }
    }
    result.ok = true;
    if (progress)
        progress(1.0);
    return result;
}
