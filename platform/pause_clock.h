// Lets tests drive the pauses of threads (Event::Pause) by hand, as the simulated adapter's
// manual clock drives its bus: while a HandPauseClock exists, a pause ends when its event is
// signalled or when the test has advanced the clock past its end, never by itself. The clock
// keeps a record of every pause, so a test can see which event each waits on, how long it is
// meant to last and how it ended. Waits for threads and plain sleeps keep the real clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace platform {
class Event;
}

namespace platform::testing {

struct PauseRecord {
    enum class End { kRunning, kSignalled, kTimedOut };

    const Event* wake = nullptr;  // only compared, never followed: the event may be gone
    std::uint64_t startMs = 0;    // the hand clock when the pause began
    std::uint32_t lengthMs = 0;
    End end = End::kRunning;
    int endOrder = 0;  // 1 for the first pause to end under this clock, 2 for the next, ...
};

class HandPauseClock {
  public:
    // At most one at a time; the clock starts at 0.
    HandPauseClock();
    // Gives the pauses back to the real clock; those still running end as timed out, so a
    // failed test leaves no thread behind in a pause nobody will end.
    ~HandPauseClock();
    HandPauseClock(const HandPauseClock&) = delete;
    HandPauseClock& operator=(const HandPauseClock&) = delete;

    // Returns once every pause that this ran out has ended.
    void Advance(std::uint32_t ms);
    // Every pause under this clock, in the order they began.
    std::vector<PauseRecord> Pauses() const;
    // True when pred held for the pauses within the timeout (real time); tested on every change.
    bool WaitUntil(const std::function<bool(const std::vector<PauseRecord>&)>& pred,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) const;
};

}  // namespace platform::testing
