// A CAN database as read from a DBC file: nodes, messages and their signals, value tables,
// comments and attributes. Every text is UTF-8. Built once by the reader (or by hand, followed by
// BuildDecodePlan), then only read, so any number of threads may use it at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbc/decode_plan.h"

namespace dbc {

// A value table's entry, keyed by the raw value: its bits, sign-extended for signed signals.
struct ValueLabel {
    std::uint64_t raw = 0;
    std::string text;
};

// An attribute as given (BA_): strings without their quotes, an enumeration's index as its text.
struct Attribute {
    std::string name;
    std::string value;
};

// Closed range of multiplexer raw values that select a signal.
struct MultiplexRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

struct Signal {
    std::string name;    // the long name where the database gives one, else the symbol
    std::string symbol;  // the name as the SG_ line writes it
    int startBit = 0;    // as the file gives it, see PlanBits
    int length = 0;      // bits, 1..64
    ByteOrder byteOrder = ByteOrder::kIntel;
    bool isSigned = false;
    ValueType valueType = ValueType::kInteger;
    double factor = 1;
    double offset = 0;
    double minimum = 0;  // physical; 0..0 means no range given
    double maximum = 0;
    std::string unit;
    std::vector<std::string> receivers;
    std::string comment;
    std::vector<ValueLabel> labels;  // sorted by raw
    // `M` or `mNM`: its value selects other signals.
    bool isMultiplexer = false;
    // The multiplexer that selects this signal (index in Message::signals), -1 when always sent.
    int multiplexer = -1;
    std::vector<MultiplexRange> multiplexValues;
    // The raw bits sent while nothing else is given (GenSigStartValue; IEEE bits for floats).
    std::optional<std::uint64_t> startValue;
    std::vector<Attribute> attributes;
    int line = 0;

    // The label for a raw value (bits as DecodedSignal::raw holds them), null when none.
    const std::string* Label(std::uint64_t raw) const noexcept;
    // The raw value of a label, nullopt when the signal has no such label.
    std::optional<std::uint64_t> RawOfLabel(std::string_view text) const;
};

struct SignalGroup {
    std::string name;
    std::uint32_t repetitions = 1;
    std::vector<std::string> signals;  // symbols
};

struct Message {
    std::uint32_t id = 0;  // without the format bit
    bool extended = false;
    std::string name;    // long name where given, else the symbol
    std::string symbol;  // as the BO_ line writes it
    int length = 0;      // bytes
    std::vector<std::string> transmitters;
    std::string comment;
    int cycleTimeMs = 0;  // GenMsgCycleTime; 0 when not cyclic or not given
    std::vector<Signal> signals;
    std::vector<SignalGroup> groups;
    std::vector<Attribute> attributes;
    int line = 0;
    // Filled by BuildDecodePlan.
    std::vector<SignalPlan> plan;
    std::vector<MultiplexRange> planRanges;

    // By name or symbol; -1 when the message has no such signal.
    int FindSignal(std::string_view name) const noexcept;
};

struct Node {
    std::string name;
    std::string comment;
    std::vector<Attribute> attributes;
};

enum class AttributeObject : std::uint8_t { kDatabase, kNode, kMessage, kSignal, kEnvironment };

struct AttributeDefinition {
    std::string name;
    AttributeObject object = AttributeObject::kDatabase;
    std::string type;  // INT, HEX, FLOAT, STRING or ENUM
    std::vector<std::string> enumValues;
    std::optional<std::string> defaultValue;  // BA_DEF_DEF_, as an Attribute's value
};

struct ValueTable {
    std::string name;
    std::vector<ValueLabel> labels;
};

struct Database {
    std::string fileName;  // without its folder
    std::string version;
    std::string comment;
    std::string protocolType;  // the ProtocolType attribute, e.g. "J1939"; empty when not given
    std::vector<Node> nodes;
    std::vector<Message> messages;
    std::vector<ValueTable> valueTables;
    std::vector<AttributeDefinition> attributeDefinitions;
    std::vector<Attribute> attributes;

    bool IsJ1939() const noexcept { return protocolType == "J1939"; }
    // Linear searches, for tools and views; the receive path uses DatabaseSet.
    const Message* FindMessage(std::uint32_t id, bool extended) const noexcept;
    const Message* FindMessage(std::string_view name) const noexcept;
};

// Orders the message's signals for decoding and plans each one's bits. The multiplexer links must
// be acyclic and every signal must fit the message (the reader makes sure of both).
void BuildDecodePlan(Message& message);

}  // namespace dbc
