#include "log/log_row_index.h"

#include <algorithm>

#include "can/can_msg.h"

LogRowIndex::LogRowIndex(const LogModel& model)
    : m_model(model), m_arrived(model.RowCount()), m_shown(LogModel::kMaxRows) {}

bool LogRowIndex::Passes(const IdFilter& filter, const LogRow& row) {
    const LogRowKind kind = ClassifyLogEvent(row.msg.type).kind;
    if (kind != LogRowKind::kReceived && kind != LogRowKind::kTransmitted)
        return true;
    return filter.Matches(row.msg.id, CanMsgIsExtended(row.msg));
}

void LogRowIndex::SetFilter(const IdFilter& filter) {
    m_filter = filter;
    m_first = 0;
    m_count = 0;
    m_arrived = std::max<std::uint64_t>(m_arrived, m_model.RowCount());
    if (!m_filter.Active())
        return;
    for (std::size_t row = 0; row < m_model.RowCount(); ++row) {
        if (Passes(m_filter, m_model.Row(row)))
            m_shown[m_count++] = m_arrived - 1 - row;
    }
}

std::size_t LogRowIndex::AfterDrain(std::size_t added) {
    m_arrived += added;
    if (!m_filter.Active())
        return added;
    const std::size_t fresh = std::min(added, m_model.RowCount());
    std::size_t taken = 0;
    for (std::size_t row = fresh; row-- > 0;) {
        if (!Passes(m_filter, m_model.Row(row)))
            continue;
        m_first = (m_first + m_shown.size() - 1) % m_shown.size();
        m_shown[m_first] = m_arrived - 1 - row;
        m_count = std::min(m_count + 1, m_shown.size());
        ++taken;
    }
    // The rows that went off the model's bottom go from the index's too.
    const std::uint64_t oldest = m_arrived - m_model.RowCount();
    while (m_count > 0 && m_shown[(m_first + m_count - 1) % m_shown.size()] < oldest)
        --m_count;
    return std::min(taken, m_count);
}

void LogRowIndex::Clear() {
    m_first = 0;
    m_count = 0;
}

std::size_t LogRowIndex::Count() const {
    return m_filter.Active() ? m_count : m_model.RowCount();
}

std::size_t LogRowIndex::ModelRow(std::size_t item) const {
    if (!m_filter.Active())
        return item;
    if (item >= m_count)
        return LogModel::kMaxRows;  // a row the model does not have: blank cells
    return static_cast<std::size_t>(m_arrived - 1 - m_shown[(m_first + item) % m_shown.size()]);
}
