#include "platform/event.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/error.h"
#include "platform/handle_table.h"

namespace platform {

namespace testing {
std::atomic<int> g_failNextCreateEvent{0};
void FailNextCreateEvent(int error) { g_failNextCreateEvent = error; }
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
    if (!manualReset_) signalled_ = false;
    return true;
}

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
        SetLastError(EBADF);
        return nullptr;
    }
    return object->event;
}

bool SetEvent(Handle event) {
    auto e = EventFromHandle(event);
    if (!e) return false;
    e->Set();
    return true;
}

bool ResetEvent(Handle event) {
    auto e = EventFromHandle(event);
    if (!e) return false;
    e->Reset();
    return true;
}

}  // namespace platform
