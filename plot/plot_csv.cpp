#include "plot/plot_csv.h"

#include <algorithm>
#include <vector>

#include "dbc/decoded_csv.h"

namespace plot {

std::string RangeCsv(const PlotModel& model, std::span<const SeriesId> series, std::int64_t fromNs,
                     std::int64_t toNs, std::int64_t originNs) {
    struct Line {
        std::int64_t timeNs;
        std::size_t order;
        Point point;
    };
    std::vector<Line> lines;
    for (std::size_t k = 0; k < series.size(); ++k) {
        const SignalSeries* s = model.Series(series[k]);
        if (!s)
            continue;
        s->ForEach(fromNs, toNs, [&](const Point& p) {
            if (p.gap != Gap::kNotSelected)
                lines.push_back({p.timeNs, k, p});
        });
    }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.timeNs != b.timeNs ? a.timeNs < b.timeNs : a.order < b.order;
    });
    std::string out(dbc::CsvHeader());
    out += '\n';
    std::vector<dbc::Message> messages(series.size());
    for (std::size_t k = 0; k < series.size(); ++k) {
        if (const SignalSeries* s = model.Series(series[k]))
            messages[k].name = s->Info().messageName;
    }
    for (const Line& line : lines) {
        const SignalSeries& s = *model.Series(series[line.order]);
        const SeriesInfo& info = s.Info();
        dbc::DecodedSignal d;
        if (line.point.gap == Gap::kShortFrame) {
            d.state = dbc::SignalState::kShortFrame;
        } else {
            d.state = dbc::SignalState::kValue;
            d.raw = line.point.raw;
            d.value = s.Physical(line.point.raw);
            d.label = s.Label(line.point.raw);
        }
        dbc::AppendCsvLine(out, originNs + line.timeNs, info.frameId, info.extended,
                           messages[line.order], info.signal, d);
    }
    return out;
}

}  // namespace plot
