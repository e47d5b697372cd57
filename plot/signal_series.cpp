#include "plot/signal_series.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dbc/signal_decoder.h"

namespace plot {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr PointBlock::MinMax kEmpty{kInf, -kInf};

std::int64_t FloorUs(std::int64_t ns) {
    return ns >= 0 ? ns / 1000 : -((999 - ns) / 1000);
}

std::int64_t CeilUs(std::int64_t ns) {
    return -FloorUs(-ns);
}

void Merge(PointBlock::MinMax& into, const PointBlock::MinMax& mm) {
    into.min = std::min(into.min, mm.min);
    into.max = std::max(into.max, mm.max);
}

void Merge(PointBlock::MinMax& into, double v) {
    into.min = std::min(into.min, v);
    into.max = std::max(into.max, v);
}

}  // namespace

void PointBlock::Reset() {
    count = 0;
    baseUs = 0;
    gapBits.fill(0);
    fine.fill(kEmpty);
    coarse.fill(kEmpty);
    all = kEmpty;
}

double SignalSeries::Physical(std::uint64_t raw) const {
    return dbc::RawNumber(m_info.signal, raw) * m_info.signal.factor + m_info.signal.offset;
}

const std::string* SignalSeries::Label(std::uint64_t raw) const {
    const dbc::Signal& s = m_info.signal;
    if (s.labels.empty())
        return nullptr;
    if (s.valueType == dbc::ValueType::kInteger)
        return s.Label(raw);
    const double number = dbc::RawNumber(s, raw);
    if (std::trunc(number) == number && std::fabs(number) < 9.2e18)
        return s.Label(static_cast<std::uint64_t>(static_cast<std::int64_t>(number)));
    return nullptr;
}

std::optional<std::int64_t> SignalSeries::FirstTimeNs() const {
    if (m_size == 0)
        return std::nullopt;
    return m_blocks.front()->TimeUs(0) * 1000;
}

std::optional<std::int64_t> SignalSeries::LastTimeNs() const {
    if (m_size == 0)
        return std::nullopt;
    return m_lastUs * 1000;
}

SeriesInfo MakeSeriesInfo(const dbc::Database& database, const dbc::Message& message,
                          std::size_t signal) {
    SeriesInfo info;
    info.signal = message.signals.at(signal);
    info.messageName = message.name;
    info.frameId = message.id;
    info.extended = message.extended;
    info.databaseName = database.fileName;
    return info;
}

Point PointOf(std::int64_t timeNs, dbc::SignalState state, std::uint64_t raw) {
    switch (state) {
        case dbc::SignalState::kValue:
            return {timeNs, raw, Gap::kNone};
        case dbc::SignalState::kShortFrame:
            return {timeNs, 0, Gap::kShortFrame};
        case dbc::SignalState::kNotSelected:
            break;
    }
    return {timeNs, 0, Gap::kNotSelected};
}

bool SignalSeries::Append(const Point& point) {
    if (point.gap == Gap::kNotSelected && m_lastGap == Gap::kNotSelected && m_size > 0)
        return true;
    if (m_blocks.empty())
        return false;
    PointBlock& b = *m_blocks.back();
    std::int64_t us = FloorUs(point.timeNs);
    if (m_size > 0 && us < m_lastUs)
        us = m_lastUs;
    if (b.count == PointBlock::kPoints)
        return false;
    if (b.count == 0) {
        b.baseUs = us;
    } else if (us - b.baseUs > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    const std::size_t i = b.count;
    b.offsetUs[i] = static_cast<std::uint32_t>(us - b.baseUs);
    if (point.gap != Gap::kNone) {
        b.gapBits[i / 64] |= std::uint64_t{1} << (i % 64);
        b.raw[i] = static_cast<std::uint64_t>(point.gap);
    } else {
        b.raw[i] = point.raw;
        const double v = Physical(point.raw);
        if (!std::isnan(v)) {
            Merge(b.fine[i / PointBlock::kFine], v);
            Merge(b.coarse[i / PointBlock::kCoarse], v);
            Merge(b.all, v);
        }
    }
    ++b.count;
    ++m_size;
    m_lastUs = us;
    m_lastGap = point.gap;
    return true;
}

void SignalSeries::AddBlock(std::unique_ptr<PointBlock> block) {
    block->Reset();
    m_blocks.push_back(std::move(block));
}

std::unique_ptr<PointBlock> SignalSeries::TakeOldestBlock() {
    if (m_blocks.empty())
        return nullptr;
    std::unique_ptr<PointBlock> b = std::move(m_blocks.front());
    m_blocks.pop_front();
    m_size -= b->count;
    return b;
}

SignalSeries::Position SignalSeries::LowerBound(std::int64_t timeUs) const {
    // The first block whose last point is at or after the time holds it.
    const auto it = std::partition_point(
        m_blocks.begin(), m_blocks.end(), [&](const std::unique_ptr<PointBlock>& b) {
            return b->count == 0 || b->TimeUs(b->count - 1) < timeUs;
        });
    if (it == m_blocks.end())
        return {m_blocks.size(), 0};
    const PointBlock& b = **it;
    const std::int64_t offset = timeUs - b.baseUs;
    std::size_t index = 0;
    if (offset > 0) {
        index = static_cast<std::size_t>(std::lower_bound(b.offsetUs.begin(),
                                                          b.offsetUs.begin() + b.count,
                                                          static_cast<std::uint32_t>(offset)) -
                                         b.offsetUs.begin());
    }
    return {static_cast<std::size_t>(it - m_blocks.begin()), index};
}

SignalSeries::Position SignalSeries::Advance(Position from, std::int64_t timeUs) const {
    // Columns of a few points each are found by stepping; wider ones by searching.
    for (int step = 0; step < 32; ++step) {
        if (from.block == m_blocks.size())
            return from;
        const PointBlock& b = *m_blocks[from.block];
        if (from.index == b.count) {
            ++from.block;
            from.index = 0;
            continue;
        }
        if (b.TimeUs(from.index) >= timeUs)
            return from;
        ++from.index;
    }
    return LowerBound(timeUs);
}

Point SignalSeries::At(Position p) const {
    const PointBlock& b = *m_blocks[p.block];
    Point point;
    point.timeNs = b.TimeUs(p.index) * 1000;
    point.raw = b.raw[p.index];
    if (b.IsGap(p.index)) {
        point.gap = static_cast<Gap>(b.raw[p.index]);
        point.raw = 0;
    }
    return point;
}

void SignalSeries::Fold(Position from, Position to, PointBlock::MinMax& mm) const {
    constexpr std::size_t kFine = PointBlock::kFine;
    constexpr std::size_t kCoarse = PointBlock::kCoarse;
    while (from.block < to.block || (from.block == to.block && from.index < to.index)) {
        const PointBlock& b = *m_blocks[from.block];
        std::size_t i = from.index;
        std::size_t j = from.block == to.block ? to.index : b.count;
        if (i == 0 && j == b.count) {
            Merge(mm, b.all);
        } else {
            // Single points up to the summaries' borders, then fine, then coarse summaries.
            auto point = [&](std::size_t k) {
                if (!b.IsGap(k))
                    Merge(mm, Physical(b.raw[k]));
            };
            while (i < j && i % kFine != 0)
                point(i++);
            while (j > i && j % kFine != 0)
                point(--j);
            while (i < j && i % kCoarse != 0) {
                Merge(mm, b.fine[i / kFine]);
                i += kFine;
            }
            while (j > i && j % kCoarse != 0) {
                j -= kFine;
                Merge(mm, b.fine[j / kFine]);
            }
            for (; i < j; i += kCoarse)
                Merge(mm, b.coarse[i / kCoarse]);
        }
        ++from.block;
        from.index = 0;
    }
}

void SignalSeries::Decimate(std::int64_t fromNs, std::int64_t toNs, std::span<Column> out) const {
    const std::size_t n = out.size();
    if (n == 0)
        return;
    const double span = static_cast<double>(toNs - fromNs);
    Position p = LowerBound(CeilUs(fromNs));
    for (std::size_t c = 0; c < n; ++c) {
        Column& col = out[c];
        col = Column{};
        const std::int64_t endNs =
            c + 1 == n ? toNs
                       : fromNs + static_cast<std::int64_t>(span * static_cast<double>(c + 1) /
                                                            static_cast<double>(n));
        const Position q = Advance(p, CeilUs(endNs));
        if (p.block == q.block && p.index == q.index)
            continue;
        PointBlock::MinMax mm = kEmpty;
        Fold(p, q, mm);
        // The count: whole blocks between and the parts at either end.
        std::size_t count = 0;
        if (p.block == q.block) {
            count = q.index - p.index;
        } else {
            count = m_blocks[p.block]->count - p.index + q.index;
            for (std::size_t k = p.block + 1; k < q.block; ++k)
                count += m_blocks[k]->count;
        }
        col.count = static_cast<std::uint32_t>(std::min<std::size_t>(count, UINT32_MAX));
        col.values = mm.min <= mm.max ? 1 : 0;
        col.min = mm.min;
        col.max = mm.max;
        const Point first = At(p);
        Position lastPos = q;
        if (lastPos.index == 0) {
            --lastPos.block;
            lastPos.index = m_blocks[lastPos.block]->count;
        }
        --lastPos.index;
        const Point last = At(lastPos);
        col.first = first.gap == Gap::kNone ? Physical(first.raw) : kNaN;
        col.last = last.gap == Gap::kNone ? Physical(last.raw) : kNaN;
        p = q;
    }
}

std::optional<Point> SignalSeries::AtOrBefore(std::int64_t timeNs) const {
    Position p = LowerBound(FloorUs(timeNs) + 1);
    if (p.block == m_blocks.size()) {
        if (m_size == 0)
            return std::nullopt;
        p = {m_blocks.size() - 1, m_blocks.back()->count};
    }
    if (p.index == 0) {
        if (p.block == 0)
            return std::nullopt;
        --p.block;
        p.index = m_blocks[p.block]->count;
    }
    --p.index;
    return At(p);
}

std::optional<Point> SignalSeries::After(std::int64_t timeNs) const {
    const Position p = LowerBound(FloorUs(timeNs) + 1);
    if (p.block == m_blocks.size())
        return std::nullopt;
    return At(p);
}

std::optional<std::pair<double, double>> SignalSeries::ValueRange(std::int64_t fromNs,
                                                                  std::int64_t toNs) const {
    PointBlock::MinMax mm = kEmpty;
    Fold(LowerBound(CeilUs(fromNs)), LowerBound(FloorUs(toNs) + 1), mm);
    if (!(mm.min <= mm.max))
        return std::nullopt;
    return std::pair{mm.min, mm.max};
}

}  // namespace plot
