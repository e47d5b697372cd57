#include "devices/socketcan/frame_conversion.h"

#include <algorithm>

namespace socketcan {

can_frame ToKernelFrame(const CanMsg& msg, bool extended) {
    can_frame f{};
    if (extended) {
        f.can_id = (msg.id & CAN_EFF_MASK) | CAN_EFF_FLAG;
    } else {
        f.can_id = msg.id & CAN_SFF_MASK;
    }
    if (msg.rtr != 0)
        f.can_id |= CAN_RTR_FLAG;
    f.len = std::min<std::uint8_t>(msg.dlc, CAN_MAX_DLEN);
    if (msg.dlc > CAN_MAX_DLEN && msg.dlc <= CAN_MAX_RAW_DLC)
        f.len8_dlc = msg.dlc;
    if (msg.rtr == 0)
        std::copy_n(msg.data, f.len, f.data);
    return f;
}

can::Frame FromKernelFrame(const can_frame& frame) {
    can::Frame f;
    f.extended = (frame.can_id & CAN_EFF_FLAG) != 0;
    f.rtr = (frame.can_id & CAN_RTR_FLAG) != 0;
    f.id = frame.can_id & (f.extended ? CAN_EFF_MASK : CAN_SFF_MASK);
    const std::uint8_t len = std::min<std::uint8_t>(frame.len, CAN_MAX_DLEN);
    const bool rawDlc =
        len == CAN_MAX_DLEN && frame.len8_dlc > CAN_MAX_DLEN && frame.len8_dlc <= CAN_MAX_RAW_DLC;
    f.dlc = rawDlc ? frame.len8_dlc : len;
    if (!f.rtr)
        std::copy_n(frame.data, len, f.data.begin());
    return f;
}

}  // namespace socketcan
