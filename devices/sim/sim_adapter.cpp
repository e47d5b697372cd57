#include "devices/sim/sim_adapter.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "channel/device_protocol.h"
#include "devices/common/bit_timing.h"
#include "devices/common/thread_cpu_time.h"
#include "platform/error.h"

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

std::uint32_t PathSeed(const std::string& path) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : path)
        h = (h ^ c) * 16777619u;
    return h;
}

}  // namespace

SimAdapter::SimAdapter(const SimAdapterOptions& options)
    : AdapterBase(options.queueDepth),
      options_(options),
      created_(options.clock == ClockMode::kManual ? options.manualStart : SteadyNow()),
      controller_(*this),
      bus_(controller_,
           BuildScenario(options.nodeSource ? Scenario::kQuiet : options.scenario, created_,
                         options.seed),
           created_, options.seed) {
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
    devices::RecordQueue::Batch batch(Queue());
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

int SimAdapter::OnOpen() {
    if (options_.nodeSource) {
        if (int error = options_.nodeSource->Load())
            return error;
    }
    std::lock_guard lock(mutex_);
    // The bus was not simulated while nobody listened; it goes on from now.
    if (options_.clock == ClockMode::kRealTime)
        bus_.SkipTo(SteadyNow());
    // The source's nodes wait for the opener's settings (Configured), so a node source's bus is
    // quiet until then.
    if (options_.nodeSource)
        bus_.ReplaceNodes({});
    nodesStarted_ = false;
    if (options_.clock == ClockMode::kRealTime) {
        try {
            scheduler_ = std::jthread([this](std::stop_token stop) { SchedulerLoop(stop); });
        } catch (const std::system_error& e) {
            return e.code().value() != 0 ? e.code().value() : platform::kErrorTryAgain;
        }
        schedulerCpu_.Started(scheduler_.native_handle());
    }
    controller_.GoOnline();
    return 0;
}

void SimAdapter::Configured() {
    if (!options_.nodeSource || !IsOpen())
        return;
    std::lock_guard lock(mutex_);
    if (nodesStarted_)
        return;  // once an open: a second call would start the file again
    nodesStarted_ = true;
    CatchUp();
    bus_.ReplaceNodes(options_.nodeSource->Build(bus_.Now(), [this] { return Baudrate(); }));
    KickLocked();
}

void SimAdapter::OnClose() {
    {
        std::lock_guard lock(mutex_);
        controller_.GoOffline();
    }
    // Only this thread touches scheduler_ now: the base refuses an open until this returns.
    if (scheduler_.joinable()) {
        scheduler_.request_stop();
        scheduler_.join();
    }
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
    schedulerCpu_.Finished();
}

std::chrono::nanoseconds SimAdapter::SchedulerCpuTime() const {
    return schedulerCpu_.Total();
}

std::string SimAdapter::ScenarioName() const {
    // A bus whose nodes are read from a file has no scenario to replace.
    if (!SourceFile().empty())
        return {};
    return sim::ScenarioName(options_.scenario);
}

CanDeviceInfo SimAdapter::DeviceInfo() {
    Nanos now;
    if (options_.clock == ClockMode::kRealTime) {
        now = SteadyNow();
    } else {
        std::lock_guard lock(mutex_);
        now = bus_.Now();
    }
    return FastClockInfo(NanosToTicks(now));
}

void SimAdapter::CatchUp() {
    CatchUpLocked(ClockNow());
}

int SimAdapter::SetBaudrate(std::uint32_t rate) {
    std::lock_guard lock(mutex_);
    CatchUp();
    if (!devices::IsSupportedBaudrate(rate))
        return platform::kErrorInvalidParameter;
    KickLocked();
    return 0;
}

int SimAdapter::SetMode(std::uint8_t) {
    std::lock_guard lock(mutex_);
    CatchUp();
    return 0;
}

int SimAdapter::SetFrameFormat(bool) {
    std::lock_guard lock(mutex_);
    CatchUp();
    return 0;
}

int SimAdapter::SetAcceptance(std::uint32_t, std::uint32_t) {
    std::lock_guard lock(mutex_);
    CatchUp();
    return 0;
}

int SimAdapter::SetSoftAcceptance(std::uint32_t, std::uint32_t) {
    std::lock_guard lock(mutex_);
    CatchUp();
    return 0;
}

int SimAdapter::Command(std::uint8_t command) {
    std::lock_guard lock(mutex_);
    CatchUp();
    if (command == CAN_CMD_STANDBY) {
        controller_.Standby();
    } else if (command == CAN_CMD_ABORT_TX) {
        controller_.AbortTransmission();
    }
    KickLocked();
    return 0;
}

int SimAdapter::Write(const CanMsg& msg) {
    std::lock_guard lock(mutex_);
    Nanos now = ClockNow();
    CatchUpLocked(now);
    int result = controller_.Write(msg, now);
    if (result == 0)
        KickLocked();
    return result;
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
