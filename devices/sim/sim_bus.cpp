#include "devices/sim/sim_bus.h"

#include <algorithm>

#include "can/frame_bits.h"

namespace sim {
namespace {

// Error flag, error delimiter and intermission after a destroyed frame.
constexpr int kErrorFrameBits = 6 + 8 + can::kIntermissionBits;
// Control field bits after the arbitration field (IDE/r1, r0, DLC); the simulated errors strike
// at its end.
constexpr int kControlBits = 6;

}  // namespace

Bus::Bus(Controller& controller, ScenarioSetup setup, Nanos now, std::uint32_t seed)
    : controller_(controller),
      nodes_(std::move(setup.nodes)),
      errors_(setup.errors),
      rng_(seed != 0 ? seed : 1),
      now_(now),
      busFreeAt_(now) {
    for (auto& n : nodes_)
        stations_.push_back(n.get());
    stations_.push_back(&injected_);
    if (errors_.maxInterval > 0)
        nextErrorAt_ = now + NextErrorInterval();
}

Nanos Bus::NextErrorInterval() {
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    Nanos span = std::max<Nanos>(errors_.maxInterval - errors_.minInterval, 1);
    return errors_.minInterval + static_cast<Nanos>(rng_ % static_cast<std::uint64_t>(span));
}

Nanos Bus::NextStart() const {
    Nanos earliest = controller_.TxReadyAt();
    for (const Node* s : stations_)
        earliest = std::min(earliest, s->ReadyAt());
    if (earliest == kNever)
        return kNever;
    // Nothing starts before what has been simulated already, even if it was ready earlier.
    return std::max({earliest, busFreeAt_, now_});
}

Node* Bus::NextNodeEvent(Nanos& at) const {
    Node* first = nullptr;
    at = kNever;
    for (Node* s : stations_) {
        Nanos t = s->EventAt();
        if (t < at) {
            at = t;
            first = s;
        }
    }
    return first;
}

Nanos Bus::NextEventTime() const {
    Nanos frame = inFlight_ ? inFlight_->frameEnd : NextStart();
    Nanos event;
    NextNodeEvent(event);
    return std::min({frame, controller_.NextTimer(), std::max(event, now_)});
}

void Bus::ReplaceNodes(std::vector<std::unique_ptr<Node>> nodes) {
    if (inFlight_)
        FinishFrame();
    nodes_ = std::move(nodes);
    stations_.clear();
    for (auto& n : nodes_)
        stations_.push_back(n.get());
    stations_.push_back(&injected_);
}

void Bus::RunUntil(Nanos t) {
    for (;;) {
        // Receivers take a frame at the end of EOF; the bus stays busy for the intermission.
        Nanos frameEvent = inFlight_ ? inFlight_->frameEnd : NextStart();
        Nanos timer = controller_.NextTimer();
        Nanos eventAt;
        Node* reporter = NextNodeEvent(eventAt);
        // An event recorded for a time already simulated is reported now, not in the past.
        eventAt = std::max(eventAt, now_);
        Nanos next = std::min({frameEvent, timer, eventAt});
        if (next == kNever || next > t)
            break;
        if (reporter != nullptr && eventAt <= next) {
            reporter->RunEvent(controller_, eventAt);
        } else if (timer <= frameEvent) {
            controller_.RunTimer(timer);
            busFreeAt_ = std::max(busFreeAt_, timer);
        } else if (inFlight_) {
            FinishFrame();
        } else {
            StartFrame(next);
        }
    }
    now_ = std::max(now_, t);
}

void Bus::StartFrame(Nanos start) {
    const std::uint32_t baud = controller_.Baudrate();
    auto bitsToNs = [baud](std::int64_t bits) { return can::BitsToNanoseconds(bits, baud); };

    // The adapter's frame competes only if it was ready before this frame began; a controller
    // that this very frame wakes up has to wait for the next one.
    bool adapterReady = controller_.TxReadyAt() <= start;
    InFlight f;
    f.start = start;
    if (adapterReady) {
        f.frame = controller_.TxFrame();
        f.sequence = controller_.TxSequence();
    }
    std::uint32_t bestKey = adapterReady ? can::ArbitrationKey(f.frame) : 0;
    bool haveWinner = adapterReady;
    for (Node* s : stations_) {
        if (s->ReadyAt() > start)
            continue;
        const can::Frame& offer = s->Offer(start);
        std::uint32_t key = can::ArbitrationKey(offer);
        if (!haveWinner || key < bestKey) {
            haveWinner = true;
            bestKey = key;
            f.frame = offer;
            f.node = s;
        }
    }
    if (!haveWinner)
        return;

    f.listening = controller_.OnFrameStart(start) && f.node != nullptr;
    if (adapterReady && f.node != nullptr) {
        int lostAt = can::ArbitrationLostBit(controller_.TxFrame(), f.frame);
        controller_.OnArbitrationLost(start + bitsToNs(1 + std::max(lostAt, 0)));
    }
    if (f.node == nullptr)
        controller_.OnTxStarted(f.sequence);

    if (corruptNext_ > 0) {
        --corruptNext_;
        f.corrupted = true;
    } else if (f.node != nullptr && start >= nextErrorAt_) {
        f.corrupted = true;
        nextErrorAt_ = start + NextErrorInterval();
    }
    if (f.corrupted) {
        std::int64_t errorBit = 1 + can::ArbitrationFieldBits(f.frame) + kControlBits;
        f.errorAt = start + bitsToNs(errorBit);
        f.frameEnd = f.errorAt;
        f.end = start + bitsToNs(errorBit + kErrorFrameBits);
    } else {
        std::int64_t bits = can::BusBits(f.frame);
        f.frameEnd = start + bitsToNs(bits - can::kIntermissionBits);
        f.end = start + bitsToNs(bits);
    }
    inFlight_ = f;
}

void Bus::FinishFrame() {
    InFlight f = *inFlight_;
    inFlight_.reset();
    busFreeAt_ = f.end;
    if (f.corrupted) {
        // The sender keeps its frame and tries again.
        if (f.node == nullptr) {
            controller_.OnTxError(f.sequence, f.errorAt);
        } else if (f.listening) {
            controller_.OnRxError(f.errorAt);
        }
    } else {
        for (Node* s : stations_) {
            if (s != f.node)
                s->Heard(f.frame, f.end);
        }
        if (f.node != nullptr) {
            f.node->Sent(f.end);
            if (f.listening)
                controller_.OnReceived(f.frame, f.frameEnd);
        } else {
            controller_.OnTxDone(f.sequence, f.frame, f.frameEnd);
        }
    }
    Log(f);
}

void Bus::SkipTo(Nanos now) {
    if (inFlight_)
        FinishFrame();
    for (Node* s : stations_)
        s->SkipTo(now);
    busFreeAt_ = std::max(busFreeAt_, now);
    if (errors_.maxInterval > 0 && nextErrorAt_ < now)
        nextErrorAt_ = now + NextErrorInterval();
    now_ = std::max(now_, now);
}

void Bus::RecordTraffic(std::size_t capacity) {
    trafficCapacity_ = capacity;
    while (traffic_.size() > capacity)
        traffic_.pop_front();
    while (transmitted_.size() > capacity)
        transmitted_.pop_front();
}

void Bus::Log(const InFlight& f) {
    if (trafficCapacity_ == 0)
        return;
    if (traffic_.size() == trafficCapacity_)
        traffic_.pop_front();
    traffic_.push_back(BusTraffic{f.frame, f.node == nullptr, f.corrupted, f.start, f.end});
    if (f.node == nullptr && !f.corrupted) {
        if (transmitted_.size() == trafficCapacity_)
            transmitted_.pop_front();
        transmitted_.push_back(f.frame);
    }
}

std::vector<BusTraffic> Bus::TakeTraffic() {
    std::vector<BusTraffic> out(traffic_.begin(), traffic_.end());
    traffic_.clear();
    return out;
}

std::vector<can::Frame> Bus::TakeTransmitted() {
    std::vector<can::Frame> out(transmitted_.begin(), transmitted_.end());
    transmitted_.clear();
    return out;
}

}  // namespace sim
