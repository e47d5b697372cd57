#include "monitor/session_sinks.h"

#include <thread>

#include "channel/can_channel.h"
#include "monitor/trace_clock.h"
#include "trace/trace_recorder.h"

void CountSink::OnRecord(const RecordEvent& e) {
    if (!e.frame)
        return;
    if (!e.received) {
        m_sent.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    m_received.fetch_add(1, std::memory_order_relaxed);
    if (e.msg.lost > 0)
        m_lost.fetch_add(static_cast<std::uint64_t>(e.msg.lost), std::memory_order_relaxed);
}

void RecorderSink::OnRecord(const RecordEvent& e) {
    // Announced before the recorder is looked at: a detacher that has cleared the pointer and
    // then sees no push under way knows that none can still reach the old recorder.
    m_pushing.fetch_add(1);
    if (trace::TraceRecorder* recorder = m_recorder.load()) {
        const CanChannel& channel = *m_channel;
        recorder->Push(e.msg, RecordWallNs(CanMsgTicks(e.msg), CanDeviceClock(channel.info),
                                           channel.ticksPerMs.load(std::memory_order_relaxed),
                                           channel.openWallNs));
    }
    m_pushing.fetch_sub(1);
}

void RecorderSink::Detach() {
    m_recorder.store(nullptr);
    while (m_pushing.load() != 0)
        std::this_thread::yield();
}
