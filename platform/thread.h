// Threads started by handle, waited for with a bound (WaitForSingleObject), and sleeping.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/handle.h"

namespace platform {

// Starts fn on a new thread. The handle signals when fn has returned. Closing the handle does
// not stop the thread; it runs to its end on its own. kNoHandle on failure (last error set).
Handle CreateThread(std::function<void()> fn);

void Sleep(std::uint32_t ms);

namespace testing {
// Threads started by CreateThread whose function has not returned yet: what a test counts to see
// that every thread it caused has ended, whatever threads the runtime keeps of its own.
int RunningThreadCount();
}  // namespace testing

}  // namespace platform
