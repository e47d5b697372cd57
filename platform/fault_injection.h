// Lets tests make the next event or thread creation fail, the only platform calls whose failure
// a test cannot provoke through a device object.
#pragma once

namespace platform::testing {

// The next CreateEvent / CreateThread (on any thread) fails with this error code. With skip > 0
// that many thread creations succeed first, so a test can fail the second thread of a pair.
void FailNextCreateEvent(int error);
void FailNextCreateThread(int error, int skip = 0);

}  // namespace platform::testing
