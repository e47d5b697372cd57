// The request to end the program that comes from outside its window: SIGINT, SIGTERM or SIGHUP
// on Linux; Ctrl+C, Ctrl+Break, a closed console or the end of the session on Windows.
#pragma once

namespace platform {

// From here on the end requests wait to be taken instead of ending the process: on Linux the
// signals are blocked for the calling thread and every thread it starts later (call it before
// any), and SIGPIPE is ignored; on Windows a console handler takes them.
void HoldEndRequests();

// Waits for an end request at most `ms` milliseconds; true when one came. Taken requests are
// gone on Linux; on Windows one stays, so every later wait sees it too.
bool WaitForEndRequest(long ms);

// True when an end request is held and not yet taken, so a long task on the main thread can stop
// early. False where the requests are not held (they are delivered and never pending).
bool EndSignalPending();

}  // namespace platform
