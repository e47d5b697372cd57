#include "devices/sim/scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Scenario, NamesParseWithoutRegardToCase) {
    EXPECT_EQ(sim::ParseScenario("default"), sim::Scenario::kDefault);
    EXPECT_EQ(sim::ParseScenario("QUIET"), sim::Scenario::kQuiet);
    EXPECT_EQ(sim::ParseScenario("Flood"), sim::Scenario::kFlood);
    EXPECT_EQ(sim::ParseScenario("floods"), std::nullopt);
    EXPECT_EQ(sim::ParseScenario(""), std::nullopt);
    for (auto s : {sim::Scenario::kDefault, sim::Scenario::kQuiet, sim::Scenario::kFlood}) {
        EXPECT_EQ(sim::ParseScenario(sim::ScenarioName(s)), s);
    }
}

TEST(Scenario, EnvironmentChoosesTheScenario) {
    unsetenv(sim::kScenarioEnvironmentVariable);
    EXPECT_EQ(sim::ScenarioFromEnvironment(), sim::Scenario::kDefault);
    setenv(sim::kScenarioEnvironmentVariable, "", 1);
    EXPECT_EQ(sim::ScenarioFromEnvironment(), sim::Scenario::kDefault);
    setenv(sim::kScenarioEnvironmentVariable, "quiet", 1);
    EXPECT_EQ(sim::ScenarioFromEnvironment(), sim::Scenario::kQuiet);
    setenv(sim::kScenarioEnvironmentVariable, "busy", 1);
    EXPECT_EQ(sim::ScenarioFromEnvironment(), std::nullopt);
    unsetenv(sim::kScenarioEnvironmentVariable);
}

}  // namespace
