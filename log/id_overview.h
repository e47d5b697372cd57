// One live row per identifier: what a busy bus carries, in a form a person can read while the log
// scrolls past too fast.
//
// The receive thread pushes every event; the user-interface thread copies the rows out on its
// timer. All storage is allocated at construction: a fixed open-addressing table of identifiers
// and kMaxRows rows, each with its own lock, which Push holds for one row's update and Snapshot for
// one row's copy. Identifiers beyond kMaxRows share the "other identifiers" row, so the memory
// stays the same whatever the bus carries.
//
// Frames with the same identifier and format share a row whatever their direction; a remote frame
// has a row of its own beside the data frame. The "other" row counts frames, directions and time
// stamps (its intervals are those of all such frames together) but shows no data.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "can/can_msg.h"

struct OverviewRow {
    std::uint32_t id = 0;
    bool extended = false;        // 29-bit identifier
    bool remote = false;          // remote frames have a row of their own
    bool other = false;           // the "other identifiers" row (beyond kMaxRows identifiers)
    std::uint8_t directions = 0;  // kOverviewReceived | kOverviewSent
    std::uint64_t count = 0;
    double lastIntervalMs = -1;  // between the last two frames' time stamps; < 0: none yet
    // Mean interval over the last second; < 0: fewer than two frames in it.
    double meanIntervalMs = -1;
    std::uint8_t dlc = 0;
    std::uint8_t data[8] = {};     // the last frame's data bytes
    std::uint8_t changedMask = 0;  // bit i: data byte i changed within the last second
    std::uint8_t fadingMask = 0;   // bit i: and that change is more than half a second old
    double lastSeconds = 0;        // absolute time stamp (s) of the last frame, as the log shows it
};
inline constexpr std::uint8_t kOverviewReceived = 1, kOverviewSent = 2;
// Bus events by kind: record types 4..9 (index type-4).
struct OverviewEvents {
    std::uint64_t counts[6] = {};
};

class IdOverview {
  public:
    static constexpr std::size_t kMaxRows = 4096;

    IdOverview();
    ~IdOverview();
    IdOverview(const IdOverview&) = delete;
    IdOverview& operator=(const IdOverview&) = delete;

    // Receive thread. msg is the channel's record (received types CAN_EV_RX/RX_STD/RX_EXT, sent
    // CAN_EV_TX/TX_STD/TX_EXT, bus events 4..9; other types are ignored). A frame's format is
    // the record's own (CanMsgIsExtended). absSeconds as the channel's callback gives it; arrivalNs
    // a steady-clock time the caller reads.
    void Push(const CanMsg& msg, double absSeconds, std::int64_t arrivalNs);
    // UI thread: copies all rows (sorted by identifier, 11-bit before 29-bit, remote after data
    // frame of the same id, the "other" row last) and the event counts; "last second" judged at
    // nowNs.
    void Snapshot(std::int64_t nowNs, std::vector<OverviewRow>& rows, OverviewEvents& events) const;
    std::size_t RowCount() const;  // cheap, any thread
    // "Clear screen": all rows and counts gone.
    void Clear();
    // "Reset time": the channel's stamps restart at 0, so no interval may span this call. Call it
    // right after the channel's time was reset. Counts, data and the last stamps stay; the next
    // frame of each row starts its intervals afresh.
    void RestartTimes();

  private:
    struct Row;

    // The row of a key, or nullptr and the empty slot that ended the search.
    Row* Find(std::uint32_t key, std::size_t& slot);
    // A frame whose key was not found: under the table lock, a new row or the "other" row.
    void PushNew(std::uint32_t key, const CanMsg& msg, std::uint8_t direction, double absSeconds,
                 std::int64_t arrivalNs);
    void Update(Row& row, const CanMsg& msg, std::uint8_t direction, double absSeconds,
                std::int64_t arrivalNs);

    // Slot keys of the open-addressing table (0: empty) and the row each names. A key is
    // published after its row index, so a reader that sees the key finds the index written.
    std::unique_ptr<std::atomic<std::uint32_t>[]> m_slotKeys;
    std::unique_ptr<std::atomic<std::uint16_t>[]> m_slotRows;
    // kMaxRows rows in order of first appearance, then the "other" row.
    std::unique_ptr<Row[]> m_rows;
    std::atomic<std::size_t> m_used{0};
    std::atomic<bool> m_otherUsed{false};
    // Inserting a row and clearing the table take it; updating a row that exists does not.
    std::mutex m_tableLock;
    std::atomic<std::uint32_t> m_timeEpoch{0};
    std::atomic<std::uint64_t> m_events[6] = {};
};
