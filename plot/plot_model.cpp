#include "plot/plot_model.h"

#include <algorithm>

namespace plot {

namespace {

std::size_t BlocksFor(std::size_t points) {
    return std::max<std::size_t>(1, (points + PointBlock::kPoints - 1) / PointBlock::kPoints);
}

}  // namespace

PlotModel::PlotModel(std::size_t pointBudget) : m_blockBudget(BlocksFor(pointBudget)) {}

void PlotModel::SetPointBudget(std::size_t points) {
    m_blockBudget = BlocksFor(points);
    while (m_blocksInUse > m_blockBudget) {
        Reclaim();
        --m_blocksInUse;
    }
}

SeriesId PlotModel::AddSeries(SeriesInfo info) {
    m_series.push_back({std::make_unique<SignalSeries>(std::move(info)), 0});
    return static_cast<SeriesId>(m_series.size() - 1);
}

void PlotModel::RemoveSeries(SeriesId id) {
    if (id >= m_series.size() || !m_series[id].series)
        return;
    m_blocksInUse -= m_series[id].series->Blocks();
    m_series[id].series.reset();
}

const SignalSeries* PlotModel::Series(SeriesId id) const {
    return id < m_series.size() ? m_series[id].series.get() : nullptr;
}

std::vector<SeriesId> PlotModel::Ids() const {
    std::vector<SeriesId> ids;
    for (SeriesId id = 0; id < m_series.size(); ++id) {
        if (m_series[id].series)
            ids.push_back(id);
    }
    return ids;
}

void PlotModel::Append(SeriesId id, const Point& point) {
    if (id >= m_series.size() || !m_series[id].series)
        return;
    SignalSeries& s = *m_series[id].series;
    if (s.Append(point))
        return;
    s.AddBlock(NewBlock());
    s.Append(point);
}

std::unique_ptr<PointBlock> PlotModel::NewBlock() {
    if (m_blocksInUse < m_blockBudget) {
        ++m_blocksInUse;
        return std::make_unique<PointBlock>();
    }
    return Reclaim();
}

std::unique_ptr<PointBlock> PlotModel::Reclaim() {
    Entry* most = nullptr;
    for (Entry& e : m_series) {
        if (e.series && e.series->Blocks() > 0 &&
            (!most || e.series->Blocks() > most->series->Blocks()))
            most = &e;
    }
    if (!most)
        return std::make_unique<PointBlock>();
    const std::size_t before = most->series->Size();
    std::unique_ptr<PointBlock> block = most->series->TakeOldestBlock();
    const std::size_t gone = before - most->series->Size();
    most->letGo += gone;
    m_letGo += gone;
    return block;
}

std::uint64_t PlotModel::PointsHeld() const {
    std::uint64_t held = 0;
    for (const Entry& e : m_series) {
        if (e.series)
            held += e.series->Size();
    }
    return held;
}

std::uint64_t PlotModel::PointsLetGo(SeriesId id) const {
    return id < m_series.size() ? m_series[id].letGo : 0;
}

void PlotModel::ClearPoints() {
    for (Entry& e : m_series) {
        if (!e.series)
            continue;
        while (e.series->TakeOldestBlock()) {
        }
    }
    m_blocksInUse = 0;
}

void PlotModel::Clear() {
    m_series.clear();
    m_blocksInUse = 0;
    m_letGo = 0;
}

}  // namespace plot
