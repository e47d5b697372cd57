// Whether the program has been asked to end while it is busy with something long.
#pragma once

namespace platform {

// True when SIGINT, SIGTERM or SIGHUP is pending for the process or the calling thread. The
// program without a window blocks these and takes them with sigtimedwait, so a long task on the
// main thread sees them here; where they are not blocked they are delivered and never pending.
bool EndSignalPending();

}  // namespace platform
