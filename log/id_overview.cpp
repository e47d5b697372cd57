#include "log/id_overview.h"

#include <algorithm>
#include <limits>

#include "can/floor_div.h"
#include "log/log_row.h"

namespace {

constexpr std::int64_t kSecondNs = 1'000'000'000;
// The mean interval counts frames in ten buckets of 100 ms by arrival, so a row keeps ten
// counters instead of every frame's time; the last second is judged to the nearest bucket.
constexpr std::int64_t kBucketNs = 100'000'000;
constexpr int kBuckets = 10;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::min();

// Twice as many slots as rows: a lookup rarely probes more than two or three.
constexpr int kSlotBits = 13;
constexpr std::size_t kSlotCount = std::size_t{1} << kSlotBits;
static_assert(kSlotCount >= 2 * IdOverview::kMaxRows);
static_assert(IdOverview::kMaxRows <= std::numeric_limits<std::uint16_t>::max());

// A frame row's key: identifier, format and remote flag, with the top bit set so that no key
// is 0 (an empty slot, a free row).
constexpr std::uint32_t kFrameKeyBit = 0x8000'0000u;
constexpr std::uint32_t kExtendedKeyBit = 0x2000'0000u;
constexpr std::uint32_t kRemoteKeyBit = 0x4000'0000u;
constexpr std::uint32_t kOtherKey = 1;

std::uint32_t FrameKey(const CanMsg& msg) {
    const bool extended = CanMsgIsExtended(msg);
    std::uint32_t key = kFrameKeyBit | (msg.id & (extended ? 0x1FFF'FFFFu : 0x7FFu));
    if (extended)
        key |= kExtendedKeyBit;
    if (msg.rtr != 0)
        key |= kRemoteKeyBit;
    return key;
}

std::size_t SlotOf(std::uint32_t key) {
    return (key * 0x9E37'79B1u) >> (32 - kSlotBits);
}

}  // namespace

struct IdOverview::Row {
    struct Bucket {
        std::int64_t slot = kNever;  // arrival time / kBucketNs
        double firstSeconds = 0;     // stamp of the bucket's first frame
        std::uint32_t count = 0;
    };

    std::mutex lock;
    std::uint32_t key = 0;
    std::uint32_t epoch = 0;  // the time epoch of lastSeconds
    int dataBytes = 0;        // of the last frame, for the next comparison
    OverviewRow shown;        // all but the mean and the changed mask, made at a snapshot
    std::int64_t changedNs[8];
    Bucket buckets[kBuckets];

    void Reset(std::uint32_t newKey) {
        key = newKey;
        epoch = 0;
        dataBytes = 0;
        shown = OverviewRow{};
        shown.other = newKey == kOtherKey;
        if (newKey & kFrameKeyBit) {
            shown.extended = (newKey & kExtendedKeyBit) != 0;
            shown.remote = (newKey & kRemoteKeyBit) != 0;
            shown.id = newKey & 0x1FFF'FFFFu;
        }
        std::fill(std::begin(changedNs), std::end(changedNs), kNever);
        std::fill(std::begin(buckets), std::end(buckets), Bucket{});
    }

    OverviewRow Shown(std::int64_t nowNs) const {
        OverviewRow row = shown;
        const std::int64_t nowSlot = can::FloorDiv(nowNs, kBucketNs);
        std::uint64_t frames = 0;
        std::int64_t oldest = std::numeric_limits<std::int64_t>::max();
        double firstSeconds = 0;
        for (const Bucket& b : buckets) {
            if (b.count == 0 || b.slot <= nowSlot - kBuckets)
                continue;
            frames += b.count;
            if (b.slot < oldest) {
                oldest = b.slot;
                firstSeconds = b.firstSeconds;
            }
        }
        // The newest bucket holds the last frame, so the frames in the window span from the
        // oldest bucket's first stamp to the row's last one.
        row.meanIntervalMs =
            frames >= 2 ? (shown.lastSeconds - firstSeconds) * 1000.0 / double(frames - 1) : -1;
        row.changedMask = 0;
        row.fadingMask = 0;
        for (int i = 0; i < 8; ++i) {
            if (changedNs[i] != kNever && nowNs - changedNs[i] < kSecondNs) {
                row.changedMask |= static_cast<std::uint8_t>(1u << i);
                if (nowNs - changedNs[i] >= kSecondNs / 2)
                    row.fadingMask |= static_cast<std::uint8_t>(1u << i);
            }
        }
        return row;
    }
};

IdOverview::IdOverview()
    : m_slotKeys(new std::atomic<std::uint32_t>[kSlotCount]),
      m_slotRows(new std::atomic<std::uint16_t>[kSlotCount]),
      m_rows(new Row[kMaxRows + 1]) {
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        m_slotKeys[i].store(0, std::memory_order_relaxed);
        m_slotRows[i].store(0, std::memory_order_relaxed);
    }
    for (std::size_t i = 0; i < kMaxRows; ++i)
        m_rows[i].Reset(0);
    m_rows[kMaxRows].Reset(kOtherKey);
}

IdOverview::~IdOverview() = default;

IdOverview::Row* IdOverview::Find(std::uint32_t key, std::size_t& slot) {
    // The table is never more than half full, so an empty slot ends every search.
    for (std::size_t i = SlotOf(key);; i = (i + 1) & (kSlotCount - 1)) {
        const std::uint32_t k = m_slotKeys[i].load(std::memory_order_acquire);
        if (k == key)
            return &m_rows[m_slotRows[i].load(std::memory_order_relaxed)];
        if (k == 0) {
            slot = i;
            return nullptr;
        }
    }
}

void IdOverview::Push(const CanMsg& msg, double absSeconds, std::int64_t arrivalNs) {
    std::uint8_t direction = 0;
    switch (ClassifyLogEvent(msg.type).kind) {
        case LogRowKind::kReceived:
            direction = kOverviewReceived;
            break;
        case LogRowKind::kTransmitted:
            direction = kOverviewSent;
            break;
        case LogRowKind::kBusEvent:
            m_events[msg.type - CAN_EV_BUS_ERROR].fetch_add(1, std::memory_order_relaxed);
            return;
        case LogRowKind::kNone:
            return;
    }
    const std::uint32_t key = FrameKey(msg);
    std::size_t slot = 0;
    if (Row* row = Find(key, slot)) {
        std::lock_guard lock(row->lock);
        // A clear may have freed the row, or given it to another identifier, since it was found;
        // then the frame goes the way of a new one.
        if (row->key == key) {
            Update(*row, msg, direction, absSeconds, arrivalNs);
            return;
        }
    }
    PushNew(key, msg, direction, absSeconds, arrivalNs);
}

void IdOverview::PushNew(std::uint32_t key, const CanMsg& msg, std::uint8_t direction,
                         double absSeconds, std::int64_t arrivalNs) {
    std::lock_guard table(m_tableLock);
    // Looked up again: no clear or insertion runs under the table lock, so this answer holds.
    std::size_t slot = 0;
    if (Row* row = Find(key, slot)) {
        std::lock_guard lock(row->lock);
        Update(*row, msg, direction, absSeconds, arrivalNs);
        return;
    }
    const std::size_t used = m_used.load(std::memory_order_relaxed);
    if (used == kMaxRows) {
        Row& other = m_rows[kMaxRows];
        std::lock_guard lock(other.lock);
        Update(other, msg, direction, absSeconds, arrivalNs);
        m_otherUsed.store(true, std::memory_order_release);
        return;
    }
    Row& row = m_rows[used];
    {
        std::lock_guard lock(row.lock);
        row.Reset(key);
        Update(row, msg, direction, absSeconds, arrivalNs);
    }
    m_slotRows[slot].store(static_cast<std::uint16_t>(used), std::memory_order_relaxed);
    m_slotKeys[slot].store(key, std::memory_order_release);
    m_used.store(used + 1, std::memory_order_release);
}

void IdOverview::Update(Row& row, const CanMsg& msg, std::uint8_t direction, double absSeconds,
                        std::int64_t arrivalNs) {
    OverviewRow& s = row.shown;
    const std::uint32_t epoch = m_timeEpoch.load(std::memory_order_relaxed);
    // A stamp from after a time reset, or one running backwards (a frame stamped before the
    // reset but pushed after it), shares no interval with the stamps before it.
    const bool sameTimes = s.count > 0 && row.epoch == epoch && absSeconds >= s.lastSeconds;
    if (!sameTimes)
        std::fill(std::begin(row.buckets), std::end(row.buckets), Row::Bucket{});
    s.lastIntervalMs = sameTimes ? (absSeconds - s.lastSeconds) * 1000.0 : -1;
    s.lastSeconds = absSeconds;
    row.epoch = epoch;
    s.directions |= direction;
    ++s.count;

    const std::int64_t slot = can::FloorDiv(arrivalNs, kBucketNs);
    Row::Bucket& bucket = row.buckets[((slot % kBuckets) + kBuckets) % kBuckets];
    if (bucket.slot != slot) {
        bucket.slot = slot;
        bucket.count = 0;
        bucket.firstSeconds = absSeconds;
    }
    ++bucket.count;

    if (s.other)
        return;
    const int bytes = msg.rtr != 0 ? 0 : std::min<int>(msg.dlc, kCanMaxFrameBytes);
    for (int i = 0; i < bytes; ++i) {
        // A byte the previous frame did not have counts as changed.
        if (s.count > 1 && (i >= row.dataBytes || msg.data[i] != s.data[i]))
            row.changedNs[i] = arrivalNs;
        s.data[i] = msg.data[i];
    }
    std::fill(s.data + bytes, s.data + kCanMaxFrameBytes, std::uint8_t{0});
    row.dataBytes = bytes;
    s.dlc = msg.dlc;
}

void IdOverview::Snapshot(std::int64_t nowNs, std::vector<OverviewRow>& rows,
                          OverviewEvents& events) const {
    rows.clear();
    const std::size_t used = m_used.load(std::memory_order_acquire);
    rows.reserve(used + 1);
    for (std::size_t i = 0; i < used; ++i) {
        Row& row = m_rows[i];
        std::lock_guard lock(row.lock);
        if (row.key != 0)  // not cleared since `used` was read
            rows.push_back(row.Shown(nowNs));
    }
    std::sort(rows.begin(), rows.end(), [](const OverviewRow& a, const OverviewRow& b) {
        if (a.extended != b.extended)
            return !a.extended;
        if (a.id != b.id)
            return a.id < b.id;
        return !a.remote && b.remote;
    });
    if (m_otherUsed.load(std::memory_order_acquire)) {
        Row& other = m_rows[kMaxRows];
        std::lock_guard lock(other.lock);
        if (other.shown.count > 0)
            rows.push_back(other.Shown(nowNs));
    }
    for (int i = 0; i < 6; ++i)
        events.counts[i] = m_events[i].load(std::memory_order_relaxed);
}

std::size_t IdOverview::RowCount() const {
    return m_used.load(std::memory_order_relaxed) +
           (m_otherUsed.load(std::memory_order_relaxed) ? 1 : 0);
}

void IdOverview::Clear() {
    std::lock_guard table(m_tableLock);
    for (std::size_t i = 0; i < kSlotCount; ++i)
        m_slotKeys[i].store(0, std::memory_order_relaxed);
    const std::size_t used = m_used.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < used; ++i) {
        std::lock_guard lock(m_rows[i].lock);
        m_rows[i].Reset(0);
    }
    {
        std::lock_guard lock(m_rows[kMaxRows].lock);
        m_rows[kMaxRows].Reset(kOtherKey);
    }
    m_otherUsed.store(false, std::memory_order_relaxed);
    m_used.store(0, std::memory_order_release);
    for (auto& count : m_events)
        count.store(0, std::memory_order_relaxed);
}

void IdOverview::RestartTimes() {
    m_timeEpoch.fetch_add(1, std::memory_order_relaxed);
}
