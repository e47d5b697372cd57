// The points of a plot's signals in a time range as CSV, in the columns and forms of
// `vesk --decode` (dbc/decoded_csv.h): one line per value in the order of time (a frame's
// signals in the order they were chosen), a frame too short for a signal as its line without
// value, and nothing for a frame whose multiplexer chose other signals. The frame identifier is
// the message's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "plot/plot_model.h"

namespace plot {

// `originNs` is added to every time (a trace's first time stamp, so that times read as the
// trace's own).
std::string RangeCsv(const PlotModel& model, std::span<const SeriesId> series, std::int64_t fromNs,
                     std::int64_t toNs, std::int64_t originNs);

}  // namespace plot
