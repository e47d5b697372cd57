#include "devices/sim/scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/environment.h"

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
    testsupport::UnsetVariable(sim::kScenarioEnvironmentVariable);
    EXPECT_EQ(sim::ScenarioFromEnvironment(), sim::Scenario::kDefault);
    testsupport::SetVariable(sim::kScenarioEnvironmentVariable, "");
    EXPECT_EQ(sim::ScenarioFromEnvironment(), sim::Scenario::kDefault);
    testsupport::SetVariable(sim::kScenarioEnvironmentVariable, "quiet");
    EXPECT_EQ(sim::ScenarioFromEnvironment(), sim::Scenario::kQuiet);
    testsupport::SetVariable(sim::kScenarioEnvironmentVariable, "busy");
    EXPECT_EQ(sim::ScenarioFromEnvironment(), std::nullopt);
    testsupport::UnsetVariable(sim::kScenarioEnvironmentVariable);
}

}  // namespace
