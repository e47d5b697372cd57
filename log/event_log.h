// The receive thread's end of the log: turns each event the channel delivers into a log row,
// answering received frames first.
//
// The view owns one EventLog beside its LogModel and AutoReplies. Either it makes the EventLog
// the channel's owner and hands EventLog::NotifyCallback to CanCreateChannel, or its own callback
// takes itself from the channel's owner and calls OnCanNotify. Every method here runs on the
// receive thread and never waits for the user-interface thread.
#pragma once

#include <cstdint>

#include "can/can_msg.h"
#include "log/auto_replies.h"
#include "log/log_model.h"

struct CanChannel;

class EventLog {
  public:
    // Replies go to `sink`.
    EventLog(LogModel& model, AutoReplies& replies, ReplySink sink)
        : model_(model), replies_(replies), sink_(sink) {}
    // Replies go out through CanSend on `channel`, the channel whose events this log receives.
    EventLog(LogModel& model, AutoReplies& replies, CanChannel* channel)
        : EventLog(model, replies, ChannelReplySink(channel)) {}

    // Dispatch on the record's type: 2, 11, 12 a received-frame row (suffix index 0, 1, 2);
    // 3, 13, 14 a transmitted-frame row; 4 to 9 a bus-event row; any other type, or no record,
    // nothing. The record is copied; nothing keeps the pointer. Always 0.
    int OnCanNotify(const CanMsg* msg, double absSeconds, double deltaSeconds);

    // A CanNotifyCallback for a channel whose owner is an EventLog.
    static int NotifyCallback(CanChannel* channel, double absSeconds, double deltaSeconds,
                              const CanMsg* msg);

    // Sends the replies the frame triggers, then queues its row. The row's type is the received
    // type of the suffix index (0 to 2; any other counts as 0).
    void InsertReceivedRow(int suffix, const CanMsg& msg, double absSeconds, double deltaSeconds);
    // Queues a transmitted-frame row, its type chosen by the suffix index as above.
    void InsertTransmittedRow(int suffix, const CanMsg& msg, double absSeconds,
                              double deltaSeconds);
    // Queues a bus-event row; its text comes from the record's type. Other types queue nothing.
    void InsertStatusRow(const CanMsg& msg, double absSeconds, double deltaSeconds);

    // The matching for one received frame, replying through this log's sink.
    void MatchAutoReplies(std::uint32_t id, std::uint8_t dlc, const std::uint8_t* data) {
        replies_.MatchAutoReplies(id, dlc, data, sink_);
    }

  private:
    void InsertFrameRow(const std::int32_t (&types)[3], int suffix, const CanMsg& msg,
                        double absSeconds, double deltaSeconds);

    LogModel& model_;
    AutoReplies& replies_;
    const ReplySink sink_;
};
