#include "tests/support/callback_recorder.h"

namespace testsupport {

int CallbackRecorder::Callback(CanChannel* channel, double absSeconds, double deltaSeconds,
                               const CanMsg* msg) {
    auto* self = static_cast<CallbackRecorder*>(channel->owner);
    std::function<void(CanChannel*, const CanMsg&)> action;
    {
        std::lock_guard lock(self->mutex_);
        self->deliveries_.push_back(Delivery{absSeconds, deltaSeconds, *msg});
        action = self->action_;
        self->cond_.notify_all();
    }
    if (action)
        action(channel, *msg);
    return 0;
}

void CallbackRecorder::SetAction(std::function<void(CanChannel*, const CanMsg&)> action) {
    std::lock_guard lock(mutex_);
    action_ = std::move(action);
}

std::vector<Delivery> CallbackRecorder::Deliveries() const {
    std::lock_guard lock(mutex_);
    return deliveries_;
}

std::size_t CallbackRecorder::Count() const {
    std::lock_guard lock(mutex_);
    return deliveries_.size();
}

bool CallbackRecorder::WaitForCount(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cond_.wait_for(lock, timeout, [&] { return deliveries_.size() >= count; });
}

}  // namespace testsupport
