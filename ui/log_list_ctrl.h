// The log table: a virtual report list over the log model, newest row on top.
//
// The list holds no rows of its own; it asks the model for the cells of the rows on screen. New
// rows arrive in batches (ShowNewRows, on the view's timer). While the operator looks at the top of
// the table the new rows push the older ones down; once they have scrolled away from the top, the
// rows in view stay where they are and the new ones collect above them. A selected row stays
// selected as it moves down, until it drops off the bottom.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "log/id_filter.h"
#include "log/log_model.h"
#include "log/log_row_index.h"
#include "ui/fast_report_list.h"

class LogModel;

class CLogListCtrl : public CFastReportList {
  public:
    struct Column {
        const char* title;
        int width;  // pixels of the 8-point dialog font the table was designed with
    };
    static const Column kColumns[8];

    // The widest text each column can show in practice: the longest identifier, a full data
    // field, times of a session of hours.
    static std::string WidestCell(int column);

    // The sum of the column widths.
    int ColumnsWidth() const;

    CLogListCtrl(wxWindow* parent, LogModel& model);

    // Moves the rows that arrived since the last call into the table and shows them; returns how
    // many there were.
    std::size_t ShowNewRows();

    // Empties the model and the table.
    void ClearRows();

    // Shows only the frames `filter` lets through (bus events always); an inactive filter shows
    // every row. The selection and the top row stay with their rows where those still show.
    void SetIdFilter(const IdFilter& filter);
    const IdFilter& GetIdFilter() const { return m_index.Filter(); }
    // Rows of the model the filter hides.
    std::size_t HiddenRows() const { return m_index.Hidden(); }
    // The model's row behind list item `item`.
    const LogRow& ModelRow(long item) const;

  protected:
    std::size_t FormatCell(long row, int column, char* out, std::size_t capacity) const override;

  private:
    // A design width in this window's font, and wide enough for the column's widest cell and title.
    int StartWidth(int column) const;

    void KeepViewAfterInsert(long selected, long top, std::size_t added);

    LogModel& m_model;
    LogRowIndex m_index;
};
