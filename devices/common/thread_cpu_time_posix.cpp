#include "devices/common/thread_cpu_time.h"

#include <ctime>

namespace devices {

std::chrono::nanoseconds ThreadCpuTime(pthread_t thread) {
    clockid_t clock;
    timespec ts{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &ts) != 0)
        return {};
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

}  // namespace devices
