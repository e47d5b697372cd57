// The two threads of an open channel: the receive thread, which drains the device, stamps each
// record and hands it to the callback, and the bus-load thread, which turns the counted bits into
// a load once a second. The steps they are built from are public so that they can be driven
// without threads.
#pragma once

#include <cstdint>

#include "channel/can_channel.h"
#include "channel/device_protocol.h"

// Thread functions; each takes the channel and returns 0.
int ReceiveThread(CanChannel* channel);
int BusLoadThread(CanChannel* channel);

// A device clock reading in milliseconds: the 64-bit tick count divided by ticksPerMs, rounded
// down, low 32 bits. A rate of 0 (no device information yet) gives 0.
std::uint32_t CanClockToMs(std::uint64_t ticks, std::uint32_t ticksPerMs);

// Bits a frame record counts for the bus load on a channel of the given frame format; 0 for bus
// events, which count nothing.
std::uint32_t CanFrameBits(std::int32_t frameFormat, const CanMsg& msg);

// One record read by the receive thread: while event delivery is on, stamps it, counts it for
// the bus load and hands it to the callback; then, delivery on or off, to the channel's tap.
void HandleReceivedRecord(CanChannel* channel, const CanMsg& msg);

// One evaluation of the bus-load thread: takes the accumulated bits and seconds and sets busLoad.
void EvaluateBusLoad(CanChannel* channel);
