// A frame's signals as the window shows them (the log's detail, the overview): the one decode
// path of the views, so that no two of them can disagree. Values are written as `vesk --decode`
// writes them: the shortest text that reads back to the same double, with a point.
//
//   payload 12 34 FE DC BC 0A 05 80, signals of the database      value   label
//   7|12@0+                                                        "291"
//   23|12@0- (0.5,-10)                                             "-19.5"
//   a value table's signal, raw 2 = "Fahrt"                         "2"     "Fahrt"
//   a signal past the frame's 3 bytes                              ""      "fehlt: Rahmen zu kurz"
//   a multiplexed signal its multiplexer does not select           (no row)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbc/database_set.h"

struct SignalRow {
    std::string name;
    std::string value;  // empty when the frame does not carry the signal
    std::string unit;
    std::string label;       // the value table's text, or why the value is missing
    std::uint8_t bytes = 0;  // bit i: the signal lies in data byte i
};

struct FrameSignals {
    const dbc::Message* message = nullptr;  // null: no database defines the frame
    std::vector<SignalRow> rows;
};

// Remote frames carry no signals; `length` bytes of `data` are what the bus carried.
FrameSignals DecodeFrameSignals(const dbc::DatabaseSet& databases, std::uint32_t id, bool extended,
                                bool remote, const std::uint8_t* data, int length);
