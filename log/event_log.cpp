#include "log/event_log.h"

#include "channel/can_channel.h"

int EventLog::OnCanNotify(const CanMsg* msg, double absSeconds, double deltaSeconds) {
    if (msg == nullptr)
        return 0;
    const LogEventClass event = ClassifyLogEvent(msg->type);
    switch (event.kind) {
        case LogRowKind::kReceived:
            InsertReceivedRow(event.suffix, *msg, absSeconds, deltaSeconds);
            break;
        case LogRowKind::kTransmitted:
            InsertTransmittedRow(event.suffix, *msg, absSeconds, deltaSeconds);
            break;
        case LogRowKind::kBusEvent:
            InsertStatusRow(*msg, absSeconds, deltaSeconds);
            break;
        case LogRowKind::kNone:
            break;
    }
    return 0;
}

int EventLog::NotifyCallback(CanChannel* channel, double absSeconds, double deltaSeconds,
                             const CanMsg* msg) {
    if (channel == nullptr || channel->owner == nullptr)
        return 0;
    return static_cast<EventLog*>(channel->owner)->OnCanNotify(msg, absSeconds, deltaSeconds);
}

void EventLog::InsertReceivedRow(int suffix, const CanMsg& msg, double absSeconds,
                                 double deltaSeconds) {
    // Replies leave before the frame's own row is stored.
    MatchAutoReplies(msg.id, msg.dlc, msg.data);
    InsertFrameRow(kLogReceivedTypes, suffix, msg, absSeconds, deltaSeconds);
}

void EventLog::InsertTransmittedRow(int suffix, const CanMsg& msg, double absSeconds,
                                    double deltaSeconds) {
    InsertFrameRow(kLogTransmittedTypes, suffix, msg, absSeconds, deltaSeconds);
}

void EventLog::InsertStatusRow(const CanMsg& msg, double absSeconds, double deltaSeconds) {
    if (ClassifyLogEvent(msg.type).kind != LogRowKind::kBusEvent)
        return;
    model_.Push(LogRow{msg, absSeconds, deltaSeconds});
}

void EventLog::InsertFrameRow(const std::int32_t (&types)[3], int suffix, const CanMsg& msg,
                              double absSeconds, double deltaSeconds) {
    LogRow row{msg, absSeconds, deltaSeconds};
    row.msg.type = types[suffix >= 0 && suffix < 3 ? suffix : 0];
    model_.Push(row);
}
