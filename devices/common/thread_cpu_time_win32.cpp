#include "devices/common/thread_cpu_time.h"

#include <cstdint>

#include "platform/windows_headers.h"

namespace devices {

// The thread's kernel and user time, in 100 ns units.
std::chrono::nanoseconds ThreadCpuTime(pthread_t thread) {
    FILETIME created{}, ended{}, kernel{}, user{};
    HANDLE handle = pthread_gethandle(thread);
    if (handle == nullptr || !::GetThreadTimes(handle, &created, &ended, &kernel, &user))
        return {};
    auto ticks = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::nanoseconds(static_cast<std::int64_t>((ticks(kernel) + ticks(user)) * 100));
}

}  // namespace devices
