// Signal values as text, "Motor Drehzahl=1200 Gang=Rückwärts": what the command line's --send
// takes, what the settings file keeps per message, and what the send dialog writes back.
//
// A value that reads whole as a number (a decimal comma is taken as a point) is a physical
// value; anything else, and anything in double quotes, is a value table's label.
//
//   text                                  message  values
//   Motor Drehzahl=1200 Gang=Rückwärts    Motor    Drehzahl 1200, Gang label "Rückwärts"
//   Motor Temp=-2,5 Modus="Stufe 2"       Motor    Temp -2.5, Modus label "Stufe 2"
//   Motor Gang="3"                        Motor    Gang label "3"
//   Motor Drehzahl                        refused: no "=" after the signal's name
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbc/signal_encoder.h"

namespace dbc {

struct SignalAssignment {
    std::string signal;
    std::string label;  // empty: `physical` is meant
    double physical = 0;
};

struct SignalAssignments {
    std::string message;  // name, symbol or identifier ("0x123")
    std::vector<SignalAssignment> values;
};

// The message's name and its values; nullopt and a German text when the text cannot be read.
std::optional<SignalAssignments> ParseSignalAssignments(std::string_view text, std::string& error);
// The values alone, as the settings file keeps them.
std::optional<std::vector<SignalAssignment>> ParseSignalValues(std::string_view text,
                                                               std::string& error);
// The values as ParseSignalValues reads them back: numbers in their shortest exact form, labels
// quoted where they would read otherwise.
std::string FormatSignalValues(std::span<const SignalAssignment> values);

// A value's text as a number, as the parser reads it (a decimal comma taken as a point); nothing
// when it is not one whole (a label, then).
std::optional<double> ParsePhysical(std::string_view text);

// For Encode; the views point into `values`.
std::vector<SignalValue> ToSignalValues(std::span<const SignalAssignment> values);

// The message that `name` names (name, symbol, or a hexadecimal identifier with "0x"; a 29-bit
// one as such) in the first database that has it; null when none has.
const Message* FindMessageByText(std::span<const Database* const> databases, std::string_view name);

}  // namespace dbc
