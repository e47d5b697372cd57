// "Datenbank-Botschaft senden": the modeless dialog beside "Botschaft senden" that sends a
// database message by its signals' physical values, once or cyclically.
//
// The operator picks a message (the search field narrows the list by name or hexadecimal
// identifier), edits its signals (a value table's signals as a choice of its labels), and sees the
// bytes as they will go out at every change, or why they cannot. A multiplexer's value decides
// which signals are shown and sent. Cyclic messages run as channel jobs (monitor/signal_sender.h)
// listed in the dialog, each stoppable; values changed while one runs go out at its next send.
// Values sent are kept per message in [Signalwerte] and come back when the message is chosen.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "dbc/database_set.h"
#include "dbc/signal_assignments.h"

class MonitorSession;
class wxChoice;
class wxFlexGridSizer;
class wxListBox;
class wxScrolledWindow;
class wxStaticText;
class wxTextCtrl;

class CSignalSendDlg : public wxDialog {
  public:
    CSignalSendDlg(wxWindow* parent, MonitorSession& session);

    // Shows the dialog with the messages of the databases loaded now; the first time centred on
    // the main window.
    void Present(const wxWindow& mainWindow);
    // Offers the messages of the databases loaded now (the chosen one stays chosen if offered).
    void FillMessages();

    // --- What the operator does and sees (the controls' handlers call these too) --------------
    void SetSearch(const wxString& text);
    // The messages the list offers, "Name (0x123)".
    std::vector<wxString> MessageTexts() const;
    // Chooses the message by its name among those offered; false when it is not offered.
    bool SelectMessage(const std::string& name);
    // Types into the signal's field or picks the label in its choice; false when not shown.
    bool SetSignalValue(const std::string& signal, const wxString& text);
    bool IsSignalShown(const std::string& signal) const;
    wxString SignalValue(const std::string& signal) const;
    // Whether the signal's field is marked as holding a value that cannot go out.
    bool IsSignalRefused(const std::string& signal) const;
    void SetCycleText(const wxString& ms);
    wxString CycleText() const;
    // "60 09 00 00" as they will go out; empty while refused.
    wxString BytesText() const;
    // Why the values cannot go out, or why the last send was refused; empty when nothing is.
    wxString ProblemText() const;
    void SendOnce();
    void SendCyclic();
    // The running messages, "Motor (0x123) alle 100 ms", in the order they were started.
    std::vector<wxString> JobTexts() const;
    void StopJob(int index);
    void StopAllJobs();
    // Brings the list of running messages up to date (a closed channel has stopped them).
    void RefreshJobs();

  private:
    struct Row {
        int signal = 0;
        wxStaticText* name = nullptr;
        wxWindow* editor = nullptr;  // wxTextCtrl, or wxChoice for a value table
        wxStaticText* unit = nullptr;
        bool refused = false;  // its field is marked
    };

    void BuildRows();
    void ShowSelectedRows();
    std::vector<dbc::SignalAssignment> Values() const;
    // Encodes the shown values into the bytes line; true when they can go out.
    bool ShowBytes();
    void MarkRefusedFields();
    void ValuesChanged();
    void SaveValues(const std::vector<dbc::SignalAssignment>& values) const;
    void ShowProblem(const std::string& problem);
    const Row* FindRow(const std::string& signal) const;
    wxString EditorText(const Row& row) const;
    bool Ready() const;

    MonitorSession& m_session;
    std::shared_ptr<const dbc::DatabaseSet> m_databases;  // keeps m_message alive
    std::vector<const dbc::Message*> m_offered;
    const dbc::Message* m_message = nullptr;
    std::vector<Row> m_rows;
    std::vector<wxString> m_jobTexts;
    // What the operator typed for each message while the dialog lives, sent or not.
    std::map<std::string, std::string> m_edited;
    bool m_placed = false;

    wxTextCtrl* m_search = nullptr;
    wxChoice* m_messages = nullptr;
    wxStaticText* m_info = nullptr;
    wxScrolledWindow* m_signals = nullptr;
    wxFlexGridSizer* m_grid = nullptr;
    wxStaticText* m_bytes = nullptr;
    wxStaticText* m_problem = nullptr;
    wxTextCtrl* m_cycle = nullptr;
    wxListBox* m_jobs = nullptr;
};
