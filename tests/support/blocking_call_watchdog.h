// For a test of a call that must not block (opening a FIFO): should it block after all, SIGALRM
// ends it with EINTR after a few seconds, so the test fails on the call's result instead of
// hanging until CTest's timeout. The test's process must have no other threads meanwhile.
#pragma once

#include <signal.h>
#include <unistd.h>

namespace testsupport {

class BlockingCallWatchdog {
  public:
    explicit BlockingCallWatchdog(unsigned seconds = 5) {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the blocked call returns EINTR
        sigaction(SIGALRM, &action, &previous_);
        alarm(seconds);
    }
    ~BlockingCallWatchdog() {
        alarm(0);
        sigaction(SIGALRM, &previous_, nullptr);
    }
    BlockingCallWatchdog(const BlockingCallWatchdog&) = delete;
    BlockingCallWatchdog& operator=(const BlockingCallWatchdog&) = delete;

  private:
    struct sigaction previous_ {};
};

}  // namespace testsupport
