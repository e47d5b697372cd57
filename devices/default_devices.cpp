#include "devices/default_devices.h"

#include <mutex>
#include <vector>

#include "devices/host_links.h"
#include "devices/sim/scenario.h"
#include "devices/sim/sim_adapter.h"
#include "platform/device.h"

void RegisterDefaultDevices() {
    // Look-up and registration must not interleave with a second caller's.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    auto scenario = sim::ScenarioFromEnvironment().value_or(sim::Scenario::kDefault);
    // On a host with CAN interfaces the program reaches its buses without being told; the first
    // adapter stays simulated so that there is always one that works without hardware.
    const std::vector<std::string> links = devices::HostCanLinks();
    for (int i = 0; i < kAdapterCount; ++i) {
        std::string path = AdapterPath(i);
        if (platform::FindDevice(path))
            continue;
        const std::size_t link = static_cast<std::size_t>(i) - 1;
        if (i >= 1 && link < links.size()) {
            devices::RegisterHostLinkAdapter(path, links[link]);
        } else {
            sim::RegisterSimulatedAdapter(path, scenario);
        }
    }
}
