// Lets tests make the next event or thread creation fail, the only platform calls whose failure
// a test cannot provoke through a device object.
#pragma once

namespace platform::testing {

// The next CreateEvent / CreateThread (on any thread) fails with this error code.
void FailNextCreateEvent(int error);
void FailNextCreateThread(int error);

}  // namespace platform::testing
