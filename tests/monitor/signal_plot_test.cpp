// What the plot gets from the session: a trace evaluated into series (values, gaps, progress and
// giving up) and the live feed's values from the receive thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dbc/dbc_reader.h"
#include "monitor/plot_feed.h"
#include "monitor/trace_decode.h"
#include "monitor/trace_evaluation.h"
#include "plot/plot_csv.h"
#include "tests/support/captured_stream.h"
#include "tests/support/environment.h"
#include "tests/support/plot_database.h"

namespace {

constexpr const char* kDatabase = testdb::kMuxAndGang;

std::shared_ptr<const dbc::DatabaseSet> Databases() {
    auto read = dbc::ParseDbc(kDatabase, "t.dbc");
    EXPECT_TRUE(read.database) << read.error;
    auto set = std::make_shared<dbc::DatabaseSet>();
    set->Add(std::make_shared<const dbc::Database>(std::move(*read.database)));
    return set;
}

std::string WriteTrace(const std::string& name, const std::string& text) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("vesk-plot-" + std::to_string(testsupport::ProcessId()) + "-" + name))
            .string();
    std::ofstream(path) << text;
    return path;
}

// "t:value" per point, "t:-" for a gap, t in ms.
std::string PointsOf(const plot::SignalSeries& s) {
    std::string out;
    s.ForEach(INT64_MIN / 2, INT64_MAX / 2, [&](const plot::Point& p) {
        out += std::to_string(p.timeNs / 1'000'000) + ":";
        if (p.gap != plot::Gap::kNone) {
            out += "- ";
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%g ", s.Physical(p.raw));
            out += text;
        }
    });
    return out;
}

TEST(TraceEvaluation, EachSignalBecomesASeriesAndAnAbsentOneAGap) {
    const auto set = Databases();
    const std::string path = WriteTrace("mux.log",
                                        "(100.000000) can0 100#000A01 R\n"
                                        "(100.010000) can0 100#01FF02 R\n"
                                        "(100.020000) can0 100#01FE03 R\n"
                                        "(100.030000) can0 100#000404 R\n"
                                        "(100.040000) can0 200#02 R\n"
                                        "(100.045000) can0 200#R R\n"
                                        "(100.050000) can0 100#00 R\n"
                                        "(100.060000) can0 300#11 R\n");
    plot::PlotModel model;
    const TraceEvaluation result = EvaluateTrace(path, *set, model);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.frames, 8u);
    EXPECT_EQ(result.decoded, 6u);
    EXPECT_EQ(result.startNs, 100'000'000'000);
    const struct {
        const char* signal;
        const char* points;
    } expected[] = {
        {"M", "0:0 10:1 20:1 30:0 50:0 "},
        // B's values never show in A: while M selects B, A has a gap (one for the two frames).
        {"A", "0:5 10:- 30:2 50:- "},
        {"B", "0:- 10:-2 20:-3 30:- "},
        {"C", "0:1 10:2 20:3 30:4 50:- "},
        {"G", "40:2 "},
    };
    const std::vector<plot::SeriesId> ids = model.Ids();
    ASSERT_EQ(ids.size(), std::size(expected));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const plot::SignalSeries& s = *model.Series(ids[i]);
        EXPECT_EQ(s.Info().signal.name, expected[i].signal);
        EXPECT_EQ(PointsOf(s), expected[i].points) << expected[i].signal;
    }
    std::filesystem::remove(path);
}

TEST(TraceEvaluation, ReportsProgressAndCanBeGivenUp) {
    const auto set = Databases();
    std::string text;
    for (int i = 0; i < 200'000; ++i)
        text += "(" + std::to_string(i) + ".000000) can0 100#000A01 R\n";
    const std::string path = WriteTrace("long.log", text);
    const struct {
        int giveUpAt;  // the call that answers false; -1: none
        bool ok;
        std::uint64_t held;  // M, A and C have a value in each frame, B one gap
    } cases[] = {{-1, true, 3 * 200'000 + 1}, {0, false, 0}, {8, false, 3 * 65536 + 1}};
    for (const auto& c : cases) {
        plot::PlotModel model;
        std::vector<double> seen;
        const TraceEvaluation result = EvaluateTrace(path, *set, model, [&](double f) {
            seen.push_back(f);
            return static_cast<int>(seen.size()) - 1 != c.giveUpAt;
        });
        EXPECT_EQ(result.ok, c.ok) << c.giveUpAt;
        EXPECT_EQ(result.cancelled, !c.ok) << c.giveUpAt;
        ASSERT_FALSE(seen.empty());
        for (std::size_t i = 1; i < seen.size(); ++i)
            EXPECT_LE(seen[i - 1], seen[i]);
        if (c.ok) {
            EXPECT_EQ(seen.back(), 1.0);
        } else {
            EXPECT_EQ(static_cast<int>(seen.size()), c.giveUpAt + 1);
        }
        EXPECT_EQ(model.PointsHeld(), c.held) << c.giveUpAt;
    }
    std::filesystem::remove(path);
}

TEST(PlotFeed, QueuesTheChosenSignalsAndCountsWhatItCannotQueue) {
    const auto set = Databases();
    const dbc::Message& mux = set->Databases()[0]->messages[0];
    plot::PlotModel model;
    const plot::SeriesId a = model.AddSeries(plot::MakeSeriesInfo(*set->Databases()[0], mux, 1));
    const plot::SeriesId c = model.AddSeries(plot::MakeSeriesInfo(*set->Databases()[0], mux, 3));
    PlotFeedSink sink;
    auto selection = std::make_unique<PlotSelection>(set);
    selection->Add(mux, 1, a);
    selection->Add(mux, 3, c);
    sink.Select(selection.get());

    auto record = [&](double seconds, std::uint32_t id, std::vector<std::uint8_t> data,
                      bool remote = false) {
        CanMsg msg{};
        msg.type = 2;
        msg.id = id;
        msg.rtr = remote;
        msg.dlc = static_cast<std::uint8_t>(data.size());
        std::memcpy(msg.data, data.data(), data.size());
        sink.OnRecord({msg, seconds, 0, true, true, true, false, 0, 0, 500000});
    };
    record(1.0, 0x100, {0, 10, 1});
    record(2.0, 0x100, {1, 10, 2});
    record(2.5, 0x100, {1, 10, 2}, true);
    record(3.0, 0x200, {1});
    EXPECT_EQ(sink.Drain(model), 4u);
    EXPECT_EQ(PointsOf(*model.Series(a)), "1000:5 2000:- ");
    EXPECT_EQ(PointsOf(*model.Series(c)), "1000:1 2000:2 ");

    // A window that takes nothing: the queue fills and the rest is counted.
    for (std::size_t i = 0; i < PlotFeedSink::kCapacity / 2 + 3; ++i)
        record(4.0 + static_cast<double>(i) * 1e-3, 0x100, {0, 1, 1});
    EXPECT_EQ(sink.Dropped(), 6u);
    EXPECT_EQ(sink.Drain(model), PlotFeedSink::kCapacity);

    // The channel's time starts again: the plot does too.
    record(0.5, 0x100, {0, 4, 7});
    EXPECT_EQ(sink.Drain(model), 2u);
    EXPECT_EQ(PointsOf(*model.Series(a)), "500:2 ");
    EXPECT_EQ(PointsOf(*model.Series(c)), "500:7 ");
    EXPECT_EQ(model.PointsLetGo(), 0u);
    EXPECT_EQ(model.MemoryBytes(), 2 * sizeof(plot::PointBlock));

    sink.Select(nullptr);
    record(9.0, 0x100, {0, 1, 1});
    EXPECT_EQ(sink.Drain(model), 0u);
}

// The receive thread decodes while the window takes the values and hands over new selections:
// every value arrives once, or is counted as dropped.
TEST(PlotFeed, TheReceiveThreadDecodesWhileTheWindowSelectsAndDrains) {
    const auto set = Databases();
    const dbc::Message& mux = set->Databases()[0]->messages[0];
    plot::PlotModel model;
    const plot::SeriesId a = model.AddSeries(plot::MakeSeriesInfo(*set->Databases()[0], mux, 1));
    PlotFeedSink sink;
    std::unique_ptr<PlotSelection> selections[2];
    for (auto& s : selections) {
        s = std::make_unique<PlotSelection>(set);
        s->Add(mux, 1, a);
    }
    sink.Select(selections[0].get());
    constexpr int kFrames = 20'000;
    std::atomic<bool> done{false};
    std::thread receive([&] {
        CanMsg msg{};
        msg.type = 2;
        msg.id = 0x100;
        msg.dlc = 3;
        for (int i = 0; i < kFrames; ++i) {
            msg.data[1] = static_cast<std::uint8_t>(i);
            sink.OnRecord({msg, i * 1e-3, 0, true, true, true, false, 0, 0, 500000});
        }
        done = true;
    });
    std::unique_ptr<PlotSelection> spare;
    for (int round = 0; !done; ++round) {
        // A new selection in place of the current one, which is free once Select returns.
        spare = std::make_unique<PlotSelection>(set);
        spare->Add(mux, 1, a);
        sink.Select(spare.get());
        std::swap(spare, selections[round % 2]);
        spare.reset();
        sink.Drain(model);
    }
    receive.join();
    sink.Drain(model);
    EXPECT_EQ(model.Series(a)->Size() + sink.Dropped(), static_cast<std::uint64_t>(kFrames));
    sink.Select(nullptr);
}

}  // namespace

namespace {

// The plot's CSV of a range is what --decode writes for the same frames.
TEST(TraceEvaluation, TheCsvOfTheWholeRangeIsTheDecodersCsv) {
    const std::string dbcPath = WriteTrace("plot.dbc", kDatabase);
    const std::string path =
        WriteTrace("csv.asc",
                   "date Mon Jan 1 10:00:00.000 am 2024\nbase hex  timestamps absolute\n"
                   "   1.000000 1  100             Rx   d 3 00 0A 01\n"
                   "   1.500000 1  100             Rx   d 3 01 FF 02\n"
                   "   2.000000 1  200             Rx   d 1 02\n"
                   "   2.250000 1  100             Rx   d 1 00\n"
                   "   3.000000 1  200             Rx   d 1 07\n");
    testsupport::CapturedStream out;
    ASSERT_EQ(DecodeTrace(path, {dbcPath}, out.Get(), stderr), 0);
    const std::string decoded = out.Text();

    const auto set = Databases();
    plot::PlotModel model;
    const TraceEvaluation result = EvaluateTrace(path, *set, model);
    ASSERT_TRUE(result.ok) << result.error;
    const std::vector<plot::SeriesId> ids = model.Ids();
    EXPECT_EQ(plot::RangeCsv(model, ids, 0, 10'000'000'000, result.startNs), decoded);
    // A range holds only its own lines: the frame at 2 s alone.
    EXPECT_EQ(plot::RangeCsv(model, ids, 900'000'000, 1'100'000'000, result.startNs),
              "time,id,extended,message,signal,raw,value,unit,label\n"
              "2.000000,200,0,Gang,G,2,2,,Zwei\n");
    std::filesystem::remove(path);
    std::filesystem::remove(dbcPath);
}

}  // namespace
