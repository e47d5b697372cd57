// The bar above the log and the overview that filters by identifier and finds a text:
// "ID-Filter:" takes identifiers and ranges as candump writes them (see log/id_filter.h) and
// applies them as they are typed; "Suchen:" finds the next row, below the selected one, whose
// cells contain the text (Enter, "Weiter" or F3), starting again at the top after the last.
// The bar says how many rows the filter hides, or what is wrong with the filter's text; what a
// search found goes to the status line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include <wx/panel.h>

#include "log/id_filter.h"

class wxButton;
class wxStaticText;
class wxTextCtrl;

class CFindBar : public wxPanel {
  public:
    // `onFilter` gets each filter the operator's text makes; `onFind` the text to find.
    CFindBar(wxWindow* parent, std::function<void(const IdFilter&)> onFilter,
             std::function<void(const wxString&)> onFind);

    // How many rows the filter hides in the view shown now; the label changes only when the
    // figure does.
    void ShowHidden(std::size_t hidden, std::size_t total);
    // What the bar says: the hidden rows, or the filter text's mistake.
    wxString Note() const;

    wxTextCtrl* FilterField() const { return m_filter; }
    wxTextCtrl* FindField() const { return m_find; }

  private:
    void ApplyFilter();
    void ShowNote(const wxString& note);

    std::function<void(const IdFilter&)> m_onFilter;
    std::function<void(const wxString&)> m_onFind;
    wxTextCtrl* m_filter = nullptr;
    wxTextCtrl* m_find = nullptr;
    wxStaticText* m_note = nullptr;
    bool m_filterProblem = false;
};
