#include "devices/device_mapping.h"

#include <cctype>
#include <cstdlib>
#include <memory>

#include "devices/adapter_kinds.h"
#include "devices/default_devices.h"
#include "devices/sim/scenario.h"
#include "devices/sim/sim_adapter.h"
#include "platform/device.h"

namespace {

using devices::Quoted;

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// "a, b oder c" of the kinds' forms, or "a, b, c" of their schemes.
std::string KindList(bool forms) {
    const auto kinds = AdapterKinds();
    std::string text;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0)
            text += forms && i + 1 == kinds.size() ? " oder " : ", ";
        text += forms ? kinds[i]->forms : kinds[i]->scheme;
    }
    return text;
}

}  // namespace

std::optional<DeviceMapping> ParseDeviceMapping(std::string_view text, std::string& error) {
    const std::string_view whole = Trimmed(text);
    const auto wrong = [&](const std::string& why) {
        error = "Gerätezuordnung " + Quoted(whole) + ": " + why + " (erwartet " + KindList(true) +
                ", N von 0 bis 3)";
        return std::nullopt;
    };
    const std::size_t equals = whole.find('=');
    if (equals == std::string_view::npos)
        return wrong("das Gleichheitszeichen fehlt");
    const std::string_view number = Trimmed(whole.substr(0, equals));
    if (number.size() != 1 || number[0] < '0' || number[0] >= '0' + kAdapterCount) {
        return wrong("Adapter " + Quoted(number) + " gibt es nicht");
    }
    const std::string_view device = Trimmed(whole.substr(equals + 1));
    const std::size_t colon = device.find(':');
    const std::string_view scheme = device.substr(0, colon);
    const devices::AdapterKind* kind = FindAdapterKind(scheme);
    if (!kind)
        return wrong("unbekannte Geräteart " + Quoted(scheme) + " (" + KindList(false) + ")");
    std::optional<std::string_view> argument;
    if (colon != std::string_view::npos)
        argument = device.substr(colon + 1);
    std::string why;
    auto apply = kind->parse(argument, why);
    if (!apply)
        return wrong(why);
    return DeviceMapping{number[0] - '0', kind->scheme, std::move(*apply)};
}

std::optional<std::vector<DeviceMapping>> ParseDeviceMappingList(std::string_view text,
                                                                 std::string& error) {
    std::vector<DeviceMapping> mappings;
    if (Trimmed(text).empty())
        return mappings;
    for (;;) {
        const std::size_t comma = text.find(',');
        auto mapping = ParseDeviceMapping(text.substr(0, comma), error);
        if (!mapping)
            return std::nullopt;
        mappings.push_back(*mapping);
        if (comma == std::string_view::npos)
            return mappings;
        text.remove_prefix(comma + 1);
    }
}

void ApplyDeviceMapping(const DeviceMapping& mapping, const devices::AdapterDefaults& defaults) {
    mapping.apply(AdapterPath(mapping.adapter), defaults);
}

std::string AdapterName(int adapter) {
    const std::shared_ptr<platform::Device> device = platform::FindDevice(AdapterPath(adapter));
    std::string name = device ? device->BusName(adapter) : std::string();
    return name.empty() ? "vesk" + std::to_string(adapter) : name;
}

std::vector<std::string> ReplayTraceFiles() {
    std::vector<std::string> files;
    for (int i = 0; i < kAdapterCount; ++i) {
        const std::shared_ptr<platform::Device> device = platform::FindDevice(AdapterPath(i));
        std::string file = device ? device->SourceFile() : std::string();
        if (!file.empty())
            files.push_back(std::move(file));
    }
    return files;
}

std::string SetUpAdapters(std::string_view scenario, std::span<const std::string> mappings) {
    RegisterDefaultDevices();

    std::optional<sim::Scenario> common;
    if (!scenario.empty()) {
        common = sim::ParseScenario(scenario);
        if (!common)
            return "Unbekanntes Szenario " + Quoted(scenario) + " (default, quiet, flood)";
    }
    std::string error;
    std::vector<DeviceMapping> all;
    if (const char* fromEnvironment = std::getenv(kDevicesEnvironmentVariable)) {
        auto list = ParseDeviceMappingList(fromEnvironment, error);
        if (!list)
            return std::string(kDevicesEnvironmentVariable) + ": " + error;
        all = std::move(*list);
    }
    for (const std::string& text : mappings) {
        auto mapping = ParseDeviceMapping(text, error);
        if (!mapping)
            return error;
        all.push_back(*mapping);
    }

    devices::AdapterDefaults defaults;
    defaults.scenario = sim::ScenarioName(
        common.value_or(sim::ScenarioFromEnvironment().value_or(sim::Scenario::kDefault)));
    if (common) {
        for (int i = 0; i < kAdapterCount; ++i) {
            const std::string path = AdapterPath(i);
            const std::shared_ptr<platform::Device> device = platform::FindDevice(path);
            const std::string own = device ? device->ScenarioName() : std::string();
            if (!own.empty() && own != sim::ScenarioName(*common))
                sim::RegisterSimulatedAdapter(path, *common);
        }
    }
    for (const DeviceMapping& mapping : all)
        ApplyDeviceMapping(mapping, defaults);
    return "";
}
