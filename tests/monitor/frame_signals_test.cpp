// The views' decoding of one frame: values as --decode writes them, labels, the bytes a signal
// lies in, and signals a short frame or the multiplexer leaves out.
#include "monitor/frame_signals.h"

#include <gtest/gtest.h>

#include <memory>

#include "dbc/dbc_reader.h"

namespace {

TEST(FrameSignalsTest, WhatTheViewsShowOfAFrame) {
    auto read = dbc::ParseDbc(
        "BO_ 291 Motor: 8 X\n"
        " SG_ A : 7|12@0+ (1,0) [0|0] \"\" X\n"
        " SG_ B : 23|12@0- (0.5,-10) [0|0] \"km/h\" X\n"
        " SG_ Gang : 32|12@1+ (1,0) [0|0] \"\" X\n"
        "BO_ 2147483939 Mux: 3 X\n"
        " SG_ M M : 0|8@1+ (1,0) [0|0] \"\" X\n"
        " SG_ S0 m0 : 8|8@1+ (1,0) [0|0] \"\" X\n"
        " SG_ S1 m1 : 16|8@1+ (1,0) [0|0] \"\" X\n"
        "VAL_ 291 Gang 2748 \"Fahrt\" ;\n",
        "t.dbc");
    ASSERT_TRUE(read.database) << read.error;
    dbc::DatabaseSet set;
    set.Add(std::make_shared<const dbc::Database>(std::move(*read.database)));
    const std::uint8_t payload[8] = {0x12, 0x34, 0xFE, 0xDC, 0xBC, 0x0A, 0x05, 0x80};
    const std::uint8_t mux[3] = {1, 7, 9};
    struct Case {
        const char* name;
        std::uint32_t id;
        bool extended, remote;
        const std::uint8_t* data;
        int length;
        std::vector<std::string> rows;  // "name=value unit [label] bytes"
    };
    const Case cases[] = {
        {"worked case",
         0x123,
         false,
         false,
         payload,
         8,
         {"A=291  [] 3", "B=-19.5 km/h [] 12", "Gang=2748  [Fahrt] 48"}},
        {"short frame",
         0x123,
         false,
         false,
         payload,
         3,
         {"A=291  [] 3", "B= km/h [fehlt: Rahmen zu kurz] 12",
          "Gang=  [fehlt: Rahmen zu kurz] 48"}},
        {"multiplexed", 0x123, true, false, mux, 3, {"M=1  [] 1", "S1=9  [] 4"}},
        {"remote", 0x123, false, true, payload, 0, {}},
        {"unknown", 0x124, false, false, payload, 8, {}},
    };
    for (const Case& c : cases) {
        const FrameSignals s =
            DecodeFrameSignals(set, c.id, c.extended, c.remote, c.data, c.length);
        std::vector<std::string> rows;
        for (const SignalRow& r : s.rows) {
            rows.push_back(r.name + "=" + r.value + " " + r.unit + " [" + r.label + "] " +
                           std::to_string(r.bytes));
        }
        EXPECT_EQ(rows, c.rows) << c.name;
        EXPECT_EQ(s.message != nullptr, c.id == 0x123) << c.name;
    }
}

}  // namespace
