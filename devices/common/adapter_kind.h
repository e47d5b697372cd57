// A kind of adapter that the operator puts behind an adapter path by its scheme: "N=SCHEME" or
// "N=SCHEME:ARGUMENT" (devices/device_mapping.h). Each kind's folder defines its own
// (sim/sim_kind.h, socketcan/socketcan_kind.h, replay/replay_kind.h); devices/adapter_kinds.cpp
// lists them.
#pragma once

#include <cctype>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace devices {

// What the operator chose for every adapter, for a mapping that leaves it open.
struct AdapterDefaults {
    // The scenario of a simulated bus that names none of its own (a known scenario's name).
    std::string scenario = "default";
};

// Registers the mapped device under `path`, in place of whatever device was registered there.
using AdapterFactory =
    std::function<void(const std::string& path, const AdapterDefaults& defaults)>;

// Each kind's folder defines one as `KIND::kAdapterKind` in KIND_kind.h.
struct AdapterKind {
    std::string_view scheme;  // "sim"; matched without regard to case
    std::string_view forms;   // how a mapping is written, for a refusal: "N=sim, N=sim:SZENARIO"
    // Checks what follows "SCHEME:" (nullopt where no colon follows the scheme): the factory, or
    // nullopt and what is wrong (German) in `why`.
    std::optional<AdapterFactory> (*parse)(std::optional<std::string_view> argument,
                                           std::string& why);
};

// Schemes, scenario names and ":loop" are matched without regard to case.
inline bool EqualsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A name or value as a refusal quotes it: „text“.
inline std::string Quoted(std::string_view text) {
    return "„" + std::string(text) + "“";
}

}  // namespace devices
