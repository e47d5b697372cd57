// What a record is, told from its type, once for every layer: a frame or a bus event, received or
// sent, and the identifier format its type names. A frame whose type names no format (2, 3) has
// the format its record gives (CanMsgIsExtended: format byte, else identifier value).
//
//   type           kind       direction     named format   the log shows
//   2              frame      received      none           "Received"
//   3              frame      transmitted   none           "Transmitted"
//   11 / 12        frame      received      11 / 29 bit    "Received STD" / "Received EXT"
//   13 / 14        frame      transmitted   11 / 29 bit    "Transmitted STD" / "... EXT"
//   4..9           bus event  none          none           its event text
//   0, 1, 10, 15+  other      none          none           nothing
#pragma once

#include <cstdint>

#include "can/can_msg.h"

namespace can {

enum class RecordKind : std::uint8_t { kOther, kFrame, kBusEvent };
enum class Direction : std::uint8_t { kNone, kReceived, kTransmitted };
// The values are the log's suffix index (none, " STD", " EXT").
enum class NamedFormat : std::uint8_t { kNone = 0, kStandard = 1, kExtended = 2 };

struct RecordClass {
    RecordKind kind = RecordKind::kOther;
    Direction direction = Direction::kNone;
    NamedFormat named = NamedFormat::kNone;

    constexpr bool IsFrame() const { return kind == RecordKind::kFrame; }
    constexpr bool IsReceived() const { return direction == Direction::kReceived; }
    constexpr bool IsTransmitted() const { return direction == Direction::kTransmitted; }
};

constexpr RecordClass ClassifyType(std::int32_t type) {
    using enum RecordKind;
    switch (type) {
        case CAN_EV_RX:
            return {kFrame, Direction::kReceived, NamedFormat::kNone};
        case CAN_EV_RX_STD:
            return {kFrame, Direction::kReceived, NamedFormat::kStandard};
        case CAN_EV_RX_EXT:
            return {kFrame, Direction::kReceived, NamedFormat::kExtended};
        case CAN_EV_TX:
            return {kFrame, Direction::kTransmitted, NamedFormat::kNone};
        case CAN_EV_TX_STD:
            return {kFrame, Direction::kTransmitted, NamedFormat::kStandard};
        case CAN_EV_TX_EXT:
            return {kFrame, Direction::kTransmitted, NamedFormat::kExtended};
        default:
            if (type >= CAN_EV_BUS_ERROR && type <= CAN_EV_ARBITRATION)
                return {kBusEvent, Direction::kNone, NamedFormat::kNone};
            return {};
    }
}

constexpr bool IsFrameType(std::int32_t type) {
    return ClassifyType(type).IsFrame();
}
constexpr bool IsReceivedFrameType(std::int32_t type) {
    return ClassifyType(type).IsReceived();
}
constexpr bool IsTransmittedFrameType(std::int32_t type) {
    return ClassifyType(type).IsTransmitted();
}
constexpr bool IsBusEventType(std::int32_t type) {
    return ClassifyType(type).kind == RecordKind::kBusEvent;
}

// A frame record with a 29-bit identifier; false for anything that is not a frame.
inline bool IsExtendedFrame(const CanMsg& msg) {
    return IsFrameType(msg.type) && CanMsgIsExtended(msg);
}

}  // namespace can
