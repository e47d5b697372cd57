#include "ui/fast_report_list.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "settings/settings.h"
#include "ui/paint_clip.h"

CFastReportList::CFastReportList(wxWindow* parent, long style)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 style | wxLC_REPORT | wxLC_VIRTUAL) {
    if (wxWindow* rows = RowsWindow(); rows != this) {
        rows->Bind(wxEVT_PAINT, &CFastReportList::OnPaintRows, this);
    }
    // A window without a font and a background of its own asks the toolkit's style for them at
    // every paint, which cost as much as the text of a row; they are asked once, and again when
    // the desktop's look changes.
    SetFont(GetFont());
    Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& event) {
        m_rowsBackground = wxColour();
        event.Skip();
    });
}

const wxColour& CFastReportList::RowsBackground() {
    if (!m_rowsBackground.IsOk())
        m_rowsBackground = RowsWindow()->GetBackgroundColour();
    return m_rowsBackground;
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
    m_lastColumnWidth = GetColumnWidth(GetColumnCount() - 1);
    RowsWindow()->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        StretchLastColumn();
    });
    StretchLastColumn();
}

void CFastReportList::StretchLastColumn() {
    const int last = GetColumnCount() - 1;
    if (last < 0)
        return;
    int others = 0;
    for (int i = 0; i < last; ++i)
        others += GetColumnWidth(i);
    // Room for the vertical scroll bar is kept while it is not there yet: when the rows fill the
    // list it appears without a size event, and the columns would then need a horizontal one.
    int room = RowsWindow()->GetClientSize().x;
    if (GetItemCount() <= GetCountPerPage())
        room -= wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
    const int width = std::max(m_lastColumnWidth, room - others);
    if (GetColumnWidth(last) != width)
        SetColumnWidth(last, width);
}

void CFastReportList::OnColumnDragged(wxListEvent& event) {
    event.Skip();
    const int column = event.GetColumn();
    // The list takes the new width once the drag has been reported.
    CallAfter([this, column] {
        if (column == GetColumnCount() - 1)
            m_lastColumnWidth = GetColumnWidth(column);
        StretchLastColumn();
        SaveColumnWidths();
    });
}

void CFastReportList::SaveColumnWidths() {
    std::vector<int> widths(static_cast<std::size_t>(GetColumnCount()));
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] = GetColumnWidth(static_cast<int>(i));
    if (!widths.empty())
        widths.back() = m_lastColumnWidth;
    settings::SaveColumnWidths(m_widthsSection, widths);
}

wxString CFastReportList::OnGetItemText(long item, long column) const {
    if (item < 0 || column < 0 || column >= GetColumnCount())
        return wxString();
    char cell[kCellCapacity];
    const std::size_t length = FormatCell(item, static_cast<int>(column), cell, sizeof cell);
    return wxString::FromUTF8(cell, std::min(length, sizeof cell - 1));
}

long CFastReportList::FindRow(std::string_view text, long from) const {
    const long count = GetItemCount();
    if (text.empty() || count == 0)
        return -1;
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    char cell[kCellCapacity];
    from = std::clamp(from, 0L, count - 1);
    for (long n = 0; n < count; ++n) {
        const long row = (from + n) % count;
        for (int column = 0; column < GetColumnCount(); ++column) {
            const std::size_t length =
                std::min(FormatCell(row, column, cell, sizeof cell), sizeof cell - 1);
            if (std::search(cell, cell + length, text.begin(), text.end(), same) != cell + length)
                return row;
        }
    }
    return -1;
}

void CFastReportList::SelectOnly(long row) {
    for (long item = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item >= 0;
         item = GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        SetItemState(item, 0, wxLIST_STATE_SELECTED);
    SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    EnsureVisible(row);
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

bool CFastReportList::ShownCell::operator==(const ShownCell& other) const {
    return known == other.known && state == other.state && length == other.length &&
           marked == other.marked && fading == other.fading &&
           std::equal(text, text + length, other.text);
}

std::uint8_t CFastReportList::RowState(long row, bool focused) const {
    if (row < 0 || row >= GetItemCount())
        return 0;
    const long state = GetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    std::uint8_t shown = 0;
    if (state & wxLIST_STATE_SELECTED)
        shown |= kShownSelected;
    if (focused && (state & wxLIST_STATE_FOCUSED))
        shown |= kShownFocused;
    return shown;
}

CFastReportList::ShownCell CFastReportList::CellNow(long row, int column,
                                                    std::uint8_t state) const {
    ShownCell cell;
    cell.known = true;
    cell.state = state;
    if (row < 0 || row >= GetItemCount())
        return cell;
    cell.length = static_cast<std::uint8_t>(
        std::min(FormatCell(row, column, cell.text, sizeof cell.text), sizeof cell.text - 1));
    // A selected row shows no marks.
    if (cell.length > 0 && !(state & kShownSelected)) {
        cell.marked = MarkedCharacters(row, column);
        cell.fading = cell.marked ? FadingCharacters(row, column) : 0;
    }
    return cell;
}

bool CFastReportList::CurrentLayout(ShownLayout& layout, long& top) const {
    const long count = GetItemCount();
    top = GetTopItem();
    wxRect first;
    if (count == 0 || top < 0 || top >= count || !GetItemRect(top, first) || first.height <= 0)
        return false;
    // The list measures its rows from its own corner, above the header; they are painted in the
    // rows' window.
    first.Offset(-const_cast<CFastReportList*>(this)->RowsWindow()->GetPosition());
    layout.focused = wxWindow::FindFocus() == const_cast<CFastReportList*>(this)->RowsWindow();
    layout.x = first.x;
    layout.y = first.y;
    layout.lineHeight = first.height;
    layout.widths.resize(static_cast<std::size_t>(GetColumnCount()));
    for (std::size_t i = 0; i < layout.widths.size(); ++i)
        layout.widths[i] = GetColumnWidth(static_cast<int>(i));
    return true;
}

void CFastReportList::ForgetShownCells(const ShownLayout& layout) {
    m_shownLayout = layout;
    const int height = std::max(1, RowsWindow()->GetClientSize().y);
    const std::size_t slots = static_cast<std::size_t>(height / std::max(1, layout.lineHeight) + 2);
    m_shownCells.assign(slots * layout.widths.size(), ShownCell{});
}

CFastReportList::ShownCell& CFastReportList::Shown(std::size_t slot, int column) {
    static ShownCell beyond;
    const std::size_t i = slot * m_shownLayout.widths.size() + static_cast<std::size_t>(column);
    if (i >= m_shownCells.size()) {
        beyond = ShownCell{};
        return beyond;
    }
    return m_shownCells[i];
}

std::size_t CFastReportList::RefreshChangedCells() {
    wxWindow* rows = RowsWindow();
    ShownLayout layout;
    long top = 0;
    if (!CurrentLayout(layout, top)) {
        m_shownCells.clear();
        rows->Refresh(false);
        m_cellsRefreshed = 0;
        return 0;
    }
    const int columns = static_cast<int>(layout.widths.size());
    const long onScreen = GetCountPerPage() + 1;  // and the one cut at the bottom
    // Rows that moved, or columns of another width: every cell is somewhere else now. A list
    // that grew shows more rows than were known (without this they would count as changed at
    // every refresh).
    if (!(layout == m_shownLayout) ||
        m_shownCells.size() < static_cast<std::size_t>(onScreen) * layout.widths.size())
        ForgetShownCells(layout);
    // A changed cell is repainted together with the changed cells below it in its column.
    std::size_t changed = 0;
    int x = layout.x;
    for (int column = 0; column < columns; ++column) {
        const int width = layout.widths[static_cast<std::size_t>(column)];
        long runStart = -1;
        auto flush = [&](long end) {
            if (runStart < 0)
                return;
            rows->RefreshRect(wxRect(x, layout.y + static_cast<int>(runStart) * layout.lineHeight,
                                     width, static_cast<int>(end - runStart) * layout.lineHeight),
                              false);
            runStart = -1;
        };
        for (long slot = 0; slot < onScreen; ++slot) {
            const long row = top + slot;
            const ShownCell now = CellNow(row, column, RowState(row, layout.focused));
            ShownCell& shown = Shown(static_cast<std::size_t>(slot), column);
            if (shown == now) {
                flush(slot);
                continue;
            }
            shown = now;
            ++changed;
            if (runStart < 0)
                runStart = slot;
        }
        flush(onScreen);
        x += width;
    }
    m_cellsRefreshed = changed;
    return changed;
}

void CFastReportList::OnPaintRows(wxPaintEvent&) {
    wxWindow* rows = RowsWindow();
    wxPaintDC dc(rows);
    const wxRect update = rows->GetUpdateRegion().GetBox();
    // Only the cells that were asked for are painted: the others in the box still show what
    // they hold, and the toolkit would clip their text away.
    const CPaintClip clip(dc);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(RowsBackground()));
    dc.DrawRectangle(update);

    ShownLayout layout;
    long top = 0;
    if (!CurrentLayout(layout, top))
        return;
    if (!(layout == m_shownLayout) || m_shownCells.empty())
        ForgetShownCells(layout);
    const long count = GetItemCount();
    const int lineHeight = layout.lineHeight;
    const long from = top + std::max(0, (update.GetTop() - layout.y) / lineHeight);
    const long to = std::min(count - 1, top + (update.GetBottom() - layout.y) / lineHeight);
    if (from > to)
        return;
    auto rowTop = [&](long row) { return layout.y + static_cast<int>(row - top) * lineHeight; };

    // The selected rows and the focused one, as the platform draws them.
    const bool focused = layout.focused;
    std::vector<std::uint8_t> states(static_cast<std::size_t>(to - from + 1));
    for (long row = from; row <= to; ++row) {
        const std::uint8_t state = RowState(row, focused);
        states[static_cast<std::size_t>(row - from)] = state;
        const wxRect line(layout.x, rowTop(row), rows->GetClientSize().x - layout.x, lineHeight);
        if (state & kShownSelected) {
            wxRendererNative::Get().DrawItemSelectionRect(
                rows, dc, line, wxCONTROL_SELECTED | (focused ? int{wxCONTROL_FOCUSED} : 0));
        }
        if (state & kShownFocused)
            wxRendererNative::Get().DrawFocusRect(rows, dc, line, 0);
    }

    // Column by column: one clip per column. Cells are measured with a table of character widths
    // rather than by the text system, and a cell too wide for its column ends in an ellipsis.
    // The text goes to the graphics context directly where there is one, since the device
    // context would measure every text again for its bounding box.
    const wxFont font = GetFont();
    dc.SetFont(font);
    if (!m_glyphs.Font().IsSameAs(font)) {
        m_glyphs.Prepare(rows, dc, font);
        m_ellipsisWidth = dc.GetTextExtent(wxString::FromUTF8("\u2026")).x;
        m_charHeight = dc.GetCharHeight();
    }
    const int textOffset = (lineHeight - m_charHeight) / 2;
    const wxColour normal = wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOXTEXT);
    const wxColour highlighted = wxSystemSettings::GetColour(focused ? wxSYS_COLOUR_HIGHLIGHTTEXT
                                                                     : wxSYS_COLOUR_LISTBOXTEXT);
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    void* glyphCairo = gc && m_glyphs.Ready() ? gc->GetNativeContext() : nullptr;
    wxGraphicsFont normalFont, highlightedFont;
    if (gc) {
        normalFont = gc->CreateFont(font, normal);
        highlightedFont = gc->CreateFont(font, highlighted);
    }
    const int columns = static_cast<int>(layout.widths.size());
    // Which cells the toolkit lets through, asked before the columns clip anything: none, some
    // or all of the cell.
    enum Painted : std::uint8_t { kNone, kPart, kWhole };
    std::vector<Painted> painted(static_cast<std::size_t>(to - from + 1) *
                                 static_cast<std::size_t>(columns));
    auto paintedAt = [&](long row, int column) -> Painted& {
        return painted[static_cast<std::size_t>(row - from) * static_cast<std::size_t>(columns) +
                       static_cast<std::size_t>(column)];
    };
    // A cell is whole when all of it that can be seen was let through: the bottom row and the
    // right column that the window cuts off would otherwise count as never painted and be
    // repainted at every refresh.
    const wxRect visible(rows->GetClientSize());
    for (int column = 0, left = layout.x; column < columns; ++column) {
        const int width = layout.widths[static_cast<std::size_t>(column)];
        for (long row = from; row <= to; ++row) {
            const wxRect cellRect = wxRect(left, rowTop(row), width, lineHeight).Intersect(visible);
            paintedAt(row, column) = clip.Covers(cellRect)    ? kWhole
                                     : clip.Touches(cellRect) ? kPart
                                                              : kNone;
        }
        left += width;
    }
    int x = layout.x;
    for (int column = 0; column < columns; ++column) {
        const int width = layout.widths[static_cast<std::size_t>(column)];
        const int left = x;
        x += width;
        if (left > update.GetRight() || x < update.GetLeft())
            continue;
        const int room = width - kTextIndent - kCellMargin;
        if (room <= 0)
            continue;
        // The column's own clip on top of the toolkit's: a graphics context's state keeps the
        // toolkit's, whereas the device context's clipper would drop it when it ends.
        std::optional<wxDCClipper> dcClip;
        if (gc) {
            gc->PushState();
            gc->Clip(left, update.y, width - kCellMargin, update.height);
        } else {
            dcClip.emplace(dc, left, update.y, width - kCellMargin, update.height);
        }
        bool highlightSet = false;
        if (gc)
            gc->SetFont(normalFont);
        dc.SetTextForeground(normal);
        for (long row = from; row <= to; ++row) {
            const Painted how = paintedAt(row, column);
            if (how == kNone)
                continue;
            const std::uint8_t state = states[static_cast<std::size_t>(row - from)];
            const ShownCell cell = CellNow(row, column, state);
            // A cell painted in part still shows some of what it held before.
            Shown(static_cast<std::size_t>(row - top), column) = how == kWhole ? cell : ShownCell{};
            if (cell.length == 0)
                continue;
            const bool highlight = state & kShownSelected;
            if (cell.marked != 0)
                PaintMarks(dc, cell.text, cell.length, cell.marked, cell.fading, left + kTextIndent,
                           rowTop(row), lineHeight);
            if (highlight != highlightSet) {
                highlightSet = highlight;
                if (gc)
                    gc->SetFont(highlight ? highlightedFont : normalFont);
                dc.SetTextForeground(highlight ? highlighted : normal);
            }
            wxString text =
                wxString::FromUTF8(cell.text, FittingLength(cell.text, cell.length, room));
            if (text.length() < cell.length)
                text += wxString::FromUTF8("\u2026");
            const int y = rowTop(row) + textOffset;
            if (gc && glyphCairo && text.length() == cell.length &&
                m_glyphs.Draw(glyphCairo, cell.text, cell.length, left + kTextIndent, y,
                              highlight ? highlighted : normal)) {
                // drawn as glyphs
            } else if (gc) {
                gc->DrawText(text, left + kTextIndent, y);
            } else {
                dc.DrawText(text, left + kTextIndent, y);
            }
        }
        if (gc)
            gc->PopState();
    }
}

void CFastReportList::PaintMarks(wxDC& dc, const char* text, std::size_t length,
                                 std::uint64_t marked, std::uint64_t fading, int x, int y,
                                 int height) {
    // A fading mark lies halfway between the mark's colour and the rows' background.
    const wxColour back = RowsBackground();
    const wxColour faded((m_markColour.Red() + back.Red()) / 2,
                         (m_markColour.Green() + back.Green()) / 2,
                         (m_markColour.Blue() + back.Blue()) / 2);
    const wxBrush fresh(m_markColour), older(faded);
    // One pixel off the row's edges, so that marks in rows one under the other stay apart.
    const int top = y + 1, markHeight = std::max(1, height - 2);
    for (std::size_t i = 0; i < length && i < 64; ++i) {
        const int advance = Advance(text[i]);
        if ((marked >> i) & 1) {
            dc.SetBrush((fading >> i) & 1 ? older : fresh);
            dc.DrawRectangle(x, top, advance, markHeight);
        }
        x += advance;
    }
}

int CFastReportList::Advance(char c) const {
    return m_glyphs.Advance(c);
}

std::size_t CFastReportList::FittingLength(const char* text, std::size_t length, int room) const {
    auto advance = [this](char c) { return Advance(c); };
    int total = 0;
    for (std::size_t i = 0; i < length; ++i)
        total += advance(text[i]);
    if (total <= room)
        return length;
    std::size_t keep = 0;
    int used = m_ellipsisWidth;
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
