#include "channel/stray_threads.h"

#include "channel/can_channel.h"

bool WaitForThreadWithin(platform::Handle& thread, std::uint32_t boundMs) {
    if (thread == platform::kNoHandle)
        return true;
    if (platform::WaitForSingleObject(thread, boundMs) == platform::WaitResult::kTimeout) {
        return false;
    }
    platform::CloseHandle(thread);
    thread = platform::kNoHandle;
    return true;
}

void KeepStrayJobThread(CanChannel* channel, platform::Handle thread) {
    // Make room first by letting go of those that have ended meanwhile.
    for (platform::Handle& slot : channel->strayJobThreads)
        WaitForThreadWithin(slot, 0);
    for (platform::Handle& slot : channel->strayJobThreads) {
        if (slot == platform::kNoHandle) {
            slot = thread;
            return;
        }
    }
    // Every slot still holds a running thread: wait for this one here rather than lose it.
    WaitForThreadWithin(thread, platform::kInfinite);
}

void JoinStrayJobThreads(CanChannel* channel) {
    for (platform::Handle& slot : channel->strayJobThreads) {
        WaitForThreadWithin(slot, platform::kInfinite);
    }
}
