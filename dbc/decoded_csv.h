// Decoded signals as CSV lines, one per signal, for `vesk --decode`:
//
//   time,id,extended,message,signal,raw,value,unit,label
//   12.000250,18FF10FE,1,EngineData,Drehzahl,291,291,rpm,
//   12.000250,123,0,Motor,Gang,2,2,,"Fahrt, vorwärts"
//
// time: seconds with 6 decimals; id: upper-case hex without 0x or leading zeros; extended: 0 or
// 1; raw: the integer (signed when the signal is), for float signals its IEEE value; value: the
// shortest text that reads back to the same double, with a point; label empty when none. Fields
// holding a comma, a quote or a line break are quoted, quotes doubled. A signal the frame was too
// short for has empty raw and value and its StateText as label.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dbc/database.h"
#include "dbc/signal_decoder.h"

namespace dbc {

// Without line end.
std::string_view CsvHeader() noexcept;

// A physical value as every view writes it: the shortest text that reads back to the same
// double, with a point ("-19.5", "0.1", "1e+20").
void AppendValueText(std::string& out, double value);

// Appends one line and '\n'; a signal in state kNotSelected appends nothing. The identifier is
// the frame's own (a J1939 match names another message identifier).
void AppendCsvLine(std::string& out, std::int64_t timeNs, std::uint32_t frameId, bool extended,
                   const Message& message, const Signal& signal, const DecodedSignal& decoded);

}  // namespace dbc
