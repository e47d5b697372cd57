// CPU time a thread of the process has used, for the adapters' own threads' figures.
#pragma once

#include <pthread.h>

#include <chrono>

namespace devices {

// Zero when the thread's CPU clock cannot be read (the thread has ended).
std::chrono::nanoseconds ThreadCpuTime(pthread_t thread);

}  // namespace devices
