#include "trace/trace_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "can/sja1000_status.h"
#include "tests/support/environment.h"
#include "tests/support/test_record.h"
#include "trace/trace_format.h"

namespace {

using testsupport::TraceRecord;

using trace::TraceFormat;
using trace::TraceLines;
namespace sr = can::sja1000;

constexpr std::int64_t kStartNs = 1'700'000'000'123'456'789;  // 2023-11-14 22:13:20.123 UTC

CanMsg Formatted(CanMsg m, std::uint8_t format) {
    m.format = format;
    return m;
}

std::string EventText(TraceLines& lines, const CanMsg& m, std::int64_t timeNs,
                      std::uint32_t bitrate = 0) {
    char buffer[trace::kTraceLinesCapacity];
    const std::size_t n = lines.Event(m, timeNs, bitrate, buffer, sizeof buffer);
    EXPECT_LT(n, sizeof buffer);
    return std::string(buffer, n);
}

TEST(TraceFormatTest, ExtensionChoosesTheFormatAndRefusesOthers) {
    struct Case {
        const char* path;
        std::optional<TraceFormat> format;
    };
    const Case cases[] = {
        {"/tmp/bus.log", TraceFormat::kCandumpLog},
        {"bus.LOG", TraceFormat::kCandumpLog},
        {"/tmp/bus.asc", TraceFormat::kAsc},
        {"Bus.Asc", TraceFormat::kAsc},
        {"/tmp/bus.txt", std::nullopt},
        {"/tmp/bus", std::nullopt},
        {"/tmp/bus.log.gz", std::nullopt},
        {"/tmp/.log", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(trace::FormatForPath(c.path, error), c.format) << c.path;
        if (c.format) {
            EXPECT_TRUE(error.empty()) << c.path;
        } else {
            EXPECT_NE(error.find("(*.log)"), std::string::npos) << error;
            EXPECT_NE(error.find("(*.asc)"), std::string::npos) << error;
        }
    }
}

TEST(TraceLinesTest, CandumpLogLines) {
    const std::int64_t t = 1'700'000'001'000'001'999;  // microseconds are cut, not rounded
    struct Case {
        CanMsg msg;
        const char* line;
    };
    const Case cases[] = {
        {TraceRecord(CAN_EV_RX_STD, 0x123, 0, 8, {0x11, 0x22, 0x33, 0x44, 0xaa, 0xbb, 0xcc, 0xdd}),
         "(1700000001.000001) vcan0 123#11223344AABBCCDD R\n"},
        {TraceRecord(CAN_EV_TX_EXT, 0x18fef100, 0, 3, {0x01, 0xfe, 0x7f}),
         "(1700000001.000001) vcan0 18FEF100#01FE7F T\n"},
        {TraceRecord(CAN_EV_TX_EXT, 0x5, 0, 0), "(1700000001.000001) vcan0 00000005# T\n"},
        {TraceRecord(CAN_EV_RX_STD, 0x7ff, 1, 0), "(1700000001.000001) vcan0 7FF#R R\n"},
        {TraceRecord(CAN_EV_RX_STD, 0x7ff, 1, 5), "(1700000001.000001) vcan0 7FF#R5 R\n"},
        {TraceRecord(CAN_EV_RX_STD, 0x7ff, 1, 13), "(1700000001.000001) vcan0 7FF#R8_D R\n"},
        // Codes 9..15 carry 8 bytes; above 15 nothing the bus could carry: 8 bytes, code 8.
        {TraceRecord(CAN_EV_RX_STD, 0x1, 0, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
         "(1700000001.000001) vcan0 001#0102030405060708_C R\n"},
        {TraceRecord(CAN_EV_TX_STD, 0x1, 0, 200, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
         "(1700000001.000001) vcan0 001#0102030405060708 T\n"},
        // Without a format bit the identifier decides; with one the identifier is cut to it.
        {TraceRecord(CAN_EV_RX, 0x7ff, 0, 0), "(1700000001.000001) vcan0 7FF# R\n"},
        {TraceRecord(CAN_EV_TX, 0x800, 0, 0), "(1700000001.000001) vcan0 00000800# T\n"},
        {TraceRecord(CAN_EV_RX_STD, 0xfffff123, 0, 0), "(1700000001.000001) vcan0 123# R\n"},
        {TraceRecord(CAN_EV_RX_EXT, 0xffffffff, 0, 0), "(1700000001.000001) vcan0 1FFFFFFF# R\n"},
        // Format reporting off: the record's own format byte, not the identifier's value.
        {Formatted(TraceRecord(CAN_EV_RX, 0x123, 0, 1, {0x11}), CAN_RECORD_FORMAT_EXT),
         "(1700000001.000001) vcan0 00000123#11 R\n"},
        {Formatted(TraceRecord(CAN_EV_TX, 0x7ff, 0, 0), CAN_RECORD_FORMAT_EXT),
         "(1700000001.000001) vcan0 000007FF# T\n"},
        // Lost frames: an RX overflow error frame just before the frame that reports them.
        {TraceRecord(CAN_EV_RX, 0x10, 0, 1, {0xab}, 0, 3),
         "(1700000001.000001) vcan0 20000004#0001000000000000 R\n"
         "(1700000001.000001) vcan0 010#AB R\n"},
        {TraceRecord(CAN_EV_BUS_ERROR, 0, 0, 0, {}, sr::kSrTransmitting),
         "(1700000001.000001) vcan0 20000088#0000800000000000 R\n"},
        {TraceRecord(CAN_EV_BUS_ERROR, 0, 0, 0, {}, sr::kSrReceiving),
         "(1700000001.000001) vcan0 20000088#0000000000000000 R\n"},
        {TraceRecord(CAN_EV_OVERRUN, 0, 0, 0, {}, sr::kSrDataOverrun),
         "(1700000001.000001) vcan0 20000004#0001000000000000 R\n"},
        {TraceRecord(CAN_EV_OVERRUN, 0, 0, 0, {}, sr::kSrTransmitting),
         "(1700000001.000001) vcan0 20000004#0002000000000000 R\n"},
        {TraceRecord(CAN_EV_ARBITRATION, 0, 0, 0, {}, sr::kSrReceiving),
         "(1700000001.000001) vcan0 20000002#0000000000000000 R\n"},
        {TraceRecord(CAN_EV_WAKE_UP), ""},
        {TraceRecord(1), ""},
        {TraceRecord(10), ""},
    };
    for (const Case& c : cases) {
        TraceLines lines(TraceFormat::kCandumpLog, "vcan0", kStartNs);
        EXPECT_EQ(EventText(lines, c.msg, t), c.line) << "type " << c.msg.type;
    }
}

TEST(TraceLinesTest, CandumpTimesAndInterfaceNames) {
    struct Case {
        const char* name;
        std::int64_t timeNs;
        const char* line;
    };
    const Case cases[] = {
        {"can0", 0, "(0000000000.000000) can0 001# R\n"},
        {"can0", 999, "(0000000000.000000) can0 001# R\n"},
        {"can0", 1'000, "(0000000000.000001) can0 001# R\n"},
        {"can0", 12'345'678'999'999, "(0000012345.678999) can0 001# R\n"},
        {"can0", -5, "(0000000000.000000) can0 001# R\n"},
        {"", 0, "(0000000000.000000) vesk0 001# R\n"},
        {"my bus\t1", 0, "(0000000000.000000) my_bus_1 001# R\n"},
    };
    for (const Case& c : cases) {
        TraceLines lines(TraceFormat::kCandumpLog, c.name, 0);
        EXPECT_EQ(EventText(lines, TraceRecord(CAN_EV_RX_STD, 1), c.timeNs), c.line);
    }
}

TEST(TraceLinesTest, AscLines) {
    // Times count from the start cut to its millisecond (…20.123), the header's precision.
    const std::int64_t t = kStartNs + 1'234'567'890;  // 1.235024 s after …20.123
    struct Case {
        CanMsg msg;
        std::uint32_t bitrate;
        const char* line;
    };
    const Case cases[] = {
        // std 0x123, 8 bytes of 0x55: 108 bits and 1 stuff bit.
        {TraceRecord(CAN_EV_RX_STD, 0x123, 0, 8, std::vector<std::uint8_t>(8, 0x55)), 125000,
         "   1.235024 1  123             Rx   d 8 55 55 55 55 55 55 55 55  Length = 872000 "
         "BitCount = 109 ID = 291\n"},
        // std 0x000, 8 bytes of 0: 16 stuff bits.
        {TraceRecord(CAN_EV_TX_STD, 0x0, 0, 8, std::vector<std::uint8_t>(8, 0)), 1000000,
         "   1.235024 1  0               Tx   d 8 00 00 00 00 00 00 00 00  Length = 124000 "
         "BitCount = 124 ID = 0\n"},
        {TraceRecord(CAN_EV_RX_EXT, 0x1fffffff, 1, 0), 500000,
         "   1.235024 1  1FFFFFFFx       Rx   r 0  Length = 142000 BitCount = 71 ID = "
         "536870911x\n"},
        {TraceRecord(CAN_EV_RX_EXT, 0x18fef100, 0, 8, std::vector<std::uint8_t>(8, 0x55)), 0,
         "   1.235024 1  18FEF100x       Rx   d 8 55 55 55 55 55 55 55 55  Length = 0 "
         "BitCount = 132 ID = 419361024x\n"},
        {TraceRecord(CAN_EV_RX_STD, 0x1, 0, 15, std::vector<std::uint8_t>(10, 0xa5)), 0,
         "   1.235024 1  1               Rx   d F A5 A5 A5 A5 A5 A5 A5 A5  Length = 0 "
         "BitCount = 113 ID = 1\n"},
        {Formatted(TraceRecord(CAN_EV_RX, 0x100, 0, 0), CAN_RECORD_FORMAT_EXT), 500000,
         "   1.235024 1  100x            Rx   d 0  Length = 142000 BitCount = 71 ID = 256x\n"},
        {TraceRecord(CAN_EV_RX, 0x10, 0, 1, {0xab}, 0, 3), 0,
         "   1.235024 CAN 1 Status:data overrun - 3 frames lost\n"
         "   1.235024 1  10              Rx   d 1 AB  Length = 0 BitCount = 55 ID = 16\n"},
        {TraceRecord(CAN_EV_BUS_ERROR, 0, 0, 0, {}, sr::kSrTransmitting), 0,
         "   1.235024 1  ErrorFrame\n"},
        {TraceRecord(CAN_EV_OVERRUN, 0, 0, 0, {}, sr::kSrDataOverrun), 0,
         "   1.235024 CAN 1 Status:data overrun\n"},
        {TraceRecord(CAN_EV_ARBITRATION), 0, "   1.235024 CAN 1 Status:arbitration lost\n"},
        {TraceRecord(CAN_EV_WARNING, 0, 0, 0, {}, sr::kSrErrorStatus), 0,
         "   1.235024 CAN 1 Status:chip status warning level\n"},
        {TraceRecord(CAN_EV_WAKE_UP), 0, ""},
    };
    for (const Case& c : cases) {
        TraceLines lines(TraceFormat::kAsc, "vcan0", kStartNs);
        EXPECT_EQ(EventText(lines, c.msg, t, c.bitrate), c.line) << "type " << c.msg.type;
    }
    TraceLines lines(TraceFormat::kAsc, "vcan0", kStartNs);
    EXPECT_EQ(EventText(lines, TraceRecord(CAN_EV_RX_STD, 1), kStartNs - 1'000'000),
              "   0.000000 1  1               Rx   d 0  Length = 0 BitCount = 47 ID = 1\n");
    EXPECT_EQ(EventText(lines, TraceRecord(CAN_EV_RX_STD, 1), kStartNs + 12345'000'000'000),
              "12345.000456 1  1               Rx   d 0  Length = 0 BitCount = 47 ID = 1\n");
}

// The state a sequence of bus events leaves, as the controller's interrupts report it: the
// status byte tells active, warning and bus-off apart, the error-passive event's own transition
// tells passive from warning.
TEST(TraceLinesTest, ControllerStateFromBusEvents) {
    const std::uint8_t es = sr::kSrErrorStatus;
    const std::uint8_t bs = sr::kSrBusOff | sr::kSrErrorStatus;
    const std::uint8_t tx = sr::kSrTransmitting;
    struct Step {
        std::int32_t type;
        std::uint8_t status;
        const char* logData;  // identifier and data of the log's error frame
        const char* ascState;
    };
    const Step steps[] = {
        {CAN_EV_WARNING, es | tx, "20000004#0008000000000000", "warning level"},
        {CAN_EV_PASSIVE, es | tx, "20000004#0020000000000000", "error passive"},
        {CAN_EV_BUS_ERROR, es | tx, "20000088#0000800000000000", nullptr},
        {CAN_EV_WARNING, bs, "20000040#0000000000000000", "bus off"},
        {CAN_EV_WARNING, 0, "20000104#0040000000000000", "error active"},
        {CAN_EV_PASSIVE, 0, "20000004#0040000000000000", "error active"},
        {CAN_EV_WARNING, es, "20000004#0004000000000000", "warning level"},
        {CAN_EV_PASSIVE, es, "20000004#0010000000000000", "error passive"},
        {CAN_EV_PASSIVE, es, "20000004#0004000000000000", "warning level"},
        {CAN_EV_WARNING, 0, "20000004#0040000000000000", "error active"},
    };
    TraceLines log(TraceFormat::kCandumpLog, "can0", 0);
    TraceLines asc(TraceFormat::kAsc, "can0", 0);
    int i = 0;
    for (const Step& s : steps) {
        const CanMsg m = TraceRecord(s.type, 0, 0, 0, {}, s.status);
        EXPECT_EQ(EventText(log, m, 0),
                  std::string("(0000000000.000000) can0 ") + s.logData + " R\n")
            << "step " << i;
        if (s.ascState) {
            EXPECT_EQ(EventText(asc, m, 0),
                      std::string("   0.000000 CAN 1 Status:chip status ") + s.ascState + "\n")
                << "step " << i;
        } else {
            EventText(asc, m, 0);
        }
        ++i;
    }
}

TEST(TraceLinesTest, HeaderMarkerAndFooter) {
    testsupport::SetVariable("TZ", "UTC");
#if defined(_WIN32)
    _tzset();
#else
    tzset();
#endif
    char buffer[trace::kTraceLinesCapacity];
    TraceLines asc(TraceFormat::kAsc, "can0", kStartNs);
    std::size_t n = asc.Header(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n),
              "date Tue Nov 14 10:13:20.123 pm 2023\n"
              "base hex  timestamps absolute\n"
              "internal events logged\n"
              "Begin Triggerblock Tue Nov 14 10:13:20.123 pm 2023\n"
              "   0.000000 Start of measurement\n");
    TraceLines midnight(TraceFormat::kAsc, "can0", 1'704'067'200'000'000'000);  // 2024-01-01
    n = midnight.Header(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, std::string_view(buffer, n).find('\n')),
              "date Mon Jan 01 12:00:00.000 am 2024");
    n = asc.LostMarker(kStartNs + 2'000'000'000, 1, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "   2.000456 CAN 1 Status:data overrun - 1 frame lost\n");
    n = asc.Footer(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "End TriggerBlock\n");

    TraceLines log(TraceFormat::kCandumpLog, "can0", kStartNs);
    EXPECT_EQ(log.Header(buffer, sizeof buffer), 0u);
    EXPECT_EQ(log.Footer(buffer, sizeof buffer), 0u);
    n = log.LostMarker(2'000'000'000, 7, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), "(0000000002.000000) can0 20000004#0001000000000000 R\n");
}

TEST(TraceLinesTest, ShortBufferIsCutLikeSnprintf) {
    TraceLines log(TraceFormat::kCandumpLog, "can0", 0);
    char buffer[8];
    const std::size_t n = log.Event(TraceRecord(CAN_EV_RX_STD, 1), 0, 0, buffer, sizeof buffer);
    EXPECT_EQ(n, std::string("(0000000000.000000) can0 001# R\n").size());
    EXPECT_STREQ(buffer, "(000000");
}

}  // namespace
