// One signal over time: its points in blocks of fixed size, each block with the minimum and
// maximum of every 16 and every 256 of its points, so that the summary of a pixel column costs a
// few dozen reads however many points the column covers.
//
// A point is the frame's time and the signal's raw value as the decoder gave it; the physical
// value is worked out from it the way the decoder does (raw × factor + offset, in double), so the
// plot, the cursor readout and the CSV export show the number the log shows. A frame that does
// not carry the signal (its multiplexer chose other signals, or it ended too early) is a gap: the
// line breaks there, and a gap is never drawn as a value.
//
// Times only grow: a point older than the last is kept at the last one's time. Times are held to
// the microsecond (a 32-bit offset from the block's first point; a block ends early when that
// would overflow, after some 71 minutes).
//
//   points (s: value)          column [0 s, 2 s)              column [2 s, 4 s)
//   0: 1, 1: 5, 2: gap, 3: 7   count 2, min 1, max 5, last 5  count 2, min 7, max 7, first gap
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "dbc/database.h"
#include "dbc/signal_decoder.h"

namespace plot {

// Why a frame carried no value for the signal.
enum class Gap : std::uint8_t { kNone, kNotSelected, kShortFrame };

struct Point {
    std::int64_t timeNs = 0;
    std::uint64_t raw = 0;  // as dbc::DecodedSignal::raw; meaningless for a gap
    Gap gap = Gap::kNone;
};

// What one pixel column holds; min and max only over values (gaps left out).
struct Column {
    std::uint32_t count = 0;   // points in the column, gaps included
    std::uint32_t values = 0;  // of them values
    double min = 0;
    double max = 0;
    double first = 0;  // NaN when the column's first point is a gap
    double last = 0;   // NaN when its last point is a gap
};

// The points of one block; the plot model owns them and lends them to the series.
struct PointBlock {
    static constexpr std::size_t kPoints = 4096;
    static constexpr std::size_t kFine = 16;     // points per fine summary
    static constexpr std::size_t kCoarse = 256;  // points per coarse summary

    struct MinMax {
        double min;
        double max;
    };

    std::int64_t baseUs = 0;  // the first point's time
    std::uint32_t count = 0;
    std::array<std::uint32_t, kPoints> offsetUs;
    std::array<std::uint64_t, kPoints> raw;
    std::array<std::uint64_t, kPoints / 64> gapBits;  // set: the point is a gap
    std::array<MinMax, kPoints / kFine> fine;
    std::array<MinMax, kPoints / kCoarse> coarse;
    MinMax all;

    void Reset();
    std::int64_t TimeUs(std::size_t i) const { return baseUs + offsetUs[i]; }
    bool IsGap(std::size_t i) const { return (gapBits[i / 64] >> (i % 64)) & 1; }
};

// What a series is: the database's signal with its message, as it was when the series began.
struct SeriesInfo {
    dbc::Signal signal;
    std::string messageName;
    std::uint32_t frameId = 0;
    bool extended = false;
    std::string databaseName;
};

// The series of `message.signals[signal]`.
SeriesInfo MakeSeriesInfo(const dbc::Database& database, const dbc::Message& message,
                          std::size_t signal);

// What a frame gave for a signal, as a point of its series.
Point PointOf(std::int64_t timeNs, dbc::SignalState state, std::uint64_t raw);

class SignalSeries {
  public:
    explicit SignalSeries(SeriesInfo info) : m_info(std::move(info)) {}

    const SeriesInfo& Info() const { return m_info; }
    // The physical value of a raw one, as the decoder computes it.
    double Physical(std::uint64_t raw) const;
    // The value table's text for a raw value as the decoder finds it, null when none.
    const std::string* Label(std::uint64_t raw) const;

    std::size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    std::size_t Blocks() const { return m_blocks.size(); }
    std::optional<std::int64_t> FirstTimeNs() const;
    std::optional<std::int64_t> LastTimeNs() const;

    // Appends when there is room; false when the last block is full (or the time will not fit
    // its offsets), then the caller adds a block and appends again. A multiplexer's gap right
    // after another says nothing new and is left out (true); a short frame counts each time.
    bool Append(const Point& point);
    void AddBlock(std::unique_ptr<PointBlock> block);
    // Takes the oldest block back (its points are let go); null when there is none.
    std::unique_ptr<PointBlock> TakeOldestBlock();

    // The summaries of `out.size()` equal columns of [fromNs, toNs).
    void Decimate(std::int64_t fromNs, std::int64_t toNs, std::span<Column> out) const;
    // The last point at or before `timeNs`, the first point after it.
    std::optional<Point> AtOrBefore(std::int64_t timeNs) const;
    std::optional<Point> After(std::int64_t timeNs) const;
    // The minimum and maximum value over [fromNs, toNs]; nullopt when it holds no value.
    std::optional<std::pair<double, double>> ValueRange(std::int64_t fromNs,
                                                        std::int64_t toNs) const;
    // Calls visit(point) for every point in [fromNs, toNs], in order.
    template <class F>
    void ForEach(std::int64_t fromNs, std::int64_t toNs, F&& visit) const;

  private:
    struct Position {
        std::size_t block;
        std::size_t index;
    };
    // The first point whose time is at or after `timeUs` ({Blocks(), 0} when none).
    Position LowerBound(std::int64_t timeUs) const;
    // The same, from a position at or before it.
    Position Advance(Position from, std::int64_t timeUs) const;
    Point At(Position p) const;
    // Folds the values of [from, to) into `mm` through the summaries.
    void Fold(Position from, Position to, PointBlock::MinMax& mm) const;

    SeriesInfo m_info;
    std::deque<std::unique_ptr<PointBlock>> m_blocks;
    std::size_t m_size = 0;
    std::int64_t m_lastUs = 0;
    Gap m_lastGap = Gap::kNone;
};

template <class F>
void SignalSeries::ForEach(std::int64_t fromNs, std::int64_t toNs, F&& visit) const {
    Position p = LowerBound((fromNs + 999) / 1000);
    const std::int64_t lastUs = toNs / 1000;
    for (; p.block < m_blocks.size(); ++p.block, p.index = 0) {
        const PointBlock& b = *m_blocks[p.block];
        for (; p.index < b.count; ++p.index) {
            if (b.TimeUs(p.index) > lastUs)
                return;
            visit(At(p));
        }
    }
}

}  // namespace plot
