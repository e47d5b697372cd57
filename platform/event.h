// Auto-reset events, as objects (for devices that complete requests) and as handles (for callers).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/handle.h"

namespace platform {

namespace testing {
class HandPauseClock;
}

class Event {
  public:
    explicit Event(bool manualReset = false) : manualReset_(manualReset) {}

    void Set();
    void Reset();
    // True when signalled within timeoutMs (kInfinite: no limit). An auto-reset event is
    // reset by the wait that sees it signalled.
    bool Wait(std::uint32_t timeoutMs);
    bool IsSet() const;
    // A thread's pause that whoever stops the thread ends by signalling this event: Wait, but
    // timed on the pause clock, which a test can drive by hand (platform/pause_clock.h).
    bool Pause(std::uint32_t timeoutMs);

  private:
    friend class testing::HandPauseClock;

    mutable std::mutex mutex_;
    std::condition_variable cond_;
    bool signalled_ = false;
    bool manualReset_;
};

// An unnamed, auto-reset event, initially not signalled. kNoHandle on failure (last error set).
Handle CreateEvent();
bool SetEvent(Handle event);
bool ResetEvent(Handle event);

// The event object behind a handle, for code that must signal it after the handle was closed
// (a device completing a request); nullptr for a handle that is not an open event.
std::shared_ptr<Event> EventFromHandle(Handle event);

}  // namespace platform
