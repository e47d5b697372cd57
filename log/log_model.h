// The rows of the log table, newest first, never more than kMaxRows of them.
//
// Two threads meet here. The receive thread hands each row to Push, which only copies it into an
// inbox under a lock that nobody holds for more than a few stores; it never waits for the
// user-interface thread. The user-interface thread, on its timer, takes everything that arrived
// since its last look with Drain and shows the table through RowCount and Row.
//
// Only the newest kMaxRows rows can ever be seen, so the inbox holds no more than that either:
// when it is full, the oldest pending row makes room. All storage is allocated once, at
// construction; memory stays the same however fast rows arrive.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "log/log_row.h"

class LogModel {
  public:
    static constexpr std::size_t kMaxRows = 5000;

    LogModel();
    LogModel(const LogModel&) = delete;
    LogModel& operator=(const LogModel&) = delete;

    // Any thread (the receive thread): queues one row for the next Drain.
    void Push(const LogRow& row);

    // Any thread: whether rows are waiting for Drain, so an idle timer can skip its work.
    bool HasPending() const { return pending_.load(std::memory_order_acquire); }

    // Rows pushed that never reached the table because the inbox was full (counted since
    // construction; Clear does not reset it).
    std::uint64_t SkippedCount() const { return skipped_.load(std::memory_order_relaxed); }

    // The rest is for the user-interface thread only.

    // Moves the pending rows into the table, newest on top, and trims it; returns how many rows
    // were added. Row indexes of rows already shown grow by that number, and
    // DroppedByLastDrain() rows went off the bottom.
    std::size_t Drain();
    std::size_t DroppedByLastDrain() const { return droppedByLastDrain_; }

    std::size_t RowCount() const { return count_; }
    // Index 0 is the newest row. An index at or past RowCount() gives a row of no kind, whose
    // cells are all empty, so a list that asks for a row it no longer has shows nothing. The
    // reference holds until the next Drain or Clear.
    const LogRow& Row(std::size_t index) const;

    // Empties the table and discards the rows still pending: they arrived before the clear.
    void Clear();

  private:
    // Keeps the table at no more than kMaxRows rows by dropping the oldest; returns how many it
    // dropped.
    std::size_t TrimRows();

    // A ring of pending rows in arrival order.
    struct Inbox {
        std::vector<LogRow> rows;
        std::size_t first = 0;
        std::size_t count = 0;
    };

    // The receive thread fills one inbox while Drain empties the other, so the lock is held only
    // to switch them, never while rows are copied into the table.
    Inbox inboxes_[2];
    std::size_t filling_ = 0;  // guarded by inboxLock_
    std::mutex inboxLock_;
    std::atomic<bool> pending_{false};
    std::atomic<std::uint64_t> skipped_{0};

    // The table: a ring whose slot newest_ holds row 0. Inside Drain, count_ passes kMaxRows
    // until TrimRows; the ring has already overwritten the excess by then.
    std::vector<LogRow> rows_;
    std::size_t newest_ = kMaxRows - 1;
    std::size_t count_ = 0;
    std::size_t droppedByLastDrain_ = 0;
    LogRow blank_{};
};
