#include "devices/sim/sim_kind.h"

#include "devices/sim/scenario.h"
#include "devices/sim/sim_adapter.h"

namespace sim {

namespace {

std::optional<devices::AdapterFactory> ParseSimMapping(std::optional<std::string_view> argument,
                                                       std::string& why) {
    std::optional<Scenario> own;
    if (argument) {
        own = ParseScenario(*argument);
        if (!own) {
            why = "unbekanntes Szenario " + devices::Quoted(*argument) + " (default, quiet, flood)";
            return std::nullopt;
        }
    }
    return [own](const std::string& path, const devices::AdapterDefaults& defaults) {
        RegisterSimulatedAdapter(
            path, own.value_or(ParseScenario(defaults.scenario).value_or(Scenario::kDefault)));
    };
}

}  // namespace

const devices::AdapterKind kAdapterKind{"sim", "N=sim, N=sim:SZENARIO", &ParseSimMapping};

}  // namespace sim
