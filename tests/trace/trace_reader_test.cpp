#include "trace/trace_reader.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "can/sja1000_status.h"
#include "channel/device_protocol.h"
#include "tests/support/blocking_call_watchdog.h"
#include "tests/support/test_record.h"
#include "trace/trace_recorder.h"

namespace trace {

bool operator==(const TraceFrame& a, const TraceFrame& b) {
    return std::tie(a.timeNs, a.id, a.extended, a.rtr, a.dlc, a.length, a.data, a.transmitted,
                    a.kind) == std::tie(b.timeNs, b.id, b.extended, b.rtr, b.dlc, b.length, b.data,
                                        b.transmitted, b.kind);
}

void PrintTo(const TraceFrame& f, std::ostream* os) {
    *os << "{t=" << f.timeNs << " kind=" << static_cast<int>(f.kind) << " id=" << std::hex << f.id
        << std::dec << " ext=" << f.extended << " rtr=" << f.rtr << " dlc=" << int{f.dlc}
        << " len=" << int{f.length} << " data=";
    for (int i = 0; i < f.length; ++i)
        *os << std::hex << int{f.data[i]} << std::dec << ' ';
    *os << "tx=" << f.transmitted << "}";
}

}  // namespace trace

namespace {

using testsupport::TraceRecord;

using trace::TraceFrame;
using Kind = TraceFrame::Kind;
namespace sr = can::sja1000;

TraceFrame Frame(std::uint32_t id, bool ext, bool rtr, int dlc, std::vector<std::uint8_t> data,
                 bool tx = false, std::int64_t timeNs = 0) {
    TraceFrame f;
    f.timeNs = timeNs;
    f.id = id;
    f.extended = ext;
    f.rtr = rtr;
    f.dlc = static_cast<std::uint8_t>(dlc);
    f.length = static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size(); ++i)
        f.data[i] = data[i];
    f.transmitted = tx;
    return f;
}

TraceFrame Ev(Kind kind, std::int64_t timeNs = 0, bool tx = false) {
    TraceFrame f;
    f.kind = kind;
    f.timeNs = timeNs;
    f.transmitted = tx;
    return f;
}

std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + "/trace_reader_test_" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A file's text (mostly one line) and what it reads as, or the error it gives in its first line.
struct LineCase {
    const char* line;
    std::vector<TraceFrame> entries;  // ignored when error is set
    const char* error = nullptr;      // a part of the error text
};

void CheckLines(const char* extension, const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        const std::string path = WriteFile(std::string("line.") + extension, c.line);
        std::string error;
        const auto file = trace::ReadTrace(path, error);
        if (c.error == nullptr) {
            ASSERT_TRUE(file.has_value()) << c.line << ": " << error;
            EXPECT_EQ(file->entries, c.entries) << c.line;
            continue;
        }
        EXPECT_FALSE(file.has_value()) << c.line;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(std::string("Zeile 1 „") + c.line + "“"), std::string::npos) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(TraceReaderTest, CandumpLogLines) {
    CheckLines(
        "log",
        {
            {"(1700000000.000001) vcan0 123#11223344AABBCCDD R",
             {Frame(0x123, false, false, 8, {0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB, 0xCC, 0xDD})}},
            {"(1700000000.000001) vcan0 18FEF100#01fe7F T",
             {Frame(0x18FEF100, true, false, 3, {0x01, 0xFE, 0x7F}, true)}},
            {"(1700000000.000001) vcan0 000#", {Frame(0, false, false, 0, {})}},
            {"(1700000000.000001) vcan0 7FF#R", {Frame(0x7FF, false, true, 0, {})}},
            {"(1700000000.000001) vcan0 00000001#R4 T", {Frame(1, true, true, 4, {}, true)}},
            {"(1700000000.000001) vcan0 001#0102030405060708_C R",
             {Frame(1, false, false, 12, {1, 2, 3, 4, 5, 6, 7, 8})}},
            {"(1700000000.000001) vcan0 002#R8_F", {Frame(2, false, true, 15, {})}},
            // candump -l pads shorter interface names; cansend's dots are accepted.
            {"(1700000000.000001)  can0 123#11.22", {Frame(0x123, false, false, 2, {0x11, 0x22})}},
            {"# a comment", {}},
            {"   ", {}},
            // Error frames as vesk, python-can and asc2log write them.
            {"(1.0) vcan0 20000088#0000800000000000 R", {Ev(Kind::kBusError)}},
            {"(1.0) vcan0 20000080#", {Ev(Kind::kBusError)}},
            {"(1.0) vcan0 20000004#0001000000000000 R", {Ev(Kind::kOverrun)}},
            {"(1.0) vcan0 20000004#0002000000000000 R", {Ev(Kind::kOverrun)}},
            {"(1.0) vcan0 20000002#0000000000000000 R", {Ev(Kind::kArbitration)}},
            {"(1.0) vcan0 20000004#0004000000000000 R", {Ev(Kind::kWarning)}},
            {"(1.0) vcan0 20000004#0020000000000000 R", {Ev(Kind::kPassive)}},
            {"(1.0) vcan0 20000040#0000000000000000 R", {Ev(Kind::kBusOff)}},
            {"(1.0) vcan0 20000104#0040000000000000 R", {Ev(Kind::kActive)}},
            {"(1.0) vcan0 2000008C#0010000000000000 R", {Ev(Kind::kBusError), Ev(Kind::kPassive)}},
            {"(1.0) vcan0 20000001#0000000000000000 R", {}},  // transmit timeout: no bus event
            // Times count from the first entry; the transmit timeout makes none, so the frame
            // after it is the zero. CRLF and a last line without its end are read.
            {"(1700000000.400000) vcan0 20000001#0000000000000000\r\n"
             "(1700000000.500000) vcan0 123#11 R\r\n"
             "(1700000001.250001) vcan0 124#22 T\r\n"
             "(1700000001.250001) vcan0 20000080#",
             {Frame(0x123, false, false, 1, {0x11}),
              Frame(0x124, false, false, 1, {0x22}, true, 750'001'000),
              Ev(Kind::kBusError, 750'001'000)}},
            // Malformed.
            {"1700000000.000001 vcan0 123#11", {}, "Zeitstempel"},
            {"(17000x0000.000001) vcan0 123#11", {}, "Zeitstempel"},
            {"(1.0) vcan0", {}, "Rahmen fehlt"},
            {"(1.0) vcan0 12311", {}, "„#“ fehlt"},
            {"(1.0) vcan0 1234#11", {}, "Kennung"},
            {"(1.0) vcan0 800#11", {}, "Kennung"},
            {"(1.0) vcan0 C0000123#11", {}, "Kennung"},
            {"(1.0) vcan0 123#112", {}, "Daten"},
            {"(1.0) vcan0 123#1G", {}, "Daten"},
            {"(1.0) vcan0 123#112233445566778899", {}, "Daten"},
            {"(1.0) vcan0 123#1122_C", {}, "Länge"},
            {"(1.0) vcan0 123#0102030405060708_7", {}, "Länge"},
            {"(1.0) vcan0 123#R9", {}, "Länge"},
            {"(1.0) vcan0 123##311", {}, "CAN-FD"},
            {"(1.0) vcan0 123#11 X", {}, "Richtung"},
            {"(1.0) vcan0 123#11 R more", {}, "unerwarteter Text"},
        });
}

TEST(TraceReaderTest, AscLines) {
    CheckLines(
        "asc",
        {
            {"   1.000000 1  123             Rx   d 8 11 22 33 44 55 66 77 88  Length = 228000 "
             "BitCount = 117 ID = 291",
             {Frame(0x123, false, false, 8, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88})}},
            {"1.0 1  18FEF100x       Tx   d 3 01 fe 7F",
             {Frame(0x18FEF100, true, false, 3, {0x01, 0xFE, 0x7F}, true)}},
            {"1.0 1  0 Rx d 0", {Frame(0, false, false, 0, {})}},
            {"1.0 1  7FF Rx r", {Frame(0x7FF, false, true, 0, {})}},
            {"1.0 1  1FFFFFFFx Tx r 4 ", {Frame(0x1FFFFFFF, true, true, 4, {}, true)}},
            {"1.0 1  100 Rx d C 01 02 03 04 05 06 07 08",
             {Frame(0x100, false, false, 12, {1, 2, 3, 4, 5, 6, 7, 8})}},
            {"1.0 1  ErrorFrame", {Ev(Kind::kBusError)}},
            {"1.0 2  ErrorFrame ECC: 10100010", {Ev(Kind::kBusError)}},
            {"1.0 CAN 1 Status:chip status error active", {Ev(Kind::kActive)}},
            {"1.0 CAN 1 Status:chip status warning level", {Ev(Kind::kWarning)}},
            {"1.0 CAN 1 Status:chip status error passive", {Ev(Kind::kPassive)}},
            {"1.0 CAN 1 Status:chip status bus off", {Ev(Kind::kBusOff)}},
            {"1.0 CAN 1 Status:data overrun - 3 frames lost", {Ev(Kind::kOverrun)}},
            {"1.0 CAN 1 Status:arbitration lost", {Ev(Kind::kArbitration)}},
            // Classic frames in the CANFD layout (log2asc -f): the flags' EDL bit is clear, 0x10
            // marks a remote frame; a symbolic name may follow the identifier.
            {"0.010000 CANFD   1 Rx        123                                   0 0 8  8 11 22 33 "
             "44 55 66 77 88   130000  130        0 0 0 0 0 0",
             {Frame(0x123, false, false, 8, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88})}},
            {"1.0 CANFD 2 Tx 1FFFFFFFx 0 0 3 0 130000 130 10 0 0 0 0 0",
             {Frame(0x1FFFFFFF, true, true, 3, {}, true)}},
            {"1.0 CANFD 1 Rx 7FF EngineData 0 0 c 8 1 2 3 4 5 6 7 8 0 0 0",
             {Frame(0x7FF, false, false, 12, {1, 2, 3, 4, 5, 6, 7, 8})}},
            {"1.0 CANFD 1 Tx ErrorFrame 0 0 0", {Ev(Kind::kBusError, 0, true)}},
            // Lines without a frame or a bus event.
            {"date Tue Nov 14 11:13:20.123 pm 2023", {}},
            {"base hex  timestamps absolute", {}},
            {"internal events logged", {}},
            {"no internal events logged", {}},
            {"// version 9.0.0", {}},
            {"Begin Triggerblock Tue Nov 14 11:13:20.123 pm 2023", {}},
            {"End TriggerBlock", {}},
            {"   0.000000 Start of measurement", {}},
            {"1.0 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%", {}},
            {"1.0 1  123 TxRq d 1 00", {}},
            {"1.0 SV: 1 0 1 ::Engine::Speed = 1200", {}},
            {"base hex  timestamps absolute\n"
             "   0.000000 Start of measurement\n"
             "   2.000100 1  123 Rx d 1 11\n"
             "   2.500000 CAN 1 Status:chip status bus off\n"
             "  10.000000 1  ErrorFrame\n",
             {Frame(0x123, false, false, 1, {0x11}), Ev(Kind::kBusOff, 499'900'000),
              Ev(Kind::kBusError, 7'999'900'000)}},
            // Relative time stamps count from the line before, skipped lines included; base dec
            // gives identifiers, lengths and bytes in decimal.
            {"base dec  timestamps relative\n"
             "0.100000 Start of measurement\n"
             "0.500000 1  291 Rx d 2 17 255\n"
             "0.250000 1  Statistic: D 0 R 0\n"
             "0.125000 1  305419896x Tx d 10 1 2 3 4 5 6 7 8\n",
             {Frame(0x123, false, false, 2, {0x11, 0xFF}),
              Frame(0x12345678, true, false, 10, {1, 2, 3, 4, 5, 6, 7, 8}, true, 375'000'000)}},
            // Malformed.
            {"garbage here", {}, "keine ASC-Zeile"},
            {"1.0.0 1  123 Rx d 1 11", {}, "Zeitstempel"},
            {"1.0", {}, "Ereignis fehlt"},
            {"1.0 1", {}, "Ereignis fehlt"},
            {"1.0 1  800 Rx d 1 11", {}, "Kennung"},
            {"1.0 1  2000000000x Rx d 1 11", {}, "Kennung"},
            {"1.0 1  123 Rx d 8 11 22", {}, "Datenbytes"},
            {"1.0 1  123 Rx d 1 100", {}, "Datenbytes"},
            {"1.0 1  123 Rx d G", {}, "Länge"},
            {"1.0 1  123 Rx q 1", {}, "Rahmentyp"},
            {"1.0 CANFD 1 Rx 123 0 0 8 8 01 02 03 04 05 06 07 08 0 0 1000 0", {}, "CAN-FD"},
            {"1.0 CANFD 1 Rx 123 1 0 8 8 01 02 03 04 05 06 07 08", {}, "CAN-FD"},  // no flags
            {"1.0 CANFD 1 Rx 123 1 0 F 64", {}, "CAN-FD"},
            {"1.0 CANFD 1 Rx 123 0 0 2 1 01 0 0 0", {}, "Datenlänge"},
            {"0.5 1 123 Rz d 1 00", {}, "Richtung"},
            {"0.5 1 ErrorFrameJUNK", {}, "Richtung"},
            {"0.5 1x 123 Rx d 1 00", {}, "unbekanntes Ereignis"},
            {"0.5 hello world", {}, "unbekanntes Ereignis"},
            {"0.5 CAN 1 Status:chip status exploded", {}, "unbekannter Status"},
            {"base oct", {}, "Zahlenbasis"},
            {"base hex timestamps sometimes", {}, "Zeitangabe"},
        });
}

TEST(TraceReaderTest, FilesThatCannotBeReadAndFilesWithNothingToPlay) {
    const std::string special = testing::TempDir() + "/trace_reader_test_";
    for (const char* name : {"fifo.log", "zero.asc", "folder.log"})
        std::filesystem::remove(special + name);
    std::filesystem::create_directory(special + "folder.log");
    const auto tooLong = [](int line, const char* start) {
        return "Zeile " + std::to_string(line) + " „" + start + std::string(100 - 2, 'x') +
               "…“ (länger als 4096 Zeichen)";
    };
    // The error names the file and what failed: the line, not the first one.
    std::vector<std::pair<std::string, std::string>> failures = {
        {testing::TempDir() + "/no-such-trace.log", "no-such-trace.log"},
        {WriteFile("x.txt", "(1.0) vcan0 123#11\n"), "(*.log)"},
        {WriteFile("third.log", "(1.0) vcan0 123#11\n\n(2.0) vcan0 12#11\n"),
         "Zeile 3 „(2.0) vcan0 12#11“"},
        {special + "folder.log", "keine Datei, sondern ein Ordner"},
        // A line may be at most 4096 bytes: memory stays bounded even without line ends.
        {WriteFile("long.log", "(1.0) vcan0 123#11\n# " + std::string(5000, 'x') + "\n"),
         tooLong(2, "# ")},
        {WriteFile("endless.log", "xx" + std::string(3 << 19, 'x')), tooLong(1, "xx")},
        {WriteFile("overflow.asc",
                   "base hex timestamps relative\n9000000000.0 1 1 Rx d 0\n"
                   "9000000000.0 1 1 Rx d 0\n"),
         "Zeile 3"},
        {WriteFile("nul.log", std::string("(1.0) vcan0 12\0#1\x1b", 18)),
         "„(1.0) vcan0 12\\x00#1\\x1B“"},
    };
#if !defined(_WIN32)  // Windows' file system has neither
    // Opening must not wait for a writer; nothing but a file is read.
    ASSERT_EQ(::mkfifo((special + "fifo.log").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", (special + "zero.asc").c_str()), 0);
    failures.push_back({special + "fifo.log", "keine Datei, sondern eine benannte Pipe"});
    failures.push_back({special + "zero.asc", "keine Datei, sondern ein Gerät"});
#endif
    std::string error;
    for (const auto& [path, text] : failures) {
        testsupport::BlockingCallWatchdog watchdog;
        EXPECT_FALSE(trace::ReadTrace(path, error)) << path;
        EXPECT_NE(error.find(text), std::string::npos) << error;
    }

    // Nothing to play is not an error.
    for (const auto& [name, text] :
         {std::pair{"empty.log", ""}, std::pair{"empty.asc", ""},
          std::pair{"header.asc",
                    "date Tue Nov 14 11:13:20.123 pm 2023\n"
                    "base hex  timestamps absolute\n"
                    "Begin Triggerblock Tue Nov 14 11:13:20.123 pm 2023\n"
                    "   0.000000 Start of measurement\n"
                    "End TriggerBlock\n"}}) {
        const auto file = trace::ReadTrace(WriteFile(name, text), error);
        ASSERT_TRUE(file.has_value()) << name << ": " << error;
        EXPECT_TRUE(file->entries.empty()) << name;
    }
}

// The reader takes the file in blocks: lines across a block's end must come out whole, and a
// line of the longest length is read.
TEST(TraceReaderTest, LinesAcrossBlocks) {
    std::string text;
    std::vector<TraceFrame> expected;
    for (int i = 0; i < 60000; ++i) {  // about 2.5 MB
        const auto id = static_cast<std::uint32_t>(i % 0x800);
        const std::vector<std::uint8_t> data = {static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(i * 7)};
        char line[64];
        std::snprintf(line, sizeof line, "(%d.%06d) vcan0 %03X#%02X%02X R\n", 1000 + i / 1000,
                      (i % 1000) * 1000, id, data[0], data[1]);
        text += line;
        expected.push_back(Frame(id, false, false, 2, data, false, std::int64_t{i} * 1'000'000));
    }
    text += "# " + std::string(4096 - 2, 'x') + "\n(2000.000000) vcan0 7FF#AA R\n";
    expected.push_back(Frame(0x7FF, false, false, 1, {0xAA}, false, 1'000'000'000'000));
    std::string error;
    const auto file = trace::ReadTrace(WriteFile("blocks.log", text), error);
    ASSERT_TRUE(file.has_value()) << error;
    // Not EXPECT_EQ on the whole: a failure would print every entry.
    ASSERT_EQ(file->entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(file->entries[i], expected[i]) << "line " << i + 1;
}

// The program without a window holds its end signals pending while it reads a trace; a pending
// one ends the read, and once taken the file reads again.
TEST(TraceReaderTest, APendingEndSignalEndsTheRead) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows' end request (a console event) stays set once taken";
#else
    const std::string path = WriteFile("signal.log", "(1.0) vcan0 123#11\n");
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigset_t set, previous;
        sigemptyset(&set);
        sigaddset(&set, sig);
        ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &set, &previous), 0);
        ASSERT_EQ(pthread_kill(pthread_self(), sig), 0);
        std::string error;
        EXPECT_FALSE(trace::ReadTrace(path, error)) << sig;
        EXPECT_NE(error.find("Das Lesen der Aufzeichnung „" + path + "“ wurde abgebrochen."),
                  std::string::npos)
            << error;
        const timespec now{};
        EXPECT_EQ(sigtimedwait(&set, nullptr, &now), sig);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        EXPECT_TRUE(trace::ReadTrace(path, error)) << error;
    }
#endif
}

// Recorded by `candump -l vcan0 vcan1` in the CAN guest, while cangen and cansend sent.
TEST(TraceReaderTest, CandumpFileFromTheGuest) {
    std::string error;
    const auto file = trace::ReadTrace(VESK_TRACE_DATA "/candump-l.log", error);
    ASSERT_TRUE(file.has_value()) << error;
    const auto& e = file->entries;
    ASSERT_EQ(e.size(), 48u);
    EXPECT_EQ(e[0], Frame(0x1FD73420, true, true, 4, {}));
    EXPECT_EQ(e[20], Frame(0x59F, false, false, 1, {0xFD}, false, 147'301'000));
    EXPECT_EQ(e[40], Frame(0x5F6, false, false, 0, {}, false, 294'048'000));
    EXPECT_EQ(e[46], Frame(0x12345678, true, true, 2, {}, false, 373'706'000));
    EXPECT_EQ(e[47], Frame(0x7FF, false, false, 0, {}, false, 398'321'000));
}

// What vesk records, it reads back: every frame with its direction and time to the microsecond,
// and the bus events.
TEST(TraceReaderTest, RecordingReadsBack) {
    constexpr std::int64_t kStartNs = 1'700'000'000'123'456'789;
    struct Event {
        CanMsg msg;
        std::vector<TraceFrame> entries;  // times are filled in below
    };
    const std::vector<std::uint8_t> eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<Event> events = {
        {TraceRecord(CAN_EV_RX_STD, 0x123, 0, 8, eight), {Frame(0x123, false, false, 8, eight)}},
        {TraceRecord(CAN_EV_TX_EXT, 0x18FEF100, 0, 3, {0x01, 0xFE, 0x7F}),
         {Frame(0x18FEF100, true, false, 3, {0x01, 0xFE, 0x7F}, true)}},
        {TraceRecord(CAN_EV_RX_STD, 0x7FF, 1, 0), {Frame(0x7FF, false, true, 0, {})}},
        {TraceRecord(CAN_EV_TX_EXT, 0x1FFFFFFF, 1, 4),
         {Frame(0x1FFFFFFF, true, true, 4, {}, true)}},
        {TraceRecord(CAN_EV_RX_STD, 0x100, 0, 12, eight), {Frame(0x100, false, false, 12, eight)}},
        {TraceRecord(CAN_EV_RX, 0x0AB, 0, 2, {0xDE, 0xAD}, 0, 2),
         {Ev(Kind::kOverrun), Frame(0x0AB, false, false, 2, {0xDE, 0xAD})}},
        {TraceRecord(CAN_EV_TX, 0x0ABCDE, 0, 1, {0x5A}),
         {Frame(0x0ABCDE, true, false, 1, {0x5A}, true)}},
        {TraceRecord(CAN_EV_BUS_ERROR, 0, 0, 0, {}, sr::kSrTransmitting), {Ev(Kind::kBusError)}},
        {TraceRecord(CAN_EV_WARNING, 0, 0, 0, {}, sr::kSrErrorStatus), {Ev(Kind::kWarning)}},
        {TraceRecord(CAN_EV_PASSIVE, 0, 0, 0, {}, sr::kSrErrorStatus), {Ev(Kind::kPassive)}},
        {TraceRecord(CAN_EV_PASSIVE, 0, 0, 0, {}, sr::kSrErrorStatus), {Ev(Kind::kWarning)}},
        {TraceRecord(CAN_EV_WARNING, 0, 0, 0, {}, sr::kSrErrorStatus | sr::kSrBusOff),
         {Ev(Kind::kBusOff)}},
        {TraceRecord(CAN_EV_WARNING, 0, 0, 0, {}, 0), {Ev(Kind::kActive)}},
        {TraceRecord(CAN_EV_OVERRUN, 0, 0, 0, {}, sr::kSrDataOverrun), {Ev(Kind::kOverrun)}},
        {TraceRecord(CAN_EV_ARBITRATION), {Ev(Kind::kArbitration)}},
    };
    for (const char* ext : {"log", "asc"}) {
        trace::RecorderOptions options;
        options.path = testing::TempDir() + "/trace_reader_test_roundtrip." + ext;
        options.startNs = kStartNs;
        std::string error;
        auto recorder = trace::TraceRecorder::Start(options, error);
        ASSERT_TRUE(recorder) << error;
        std::vector<TraceFrame> expected;
        std::int64_t t = kStartNs + 1'999'999;
        for (const Event& e : events) {
            ASSERT_TRUE(recorder->Push(e.msg, t));
            for (TraceFrame f : e.entries) {
                // Written to the microsecond, read relative to the first.
                f.timeNs = (t / 1000 - (kStartNs + 1'999'999) / 1000) * 1000;
                expected.push_back(f);
            }
            t += 137'913;
        }
        recorder->Stop();
        const auto file = trace::ReadTrace(options.path, error);
        ASSERT_TRUE(file.has_value()) << error;
        EXPECT_EQ(file->entries, expected) << ext;
    }
}

}  // namespace
