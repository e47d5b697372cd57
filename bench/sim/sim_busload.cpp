// The bus load the status bar shows for each scenario, in both controller modes: the simulated
// adapter opened through the channel layer as the open dialog opens it, six seconds, the last
// second's figure. Usage: sim_busload  (figures in README.md and docs/performance.md)
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "channel/can_channel.h"
#include "devices/device_mapping.h"

namespace {

double MeasuredLoad(const char* scenario, int baudrate, int mode) {
    const std::vector<std::string> noMappings;
    if (const std::string error = SetUpAdapters(scenario, noMappings); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return -1;
    }
    CanChannel* channel = CanCreateChannel(
        nullptr, nullptr, [](CanChannel*, double, double, const CanMsg*) { return 0; });
    int error = 0;
    double load = -1;
    // Basic CAN with standard frames, or PeliCAN with extended ones.
    if (CanOpen(channel, "\\\\.\\Kvaro", mode, mode, &error) == 1) {
        CanSetBaudrate(channel, baudrate);
        CanEnableNotify(channel, 1);
        std::this_thread::sleep_for(std::chrono::seconds(6));
        load = CanGetBusLoad(channel);
    }
    CanDestroyChannel(channel);
    return load;
}

}  // namespace

int main() {
    struct Case {
        const char* scenario;
        int baudrate;
    };
    const Case cases[] = {{"default", 20000}, {"default", 125000}, {"flood", 1000000}};
    std::printf("%-8s %9s %12s %16s\n", "scenario", "bit/s", "Basic CAN", "PeliCAN ext.");
    for (const Case& c : cases) {
        std::printf("%-8s %9d %10.2f %% %14.2f %%\n", c.scenario, c.baudrate,
                    MeasuredLoad(c.scenario, c.baudrate, 0),
                    MeasuredLoad(c.scenario, c.baudrate, 1));
    }
}
