#include "platform/event.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "platform/error.h"
#include "platform/handle_table.h"
#include "platform/pause_clock.h"

namespace platform {

namespace testing {
std::atomic<int> g_failNextCreateEvent{0};
void FailNextCreateEvent(int error) {
    g_failNextCreateEvent = error;
}
}  // namespace testing

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    if (manualReset_) {
        cond_.notify_all();
    } else {
        cond_.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool Event::Wait(std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (timeoutMs == kInfinite) {
        cond_.wait(lock, ready);
    } else if (!cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (!manualReset_)
        signalled_ = false;
    return true;
}

namespace {

struct RunningPause {
    Event* wake = nullptr;
    std::size_t record = 0;
    std::uint64_t endMs = 0;
    // Set under the clock's lock, read under the event's.
    std::atomic<bool> expired{false};
};

struct PauseClockState {
    std::atomic<bool> handDriven{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t nowMs = 0;
    int ended = 0;
    std::vector<testing::PauseRecord> records;
    std::vector<RunningPause*> running;
};

// Never destroyed, so a thread still pausing at exit finds it intact.
PauseClockState& PauseClock() {
    static PauseClockState* state = new PauseClockState;
    return *state;
}

}  // namespace

bool Event::Pause(std::uint32_t timeoutMs) {
    PauseClockState& clock = PauseClock();
    if (timeoutMs == 0 || timeoutMs == kInfinite || !clock.handDriven.load())
        return Wait(timeoutMs);

    RunningPause pause;
    pause.wake = this;
    {
        std::unique_lock lock(clock.mutex);
        if (!clock.handDriven.load()) {
            lock.unlock();
            return Wait(timeoutMs);
        }
        pause.record = clock.records.size();
        pause.endMs = clock.nowMs + timeoutMs;
        clock.records.push_back({this, clock.nowMs, timeoutMs});
        clock.running.push_back(&pause);
    }
    clock.changed.notify_all();

    bool signalled;
    {
        std::unique_lock lock(mutex_);
        cond_.wait(lock, [&] { return signalled_ || pause.expired.load(); });
        signalled = signalled_;
        if (signalled && !manualReset_)
            signalled_ = false;
    }
    {
        std::lock_guard lock(clock.mutex);
        std::erase(clock.running, &pause);
        testing::PauseRecord& record = clock.records[pause.record];
        record.end = signalled ? testing::PauseRecord::End::kSignalled
                               : testing::PauseRecord::End::kTimedOut;
        record.endOrder = ++clock.ended;
    }
    clock.changed.notify_all();
    return signalled;
}

namespace testing {

HandPauseClock::HandPauseClock() {
    PauseClockState& clock = PauseClock();
    std::lock_guard lock(clock.mutex);
    clock.nowMs = 0;
    clock.ended = 0;
    clock.records.clear();
    clock.handDriven = true;
}

HandPauseClock::~HandPauseClock() {
    PauseClockState& clock = PauseClock();
    std::unique_lock lock(clock.mutex);
    clock.handDriven = false;
    for (RunningPause* pause : clock.running) {
        pause->expired = true;
        // Taking the event's lock after setting the flag means the waiter either has yet to
        // test it or is waiting for this notification.
        { std::lock_guard eventLock(pause->wake->mutex_); }
        pause->wake->cond_.notify_all();
    }
    // The records go with the clock, so the pauses must have filed theirs first.
    clock.changed.wait(lock, [&] { return clock.running.empty(); });
}

void HandPauseClock::Advance(std::uint32_t ms) {
    PauseClockState& clock = PauseClock();
    std::unique_lock lock(clock.mutex);
    clock.nowMs += ms;
    std::vector<std::size_t> due;
    for (RunningPause* pause : clock.running) {
        if (pause->endMs > clock.nowMs || pause->expired.load())
            continue;
        pause->expired = true;
        due.push_back(pause->record);
        { std::lock_guard eventLock(pause->wake->mutex_); }
        pause->wake->cond_.notify_all();
    }
    clock.changed.notify_all();
    // Every pause that ran out has ended when this returns, so a test sees at once which did.
    clock.changed.wait(lock, [&] {
        return std::all_of(due.begin(), due.end(), [&](std::size_t i) {
            return clock.records[i].end != PauseRecord::End::kRunning;
        });
    });
}

std::vector<PauseRecord> HandPauseClock::Pauses() const {
    PauseClockState& clock = PauseClock();
    std::lock_guard lock(clock.mutex);
    return clock.records;
}

bool HandPauseClock::WaitUntil(const std::function<bool(const std::vector<PauseRecord>&)>& pred,
                               std::chrono::milliseconds timeout) const {
    PauseClockState& clock = PauseClock();
    std::unique_lock lock(clock.mutex);
    return clock.changed.wait_for(lock, timeout, [&] { return pred(clock.records); });
}

}  // namespace testing

namespace {

class EventObject : public detail::KernelObject {
  public:
    std::shared_ptr<Event> event = std::make_shared<Event>();
    bool Wait(std::uint32_t timeoutMs) override { return event->Wait(timeoutMs); }
};

}  // namespace

Handle CreateEvent() {
    if (int e = testing::g_failNextCreateEvent.exchange(0)) {
        SetLastError(e);
        return kNoHandle;
    }
    return detail::AddHandle(std::make_shared<EventObject>());
}

std::shared_ptr<Event> EventFromHandle(Handle event) {
    auto object = detail::LookUpAs<EventObject>(event);
    if (!object) {
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    return object->event;
}

bool SetEvent(Handle event) {
    auto e = EventFromHandle(event);
    if (!e)
        return false;
    e->Set();
    return true;
}

bool ResetEvent(Handle event) {
    auto e = EventFromHandle(event);
    if (!e)
        return false;
    e->Reset();
    return true;
}

}  // namespace platform
