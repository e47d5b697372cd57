#include "can/frame_records.h"

#include <algorithm>

namespace can {

Frame FrameToSend(const CanMsg& msg, bool extended) {
    Frame f;
    f.extended = extended;
    f.id = msg.id & (extended ? kExtendedIdMask : kStandardIdMask);
    f.rtr = msg.rtr != 0;
    f.dlc = msg.dlc;
    std::copy_n(msg.data, f.DataBytes(), f.data.begin());
    return f;
}

Frame FrameOfRecord(const CanMsg& msg) {
    Frame f;
    f.extended = CanMsgIsExtended(msg);
    f.id = msg.id & (f.extended ? kExtendedIdMask : kStandardIdMask);
    f.rtr = msg.rtr != 0;
    f.dlc = msg.dlc <= kMaxDlc ? msg.dlc : kCanMaxFrameBytes;
    std::copy_n(msg.data, kCanMaxFrameBytes, f.data.begin());
    return f;
}

CanMsg SendRequest(const Frame& frame) {
    CanMsg m = FrameRecord(frame.extended ? CAN_EV_TX_EXT : CAN_EV_TX_STD, frame);
    m.format = CAN_RECORD_FORMAT_UNKNOWN;  // a request names its format by its type
    return m;
}

}  // namespace can
