// Should a call that must not block (opening a FIFO) block after all, SIGALRM ends it with EINTR:
// the test fails on its result instead of hanging. Only for a process without other threads.
// Windows has no FIFO in its file system and no SIGALRM: there the watchdog does nothing.
#pragma once

#if !defined(_WIN32)
#include <signal.h>
#include <unistd.h>
#endif

namespace testsupport {

#if defined(_WIN32)
class BlockingCallWatchdog {
  public:
    explicit BlockingCallWatchdog(unsigned = 5) {}
};
#else
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
#endif

}  // namespace testsupport
