// Writes a candump log and an ASC trace of the same events through the recorder, and beside them
// what a reader must find in each: the input of trace_interop.py, which runs the real tools.
//
// Usage: trace_interop_writer FOLDER
// Files: FOLDER/trace.{log,asc} and FOLDER/expected-{log,asc}.txt, one entry a line:
// "F TIME_US ID EXT RTR DLC DATA TX" for a frame (DATA "-" when empty), "E TIME_US BusError" for a
// bus error and, in the log only, "C …" like F for any other error frame.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "channel/device_protocol.h"
#include "devices/common/sja1000_status.h"
#include "trace/trace_recorder.h"

namespace {

CanMsg Msg(std::int32_t type, std::uint32_t id, int rtr = 0, std::vector<std::uint8_t> data = {},
           int dlc = -1, std::uint8_t status = 0, int lost = 0) {
    CanMsg m{};
    m.type = type;
    m.id = id;
    m.rtr = static_cast<std::uint8_t>(rtr);
    m.dlc = static_cast<std::uint8_t>(dlc < 0 ? static_cast<int>(data.size()) : dlc);
    m.status = status;
    m.lost = lost;
    for (std::size_t i = 0; i < data.size(); ++i)
        m.data[i] = data[i];
    return m;
}

// The expected entries of one event; classes are the log's error frame for a bus event.
std::string Expected(const CanMsg& m, long long us, bool asc) {
    char line[96];
    const char* classes = m.type == CAN_EV_WARNING       ? "0004000000000000"
                          : m.type == CAN_EV_ARBITRATION ? "0000000000000000"
                                                         : "0001000000000000";
    const char* classId = m.type == CAN_EV_ARBITRATION ? "2" : "4";
    if (m.type == CAN_EV_BUS_ERROR) {
        std::snprintf(line, sizeof line, "E %lld BusError\n", us);
        return line;
    }
    if (m.type > CAN_EV_BUS_ERROR && m.type <= CAN_EV_ARBITRATION) {
        if (asc)
            return "";
        std::snprintf(line, sizeof line, "C %lld %s 1 0 8 %s 0\n", us, classId, classes);
        return line;
    }
    std::string text;
    if (m.lost > 0 && !asc) {
        std::snprintf(line, sizeof line, "C %lld 4 1 0 8 0001000000000000 0\n", us);
        text = line;
    }
    const bool tx = m.type == CAN_EV_TX || m.type == CAN_EV_TX_STD || m.type == CAN_EV_TX_EXT;
    const bool ext = m.type == CAN_EV_RX_EXT || m.type == CAN_EV_TX_EXT || m.id > 0x7FF;
    std::snprintf(line, sizeof line, "F %lld %X %d %d %d ", us, m.id, ext, m.rtr, m.dlc);
    text += line;
    text += m.rtr || m.dlc == 0 ? "-" : "";
    for (int i = 0; !m.rtr && i < m.dlc; ++i) {
        std::snprintf(line, sizeof line, "%02X", m.data[i]);
        text += line;
    }
    return text + (tx ? " 1\n" : " 0\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    namespace sr = devices::sja1000;
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
        options.path = std::string(argv[1]) + "/trace." + ext;
        options.interfaceName = "vesk0";
        options.bitrate = 500000;
        options.startNs = kStartNs;
        std::string error;
        auto recorder = trace::TraceRecorder::Start(options, error);
        FILE* expected =
            std::fopen((std::string(argv[1]) + "/expected-" + ext + ".txt").c_str(), "w");
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
