#include "dbc/database_set.h"

#include <bit>

namespace dbc {

namespace {

constexpr std::uint32_t kExtendedKey = 0x80000000u;

std::size_t Hash(std::uint32_t key, std::size_t mask) {
    return static_cast<std::size_t>((key * 0x9E3779B1u) ^ (key >> 16)) & mask;
}

}  // namespace

std::uint32_t J1939Pgn(std::uint32_t id) noexcept {
    const std::uint32_t pf = (id >> 16) & 0xFF;
    return pf < 240 ? (id >> 8) & 0x3FF00 : (id >> 8) & 0x3FFFF;
}

void DatabaseSet::Add(std::shared_ptr<const Database> database) {
    databases_.push_back(std::move(database));
    Rebuild();
}

void DatabaseSet::Clear() {
    databases_.clear();
    Rebuild();
}

void DatabaseSet::Insert(std::vector<Slot>& table, std::uint32_t key, std::uint32_t database,
                         const Message* message) {
    const std::size_t mask = table.size() - 1;
    for (std::size_t i = Hash(key, mask);; i = (i + 1) & mask) {
        if (table[i].key == key)
            return;  // the earlier database keeps it
        if (table[i].key == kEmpty) {
            table[i] = Slot{key, database, message};
            return;
        }
    }
}

const DatabaseSet::Slot* DatabaseSet::Lookup(const std::vector<Slot>& table,
                                             std::uint32_t key) noexcept {
    if (table.empty())
        return nullptr;
    const std::size_t mask = table.size() - 1;
    for (std::size_t i = Hash(key, mask);; i = (i + 1) & mask) {
        if (table[i].key == key)
            return &table[i];
        if (table[i].key == kEmpty)
            return nullptr;
    }
}

void DatabaseSet::Rebuild() {
    std::size_t count = 0, j1939 = 0;
    for (const auto& db : databases_) {
        count += db->messages.size();
        if (db->IsJ1939())
            j1939 += db->messages.size();
    }
    // At most a quarter full, so that a miss usually ends at the first empty slot.
    byId_.assign(count ? std::bit_ceil(count * 4) : 0, Slot{});
    byPgn_.assign(j1939 ? std::bit_ceil(j1939 * 4) : 0, Slot{});
    for (std::uint32_t d = 0; d < databases_.size(); ++d) {
        for (const Message& m : databases_[d]->messages) {
            Insert(byId_, m.id | (m.extended ? kExtendedKey : 0), d, &m);
            if (databases_[d]->IsJ1939() && m.extended)
                Insert(byPgn_, J1939Pgn(m.id), d, &m);
        }
    }
}

MessageMatch DatabaseSet::Find(std::uint32_t id, bool extended) const noexcept {
    const Slot* slot = Lookup(byId_, id | (extended ? kExtendedKey : 0));
    if (!slot && extended)
        slot = Lookup(byPgn_, J1939Pgn(id));
    if (!slot)
        return {};
    return MessageMatch{databases_[slot->database].get(), slot->message};
}

}  // namespace dbc
