// The frames and bus events of a trace as one other node on the simulated bus: each entry falls
// due at its recorded time after the node's start. Frames go out in the file's order as the bus
// lets them (a frame that finds the bus busy or loses arbitration goes as soon as it can, the
// ones after it keep their own times); bus events are reported at their times through the
// controller and take no bus time.
//
// At the end of the file the node goes quiet, or with `loop` starts over: the next round begins
// when the last frame of this one is over (or at the last entry's time, if that is later), so
// the first frame follows the last one back to back and every other spacing is the file's.
#pragma once

#include <cstddef>
#include <memory>

#include <cstdint>
#include <functional>

#include "devices/sim/sim_nodes.h"
#include "trace/trace_reader.h"

namespace replay {

using sim::Nanos;

class TraceNode : public sim::Node {
  public:
    // `baudrate` (may be empty: frames then start at their recorded time) tells the bus's rate.
    TraceNode(std::shared_ptr<const trace::TraceFile> file, Nanos start, bool loop,
              std::function<std::uint32_t()> baudrate = {});

    Nanos ReadyAt() const override;
    const can::Frame& Offer(Nanos start) override;
    void Sent(Nanos end) override;
    void SkipTo(Nanos now) override;
    Nanos EventAt() const override;
    void RunEvent(sim::Controller& controller, Nanos at) override;

  private:
    Nanos DueAt(std::size_t index) const;
    std::size_t NextOf(std::size_t from, bool frames) const;
    void EndRoundIfDone();

    // How long a frame of the file takes from its start to where a receiver stamps it.
    Nanos StampOffset(std::size_t index) const;

    std::shared_ptr<const trace::TraceFile> file_;
    std::function<std::uint32_t()> baudrate_;
    bool loop_;
    Nanos roundStart_;
    Nanos lastFrameEnd_;
    std::size_t nextFrame_;
    std::size_t nextEvent_;
    can::Frame offer_;
    // StampOffset's last answer, for the frame and rate it was computed for.
    mutable std::size_t offsetIndex_ = static_cast<std::size_t>(-1);
    mutable std::uint32_t offsetBaud_ = 0;
    mutable Nanos offset_ = 0;
    // The first frame's StampOffset, by which the whole round is later than the file's times.
    mutable bool leadKnown_ = false;
    mutable Nanos lead_ = 0;
};

}  // namespace replay
