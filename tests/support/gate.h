// A one-shot gate: threads wait at it until a test opens it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace testsupport {

class Gate {
  public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cond_.notify_all();
    }
    // True when the gate opened within the timeout.
    bool Wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
        std::unique_lock lock(mutex_);
        return cond_.wait_for(lock, timeout, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool open_ = false;
};

}  // namespace testsupport
