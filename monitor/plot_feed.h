// The live plot's feed: the receive thread decodes the frames of the signals a plot shows, with
// the decoder the log and the overview use, and queues their values; the plot window takes them
// into its model on its timer (Drain), so the model has one thread only.
//
// What is plotted is a PlotSelection, built on the user-interface thread and never changed once
// handed over: choosing other signals builds a new one and Selects it, and the old one is the
// owner's to free once Select returns. The selection holds the databases it was built from, so
// loading other databases meanwhile cannot pull its messages away.
//
// The queue holds kCapacity values; when the window does not take them in time (it is gone, or
// the desktop stalls it), further values are dropped and counted (Dropped), never silently.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "dbc/database_set.h"
#include "monitor/hand_off.h"
#include "monitor/record_sink.h"
#include "plot/plot_model.h"

class PlotSelection {
  public:
    explicit PlotSelection(std::shared_ptr<const dbc::DatabaseSet> databases);

    // `message` from the databases given at construction.
    void Add(const dbc::Message& message, std::size_t signal, plot::SeriesId series);
    const dbc::DatabaseSet& Databases() const { return *m_databases; }
    bool Empty() const { return m_messages.empty(); }

    // Receive thread: the values of the selected signals of one frame, through `push`.
    template <class F>
    void Decode(std::uint32_t id, bool extended, const std::uint8_t* data, std::size_t length,
                F&& push);

  private:
    struct Chosen {
        std::size_t signal;
        plot::SeriesId series;
    };
    struct Entry {
        const dbc::Message* message;
        std::vector<Chosen> chosen;
    };
    std::shared_ptr<const dbc::DatabaseSet> m_databases;
    std::vector<Entry> m_messages;
    std::vector<dbc::DecodedSignal> m_decoded;  // the receive thread's, sized by Add
};

struct PlotSample {
    std::int64_t timeNs;
    std::uint64_t raw;
    plot::SeriesId series;
    plot::Gap gap;
};

class PlotFeedSink final : public RecordSink {
  public:
    static constexpr std::size_t kCapacity = 1 << 16;

    PlotFeedSink();
    void OnRecord(const RecordEvent& e) override;

    // User-interface thread: what to plot from now on (null: nothing).
    void Select(PlotSelection* selection) { m_selection.Replace(selection); }
    // User-interface thread: moves the queued values into `model`; returns how many. A value
    // more than a millisecond older than the newest one taken means the channel's time started
    // again ("Zeit rücksetzen", a new open): the model's points go first, so that the new ones
    // are not piled up at the old newest time.
    std::size_t Drain(plot::PlotModel& model);
    std::uint64_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

  private:
    void Push(const PlotSample& sample);

    HandOff<PlotSelection> m_selection;
    std::unique_ptr<PlotSample[]> m_ring;
    std::atomic<std::uint64_t> m_head{0};  // written by the receive thread
    std::atomic<std::uint64_t> m_tail{0};  // written by the draining thread
    std::atomic<std::uint64_t> m_dropped{0};
    std::optional<std::int64_t> m_newestNs;  // of the values drained
};

template <class F>
void PlotSelection::Decode(std::uint32_t id, bool extended, const std::uint8_t* data,
                           std::size_t length, F&& push) {
    const dbc::MessageMatch match = m_databases->Find(id, extended);
    if (!match.message)
        return;
    for (const Entry& entry : m_messages) {
        if (entry.message != match.message)
            continue;
        dbc::Decode(*entry.message, std::span<const std::uint8_t>(data, length), m_decoded);
        for (const Chosen& c : entry.chosen)
            push(c.series, m_decoded[c.signal]);
        return;
    }
}
