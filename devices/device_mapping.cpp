#include "devices/device_mapping.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "devices/default_devices.h"
#include "devices/host_links.h"
#include "devices/replay/replay_adapter.h"
#include "devices/sim/sim_adapter.h"
#include "platform/device.h"

namespace {

constexpr std::size_t kMaxInterfaceNameLength = 15;  // IFNAMSIZ less its terminator

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
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

// The kernel's own rule for interface names.
bool IsValidInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > kMaxInterfaceNameLength || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        if (c == '/' || c == ':' || std::isspace(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

std::string Quoted(std::string_view text) {
    return "„" + std::string(text) + "“";
}

}  // namespace

std::optional<DeviceMapping> ParseDeviceMapping(std::string_view text, std::string& error) {
    const std::string_view whole = Trimmed(text);
    const auto wrong = [&](const std::string& why) {
        error = "Gerätezuordnung " + Quoted(whole) + ": " + why +
                " (erwartet N=sim, N=sim:SZENARIO, N=socketcan:SCHNITTSTELLE, "
                "N=replay:DATEI[:loop] oder N=driver, N von 0 bis 3)";
        return std::nullopt;
    };
    const std::size_t equals = whole.find('=');
    if (equals == std::string_view::npos)
        return wrong("das Gleichheitszeichen fehlt");
    const std::string_view number = Trimmed(whole.substr(0, equals));
    if (number.size() != 1 || number[0] < '0' || number[0] >= '0' + kAdapterCount) {
        return wrong("Adapter " + Quoted(number) + " gibt es nicht");
    }
    DeviceMapping mapping;
    mapping.adapter = number[0] - '0';

    const std::string_view device = Trimmed(whole.substr(equals + 1));
    const std::size_t colon = device.find(':');
    const std::string_view kind = device.substr(0, colon);
    const bool hasArgument = colon != std::string_view::npos;
    const std::string_view argument = hasArgument ? device.substr(colon + 1) : std::string_view();

    if (EqualsFolded(kind, "sim")) {
        mapping.kind = DeviceMapping::Kind::kSimulated;
        if (hasArgument) {
            mapping.scenario = sim::ParseScenario(argument);
            if (!mapping.scenario) {
                return wrong("unbekanntes Szenario " + Quoted(argument) +
                             " (default, quiet, flood)");
            }
        }
        return mapping;
    }
    if (EqualsFolded(kind, "socketcan")) {
        mapping.kind = DeviceMapping::Kind::kSocketCan;
        if (!devices::HostHasLinks())
            return wrong("SocketCAN gibt es auf diesem System nicht");
        if (!hasArgument || argument.empty())
            return wrong("die Schnittstelle fehlt");
        if (!IsValidInterfaceName(argument)) {
            return wrong(Quoted(argument) + " ist kein Schnittstellenname");
        }
        mapping.interfaceName = std::string(argument);
        return mapping;
    }
    if (EqualsFolded(kind, "driver")) {
        if (hasArgument)
            return wrong("driver nimmt kein Argument");
        mapping.kind = DeviceMapping::Kind::kDriver;
        return mapping;
    }
    if (EqualsFolded(kind, "replay")) {
        mapping.kind = DeviceMapping::Kind::kReplay;
        std::string_view file = argument;
        constexpr std::string_view kLoop = ":loop";
        if (file.size() >= kLoop.size() &&
            EqualsFolded(file.substr(file.size() - kLoop.size()), kLoop)) {
            mapping.loop = true;
            file.remove_suffix(kLoop.size());
        }
        if (file.empty())
            return wrong("die Datei fehlt");
        mapping.traceFile = std::string(file);
        return mapping;
    }
    return wrong("unbekannte Geräteart " + Quoted(kind) + " (sim, socketcan, replay, driver)");
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

void ApplyDeviceMapping(const DeviceMapping& mapping, sim::Scenario commonScenario) {
    const std::string path = AdapterPath(mapping.adapter);
    if (mapping.kind == DeviceMapping::Kind::kDriver) {
        // Nothing in the program claims the path: opening it reaches the system's device.
        platform::UnregisterDevice(path);
    } else if (mapping.kind == DeviceMapping::Kind::kSocketCan) {
        devices::RegisterHostLinkAdapter(path, mapping.interfaceName);
    } else if (mapping.kind == DeviceMapping::Kind::kReplay) {
        // The file is read at every open; the folder it was named from must not change meanwhile.
        std::error_code ignored;
        std::filesystem::path file = std::filesystem::absolute(mapping.traceFile, ignored);
        replay::RegisterReplayAdapter(path, file.empty() ? mapping.traceFile : file.string(),
                                      mapping.loop);
    } else {
        sim::RegisterSimulatedAdapter(path, mapping.scenario.value_or(commonScenario));
    }
}

std::string AdapterName(int adapter) {
    const std::shared_ptr<platform::Device> device = platform::FindDevice(AdapterPath(adapter));
    if (!device)
        return "vesk" + std::to_string(adapter);
    if (auto link = devices::HostLinkName(*device))
        return *link;
    if (auto simulated = std::dynamic_pointer_cast<sim::SimAdapter>(device)) {
        return (replay::IsReplayAdapter(*simulated) ? "replay" : "sim") + std::to_string(adapter);
    }
    return "vesk" + std::to_string(adapter);
}

std::vector<std::string> ReplayTraceFiles() {
    std::vector<std::string> files;
    for (int i = 0; i < kAdapterCount; ++i) {
        auto simulated =
            std::dynamic_pointer_cast<sim::SimAdapter>(platform::FindDevice(AdapterPath(i)));
        if (!simulated)
            continue;
        if (auto* source = dynamic_cast<const replay::TraceSource*>(simulated->GetNodeSource()))
            files.push_back(source->Path());
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

    const sim::Scenario fallback =
        common.value_or(sim::ScenarioFromEnvironment().value_or(sim::Scenario::kDefault));
    if (common) {
        for (int i = 0; i < kAdapterCount; ++i) {
            const std::string path = AdapterPath(i);
            auto simulated = std::dynamic_pointer_cast<sim::SimAdapter>(platform::FindDevice(path));
            if (simulated && !replay::IsReplayAdapter(*simulated) &&
                simulated->GetScenario() != *common) {
                sim::RegisterSimulatedAdapter(path, *common);
            }
        }
    }
    for (const DeviceMapping& mapping : all)
        ApplyDeviceMapping(mapping, fallback);
    return "";
}
