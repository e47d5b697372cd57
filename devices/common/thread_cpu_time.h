// CPU time a thread of the process has used, for the adapters' own threads' figures.
#pragma once

#include <pthread.h>

#include <chrono>
#include <mutex>

namespace devices {

// Zero when the thread's CPU clock cannot be read (the thread has ended).
std::chrono::nanoseconds ThreadCpuTime(pthread_t thread);

// The CPU time of an adapter's own thread over all its runs: those that ended and the one under
// way. The starter calls Started() once the thread runs, the thread calls Finished() as its last
// act; Total() may be asked from any thread, and counts a run either as under way or as ended,
// never both.
class ThreadCpuAccount {
  public:
    void Started(pthread_t thread) {
        std::lock_guard lock(mutex_);
        thread_ = thread;
        running_ = true;
    }
    void Finished() {
        std::lock_guard lock(mutex_);
        finished_ += ThreadCpuTime(pthread_self());
        running_ = false;
    }
    std::chrono::nanoseconds Total() const {
        std::lock_guard lock(mutex_);
        return running_ ? finished_ + ThreadCpuTime(thread_) : finished_;
    }

  private:
    mutable std::mutex mutex_;
    bool running_ = false;
    pthread_t thread_{};
    std::chrono::nanoseconds finished_{0};
};

}  // namespace devices
