// CPU the simulated adapter uses on the real clock, with a reader draining it the way the
// channel's receive loop does (wait request, then reads until the device has nothing).
//
//   sim_cpu_bench [seconds]      (default 5 s per case)
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "channel/device_protocol.h"
#include "devices/sim/sim_adapter.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/event.h"

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Result {
    double frames = 0;        // received and transmitted frames per second
    double events = 0;        // bus events per second
    double schedulerCpu = 0;  // percent of one core
    double readerCpu = 0;     // percent of one core
    long lost = 0;
};

Result Measure(sim::Scenario scenario, std::uint32_t baud, double seconds, bool drain) {
    const std::string path = std::string("\\\\.\\SimBench.") + sim::ScenarioName(scenario);
    auto adapter = sim::RegisterSimulatedAdapter(path, scenario);
    platform::Handle device = platform::CreateFile(path.c_str());
    platform::Handle event = platform::CreateEvent();
    if (device == platform::kNoHandle || event == platform::kNoHandle) {
        std::fprintf(stderr, "cannot open %s: %d\n", path.c_str(), platform::GetLastError());
        std::exit(1);
    }
    std::uint8_t rate[4] = {std::uint8_t(baud), std::uint8_t(baud >> 8), std::uint8_t(baud >> 16),
                            std::uint8_t(baud >> 24)};
    platform::DeviceIoControl(device, IOCTL_CAN_SET_BAUDRATE, rate, 4, nullptr, 0, nullptr);

    std::atomic<bool> stop{false};
    std::atomic<long> frames{0};
    std::atomic<long> events{0};
    std::atomic<long> lost{0};
    double readerCpu = 0;
    std::thread reader([&] {
        if (!drain)
            return;
        double cpu0 = ThreadCpuSeconds();
        std::uint8_t bytes[kCanMsgSize];
        while (!stop.load()) {
            if (!platform::DeviceIoControl(device, IOCTL_CAN_WAIT_EVENT, nullptr, 0, nullptr, 0,
                                           nullptr, event) &&
                platform::GetLastError() != platform::kErrorIoPending) {
                break;
            }
            platform::WaitForSingleObject(event, 100);
            std::uint32_t got = 0;
            while (platform::DeviceIoControl(device, IOCTL_CAN_READ, nullptr, 0, bytes, kCanMsgSize,
                                             &got) &&
                   got == kCanMsgSize) {
                CanMsg m = CanMsgFromWire(bytes);
                if (m.valid == 0)
                    break;
                bool frame = m.type == CAN_EV_RX || m.type == CAN_EV_TX || m.type >= CAN_EV_RX_STD;
                (frame ? frames : events)++;
                lost += m.lost;
            }
        }
        readerCpu = ThreadCpuSeconds() - cpu0;
    });

    auto cpu0 = adapter->SchedulerCpuTime();
    auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    auto cpu1 = adapter->SchedulerCpuTime();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    stop = true;
    reader.join();
    platform::CloseHandle(device);
    platform::CloseHandle(event);
    platform::UnregisterDevice(path);

    Result r;
    r.frames = static_cast<double>(frames.load()) / wall;
    r.events = static_cast<double>(events.load()) / wall;
    r.schedulerCpu = 100.0 * std::chrono::duration<double>(cpu1 - cpu0).count() / wall;
    r.readerCpu = 100.0 * readerCpu / wall;
    r.lost = lost.load();
    return r;
}

void Report(const char* name, sim::Scenario scenario, std::uint32_t baud, double seconds,
            bool drain) {
    Result r = Measure(scenario, baud, seconds, drain);
    std::printf(
        "%-8s %8u bit/s %-10s frames/s %8.0f  events/s %6.1f  lost %6ld  "
        "device thread %6.3f %%  reader thread %6.3f %%\n",
        name, baud, drain ? "drained" : "no reader", r.frames, r.events, r.lost, r.schedulerCpu,
        r.readerCpu);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    if (seconds <= 0)
        seconds = 5.0;
    std::printf("%.1f s per case; CPU in percent of one core\n", seconds);
    Report("flood", sim::Scenario::kFlood, 1000000, seconds, true);
    Report("flood", sim::Scenario::kFlood, 125000, seconds, true);
    Report("default", sim::Scenario::kDefault, 125000, seconds, true);
    Report("default", sim::Scenario::kDefault, 20000, seconds, true);
    Report("quiet", sim::Scenario::kQuiet, 1000000, seconds, true);
    Report("quiet", sim::Scenario::kQuiet, 1000000, seconds, false);
    return 0;
}
