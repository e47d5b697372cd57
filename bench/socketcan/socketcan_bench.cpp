// The SocketCAN adapter under a flood from cangen -g 0, read the way the channel's receive loop
// reads (wait request, then reads until the device has none), and the simulated adapter's flood
// read the same way, so that the receive path's CPU per frame of both can be set side by side on
// the same processor. Meant to run inside the CAN guest (bench/socketcan/guest-bench.sh).
//
//   socketcan_bench IFACE FRAMES [RECEIVE_BUFFER_BYTES [SIM_SECONDS [GAP_MS]]]
//
// GAP_MS is cangen's gap between frames (0: as fast as it can).
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "channel/device_protocol.h"
#include "devices/sim/sim_adapter.h"
#include "devices/socketcan/socketcan_adapter.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/event.h"
#include "platform/thread.h"

extern char** environ;

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(std::chrono::nanoseconds ns) {
    return std::chrono::duration<double>(ns).count();
}

int Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return -1;
    return pid;
}

int WaitFor(int pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads the device like the receive loop until told to stop; counts frames and what was lost.
class Reader {
  public:
    explicit Reader(platform::Handle device) : device_(device) {
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        stop_ = true;
        thread_.join();
    }
    long frames = 0;
    long lost = 0;
    long overruns = 0;
    std::uint32_t lastId = 0;
    double cpu = 0;

    std::atomic<std::uint32_t> seenId{0};

  private:
    void Run() {
        const double cpu0 = ThreadCpuSeconds();
        platform::Handle event = platform::CreateEvent();
        std::uint8_t bytes[kCanMsgSize];
        while (!stop_.load()) {
            if (!platform::DeviceIoControl(device_, IOCTL_CAN_WAIT_EVENT, nullptr, 0, nullptr, 0,
                                           nullptr, event) &&
                platform::GetLastError() != platform::kErrorIoPending) {
                break;
            }
            // Timed, so that a stop request is seen; a wait that timed out is withdrawn before
            // the next is posted (the device takes one at a time).
            if (platform::WaitForSingleObject(event, 50) != platform::WaitResult::kSignalled) {
                platform::CancelIo(device_);
            }
            std::uint32_t got = 0;
            while (platform::DeviceIoControl(device_, IOCTL_CAN_READ, nullptr, 0, bytes,
                                             kCanMsgSize, &got) &&
                   got == kCanMsgSize) {
                CanMsg m = CanMsgFromWire(bytes);
                if (m.valid == 0)
                    break;
                if (m.type == CAN_EV_OVERRUN)
                    ++overruns;
                if (m.type != CAN_EV_RX)
                    continue;
                ++frames;
                lost += m.lost;
                seenId = m.id;
            }
        }
        platform::CancelIo(device_);
        platform::CloseHandle(event);
        cpu = ThreadCpuSeconds() - cpu0;
    }

    platform::Handle device_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void SocketCanFlood(const std::string& iface, long count, int receiveBuffer,
                    const std::string& gap) {
    const std::string path = "\\\\.\\Bench." + iface;
    socketcan::SocketCanOptions options;
    if (receiveBuffer > 0)
        options.receiveBufferBytes = receiveBuffer;
    auto adapter = std::make_shared<socketcan::SocketCanAdapter>(iface, options);
    platform::RegisterDevice(path, adapter);
    platform::Handle device = platform::CreateFile(path.c_str());
    if (device == platform::kNoHandle) {
        std::fprintf(stderr, "cannot open %s: %s\n", iface.c_str(),
                     platform::ErrorText(platform::GetLastError()).c_str());
        std::exit(1);
    }
    Reader reader(device);
    const auto cpu0 = adapter->ReaderCpuTime();
    const auto wall0 = std::chrono::steady_clock::now();
    int cangen = Spawn({"cangen", iface, "-g", gap, "-n", std::to_string(count), "-I", "100", "-L",
                        "8", "-D", "i"});
    if (cangen < 0 || WaitFor(cangen) != 0) {
        std::fprintf(stderr, "cangen failed\n");
        std::exit(1);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    // A last frame carries the count of whatever was lost before it.
    WaitFor(Spawn({"cansend", iface, "7FF#"}));
    for (int i = 0; i < 400 && reader.seenId.load() != 0x7FF; ++i)
        platform::Sleep(10);
    const double deviceCpu = Seconds(adapter->ReaderCpuTime() - cpu0);
    reader.Stop();
    const std::uint32_t drops = adapter->SocketDrops();
    platform::CloseHandle(device);
    platform::UnregisterDevice(path);

    const long received = reader.frames - 1;
    std::printf(
        "socketcan %-6s rcvbuf %8d  gap %5s ms  %6ld frames in %6.3f s = %7.0f frames/s  "
        "received %6ld  lost %6ld  (socket drop counter %u, overrun records %ld)  "
        "CPU per received frame: device thread %6.2f us, reader %6.2f us\n",
        iface.c_str(), receiveBuffer, gap.c_str(), count, wall, static_cast<double>(count) / wall,
        received, reader.lost, drops, reader.overruns,
        1e6 * deviceCpu / static_cast<double>(reader.frames),
        1e6 * reader.cpu / static_cast<double>(reader.frames));
}

void SimFlood(double seconds) {
    const std::string path = "\\\\.\\Bench.sim";
    auto adapter = sim::RegisterSimulatedAdapter(path, sim::Scenario::kFlood);
    platform::Handle device = platform::CreateFile(path.c_str());
    const std::uint32_t baud = 1000000;
    std::uint8_t rate[4] = {std::uint8_t(baud), std::uint8_t(baud >> 8), std::uint8_t(baud >> 16),
                            std::uint8_t(baud >> 24)};
    platform::DeviceIoControl(device, IOCTL_CAN_SET_BAUDRATE, rate, 4, nullptr, 0, nullptr);
    Reader reader(device);
    const auto cpu0 = adapter->SchedulerCpuTime();
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double deviceCpu = Seconds(adapter->SchedulerCpuTime() - cpu0);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    reader.Stop();
    platform::CloseHandle(device);
    platform::UnregisterDevice(path);
    std::printf(
        "simulated flood at 1 Mbit/s for %4.1f s = %7.0f frames/s  received %6ld  "
        "lost %6ld  CPU per received frame: device thread %6.2f us, reader %6.2f us\n",
        wall, static_cast<double>(reader.frames) / wall, reader.frames, reader.lost,
        1e6 * deviceCpu / static_cast<double>(reader.frames),
        1e6 * reader.cpu / static_cast<double>(reader.frames));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: socketcan_bench IFACE FRAMES [RECEIVE_BUFFER [SIM_SECONDS [GAP_MS]]]\n");
        return 2;
    }
    const long frames = std::atol(argv[2]);
    const int receiveBuffer = argc > 3 ? std::atoi(argv[3]) : 0;
    const double simSeconds = argc > 4 ? std::atof(argv[4]) : 0;
    SocketCanFlood(argv[1], frames, receiveBuffer, argc > 5 ? argv[5] : "0");
    if (simSeconds > 0)
        SimFlood(simSeconds);
    return 0;
}
