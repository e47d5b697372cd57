// Receive-path throughput and heap allocations of the channel layer.
//
//   channel_bench [seconds]
//
// Prints records per second through the receive thread (stamping, bus-load accounting and an
// empty callback) from a device that always has a record ready, and the heap allocations per
// received record, per CanSend and per cyclic transmission.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include "bench/channel/flood_device.h"
#include "channel/can_channel.h"

namespace {

std::atomic<std::uint64_t> g_allocations{0};

void* CountedAlloc(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

int EmptyCallback(CanChannel*, double, double, const CanMsg*) {
    return 0;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

CanChannel* OpenOn(const char* path, std::shared_ptr<FloodDevice> device) {
    platform::RegisterDevice(path, std::move(device));
    CanChannel* channel = CanCreateChannel(nullptr, nullptr, EmptyCallback);
    int error = 0;
    if (CanOpen(channel, path, 0, 0, &error) != 1) {
        std::fprintf(stderr, "open failed: %d\n", error);
        std::exit(1);
    }
    return channel;
}

void Close(CanChannel* channel, const char* path) {
    CanDestroyChannel(channel);
    platform::UnregisterDevice(path);
}

}  // namespace

void* operator new(std::size_t size) {
    return CountedAlloc(size);
}
void* operator new[](std::size_t size) {
    return CountedAlloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    auto window =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));

    // Receive path.
    {
        auto device = std::make_shared<FloodDevice>(/*flood=*/true);
        CanChannel* channel = OpenOn("\\\\.\\BenchFlood", device);
        std::uint64_t reads0 = device->reads.load();
        std::uint64_t allocs0 = g_allocations.load();
        auto t0 = Clock::now();
        std::this_thread::sleep_for(window);
        std::uint64_t reads1 = device->reads.load();
        std::uint64_t allocs1 = g_allocations.load();
        auto t1 = Clock::now();
        Close(channel, "\\\\.\\BenchFlood");
        double records = static_cast<double>(reads1 - reads0);
        std::printf("receive path: %.0f records/s (%.0f records in %.2f s)\n",
                    records / Seconds(t1 - t0), records, Seconds(t1 - t0));
        std::printf("allocations per received record: %.6f (%llu in window)\n",
                    static_cast<double>(allocs1 - allocs0) / records,
                    static_cast<unsigned long long>(allocs1 - allocs0));
    }

    // CanSend.
    {
        auto device = std::make_shared<FloodDevice>(/*flood=*/false);
        CanChannel* channel = OpenOn("\\\\.\\BenchQuiet", device);
        const std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        constexpr int kSends = 1000000;
        std::uint64_t allocs0 = g_allocations.load();
        auto t0 = Clock::now();
        for (int i = 0; i < kSends; ++i)
            CanSend(channel, 0x100, 0, 8, data);
        auto t1 = Clock::now();
        std::uint64_t allocs1 = g_allocations.load();
        std::printf("CanSend: %.0f per second; allocations per CanSend: %.6f\n",
                    kSends / Seconds(t1 - t0), static_cast<double>(allocs1 - allocs0) / kSends);

        // Cyclic transmission at interval 0.
        CanStartCyclic(channel, 1, 0x200, 0, 8, data, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // past the job's start
        std::uint64_t writes0 = device->writes.load();
        std::uint64_t allocsC0 = g_allocations.load();
        std::this_thread::sleep_for(window);
        std::uint64_t writes1 = device->writes.load();
        std::uint64_t allocsC1 = g_allocations.load();
        CanStopAllCyclic(channel);
        double sent = static_cast<double>(writes1 - writes0);
        std::printf("cyclic job: %.0f transmissions/s; allocations per transmission: %.6f\n",
                    sent / seconds, static_cast<double>(allocsC1 - allocsC0) / sent);
        Close(channel, "\\\\.\\BenchQuiet");
    }
    return 0;
}
