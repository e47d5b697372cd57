// The status bar texts, without a display.
#include <gtest/gtest.h>

#include "ui/status_texts.h"

namespace {

TEST(StatusTextsTest, FilterPanesShowMaskThenCode) {
    EXPECT_EQ(FilterPaneText(0xFFFFFFFFu, 0xFFFFFFFFu), "ffffffff : ffffffff");
    EXPECT_EQ(FilterPaneText(0, 0), "00000000 : 00000000");
    EXPECT_EQ(FilterPaneText(0x7ff, 0x123), "000007ff : 00000123");
}

TEST(StatusTextsTest, ChannelStateNamesRateModeFormatAndReplies) {
    const struct {
        ChannelState state;
        const char* text;
    } cases[] = {
        {{false, 500000, true, true, 2, true}, "Kanal geschlossen"},
        {{true, 500000, false, false, 0, true}, "500 kbit/s  Basic CAN 11 Bit  Antworten aus"},
        {{true, 20000, true, true, 2, true}, "20 kbit/s  PeliCAN 29 Bit  2 Antworten"},
        {{true, 83333, true, false, 1, false}, "83.333 kbit/s  PeliCAN 11 Bit  Antworten ruhen"},
        {{true, 33300, false, true, 1, true}, "33.3 kbit/s  Basic CAN 11 Bit  1 Antwort"},
        {{true, 1000000, true, true, 0, false}, "1000 kbit/s  PeliCAN 29 Bit  Antworten aus"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChannelStateText(c.state), c.text) << c.text;
}

TEST(StatusTextsTest, BusLoadHasTwoDecimalsAndAPercentSign) {
    EXPECT_EQ(BusLoadPaneText(0.0), "0.00 %");
    EXPECT_EQ(BusLoadPaneText(12.5), "12.50 %");
    EXPECT_EQ(BusLoadPaneText(100.0), "100.00 %");
    EXPECT_EQ(BusLoadPaneText(3.14159), "3.14 %");
    EXPECT_EQ(BusLoadPaneText(0.005), "0.01 %");  // rounded as printf rounds
}

}  // namespace
