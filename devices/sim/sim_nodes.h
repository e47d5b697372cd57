// The other nodes on a simulated bus. Each offers frames to the bus; the bus arbitrates among
// them and the adapter's controller and tells each node what became of its frame.
#pragma once

#include <cstdint>
#include <vector>

#include "can/frame.h"
#include "devices/sim/sim_time.h"

namespace sim {

class Controller;

class Node {
  public:
    virtual ~Node() = default;

    // Earliest time at which the node has a frame to send; kNever when it has none.
    virtual Nanos ReadyAt() const = 0;
    // The frame the node sends if the bus starts a frame at `start` (ReadyAt() <= start).
    virtual const can::Frame& Offer(Nanos start) = 0;
    // The offered frame went over the bus without error; the bus is free again at `end`.
    virtual void Sent(Nanos end) = 0;
    // Another station's frame went over the bus.
    virtual void Heard(const can::Frame& frame, Nanos end) {
        (void)frame;
        (void)end;
    }
    // The bus jumps to `now` without simulating the time in between: drop the backlog.
    virtual void SkipTo(Nanos now) = 0;
    // When the node next reports something other than a frame of its own (a recorded bus event);
    // kNever for nothing. Such reports take no bus time.
    virtual Nanos EventAt() const { return kNever; }
    // Reports the event due at EventAt() through the adapter's controller, stamped `at`.
    virtual void RunEvent(Controller& controller, Nanos at) {
        (void)controller;
        (void)at;
    }
};

// How a periodic message's data change from one transmission to the next.
enum class DataPattern {
    kConstant,  // as given
    kCounter,   // byte 0 counts up
    kEngine,    // bytes 0-1 a speed that ramps up and down, byte 2 a slow temperature, 7 a counter
    kRandom,    // every byte new
    kToggle,    // byte 0 alternates between two values, byte 1 counts
};

// A message sent every `period`, first at `firstDue`.
class PeriodicNode : public Node {
  public:
    PeriodicNode(const can::Frame& frame, Nanos period, Nanos firstDue, DataPattern pattern,
                 std::uint32_t seed);

    Nanos ReadyAt() const override { return nextDue_; }
    const can::Frame& Offer(Nanos start) override;
    void Sent(Nanos end) override;
    void SkipTo(Nanos now) override;

  private:
    void UpdateData();

    can::Frame frame_;
    Nanos period_;
    Nanos nextDue_;
    DataPattern pattern_;
    std::uint32_t rng_;
    std::uint32_t count_ = 0;
};

// Answers a remote frame for its identifier with a data frame, after a short processing delay.
class ResponderNode : public Node {
  public:
    ResponderNode(const can::Frame& answer, Nanos delay);

    Nanos ReadyAt() const override { return pendingAt_; }
    const can::Frame& Offer(Nanos start) override;
    void Sent(Nanos end) override;
    void Heard(const can::Frame& frame, Nanos end) override;
    void SkipTo(Nanos now) override;

  private:
    can::Frame answer_;
    Nanos delay_;
    Nanos pendingAt_ = kNever;
};

// Always has the next frame ready, so the bus runs at 100 %: identifiers 0x600..0x6FF, all data
// lengths, changing data. The high identifiers let the operator's usual frames win arbitration.
class FloodNode : public Node {
  public:
    explicit FloodNode(Nanos start) : readyAt_(start) {}

    Nanos ReadyAt() const override { return readyAt_; }
    const can::Frame& Offer(Nanos start) override;
    void Sent(Nanos end) override;
    void SkipTo(Nanos now) override;

  private:
    Nanos readyAt_;
    std::uint32_t count_ = 0;
    can::Frame frame_;
};

// Frames injected by a test driver, each as if from a node of its own: the lowest identifier
// among those due goes first. Bounded; Add() refuses frames beyond kCapacity.
class InjectedNode : public Node {
  public:
    static constexpr std::size_t kCapacity = 4096;

    bool Add(const can::Frame& frame, Nanos at);
    std::size_t Pending() const { return frames_.size(); }

    Nanos ReadyAt() const override;
    const can::Frame& Offer(Nanos start) override;
    void Sent(Nanos end) override;
    void SkipTo(Nanos now) override { (void)now; }

  private:
    struct Entry {
        can::Frame frame;
        Nanos at;
        std::uint64_t order;
    };
    std::vector<Entry> frames_;
    std::size_t offered_ = 0;
    std::uint64_t nextOrder_ = 0;
};

}  // namespace sim
