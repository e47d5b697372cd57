#include "devices/replay/trace_node.h"

#include <algorithm>

#include "devices/common/can_frame.h"
#include "devices/sim/sim_controller.h"

namespace replay {
namespace {

using Kind = trace::TraceFrame::Kind;

// A round of a file that takes no time (bus events at one instant) still takes this long, so a
// looping replay of it cannot stall the bus.
constexpr Nanos kMinimumRound = sim::kMillisecond;

}  // namespace

TraceNode::TraceNode(std::shared_ptr<const trace::TraceFile> file, Nanos start, bool loop)
    : file_(std::move(file)), loop_(loop), roundStart_(start), lastFrameEnd_(start) {
    nextFrame_ = NextOf(0, true);
    nextEvent_ = NextOf(0, false);
}

std::size_t TraceNode::NextOf(std::size_t from, bool frames) const {
    const auto& entries = file_->entries;
    while (from < entries.size() && (entries[from].kind == Kind::kFrame) != frames)
        ++from;
    return from;
}

Nanos TraceNode::DueAt(std::size_t index) const {
    return index < file_->entries.size() ? roundStart_ + file_->entries[index].timeNs : sim::kNever;
}

Nanos TraceNode::ReadyAt() const {
    return DueAt(nextFrame_);
}

Nanos TraceNode::EventAt() const {
    return DueAt(nextEvent_);
}

const sim::CanFrame& TraceNode::Offer(Nanos) {
    const trace::TraceFrame& e = file_->entries[nextFrame_];
    offer_ = sim::CanFrame{};
    offer_.id = e.id & (e.extended ? devices::kExtendedIdMask : devices::kStandardIdMask);
    offer_.extended = e.extended;
    offer_.rtr = e.remote;
    offer_.dlc = e.dlc;
    offer_.data = e.data;
    return offer_;
}

void TraceNode::Sent(Nanos end) {
    lastFrameEnd_ = end;
    nextFrame_ = NextOf(nextFrame_ + 1, true);
    EndRoundIfDone();
}

void TraceNode::RunEvent(sim::Controller& controller, Nanos at) {
    using State = sim::Controller::ReportedState;
    const trace::TraceFrame& e = file_->entries[nextEvent_];
    switch (e.kind) {
        case Kind::kBusError:
            controller.ReportBusError(e.transmitted, at);
            break;
        case Kind::kOverrun:
            controller.RaiseEvent(CAN_EV_OVERRUN, at);
            break;
        case Kind::kArbitration:
            controller.RaiseEvent(CAN_EV_ARBITRATION, at);
            break;
        case Kind::kWarning:
            controller.ReportState(State::kWarning, at);
            break;
        case Kind::kPassive:
            controller.ReportState(State::kPassive, at);
            break;
        case Kind::kBusOff:
            controller.ReportState(State::kBusOff, at);
            break;
        case Kind::kActive:
            controller.ReportState(State::kActive, at);
            break;
        case Kind::kFrame:
            break;
    }
    nextEvent_ = NextOf(nextEvent_ + 1, false);
    EndRoundIfDone();
}

void TraceNode::SkipTo(Nanos now) {
    // After a suspend the replay goes on with what is due from now, like every other node.
    while (DueAt(nextFrame_) < now)
        nextFrame_ = NextOf(nextFrame_ + 1, true);
    while (DueAt(nextEvent_) < now)
        nextEvent_ = NextOf(nextEvent_ + 1, false);
    lastFrameEnd_ = std::max(lastFrameEnd_, now);
    EndRoundIfDone();
}

void TraceNode::EndRoundIfDone() {
    const auto& entries = file_->entries;
    if (!loop_ || entries.empty() || nextFrame_ < entries.size() || nextEvent_ < entries.size())
        return;
    const Nanos lastDue = roundStart_ + entries.back().timeNs;
    roundStart_ = std::max({lastFrameEnd_, lastDue, roundStart_ + kMinimumRound});
    nextFrame_ = NextOf(0, true);
    nextEvent_ = NextOf(0, false);
}

}  // namespace replay
