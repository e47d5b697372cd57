#include "ui/overview_window.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <tuple>

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "monitor/monitor_session.h"
#include "settings/settings.h"
#include "ui/utf8_text.h"

namespace {

struct ColumnDef {
    const char* title;
    const char* widest;  // the widest text the column shows in practice (8 is the widest digit)
};

const ColumnDef kColumns[COverviewWindow::kColumnCount] = {
    {"ID", "18888888"},
    {"Format", "29 Bit RTR"},
    {"Richtung", "Empfangen"},
    {"Anzahl", "88888888"},
    {"Zyklus [ms]", "99999.9"},
    {"Mittel [ms]", "99999.9"},
    {"DLC", "15"},
    {"Daten", "88 88 88 88 88 88 88 88"},
    {"Zeit", "9999.999 s"},
    {"Botschaft", "Motorsteuerung"},
};

// The log's names of the bus events, in the order of their record types.
const char* const kEventNames[] = {"Bus error",     "Overrun", "Wake up",
                                   "Warning error", "Passive", "Arbitration"};
static_assert(std::size(kEventNames) == std::size(OverviewEvents{}.counts));

// snprintf's result as a cell's length: never more than the buffer holds.
std::size_t Put(std::size_t capacity, int written) {
    if (written < 0)
        return 0;
    return std::min(static_cast<std::size_t>(written), capacity - 1);
}

std::size_t CopyCell(const std::string& text, char* out, std::size_t capacity) {
    if (capacity == 0)
        return 0;
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), length, out);
    out[length] = '\0';
    return length;
}

std::size_t Milliseconds(double ms, char* out, std::size_t capacity) {
    return ms < 0 ? 0 : Put(capacity, std::snprintf(out, capacity, "%.1f", ms));
}

}  // namespace

std::size_t FormatOverviewCell(const OverviewRow& row, int column, char* out,
                               std::size_t capacity) {
    using W = COverviewWindow;
    if (capacity == 0)
        return 0;
    out[0] = '\0';
    const auto print = [&](const char* format, auto... values) {
        return Put(capacity, std::snprintf(out, capacity, format, values...));
    };
    if (row.other && column <= W::kColDirection)
        return column == W::kColId ? print("andere") : 0;
    switch (column) {
        case W::kColId:
            return print(row.extended ? "%08x" : "%03x", static_cast<unsigned>(row.id));
        case W::kColFormat:
            return print("%s%s", row.extended ? "29 Bit" : "11 Bit", row.remote ? " RTR" : "");
        case W::kColDirection:
            if (row.directions == (kOverviewReceived | kOverviewSent))
                return print("Beide");
            return print(row.directions & kOverviewSent ? "Gesendet" : "Empfangen");
        case W::kColCount:
            return print("%llu", static_cast<unsigned long long>(row.count));
        case W::kColCycle:
            return Milliseconds(row.lastIntervalMs, out, capacity);
        case W::kColMean:
            return Milliseconds(row.meanIntervalMs, out, capacity);
        case W::kColDlc:
            return print("%u", static_cast<unsigned>(row.dlc));
        case W::kColTime:
            return print("%.3f s", row.lastSeconds);
        default:
            break;
    }
    if (column != W::kColData || row.remote || row.other)
        return 0;
    // As the log shows a data field: two digits a byte, a blank between them.
    static constexpr char kHex[] = "0123456789abcdef";
    const std::size_t bytes = std::min<std::size_t>(row.dlc, 8);
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes && length + 3 < capacity; ++i) {
        if (i > 0)
            out[length++] = ' ';
        out[length++] = kHex[row.data[i] >> 4];
        out[length++] = kHex[row.data[i] & 0xf];
    }
    out[length] = '\0';
    return length;
}

// The virtual list over the window's copy of the rows.
class COverviewWindow::RowList : public CFastReportList {
  public:
    explicit RowList(COverviewWindow* owner) : CFastReportList(owner, 0), owner_(*owner) {
        for (int i = 0; i < kColumnCount; ++i) {
            InsertColumn(i, U8(kColumns[i].title));
            const int cell = GetTextExtent(U8(kColumns[i].widest)).x;
            const int title = GetTextExtent(U8(kColumns[i].title)).x;
            SetColumnWidth(i, std::max(cell, title) + 2 * kCellPadding);
        }
        KeepColumnWidths(settings::kOverviewColumnsSection);
    }

  protected:
    std::size_t FormatCell(long row, int column, char* out, std::size_t capacity) const override {
        if (row < 0 || row >= owner_.RowCount()) {
            if (capacity > 0)
                out[0] = '\0';
            return 0;
        }
        if (column == kColMessage)
            return CopyCell(owner_.m_names[static_cast<std::size_t>(row)], out, capacity);
        return FormatOverviewCell(owner_.m_rows[static_cast<std::size_t>(row)], column, out,
                                  capacity);
    }
    std::uint64_t MarkedCharacters(long row, int column) const override {
        if (column != kColData)
            return 0;
        std::uint64_t marked = 0;
        for (int byte = 0; byte < 8; ++byte) {
            if (owner_.ByteChanged(row, byte))
                marked |= std::uint64_t{3} << (3 * byte);
        }
        return marked;
    }
    std::uint64_t FadingCharacters(long row, int column) const override {
        if (column != kColData || row < 0 || row >= owner_.RowCount())
            return 0;
        const std::uint8_t fading = owner_.m_rows[static_cast<std::size_t>(row)].fadingMask;
        std::uint64_t marked = 0;
        for (int byte = 0; byte < 8; ++byte) {
            if ((fading >> byte) & 1)
                marked |= std::uint64_t{3} << (3 * byte);
        }
        return marked;
    }

  private:
    COverviewWindow& owner_;
};

COverviewWindow::COverviewWindow(wxWindow* parent, MonitorSession& session)
    : wxPanel(parent, wxID_ANY), m_session(session) {
    m_summary = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                 wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    m_list = new RowList(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_summary, 0, wxEXPAND | wxALL, 4);
    sizer->Add(m_list, 1, wxEXPAND);
    SetSizer(sizer);
    m_rows.reserve(IdOverview::kMaxRows + 1);
    m_sorted.reserve(IdOverview::kMaxRows + 1);
    m_list->Bind(wxEVT_LIST_COL_CLICK, [this](wxListEvent& event) {
        const int column = event.GetColumn();
        if (column >= 0)
            SortBy(column, column == m_sortColumn ? !m_sortAscending : true);
    });
}

void COverviewWindow::SortBy(int column, bool ascending) {
    m_sortColumn = column;
    m_sortAscending = ascending;
    m_list->ShowSortIndicator(column, ascending);
    ShowRows(MonitorSession::ArrivalClockNs());
}

void COverviewWindow::SetIdFilter(const IdFilter& filter) {
    m_filter = filter;
    ShowRows(MonitorSession::ArrivalClockNs());
}

namespace {

// Orders two rows by one column; ties keep the model's order (by identifier).
bool Before(const OverviewRow& a, const std::string& nameA, const OverviewRow& b,
            const std::string& nameB, int column) {
    using W = COverviewWindow;
    switch (column) {
        case W::kColId:
            return std::tie(a.other, a.id, a.extended) < std::tie(b.other, b.id, b.extended);
        case W::kColFormat:
            return std::tie(a.extended, a.remote) < std::tie(b.extended, b.remote);
        case W::kColDirection:
            return a.directions < b.directions;
        case W::kColCount:
            return a.count < b.count;
        case W::kColCycle:
            return a.lastIntervalMs < b.lastIntervalMs;
        case W::kColMean:
            return a.meanIntervalMs < b.meanIntervalMs;
        case W::kColDlc:
            return a.dlc < b.dlc;
        case W::kColData:
            return std::lexicographical_compare(a.data, a.data + std::min<int>(a.dlc, 8), b.data,
                                                b.data + std::min<int>(b.dlc, 8));
        case W::kColTime:
            return a.lastSeconds < b.lastSeconds;
        case W::kColMessage:
            return nameA < nameB;
        default:
            return false;
    }
}

}  // namespace

void COverviewWindow::FilterAndSort() {
    m_hidden = 0;
    if (m_filter.Active()) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            const OverviewRow& row = m_rows[i];
            if (row.other || !m_filter.Matches(row.id, row.extended))
                continue;
            if (kept != i) {
                m_rows[kept] = row;
                std::swap(m_names[kept], m_names[i]);
            }
            ++kept;
        }
        m_hidden = m_rows.size() - kept;
        m_rows.resize(kept);
        m_names.resize(kept);
    }
    if (m_sortColumn < 0)
        return;
    m_order.resize(m_rows.size());
    for (std::size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    const int column = m_sortColumn;
    const bool ascending = m_sortAscending;
    std::stable_sort(m_order.begin(), m_order.end(), [&](std::size_t a, std::size_t b) {
        return ascending ? Before(m_rows[a], m_names[a], m_rows[b], m_names[b], column)
                         : Before(m_rows[b], m_names[b], m_rows[a], m_names[a], column);
    });
    m_sorted.clear();
    m_sortedNames.resize(m_order.size());
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        m_sorted.push_back(m_rows[m_order[i]]);
        m_sortedNames[i].swap(m_names[m_order[i]]);
    }
    m_rows.swap(m_sorted);
    m_names.swap(m_sortedNames);
}

void COverviewWindow::ShowRows(std::int64_t nowNs, bool whole) {
    if (whole)
        m_summaryShownNs = 0;
    // A new identifier moves the rows sorted after it; the selection stays with its rows.
    m_selectedKeys.clear();
    for (long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item >= 0;
         item = m_list->GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        if (item < RowCount())
            m_selectedKeys.push_back(KeyOf(m_rows[static_cast<std::size_t>(item)]));
    }
    const std::size_t before = m_rows.size();
    m_session.Overview().Snapshot(nowNs, m_rows, m_events);
    const auto databases = m_session.Databases().Set();
    m_names.resize(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const OverviewRow& row = m_rows[i];
        const dbc::Message* message =
            row.other ? nullptr : databases->Find(row.id, row.extended).message;
        if (message) {
            if (m_names[i] != message->name)
                m_names[i] = message->name;
        } else {
            m_names[i].clear();
        }
    }
    FilterAndSort();
    // Sorted by a changing column, rows move without their number changing.
    if (!m_selectedKeys.empty() &&
        (m_rows.size() != before || m_sortColumn >= 0 || m_filter.Active()))
        Reselect();
    const auto load = m_session.ExactLoad(nowNs);
    wxString summary =
        wxString::Format(U8("Buslast (exakt) %.2f %%   Spitze %.2f %%   Mittel %.2f %%"),
                         load.percent, load.peakPercent, load.meanPercent);
    for (std::size_t i = 0; i < std::size(kEventNames); ++i) {
        summary += wxString::Format("   %s %llu", kEventNames[i],
                                    static_cast<unsigned long long>(m_events.counts[i]));
    }
    // A label that changes lays itself out anew; twice a second is enough for figures that are
    // sums over a second anyway.
    if (summary != m_summary->GetLabel() &&
        (m_summaryShownNs == 0 || nowNs - m_summaryShownNs >= kSummaryIntervalNs)) {
        m_summary->SetLabel(summary);
        m_summaryShownNs = nowNs;
    }
    const long count = static_cast<long>(m_rows.size());
    if (count != m_list->GetItemCount())
        m_list->SetItemCount(count);
    if (count > 0 && m_list->IsShownOnScreen())
        m_list->RefreshChangedCells();
}

std::uint64_t COverviewWindow::KeyOf(const OverviewRow& row) {
    return (std::uint64_t{row.other} << 34) | (std::uint64_t{row.extended} << 33) |
           (std::uint64_t{row.remote} << 32) | row.id;
}

void COverviewWindow::Reselect() {
    m_list->SetItemCount(static_cast<long>(m_rows.size()));
    for (long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item >= 0;
         item = m_list->GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        m_list->SetItemState(item, 0, wxLIST_STATE_SELECTED);
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const std::uint64_t key = KeyOf(m_rows[i]);
        if (std::find(m_selectedKeys.begin(), m_selectedKeys.end(), key) != m_selectedKeys.end())
            m_list->SetItemState(static_cast<long>(i), wxLIST_STATE_SELECTED,
                                 wxLIST_STATE_SELECTED);
    }
}

void COverviewWindow::ClearRows() {
    m_summaryShownNs = 0;
    m_rows.clear();
    m_events = OverviewEvents{};
    m_list->SetItemCount(0);
    m_list->Refresh();
}

CFastReportList* COverviewWindow::List() const {
    return m_list;
}

long COverviewWindow::RowCount() const {
    return static_cast<long>(m_rows.size());
}

const OverviewRow* COverviewWindow::SelectedRow() const {
    const long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return item >= 0 && item < RowCount() ? &m_rows[static_cast<std::size_t>(item)] : nullptr;
}

wxString COverviewWindow::CellText(long row, int column) const {
    if (row < 0 || row >= RowCount())
        return wxString();
    if (column == kColMessage)
        return wxString::FromUTF8(m_names[static_cast<std::size_t>(row)]);
    char cell[CFastReportList::kCellCapacity];
    const std::size_t length =
        FormatOverviewCell(m_rows[static_cast<std::size_t>(row)], column, cell, sizeof cell);
    return wxString::FromUTF8(cell, length);
}

bool COverviewWindow::ByteChanged(long row, int byte) const {
    if (row < 0 || row >= RowCount() || byte < 0 || byte >= 8)
        return false;
    const OverviewRow& r = m_rows[static_cast<std::size_t>(row)];
    return (r.changedMask >> byte) & 1;
}

wxString COverviewWindow::SummaryText() const {
    return m_summary->GetLabel();
}

bool COverviewWindow::HasSelection() const {
    return m_list->GetSelectedItemCount() > 0;
}

wxString COverviewWindow::SelectedRowsText() const {
    return m_list->SelectedRowsText();
}
