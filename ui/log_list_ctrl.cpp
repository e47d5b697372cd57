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

static_assert(kLogCellCapacity <= CFastReportList::kCellCapacity);

namespace {

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
    : CFastReportList(parent, wxLC_SINGLE_SEL | wxLC_NO_SORT_HEADER),
      m_model(model),
      m_index(model) {
    for (int i = 0; i < kLogColumnCount; ++i) {
        InsertColumn(i, U8(kColumns[i].title), wxLIST_FORMAT_LEFT);
    }
    for (int i = 0; i < kLogColumnCount; ++i)
        SetColumnWidth(i, StartWidth(i));
    KeepColumnWidths(settings::kLogColumnsSection);
    SetItemCount(static_cast<long>(m_index.Count()));
}

std::size_t CLogListCtrl::FormatCell(long row, int column, char* out, std::size_t capacity) const {
    if (row < 0)
        return 0;
    return FormatLogCell(ModelRow(row), column, out, capacity);
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

std::size_t CLogListCtrl::ShowNewRows() {
    const long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    const long top = GetItemCount() > 0 ? GetTopItem() : 0;
    const std::size_t added = m_model.Drain();
    if (added == 0)
        return 0;
    const std::size_t shown = m_index.AfterDrain(added);
    if (shown == 0) {
        // Rows the filter hides came in; some shown ones may have left the bottom.
        if (static_cast<long>(m_index.Count()) != GetItemCount())
            SetItemCount(static_cast<long>(m_index.Count()));
        return added;
    }
    KeepViewAfterInsert(selected, top, shown);
    return added;
}

const LogRow& CLogListCtrl::ModelRow(long item) const {
    return m_model.Row(item < 0 ? LogModel::kMaxRows
                                : m_index.ModelRow(static_cast<std::size_t>(item)));
}

void CLogListCtrl::SetIdFilter(const IdFilter& filter) {
    // The selected row, by its place in the model, is looked for again among the rows shown.
    const long selected = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    const std::size_t selectedRow =
        selected >= 0 ? m_index.ModelRow(static_cast<std::size_t>(selected)) : LogModel::kMaxRows;
    if (selected >= 0)
        SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    m_index.SetFilter(filter);
    SetItemCount(static_cast<long>(m_index.Count()));
    for (std::size_t item = 0; selectedRow < LogModel::kMaxRows && item < m_index.Count(); ++item) {
        if (m_index.ModelRow(item) == selectedRow) {
            SetItemState(static_cast<long>(item), wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            EnsureVisible(static_cast<long>(item));
            break;
        }
    }
    Refresh();
}

void CLogListCtrl::KeepViewAfterInsert(long selected, long top, std::size_t added) {
    const long count = static_cast<long>(m_index.Count());
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
        RefreshChangedCells();
}

void CLogListCtrl::ClearRows() {
    m_model.Clear();
    m_index.Clear();
    // No row is left to be selected or focused; the next rows come in without either.
    for (const long state : {wxLIST_STATE_SELECTED, wxLIST_STATE_FOCUSED}) {
        for (long item = GetNextItem(-1, wxLIST_NEXT_ALL, state); item >= 0;
             item = GetNextItem(item, wxLIST_NEXT_ALL, state))
            SetItemState(item, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }
    SetItemCount(0);
    Refresh();
}
