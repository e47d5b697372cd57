#include "devices/common/frame_records.h"

#include <algorithm>

namespace devices {

CanFrame FrameToSend(const CanMsg& msg, bool extended) {
    CanFrame f;
    f.extended = extended;
    f.id = msg.id & (extended ? kExtendedIdMask : kStandardIdMask);
    f.rtr = msg.rtr != 0;
    f.dlc = msg.dlc;
    std::copy_n(msg.data, f.DataBytes(), f.data.begin());
    return f;
}

}  // namespace devices
