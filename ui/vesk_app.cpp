#include "ui/vesk_app.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <wx/docview.h>
#include <wx/evtloop.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/print.h>
#include <wx/stdpaths.h>

#include "devices/device_mapping.h"
#include "platform/command_line.h"
#include "settings/profile_file.h"
#include "settings/settings.h"
#include "ui/about_dlg.h"
#include "ui/desktop_language.h"
#include "ui/doc_manager.h"
#include "ui/main_frame.h"
#include "ui/message_box_hook.h"
#include "ui/plot_window.h"
#include "ui/simulation_options.h"
#include "ui/utf8_text.h"
#include "ui/vesk_doc.h"
#include "ui/vesk_view.h"

// clang-format off
wxBEGIN_EVENT_TABLE(CVeskApp, wxApp)
    EVT_MENU(wxID_ABOUT, CVeskApp::OnAppAbout)
    EVT_IDLE(CVeskApp::OnIdle)
#ifdef __WXMSW__
    EVT_END_SESSION(CVeskApp::OnEndSession)
#endif
wxEND_EVENT_TABLE()
    // clang-format on

    namespace {
    constexpr const char* kHistoryGroup = "/Recent File List";

#ifdef __UNIX__
    // Runs from the event loop, not inside the signal handler.
    void EndOnSignal(int) {
        if (auto* app = dynamic_cast<CVeskApp*>(wxTheApp))
            app->RequestEnd();
    }
#endif

}  // namespace

wxString CVeskApp::RecentFilesPath() {
    const auto settingsFile = settings::ResolveProfilePath(settings::kSettingsFile);
    wxString folder = settingsFile ? wxFileName(wxString::FromUTF8(*settingsFile)).GetPath()
                                   : wxFileName::GetHomeDir() + "/.config/vesk";
    if (folder.empty())
        folder = ".";
    return folder + "/recent-files.ini";
}

CVeskApp::CVeskApp() {
    // The window draws without OpenGL. Left to itself, GTK loads the GL driver at start only to
    // choose a visual, which on a software renderer brings in LLVM: some 45 MB of resident memory
    // for nothing. Runs before GTK starts; a value the user set stays.
#ifdef __WXGTK__
    setenv("GDK_GL", "disable", 0);
#endif
    UseDesktopLocale();
    SetAppName("vesk");
    SetAppDisplayName("vesk");
    m_modals.Register();
}

CVeskApp::~CVeskApp() {
    RemoveMessageBoxHook();
}

bool CVeskApp::OnInit() {
    // No wxApp::OnInit: wx's own parser would refuse the traditional slash switches.
    std::vector<std::string> args;
    if (m_args) {
        args = *m_args;
    } else {
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i].utf8_string());
        args = platform::ProgramArguments(std::move(args));
    }
    const ShellCommand cmd = ParseShellCommand(args);
    if (const auto status = ExitBeforeWindow(cmd, stdout, stderr)) {
        m_exitCode = *status;
        return true;
    }
    if (cmd.action == ShellCommand::Action::kRegister ||
        cmd.action == ShellCommand::Action::kUnregister) {
        m_exitCode = 0;  // main() has done it before the window system started
        return true;
    }
    return Start(cmd);
}

bool CVeskApp::Start(const ShellCommand& cmd) {
    LoadToolkitTranslations();
    // The layers below report their failures through message boxes, from any thread.
    InstallMessageBoxHook();
    // On a busy bus the event loop idles after every drain and every repaint; the tool bar's
    // enable and check rules need not be asked more often than the eye can follow. Menus ask
    // them anew whenever they open.
    wxUpdateUIEvent::SetUpdateInterval(kUpdateUiIntervalMs);
    // A session that ends, or Ctrl+C in a terminal, ends the program as closing its window does;
    // from here on, so that a box the start shows is answered as any other.
#ifdef __UNIX__
    SetSignalHandler(SIGTERM, &EndOnSignal);
    SetSignalHandler(SIGINT, &EndOnSignal);
#endif

    // The adapters, then whatever the command line says about them.
    if (const std::string error = ApplySimulationOptions(cmd); !error.empty()) {
        Fail(U8(error));
        return false;
    }

    // The document manager with its recent-file list of four entries.
    m_docManager = new CVeskDocManager;
    m_config = std::make_unique<wxFileConfig>(wxString("vesk"), wxString(), RecentFilesPath(),
                                              wxString(), wxCONFIG_USE_LOCAL_FILE);
    m_config->SetPath(kHistoryGroup);
    m_docManager->FileHistoryLoad(*m_config);

    // The one document type: ".vsk" files, document CVeskDoc, view CVeskView.
    // wx adds the pattern to the description itself: the file dialogs show "Dateityp Vesk
    // (*.vsk)".
    new wxDocTemplate(m_docManager, U8("Dateityp Vesk"), "*.vsk", wxString(), "vsk",
                      "Vesk.Document", "Vesk View", wxCLASSINFO(CVeskDoc), wxCLASSINFO(CVeskView));

    if (cmd.action == ShellCommand::Action::kAutomation) {
        StartWithoutWindow();
        return true;
    }

    m_frame = new CMainFrame(m_docManager, U8("vesk"));
    m_docManager->SetMainFrame(m_frame);
    SetTopWindow(m_frame);

    // Document, view and the view's window; with a file on the command line, that file.
    const bool print = cmd.action == ShellCommand::Action::kFilePrint ||
                       cmd.action == ShellCommand::Action::kFilePrintTo;
    wxDocument* doc =
        cmd.file.empty() ? m_docManager->CreateDocument(wxString(), wxDOC_NEW)
                         : m_docManager->CreateDocument(wxString::FromUTF8(cmd.file), wxDOC_SILENT);
    if (!doc && !cmd.file.empty()) {
        // The document has said why in a box; printing ends there, anything else goes on with
        // a new document as if no file had been named.
        if (print) {
            std::fprintf(stderr, "vesk: %s kann nicht gedruckt werden\n", cmd.file.c_str());
            m_exitCode = 1;
            TearDown();
            return true;
        }
        doc = m_docManager->CreateDocument(wxString(), wxDOC_NEW);
    }
    if (!doc) {
        TearDown();
        return false;
    }

    if (print) {
        m_exitCode = PrintDocument(cmd) ? 0 : 1;
        TearDown();
        return true;
    }

    m_frame->Show(true);
    m_frame->Update();

    if (auto* view = m_frame->GetView()) {
        for (const std::string& file : ReplayTraceFiles())
            view->Session().AddReadTrace(file);
        view->RestoreDatabases(cmd.databases);
    }
    if (!cmd.recordPath.empty()) {
        if (auto* view = m_frame->GetView())
            view->StartRecording(cmd.recordPath);
    }

    if (cmd.showOverview) {
        if (auto* view = m_frame->GetView())
            view->ShowOverview(true);
    }

    if (cmd.openChannel) {
        if (auto* view = m_frame->GetView())
            view->OpenChannel(0, 0, 0);
    }
    if (auto* view = m_frame->GetView()) {
        CPlotWindow* plot = nullptr;
        if (!cmd.plotPath.empty())
            plot = view->PlotTrace(cmd.plotPath);
        else if (!cmd.plotSignals.empty())
            plot = view->ShowPlot();
        if (plot && !cmd.plotSignals.empty())
            plot->ChooseOnly(cmd.plotSignals);
    }
    return true;
}

void CVeskApp::StartWithoutWindow() {
    // There is no window to close, so the run ends when the session or the user says so.
    SetExitOnFrameDelete(false);
}

bool CVeskApp::PrintDocument(const ShellCommand& cmd) {
    CVeskView* view = m_frame ? m_frame->GetView() : nullptr;
    if (!view)
        return false;
    wxPrintDialogData data;
    if (!cmd.printer.empty())
        data.GetPrintData().SetPrinterName(wxString::FromUTF8(cmd.printer));
    wxPrinter printer(&data);
    std::unique_ptr<wxPrintout> printout(view->OnCreatePrintout());
    // Through the print dialog, with the named printer chosen: printing without it waits for
    // the system's default printer, and where the print system has none (no print server
    // running) it waits for ever.
    return printout && printer.Print(m_frame, printout.get(), true);
}

void CVeskApp::SaveFileHistory() {
    // The list is a convenience: a folder that cannot be made or written costs it, and nothing
    // else, so no message interrupts the end of the run.
    wxLogNull quiet;
    wxFileName::Mkdir(wxFileName(RecentFilesPath()).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    m_docManager->FileHistorySave(*m_config);
    m_config->Flush();
}

void CVeskApp::Fail(const wxString& message) {
    wxMessageBox(message, U8("vesk"), wxOK | wxICON_ERROR);
}

int CVeskApp::OnRun() {
    if (m_exitCode)
        return *m_exitCode;
    return wxApp::OnRun();
}

void CVeskApp::TearDown() {
    // Messages still waiting for a box are shown while their parent exists; whatever comes later
    // goes to the terminal, since a box parented to a frame that is gone brings the program down.
    wxLog::FlushActive();
    delete wxLog::SetActiveTarget(new wxLogStderr);
    // The documents first: the view ends the channel before anything it uses goes.
    if (m_docManager) {
        m_docManager->CloseDocuments(true);
        if (m_config)
            SaveFileHistory();
    }
    if (m_frame) {
        m_frame->Destroy();
        m_frame.Release();
    }
    delete m_docManager;
    m_docManager = nullptr;
    {
        wxLogNull quiet;  // the file was written above, or could not be
        m_config.reset();
    }
    RemoveMessageBoxHook();
}

void CVeskApp::RequestEnd() {
    m_ending = true;
    m_endRequested = true;
    m_modals.RefuseNew();
    m_modals.CancelInnermost();
    WakeUpIdle();
}

#ifdef __WXMSW__
void CVeskApp::OnEndSession(wxCloseEvent&) {
    // Windows ends the process once this returns: the end that a signal starts on Linux, with
    // the window closed here and now (channel, cyclic jobs and recording first) when no modal
    // window is in the way; otherwise the modal windows are cancelled on the way out.
    RequestEnd();
    if (m_modals.Empty()) {
        m_endRequested = false;
        if (CMainFrame* frame = m_frame)
            frame->Close(true);
        else
            ExitMainLoop();
    }
}
#endif

void CVeskApp::OnIdle(wxIdleEvent& event) {
    event.Skip();
    if (!m_endRequested)
        return;
    // Idle passes come in every loop, a dialog's own included: the window closes only once every
    // modal window has returned and the main loop runs again.
    if (!m_modals.Empty()) {
        m_modals.CancelInnermost();
        event.RequestMore();
        return;
    }
    const wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop && !loop->IsMain()) {
        event.RequestMore();
        return;
    }
    m_endRequested = false;
    if (CMainFrame* frame = m_frame) {
        frame->Close(true);
    } else {
        ExitMainLoop();
    }
}

bool ProgramEnding() {
    const auto* app = dynamic_cast<const CVeskApp*>(wxTheApp);
    return app && app->EndRequested();
}

int CVeskApp::OnExit() {
    TearDown();
    return wxApp::OnExit();
}

void CVeskApp::OnAppAbout(wxCommandEvent&) {
    CAboutDlg dlg(m_frame);
    dlg.ShowModal();
}
