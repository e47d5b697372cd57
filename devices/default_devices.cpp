#include "devices/default_devices.h"

#include <mutex>

#include "devices/sim/scenario.h"
#include "devices/sim/sim_adapter.h"
#include "platform/device.h"

std::string AdapterPath(int index) {
    std::string path = "\\\\.\\Kvaro";
    if (index != 0)
        path += std::to_string(index);
    return path;
}

void RegisterDefaultDevices() {
    // Look-up and registration must not interleave with a second caller's.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    auto scenario = sim::ScenarioFromEnvironment().value_or(sim::Scenario::kDefault);
    for (int i = 0; i < kAdapterCount; ++i) {
        std::string path = AdapterPath(i);
        if (!platform::FindDevice(path))
            sim::RegisterSimulatedAdapter(path, scenario);
    }
}
