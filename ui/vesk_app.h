// The application: start-up, the document template, the command line, and the end of the run.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/weakref.h>

#include "ui/main_frame.h"
#include "ui/shell_command.h"

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

    CMainFrame* GetMainFrame() const { return m_frame; }
    CVeskDocManager* GetDocManager() const { return m_docManager; }

    // The arguments to start with instead of the process's own (tests start the program in
    // process this way).
    void SetArguments(std::vector<std::string> args) { m_args = std::move(args); }

  private:
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

    wxDECLARE_EVENT_TABLE();
};
