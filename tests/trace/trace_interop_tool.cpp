// The C++ side of trace_interop.py, which runs the real tools.
//
// trace_interop_tool write FOLDER: writes a candump log and an ASC trace of the same events
// through the recorder, FOLDER/trace.{log,asc}, and beside them what a reader must find in each,
// FOLDER/expected-{log,asc}.txt.
// trace_interop_tool read FILE: prints what ReadTrace finds in FILE (exit status 1 and the error
// text when it cannot be read).
// trace_interop_tool play FILE: prints the frames of FILE as the replay adapter puts them on its
// bus ("B ID EXT RTR DLC DATA"), then as the player sends them on the simulated adapter ("P …"),
// both on the hand-driven clock.
// One entry a line: "F TIME_US ID EXT RTR DLC DATA TX" for a frame (DATA "-" when empty),
// "E TIME_US BusError" for a bus error and "E TIME_US KIND" for other bus events ReadTrace finds;
// in the expected log "C …" like F for an error frame python-can keeps as a frame.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "can/sja1000_status.h"
#include "channel/can_channel.h"
#include "channel/device_protocol.h"
#include "devices/replay/replay_adapter.h"
#include "devices/sim/sim_driver.h"
#include "monitor/trace_player.h"
#include "tests/devices/sim/device_requests.h"
#include "tests/support/test_record.h"
#include "trace/trace_reader.h"
#include "trace/trace_recorder.h"

namespace {

CanMsg Msg(std::int32_t type, std::uint32_t id, int rtr = 0, std::vector<std::uint8_t> data = {},
           int dlc = -1, std::uint8_t status = 0, int lost = 0) {
    const int code = dlc < 0 ? static_cast<int>(data.size()) : dlc;
    return testsupport::TraceRecord(type, id, rtr, code, std::move(data), status, lost);
}

std::string FrameLine(long long us, std::uint32_t id, bool ext, bool rtr, int dlc,
                      const std::uint8_t* data, int length, bool tx) {
    char line[96];
    int n = std::snprintf(line, sizeof line, "F %lld %X %d %d %d %s", us, id, ext, rtr, dlc,
                          length == 0 ? "-" : "");
    for (int i = 0; i < length; ++i)
        n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", data[i]);
    std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), " %d\n", tx);
    return line;
}

// The expected entries of one event. In the log a lost record or a bus event other than a bus
// error is an error frame python-can keeps as a frame; the ASC writes those as status lines, which
// python-can skips.
std::string Expected(const CanMsg& m, long long us, bool asc) {
    char line[64];
    if (m.type == CAN_EV_BUS_ERROR) {
        std::snprintf(line, sizeof line, "E %lld BusError\n", us);
        return line;
    }
    const bool event = m.type > CAN_EV_BUS_ERROR && m.type <= CAN_EV_ARBITRATION;
    std::string text;
    if ((event || m.lost > 0) && !asc) {
        std::snprintf(line, sizeof line, "C %lld %s 1 0 8 %s 0\n", us,
                      m.type == CAN_EV_ARBITRATION ? "2" : "4",
                      m.type == CAN_EV_WARNING       ? "0004000000000000"
                      : m.type == CAN_EV_ARBITRATION ? "0000000000000000"
                                                     : "0001000000000000");
        text = line;
    }
    if (event)
        return text;
    const bool tx = m.type == CAN_EV_TX || m.type == CAN_EV_TX_STD || m.type == CAN_EV_TX_EXT;
    const bool ext = m.type == CAN_EV_RX_EXT || m.type == CAN_EV_TX_EXT || m.id > 0x7FF;
    return text + FrameLine(us, m.id, ext, m.rtr, m.dlc, m.data, m.rtr ? 0 : m.dlc, tx);
}

int Read(const char* path) {
    std::string error;
    const auto file = trace::ReadTrace(path, error);
    if (!file) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    static const char* const kKinds[] = {"Frame",   "BusError",    "Overrun", "Warning",
                                         "Passive", "Arbitration", "BusOff",  "Active"};
    for (const trace::TraceFrame& e : file->entries) {
        const long long us = e.timeNs / 1000;
        if (e.kind == trace::TraceFrame::Kind::kFrame) {
            std::fputs(FrameLine(us, e.id, e.extended, e.rtr, e.dlc, e.data.data(), e.length,
                                 e.transmitted)
                           .c_str(),
                       stdout);
        } else {
            std::printf("E %lld %s\n", us, kKinds[static_cast<int>(e.kind)]);
        }
    }
    return 0;
}

void PrintFrames(char tag, const std::vector<can::Frame>& frames) {
    for (const can::Frame& f : frames) {
        std::string line =
            FrameLine(0, f.id, f.extended, f.rtr, f.dlc, f.data.data(), f.DataBytes(), false);
        // Without the time and the direction, which neither keeps.
        line = line.substr(line.find(' ', 2) + 1);
        std::printf("%c %s\n", tag, line.substr(0, line.rfind(' ')).c_str());
    }
}

// Runs the hand-driven bus until nothing more is due.
void RunOut(sim::SimDriver& bus) {
    for (sim::Nanos next = bus.NextEventTime(); next != sim::kNever; next = bus.NextEventTime())
        bus.AdvanceTo(next);
}

int Play(const char* path) {
    constexpr std::uint32_t kBaud = 1000000;  // so that the files' spacing mostly keeps
    {
        const char* const kPath = "\\\\.\\InteropReplay";
        sim::SimDriver bus(replay::ReplayOptions(path, false));
        bus.Register(kPath);
        simtest::OpenDevice device(kPath);
        if (!device.IsOpen() || device.SetBaudrate(kBaud) != 0) {
            std::fprintf(stderr, "replay open failed: %d\n", device.OpenError());
            return 1;
        }
        platform::FindDevice(kPath)->Configured();  // the file plays once the rate is set
        RunOut(bus);
        std::vector<can::Frame> frames;
        for (const sim::BusTraffic& t : bus.TakeBusTraffic())
            frames.push_back(t.frame);
        PrintFrames('B', frames);
        device.Close();
        platform::UnregisterDevice(kPath);
    }
    std::string error;
    auto file = trace::ReadTrace(path, error);
    if (!file) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const char* const kPath = "\\\\.\\InteropPlay";
    sim::SimDriver bus(sim::Scenario::kQuiet);
    bus.Register(kPath);
    TracePlayer player;
    // The confirmations reach the player as the session hands them on.
    CanChannel* channel = CanCreateChannel(nullptr, &player, nullptr);
    channel->tap = [](CanChannel* c, double, const CanMsg* m) {
        static_cast<TracePlayer*>(c->owner)->OnTransmitted(*m);
    };
    int code = 0;
    if (CanOpen(channel, kPath, CAN_MODE_PELICAN, 0, &code) != 1 ||
        CanSetBaudrate(channel, kBaud) != 1) {
        std::fprintf(stderr, "channel open failed: %d\n", code);
        return 1;
    }
    std::vector<can::Frame> sent;
    {
        player.Start(channel, std::make_shared<const trace::TraceFile>(std::move(*file)), 1);
        // The player keeps the real clock; the bus follows by hand, far ahead of it.
        while (player.Running()) {
            bus.Advance(sim::kMillisecond);
            for (const can::Frame& f : bus.TakeTransmitted())
                sent.push_back(f);
            std::this_thread::yield();
        }
        error = player.TakeFailure();
    }
    RunOut(bus);
    for (const can::Frame& f : bus.TakeTransmitted())
        sent.push_back(f);
    CanClose(channel);
    CanDestroyChannel(channel);
    platform::UnregisterDevice(kPath);
    PrintFrames('P', sent);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 3 ? argv[1] : "";
    if (command != "write" && command != "read" && command != "play") {
        std::fprintf(stderr, "usage: %s write FOLDER | read FILE | play FILE\n", argv[0]);
        return 2;
    }
    if (command == "read")
        return Read(argv[2]);
    if (command == "play")
        return Play(argv[2]);
    namespace sr = can::sja1000;
    constexpr std::int64_t kStartNs = 1'700'000'000'123'456'789;  // not on a millisecond
    std::vector<CanMsg> events = {
        Msg(CAN_EV_RX_STD, 0x123, 0, {0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB, 0xCC, 0xDD}),
        Msg(CAN_EV_TX_EXT, 0x18FEF100, 0, {0x01, 0xFE, 0x7F}),
        Msg(CAN_EV_RX_STD, 0x7FF, 1),
        Msg(CAN_EV_RX_EXT, 0x1FFFFFFF, 1, {}, 4),
        Msg(CAN_EV_TX_STD, 0x000),
        Msg(CAN_EV_RX, 0x0AB, 0, {0xDE, 0xAD}, -1, 0, 2),  // lost 2 before it
        Msg(CAN_EV_RX, 0x0ABCDE, 0, {0x5A}),               // no format bit, needs 29 bits
        Msg(CAN_EV_BUS_ERROR, 0, 0, {}, 0, sr::kSrTransmitting),
        Msg(CAN_EV_WARNING, 0, 0, {}, 0, sr::kSrErrorStatus | sr::kSrReceiving),
        Msg(CAN_EV_ARBITRATION, 0, 0, {}, 0, sr::kSrReceiving),
        Msg(CAN_EV_OVERRUN, 0, 0, {}, 0, sr::kSrDataOverrun),
    };
    // A deterministic mix of standard, extended and remote frames in both directions.
    std::uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 500; ++i) {
        const bool ext = next() % 2 != 0;
        const bool rx = next() % 4 != 0;
        const int rtr = next() % 8 == 0 ? 1 : 0;
        std::vector<std::uint8_t> data(next() % 9);
        for (std::uint8_t& b : data)
            b = static_cast<std::uint8_t>(next());
        const std::uint32_t id = next() & (ext ? 0x1FFFFFFF : 0x7FF);
        events.push_back(
            Msg(rx ? (ext ? CAN_EV_RX_EXT : CAN_EV_RX_STD) : (ext ? CAN_EV_TX_EXT : CAN_EV_TX_STD),
                id, rtr, data));
    }

    for (const std::string ext : {"log", "asc"}) {
        trace::RecorderOptions options;
        options.path = std::string(argv[2]) + "/trace." + ext;
        options.interfaceName = "vesk0";
        options.bitrate = 500000;
        options.startNs = kStartNs;
        std::string error;
        auto recorder = trace::TraceRecorder::Start(options, error);
        FILE* expected =
            std::fopen((std::string(argv[2]) + "/expected-" + ext + ".txt").c_str(), "w");
        if (!recorder || expected == nullptr) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::int64_t t = kStartNs + 2'000'000;
        for (const CanMsg& m : events) {
            if (!recorder->Push(m, t))
                return 1;
            std::fputs(Expected(m, t / 1000, ext == "asc").c_str(), expected);
            t += 137'913;  // odd steps, so that every microsecond digit is exercised
        }
        std::fclose(expected);
        recorder->Stop();
        if (recorder->Failed() || recorder->EventsWritten() != events.size()) {
            std::fprintf(stderr, "recording incomplete: %s\n", recorder->FailureText().c_str());
            return 1;
        }
    }
    return 0;
}
