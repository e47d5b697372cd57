// A virtual report list that paints its rows itself.
//
// wx's own painting of a report list measures every cell's text with the text system on every
// repaint, which on a busy bus costs more than everything else the program does. This list paints
// the rows on screen column by column instead: cell texts (printable ASCII) are measured with a
// table of character widths taken once per font, a cell too wide for its column ends in an
// ellipsis, and selection and focus are drawn as the platform draws them. A derived list says
// what a cell shows (FormatCell) and, optionally, which cells have a background of their own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <wx/colour.h>
#include <wx/font.h>
#include <wx/listctrl.h>

// The colour of a text marker behind what changed lately (the overview's bytes, the signal
// detail's rows); the same light colour in every theme.
inline wxColour ChangeMarkColour() { return wxColour(255, 221, 120); }

class CFastReportList : public wxListCtrl {
  public:
    // The most a cell's text can take, its terminating zero included.
    static constexpr std::size_t kCellCapacity = 64;
    // The room a cell needs beside its text: the indent before it and the gap after it.
    static constexpr int kCellPadding = 10;

    // `style` adds to wxLC_REPORT | wxLC_VIRTUAL.
    CFastReportList(wxWindow* parent, long style);

    // The selected rows, one line each, cells separated by tabs.
    wxString SelectedRowsText() const;

    // The window that paints the rows (the list itself where the list is native).
    wxWindow* RowsWindow();

    // The operator's dragged widths are kept across runs in the settings file's `section`: the
    // columns take the widths found there (a column without one keeps the width it has), and
    // every drag writes them all. Called once the columns exist.
    void KeepColumnWidths(const char* section);

  protected:
    // Writes the cell's text (zero-terminated, at most `capacity` bytes with the zero) and returns
    // its length; 0 for an empty cell or a row the list no longer has.
    virtual std::size_t FormatCell(long row, int column, char* out, std::size_t capacity) const = 0;
    // Characters of the cell (bit i: character i) drawn on the mark colour, as a text marker
    // would; none by default. A selected row shows no marks.
    virtual std::uint64_t MarkedCharacters(long /*row*/, int /*column*/) const { return 0; }
    void SetMarkColour(const wxColour& colour) { m_markColour = colour; }

    wxString OnGetItemText(long item, long column) const override;

    // Where a cell's text starts in its column, and the gap kept free at the column's right edge.
    static constexpr int kTextIndent = 4;
    static constexpr int kCellMargin = 6;
    static_assert(kTextIndent + kCellMargin == kCellPadding);

  private:
    void OnColumnDragged(wxListEvent& event);
    void SaveColumnWidths();
    void OnPaintRows(wxPaintEvent& event);
    void MeasureCharacters(wxDC& dc, const wxFont& font);
    int Advance(char c) const;
    void PaintMarks(wxDC& dc, const char* text, std::size_t length, std::uint64_t marked, int x,
                    int y, int height);
    // How many characters of the text fit into `room` pixels: all of them, or as many as leave
    // room for an ellipsis.
    std::size_t FittingLength(const char* text, std::size_t length, int room) const;

    static constexpr int kFirstMeasured = 32;
    static constexpr int kLastMeasured = 126;
    std::array<int, kLastMeasured - kFirstMeasured + 1> charWidths_{};
    int ellipsisWidth_ = 0;
    wxFont widthsFont_;
    wxColour m_markColour = ChangeMarkColour();
    const char* m_widthsSection = nullptr;
};
