// The signals of the frame selected in the log or the overview, under either: name, value, unit
// and meaning, with the loaded databases named above them. Shown while a database is loaded.
// Signals whose bytes changed within the last second (the overview's marks) are marked too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <wx/panel.h>

#include "monitor/frame_signals.h"

class wxListCtrl;
class wxStaticText;

class CSignalDetail : public wxPanel {
  public:
    explicit CSignalDetail(wxWindow* parent);

    // The line above the signals: which databases are loaded.
    void SetDatabaseNames(const wxString& names);
    // The selected frame's message and signals; `changedBytes` marks the signals in those bytes.
    // Nothing selected or a frame no database defines: an empty list and a word why.
    void ShowSignals(const FrameSignals& signals, std::uint8_t changedBytes = 0);
    void ShowNothing(const wxString& why);

    // A row activated (double click, Enter) asks for its signal in the plot: the message's name
    // and the signal's.
    std::function<void(const std::string& message, const std::string& signal)> onPlot;
    void PlotRow(int row);

    // What the operator sees, for tests.
    wxString HeadingText() const;
    int RowCount() const;
    wxString CellText(int row, int column) const;
    bool RowMarked(int row) const;

  private:
    wxStaticText* m_databases = nullptr;
    wxStaticText* m_heading = nullptr;
    wxListCtrl* m_list = nullptr;
    std::string m_message;  // the shown signals' message
};
