// The sinks every session has, in the order it registers them: the automatic replies with the
// log, the counts of the program without a window, the player's confirmations, the recording,
// the overview by identifier, the exact bus load and the frames the databases know.
#pragma once

#include <atomic>
#include <cstdint>

#include "dbc/database_set.h"
#include "log/event_log.h"
#include "log/id_overview.h"
#include "monitor/hand_off.h"
#include "monitor/record_sink.h"
#include "monitor/trace_player.h"
#include "monitor/true_bus_load.h"

struct CanChannel;
namespace trace {
class TraceRecorder;
}

// Replies leave before the frame's own row, and both only while delivery is on.
class LogSink final : public RecordSink {
  public:
    explicit LogSink(EventLog& log) : m_log(log) {}
    void OnRecord(const RecordEvent& e) override {
        if (e.delivered)
            m_log.OnCanNotify(&e.msg, e.absSeconds, e.deltaSeconds);
    }

  private:
    EventLog& m_log;
};

class CountSink final : public RecordSink {
  public:
    void OnRecord(const RecordEvent& e) override;
    std::uint64_t Received() const { return m_received.load(std::memory_order_relaxed); }
    std::uint64_t Sent() const { return m_sent.load(std::memory_order_relaxed); }
    std::uint64_t Lost() const { return m_lost.load(std::memory_order_relaxed); }

  private:
    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_lost{0};
};

class PlayerSink final : public RecordSink {
  public:
    explicit PlayerSink(TracePlayer& player) : m_player(player) {}
    void OnRecord(const RecordEvent& e) override { m_player.OnTransmitted(e.msg); }

  private:
    TracePlayer& m_player;
};

// The recording comes and goes while the channel is open.
class RecorderSink final : public RecordSink {
  public:
    // `channel` is the owner's channel pointer, read at every record.
    explicit RecorderSink(CanChannel* const& channel) : m_channel(channel) {}
    void OnRecord(const RecordEvent& e) override;
    void Attach(trace::TraceRecorder* recorder) { m_recorder.Attach(recorder); }
    void Detach() { m_recorder.Detach(); }

  private:
    CanChannel* const& m_channel;
    HandOff<trace::TraceRecorder> m_recorder;
};

// Frames that the loaded databases define; the set changes while the channel is open.
class DecoderSink final : public RecordSink {
  public:
    void OnRecord(const RecordEvent& e) override {
        if (!e.frame)
            return;
        m_set.Visit([&](const dbc::DatabaseSet& set) {
            if (set.Find(e.msg.id, e.extended).message)
                m_decoded.fetch_add(1, std::memory_order_relaxed);
        });
    }
    void Attach(const dbc::DatabaseSet* set) { m_set.Attach(set); }
    void Replace(const dbc::DatabaseSet* set) { m_set.Replace(set); }
    std::uint64_t Decoded() const { return m_decoded.load(std::memory_order_relaxed); }

  private:
    HandOff<const dbc::DatabaseSet> m_set;
    std::atomic<std::uint64_t> m_decoded{0};
};

class OverviewSink final : public RecordSink {
  public:
    explicit OverviewSink(IdOverview& overview) : m_overview(overview) {}
    void OnRecord(const RecordEvent& e) override {
        m_overview.Push(e.msg, e.absSeconds, e.arrivalNs);
    }

  private:
    IdOverview& m_overview;
};

class TrueLoadSink final : public RecordSink {
  public:
    explicit TrueLoadSink(TrueBusLoad& load) : m_load(load) {}
    void OnRecord(const RecordEvent& e) override {
        m_load.Add(e.msg, e.endNs, e.arrivalNs, e.baudrate);
    }

  private:
    TrueBusLoad& m_load;
};
