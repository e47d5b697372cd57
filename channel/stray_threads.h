// Internal: threads that outlived the bounded wait of their stopper. They still use the channel
// record, so the record is neither reused by an open nor freed before they have ended.
#pragma once

#include <cstdint>

#include "platform/handle.h"

struct CanChannel;

// Waits up to boundMs for a thread; when it has ended, closes its handle and clears it. A thread
// still running keeps its handle. True when the handle is clear afterwards.
bool WaitForThreadWithin(platform::Handle& thread, std::uint32_t boundMs);

// Remembers a stopped job's thread that did not end within its bound.
void KeepStrayJobThread(CanChannel* channel, platform::Handle thread);

// Waits without bound for every remembered job thread.
void JoinStrayJobThreads(CanChannel* channel);
