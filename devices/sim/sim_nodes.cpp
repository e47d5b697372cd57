#include "devices/sim/sim_nodes.h"

#include <algorithm>

#include "can/frame_bits.h"

namespace sim {
namespace {

std::uint32_t NextRandom(std::uint32_t& state) {
    // xorshift32: cheap, and the same sequence on every run.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

}  // namespace

PeriodicNode::PeriodicNode(const can::Frame& frame, Nanos period, Nanos firstDue,
                           DataPattern pattern, std::uint32_t seed)
    : frame_(frame),
      period_(period > 0 ? period : kMillisecond),
      nextDue_(firstDue),
      pattern_(pattern),
      rng_(seed != 0 ? seed : 0x9E3779B9u) {
    UpdateData();
}

const can::Frame& PeriodicNode::Offer(Nanos start) {
    (void)start;
    return frame_;
}

void PeriodicNode::Sent(Nanos end) {
    ++count_;
    UpdateData();
    // A message delayed past further due times sends once more at once; the periods it
    // missed entirely are dropped, as a node's timer overwrites its unsent mailbox.
    Nanos due = nextDue_ + period_;
    if (due < end)
        due += ((end - due) / period_) * period_;
    nextDue_ = due;
}

void PeriodicNode::SkipTo(Nanos now) {
    if (nextDue_ < now)
        nextDue_ += ((now - nextDue_ + period_ - 1) / period_) * period_;
}

void PeriodicNode::UpdateData() {
    if (frame_.rtr)
        return;
    auto& d = frame_.data;
    switch (pattern_) {
        case DataPattern::kConstant:
            break;
        case DataPattern::kCounter:
            d[0] = static_cast<std::uint8_t>(count_);
            break;
        case DataPattern::kEngine: {
            // A speed of 800..6000 rpm that ramps up and down over about 20 s at 10 Hz.
            std::uint32_t phase = count_ % 400;
            std::uint32_t ramp = phase < 200 ? phase : 400 - phase;
            std::uint32_t rpm = 800 + ramp * 26;
            d[0] = static_cast<std::uint8_t>(rpm >> 8);
            d[1] = static_cast<std::uint8_t>(rpm);
            d[2] = static_cast<std::uint8_t>(60 + std::min<std::uint32_t>(count_ / 50, 30));
            d[7] = static_cast<std::uint8_t>(count_);
            break;
        }
        case DataPattern::kRandom:
            for (auto& b : d)
                b = static_cast<std::uint8_t>(NextRandom(rng_));
            break;
        case DataPattern::kToggle:
            d[0] = (count_ & 1) ? 0xA5 : 0x5A;
            d[1] = static_cast<std::uint8_t>(count_);
            break;
    }
}

ResponderNode::ResponderNode(const can::Frame& answer, Nanos delay)
    : answer_(answer), delay_(delay) {}

const can::Frame& ResponderNode::Offer(Nanos start) {
    (void)start;
    return answer_;
}

void ResponderNode::Sent(Nanos end) {
    (void)end;
    pendingAt_ = kNever;
    // The next answer reports a newer reading.
    answer_.data[0] = static_cast<std::uint8_t>(answer_.data[0] + 1);
}

void ResponderNode::Heard(const can::Frame& frame, Nanos end) {
    bool request = frame.rtr && frame.extended == answer_.extended && frame.id == answer_.id;
    if (request && pendingAt_ == kNever)
        pendingAt_ = end + delay_;
}

void ResponderNode::SkipTo(Nanos now) {
    if (pendingAt_ != kNever && pendingAt_ < now)
        pendingAt_ = now;
}

const can::Frame& FloodNode::Offer(Nanos start) {
    (void)start;
    frame_.id = 0x600 + (count_ & 0xFF);
    frame_.extended = false;
    frame_.rtr = false;
    frame_.dlc = static_cast<std::uint8_t>(count_ % 9);
    for (int i = 0; i < 8; ++i)
        frame_.data[i] = static_cast<std::uint8_t>(count_ >> (i % 4 * 8));
    return frame_;
}

void FloodNode::Sent(Nanos end) {
    ++count_;
    readyAt_ = end;
}

void FloodNode::SkipTo(Nanos now) {
    readyAt_ = std::max(readyAt_, now);
}

bool InjectedNode::Add(const can::Frame& frame, Nanos at) {
    if (frames_.size() >= kCapacity)
        return false;
    if (frames_.capacity() == 0)
        frames_.reserve(64);
    frames_.push_back(Entry{frame, at, nextOrder_++});
    return true;
}

Nanos InjectedNode::ReadyAt() const {
    Nanos earliest = kNever;
    for (const auto& e : frames_)
        earliest = std::min(earliest, e.at);
    return earliest;
}

const can::Frame& InjectedNode::Offer(Nanos start) {
    std::size_t best = frames_.size();
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        const Entry& e = frames_[i];
        if (e.at > start)
            continue;
        if (best == frames_.size()) {
            best = i;
            continue;
        }
        auto key = can::ArbitrationKey(e.frame);
        auto bestKey = can::ArbitrationKey(frames_[best].frame);
        if (key < bestKey || (key == bestKey && e.order < frames_[best].order))
            best = i;
    }
    offered_ = best;
    return frames_[best].frame;
}

void InjectedNode::Sent(Nanos end) {
    (void)end;
    if (offered_ < frames_.size())
        frames_.erase(frames_.begin() + offered_);
    offered_ = frames_.size();
}

}  // namespace sim
