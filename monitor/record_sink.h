// The session's receive pipeline: one event per record the channel reads, handed to a fixed list
// of sinks in the order they were registered (the automatic replies and the log first).
//
// Everything here runs on the receive thread, for every record: a sink copies what it needs and
// never waits for another thread, except on a lock held for a few stores. A sink whose work can
// start and stop while the channel is open (a recording) keeps that state behind an atomic
// hand-off of its own; the list itself never changes after the session's construction.
//
// Adding a consumer is a class deriving from RecordSink and one MonitorSession::AddSink line in
// the session's constructor.
#pragma once

#include <cstdint>

#include "channel/device_protocol.h"

struct RecordEvent {
    const CanMsg& msg;
    double absSeconds;    // the log's time stamp, from the channel's time base
    double deltaSeconds;  // since the previous delivered record; 0 while delivery is off
    // Event delivery ("Daten anzeigen") was on: the log and the replies take only these.
    bool delivered;
    bool frame;              // a received or transmitted frame (not a bus event)
    bool received;           // a received frame
    bool extended;           // a frame with a 29-bit identifier (CanMsgIsExtended)
    std::int64_t endNs;      // the record's stamp on the device's clock, in ns
    std::int64_t arrivalNs;  // when it was read, on MonitorSession::ArrivalClockNs()
    std::uint32_t baudrate;  // the bus's rate as the channel knows it
};

class RecordSink {
  public:
    virtual ~RecordSink() = default;
    virtual void OnRecord(const RecordEvent& event) = 0;
};
