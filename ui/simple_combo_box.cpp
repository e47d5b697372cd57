#include "ui/simple_combo_box.h"

#include <algorithm>

CSimpleComboBox::CSimpleComboBox(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                                 const wxArrayString& entries)
    : wxPanel(parent, id, pos, size, wxTAB_TRAVERSAL | wxNO_BORDER) {
    m_edit = new wxTextCtrl(this, wxID_ANY, wxString(), wxPoint(0, 0), wxSize(size.x, -1));
    const int editHeight = m_edit->GetSize().y;
    m_list = new wxListBox(this, wxID_ANY, wxPoint(0, editHeight), wxDefaultSize, entries,
                           wxLB_SINGLE | wxLB_NEEDED_SB);
    // Room for every entry, whatever the platform's row height.
    const int listHeight = std::max(size.y - editHeight, m_list->GetBestSize().y);
    m_list->SetSize(0, editHeight, size.x, listHeight);
    SetSize(size.x, editHeight + listHeight);
    m_list->Bind(wxEVT_LISTBOX, &CSimpleComboBox::OnListSelected, this);
    m_edit->Bind(wxEVT_TEXT, &CSimpleComboBox::OnTextChanged, this);
    m_edit->Bind(wxEVT_KEY_DOWN, &CSimpleComboBox::OnEditKey, this);
}

unsigned int CSimpleComboBox::GetCount() const {
    return m_list->GetCount();
}

wxString CSimpleComboBox::GetString(unsigned int n) const {
    return m_list->GetString(n);
}

void CSimpleComboBox::SetString(unsigned int n, const wxString& text) {
    m_list->SetString(n, text);
}

int CSimpleComboBox::GetSelection() const {
    return m_list->GetSelection();
}

void CSimpleComboBox::SetSelection(int n) {
    if (n == wxNOT_FOUND) {
        m_list->SetSelection(wxNOT_FOUND);
        m_edit->ChangeValue(wxString());
        return;
    }
    m_list->SetSelection(n);
    m_edit->ChangeValue(m_list->GetString(static_cast<unsigned int>(n)));
    m_edit->SelectAll();
}

wxString CSimpleComboBox::GetValue() const {
    return m_edit->GetValue();
}

bool CSimpleComboBox::Enable(bool enable) {
    m_edit->Enable(enable);
    m_list->Enable(enable);
    return wxPanel::Enable(enable);
}

void CSimpleComboBox::OnListSelected(wxCommandEvent& event) {
    m_edit->ChangeValue(m_list->GetString(static_cast<unsigned int>(event.GetSelection())));
    m_edit->SelectAll();
}

void CSimpleComboBox::OnTextChanged(wxCommandEvent&) {
    const wxString typed = m_edit->GetValue().Lower();
    int match = wxNOT_FOUND;
    if (!typed.empty()) {
        for (unsigned int i = 0; i < m_list->GetCount(); ++i) {
            if (m_list->GetString(i).Lower().StartsWith(typed)) {
                match = static_cast<int>(i);
                break;
            }
        }
    }
    m_list->SetSelection(match);
    if (match != wxNOT_FOUND)
        m_list->EnsureVisible(match);
}

void CSimpleComboBox::OnEditKey(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if ((key != WXK_UP && key != WXK_DOWN) || event.HasAnyModifiers()) {
        event.Skip();
        return;
    }
    const int count = static_cast<int>(m_list->GetCount());
    if (count == 0)
        return;
    const int now = m_list->GetSelection();
    const int next =
        now == wxNOT_FOUND ? 0 : std::clamp(now + (key == WXK_DOWN ? 1 : -1), 0, count - 1);
    SetSelection(next);
}
