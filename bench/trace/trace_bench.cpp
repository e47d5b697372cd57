// A recording at 100,000 events/s for 10 s into a file, in both formats: records lost, CPU per
// recorded event outside the producer (the writer thread's formatting and writing), CPU per push
// on the producer, and the file's bytes per million events.
//
// Usage: trace_bench [FOLDER [SECONDS [EVENTS_PER_SECOND]]]   (default /tmp 10 100000)
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "channel/device_protocol.h"
#include "trace/trace_recorder.h"

namespace {

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::int64_t WallNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A bus's mix: mostly 8-byte standard frames, some extended, remote and short ones, our own
// frames, and now and then a bus error.
CanMsg NextEvent(std::uint32_t& seed) {
    seed = seed * 1103515245u + 12345u;
    const std::uint32_t r = seed >> 8;
    CanMsg m{};
    if (r % 1000 == 0) {
        m.type = CAN_EV_BUS_ERROR;
        return m;
    }
    const bool ext = r % 5 == 0;
    m.type =
        r % 10 == 1 ? (ext ? CAN_EV_TX_EXT : CAN_EV_TX_STD) : (ext ? CAN_EV_RX_EXT : CAN_EV_RX_STD);
    m.id = ext ? (r * 2654435761u) & 0x1FFFFFFF : r & 0x7FF;
    m.rtr = r % 50 == 3 ? 1 : 0;
    m.dlc = static_cast<std::uint8_t>(r % 4 == 0 ? r % 9 : 8);
    for (int i = 0; i < 8; ++i)
        m.data[i] = static_cast<std::uint8_t>(r >> i);
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const int rate = argc > 3 ? std::atoi(argv[3]) : 100000;
    constexpr int kBatch = 100;  // events per pacing step, as a receive thread drains a batch

    std::printf("%-6s %10s %6s %14s %14s %16s\n", "format", "events", "lost", "CPU/event (ns)",
                "push (ns)", "bytes/1M events");
    for (const char* ext : {"log", "asc"}) {
        trace::RecorderOptions options;
        options.path = folder + "/trace_bench." + ext;
        options.interfaceName = "vesk0";
        options.bitrate = 1000000;
        options.startNs = WallNs();
        std::string error;
        auto recorder = trace::TraceRecorder::Start(options, error);
        if (!recorder) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const double cpuBefore = ProcessCpuSeconds();
        double producerCpu = 0;
        std::uint64_t events = 0;
        std::thread producer([&] {
            const double start = ThreadCpuSeconds();
            std::uint32_t seed = 1;
            const auto begin = std::chrono::steady_clock::now();
            const std::int64_t total = static_cast<std::int64_t>(rate) * seconds;
            for (std::int64_t sent = 0; sent < total; sent += kBatch) {
                std::this_thread::sleep_until(
                    begin + std::chrono::nanoseconds(sent * 1'000'000'000 / rate));
                const std::int64_t now = WallNs();
                for (int i = 0; i < kBatch; ++i) {
                    recorder->Push(NextEvent(seed), now + i * 1000);
                    ++events;
                }
            }
            producerCpu = ThreadCpuSeconds() - start;
        });
        producer.join();
        recorder->Stop();
        const double cpu = ProcessCpuSeconds() - cpuBefore - producerCpu;
        const auto bytes = std::filesystem::file_size(options.path);
        std::printf(
            "%-6s %10llu %6llu %14.0f %14.0f %16.0f\n", ext,
            static_cast<unsigned long long>(recorder->EventsWritten()),
            static_cast<unsigned long long>(recorder->Lost()),
            cpu * 1e9 / static_cast<double>(recorder->EventsWritten()),
            producerCpu * 1e9 / static_cast<double>(events),
            static_cast<double>(bytes) * 1e6 / static_cast<double>(recorder->EventsWritten()));
        if (recorder->Failed()) {
            std::fprintf(stderr, "%s\n", recorder->FailureText().c_str());
            return 1;
        }
    }
    return 0;
}
