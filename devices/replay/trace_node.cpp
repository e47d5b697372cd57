#include "devices/replay/trace_node.h"

#include <algorithm>

#include "can/frame.h"
#include "can/frame_bits.h"
#include "devices/sim/sim_controller.h"

namespace replay {
namespace {

using Kind = trace::TraceFrame::Kind;

// A round of a file that takes no time (bus events at one instant) still takes this long, so a
// looping replay of it cannot stall the bus.
constexpr Nanos kMinimumRound = sim::kMillisecond;

// The entry's frame, its identifier cut to its format as the bus would cut it.
can::Frame FrameOf(const trace::TraceFrame& e) {
    can::Frame frame = e;
    frame.id &= e.extended ? can::kExtendedIdMask : can::kStandardIdMask;
    return frame;
}

}  // namespace

TraceNode::TraceNode(std::shared_ptr<const trace::TraceFile> file, Nanos start, bool loop,
                     std::function<std::uint32_t()> baudrate)
    : file_(std::move(file)),
      baudrate_(std::move(baudrate)),
      loop_(loop),
      roundStart_(start),
      lastFrameEnd_(start) {
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
    if (index >= file_->entries.size())
        return sim::kNever;
    // The round's first frame starts as the round begins and is stamped its own length later;
    // everything else keeps its recorded distance to that stamp.
    if (!leadKnown_) {
        const std::size_t first = NextOf(0, true);
        lead_ = first < file_->entries.size() ? StampOffset(first) : 0;
        leadKnown_ = true;
    }
    return roundStart_ + lead_ + file_->entries[index].timeNs;
}

Nanos TraceNode::ReadyAt() const {
    // A recording stamps a frame where a receiver has it whole, at its end of frame: the frame
    // starts that much earlier, so that it is stamped again at its recorded time (never before
    // its round began).
    const Nanos due = DueAt(nextFrame_);
    if (due == sim::kNever)
        return due;
    return std::max(roundStart_, due - StampOffset(nextFrame_));
}

Nanos TraceNode::StampOffset(std::size_t index) const {
    const std::uint32_t baud = baudrate_ ? baudrate_() : 0;
    if (baud == 0)
        return 0;
    if (index != offsetIndex_ || baud != offsetBaud_) {
        offsetIndex_ = index;
        offsetBaud_ = baud;
        offset_ = can::BitsToNanoseconds(
            can::BusBits(FrameOf(file_->entries[index])) - can::kIntermissionBits, baud);
    }
    return offset_;
}

Nanos TraceNode::EventAt() const {
    return DueAt(nextEvent_);
}

const can::Frame& TraceNode::Offer(Nanos) {
    offer_ = FrameOf(file_->entries[nextFrame_]);
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
    const Nanos lastDue = DueAt(entries.size() - 1);
    roundStart_ = std::max({lastFrameEnd_, lastDue, roundStart_ + kMinimumRound});
    leadKnown_ = false;
    nextFrame_ = NextOf(0, true);
    nextEvent_ = NextOf(0, false);
}

}  // namespace replay
