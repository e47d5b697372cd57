// The local calendar time of a moment, thread-safe on both systems.
#pragma once

#include <ctime>

namespace platform {

inline bool LocalTime(std::time_t seconds, std::tm& out) {
#if defined(_WIN32)
    return ::localtime_s(&out, &seconds) == 0;
#else
    return ::localtime_r(&seconds, &out) != nullptr;
#endif
}

}  // namespace platform
