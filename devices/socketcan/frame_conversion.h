// Between the device's records and the kernel's struct can_frame.
#pragma once

#include <linux/can.h>

#include "can/frame.h"
#include "can/frame_records.h"
#include "channel/device_protocol.h"

namespace socketcan {

// The frame a transmit request puts on the bus. `extended` is what controller mode and frame
// format decide (Basic CAN never sends 29-bit identifiers); the identifier is cut to 11 or 29
// bits. A `dlc` above 8 sends 8 bytes; 9..15 also ask for that code on the wire, which
// interfaces with the raw-DLC option honour and the others ignore.
can_frame ToKernelFrame(const CanMsg& msg, bool extended);

// A received data or remote frame (not an error frame). A frame of 8 bytes that came with a raw
// code of 9..15 keeps that code as its dlc.
can::Frame FromKernelFrame(const can_frame& frame);

using can::FrameRecord;

}  // namespace socketcan
