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

#include <wx/font.h>
#include <wx/listctrl.h>

class LogModel;

class CLogListCtrl : public wxListCtrl {
  public:
    struct Column {
        const char* title;
        int width;
    };
    static const Column kColumns[8];

    CLogListCtrl(wxWindow* parent, LogModel& model);

    // Moves the rows that arrived since the last call into the table and shows them; returns how
    // many there were.
    std::size_t ShowNewRows();

    // Empties the model and the table.
    void ClearRows();

    // The window that paints the rows (the list itself where the list is native).
    wxWindow* RowsWindow();

  protected:
    wxString OnGetItemText(long item, long column) const override;

  private:
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
