#include "devices/device_mapping.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "devices/default_devices.h"
#include "devices/replay/replay_adapter.h"
#include "devices/sim/sim_adapter.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "platform/device.h"

namespace {

DeviceMapping Parsed(const std::string& text) {
    std::string error;
    auto mapping = ParseDeviceMapping(text, error);
    EXPECT_TRUE(mapping.has_value()) << text << ": " << error;
    EXPECT_TRUE(!mapping || error.empty());
    return mapping.value_or(DeviceMapping{});
}

std::string Refusal(const std::string& text) {
    std::string error;
    auto mapping = ParseDeviceMapping(text, error);
    EXPECT_FALSE(mapping.has_value()) << text;
    return error;
}

TEST(DeviceMapping, RefusalsSayWhatIsWrong) {
    EXPECT_NE(Refusal("4=sim").find("„4“"), std::string::npos);
    EXPECT_NE(Refusal("x=sim").find("„x“"), std::string::npos);
    EXPECT_NE(Refusal("12=sim").find("„12“"), std::string::npos);
    EXPECT_NE(Refusal("1").find("Gleichheitszeichen"), std::string::npos);
    EXPECT_NE(Refusal("1=sim:loud").find("„loud“"), std::string::npos);
    EXPECT_NE(Refusal("1=serial:ttyS0").find("„serial“"), std::string::npos);
    EXPECT_NE(Refusal("1=socketcan").find("Schnittstelle fehlt"), std::string::npos);
    EXPECT_NE(Refusal("1=driver:x").find("kein Argument"), std::string::npos);
    for (const char* bad : {"1=replay", "1=replay:", "1=replay::loop"})
        EXPECT_NE(Refusal(bad).find("Datei fehlt"), std::string::npos) << bad;
    EXPECT_NE(Refusal("1=socketcan:").find("Schnittstelle fehlt"), std::string::npos);
    for (const char* bad : {"1=socketcan:a/b", "1=socketcan:a b", "1=socketcan:a:b",
                            "1=socketcan:..", "1=socketcan:sixteen_chars_xx"}) {
        EXPECT_NE(Refusal(bad).find("kein Schnittstellenname"), std::string::npos) << bad;
    }
    // Every refusal shows the form that would have been right.
    EXPECT_NE(Refusal("=").find("N=socketcan:SCHNITTSTELLE"), std::string::npos);
}

TEST(DeviceMapping, ListsAreCommaSeparated) {
    std::string error;
    auto list = ParseDeviceMappingList("1=socketcan:can0, 2=sim:quiet ,0=sim", error);
    ASSERT_TRUE(list.has_value()) << error;
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0].scheme, "socketcan");
    EXPECT_EQ((*list)[1].adapter, 2);
    EXPECT_EQ((*list)[2].adapter, 0);

    auto empty = ParseDeviceMappingList("  ", error);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());

    EXPECT_FALSE(ParseDeviceMappingList("1=sim,,2=sim", error).has_value());
    EXPECT_FALSE(ParseDeviceMappingList("1=sim,", error).has_value());
    EXPECT_FALSE(ParseDeviceMappingList("1=sim,2=sim:loud", error).has_value());
    EXPECT_NE(error.find("„loud“"), std::string::npos);
}

// Each test starts with no adapter registered and no environment of its own.
class AdapterSetUp : public ::testing::Test {
  protected:
    void SetUp() override {
        Clear();
        unsetenv(kDevicesEnvironmentVariable);
        unsetenv(sim::kScenarioEnvironmentVariable);
    }
    void TearDown() override {
        Clear();
        unsetenv(kDevicesEnvironmentVariable);
        unsetenv(sim::kScenarioEnvironmentVariable);
    }
    static void Clear() {
        for (int i = 0; i < kAdapterCount; ++i)
            platform::UnregisterDevice(AdapterPath(i));
    }
    static std::shared_ptr<sim::SimAdapter> Simulated(int adapter) {
        return std::dynamic_pointer_cast<sim::SimAdapter>(
            platform::FindDevice(AdapterPath(adapter)));
    }
    static std::shared_ptr<socketcan::SocketCanAdapter> OnInterface(int adapter) {
        return std::dynamic_pointer_cast<socketcan::SocketCanAdapter>(
            platform::FindDevice(AdapterPath(adapter)));
    }
};

// What each kind makes of its mapping, seen in the device it puts behind the path.
TEST_F(AdapterSetUp, ParsesEachKind) {
    const devices::AdapterDefaults common;
    const auto apply = [&](const std::string& text, int adapter, std::string_view scheme) {
        const DeviceMapping mapping = Parsed(text);
        EXPECT_EQ(mapping.adapter, adapter) << text;
        EXPECT_EQ(mapping.scheme, scheme) << text;
        if (mapping.apply)
            ApplyDeviceMapping(mapping, common);
    };
    apply("1=socketcan:can0", 1, "socketcan");
    ASSERT_TRUE(OnInterface(1));
    EXPECT_EQ(OnInterface(1)->InterfaceName(), "can0");
    apply(" 3 = SocketCAN:vcan0 ", 3, "socketcan");
    ASSERT_TRUE(OnInterface(3));
    EXPECT_EQ(OnInterface(3)->InterfaceName(), "vcan0");
    apply("0=sim", 0, "sim");
    ASSERT_TRUE(Simulated(0));
    EXPECT_EQ(Simulated(0)->GetScenario(), sim::Scenario::kDefault);
    apply("2=SIM:Quiet", 2, "sim");
    ASSERT_TRUE(Simulated(2));
    EXPECT_EQ(Simulated(2)->GetScenario(), sim::Scenario::kQuiet);
    // Interface names are the kernel's, case and all.
    apply("1=socketcan:CAN_Bus-1.x", 1, "socketcan");
    EXPECT_EQ(AdapterName(1), "CAN_Bus-1.x");
    apply("1=socketcan:fifteen_chars_x", 1, "socketcan");
    EXPECT_EQ(AdapterName(1), "fifteen_chars_x");
    // A file may contain colons; only a trailing ":loop" is taken from it.
    struct Replay {
        const char* text;
        const char* file;
        bool loop;
    };
    for (const Replay& r : {Replay{"2=replay:trace.log", "trace.log", false},
                            Replay{"2=Replay:/data/a:b.asc:LOOP", "/data/a:b.asc", true},
                            Replay{"2=replay:c:/x.log:loop", "c:/x.log", true},
                            Replay{"2=replay:loop", "loop", false}}) {
        apply(r.text, 2, "replay");
        ASSERT_TRUE(Simulated(2)) << r.text;
        const auto* source =
            dynamic_cast<const replay::TraceSource*>(Simulated(2)->GetNodeSource());
        ASSERT_TRUE(source) << r.text;
        EXPECT_EQ(source->Path(), std::filesystem::absolute(r.file).string()) << r.text;
        EXPECT_EQ(source->Loop(), r.loop) << r.text;
    }
}

TEST_F(AdapterSetUp, ApplyingAMappingReplacesTheDeviceBehindThePath) {
    devices::AdapterDefaults flood;
    flood.scenario = "flood";
    sim::RegisterSimulatedAdapter(AdapterPath(2), sim::Scenario::kDefault);
    ApplyDeviceMapping(Parsed("2=socketcan:vcan7"), flood);
    ASSERT_TRUE(OnInterface(2));
    EXPECT_EQ(OnInterface(2)->InterfaceName(), "vcan7");

    ApplyDeviceMapping(Parsed("2=sim"), flood);
    ASSERT_TRUE(Simulated(2));
    EXPECT_EQ(Simulated(2)->GetScenario(), sim::Scenario::kFlood);  // the common one
    ApplyDeviceMapping(Parsed("2=sim:quiet"), flood);
    EXPECT_EQ(Simulated(2)->GetScenario(), sim::Scenario::kQuiet);
    EXPECT_EQ(AdapterName(2), "sim2");

    ApplyDeviceMapping(Parsed("2=replay:trace.log"), flood);
    EXPECT_EQ(AdapterName(2), "replay2");

    // Nothing in the program claims the path any more: an open reaches the system's device.
    ApplyDeviceMapping(Parsed("2=driver"), flood);
    EXPECT_EQ(platform::FindDevice(AdapterPath(2)), nullptr);
}

TEST_F(AdapterSetUp, CommonScenarioLeavesAReplayAlone) {
    const std::vector<std::string> commandLine = {"1=replay:trace.log:loop"};
    EXPECT_EQ(SetUpAdapters("flood", commandLine), "");
    EXPECT_EQ(AdapterName(1), "replay1");
    unsetenv(kDevicesEnvironmentVariable);
    EXPECT_EQ(SetUpAdapters("quiet", {}), "");  // the paths keep their devices
    EXPECT_EQ(AdapterName(1), "replay1");
}

TEST_F(AdapterSetUp, CommandLineHasTheLastWordOverTheEnvironment) {
    setenv(kDevicesEnvironmentVariable, "1=socketcan:vcan0,2=socketcan:vcan1", 1);
    const std::vector<std::string> commandLine = {"2=sim:flood", "3=socketcan:can9"};
    EXPECT_EQ(SetUpAdapters("", commandLine), "");
    EXPECT_TRUE(Simulated(0));  // the first adapter keeps its default
    ASSERT_TRUE(OnInterface(1));
    EXPECT_EQ(OnInterface(1)->InterfaceName(), "vcan0");
    ASSERT_TRUE(Simulated(2));
    EXPECT_EQ(Simulated(2)->GetScenario(), sim::Scenario::kFlood);
    ASSERT_TRUE(OnInterface(3));
    EXPECT_EQ(OnInterface(3)->InterfaceName(), "can9");
}

TEST_F(AdapterSetUp, CommonScenarioReachesEverySimulatedAdapterWithoutOneOfItsOwn) {
    setenv(sim::kScenarioEnvironmentVariable, "flood", 1);
    const std::vector<std::string> commandLine = {"1=sim", "3=sim:default"};
    EXPECT_EQ(SetUpAdapters("quiet", commandLine), "");
    EXPECT_EQ(Simulated(0)->GetScenario(), sim::Scenario::kQuiet);  // the command line wins
    EXPECT_EQ(Simulated(1)->GetScenario(), sim::Scenario::kQuiet);
    EXPECT_EQ(Simulated(3)->GetScenario(), sim::Scenario::kDefault);

    AdapterSetUp::Clear();
    EXPECT_EQ(SetUpAdapters("", {}), "");
    EXPECT_EQ(Simulated(0)->GetScenario(), sim::Scenario::kFlood);  // the variable's
}

TEST_F(AdapterSetUp, AMistakeAnywhereLeavesOnlyTheDefaults) {
    setenv(kDevicesEnvironmentVariable, "1=socketcan:vcan0", 1);
    const std::vector<std::string> badCommandLine = {"2=sim:quiet", "5=sim"};
    std::string error = SetUpAdapters("", badCommandLine);
    EXPECT_NE(error.find("„5“"), std::string::npos);
    // Neither the variable's mapping nor the command line's first one was applied.
    EXPECT_TRUE(!OnInterface(1) || OnInterface(1)->InterfaceName() != "vcan0");
    EXPECT_TRUE(!Simulated(2) || Simulated(2)->GetScenario() != sim::Scenario::kQuiet);

    AdapterSetUp::Clear();
    setenv(kDevicesEnvironmentVariable, "1=socketcan", 1);
    error = SetUpAdapters("", {});
    EXPECT_EQ(error.rfind(kDevicesEnvironmentVariable, 0), 0u) << error;  // names the variable

    AdapterSetUp::Clear();
    unsetenv(kDevicesEnvironmentVariable);
    const std::vector<std::string> commandLine = {"1=sim:quiet"};
    error = SetUpAdapters("loud", commandLine);
    EXPECT_NE(error.find("„loud“"), std::string::npos);
    EXPECT_TRUE(!Simulated(1) || Simulated(1)->GetScenario() != sim::Scenario::kQuiet);
}

}  // namespace
