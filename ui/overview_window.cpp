#include "ui/overview_window.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "monitor/monitor_session.h"
#include "ui/utf8_text.h"

namespace {

struct ColumnDef {
    const char* title;
    const char* widest;  // the widest text the column shows in practice
    int align;
};

const ColumnDef kColumns[COverviewWindow::kColumnCount] = {
    {"ID", "1fffffff", wxLIST_FORMAT_LEFT},
    {"Format", "29 Bit RTR", wxLIST_FORMAT_LEFT},
    {"Richtung", "Empfangen", wxLIST_FORMAT_LEFT},
    {"Anzahl", "99999999", wxLIST_FORMAT_RIGHT},
    {"Zyklus [ms]", "99999.9", wxLIST_FORMAT_RIGHT},
    {"Mittel [ms]", "99999.9", wxLIST_FORMAT_RIGHT},
    {"DLC", "15", wxLIST_FORMAT_RIGHT},
    {"0", "ff", wxLIST_FORMAT_CENTER},
    {"1", "ff", wxLIST_FORMAT_CENTER},
    {"2", "ff", wxLIST_FORMAT_CENTER},
    {"3", "ff", wxLIST_FORMAT_CENTER},
    {"4", "ff", wxLIST_FORMAT_CENTER},
    {"5", "ff", wxLIST_FORMAT_CENTER},
    {"6", "ff", wxLIST_FORMAT_CENTER},
    {"7", "ff", wxLIST_FORMAT_CENTER},
    {"Zeit", "9999.999 s", wxLIST_FORMAT_RIGHT},
};

// The log's names of the bus events, in the order of their record types.
const char* const kEventNames[] = {"Bus error",     "Overrun", "Wake up",
                                   "Warning error", "Passive", "Arbitration"};
static_assert(std::size(kEventNames) == std::size(OverviewEvents{}.counts));

constexpr int kCellPadding = 12;

wxString Milliseconds(double ms) {
    return ms < 0 ? wxString() : wxString::Format("%.1f", ms);
}

}  // namespace

wxString OverviewCellText(const OverviewRow& row, int column) {
    using W = COverviewWindow;
    if (row.other && column <= W::kColDirection) {
        return column == W::kColId ? U8("andere") : wxString();
    }
    switch (column) {
        case W::kColId:
            return wxString::Format(row.extended ? "%08x" : "%03x", row.id);
        case W::kColFormat:
            return U8(row.extended ? "29 Bit" : "11 Bit") + (row.remote ? U8(" RTR") : wxString());
        case W::kColDirection:
            if (row.directions == (kOverviewReceived | kOverviewSent))
                return U8("Beide");
            return U8(row.directions & kOverviewSent ? "Gesendet" : "Empfangen");
        case W::kColCount:
            return wxString::Format("%llu", static_cast<unsigned long long>(row.count));
        case W::kColCycle:
            return Milliseconds(row.lastIntervalMs);
        case W::kColMean:
            return Milliseconds(row.meanIntervalMs);
        case W::kColDlc:
            return wxString::Format("%u", static_cast<unsigned>(row.dlc));
        case W::kColTime:
            return wxString::Format("%.3f s", row.lastSeconds);
        default:
            break;
    }
    const int byte = column - W::kColFirstByte;
    if (byte < 0 || byte >= 8 || row.remote || byte >= row.dlc)
        return wxString();
    return wxString::Format("%02x", static_cast<unsigned>(row.data[byte]));
}

// The virtual list over the window's copy of the rows.
class COverviewWindow::RowList : public wxListCtrl {
  public:
    explicit RowList(COverviewWindow* owner)
        : wxListCtrl(owner, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxLC_REPORT | wxLC_VIRTUAL | wxLC_NO_SORT_HEADER),
          owner_(*owner) {
        changed_.SetBackgroundColour(wxColour(255, 221, 120));
        for (int i = 0; i < kColumnCount; ++i) {
            InsertColumn(i, U8(kColumns[i].title), kColumns[i].align);
            const int cell = GetTextExtent(U8(kColumns[i].widest)).x;
            const int title = GetTextExtent(U8(kColumns[i].title)).x;
            SetColumnWidth(i, std::max(cell, title) + kCellPadding);
        }
    }

  protected:
    wxString OnGetItemText(long item, long column) const override {
        return owner_.CellText(item, static_cast<int>(column));
    }
    wxItemAttr* OnGetItemColumnAttr(long item, long column) const override {
        const int byte = static_cast<int>(column) - kColFirstByte;
        if (byte >= 0 && byte < 8 && owner_.ByteChanged(item, byte))
            return &changed_;
        return nullptr;
    }

  private:
    COverviewWindow& owner_;
    mutable wxItemAttr changed_;
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
}

void COverviewWindow::ShowRows(std::int64_t nowNs) {
    m_session.m_overview.Snapshot(nowNs, m_rows, m_events);
    const auto load = m_session.m_trueLoad.Sample(
        nowNs, m_session.m_channel ? m_session.m_channel->baudrate.load() : 0);
    wxString summary =
        wxString::Format(U8("Buslast (exakt) %.2f %%   Spitze %.2f %%   Mittel %.2f %%"),
                         load.percent, load.peakPercent, load.meanPercent);
    for (std::size_t i = 0; i < std::size(kEventNames); ++i) {
        summary += wxString::Format("   %s %llu", kEventNames[i],
                                    static_cast<unsigned long long>(m_events.counts[i]));
    }
    if (summary != m_summary->GetLabel())
        m_summary->SetLabel(summary);
    const long count = static_cast<long>(m_rows.size());
    if (count != m_list->GetItemCount())
        m_list->SetItemCount(count);
    if (count > 0 && m_list->IsShownOnScreen()) {
        const long top = std::max(0L, m_list->GetTopItem());
        const long last = std::min(count - 1, top + m_list->GetCountPerPage());
        m_list->RefreshItems(top, last);
    }
}

void COverviewWindow::ClearRows() {
    m_rows.clear();
    m_events = OverviewEvents{};
    m_list->SetItemCount(0);
    m_list->Refresh();
}

wxListCtrl* COverviewWindow::List() const {
    return m_list;
}

long COverviewWindow::RowCount() const {
    return static_cast<long>(m_rows.size());
}

wxString COverviewWindow::CellText(long row, int column) const {
    if (row < 0 || row >= RowCount())
        return wxString();
    return OverviewCellText(m_rows[static_cast<std::size_t>(row)], column);
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
    wxString text;
    for (long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item >= 0;
         item = m_list->GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        for (int column = 0; column < kColumnCount; ++column) {
            if (column > 0)
                text += '\t';
            text += CellText(item, column);
        }
        text += '\n';
    }
    return text;
}
