// A recorded trace read with CAN databases into a plot model: every signal of every message the
// trace carries becomes a series, filled in the trace's order with its times (from the first
// entry), through the decoder the log and `--decode` use. A frame that does not carry one of its
// message's signals gives that series a gap. Remote frames and bus events carry no signals.
//
// Runs on the caller's thread and asks `progress` now and then (reading is the first 80 %), so
// a long file shows how far it is and can be given up; a model given up on holds what was read
// of the decoded part (nothing, if reading was still under way).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dbc/database_set.h"
#include "plot/plot_model.h"

struct TraceEvaluation {
    bool ok = false;
    bool cancelled = false;
    std::string error;          // German, naming the file; empty when ok
    std::uint64_t frames = 0;   // frames in the trace
    std::uint64_t decoded = 0;  // of them frames a database defines
    std::int64_t startNs = 0;   // the first entry's time as the file gives it
};

// fraction 0..1; false gives up.
using EvaluationProgress = std::function<bool(double fraction)>;

TraceEvaluation EvaluateTrace(const std::string& path, const dbc::DatabaseSet& databases,
                              plot::PlotModel& model, const EvaluationProgress& progress = {});
