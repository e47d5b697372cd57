// A virtual report list that paints its rows itself.
//
// wx's own painting of a report list measures every cell's text with the text system on every
// repaint, which on a busy bus costs more than everything else the program does. This list paints
// the rows on screen column by column instead: cell texts (printable ASCII) are measured with a
// table of character widths taken once per font, a cell too wide for its column ends in an
// ellipsis, and selection and focus are drawn as the platform draws them. A derived list says
// what a cell shows (FormatCell) and, optionally, which cells have a background of their own.
//
// The list remembers what each cell on screen shows. After its rows changed, RefreshChangedCells
// repaints only the cells whose text, marks or highlight differ: on a busy bus most cells of a
// row ("Received", the status, the lost count) read as the one painted there before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <wx/colour.h>
#include <wx/font.h>
#include <wx/listctrl.h>

#include "ui/glyph_text.h"

// The colour of a text marker behind what changed lately (the overview's bytes, the signal
// detail's rows); the same light colour in every theme.
inline wxColour ChangeMarkColour() {
    return wxColour(255, 221, 120);
}

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

    // The first row from `from` on, downwards and then from the top again, one of whose cells
    // contains `text` (ASCII letters in any case); -1 when none does.
    long FindRow(std::string_view text, long from) const;
    // Selects `row` alone, gives it the focus and scrolls it into view.
    void SelectOnly(long row);

    // The window that paints the rows (the list itself where the list is native).
    wxWindow* RowsWindow();

    // The operator's dragged widths are kept across runs in the settings file's `section`: the
    // columns take the widths found there (a column without one keeps the width it has), and
    // every drag writes them all. Called once the columns exist. From then on the last column
    // also takes whatever room the list has beyond the others (a maximised window leaves no
    // empty strip); the settings keep its own width.
    void KeepColumnWidths(const char* section);

    // The last column's own width, as set or dragged, before it stretches to fill the list.
    int LastColumnOwnWidth() const { return m_lastColumnWidth; }

    // Repaints the cells on screen that no longer show what their rows hold, all of them when
    // the rows moved against the screen or the columns changed; returns how many cells that was.
    std::size_t RefreshChangedCells();
    // What the last of those calls repainted.
    std::size_t CellsRefreshed() const { return m_cellsRefreshed; }

  protected:
    // Writes the cell's text (zero-terminated, at most `capacity` bytes with the zero) and returns
    // its length; 0 for an empty cell or a row the list no longer has.
    virtual std::size_t FormatCell(long row, int column, char* out, std::size_t capacity) const = 0;
    // Characters of the cell (bit i: character i) drawn on the mark colour, as a text marker
    // would; none by default. A selected row shows no marks.
    virtual std::uint64_t MarkedCharacters(long /*row*/, int /*column*/) const { return 0; }
    // Of those, the characters whose mark is fading: drawn in a lighter shade, so that a mark
    // shows its age and rows of steady change stay apart.
    virtual std::uint64_t FadingCharacters(long /*row*/, int /*column*/) const { return 0; }
    void SetMarkColour(const wxColour& colour) { m_markColour = colour; }

    wxString OnGetItemText(long item, long column) const override;

    // Where a cell's text starts in its column, and the gap kept free at the column's right edge.
    static constexpr int kTextIndent = 4;
    static constexpr int kCellMargin = 6;
    static_assert(kTextIndent + kCellMargin == kCellPadding);

  private:
    void StretchLastColumn();
    void OnColumnDragged(wxListEvent& event);
    void SaveColumnWidths();
    void OnPaintRows(wxPaintEvent& event);
    const wxColour& RowsBackground();
    int Advance(char c) const;
    void PaintMarks(wxDC& dc, const char* text, std::size_t length, std::uint64_t marked,
                    std::uint64_t fading, int x, int y, int height);
    // How many characters of the text fit into `room` pixels: all of them, or as many as leave
    // room for an ellipsis.
    std::size_t FittingLength(const char* text, std::size_t length, int room) const;

    // A cell as it is (or is about to be) on screen.
    struct ShownCell {
        bool known = false;
        std::uint8_t state = 0;  // kShownSelected, kShownFocused
        std::uint8_t length = 0;
        std::uint64_t marked = 0;
        std::uint64_t fading = 0;
        char text[kCellCapacity];
        bool operator==(const ShownCell& other) const;
    };
    static constexpr std::uint8_t kShownSelected = 1;
    static constexpr std::uint8_t kShownFocused = 2;
    // Where the cells are on screen: the first row shown and its place, the row height, the
    // column widths, and whether the list has the focus (the colours of the selection follow
    // it). A scroll moves what is on screen, so the cells are known again only once painted.
    struct ShownLayout {
        long top = -1;
        bool focused = false;
        int x = 0;
        int y = 0;
        int lineHeight = 0;
        std::vector<int> widths;
        bool operator==(const ShownLayout&) const = default;
    };
    // The layout now; false while no row is on screen.
    bool CurrentLayout(ShownLayout& layout, long& top) const;
    ShownCell CellNow(long row, int column, std::uint8_t state) const;
    std::uint8_t RowState(long row, bool focused) const;
    ShownCell& Shown(std::size_t slot, int column);
    void ForgetShownCells(const ShownLayout& layout);

    int m_ellipsisWidth = 0;
    int m_charHeight = 0;
    CGlyphText m_glyphs;
    wxColour m_markColour = ChangeMarkColour();
    wxColour m_rowsBackground;
    const char* m_widthsSection = nullptr;
    int m_lastColumnWidth = 0;
    ShownLayout m_shownLayout;
    std::vector<ShownCell> m_shownCells;  // row slots on screen × columns
    std::size_t m_cellsRefreshed = 0;
};
