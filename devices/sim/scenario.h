// Scenarios of the simulated bus: which other nodes share it with the adapter.
//
//   default  a lively bus of a few nodes: periodic frames every 10 ms to 1 s with changing data,
//            standard and extended identifiers, a node that asks for 0x301 by remote frame every
//            500 ms and one that answers it, and a bus error every few seconds. About 8000 bit/s
//            on the wire: some 40 % of a 20000 bit/s bus, 6.5 % at 125000 bit/s.
//   quiet    no other nodes: only what the adapter sends.
//   flood    one node sending back to back, the bus at 100 % (identifiers 0x600..0x6FF).
//
// The other nodes always talk at the adapter's baud rate.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "devices/sim/sim_nodes.h"

namespace sim {

enum class Scenario { kDefault, kQuiet, kFlood };

// The environment variable that chooses the scenario of the default adapters.
inline constexpr const char* kScenarioEnvironmentVariable = "VESK_SIM_SCENARIO";

// "default", "quiet" or "flood", without regard to case; nullopt for anything else.
std::optional<Scenario> ParseScenario(std::string_view name);
const char* ScenarioName(Scenario scenario);
// The scenario that VESK_SIM_SCENARIO names: kDefault when it is unset or empty, nullopt when it
// names no scenario (so that the program can say so).
std::optional<Scenario> ScenarioFromEnvironment();

// Bus errors a scenario produces: one every minInterval..maxInterval (none when maxInterval is 0).
struct ErrorPlan {
    Nanos minInterval = 0;
    Nanos maxInterval = 0;
};

struct ScenarioSetup {
    std::vector<std::unique_ptr<Node>> nodes;
    ErrorPlan errors;
};

// The nodes of a scenario, their schedules starting at `start`.
ScenarioSetup BuildScenario(Scenario scenario, Nanos start, std::uint32_t seed);

}  // namespace sim
