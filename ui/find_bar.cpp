#include "ui/find_bar.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/utf8_text.h"

namespace {
wxColour ProblemBackground() {
    return wxColour(255, 200, 200);  // as the transmit dialog marks a field
}
}  // namespace

CFindBar::CFindBar(wxWindow* parent, std::function<void(const IdFilter&)> onFilter,
                   std::function<void(const wxString&)> onFind)
    : wxPanel(parent, wxID_ANY), m_onFilter(std::move(onFilter)), m_onFind(std::move(onFind)) {
    m_filter = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition,
                              wxSize(GetCharWidth() * 24, -1), wxTE_PROCESS_ENTER);
    m_filter->SetToolTip(
        U8("Identifier und Bereiche, z. B. „100-1ff, 7e8“; 29-Bit-IDs mit 8 "
           "Ziffern („18fef100“). Leer: alle."));
    m_find = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition,
                            wxSize(GetCharWidth() * 20, -1), wxTE_PROCESS_ENTER);
    m_find->SetToolTip(
        U8("Sucht den Text in den angezeigten Spalten, ab der markierten Zeile "
           "abwärts (Eingabetaste, F3)."));
    auto* next = new wxButton(this, wxID_ANY, U8("Weiter"));
    m_note = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                              wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, U8("ID-Filter:")), 0,
               wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 4);
    sizer->Add(m_filter, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, U8("Suchen:")), 0,
               wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 4);
    sizer->Add(m_find, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(next, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    sizer->Add(m_note, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, 8);
    SetSizer(sizer);

    m_filter->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { ApplyFilter(); });
    m_filter->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { ApplyFilter(); });
    const auto find = [this](wxCommandEvent&) {
        if (!m_find->GetValue().empty())
            m_onFind(m_find->GetValue());
    };
    m_find->Bind(wxEVT_TEXT_ENTER, find);
    next->Bind(wxEVT_BUTTON, find);
}

void CFindBar::ApplyFilter() {
    IdFilter filter;
    std::string problem;
    if (!filter.Parse(m_filter->GetValue().utf8_string(), problem)) {
        // The rows stay as the last readable text filtered them.
        m_filterProblem = true;
        m_filter->SetBackgroundColour(ProblemBackground());
        m_filter->Refresh();
        ShowNote(U8(problem));
        return;
    }
    if (m_filterProblem) {
        m_filterProblem = false;
        m_filter->SetBackgroundColour(wxNullColour);
        m_filter->Refresh();
        ShowNote(wxString());
    }
    m_onFilter(filter);
}

void CFindBar::ShowHidden(std::size_t hidden, std::size_t total) {
    if (m_filterProblem)
        return;
    const wxString note =
        hidden == 0 ? wxString()
                    : wxString::Format(U8("%zu von %zu Zeilen ausgeblendet"), hidden, total);
    ShowNote(note);
}

void CFindBar::ShowNote(const wxString& note) {
    if (m_note->GetLabel() != note)
        m_note->SetLabel(note);
}

wxString CFindBar::Note() const {
    return m_note->GetLabel();
}
