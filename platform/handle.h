// Kernel-object handles: devices, events and threads are reached through opaque handle values.
//
// A handle value is never reused within a process, so a handle that was closed (by this or another
// thread) makes every later call fail with kErrorInvalidHandle instead of reaching a freed or
// different object.
#pragma once

#include <cstdint>

namespace platform {

using Handle = std::uint64_t;
inline constexpr Handle kNoHandle = 0;

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { kSignalled, kTimeout, kFailed };

// Waits until an event is signalled (an auto-reset event is reset by a successful wait) or a
// thread has ended, at most timeoutMs milliseconds (kInfinite: no limit).
WaitResult WaitForSingleObject(Handle handle, std::uint32_t timeoutMs);

// Closes any handle. A device handle releases the device for the next open; a thread handle
// does not stop its thread. Returns false (kErrorInvalidHandle) for a handle that is not open.
bool CloseHandle(Handle handle);

// Number of handles currently open in the process (tests check that nothing leaks).
std::size_t OpenHandleCount();

}  // namespace platform
