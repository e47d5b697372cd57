// A simple combo box: an edit field over a list that is always open, as the open dialog's device
// field is designed. The platform has one on Windows only; elsewhere the two parts are built here.
//
// Choosing an entry in the list puts its text into the field; typing into the field selects the
// first entry that begins with the text (none when no entry does). Up and Down in the field move
// through the list. The selection is the list's.
#pragma once

#include <wx/ctrlsub.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/textctrl.h>

class CSimpleComboBox : public wxPanel, public wxItemContainerImmutable {
  public:
    // The size is the whole control's; the list takes what the field leaves, but never less
    // than it needs to show every entry.
    CSimpleComboBox(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                    const wxArrayString& entries);

    unsigned int GetCount() const override;
    wxString GetString(unsigned int n) const override;
    void SetString(unsigned int n, const wxString& text) override;
    int GetSelection() const override;
    void SetSelection(int n) override;

    wxString GetValue() const;
    wxTextCtrl* GetEdit() const { return m_edit; }
    wxListBox* GetList() const { return m_list; }

    bool Enable(bool enable = true) override;

  private:
    void OnListSelected(wxCommandEvent& event);
    void OnTextChanged(wxCommandEvent& event);
    void OnEditKey(wxKeyEvent& event);

    wxTextCtrl* m_edit = nullptr;
    wxListBox* m_list = nullptr;
};
