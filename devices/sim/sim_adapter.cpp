#include "devices/sim/sim_adapter.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "channel/device_protocol.h"
#include "devices/common/thread_cpu_time.h"
#include "platform/device.h"

namespace sim {
namespace {

// At most two scheduler rounds fall within this period, so that a busy bus is handled in batches
// rather than with one wake-up per frame, while a lone event (a single transmission on a quiet
// bus) is still delivered when it happens. Records keep their exact times either way.
constexpr Nanos kBatchPeriod = 8 * kMillisecond;
// A scheduler that lags further than this (the machine was suspended) skips the time instead of
// simulating it frame by frame.
constexpr Nanos kMaxLag = kSecond;

Nanos SteadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::chrono::steady_clock::time_point SteadyTimePoint(Nanos t) {
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::nanoseconds(t)));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> in, std::size_t offset) {
    return std::uint32_t{in[offset]} | std::uint32_t{in[offset + 1]} << 8 |
           std::uint32_t{in[offset + 2]} << 16 | std::uint32_t{in[offset + 3]} << 24;
}

std::uint32_t PathSeed(const std::string& path) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : path)
        h = (h ^ c) * 16777619u;
    return h;
}

}  // namespace

SimAdapter::SimAdapter(const SimAdapterOptions& options)
    : options_(options),
      created_(options.clock == ClockMode::kManual ? options.manualStart : SteadyNow()),
      queue_(options.queueDepth),
      controller_(queue_),
      bus_(controller_, BuildScenario(options.scenario, created_, options.seed), created_,
           options.seed) {
    // Tests read back what went over the bus; a real-time adapter keeps nothing.
    if (options_.clock == ClockMode::kManual)
        bus_.RecordTraffic(1 << 16);
}

SimAdapter::~SimAdapter() {
    if (scheduler_.joinable()) {
        scheduler_.request_stop();
        scheduler_.join();
    }
}

Nanos SimAdapter::ClockNow() const {
    return options_.clock == ClockMode::kRealTime ? SteadyNow() : bus_.Now();
}

void SimAdapter::CatchUpLocked(Nanos now) {
    if (options_.clock != ClockMode::kRealTime)
        return;
    devices::RecordQueue::Batch batch(queue_);
    if (now - bus_.Now() > kMaxLag)
        bus_.SkipTo(now);
    bus_.RunUntil(now);
}

void SimAdapter::KickLocked() {
    if (options_.clock != ClockMode::kRealTime)
        return;
    kick_ = true;
    wake_.notify_one();
}

int SimAdapter::Open() {
    std::lock_guard lock(mutex_);
    if (open_ || closing_)
        return EBUSY;
    if (options_.clock == ClockMode::kRealTime) {
        // The bus was not simulated while nobody listened; it goes on from now.
        bus_.SkipTo(SteadyNow());
        try {
            scheduler_ = std::jthread([this](std::stop_token stop) { SchedulerLoop(stop); });
        } catch (const std::system_error& e) {
            return e.code().value() != 0 ? e.code().value() : EAGAIN;
        }
        schedulerThread_ = scheduler_.native_handle();
        schedulerRunning_ = true;
    }
    open_ = true;
    controller_.GoOnline();
    return 0;
}

void SimAdapter::Close() {
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return;
        open_ = false;
        closing_ = true;
        controller_.GoOffline();
    }
    // Only this thread touches scheduler_ now: Open() refuses while closing_ is set.
    if (scheduler_.joinable()) {
        scheduler_.request_stop();
        scheduler_.join();
    }
    std::lock_guard lock(mutex_);
    closing_ = false;
}

void SimAdapter::SchedulerLoop(std::stop_token stop) {
    pthread_setname_np(pthread_self(), "vesk-sim-bus");  // shows in top -H and debuggers
    std::unique_lock lock(mutex_);
    Nanos previousRound = 0;
    while (!stop.stop_requested()) {
        Nanos now = SteadyNow();
        CatchUpLocked(now);
        Nanos next = bus_.NextEventTime();
        kick_ = false;
        if (next == kNever) {
            wake_.wait(lock, stop, [this] { return kick_; });
        } else {
            Nanos deadline = std::max(next, previousRound + kBatchPeriod);
            wake_.wait_until(lock, stop, SteadyTimePoint(deadline), [this] { return kick_; });
        }
        previousRound = now;
    }
    finishedCpu_ += devices::ThreadCpuTime(pthread_self());
    schedulerRunning_ = false;
}

std::chrono::nanoseconds SimAdapter::SchedulerCpuTime() const {
    // Under the lock the scheduler is either still counting (read its clock) or has added its
    // total already, never both.
    std::lock_guard lock(mutex_);
    auto total = finishedCpu_;
    if (schedulerRunning_)
        total += devices::ThreadCpuTime(schedulerThread_);
    return total;
}

int SimAdapter::Control(std::uint32_t code, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out, std::uint32_t* returned) {
    if (returned)
        *returned = 0;
    switch (code) {
        case IOCTL_CAN_READ: {
            if (!in.empty() || out.size() != kCanMsgSize)
                return EINVAL;
            CanMsg record{};  // valid 0: nothing to read
            queue_.Pop(record);
            std::uint8_t bytes[kCanMsgSize];
            ToWire(record, bytes);
            std::memcpy(out.data(), bytes, kCanMsgSize);
            if (returned)
                *returned = kCanMsgSize;
            return 0;
        }
        case IOCTL_CAN_GET_DEVICE_INFO: {
            if (!in.empty() || out.size() != kCanDeviceInfoSize)
                return EINVAL;
            Nanos now;
            if (options_.clock == ClockMode::kRealTime) {
                now = SteadyNow();
            } else {
                std::lock_guard lock(mutex_);
                now = bus_.Now();
            }
            std::uint64_t ticks = NanosToTicks(now);
            CanDeviceInfo info{};
            info.ident = CAN_DEVICE_IDENT;
            info.clockLow = static_cast<std::uint32_t>(ticks);
            info.clockHigh = static_cast<std::uint32_t>(ticks >> 32);
            info.clockKind = CAN_CLOCK_KIND_FAST;
            std::uint8_t bytes[kCanDeviceInfoSize];
            ToWire(info, bytes);
            std::memcpy(out.data(), bytes, kCanDeviceInfoSize);
            if (returned)
                *returned = kCanDeviceInfoSize;
            return 0;
        }
        case IOCTL_CAN_WAIT_EVENT:
            return EINVAL;  // only as an overlapped request
        case IOCTL_CAN_WRITE:
        case IOCTL_CAN_SET_BAUDRATE:
        case IOCTL_CAN_SET_ACCEPTANCE:
        case IOCTL_CAN_SET_SOFT_ACCEPTANCE:
        case IOCTL_CAN_SET_MODE:
        case IOCTL_CAN_SET_FRAME_FORMAT:
        case IOCTL_CAN_COMMAND: {
            if (!out.empty())
                return EINVAL;
            std::lock_guard lock(mutex_);
            return ControlLocked(code, in);
        }
        default:
            return EINVAL;
    }
}

int SimAdapter::ControlLocked(std::uint32_t code, std::span<const std::uint8_t> in) {
    auto sized = [&](std::size_t n) { return in.size() == n; };
    Nanos now = ClockNow();
    switch (code) {
        case IOCTL_CAN_WRITE: {
            if (!sized(kCanMsgSize))
                return EINVAL;
            CatchUpLocked(now);
            int result = controller_.Write(CanMsgFromWire(in.data()), now);
            if (result == 0)
                KickLocked();
            return result;
        }
        case IOCTL_CAN_SET_BAUDRATE: {
            if (!sized(4))
                return EINVAL;
            CatchUpLocked(now);
            int result = controller_.SetBaudrate(ReadU32(in, 0));
            if (result == 0)
                KickLocked();
            return result;
        }
        case IOCTL_CAN_SET_ACCEPTANCE:
        case IOCTL_CAN_SET_SOFT_ACCEPTANCE: {
            if (!sized(8))
                return EINVAL;
            CatchUpLocked(now);
            if (code == IOCTL_CAN_SET_ACCEPTANCE) {
                controller_.SetAcceptance(ReadU32(in, 0), ReadU32(in, 4));
            } else {
                controller_.SetSoftAcceptance(ReadU32(in, 0), ReadU32(in, 4));
            }
            return 0;
        }
        case IOCTL_CAN_SET_MODE:
            if (!sized(1))
                return EINVAL;
            CatchUpLocked(now);
            return controller_.SetMode(in[0]);
        case IOCTL_CAN_SET_FRAME_FORMAT:
            if (!sized(1))
                return EINVAL;
            CatchUpLocked(now);
            return controller_.SetFrameFormat(in[0]);
        case IOCTL_CAN_COMMAND: {
            if (!sized(1))
                return EINVAL;
            CatchUpLocked(now);
            int result = controller_.Command(in[0]);
            if (result == 0)
                KickLocked();
            return result;
        }
        default:
            return EINVAL;
    }
}

int SimAdapter::ControlOverlapped(std::uint32_t code, std::shared_ptr<platform::Event> completion) {
    if (code != IOCTL_CAN_WAIT_EVENT || !completion)
        return EINVAL;
    return queue_.Wait(std::move(completion));
}

void SimAdapter::CancelIo() {
    queue_.CancelWait();
}

std::shared_ptr<SimAdapter> RegisterSimulatedAdapter(const std::string& path, Scenario scenario) {
    SimAdapterOptions options;
    options.scenario = scenario;
    options.seed = PathSeed(path);
    auto adapter = std::make_shared<SimAdapter>(options);
    platform::RegisterDevice(path, adapter);
    return adapter;
}

}  // namespace sim
