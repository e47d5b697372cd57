#include "platform/end_signal.h"

namespace platform {

// Windows has no pending signals: Ctrl+C and the end of a session reach a program through its
// console handler or its window, never as a signal that waits to be taken.
bool EndSignalPending() {
    return false;
}

}  // namespace platform
