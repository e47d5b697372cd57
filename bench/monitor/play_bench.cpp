// How closely a played trace keeps the file's spacing: TracePlayer plays a trace at about
// 1000 frames/s through a channel on the simulated adapter at 1 Mbit/s, and the time stamps of
// the transmit confirmations the channel delivers are set against the file's. Per frame the
// spacing error is |(confirmation - previous confirmation) - (file time - previous file time)|;
// the position error is how far each frame's (played - file) time lies from that offset's
// median over the play: it would grow along the play if waits added up, and it is not thrown
// off by a late first frame the way a count from the first frame is. A second line times the player
// alone: each successful write request as the adapter receives it, plus the frame's own duration on
// the bus, so that what the adapter adds (its lock, the bus) shows as the difference. The same
// evaluation judges a candump -L recording of a play (the CAN guest's bench).
//
// Usage:
//   play_bench write FILE [FRAMES]               the generated trace as a candump log (5000)
//   play_bench measure [FILE [RUNS [SCENARIO]]]  plays FILE (default: the generated trace)
//                                                RUNS times (3) on the simulated adapter with
//                                                the scenario's other nodes (quiet: none)
//   play_bench compare FILE [NAME=]DUMP...       judges each DUMP, candump -L's record of a play
//                                                of FILE
// (figures in docs/performance.md, section "Playing a trace")
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "channel/can_channel.h"
#include "devices/sim/sim_adapter.h"
#include "monitor/trace_player.h"
#include "platform/device.h"
#include "trace/trace_reader.h"

namespace {

constexpr int kDefaultFrames = 5000;
constexpr std::uint32_t kBaudrate = 1'000'000;
constexpr const char* kAdapterPath = "\\\\.\\KvaroPlayBench";

// A bus's irregular rhythm at 1000 frames/s on average: mostly 0.7..1.3 ms apart, now and then a
// burst 0.2..0.3 ms apart (still longer than any frame at 1 Mbit/s, so the bus can keep it) or a
// pause of 2..6 ms; standard and extended identifiers, 0..8 bytes, a few remote frames.
std::string GenerateTrace(int frames) {
    std::mt19937 rng(1);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    std::string text;
    double timeUs = 0;
    char line[96];
    for (int i = 0; i < frames; ++i) {
        const bool extended = uniform(0, 1) < 0.3;
        const std::uint32_t id = rng() % (extended ? 0x20000000u : 0x800u);
        const auto us = static_cast<long long>(std::llround(timeUs));
        int n =
            std::snprintf(line, sizeof line, "(%lld.%06lld) can0 %0*X#",
                          1'700'000'000LL + us / 1'000'000, us % 1'000'000, extended ? 8 : 3, id);
        if (uniform(0, 1) < 0.05) {
            n += std::snprintf(line + n, sizeof line - n, "R");
        } else {
            for (int dlc = static_cast<int>(rng() % 9), b = 0; b < dlc; ++b)
                n += std::snprintf(line + n, sizeof line - n, "%02X",
                                   static_cast<unsigned>(rng() & 0xFF));
        }
        text.append(line, n).push_back('\n');
        const double kind = uniform(0, 1);
        timeUs += kind < 0.90   ? uniform(700, 1300)
                  : kind < 0.98 ? uniform(200, 300)
                                : uniform(2000, 6000);
    }
    return text;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void PrintHeader() {
    std::printf("%-22s %6s | %-33s | %-23s | %9s %9s %8s\n", "", "", "spacing error, ms",
                "position error, ms", "file s", "played s", "drift ms");
    std::printf("%-22s %6s | %7s %7s %7s %8s | %7s %7s %7s | %9s %9s %8s\n", "play", "frames",
                "median", "p90", "p99", "max", "median", "p99", "max", "", "", "");
}

// fileNs and playedNs: the same frames' times, in order.
void Report(const std::string& name, const std::vector<std::int64_t>& fileNs,
            const std::vector<std::int64_t>& playedNs) {
    std::vector<double> spacing;
    std::vector<double> offset;
    for (std::size_t i = 0; i < fileNs.size(); ++i) {
        offset.push_back(static_cast<double>(playedNs[i] - fileNs[i]) * 1e-6);
        if (i > 0) {
            const auto d = (playedNs[i] - playedNs[i - 1]) - (fileNs[i] - fileNs[i - 1]);
            spacing.push_back(std::abs(static_cast<double>(d)) * 1e-6);
        }
    }
    const double medianOffset = Percentile(offset, 0.5);
    std::vector<double> position;
    for (double o : offset)
        position.push_back(std::abs(o - medianOffset));
    const double fileS = static_cast<double>(fileNs.back() - fileNs.front()) * 1e-9;
    const double playedS = static_cast<double>(playedNs.back() - playedNs.front()) * 1e-9;
    std::printf("%-22s %6zu | %7.3f %7.3f %7.3f %8.3f | %7.3f %7.3f %7.3f | %9.4f %9.4f %8.3f\n",
                name.c_str(), fileNs.size(), Percentile(spacing, 0.5), Percentile(spacing, 0.9),
                Percentile(spacing, 0.99), Percentile(spacing, 1.0), Percentile(position, 0.5),
                Percentile(position, 0.99), Percentile(position, 1.0), fileS, playedS,
                (playedS - fileS) * 1e3);
}

std::shared_ptr<const trace::TraceFile> Read(const std::string& path) {
    std::string error;
    auto file = trace::ReadTrace(path, error);
    if (!file) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return nullptr;
    }
    std::erase_if(file->entries, [](const trace::TraceFrame& e) {
        return e.kind != trace::TraceFrame::Kind::kFrame;
    });
    if (file->entries.size() < 2) {
        std::fprintf(stderr, "%s: fewer than two frames\n", path.c_str());
        return nullptr;
    }
    return std::make_shared<const trace::TraceFile>(std::move(*file));
}

// Matches the played frames to the file's in order; false (and says where) when they differ.
bool SameFrames(const trace::TraceFile& file, const std::vector<std::uint32_t>& ids,
                const std::string& name) {
    if (ids.size() != file.entries.size()) {
        std::fprintf(stderr, "%s: %zu frames played, the file has %zu\n", name.c_str(), ids.size(),
                     file.entries.size());
        return false;
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] != file.entries[i].id) {
            std::fprintf(stderr, "%s: frame %zu has id %X, the file %X\n", name.c_str(), i + 1,
                         ids[i], file.entries[i].id);
            return false;
        }
    }
    return true;
}

std::vector<std::int64_t> FileTimes(const trace::TraceFile& file) {
    std::vector<std::int64_t> times;
    for (const trace::TraceFrame& e : file.entries)
        times.push_back(e.timeNs);
    return times;
}

// Each `NAME=DUMP`: a candump -L recording of a play of the file at `filePath`.
int Compare(const std::string& filePath, const std::vector<std::string>& namedDumps) {
    const auto file = Read(filePath);
    if (!file)
        return 1;
    PrintHeader();
    int result = 0;
    for (const std::string& namedDump : namedDumps) {
        const auto eq = namedDump.find('=');
        const std::string name = eq == std::string::npos ? namedDump : namedDump.substr(0, eq);
        const auto dump = Read(namedDump.substr(eq == std::string::npos ? 0 : eq + 1));
        std::vector<std::uint32_t> ids;
        if (dump) {
            for (const trace::TraceFrame& e : dump->entries)
                ids.push_back(e.id);
        }
        if (!dump || !SameFrames(*file, ids, name)) {
            result = 1;
            continue;
        }
        Report(name, FileTimes(*file), FileTimes(*dump));
    }
    return result;
}

// The transmit confirmations the channel delivers, with their device time stamps.
struct Confirmations {
    std::mutex mutex;
    std::vector<std::uint64_t> ticks;  // guarded by mutex
    std::vector<std::uint32_t> ids;    // guarded by mutex
    std::size_t expected = 0;
    TracePlayer* player = nullptr;  // told of every confirmation, as the session tells it

    std::size_t Count() {
        std::lock_guard lock(mutex);
        return ticks.size();
    }
};

int OnRecord(CanChannel* channel, double, double, const CanMsg* msg) {
    if (msg->type != CAN_EV_TX && msg->type != CAN_EV_TX_STD && msg->type != CAN_EV_TX_EXT)
        return 0;
    auto* c = static_cast<Confirmations*>(channel->owner);
    if (c->player)
        c->player->OnTransmitted(*msg);
    std::lock_guard lock(c->mutex);
    if (c->ticks.size() < c->expected) {  // more would be a fault SameFrames reports
        c->ticks.push_back(CanMsgTicks(*msg));
        c->ids.push_back(msg->id);
    }
    return 0;
}

// The simulated adapter behind a device that notes when each successful write request reaches it.
class TimedWrites final : public platform::Device {
  public:
    TimedWrites(std::shared_ptr<platform::Device> inner, std::size_t capacity)
        : inner_(std::move(inner)), capacity_(capacity) {
        times_.reserve(capacity);
    }
    int Open() override { return inner_->Open(); }
    void Close() override { inner_->Close(); }
    int Control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                std::uint32_t* returned) override {
        const auto now = std::chrono::steady_clock::now();
        const int result = inner_->Control(code, in, out, returned);
        if (code == IOCTL_CAN_WRITE && result == 0) {
            std::lock_guard lock(mutex_);
            if (times_.size() < capacity_)
                times_.push_back(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch())
                        .count());
        }
        return result;
    }
    int ControlOverlapped(std::uint32_t code, std::shared_ptr<platform::Event> done) override {
        return inner_->ControlOverlapped(code, std::move(done));
    }
    void CancelIo() override { inner_->CancelIo(); }

    std::vector<std::int64_t> Times() {
        std::lock_guard lock(mutex_);
        return times_;
    }

  private:
    const std::shared_ptr<platform::Device> inner_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::vector<std::int64_t> times_;  // guarded by mutex_
};

// When the bus would confirm a frame written at `writeNs` to an idle bus.
std::int64_t ConfirmationOnIdleBus(std::int64_t writeNs, const trace::TraceFrame& f) {
    return writeNs + TraceFrameDuration(f, kBaudrate).count();
}

bool MeasureOnce(const std::shared_ptr<const trace::TraceFile>& file, sim::Scenario scenario,
                 const std::string& name) {
    sim::RegisterSimulatedAdapter(kAdapterPath, scenario);
    auto timed =
        std::make_shared<TimedWrites>(platform::FindDevice(kAdapterPath), file->entries.size());
    platform::RegisterDevice(kAdapterPath, timed);
    Confirmations confirmations;
    confirmations.expected = file->entries.size();
    confirmations.ticks.reserve(confirmations.expected);
    confirmations.ids.reserve(confirmations.expected);
    TracePlayer player;
    confirmations.player = &player;
    CanChannel* channel = CanCreateChannel(nullptr, &confirmations, OnRecord);
    int error = 0;
    if (CanOpen(channel, kAdapterPath, CAN_MODE_PELICAN, CAN_FORMAT_STANDARD, &error) != 1 ||
        CanSetBaudrate(channel, kBaudrate) != 1) {
        std::fprintf(stderr, "the simulated adapter did not open (%d)\n", error);
        CanDestroyChannel(channel);
        return false;
    }
    CanEnableNotify(channel, 1);
    player.Start(channel, file, 1);
    // The play ends once the bus has confirmed what it wrote.
    while (player.Running())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string failure = player.TakeFailure();
    const std::uint32_t ticksPerMs = channel->ticksPerMs.load();
    CanDestroyChannel(channel);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return false;
    }
    std::lock_guard lock(confirmations.mutex);
    if (!SameFrames(*file, confirmations.ids, name))
        return false;
    std::vector<std::int64_t> played;
    for (std::uint64_t t : confirmations.ticks)
        played.push_back(static_cast<std::int64_t>(t * 1'000'000 / ticksPerMs));
    Report(name + ", confirmations", FileTimes(*file), played);
    const std::vector<std::int64_t> writes = timed->Times();
    if (writes.size() != file->entries.size()) {
        std::fprintf(stderr, "%s: %zu writes\n", name.c_str(), writes.size());
        return false;
    }
    std::vector<std::int64_t> written;
    for (std::size_t i = 0; i < writes.size(); ++i)
        written.push_back(ConfirmationOnIdleBus(writes[i], file->entries[i]));
    Report(name + ", write requests", FileTimes(*file), written);
    return true;
}

// The wake-ups of a thread that does nothing but sleep to each frame's moment, for comparison.
std::vector<std::int64_t> BareSleeps(const trace::TraceFile& file) {
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
    };
    std::vector<std::int64_t> woke;
    woke.reserve(file.entries.size());
    std::thread sleeper([&] {
        const std::int64_t start = now();
        for (const trace::TraceFrame& e : file.entries) {
            const std::int64_t due = start + e.timeNs - file.entries.front().timeNs;
            const timespec until{static_cast<time_t>(due / 1'000'000'000),
                                 static_cast<long>(due % 1'000'000'000)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
            }
            woke.push_back(now());
        }
    });
    sleeper.join();
    return woke;
}

int Measure(const std::string& path, int runs, sim::Scenario scenario) {
    const auto file = Read(path);
    if (!file)
        return 1;
    std::printf("%zu frames, simulated adapter at %u bit/s, scenario %s, PeliCAN\n",
                file->entries.size(), kBaudrate, sim::ScenarioName(scenario));
    PrintHeader();
    for (int run = 1; run <= runs; ++run) {
        const std::string name = "run " + std::to_string(run);
        if (!MeasureOnce(file, scenario, name))
            return 1;
        Report(name + ", bare sleeps", FileTimes(*file), BareSleeps(*file));
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: play_bench write FILE [FRAMES]\n"
                 "       play_bench measure [FILE [RUNS [SCENARIO]]]\n"
                 "       play_bench compare FILE [NAME=]DUMP...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args.size() <= 3 && args[0] == "write") {
        const int frames = args.size() == 3 ? std::atoi(args[2].c_str()) : kDefaultFrames;
        if (frames < 2 || !WriteFile(args[1], GenerateTrace(frames))) {
            std::fprintf(stderr, "%s not written\n", args[1].c_str());
            return 1;
        }
        return 0;
    }
    if (args.size() >= 3 && args[0] == "compare")
        return Compare(args[1], std::vector(args.begin() + 2, args.end()));
    if (!args.empty() && args.size() <= 4 && args[0] == "measure") {
        const int runs = args.size() >= 3 ? std::atoi(args[2].c_str()) : 3;
        const auto scenario =
            args.size() == 4 ? sim::ParseScenario(args[3]) : std::optional(sim::Scenario::kQuiet);
        if (runs < 1 || !scenario)
            return Usage();
        if (args.size() >= 2)
            return Measure(args[1], runs, *scenario);
        // The generated trace, through a file so that it is read as any trace is.
        const std::string path = "/tmp/play_bench_" + std::to_string(getpid()) + ".log";
        if (!WriteFile(path, GenerateTrace(kDefaultFrames))) {
            std::fprintf(stderr, "%s not written\n", path.c_str());
            return 1;
        }
        const int result = Measure(path, runs, *scenario);
        std::remove(path.c_str());
        return result;
    }
    return Usage();
}
