#include "ui/fast_report_list.h"

#include <algorithm>
#include <vector>

#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "settings/settings.h"

CFastReportList::CFastReportList(wxWindow* parent, long style)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 style | wxLC_REPORT | wxLC_VIRTUAL) {
    if (wxWindow* rows = RowsWindow(); rows != this) {
        rows->Bind(wxEVT_PAINT, &CFastReportList::OnPaintRows, this);
    }
}

void CFastReportList::KeepColumnWidths(const char* section) {
    m_widthsSection = section;
    std::vector<int> widths(static_cast<std::size_t>(GetColumnCount()));
    settings::LoadColumnWidths(section, widths);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (widths[i] > 0)
            SetColumnWidth(static_cast<int>(i), widths[i]);
    }
    Bind(wxEVT_LIST_COL_END_DRAG, &CFastReportList::OnColumnDragged, this);
}

void CFastReportList::OnColumnDragged(wxListEvent& event) {
    event.Skip();
    // The list takes the new width once the drag has been reported.
    CallAfter(&CFastReportList::SaveColumnWidths);
}

void CFastReportList::SaveColumnWidths() {
    std::vector<int> widths(static_cast<std::size_t>(GetColumnCount()));
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] = GetColumnWidth(static_cast<int>(i));
    settings::SaveColumnWidths(m_widthsSection, widths);
}

wxString CFastReportList::OnGetItemText(long item, long column) const {
    if (item < 0 || column < 0 || column >= GetColumnCount())
        return wxString();
    char cell[kCellCapacity];
    const std::size_t length = FormatCell(item, static_cast<int>(column), cell, sizeof cell);
    return wxString::FromUTF8(cell, std::min(length, sizeof cell - 1));
}

wxString CFastReportList::SelectedRowsText() const {
    wxString text;
    for (long item = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item >= 0;
         item = GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        for (int column = 0; column < GetColumnCount(); ++column) {
            if (column > 0)
                text += '\t';
            text += OnGetItemText(item, column);
        }
        text += '\n';
    }
    return text;
}

void CFastReportList::OnPaintRows(wxPaintEvent&) {
    wxWindow* rows = RowsWindow();
    wxPaintDC dc(rows);
    const wxRect update = rows->GetUpdateRegion().GetBox();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(rows->GetBackgroundColour()));
    dc.DrawRectangle(update);

    const long count = GetItemCount();
    if (count == 0)
        return;
    const long top = GetTopItem();
    wxRect first;
    if (top < 0 || top >= count || !GetItemRect(top, first) || first.height <= 0)
        return;
    // The list measures its rows from its own corner, above the header; here they are painted in
    // the rows' window.
    first.Offset(-rows->GetPosition());
    const int lineHeight = first.height;
    const long from = top + std::max(0, (update.GetTop() - first.y) / lineHeight);
    const long to = std::min(count - 1, top + (update.GetBottom() - first.y) / lineHeight);
    if (from > to)
        return;
    auto rowTop = [&](long row) { return first.y + static_cast<int>(row - top) * lineHeight; };

    // The selected row and the focused one, as the platform draws them.
    const bool focused = wxWindow::FindFocus() == rows;
    std::vector<bool> selected(static_cast<std::size_t>(to - from + 1));
    for (long row = from; row <= to; ++row) {
        const long state = GetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        const wxRect line(first.x, rowTop(row), rows->GetClientSize().x - first.x, lineHeight);
        if (state & wxLIST_STATE_SELECTED) {
            selected[static_cast<std::size_t>(row - from)] = true;
            wxRendererNative::Get().DrawItemSelectionRect(
                rows, dc, line, wxCONTROL_SELECTED | (focused ? int{wxCONTROL_FOCUSED} : 0));
        }
        if (focused && (state & wxLIST_STATE_FOCUSED)) {
            wxRendererNative::Get().DrawFocusRect(rows, dc, line, 0);
        }
    }

    // Column by column: one clip per column. Cells are measured with a table of character widths
    // rather than by the text system, and a cell too wide for its column ends in an ellipsis.
    // The text goes to the graphics context directly where there is one, since the device
    // context would measure every text again for its bounding box.
    const wxFont font = GetFont();
    dc.SetFont(font);
    if (!widthsFont_.IsSameAs(font))
        MeasureCharacters(dc, font);
    const int textOffset = (lineHeight - dc.GetCharHeight()) / 2;
    const wxColour normal = wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOXTEXT);
    const wxColour highlighted = wxSystemSettings::GetColour(focused ? wxSYS_COLOUR_HIGHLIGHTTEXT
                                                                     : wxSYS_COLOUR_LISTBOXTEXT);
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    wxGraphicsFont normalFont, highlightedFont;
    if (gc) {
        normalFont = gc->CreateFont(font, normal);
        highlightedFont = gc->CreateFont(font, highlighted);
    }
    char cell[kCellCapacity];
    const int columns = GetColumnCount();
    int x = first.x;
    for (int column = 0; column < columns; ++column) {
        const int width = GetColumnWidth(column);
        const int left = x;
        x += width;
        if (left > update.GetRight() || x < update.GetLeft())
            continue;
        const int room = width - kTextIndent - kCellMargin;
        if (room <= 0)
            continue;
        wxDCClipper clip(dc, left, update.y, width - kCellMargin, update.height);
        bool highlightSet = false;
        if (gc)
            gc->SetFont(normalFont);
        dc.SetTextForeground(normal);
        for (long row = from; row <= to; ++row) {
            const bool highlight = selected[static_cast<std::size_t>(row - from)];
            std::size_t length =
                std::min(FormatCell(row, column, cell, sizeof cell), sizeof cell - 1);
            if (length == 0)
                continue;
            if (!highlight) {
                if (std::uint64_t marked = MarkedCharacters(row, column); marked != 0)
                    PaintMarks(dc, cell, length, marked, left + kTextIndent, rowTop(row),
                               lineHeight);
            }
            if (highlight != highlightSet) {
                highlightSet = highlight;
                if (gc)
                    gc->SetFont(highlight ? highlightedFont : normalFont);
                dc.SetTextForeground(highlight ? highlighted : normal);
            }
            wxString text = wxString::FromUTF8(cell, FittingLength(cell, length, room));
            if (text.length() < length)
                text += wxString::FromUTF8("\u2026");
            const int y = rowTop(row) + textOffset;
            if (gc) {
                gc->DrawText(text, left + kTextIndent, y);
            } else {
                dc.DrawText(text, left + kTextIndent, y);
            }
        }
    }
}

void CFastReportList::PaintMarks(wxDC& dc, const char* text, std::size_t length,
                                 std::uint64_t marked, int x, int y, int height) {
    dc.SetBrush(wxBrush(m_markColour));
    for (std::size_t i = 0; i < length && i < 64; ++i) {
        const int advance = Advance(text[i]);
        if ((marked >> i) & 1)
            dc.DrawRectangle(x, y, advance, height);
        x += advance;
    }
}

int CFastReportList::Advance(char c) const {
    const int i = static_cast<unsigned char>(c) - kFirstMeasured;
    return i >= 0 && i < static_cast<int>(charWidths_.size()) ? charWidths_[i]
                                                              : charWidths_['m' - kFirstMeasured];
}

void CFastReportList::MeasureCharacters(wxDC& dc, const wxFont& font) {
    // Cell texts are printable ASCII; each character's advance, taken from one measurement.
    wxString all;
    for (int c = kFirstMeasured; c <= kLastMeasured; ++c)
        all += static_cast<char>(c);
    wxArrayInt ends;
    dc.GetPartialTextExtents(all, ends);
    int previous = 0;
    for (std::size_t i = 0; i < charWidths_.size(); ++i) {
        const int end = i < ends.size() ? ends[i] : previous;
        charWidths_[i] = end - previous;
        previous = end;
    }
    ellipsisWidth_ = dc.GetTextExtent(wxString::FromUTF8("\u2026")).x;
    widthsFont_ = font;
}

std::size_t CFastReportList::FittingLength(const char* text, std::size_t length, int room) const {
    auto advance = [this](char c) { return Advance(c); };
    int total = 0;
    for (std::size_t i = 0; i < length; ++i)
        total += advance(text[i]);
    if (total <= room)
        return length;
    std::size_t keep = 0;
    int used = ellipsisWidth_;
    while (keep < length && used + advance(text[keep]) <= room)
        used += advance(text[keep++]);
    return keep;
}

wxWindow* CFastReportList::RowsWindow() {
#if (defined(__WXMSW__) || defined(__WXQT__)) && !defined(__WXUNIVERSAL__)
    return this;  // the platform's own list control
#else
    // wx draws this list itself, its rows in a child window of their own.
    for (wxWindow* child : GetChildren()) {
        if (static_cast<void*>(child) == static_cast<void*>(m_mainWin))
            return child;
    }
    return this;
#endif
}
