// How many bits a classic CAN frame occupies on the bus, and how long that takes.
//
// A frame is SOF, arbitration and control fields, data, a 15-bit CRC, CRC delimiter, ACK slot and
// delimiter, and 7 bits of end of frame: 44 + 8n bits for a standard frame with n data bytes,
// 64 + 8n for an extended one. From SOF to the end of the CRC the transmitter inserts a stuff bit
// after every five equal bits; those are counted exactly, from the frame's own bit stream and CRC,
// so two frames of the same length can differ by a few bits. After each frame the bus stays idle
// for the 3-bit intermission before the next may start, so a frame keeps the bus busy for
// BusBits() = unstuffed + stuff + 3 bits, and back-to-back frames never exceed the baud rate.
//
// Examples (n = data bytes, all data bytes 0x55 unless said otherwise):
//
//   frame                          unstuffed  stuff  bus bits  at 125 kbit/s  at 1 Mbit/s
//   std 0x123, n 0                        44      1        48       384 us        48 us
//   std 0x123, n 8                       108      1       112       896 us       112 us
//   std 0x000, n 8, data 00              108     16       127      1016 us       127 us
//   std 0x000, n 0                        44      6        53       424 us        53 us
//   std 0x7FF remote, dlc 0               44      3        50       400 us        50 us
//   ext 0x18FEF100, n 8                  128      4       135      1080 us       135 us
//   ext 0x1FFFFFFF remote, dlc 0          64      7        74       592 us        74 us
//
// The program's own bus-load estimate counts 29 + 8n (standard) or 47 + 8n (extended) bits per
// frame, fewer than the bus carries, so it reads somewhat below the true occupancy.
#pragma once

#include <cstdint>

#include "can/frame.h"

namespace can {

inline constexpr int kIntermissionBits = 3;

// SOF to the end of EOF, without stuff bits.
int UnstuffedFrameBits(const Frame& frame);
// Stuff bits the transmitter inserts into this frame.
int StuffBits(const Frame& frame);
// Bits the bus is busy for: the stuffed frame and the intermission after it.
int BusBits(const Frame& frame);
// The frame's CRC-15 (polynomial 0x4599) over SOF through the data field.
std::uint16_t FrameCrc15(const Frame& frame);

// Duration of a number of bits at a baud rate, in nanoseconds (exact for every SJA1000 rate).
std::int64_t BitsToNanoseconds(std::int64_t bits, std::uint32_t baudrate);

// Arbitration: the frame with the lower key wins the bus. Frames with equal keys are identical in
// their arbitration field.
std::uint32_t ArbitrationKey(const Frame& frame);
// Bits after SOF that the loser sent before it lost arbitration to the winner (counting the bit
// it lost at), or -1 when the two do not differ in their arbitration fields.
int ArbitrationLostBit(const Frame& loser, const Frame& winner);
// Bits of the arbitration field: 12 for standard frames (identifier and RTR), 32 for extended.
int ArbitrationFieldBits(const Frame& frame);

}  // namespace can
