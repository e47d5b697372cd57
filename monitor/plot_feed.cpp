#include "monitor/plot_feed.h"

#include <algorithm>
#include <cmath>

PlotSelection::PlotSelection(std::shared_ptr<const dbc::DatabaseSet> databases)
    : m_databases(std::move(databases)) {}

void PlotSelection::Add(const dbc::Message& message, std::size_t signal, plot::SeriesId series) {
    auto it = std::find_if(m_messages.begin(), m_messages.end(),
                           [&](const Entry& e) { return e.message == &message; });
    if (it == m_messages.end()) {
        m_messages.push_back({&message, {}});
        it = m_messages.end() - 1;
    }
    it->chosen.push_back({signal, series});
    m_decoded.resize(std::max(m_decoded.size(), message.signals.size()));
}

PlotFeedSink::PlotFeedSink() : m_ring(new PlotSample[kCapacity]) {}

void PlotFeedSink::OnRecord(const RecordEvent& e) {
    if (!e.frame || e.msg.rtr)
        return;
    m_selection.Visit([&](PlotSelection& selection) {
        const std::int64_t timeNs = std::llround(e.absSeconds * 1e9);
        const std::size_t length = std::min<std::size_t>(e.msg.dlc, sizeof e.msg.data);
        selection.Decode(e.msg.id, e.extended, e.msg.data, length,
                         [&](plot::SeriesId series, const dbc::DecodedSignal& d) {
                             const plot::Point p = plot::PointOf(timeNs, d.state, d.raw);
                             Push({p.timeNs, p.raw, series, p.gap});
                         });
    });
}

void PlotFeedSink::Push(const PlotSample& sample) {
    const std::uint64_t head = m_head.load(std::memory_order_relaxed);
    if (head - m_tail.load(std::memory_order_acquire) >= kCapacity) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    m_ring[head % kCapacity] = sample;
    m_head.store(head + 1, std::memory_order_release);
}

std::size_t PlotFeedSink::Drain(plot::PlotModel& model) {
    const std::uint64_t head = m_head.load(std::memory_order_acquire);
    std::uint64_t tail = m_tail.load(std::memory_order_relaxed);
    const std::size_t taken = static_cast<std::size_t>(head - tail);
    for (; tail != head; ++tail) {
        const PlotSample& s = m_ring[tail % kCapacity];
        if (m_newestNs && s.timeNs + 1'000'000 < *m_newestNs)
            model.ClearPoints();
        if (!m_newestNs || s.timeNs > *m_newestNs || s.timeNs + 1'000'000 < *m_newestNs)
            m_newestNs = s.timeNs;
        model.Append(s.series, {s.timeNs, s.raw, s.gap});
    }
    m_tail.store(tail, std::memory_order_release);
    return taken;
}
