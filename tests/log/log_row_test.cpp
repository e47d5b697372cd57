#include "log/log_row.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

LogRow MakeRow(std::int32_t type, std::uint32_t id, std::vector<std::uint8_t> data = {},
               std::uint8_t status = 0) {
    LogRow row{};
    row.msg.type = type;
    row.msg.id = id;
    row.msg.status = status;
    row.msg.dlc = static_cast<std::uint8_t>(data.size());
    std::copy_n(data.begin(), std::min(data.size(), sizeof row.msg.data), row.msg.data);
    return row;
}

std::vector<std::string> Cells(const LogRow& row) {
    std::vector<std::string> cells;
    for (int c = 0; c < kLogColumnCount; ++c)
        cells.push_back(FormatLogCell(row, c));
    return cells;
}

TEST(LogRowClassify, NamesEveryEventTypeAndNothingElse) {
    struct Expected {
        std::int32_t type;
        LogRowKind kind;
        int suffix;
        const char* column0;
    };
    const Expected table[] = {
        {2, LogRowKind::kReceived, 0, "Received"},
        {11, LogRowKind::kReceived, 1, "Received STD"},
        {12, LogRowKind::kReceived, 2, "Received EXT"},
        {3, LogRowKind::kTransmitted, 0, "Transmitted"},
        {13, LogRowKind::kTransmitted, 1, "Transmitted STD"},
        {14, LogRowKind::kTransmitted, 2, "Transmitted EXT"},
        {4, LogRowKind::kBusEvent, 0, "Bus error"},
        {5, LogRowKind::kBusEvent, 0, "Overrun"},
        {6, LogRowKind::kBusEvent, 0, "Wake up"},
        {7, LogRowKind::kBusEvent, 0, "Warning error"},
        {8, LogRowKind::kBusEvent, 0, "Passive"},
        {9, LogRowKind::kBusEvent, 0, "Arbitration"},
    };
    for (const Expected& e : table) {
        const LogEventClass c = ClassifyLogEvent(e.type);
        EXPECT_EQ(c.kind, e.kind) << "type " << e.type;
        EXPECT_EQ(c.suffix, e.suffix) << "type " << e.type;
        EXPECT_EQ(FormatLogCell(MakeRow(e.type, 1), 0), e.column0) << "type " << e.type;
    }
    for (std::int32_t type : {0, 1, 10, 15, -1, 255, 0x7fffffff}) {
        EXPECT_EQ(ClassifyLogEvent(type).kind, LogRowKind::kNone) << "type " << type;
        for (const std::string& cell : Cells(MakeRow(type, 0x123, {1, 2}, 0x1c))) {
            EXPECT_EQ(cell, "") << "type " << type;
        }
    }
}

TEST(LogRowCells, FormatEveryColumnOfAReceivedFrame) {
    LogRow row = MakeRow(CAN_EV_RX, 0x7ff, {0x01, 0xa0, 0xff}, 0x1c);
    row.msg.rtr = 1;
    row.msg.lost = 3;
    row.absSeconds = 12.345;
    row.deltaSeconds = 0.01;
    EXPECT_EQ(Cells(row), (std::vector<std::string>{"Received", "12.345 s  [0.010 s]", "001c",
                                                    "07ff", "1", "3", " 01 a0 ff", "3"}));
}

TEST(LogRowCells, HexCellsHaveAtLeastFourDigitsAndLongerIdentifiersWhole) {
    EXPECT_EQ(FormatLogCell(MakeRow(CAN_EV_RX, 0x5), 3), "0005");
    EXPECT_EQ(FormatLogCell(MakeRow(CAN_EV_RX, 0x7ff), 3), "07ff");
    EXPECT_EQ(FormatLogCell(MakeRow(CAN_EV_RX_EXT, 0x12345), 3), "12345");
    EXPECT_EQ(FormatLogCell(MakeRow(CAN_EV_TX, 0xffffffffu), 3), "ffffffff");
    for (std::int32_t type : {CAN_EV_RX, CAN_EV_TX_STD, CAN_EV_OVERRUN, CAN_EV_ARBITRATION}) {
        EXPECT_EQ(FormatLogCell(MakeRow(type, 1, {}, 0x1c), 2), "001c") << "type " << type;
    }
}

TEST(LogRowCells, TimesAreFormattedAsPrintfDoes) {
    LogRow row = MakeRow(CAN_EV_RX, 1);
    row.absSeconds = 1.5;
    row.deltaSeconds = 0.0004;
    EXPECT_EQ(FormatLogCell(row, 1), "1.500 s  [0.000 s]");

    const double values[] = {0.0005, 0.0015, 2.0006, 4294967.295, -0.0125, 1e300};
    for (double a : values) {
        for (double d : values) {
            row.absSeconds = a;
            row.deltaSeconds = d;
            char expected[700];
            std::snprintf(expected, sizeof expected, "%.3lf s  [%.3lf s]", a, d);
            EXPECT_EQ(FormatLogCell(row, 1), expected);
        }
    }
}

TEST(LogRowCells, TimesUseAPointInAGermanLocaleToo) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    LogRow row = MakeRow(CAN_EV_RX, 1);
    row.absSeconds = 1.5;
    const std::string cell = FormatLogCell(row, 1);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(cell, "1.500 s  [0.000 s]");
}

TEST(LogRowCells, DataShowsTheFirstDlcBytesButNoMoreThanTheBusCarried) {
    EXPECT_EQ(FormatLogCell(MakeRow(CAN_EV_RX, 1, {}), 6), "");
    EXPECT_EQ(FormatLogCell(MakeRow(CAN_EV_RX, 1, {0x01, 0xa0, 0xff}), 6), " 01 a0 ff");

    LogRow rx = MakeRow(CAN_EV_RX, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    rx.msg.dlc = 255;
    EXPECT_EQ(FormatLogCell(rx, 5), "255");
    EXPECT_EQ(FormatLogCell(rx, 6), " 00 01 02 03 04 05 06 07");
    LogRow tx = rx;
    tx.msg.type = CAN_EV_TX_EXT;
    tx.msg.dlc = 10;  // a transmit request for ten bytes puts eight on the wire
    EXPECT_EQ(FormatLogCell(tx, 5), "10");
    EXPECT_EQ(FormatLogCell(tx, 6), " 00 01 02 03 04 05 06 07");
}

TEST(LogRowCells, EachRowKindLeavesItsOwnColumnsEmpty) {
    LogRow tx = MakeRow(CAN_EV_TX, 0x100, {0x42}, 0x1c);
    tx.msg.lost = 7;
    const std::vector<std::string> txCells = Cells(tx);
    EXPECT_EQ(txCells[6], " 42");
    EXPECT_EQ(txCells[7], "");

    LogRow bus = MakeRow(CAN_EV_PASSIVE, 0x100, {0x42}, 0x1c);
    bus.msg.lost = 7;
    bus.msg.rtr = 1;
    bus.absSeconds = 2;
    EXPECT_EQ(Cells(bus), (std::vector<std::string>{"Passive", "2.000 s  [0.000 s]", "001c", "", "",
                                                    "", "", ""}));

    LogRow rx = MakeRow(CAN_EV_RX, 0x100);
    rx.msg.lost = -2;
    EXPECT_EQ(FormatLogCell(rx, 7), "-2");
    EXPECT_EQ(FormatLogCell(rx, -1), "");
    EXPECT_EQ(FormatLogCell(rx, kLogColumnCount), "");
}

TEST(LogRowCells, BufferFormCutsLikeSnprintfAndAgreesWithTheString) {
    LogRow row = MakeRow(CAN_EV_TX, 0x12345678, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    row.absSeconds = 123456.789;
    row.deltaSeconds = 1.25;
    for (int column = 0; column < kLogColumnCount; ++column) {
        const std::string whole = FormatLogCell(row, column);
        char buffer[kLogCellCapacity];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FormatLogCell(row, column, buffer, sizeof buffer), whole.size());
        EXPECT_EQ(std::string(buffer), whole);

        char small[5];
        std::memset(small, 'x', sizeof small);
        EXPECT_EQ(FormatLogCell(row, column, small, sizeof small), whole.size());
        EXPECT_EQ(std::string(small), whole.substr(0, 4));
    }
    char untouched = 'x';
    EXPECT_EQ(FormatLogCell(row, 3, &untouched, 0), 8u);
    EXPECT_EQ(untouched, 'x');
}

}  // namespace
