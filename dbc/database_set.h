// The databases a channel decodes with, and the receive thread's lookup of a frame's message.
//
// A frame's message is the one with its identifier and format (11 or 29 bit); the database added
// first wins where two define the same one. In a database whose ProtocolType is J1939, an
// extended frame that no message has exactly matches by parameter group instead: priority and
// source address do not count, nor does the destination of a PDU1 group (PF below 240).
//
//   database defines              frame                 found
//   0x123 standard                0x123 extended        nothing
//   0x18FEF100 (J1939)            0x0CFEF1FE extended   that message (PDU2, PGN 0xFEF1)
//   0x18EA0000 (J1939)            0x18EA21FE extended   that message (PDU1, PGN 0xEA00)
//   0x18EA0000 (not J1939)        0x18EA21FE extended   nothing
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dbc/database.h"

namespace dbc {

struct MessageMatch {
    const Database* database = nullptr;
    const Message* message = nullptr;  // null when no database defines the frame
};

// The parameter group number of an extended identifier: PDU1 without its destination byte.
std::uint32_t J1939Pgn(std::uint32_t id) noexcept;

// Filled once, then only read: Find may run on any number of threads at once, none may Add then.
class DatabaseSet {
  public:
    void Add(std::shared_ptr<const Database> database);
    void Clear();

    // A hash and usually one probe of an open-addressed table, hit or miss; no allocation.
    MessageMatch Find(std::uint32_t id, bool extended) const noexcept;

    const std::vector<std::shared_ptr<const Database>>& Databases() const noexcept {
        return databases_;
    }

  private:
    struct Slot {
        std::uint32_t key = kEmpty;
        std::uint32_t database = 0;
        const Message* message = nullptr;
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    static void Insert(std::vector<Slot>& table, std::uint32_t key, std::uint32_t database,
                       const Message* message);
    static const Slot* Lookup(const std::vector<Slot>& table, std::uint32_t key) noexcept;
    void Rebuild();

    std::vector<std::shared_ptr<const Database>> databases_;
    std::vector<Slot> byId_;   // key: id, bit 31 for extended
    std::vector<Slot> byPgn_;  // J1939 databases' messages by parameter group
};

}  // namespace dbc
