#include "ui/log_list_ctrl.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "log/log_model.h"
#include "log/log_row.h"
#include "settings/settings.h"
#include "ui/utf8_text.h"

const CLogListCtrl::Column CLogListCtrl::kColumns[8] = {
    {"Hinweise", 80}, {"Time", 120}, {"Status", 60},     {"ID", 60},
    {"RTR", 40},      {"DLC", 60},   {"Botschaft", 200}, {"Lost", 60},
};

static_assert(std::size(CLogListCtrl::kColumns) == kLogColumnCount);

namespace {
// Where a cell's text starts in its column, and the gap kept free at the column's right edge.
constexpr int kTextIndent = 4;
constexpr int kCellMargin = 6;
static_assert(kTextIndent + kCellMargin == CLogListCtrl::kCellPadding);

// The design's font, 8-point MS Sans Serif, has dialog base units of 6 × 13 pixels: a horizontal
// dialog unit is 1.5 of its pixels.
constexpr double kDesignPixelsPerDlu = 1.5;

LogRow WidestRow(std::int32_t type) {
    LogRow row{};
    row.msg.type = type;
    row.msg.status = 0xff;
    row.msg.id = 0x1fffffff;
    row.msg.rtr = 1;
    row.msg.dlc = kCanMaxSendBytes;
    std::fill(std::begin(row.msg.data), std::end(row.msg.data), 0xff);
    row.msg.lost = 99999;
    row.absSeconds = 9999.999;  // some three hours
    row.deltaSeconds = 99.999;
    return row;
}

}  // namespace

std::string CLogListCtrl::WidestCell(int column) {
    std::string widest;
    for (const std::int32_t type :
         {CAN_EV_RX_EXT, CAN_EV_TX_EXT, CAN_EV_ARBITRATION, CAN_EV_WARNING}) {
        const std::string text = FormatLogCell(WidestRow(type), column);
        if (text.size() > widest.size())
            widest = text;
    }
    return widest;
}

CLogListCtrl::CLogListCtrl(wxWindow* parent, LogModel& model)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL | wxLC_NO_SORT_HEADER),
      model_(model) {
    for (int i = 0; i < kLogColumnCount; ++i) {
        InsertColumn(i, U8(kColumns[i].title), wxLIST_FORMAT_LEFT);
    }
    const auto dragged = settings::LoadColumnWidths();
    for (int i = 0; i < kLogColumnCount; ++i) {
        const int remembered = dragged[static_cast<std::size_t>(i)];
        SetColumnWidth(i, remembered > 0 ? remembered : StartWidth(i));
    }
    Bind(wxEVT_LIST_COL_END_DRAG, &CLogListCtrl::OnColumnDragged, this);
    SetItemCount(static_cast<long>(model_.RowCount()));
    if (wxWindow* rows = RowsWindow(); rows != this) {
        rows->Bind(wxEVT_PAINT, &CLogListCtrl::OnPaintRows, this);
    }
}

int CLogListCtrl::StartWidth(int column) const {
    // The design's proportions in this font: its pixel widths become dialog units of the design
    // font and then pixels of ours, as the dialogs convert their layouts.
    const int dlu = static_cast<int>(kColumns[column].width / kDesignPixelsPerDlu + 0.5);
    const int scaled = ConvertDialogToPixels(wxSize(dlu, 0)).x;
    const int cell = GetTextExtent(wxString::FromUTF8(WidestCell(column))).x + kCellPadding;
    const int title = GetTextExtent(U8(kColumns[column].title)).x + 2 * kCellPadding;
    return std::max({scaled, cell, title});
}

int CLogListCtrl::ColumnsWidth() const {
    int total = 0;
    for (int i = 0; i < kLogColumnCount; ++i)
        total += GetColumnWidth(i);
    return total;
}

void CLogListCtrl::OnColumnDragged(wxListEvent& event) {
    event.Skip();
    // The list takes the new width once the drag has been reported.
    CallAfter(&CLogListCtrl::SaveWidths);
}

void CLogListCtrl::SaveWidths() {
    std::array<int, settings::kLogColumns> widths{};
    for (int i = 0; i < kLogColumnCount; ++i)
        widths[static_cast<std::size_t>(i)] = GetColumnWidth(i);
    settings::SaveColumnWidths(widths);
}

wxString CLogListCtrl::OnGetItemText(long item, long column) const {
    if (item < 0 || column < 0 || column >= kLogColumnCount)
        return wxString();
    char cell[kLogCellCapacity];
    const std::size_t length = FormatLogCell(model_.Row(static_cast<std::size_t>(item)),
                                             static_cast<int>(column), cell, sizeof cell);
    return wxString::FromUTF8(cell, std::min(length, sizeof cell - 1));
}

std::size_t CLogListCtrl::ShowNewRows() {
    const long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    const long top = GetItemCount() > 0 ? GetTopItem() : 0;
    const std::size_t added = model_.Drain();
    if (added == 0)
        return 0;
    KeepViewAfterInsert(selected, top, added);
    return added;
}

void CLogListCtrl::KeepViewAfterInsert(long selected, long top, std::size_t added) {
    const long count = static_cast<long>(model_.RowCount());
    const long shift = static_cast<long>(std::min<std::size_t>(added, LogModel::kMaxRows));
    if (selected >= 0)
        SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    // Once the table is full its size stays; telling the list again would make it lay itself out
    // and repaint its header at every drain.
    const bool grew = count != GetItemCount();
    if (grew)
        SetItemCount(count);
    if (selected >= 0 && selected + shift < count) {
        const long moved = selected + shift;
        SetItemState(moved, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                     wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }
    if (top > 0) {
        // The operator is reading older rows: keep the same rows in view.
        const long wanted = std::min(top + shift, std::max(0L, count - 1));
        const long now = GetTopItem();
        if (wanted != now) {
            wxRect line;
            const int height = GetItemRect(0, line) && line.height > 0 ? line.height : 1;
            ScrollList(0, static_cast<int>((wanted - now) * height));
        }
    }
    if (!grew)
        RowsWindow()->Refresh(false);
}

wxString CLogListCtrl::SelectedRowsText() const {
    wxString text;
    for (long item = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); item >= 0;
         item = GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        for (int column = 0; column < kLogColumnCount; ++column) {
            if (column > 0)
                text += '\t';
            text += OnGetItemText(item, column);
        }
        text += '\n';
    }
    return text;
}

void CLogListCtrl::ClearRows() {
    model_.Clear();
    SetItemCount(0);
    Refresh();
}

void CLogListCtrl::OnPaintRows(wxPaintEvent&) {
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
    char cell[kLogCellCapacity];
    int x = first.x;
    for (int column = 0; column < kLogColumnCount; ++column) {
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
            std::size_t length = std::min(
                FormatLogCell(model_.Row(static_cast<std::size_t>(row)), column, cell, sizeof cell),
                sizeof cell - 1);
            if (length == 0)
                continue;
            const bool highlight = selected[static_cast<std::size_t>(row - from)];
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

void CLogListCtrl::MeasureCharacters(wxDC& dc, const wxFont& font) {
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

std::size_t CLogListCtrl::FittingLength(const char* text, std::size_t length, int room) const {
    auto advance = [this](char c) {
        const int i = static_cast<unsigned char>(c) - kFirstMeasured;
        return i >= 0 && i < static_cast<int>(charWidths_.size())
                   ? charWidths_[i]
                   : charWidths_['m' - kFirstMeasured];
    };
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

wxWindow* CLogListCtrl::RowsWindow() {
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
