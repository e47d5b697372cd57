// The overview by identifier: one live row per identifier and frame kind, below a line with the
// bus events by kind and the true bus load.
//
// The rows live in the session's IdOverview, which the receive thread keeps current whether this
// window is shown or not; the window copies them on the view's timer (ShowRows) and the list asks
// for the cells of the rows on screen. Data bytes that changed within the last second are drawn
// on a marker-coloured background.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/listctrl.h>
#include <wx/panel.h>

#include "log/id_filter.h"
#include "log/id_overview.h"
#include "ui/fast_report_list.h"

class MonitorSession;
class wxStaticText;

class COverviewWindow : public wxPanel {
  public:
    enum Column {
        kColId,
        kColFormat,
        kColDirection,
        kColCount,
        kColCycle,
        kColMean,
        kColDlc,
        kColData,
        kColTime,
        kColMessage,  // the message's name in the loaded databases
        kColumnCount
    };

    COverviewWindow(wxWindow* parent, MonitorSession& session);

    // Takes the rows and the figures of the top line as they stand at `nowNs` (steady clock); the
    // top line changes at most twice a second unless `whole` asks for it now.
    void ShowRows(std::int64_t nowNs, bool whole = false);
    // Empties the rows now (the model was cleared).
    void ClearRows();

    // What the operator sees, for the copy command and for tests.
    long RowCount() const;
    wxString CellText(long row, int column) const;
    bool ByteChanged(long row, int byte) const;
    wxString SummaryText() const;
    // The selected rows, one line each, cells separated by tabs.
    wxString SelectedRowsText() const;
    bool HasSelection() const;
    // The first selected row, null when none.
    const OverviewRow* SelectedRow() const;

    CFastReportList* List() const;

    // Sorts the rows by `column` (a header click sorts by its column, a second click reverses);
    // before the first, the rows stand in the model's order, by identifier.
    void SortBy(int column, bool ascending);
    int SortColumn() const { return m_sortColumn; }
    // Shows only the identifiers `filter` lets through; the "andere" row goes while one is set.
    void SetIdFilter(const IdFilter& filter);
    // Rows the filter hid at the last ShowRows.
    std::size_t HiddenRows() const { return m_hidden; }

  private:
    class RowList;

    static std::uint64_t KeyOf(const OverviewRow& row);
    // Selects the rows whose keys were selected before the rows moved.
    void Reselect();
    void FilterAndSort();

    MonitorSession& m_session;
    wxStaticText* m_summary = nullptr;
    RowList* m_list = nullptr;
    std::vector<OverviewRow> m_rows;
    std::vector<std::string> m_names;  // the rows' message names (kColMessage)
    OverviewEvents m_events;
    std::vector<std::uint64_t> m_selectedKeys;
    IdFilter m_filter;
    std::size_t m_hidden = 0;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
    // Buffers of the sort, kept between snapshots.
    std::vector<std::size_t> m_order;
    std::vector<OverviewRow> m_sorted;
    std::vector<std::string> m_sortedNames;
    static constexpr std::int64_t kSummaryIntervalNs = 500'000'000;
    std::int64_t m_summaryShownNs = 0;
};

// One cell of an overview row as the list shows it: writes the text (zero-terminated, at most
// `capacity` bytes with the zero) and returns its length.
std::size_t FormatOverviewCell(const OverviewRow& row, int column, char* out, std::size_t capacity);
