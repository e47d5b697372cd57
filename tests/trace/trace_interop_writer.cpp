// Writes a candump log and an ASC trace of the same events through the recorder, and beside them
// what a reader must find in each: the input of trace_interop.py, which runs the real tools.
//
// Usage: trace_interop_writer FOLDER
// Files: FOLDER/trace.log, FOLDER/trace.asc, FOLDER/expected-log.txt, FOLDER/expected-asc.txt.
// Expected lines: "F TIME_US ID EXT RTR DLC DATA RX" for a frame (DATA "-" when empty) and
// "E TIME_US CLASSES DATA" for an error frame (in the ASC only bus errors are error frames).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "channel/device_protocol.h"
#include "devices/common/sja1000_status.h"
#include "trace/trace_recorder.h"

namespace {

constexpr std::int64_t kStartNs = 1'700'000'000'123'456'789;  // not on a millisecond

struct Event {
    CanMsg msg;
    std::int64_t timeNs;
};

CanMsg Frame(std::int32_t type, std::uint32_t id, int rtr, int dlc,
             std::vector<std::uint8_t> data = {}, int lost = 0) {
    CanMsg m{};
    m.type = type;
    m.id = id;
    m.rtr = static_cast<std::uint8_t>(rtr);
    m.dlc = static_cast<std::uint8_t>(dlc);
    m.lost = lost;
    for (std::size_t i = 0; i < data.size() && i < 8; ++i)
        m.data[i] = data[i];
    return m;
}

CanMsg BusEvent(std::int32_t type, std::uint8_t status) {
    CanMsg m{};
    m.type = type;
    m.status = status;
    return m;
}

bool Extended(const CanMsg& m) {
    return m.type == CAN_EV_RX_EXT || m.type == CAN_EV_TX_EXT ||
           ((m.type == CAN_EV_RX || m.type == CAN_EV_TX) && m.id > 0x7FF);
}

bool Received(const CanMsg& m) {
    return m.type == CAN_EV_RX || m.type == CAN_EV_RX_STD || m.type == CAN_EV_RX_EXT;
}

void PutFrame(FILE* f, std::int64_t us, const CanMsg& m) {
    std::fprintf(f, "F %lld %X %d %d %d ", static_cast<long long>(us), m.id, Extended(m) ? 1 : 0,
                 m.rtr ? 1 : 0, m.dlc);
    if (m.rtr || m.dlc == 0)
        std::fputs("-", f);
    for (int i = 0; !m.rtr && i < m.dlc; ++i)
        std::fprintf(f, "%02X", m.data[i]);
    std::fprintf(f, " %d\n", Received(m) ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    namespace sr = devices::sja1000;

    std::vector<Event> events;
    std::int64_t t = kStartNs + 2'000'000;
    auto add = [&](CanMsg m) {
        events.push_back({m, t});
        t += 137'913;  // odd steps, so that every microsecond digit is exercised
    };
    add(Frame(CAN_EV_RX_STD, 0x123, 0, 8, {0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB, 0xCC, 0xDD}));
    add(Frame(CAN_EV_TX_EXT, 0x18FEF100, 0, 3, {0x01, 0xFE, 0x7F}));
    add(Frame(CAN_EV_RX_STD, 0x7FF, 1, 0));
    add(Frame(CAN_EV_RX_EXT, 0x1FFFFFFF, 1, 4));
    add(Frame(CAN_EV_TX_STD, 0x000, 0, 0));
    add(Frame(CAN_EV_RX, 0x0AB, 0, 2, {0xDE, 0xAD}, 2));  // lost 2 before it
    add(Frame(CAN_EV_RX, 0x0ABCDE, 0, 1, {0x5A}));        // no format bit, needs 29 bits
    add(BusEvent(CAN_EV_BUS_ERROR, sr::kSrTransmitting));
    add(BusEvent(CAN_EV_WARNING, sr::kSrErrorStatus | sr::kSrReceiving));
    add(BusEvent(CAN_EV_ARBITRATION, sr::kSrReceiving));
    add(BusEvent(CAN_EV_OVERRUN, sr::kSrDataOverrun));
    // A deterministic mix of standard, extended and remote frames in both directions.
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int i = 0; i < 500; ++i) {
        const bool ext = next() % 2 != 0;
        const bool rx = next() % 4 != 0;
        const int rtr = next() % 8 == 0 ? 1 : 0;
        const int dlc = static_cast<int>(next() % 9);
        std::vector<std::uint8_t> data;
        for (int b = 0; b < dlc; ++b)
            data.push_back(static_cast<std::uint8_t>(next()));
        const std::uint32_t id = ext ? next() & 0x1FFFFFFF : next() & 0x7FF;
        add(Frame(
            rx ? (ext ? CAN_EV_RX_EXT : CAN_EV_RX_STD) : (ext ? CAN_EV_TX_EXT : CAN_EV_TX_STD), id,
            rtr, dlc, data));
    }

    for (const char* ext : {"log", "asc"}) {
        const bool asc = std::string(ext) == "asc";
        trace::RecorderOptions options;
        options.path = folder + "/trace." + ext;
        options.interfaceName = "vesk0";
        options.bitrate = 500000;
        options.startNs = kStartNs;
        std::string error;
        auto recorder = trace::TraceRecorder::Start(options, error);
        if (!recorder) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        FILE* expected = std::fopen((folder + "/expected-" + ext + ".txt").c_str(), "w");
        if (expected == nullptr)
            return 1;
        for (const Event& e : events) {
            if (!recorder->Push(e.msg, e.timeNs)) {
                std::fprintf(stderr, "event dropped\n");
                return 1;
            }
            const std::int64_t us = e.timeNs / 1000;
            const CanMsg& m = e.msg;
            if (m.type >= CAN_EV_BUS_ERROR && m.type <= CAN_EV_ARBITRATION) {
                if (m.type == CAN_EV_BUS_ERROR) {
                    std::fprintf(expected, "E %lld 20000088 %s\n", static_cast<long long>(us),
                                 asc ? "-" : "0000800000000000");
                } else if (!asc) {
                    const char* line = m.type == CAN_EV_WARNING       ? "20000004 0004000000000000"
                                       : m.type == CAN_EV_ARBITRATION ? "20000002 0000000000000000"
                                                                      : "20000004 0001000000000000";
                    std::fprintf(expected, "E %lld %s\n", static_cast<long long>(us), line);
                }
                continue;
            }
            if (m.lost > 0 && !asc) {
                std::fprintf(expected, "E %lld 20000004 0001000000000000\n",
                             static_cast<long long>(us));
            }
            PutFrame(expected, us, m);
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
