// Collects what a channel hands to its callback. Create the channel with the recorder as owner
// and CallbackRecorder::Callback as callback.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "channel/can_channel.h"

namespace testsupport {

struct Delivery {
    double absSeconds;
    double deltaSeconds;
    CanMsg msg;
};

class CallbackRecorder {
  public:
    static int Callback(CanChannel* channel, double absSeconds, double deltaSeconds,
                        const CanMsg* msg);

    // Runs on the receive thread after a delivery was recorded (it may block or send).
    void SetAction(std::function<void(CanChannel*, const CanMsg&)> action);
    std::vector<Delivery> Deliveries() const;
    std::size_t Count() const;
    bool WaitForCount(std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

  private:
    mutable std::mutex mutex_;
    std::condition_variable cond_;
    std::vector<Delivery> deliveries_;
    std::function<void(CanChannel*, const CanMsg&)> action_;
};

}  // namespace testsupport
