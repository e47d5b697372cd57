// The software acceptance filter as the kernel's receive filter list (CAN_RAW_FILTER), so that
// frames it rejects never reach the program.
//
// The software filter passes a frame when ((id ^ code) & mask) == 0: a mask bit of 1 means "must
// match", for standard and extended identifiers alike. The kernel passes a frame when
// (can_id & can_mask) == (filter_id & filter_mask) for any entry of the list, where can_id also
// holds the extended, remote and error flags in bits 31..29. One entry with the code and mask
// cut to 29 bits and no flag bits in its mask therefore means the same; a code that must match
// a 1 in bits 31..29 passes nothing, since no identifier has those bits, and gets an empty list.
//
// The kernel filters the socket's own frames too, so their confirmations would vanish whenever
// the filter rejects them; the device reports its own frames whatever the filter says. The list
// therefore carries one exact entry for each identifier the program sent that the filter
// rejects (at most kMaxOwnEntries; beyond that the list passes everything and the device
// filters alone). Frames of other nodes that slip in through those entries are filtered in the
// device, which applies the software filter to every received frame anyway.
//
// In Basic CAN mode no extended frame can be received, so the list passes standard frames only.
// (The kernel reads an entry whose mask has the extended flag and whose identifier has not as
// "standard frames only" and then ignores mask bits 11..28, so such an entry is built from the
// low 11 bits, and left out when the code asks for a 1 above them.)
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <span>
#include <vector>

namespace socketcan {

inline constexpr std::size_t kMaxOwnEntries = 16;

// An identifier the program sent, as the kernel writes it: 11 or 29 bits and the extended flag.
struct OwnId {
    std::uint32_t id = 0;
    bool extended = false;

    bool operator==(const OwnId&) const = default;
};

std::vector<can_filter> KernelFilterList(std::uint32_t code, std::uint32_t mask, bool standardOnly,
                                         std::span<const OwnId> ownIds);

}  // namespace socketcan
