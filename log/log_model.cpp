#include "log/log_model.h"

namespace {

std::size_t Next(std::size_t slot) {
    return slot + 1 == LogModel::kMaxRows ? 0 : slot + 1;
}

}  // namespace

LogModel::LogModel() : rows_(kMaxRows) {
    for (Inbox& inbox : inboxes_)
        inbox.rows.resize(kMaxRows);
}

void LogModel::Push(const LogRow& row) {
    std::lock_guard lock(inboxLock_);
    Inbox& inbox = inboxes_[filling_];
    std::size_t slot = inbox.first + inbox.count;
    if (slot >= kMaxRows)
        slot -= kMaxRows;
    inbox.rows[slot] = row;
    if (inbox.count < kMaxRows) {
        ++inbox.count;
    } else {
        // slot was the oldest pending row.
        inbox.first = Next(inbox.first);
        skipped_.fetch_add(1, std::memory_order_relaxed);
    }
    pending_.store(true, std::memory_order_release);
}

std::size_t LogModel::Drain() {
    Inbox* taken;
    {
        std::lock_guard lock(inboxLock_);
        taken = &inboxes_[filling_];
        filling_ ^= 1;
        inboxes_[filling_].first = 0;
        inboxes_[filling_].count = 0;
        pending_.store(false, std::memory_order_release);
    }

    const std::size_t added = taken->count;
    std::size_t from = taken->first;
    for (std::size_t i = 0; i < added; ++i) {
        newest_ = Next(newest_);
        rows_[newest_] = taken->rows[from];
        from = Next(from);
    }
    count_ += added;
    droppedByLastDrain_ = TrimRows();
    return added;
}

std::size_t LogModel::TrimRows() {
    if (count_ <= kMaxRows)
        return 0;
    const std::size_t dropped = count_ - kMaxRows;
    count_ = kMaxRows;
    return dropped;
}

const LogRow& LogModel::Row(std::size_t index) const {
    if (index >= RowCount())
        return blank_;
    return rows_[newest_ >= index ? newest_ - index : newest_ + kMaxRows - index];
}

void LogModel::Clear() {
    {
        std::lock_guard lock(inboxLock_);
        inboxes_[filling_].first = 0;
        inboxes_[filling_].count = 0;
        pending_.store(false, std::memory_order_release);
    }
    count_ = 0;
    droppedByLastDrain_ = 0;
}
