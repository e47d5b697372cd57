// Open/close cycles with a cyclic job at interval 0 and a callback that sends, against a device
// that always has a record ready. Checks after every cycle that no handle stayed open (every
// channel and job thread ended within its bound) and at the end that no thread is left.
//
//   channel_stress [cycles]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "bench/channel/flood_device.h"
#include "channel/can_channel.h"
#include "platform/handle.h"

namespace {

int SendingCallback(CanChannel* channel, double, double, const CanMsg* msg) {
    CanSend(channel, msg->id + 1, 0, msg->dlc, msg->data);
    return 0;
}

int ThreadCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const char* path = "\\\\.\\StressFlood";
    auto device = std::make_shared<FloodDevice>(/*flood=*/true);
    platform::RegisterDevice(path, device);
    std::size_t handlesBefore = platform::OpenHandleCount();
    // Sanitizers may start a thread of their own with the first thread; count only what the
    // cycles leave behind.
    std::thread([] {}).join();
    int threadsBefore = ThreadCount();
    const std::uint8_t data[3] = {1, 2, 3};

    auto t0 = std::chrono::steady_clock::now();
    CanChannel* channel = CanCreateChannel(nullptr, nullptr, SendingCallback);
    for (int i = 0; i < cycles; ++i) {
        int error = 0;
        if (CanOpen(channel, path, 0, 0, &error) != 1) {
            std::fprintf(stderr, "cycle %d: open failed (%d)\n", i, error);
            return 1;
        }
        if (CanStartCyclic(channel, 1, 0x300, 0, 3, data, 0) != 1) {
            std::fprintf(stderr, "cycle %d: job not started\n", i);
            return 1;
        }
        CanClose(channel);
        if (platform::OpenHandleCount() != handlesBefore) {
            std::fprintf(stderr, "cycle %d: %zu handles left open\n", i,
                         platform::OpenHandleCount() - handlesBefore);
            return 1;
        }
    }
    CanDestroyChannel(channel);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    platform::UnregisterDevice(path);

    int threadsLeft = ThreadCount() - threadsBefore;
    std::printf(
        "%d cycles in %.1f s (%.1f ms per cycle); %llu records read, %llu writes; "
        "threads left: %d\n",
        cycles, wall, wall * 1000 / cycles, static_cast<unsigned long long>(device->reads.load()),
        static_cast<unsigned long long>(device->writes.load()), threadsLeft);
    return threadsLeft == 0 ? 0 : 1;
}
