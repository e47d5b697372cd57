// The signals a plot holds, within one budget of points for all of them together.
//
// Points come in blocks of PointBlock::kPoints; the budget is a number of blocks. When it is
// spent, a new block is taken from the series that holds the most (the oldest block of it), so a
// fast signal gives up its oldest points before a slow one loses its few. Every point let go is
// counted, per series and in all, and stays counted until Clear: the window says so.
//
// One thread only (the user-interface thread, or the one evaluating a trace).
//
//   budget 2 blocks, series A appends 3 blocks' worth   A holds 2 blocks, 1 block let go
//   then B appends one point                            A 1 block, B 1 block, 2 blocks let go
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "plot/signal_series.h"

namespace plot {

using SeriesId = std::uint32_t;

class PlotModel {
  public:
    static constexpr std::size_t kDefaultPointBudget = 12'000'000;

    explicit PlotModel(std::size_t pointBudget = kDefaultPointBudget);

    // Rounded up to whole blocks, at least one; lowering it lets the oldest blocks go now.
    void SetPointBudget(std::size_t points);
    std::size_t PointBudget() const { return m_blockBudget * PointBlock::kPoints; }

    SeriesId AddSeries(SeriesInfo info);
    // Its points go (not counted as let go: the operator removed it); the id is not used again.
    void RemoveSeries(SeriesId id);
    // Null for an id removed or never given.
    const SignalSeries* Series(SeriesId id) const;
    // The ids of the series there are, in the order they were added.
    std::vector<SeriesId> Ids() const;

    void Append(SeriesId id, const Point& point);

    std::uint64_t PointsHeld() const;
    std::uint64_t PointsLetGo() const { return m_letGo; }
    std::uint64_t PointsLetGo(SeriesId id) const;
    // What the points take: the blocks in use.
    std::size_t MemoryBytes() const { return m_blocksInUse * sizeof(PointBlock); }

    // Every series and count goes.
    void Clear();
    // The points go, the series stay (their time started again); not counted as let go.
    void ClearPoints();

  private:
    struct Entry {
        std::unique_ptr<SignalSeries> series;
        std::uint64_t letGo = 0;
    };
    std::unique_ptr<PointBlock> NewBlock();
    // Takes the oldest block of the series holding the most.
    std::unique_ptr<PointBlock> Reclaim();

    std::size_t m_blockBudget;
    std::size_t m_blocksInUse = 0;
    std::vector<Entry> m_series;  // by id
    std::uint64_t m_letGo = 0;
};

}  // namespace plot
