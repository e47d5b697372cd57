// The device's bounded queue of records waiting to be read, with the SJA1000's overrun rules and
// the completion of the overlapped wait request.
//
// Depth: kDefaultDepth (1024) records unless the owner says otherwise; one slot more is kept for
// the data-overrun record, so that the overrun can always be reported. Nothing is allocated after
// construction.
//
// A frame (received or transmitted) that finds the queue full is lost. The first loss after the
// overrun state was cleared queues one data-overrun record (type 5); later losses report nothing
// until ClearOverrun() (controller command 3). Every lost frame is counted, and the next received
// frame that is queued carries the count of frames lost since the previous received frame in its
// `lost` field. Bus events that find the queue full are dropped without being counted.
//
// Thread safety: every member may be called from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "channel/device_protocol.h"
#include "platform/event.h"

namespace devices {

class RecordQueue {
  public:
    static constexpr std::size_t kDefaultDepth = 1024;

    explicit RecordQueue(std::size_t depth = kDefaultDepth);

    enum class PushResult { kQueued, kLost, kLostOverrun };

    // Queues a frame record (type 2, 3 or 11..14); sets its `valid` and, for a received frame,
    // its `lost` field. The overrun record copies the lost frame's ticks and status, with the
    // data-overrun and receive-buffer bits set.
    PushResult PushFrame(CanMsg record);
    // Queues a bus event record; false when there was no room.
    bool PushEvent(CanMsg record);
    // Frames lost before they reached the queue (a producer's own buffer overflowed): counted
    // and reported as if the queue had dropped them, the overrun record stamped with `stamp`'s
    // ticks and status. kLostOverrun when that queued the overrun record.
    PushResult CountLost(std::int32_t count, const CanMsg& stamp);

    // The oldest record; false when there is none.
    bool Pop(CanMsg& out);

    // The wait request: 0 when a record is ready now (the caller signals the event itself),
    // kErrorIoPending when `completion` will be set as soon as one is queued, kErrorBusy when
    // another wait request is already pending.
    int Wait(std::shared_ptr<platform::Event> completion);
    // Forgets the pending wait request without signalling it.
    void CancelWait();

    // While a Batch lives, queued records do not complete the wait request; its end does, if
    // anything was queued. A producer that queues many records in one go thus wakes the reader
    // once instead of once per record while the reader drains the queue beside it.
    class Batch {
      public:
        explicit Batch(RecordQueue& queue);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        RecordQueue& queue_;
    };

    // Read without the lock: every record a device stamps asks for it, and a snapshot is all
    // the answer can be in any case.
    bool Overrun() const { return overrun_.load(std::memory_order_relaxed); }
    void ClearOverrun();
    // Empties the queue and forgets the lost count, the overrun state and any pending wait.
    void Clear();

    std::size_t Size() const;
    std::size_t Depth() const { return depth_; }

  private:
    void PutLocked(const CanMsg& record);
    PushResult LoseLocked(std::int32_t count, const CanMsg& stamp);
    std::shared_ptr<platform::Event> TakeWaiterLocked();

    const std::size_t depth_;
    mutable std::mutex mutex_;
    std::vector<CanMsg> ring_;  // depth_ + 1 slots
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::int32_t lostSinceReceived_ = 0;
    std::atomic<bool> overrun_{false};  // written under mutex_
    int batches_ = 0;
    std::shared_ptr<platform::Event> waiter_;
};

}  // namespace devices
