#include "devices/adapter_kinds.h"

#include "devices/replay/replay_kind.h"
#include "devices/sim/sim_kind.h"
#include "devices/socketcan/socketcan_kind.h"

namespace {

// In the order a refusal lists them.
const devices::AdapterKind* const kKinds[] = {
    &sim::kAdapterKind,
    &socketcan::kAdapterKind,
    &replay::kAdapterKind,
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
