#include "ui/simulation_options.h"

#include "devices/device_mapping.h"

std::string ApplySimulationOptions(const ShellCommand& cmd) {
    return SetUpAdapters(cmd.scenario, cmd.deviceMappings);
}
