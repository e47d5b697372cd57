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

#include <wx/font.h>
#include <wx/listctrl.h>

class LogModel;

class CLogListCtrl : public wxListCtrl {
  public:
    struct Column {
        const char* title;
        int width;  // pixels of the 8-point dialog font the table was designed with
    };
    static const Column kColumns[8];

    // The room a cell needs beside its text: the indent before it and the gap after it.
    static constexpr int kCellPadding = 10;

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

    // The selected rows, one line each, cells separated by tabs.
    wxString SelectedRowsText() const;

    // The window that paints the rows (the list itself where the list is native).
    wxWindow* RowsWindow();

  protected:
    wxString OnGetItemText(long item, long column) const override;

  private:
    // A design width in this window's font, and wide enough for the column's widest cell and title.
    int StartWidth(int column) const;
    // The operator's dragged widths are kept across runs.
    void OnColumnDragged(wxListEvent& event);
    void SaveWidths();

    void KeepViewAfterInsert(long selected, long top, std::size_t added);
    void OnPaintRows(wxPaintEvent& event);
    void MeasureCharacters(wxDC& dc, const wxFont& font);
    // How many characters of the text fit into `room` pixels: all of them, or as many as leave
    // room for an ellipsis.
    std::size_t FittingLength(const char* text, std::size_t length, int room) const;

    LogModel& model_;

    static constexpr int kFirstMeasured = 32;
    static constexpr int kLastMeasured = 126;
    std::array<int, kLastMeasured - kFirstMeasured + 1> charWidths_{};
    int ellipsisWidth_ = 0;
    wxFont widthsFont_;
};
