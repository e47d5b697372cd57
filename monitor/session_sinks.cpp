#include "monitor/session_sinks.h"

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
    m_recorder.Visit([&](trace::TraceRecorder& recorder) {
        const CanChannel& channel = *m_channel;
        recorder.Push(e.msg, RecordWallNs(CanMsgTicks(e.msg), CanDeviceClock(channel.info),
                                          channel.ticksPerMs.load(std::memory_order_relaxed),
                                          channel.openWallNs));
    });
}
