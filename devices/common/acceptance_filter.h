// The two acceptance filters of the adapter, as pure functions.
//
// Hardware filter: the SJA1000's acceptance code and mask registers. A mask bit of 1 means
// "don't care"; a frame passes when every bit that is cared for equals the code bit. The 32-bit
// code and mask are the registers ACR0..ACR3 and AMR0..AMR3, most significant byte first.
//
//   Basic CAN   only the low bytes are used (ACR0/AMR0), compared with identifier bits 10..3.
//               Code 0x60, mask 0x01 passes 0x300..0x30F. Extended frames are never received.
//   PeliCAN     single-filter mode. A standard frame is compared as the word
//               id<<21 | rtr<<20 | data1<<8 | data2, where a data byte takes part only when the
//               frame carries it (no remote frame, dlc large enough); bits 19..16 are unused.
//               An extended frame is compared as id<<3 | rtr<<2; bits 1..0 are unused.
//
// Software filter: applied after the hardware filter to the identifier of every received frame.
// A frame passes when ((id ^ code) & mask) == 0: here a mask bit of 1 means "must match", so the
// default code 0 / mask 0 passes everything, and code 0x100 / mask 0x7FF passes only 0x100.
#pragma once

#include <cstdint>

#include "can/frame.h"

namespace devices {

bool BasicCanFilterAccepts(std::uint32_t code, std::uint32_t mask, const can::Frame& frame);
bool PeliCanFilterAccepts(std::uint32_t code, std::uint32_t mask, const can::Frame& frame);

// The filter of the controller mode (CAN_MODE_BASIC or CAN_MODE_PELICAN).
bool HardwareFilterAccepts(std::uint8_t mode, std::uint32_t code, std::uint32_t mask,
                           const can::Frame& frame);

bool SoftwareFilterAccepts(std::uint32_t code, std::uint32_t mask, std::uint32_t id);

}  // namespace devices
