// The one way the tests build a record (the device's 36-byte CanMsg): the fields a test names,
// every other one zero.
//
//   testsupport::Record({.type = CAN_EV_RX_STD, .id = 0x123, .data = {1, 2}})
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "channel/device_protocol.h"

namespace testsupport {

struct RecordFields {
    std::int32_t type = 0;
    std::uint32_t id = 0;
    int dlc = -1;  // the count of `data` when not said
    int rtr = 0;
    std::vector<std::uint8_t> data{};  // the first data bytes; beyond kCanMaxSendBytes left out
    std::uint8_t status = 0;
    std::int32_t lost = 0;
    std::uint64_t ticks = 0;
    std::uint16_t valid = 0;
};

inline CanMsg Record(const RecordFields& f) {
    CanMsg m{};
    m.type = f.type;
    m.id = f.id;
    m.dlc = static_cast<std::uint8_t>(f.dlc < 0 ? static_cast<int>(f.data.size()) : f.dlc);
    m.rtr = static_cast<std::uint8_t>(f.rtr);
    std::copy_n(f.data.begin(), std::min<std::size_t>(f.data.size(), kCanMaxSendBytes), m.data);
    m.status = f.status;
    m.lost = f.lost;
    m.ticksLow = static_cast<std::uint32_t>(f.ticks);
    m.ticksHigh = static_cast<std::uint32_t>(f.ticks >> 32);
    m.valid = f.valid;
    return m;
}

// The fields in the order the trace tests write them: a record of `type` for identifier `id`,
// remote or not, its data length code, data bytes, status byte and count of lost records.
inline CanMsg TraceRecord(std::int32_t type, std::uint32_t id = 0, int rtr = 0, int dlc = 0,
                          std::vector<std::uint8_t> data = {}, std::uint8_t status = 0,
                          int lost = 0) {
    return Record({.type = type,
                   .id = id,
                   .dlc = dlc,
                   .rtr = rtr,
                   .data = std::move(data),
                   .status = status,
                   .lost = lost});
}

}  // namespace testsupport
