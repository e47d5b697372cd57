#include "devices/common/acceptance_filter.h"

#include "channel/device_protocol.h"

namespace devices {
namespace {

bool Matches(std::uint32_t word, std::uint32_t code, std::uint32_t mask, std::uint32_t used) {
    return ((word ^ code) & ~mask & used) == 0;
}

}  // namespace

bool BasicCanFilterAccepts(std::uint32_t code, std::uint32_t mask, const can::Frame& frame) {
    if (frame.extended)
        return false;
    std::uint32_t idHigh = (frame.id & can::kStandardIdMask) >> 3;
    return Matches(idHigh, code, mask, 0xFF);
}

bool PeliCanFilterAccepts(std::uint32_t code, std::uint32_t mask, const can::Frame& frame) {
    std::uint32_t rtr = frame.rtr ? 1 : 0;
    if (frame.extended) {
        std::uint32_t word = ((frame.id & can::kExtendedIdMask) << 3) | (rtr << 2);
        return Matches(word, code, mask, 0xFFFFFFFCu);
    }
    std::uint32_t word = ((frame.id & can::kStandardIdMask) << 21) | (rtr << 20);
    std::uint32_t used = 0xFFF00000u;
    int bytes = frame.DataBytes();
    if (bytes >= 1) {
        word |= std::uint32_t{frame.data[0]} << 8;
        used |= 0xFF00;
    }
    if (bytes >= 2) {
        word |= frame.data[1];
        used |= 0xFF;
    }
    return Matches(word, code, mask, used);
}

bool HardwareFilterAccepts(std::uint8_t mode, std::uint32_t code, std::uint32_t mask,
                           const can::Frame& frame) {
    return mode == CAN_MODE_PELICAN ? PeliCanFilterAccepts(code, mask, frame)
                                    : BasicCanFilterAccepts(code, mask, frame);
}

bool SoftwareFilterAccepts(std::uint32_t code, std::uint32_t mask, std::uint32_t id) {
    return ((id ^ code) & mask) == 0;
}

}  // namespace devices
