// The application: start-up, the document template, the command line, and the end of the run.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/weakref.h>

#include "monitor/shell_command.h"
#include "ui/main_frame.h"
#include "ui/modal_windows.h"

class CVeskDocManager;
class wxFileConfig;

class CVeskApp : public wxApp {
  public:
    CVeskApp();
    ~CVeskApp() override;

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;

    void OnAppAbout(wxCommandEvent& event);

    // How often idle passes ask the tool bar's enable and check rules.
    static constexpr int kUpdateUiIntervalMs = 100;

    // Ends the program as closing its window does, also while modal windows are open: they are
    // answered with Cancel first, and the window closes from the main loop. Called for SIGTERM
    // and SIGINT.
    void RequestEnd();
    // True once RequestEnd was called: commands that are still finishing after their dialog was
    // cancelled leave the settings and the bus alone.
    bool EndRequested() const { return m_ending; }

    CMainFrame* GetMainFrame() const { return m_frame; }
    CVeskDocManager* GetDocManager() const { return m_docManager; }

    // The arguments to start with instead of the process's own (tests start the program in
    // process this way).
    void SetArguments(std::vector<std::string> args) { m_args = std::move(args); }

    // The recent-file list: beside the settings file, wherever VESK_INI or the configuration
    // folder puts that.
    static wxString RecentFilesPath();

  private:
    void OnIdle(wxIdleEvent& event);
#ifdef __WXMSW__
    void OnEndSession(wxCloseEvent& event);
#endif
    bool Start(const ShellCommand& cmd);
    bool PrintDocument(const ShellCommand& cmd);
    void StartWithoutWindow();
    void Fail(const wxString& message);
    void TearDown();
    void SaveFileHistory();

    std::optional<std::vector<std::string>> m_args;
    CVeskDocManager* m_docManager = nullptr;
    wxWeakRef<CMainFrame> m_frame;  // empties itself when the window closes
    std::unique_ptr<wxFileConfig> m_config;
    // Set when the run is over once start-up is done (print switches, --help).
    std::optional<int> m_exitCode;
    CModalWindows m_modals;
    bool m_ending = false;        // the program is on its way out
    bool m_endRequested = false;  // the window still has to be closed

    wxDECLARE_EVENT_TABLE();
};

// Whether the running program has been asked to end (false outside the program, in tests that
// build dialogs on their own).
bool ProgramEnding();
