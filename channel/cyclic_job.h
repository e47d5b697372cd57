// Cyclic transmit jobs: one frame sent again and again on a thread of its own, found by key.
#pragma once

#include <atomic>
#include <cstdint>

#include "channel/device_protocol.h"
#include "platform/handle.h"

struct CanChannel;

struct CyclicJob {
    platform::Handle thread = platform::kNoHandle;
    std::atomic<std::uint32_t> interval{0};  // pause after each transmission in ms; 0: none
    CanMsg msg{};
    CanChannel* channel = nullptr;
    std::int32_t key = 0;
    std::atomic<std::int32_t> stop{0};
    CyclicJob* next = nullptr;
};

// 1 started or retimed; 0 otherwise.
int CanStartCyclic(CanChannel* channel, int key, std::uint32_t id, std::uint8_t rtr, int length,
                   const std::uint8_t* data, std::uint32_t intervalMs);
// 1 stopped; 0 no such job.
int CanStopCyclic(CanChannel* channel, int key);
void CanStopAllCyclic(CanChannel* channel);
CyclicJob* CanFindCyclic(CanChannel* channel, int key);
