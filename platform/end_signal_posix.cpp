#include "platform/end_signal.h"

#include <pthread.h>

#include <csignal>
#include <ctime>

namespace platform {
namespace {

sigset_t EndSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void HoldEndRequests() {
    const sigset_t set = EndSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool WaitForEndRequest(long ms) {
    const sigset_t set = EndSignals();
    const timespec timeout{ms / 1000, (ms % 1000) * 1'000'000};
    return sigtimedwait(&set, nullptr, &timeout) > 0;
}

bool EndSignalPending() {
    sigset_t pending;
    if (sigpending(&pending) != 0)
        return false;
    return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1 ||
           sigismember(&pending, SIGHUP) == 1;
}

}  // namespace platform
