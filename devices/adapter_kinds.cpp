#include "devices/adapter_kinds.h"

#include "devices/driver/driver_kind.h"
#include "devices/replay/replay_kind.h"
#include "devices/sim/sim_kind.h"
#ifdef __linux__
#include "devices/socketcan/socketcan_kind.h"
#endif

namespace {

#ifndef __linux__
namespace socketcan {
// SocketCAN is Linux's: elsewhere the scheme is known, and refused with the reason.
std::optional<devices::AdapterFactory> Unavailable(std::optional<std::string_view>,
                                                   std::string& why) {
    why = "SocketCAN gibt es auf diesem System nicht";
    return std::nullopt;
}
const devices::AdapterKind kAdapterKind{"socketcan", "N=socketcan:SCHNITTSTELLE", &Unavailable};
}  // namespace socketcan
#endif

// In the order a refusal lists them.
const devices::AdapterKind* const kKinds[] = {
    &sim::kAdapterKind,
    &socketcan::kAdapterKind,
    &replay::kAdapterKind,
    &driver::kAdapterKind,
};

}  // namespace

std::span<const devices::AdapterKind* const> AdapterKinds() {
    return kKinds;
}

const devices::AdapterKind* FindAdapterKind(std::string_view scheme) {
    for (const devices::AdapterKind* kind : kKinds) {
        if (devices::EqualsFolded(kind->scheme, scheme))
            return kind;
    }
    return nullptr;
}
