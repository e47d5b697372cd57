// Cyclic transmit jobs: one frame sent again and again on a thread of its own, found by key.
//
// The list of jobs is used by the user-interface thread only. Once its stop flag is set a node
// belongs to its own thread, which frees it; the stopper keeps only the thread handle and the
// wake event.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>

#include "channel/device_protocol.h"
#include "platform/event.h"
#include "platform/handle.h"

struct CanChannel;

// A stopped job thread that outlives its stopper's bound is remembered in its channel (at most
// this many at a time; beyond that the stopper waits for it without bound).
inline constexpr std::size_t kCanMaxStrayJobThreads = 8;

// Longest pause of a job, in ms. A negative wait time typed into the transmit dialog reaches
// CanStartCyclic as a huge unsigned value; it is cut to this (about 24.8 days), so such a job
// sends its frame once and then waits until it is stopped or retimed, as a pause that long
// always did, instead of flooding the bus as a pause of 0 would.
inline constexpr std::uint32_t kCanMaxIntervalMs = std::numeric_limits<std::int32_t>::max();

struct CyclicJob {
    platform::Handle thread = platform::kNoHandle;
    std::atomic<std::uint32_t> interval{0};  // pause after each transmission in ms; 0: none
    CanMsg msg{};  // under msgLock: CanSetCyclicMsg may replace it while the thread sends
    std::mutex msgLock;
    CanChannel* channel = nullptr;
    std::int32_t key = 0;
    std::atomic<std::int32_t> stop{0};
    CyclicJob* next = nullptr;
    // Ends the job's pause when it is stopped. Shared, so the stopper can signal it after the
    // node has passed to the thread.
    std::shared_ptr<platform::Event> wake;
};

// 1 started or retimed; 0 otherwise (channel closed, out of memory, thread not started, or a
// null data pointer with a positive length). length is cut to 0..kCanMaxSendBytes; intervalMs to
// kCanMaxIntervalMs. Retiming a running job changes only its pause, from the next pause on.
int CanStartCyclic(CanChannel* channel, int key, std::uint32_t id, std::uint8_t rtr, int length,
                   const std::uint8_t* data, std::uint32_t intervalMs);
// Starts a job that sends `msg` as it is (its type may choose the frame's identifier format)
// under a key that no job of the channel has yet. 1 started; 0 otherwise (channel closed, the key
// taken, out of memory, thread not started). The data length is cut to 0..kCanMaxSendBytes.
int CanStartCyclicMsg(CanChannel* channel, int key, const CanMsg& msg, std::uint32_t intervalMs);
// The running job sends `msg` from its next transmission on. 1 replaced; 0 no such job.
int CanSetCyclicMsg(CanChannel* channel, int key, const CanMsg& msg);
// 1 stopped; 0 no such job.
int CanStopCyclic(CanChannel* channel, int key);
void CanStopAllCyclic(CanChannel* channel);
CyclicJob* CanFindCyclic(CanChannel* channel, int key);

// The job's thread: sends the frame, pauses, until the job is stopped; then frees the node.
int CyclicSendThread(CyclicJob* job);
