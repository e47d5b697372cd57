// The window "Signalverlauf": signals of the loaded databases over time, live from the session
// or from a recorded trace.
//
// On the left the messages and their signals, with a search field; a checked signal is plotted
// in a colour of its own. Above the plot "Anhalten", "Alles zeigen", the exports and the budget
// of points; under it the two cursors' time and values with their differences.
//
// Live, the receive thread decodes the checked signals (monitor/plot_feed.h) and the window's
// timer takes their values into its model 22 times a second and moves the range along with the
// newest one. "Anhalten" holds the picture while the values go on arriving. When the budget of
// points is spent the oldest ones go, and the window says how many went.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/timer.h>

#include "dbc/database_set.h"
#include "monitor/plot_feed.h"
#include "plot/plot_model.h"

class CPlotCanvas;
class MonitorSession;
class wxCheckListBox;
class wxListCtrl;
class wxSearchCtrl;
class wxSpinCtrl;
class wxStaticText;
class wxToggleButton;

class CPlotWindow : public wxFrame {
  public:
    static constexpr int kTickMs = 45;

    // Live: the session's signals as they arrive.
    CPlotWindow(wxWindow* parent, MonitorSession& session);
    // A trace, evaluated into `model` (every signal it carries); `originNs` is its first time.
    CPlotWindow(wxWindow* parent, std::unique_ptr<plot::PlotModel> model,
                const std::string& traceName, std::int64_t originNs);
    ~CPlotWindow() override;

    // The session is about to go: nothing is taken from it any more.
    void DetachSession();

    // --- The operator's choices (also for tests) ---------------------------------------------
    // Checks or unchecks "message.signal"; false when the databases have no such signal.
    bool ChooseSignal(const std::string& message, const std::string& signal, bool on = true);
    // Shows exactly these "message.signal"; a box names those the list does not have.
    void ChooseOnly(const std::vector<std::string>& names);
    void SetSearch(const wxString& text);
    // The entries the list shows now, "Botschaft.Signal".
    std::vector<std::string> ListedSignals() const;
    void Hold(bool hold);
    bool IsHeld() const { return m_held.has_value(); }
    void ShowAll();
    void SetPointBudget(std::size_t points);
    bool ExportCsv(const std::string& path, std::string& error) const;
    bool ExportPng(const std::string& path, std::string& error) const;

    // --- What the operator sees ----------------------------------------------------------------
    CPlotCanvas* Canvas() const { return m_canvas; }
    const plot::PlotModel& Model() const { return *m_model; }
    // The series of a checked signal, nullopt when it is not shown.
    std::optional<plot::SeriesId> SeriesOf(const std::string& message,
                                           const std::string& signal) const;
    // The notice about points let go; empty while none went.
    wxString NoticeText() const;
    // The readout under the plot: row 0 the times, then one row per shown signal; columns
    // signal, cursor 1, cursor 2, difference.
    int ReadoutRows() const;
    wxString ReadoutCell(int row, int column) const;

    // One tick of the timer: takes the queued values and redraws.
    void Tick();

  private:
    struct Entry {
        std::string message;  // the message's name
        std::string signal;
        std::uint32_t frameId = 0;
        bool extended = false;
        std::optional<plot::SeriesId> series;  // set while shown; a trace's series always exist
    };

    void Build();
    void FillList();
    // Live: the entries from the databases the session has now (kept shown where they still are).
    void TakeDatabases();
    void Toggle(Entry& entry, bool on);
    // Live: hands the receive thread what to decode for the shown entries.
    void Reselect();
    void UpdateTraces();
    void UpdateReadout();
    void UpdateNotice();
    std::string ValueText(plot::SeriesId id, std::int64_t timeNs,
                          std::optional<double>& value) const;

    MonitorSession* m_session = nullptr;
    std::unique_ptr<plot::PlotModel> m_model;
    std::int64_t m_originNs = 0;
    std::shared_ptr<const dbc::DatabaseSet> m_databases;  // live: the set the entries are from
    std::unique_ptr<PlotSelection> m_selection;           // live: handed to the receive thread
    std::vector<Entry> m_entries;
    std::vector<std::size_t> m_listed;    // the list's rows: indexes into m_entries
    std::vector<plot::SeriesId> m_shown;  // in the order they were checked
    std::optional<std::int64_t> m_held;
    std::uint64_t m_droppedBefore = 0;  // the feed's count when the window opened
    // The choice the readout shows the names of, while no cursor is set.
    std::optional<std::vector<plot::SeriesId>> m_readoutNamesOf;

    wxSearchCtrl* m_search = nullptr;
    wxCheckListBox* m_list = nullptr;
    wxToggleButton* m_hold = nullptr;
    wxSpinCtrl* m_budget = nullptr;
    wxStaticText* m_notice = nullptr;
    CPlotCanvas* m_canvas = nullptr;
    wxListCtrl* m_readout = nullptr;
    wxTimer m_timer;
};

// Evaluates the trace with `databases` (with a progress dialog that can cancel, when
// `showProgress`) and opens its plot window. Null when it was cancelled, or when the trace cannot
// be read or holds no message of the databases, which a message box says.
CPlotWindow* OpenTracePlot(wxWindow* parent, const std::string& path,
                           const std::shared_ptr<const dbc::DatabaseSet>& databases,
                           bool showProgress);
