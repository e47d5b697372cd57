#include "devices/sim/scenario.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace sim {
namespace {

can::Frame Frame(std::uint32_t id, bool extended, std::uint8_t dlc,
                 std::array<std::uint8_t, 8> data = {}) {
    can::Frame f;
    f.id = id;
    f.extended = extended;
    f.dlc = dlc;
    f.data = data;
    return f;
}

can::Frame Remote(std::uint32_t id, std::uint8_t dlc) {
    can::Frame f = Frame(id, false, dlc);
    f.rtr = true;
    return f;
}

}  // namespace

std::optional<Scenario> ParseScenario(std::string_view name) {
    std::string folded;
    for (char c : name)
        folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folded == "default")
        return Scenario::kDefault;
    if (folded == "quiet")
        return Scenario::kQuiet;
    if (folded == "flood")
        return Scenario::kFlood;
    return std::nullopt;
}

const char* ScenarioName(Scenario scenario) {
    switch (scenario) {
        case Scenario::kQuiet:
            return "quiet";
        case Scenario::kFlood:
            return "flood";
        case Scenario::kDefault:
            break;
    }
    return "default";
}

std::optional<Scenario> ScenarioFromEnvironment() {
    const char* value = std::getenv(kScenarioEnvironmentVariable);
    if (value == nullptr || *value == '\0')
        return Scenario::kDefault;
    return ParseScenario(value);
}

ScenarioSetup BuildScenario(Scenario scenario, Nanos start, std::uint32_t seed) {
    ScenarioSetup setup;
    auto periodic = [&](const can::Frame& f, Nanos period, Nanos phase, DataPattern pattern) {
        setup.nodes.push_back(std::make_unique<PeriodicNode>(f, period, start + phase, pattern,
                                                             seed * 2654435761u + f.id));
    };
    switch (scenario) {
        case Scenario::kQuiet:
            break;
        case Scenario::kFlood:
            setup.nodes.push_back(std::make_unique<FloodNode>(start));
            break;
        case Scenario::kDefault:
            // Phases spread the first frames so that the nodes do not all start at once.
            periodic(Frame(0x010, false, 1), 10 * kMillisecond, 700 * kMicrosecond,
                     DataPattern::kCounter);
            periodic(Frame(0x0C1, false, 8), 100 * kMillisecond, 3100 * kMicrosecond,
                     DataPattern::kEngine);
            periodic(Frame(0x2A0, false, 2), 200 * kMillisecond, 17300 * kMicrosecond,
                     DataPattern::kToggle);
            periodic(Frame(0x3E8, false, 8, {0x01, 0x03, 0x00, 0x07, 0x20, 0x24, 0x06, 0x15}),
                     1000 * kMillisecond, 41 * kMillisecond, DataPattern::kConstant);
            periodic(Frame(0x0CF00400, true, 8), 250 * kMillisecond, 8900 * kMicrosecond,
                     DataPattern::kEngine);
            periodic(Frame(0x18FEF100, true, 8), 500 * kMillisecond, 27700 * kMicrosecond,
                     DataPattern::kRandom);
            periodic(Remote(0x301, 4), 500 * kMillisecond, 121 * kMillisecond,
                     DataPattern::kConstant);
            setup.nodes.push_back(std::make_unique<ResponderNode>(
                Frame(0x301, false, 4, {0x00, 0x2F, 0x10, 0x03}), 200 * kMicrosecond));
            setup.errors = ErrorPlan{3 * kSecond, 9 * kSecond};
            break;
    }
    return setup;
}

}  // namespace sim
