#include "devices/socketcan/kernel_filter.h"

namespace socketcan {

std::vector<can_filter> KernelFilterList(std::uint32_t code, std::uint32_t mask, bool standardOnly,
                                         std::span<const OwnId> ownIds) {
    std::vector<can_filter> list;
    if (ownIds.size() > kMaxOwnEntries) {
        list.push_back({0, standardOnly ? CAN_EFF_FLAG : 0u});
        return list;
    }
    const std::uint32_t idBits = standardOnly ? CAN_SFF_MASK : CAN_EFF_MASK;
    if ((code & mask & ~idBits) == 0) {
        can_filter f{code & mask & idBits, mask & idBits};
        if (standardOnly)
            f.can_mask |= CAN_EFF_FLAG;
        list.push_back(f);
    }
    for (const OwnId& own : ownIds) {
        if (standardOnly && own.extended)
            continue;
        if (own.extended) {
            list.push_back({(own.id & CAN_EFF_MASK) | CAN_EFF_FLAG, CAN_EFF_MASK | CAN_EFF_FLAG});
        } else {
            list.push_back({own.id & CAN_SFF_MASK, CAN_SFF_MASK | CAN_EFF_FLAG});
        }
    }
    return list;
}

}  // namespace socketcan
