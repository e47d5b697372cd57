// The simulated bus: a discrete-event model of who sends what when.
//
// Stations with a frame ready contend when the bus becomes free (or at once, on an idle bus); the
// lowest arbitration field wins and holds the bus for BusBits() bit times at the adapter's baud
// rate, so frames never overlap and the bus never carries more than its rate. The losers try again
// when it is free. A corrupted frame ends in an error frame and is sent again.
//
// Time moves only through RunUntil(); the owner decides whether that follows a real clock or a
// hand-driven one. Not thread-safe: the owning adapter serialises every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "devices/sim/scenario.h"
#include "devices/sim/sim_controller.h"
#include "devices/sim/sim_nodes.h"

namespace sim {

// One frame as it went over the bus.
struct BusTraffic {
    can::Frame frame;
    bool fromAdapter = false;
    bool corrupted = false;  // ended in an error frame
    Nanos start = 0;
    Nanos end = 0;  // the bus is free again (after the intermission or the error frame)
};

class Bus {
  public:
    Bus(Controller& controller, ScenarioSetup setup, Nanos now, std::uint32_t seed);

    // Time up to which the bus has been simulated.
    Nanos Now() const { return now_; }
    // When something happens next, if nothing new is offered meanwhile; kNever for nothing.
    Nanos NextEventTime() const;
    // Simulates everything up to and including time t.
    void RunUntil(Nanos t);
    // Jumps to `now` without simulating the time in between (after a suspend, or while nobody
    // had the adapter open): a frame under way is finished, the nodes drop their backlog.
    void SkipTo(Nanos now);

    // The other nodes from now on, in place of the scenario's (the injected frames stay). A frame
    // under way is finished first.
    void ReplaceNodes(std::vector<std::unique_ptr<Node>> nodes);

    // A frame from a node of its own, ready at `at`. False when too many are waiting.
    bool Inject(const can::Frame& frame, Nanos at) { return injected_.Add(frame, at); }
    // The next `count` frames to start on the bus are destroyed by an error frame.
    void CorruptNextFrames(int count) { corruptNext_ += count > 0 ? count : 0; }

    // Keeps the last `capacity` frames that went over the bus (0: keeps none).
    void RecordTraffic(std::size_t capacity);
    std::vector<BusTraffic> TakeTraffic();
    std::vector<can::Frame> TakeTransmitted();

  private:
    struct InFlight {
        can::Frame frame;
        Node* node = nullptr;  // nullptr: the adapter's frame
        std::uint64_t sequence = 0;
        bool listening = false;  // the adapter's controller receives it
        bool corrupted = false;
        Nanos start = 0;
        Nanos frameEnd = 0;  // end of EOF, when receivers take the frame
        Nanos errorAt = 0;
        Nanos end = 0;
    };

    Nanos NextStart() const;
    // The first station with an event due, and when; nullptr when none has one.
    Node* NextNodeEvent(Nanos& at) const;
    void StartFrame(Nanos start);
    void FinishFrame();
    Nanos NextErrorInterval();
    void Log(const InFlight& f);

    Controller& controller_;
    std::vector<std::unique_ptr<Node>> nodes_;
    InjectedNode injected_;
    std::vector<Node*> stations_;
    ErrorPlan errors_;
    Nanos nextErrorAt_ = kNever;
    int corruptNext_ = 0;
    std::uint32_t rng_;
    Nanos now_;
    Nanos busFreeAt_;
    std::optional<InFlight> inFlight_;
    std::size_t trafficCapacity_ = 0;
    std::deque<BusTraffic> traffic_;
    std::deque<can::Frame> transmitted_;
};

}  // namespace sim
