// Should a call that must not block (opening a FIFO) block after all, SIGALRM ends it with EINTR:
// the test fails on its result instead of hanging. Only for a process without other threads.
#pragma once

#include <signal.h>
#include <unistd.h>

namespace testsupport {

class BlockingCallWatchdog {
  public:
    explicit BlockingCallWatchdog(unsigned seconds = 5) {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);  // no SA_RESTART: a blocked call returns EINTR
        sigaction(SIGALRM, &action, &previous_);
        alarm(seconds);
    }
    ~BlockingCallWatchdog() {
        alarm(0);
        sigaction(SIGALRM, &previous_, nullptr);
    }

  private:
    struct sigaction previous_ {};
};

}  // namespace testsupport
