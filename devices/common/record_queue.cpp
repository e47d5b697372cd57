#include "devices/common/record_queue.h"

#include <cerrno>
#include <limits>

#include "can/record_class.h"
#include "can/sja1000_status.h"
#include "platform/error.h"

namespace devices {
namespace {}  // namespace

RecordQueue::RecordQueue(std::size_t depth) : depth_(depth == 0 ? 1 : depth), ring_(depth_ + 1) {}

void RecordQueue::PutLocked(const CanMsg& record) {
    ring_[(head_ + count_) % ring_.size()] = record;
    ++count_;
}

std::shared_ptr<platform::Event> RecordQueue::TakeWaiterLocked() {
    if (count_ == 0 || batches_ > 0)
        return nullptr;
    return std::move(waiter_);
}

RecordQueue::Batch::Batch(RecordQueue& queue) : queue_(queue) {
    std::lock_guard lock(queue_.mutex_);
    ++queue_.batches_;
}

RecordQueue::Batch::~Batch() {
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(queue_.mutex_);
        --queue_.batches_;
        wake = queue_.TakeWaiterLocked();
    }
    if (wake)
        wake->Set();
}

RecordQueue::PushResult RecordQueue::PushFrame(CanMsg record) {
    PushResult result = PushResult::kQueued;
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(mutex_);
        record.valid = 1;
        if (count_ < depth_) {
            if (can::IsReceivedFrameType(record.type)) {
                record.lost = lostSinceReceived_;
                lostSinceReceived_ = 0;
            } else {
                record.lost = 0;
            }
            PutLocked(record);
        } else {
            result = LoseLocked(1, record);
        }
        wake = TakeWaiterLocked();
    }
    if (wake)
        wake->Set();
    return result;
}

RecordQueue::PushResult RecordQueue::CountLost(std::int32_t count, const CanMsg& stamp) {
    if (count <= 0)
        return PushResult::kQueued;
    PushResult result;
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(mutex_);
        result = LoseLocked(count, stamp);
        wake = TakeWaiterLocked();
    }
    if (wake)
        wake->Set();
    return result;
}

RecordQueue::PushResult RecordQueue::LoseLocked(std::int32_t count, const CanMsg& stamp) {
    constexpr std::int32_t kMaxLost = std::numeric_limits<std::int32_t>::max();
    lostSinceReceived_ =
        count > kMaxLost - lostSinceReceived_ ? kMaxLost : lostSinceReceived_ + count;
    if (overrun_.load(std::memory_order_relaxed))
        return PushResult::kLost;
    overrun_.store(true, std::memory_order_relaxed);
    // The reserved slot is free unless an earlier overrun record is still unread after a
    // clear; that record already tells the reader about the loss.
    if (count_ < ring_.size()) {
        CanMsg event{};
        event.type = CAN_EV_OVERRUN;
        event.ticksLow = stamp.ticksLow;
        event.ticksHigh = stamp.ticksHigh;
        event.status = stamp.status | can::sja1000::kSrDataOverrun | can::sja1000::kSrRxBuffer;
        event.valid = 1;
        PutLocked(event);
    }
    return PushResult::kLostOverrun;
}

bool RecordQueue::PushEvent(CanMsg record) {
    std::shared_ptr<platform::Event> wake;
    {
        std::lock_guard lock(mutex_);
        if (count_ >= depth_)
            return false;
        record.valid = 1;
        PutLocked(record);
        wake = TakeWaiterLocked();
    }
    if (wake)
        wake->Set();
    return true;
}

bool RecordQueue::Pop(CanMsg& out) {
    std::lock_guard lock(mutex_);
    if (count_ == 0)
        return false;
    out = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return true;
}

int RecordQueue::Wait(std::shared_ptr<platform::Event> completion) {
    std::lock_guard lock(mutex_);
    if (count_ > 0)
        return 0;
    if (waiter_)
        return platform::kErrorBusy;
    waiter_ = std::move(completion);
    return platform::kErrorIoPending;
}

void RecordQueue::CancelWait() {
    std::lock_guard lock(mutex_);
    waiter_.reset();
}

void RecordQueue::ClearOverrun() {
    std::lock_guard lock(mutex_);
    overrun_.store(false, std::memory_order_relaxed);
}

void RecordQueue::Clear() {
    std::lock_guard lock(mutex_);
    head_ = 0;
    count_ = 0;
    lostSinceReceived_ = 0;
    overrun_.store(false, std::memory_order_relaxed);
    waiter_.reset();
}

std::size_t RecordQueue::Size() const {
    std::lock_guard lock(mutex_);
    return count_;
}

}  // namespace devices
