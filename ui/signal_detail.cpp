#include "ui/signal_detail.h"

#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "ui/fast_report_list.h"
#include "ui/utf8_text.h"

namespace {

const char* const kColumns[] = {"Signal", "Wert", "Einheit", "Bedeutung"};
constexpr int kColumnWidths[] = {180, 120, 80, 240};
constexpr int kVisibleRows = 7;

}  // namespace

CSignalDetail::CSignalDetail(wxWindow* parent) : wxPanel(parent) {
    m_databases = new wxStaticText(this, wxID_ANY, wxString());
    m_heading = new wxStaticText(this, wxID_ANY, wxString());
    m_list = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                            wxLC_REPORT | wxLC_SINGLE_SEL);
    for (int i = 0; i < 4; ++i)
        m_list->AppendColumn(U8(kColumns[i]), wxLIST_FORMAT_LEFT, kColumnWidths[i]);
    m_list->SetMinSize(wxSize(-1, GetCharHeight() * (kVisibleRows + 3)));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(m_heading, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
    top->Add(m_databases, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(top, 0, wxEXPAND | wxALL, 3);
    sizer->Add(m_list, 1, wxEXPAND);
    SetSizer(sizer);
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED,
                 [this](wxListEvent& e) { PlotRow(static_cast<int>(e.GetIndex())); });
}

void CSignalDetail::PlotRow(int row) {
    if (onPlot && !m_message.empty() && row >= 0 && row < m_list->GetItemCount())
        onPlot(m_message, m_list->GetItemText(row, 0).utf8_string());
}

void CSignalDetail::SetDatabaseNames(const wxString& names) {
    m_databases->SetLabel(U8("Datenbanken: ") + names);
    Layout();
}

void CSignalDetail::ShowSignals(const FrameSignals& signals, std::uint8_t changedBytes) {
    if (!signals.message) {
        ShowNothing(U8("Die Botschaft steht in keiner geladenen Datenbank."));
        return;
    }
    m_message = signals.message->name;
    m_heading->SetLabel(wxString::FromUTF8(signals.message->name));
    const int rows = static_cast<int>(signals.rows.size());
    // Rows are rewritten in place: the list keeps its scroll position and does not flicker.
    while (m_list->GetItemCount() > rows)
        m_list->DeleteItem(m_list->GetItemCount() - 1);
    const wxColour marker = ChangeMarkColour();
    for (int i = 0; i < rows; ++i) {
        const SignalRow& r = signals.rows[static_cast<std::size_t>(i)];
        if (i >= m_list->GetItemCount())
            m_list->InsertItem(i, wxString());
        const wxString cells[] = {wxString::FromUTF8(r.name), wxString::FromUTF8(r.value),
                                  wxString::FromUTF8(r.unit), wxString::FromUTF8(r.label)};
        for (int c = 0; c < 4; ++c) {
            if (m_list->GetItemText(i, c) != cells[c])
                m_list->SetItem(i, c, cells[c]);
        }
        const bool marked = (r.bytes & changedBytes) != 0;
        if (RowMarked(i) != marked) {
            m_list->SetItemBackgroundColour(i, marked ? marker : m_list->GetBackgroundColour());
            m_list->SetItemTextColour(i, marked ? *wxBLACK : m_list->GetTextColour());
        }
    }
}

void CSignalDetail::ShowNothing(const wxString& why) {
    m_message.clear();
    m_heading->SetLabel(why);
    m_list->DeleteAllItems();
}

wxString CSignalDetail::HeadingText() const {
    return m_heading->GetLabel();
}

int CSignalDetail::RowCount() const {
    return m_list->GetItemCount();
}

wxString CSignalDetail::CellText(int row, int column) const {
    return m_list->GetItemText(row, column);
}

bool CSignalDetail::RowMarked(int row) const {
    return m_list->GetItemBackgroundColour(row) == ChangeMarkColour();
}
