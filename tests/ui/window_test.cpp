// The window as the operator meets it: menus, tool bar, status bar, document, help, and the log
// table fed by a scripted adapter.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/filedlg.h>
#include <wx/filehistory.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/stockitem.h>
#include <wx/toolbar.h>

#include "channel/can_channel.h"
#include "log/log_model.h"
#include "log/log_row.h"
#include "monitor/monitor_session.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "tests/support/scripted_device.h"
#include "tests/support/test_record.h"
#include "tests/ui/app_harness.h"
#include "ui/about_dlg.h"
#include "ui/command_ids.h"
#include "ui/doc_manager.h"
#include "ui/find_bar.h"
#include "ui/help_pages.h"
#include "ui/overview_window.h"
#include "ui/signal_detail.h"
#include "ui/signal_send_dlg.h"

namespace fs = std::filesystem;
using namespace uitest;
using testsupport::Frame;
using testsupport::RegisteredDevice;

std::vector<std::string> uitest::StartArguments() {
    // The first start on this machine: no settings file.
    if (const char* ini = std::getenv("VESK_INI"))
        std::remove(ini);
    return {};
}

namespace {

wxString W(const char* utf8) {
    return wxString::FromUTF8(utf8);
}

// A message box, answered OK, whose text the test keeps.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
  public:
    explicit ExpectMessage(wxString* text) : text_(text) {}

  protected:
    int OnInvoked(wxMessageDialog* dlg) const override {
        *text_ = dlg->GetMessage();
        return wxID_OK;
    }

  private:
    wxString* text_;
};

fs::path TempDir() {
    fs::path dir = fs::temp_directory_path() / ("vesk-window-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

// --- Right after start (a process of their own: nothing has touched the program yet) -----------

TEST(WindowStartTest, OnlyTheChannelFreeItemsAreEnabledAndShowDataIsChecked) {
    struct Expected {
        int id;
        bool enabled;
        bool checked;
    };
    const Expected expected[] = {
        {ID_CAN_OPEN, true, false},
        {ID_CAN_CLOSE, false, false},
        {ID_CAN_BAUDRATE, false, false},
        {ID_CAN_HW_FILTER, false, false},
        {ID_CAN_SOFT_FILTER, false, false},
        {ID_CAN_AUTO_REPLIES, true, false},
        {ID_CAN_SEND, true, false},
        {ID_CAN_RESET_TIME, false, false},
        {ID_CAN_SHOW_DATA, true, true},
        {ID_CAN_STANDBY, false, false},
        {ID_CAN_CLEAR_OVERRUN, false, false},
        {ID_CAN_ABORT_TX, false, false},
        {ID_CAN_EXTENDED_DISPLAY, false, false},
        {ID_VIEW_CLEAR_SCREEN, true, false},
    };
    for (const Expected& e : expected) {
        const ItemState state = MenuItem(e.id);
        EXPECT_EQ(state.enabled, e.enabled) << "item " << std::hex << e.id;
        EXPECT_EQ(state.checked, e.checked) << "item " << std::hex << e.id;
    }
}

TEST(WindowStartTest, PanesShowTheDefaultsBeforeTheFirstOpen) {
    Idle();
    EXPECT_EQ(PaneText(CMainFrame::kPaneMessage), "Drücken Sie F1, um Hilfe zu erhalten.");
    EXPECT_EQ(PaneText(CMainFrame::kPaneHwFilter), "ffffffff : ffffffff");
    EXPECT_EQ(PaneText(CMainFrame::kPaneSoftFilter), "00000000 : 00000000");
    EXPECT_EQ(PaneText(CMainFrame::kPaneBusLoad), "0.00 %");
}

TEST(WindowStartTest, GermanTextsKeepTheirUmlautsInTheCLocale) {
    wxMenuBar* bar = Frame()->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 6u);
    EXPECT_EQ(bar->GetMenuLabel(0), W("&Datei"));
    EXPECT_EQ(bar->GetMenuLabel(1), W("CAN"));
    EXPECT_EQ(bar->GetMenuLabel(2), W("&Ansicht"));
    EXPECT_EQ(bar->GetMenuLabel(3), W("Aufzeichnung"));
    EXPECT_EQ(bar->GetMenuLabel(4), W("Datenbank"));
    EXPECT_EQ(bar->GetMenuLabel(5), W("&?"));
    EXPECT_EQ(bar->GetLabel(ID_CAN_OPEN), W("CAN Kanal öffnen"));
    EXPECT_EQ(bar->GetLabel(ID_CAN_CLOSE), W("CAN Kanal schließen"));
    EXPECT_EQ(bar->GetLabel(ID_CAN_RESET_TIME), W("Zeit rücksetzen"));
    EXPECT_EQ(bar->GetLabel(ID_VIEW_CLEAR_SCREEN), W("Bildschirm löschen"));
    EXPECT_EQ(bar->GetLabel(wxID_ABOUT), W("Inf&o über vesk..."));
    EXPECT_EQ(bar->GetHelpString(ID_CAN_SOFT_FILTER),
              W("Akzeptanzfilter für alle CAN Botschaften (Softwarefilter)"));
    EXPECT_EQ(bar->GetHelpString(wxID_EXIT),
              W("Verläßt die Anwendung; fragt, ob Dokumente gespeichert werden sollen."));
    EXPECT_EQ(Frame()->GetTitle(), W("Unbenannt - vesk"));
}

TEST(WindowStartTest, ToolBarOffersEverythingButTheClipboard) {
    wxToolBar* bar = Frame()->GetToolBar();
    ASSERT_NE(bar, nullptr);
    bar->UpdateWindowUI();
    for (int id : {wxID_NEW, wxID_OPEN, wxID_SAVE, wxID_PRINT, wxID_ABOUT, wxID_CONTEXT_HELP}) {
        EXPECT_TRUE(bar->GetToolEnabled(id)) << id;
    }
    for (int id : {wxID_CUT, wxID_COPY, wxID_PASTE})
        EXPECT_FALSE(bar->GetToolEnabled(id)) << id;
    EXPECT_EQ(bar->GetToolShortHelp(wxID_OPEN), W("Öffnen"));
    EXPECT_EQ(bar->GetToolLongHelp(wxID_PASTE), W("Fügt den Inhalt der Zwischenablage ein."));
}

// The design's pixel widths are for an 8-point dialog font; in the desktop's font each column is
// at least its design width converted as the dialogs convert theirs, and holds its widest cell.
TEST(WindowStartTest, EveryColumnShowsItsWidestCellAtStartUp) {
    CLogListCtrl* list = List();
    for (int i = 0; i < kLogColumnCount; ++i) {
        const int widest = list->GetTextExtent(wxString::FromUTF8(CLogListCtrl::WidestCell(i))).x;
        const int design =
            list->ConvertDialogToPixels(wxSize(CLogListCtrl::kColumns[i].width * 2 / 3, 0)).x;
        EXPECT_GE(list->GetColumnWidth(i), widest + CLogListCtrl::kCellPadding) << i;
        EXPECT_GE(list->GetColumnWidth(i), design - 2) << i;
    }
    EXPECT_EQ(CLogListCtrl::WidestCell(0), "Transmitted EXT");
    EXPECT_EQ(CLogListCtrl::WidestCell(3), "1fffffff");
    // All eight are in view when the window opens.
    EXPECT_LE(list->ColumnsWidth(), Frame()->GetClientSize().x);
}

// --- Frame commands ------------------------------------------------------------------------------

int paints = 0;
void CountPaint(wxPaintEvent& event) {
    ++paints;
    event.Skip();
}

// Lets the window paint itself, as the toolkit does on its own time; false if it never did.
bool PaintNow(wxWindow* window) {
    window->Bind(wxEVT_PAINT, &CountPaint);
    const int before = paints;
    window->Refresh();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (paints == before && std::chrono::steady_clock::now() < end) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    window->Unbind(wxEVT_PAINT, &CountPaint);
    return paints != before;
}

TEST(WindowFrameTest, StatusPanesShowTheirTextsWhole) {
    wxStatusBar* bar = Frame()->GetStatusBar();
    std::vector<wxString> shown;
    for (int pane = 0; pane < CMainFrame::kPanes; ++pane)
        shown.push_back(bar->GetStatusText(pane));
    bar->SetStatusText("ffffffff : ffffffff", CMainFrame::kPaneHwFilter);
    bar->SetStatusText("ffffffff : ffffffff", CMainFrame::kPaneSoftFilter);
    bar->SetStatusText("100.00 %", CMainFrame::kPaneBusLoad);
    bar->SetStatusText("NUM", CMainFrame::kPaneNumLock);
    ASSERT_TRUE(PaintNow(bar));
    for (int pane = CMainFrame::kPaneHwFilter; pane <= CMainFrame::kPaneNumLock; ++pane)
        EXPECT_FALSE(bar->GetField(pane).IsEllipsized()) << pane;
    for (int pane = 0; pane < CMainFrame::kPanes; ++pane)
        bar->SetStatusText(shown[static_cast<std::size_t>(pane)], pane);
}

// wx fills an empty prompt of a standard command with its own English text.
TEST(WindowFrameTest, NoMenuItemOrToolPromptsInEnglish) {
    wxMenuBar* bar = Frame()->GetMenuBar();
    for (std::size_t m = 0; m < bar->GetMenuCount(); ++m) {
        for (const wxMenuItem* item : bar->GetMenu(m)->GetMenuItems()) {
            if (item->IsSeparator())
                continue;
            const wxString english = wxGetStockHelpString(item->GetId());
            if (!english.empty()) {
                EXPECT_NE(item->GetHelp(), english) << item->GetItemLabelText().utf8_string();
            }
        }
    }
    EXPECT_EQ(bar->GetHelpString(wxID_ABOUT),
              W("Zeigt Programminformationen, Versionsnummer und Copyright an."));
    wxToolBar* tools = Frame()->GetToolBar();
    for (std::size_t t = 0; t < tools->GetToolsCount(); ++t) {
        const wxToolBarToolBase* tool = tools->GetToolByPos(static_cast<int>(t));
        if (tool->IsSeparator())
            continue;
        EXPECT_FALSE(tool->GetShortHelp().empty()) << tool->GetId();
        EXPECT_FALSE(tool->GetLongHelp().empty()) << tool->GetId();
    }
}

class ExpectFileDialog : public wxExpectModalBase<wxFileDialog, ExpectFileDialog> {
  public:
    explicit ExpectFileDialog(wxString* wildcard) : wildcard_(wildcard) {}

  protected:
    int OnInvoked(wxFileDialog* dlg) const override {
        *wildcard_ = dlg->GetWildcard();
        return wxID_CANCEL;
    }

  private:
    wxString* wildcard_;
};

TEST(WindowFrameTest, FileDialogsOfferTheDocumentTypeOnce) {
    wxString wildcard;
    wxTEST_DIALOG(Command(wxID_OPEN), ExpectFileDialog(&wildcard));
    EXPECT_EQ(wildcard.BeforeFirst('|').Trim(), W("Dateityp Vesk (*.vsk)"));
    EXPECT_EQ(wildcard.AfterFirst('|'), W("*.vsk"));
}

TEST(WindowFrameTest, RecentFilesAreFourBesideTheSettingsFile) {
    EXPECT_EQ(App().GetDocManager()->GetFileHistory()->GetMaxFiles(), 4u);
    const std::string saved = std::getenv("VESK_INI");
    setenv("VESK_INI", "/somewhere/else/my.ini", 1);
    const wxString path = CVeskApp::RecentFilesPath();
    setenv("VESK_INI", saved.c_str(), 1);
    EXPECT_EQ(path, W("/somewhere/else/recent-files.ini"));
}

TEST(WindowFrameTest, DraggedColumnWidthsAreKeptForTheNextRun) {
    // Each list in a window of its own, as the next run would make it.
    struct Case {
        const char* section;
        CFastReportList* shown;
        std::function<std::pair<wxWindow*, CFastReportList*>()> makeNext;
    };
    LogModel model;
    const Case cases[] = {
        {settings::kLogColumnsSection, List(),
         [&] {
             auto* list = new CLogListCtrl(Frame(), model);
             return std::make_pair(static_cast<wxWindow*>(list),
                                   static_cast<CFastReportList*>(list));
         }},
        {settings::kOverviewColumnsSection, View()->GetOverview()->List(),
         [] {
             auto* window = new COverviewWindow(Frame(), View()->Session());
             return std::make_pair(static_cast<wxWindow*>(window), window->List());
         }},
    };
    for (const Case& c : cases) {
        View()->ShowOverview(c.section == settings::kOverviewColumnsSection);
        const int before = c.shown->GetColumnWidth(6);
        c.shown->SetColumnWidth(6, before + 37);
        wxListEvent dragged(wxEVT_LIST_COL_END_DRAG, c.shown->GetId());
        dragged.SetEventObject(c.shown);
        c.shown->GetEventHandler()->ProcessEvent(dragged);
        Idle();
        std::array<int, 8> stored{};
        settings::LoadColumnWidths(c.section, stored);
        EXPECT_EQ(stored[6], before + 37) << c.section;

        // A wider window: the last column takes the room beyond the others, and the settings
        // keep its own width. GTK resizes when the window system answers: that is waited for.
        const int last = c.shown->GetColumnCount() - 1;
        const int own = c.shown->LastColumnOwnWidth();
        const wxSize size = Frame()->GetSize();
        const int rowsWidth = c.shown->RowsWindow()->GetClientSize().x;
        Frame()->SetSize(size.x + 300, size.y);
        for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             c.shown->RowsWindow()->GetClientSize().x < rowsWidth + 300 &&
             std::chrono::steady_clock::now() < until;)
            wxYield();
        Idle();
        int others = 0;
        for (int i = 0; i < last; ++i)
            others += c.shown->GetColumnWidth(i);
        const int scrollBar = c.shown->GetItemCount() <= c.shown->GetCountPerPage()
                                  ? wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, c.shown)
                                  : 0;
        EXPECT_EQ(c.shown->GetColumnWidth(last),
                  c.shown->RowsWindow()->GetClientSize().x - scrollBar - others)
            << c.section;
        EXPECT_GT(c.shown->GetColumnWidth(last), own) << c.section;
        c.shown->GetEventHandler()->ProcessEvent(dragged);
        Idle();
        std::vector<int> widths(static_cast<std::size_t>(last + 1));
        settings::LoadColumnWidths(c.section, widths);
        EXPECT_EQ(widths.back(), own) << c.section;
        Frame()->SetSize(size);

        // The next run's list starts with it; the others keep their start-up widths.
        const auto [window, next] = c.makeNext();
        EXPECT_EQ(next->GetColumnWidth(6), before + 37) << c.section;
        EXPECT_EQ(next->GetColumnWidth(1), c.shown->GetColumnWidth(1)) << c.section;
        window->Destroy();
        c.shown->SetColumnWidth(6, before);
        settings::SaveColumnWidths(c.section, std::vector<int>(c.shown->GetColumnCount()));
    }
    View()->ShowOverview(false);
}

TEST(WindowFrameTest, BarsHideAndShowWithTheirCheckMarks) {
    EXPECT_TRUE(MenuItem(ID_VIEW_TOOLBAR).checked);
    Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(Frame()->GetToolBar()->IsShown());
    EXPECT_FALSE(MenuItem(ID_VIEW_TOOLBAR).checked);
    Command(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(Frame()->GetToolBar()->IsShown());
    EXPECT_TRUE(MenuItem(ID_VIEW_TOOLBAR).checked);

    EXPECT_TRUE(MenuItem(ID_VIEW_STATUS_BAR).checked);
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(Frame()->GetStatusBar()->IsShown());
    EXPECT_FALSE(MenuItem(ID_VIEW_STATUS_BAR).checked);
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(Frame()->GetStatusBar()->IsShown());
    EXPECT_TRUE(MenuItem(ID_VIEW_STATUS_BAR).checked);
}

TEST(WindowFrameTest, HighlightedMenuItemsShowTheirPromptInTheFirstPane) {
    auto send = [](wxEventType type, int id) {
        wxMenuEvent event(type, id, Frame()->GetMenuBar()->GetMenu(1));
        event.SetEventObject(Frame());
        Frame()->ProcessWindowEvent(event);
    };
    wxMenuEvent open(wxEVT_MENU_OPEN, 0, Frame()->GetMenuBar()->GetMenu(1));
    Frame()->ProcessWindowEvent(open);
    send(wxEVT_MENU_HIGHLIGHT, ID_CAN_SOFT_FILTER);
    EXPECT_EQ(PaneText(CMainFrame::kPaneMessage),
              "Akzeptanzfilter für alle CAN Botschaften (Softwarefilter)");
    send(wxEVT_MENU_HIGHLIGHT, ID_CAN_OPEN);
    EXPECT_EQ(PaneText(CMainFrame::kPaneMessage), "CAN Treiber öffnen");
    send(wxEVT_MENU_CLOSE, 0);
    EXPECT_EQ(PaneText(CMainFrame::kPaneMessage), "Drücken Sie F1, um Hilfe zu erhalten.");
}

// F1, Shift+F1 (and the help tool) open the help on its first page, and the help describes every
// item of every menu.
TEST(WindowFrameTest, HelpOpensOnItsKeysAndDescribesEveryMenuItem) {
    for (int id : {wxID_HELP, wxID_CONTEXT_HELP}) {
        Command(id);
        wxHtmlHelpWindow* help = Frame()->Help().Window();
        ASSERT_NE(help, nullptr) << id;
        EXPECT_TRUE(wxGetTopLevelParent(help)->IsShown()) << id;
        EXPECT_EQ(help->GetHtmlWindow()->GetOpenedPageTitle(), "vesk-Hilfe") << id;
        wxGetTopLevelParent(help)->Hide();
    }
    std::string pages;
    for (const HelpPage& page : HelpPages())
        pages += page.text;
    wxMenuBar* bar = Frame()->GetMenuBar();
    for (size_t m = 0; m < bar->GetMenuCount(); ++m) {
        for (const wxMenuItem* item : bar->GetMenu(m)->GetMenuItems()) {
            if (item->IsSeparator())
                continue;
            std::string label = item->GetItemLabelText().utf8_string();
            if (label.ends_with("..."))
                label.resize(label.size() - 3);
            EXPECT_NE(pages.find(label), std::string::npos) << label;
        }
    }
}

class ExpectAbout : public wxExpectModalBase<CAboutDlg, ExpectAbout> {
  public:
    ExpectAbout(wxString* title, wxString* texts) : title_(title), texts_(texts) {}

  protected:
    int OnInvoked(CAboutDlg* dlg) const override {
        *title_ = dlg->GetTitle();
        for (wxWindow* child : dlg->GetChildren()) {
            if (auto* label = dynamic_cast<wxStaticText*>(child))
                *texts_ += label->GetLabel();
        }
        return wxID_OK;
    }

  private:
    wxString* title_;
    wxString* texts_;
};

TEST(WindowFrameTest, AboutBoxNamesProgramAndVersion) {
    wxString title, texts;
    wxTEST_DIALOG(Command(wxID_ABOUT), ExpectAbout(&title, &texts));
    EXPECT_EQ(title, W("Info über vesk"));
    EXPECT_EQ(texts, W("vesk Version 1.3"));
}

bool ToolEnabled(int id) {
    wxToolBar* bar = Frame()->GetToolBar();
    bar->UpdateWindowUI();
    return bar->GetToolEnabled(id);
}

// --- The document --------------------------------------------------------------------------------

TEST(WindowDocumentTest, NewAndOpenReuseTheViewAndChangeOnlyTheCaption) {
    CVeskView* view = View();
    CanChannel* channel = view->m_channel;
    const fs::path file = TempDir() / "bus.vsk";
    std::ofstream(file) << "";

    ASSERT_TRUE(App().GetDocManager()->OpenFile(wxString::FromUTF8(file.string())));
    EXPECT_EQ(Frame()->GetTitle(), W("bus.vsk - vesk"));
    EXPECT_EQ(View(), view);
    EXPECT_EQ(View()->m_channel, channel);

    Command(wxID_NEW);
    EXPECT_EQ(Frame()->GetTitle(), W("Unbenannt - vesk"));
    EXPECT_EQ(View(), view);
    EXPECT_EQ(App().GetDocManager()->GetDocuments().size(), 1u);
}

TEST(WindowDocumentTest, OpeningAMissingFileKeepsTheDocument) {
    const wxString before = Frame()->GetTitle();
    const fs::path missing = TempDir() / "missing.vsk";
    wxString text;
    wxTEST_DIALOG(
        EXPECT_FALSE(App().GetDocManager()->OpenFile(wxString::FromUTF8(missing.string()))),
        ExpectMessage(&text));
    EXPECT_TRUE(text.StartsWith(W("Die Datei \u201e") + wxString::FromUTF8(missing.string()) +
                                W("\u201c kann nicht ge\u00f6ffnet werden.")))
        << text;
    EXPECT_EQ(Frame()->GetTitle(), before);
    EXPECT_NE(View(), nullptr);
}

TEST(WindowDocumentTest, SaveWritesAnEmptyFileEveryTime) {
    Command(wxID_NEW);
    const fs::path file = TempDir() / "saved.vsk";
    std::ofstream(file) << "not a vesk document";
    // What "save as" does once its file dialog was answered.
    wxDocument* doc = App().GetDocManager()->GetCurrentDocument();
    ASSERT_TRUE(doc->OnSaveDocument(wxString::FromUTF8(file.string())));
    EXPECT_EQ(fs::file_size(file), 0u);

    // A document that was saved before is written again without asking.
    std::ofstream(file) << "not a vesk document";
    Command(wxID_SAVE);
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_TRUE(ToolEnabled(wxID_SAVE));
}

TEST(WindowDocumentTest, DroppedFilesOpenLikeTheOpenCommand) {
    const fs::path file = TempDir() / "dropped.vsk";
    std::ofstream(file) << "";
    auto* files = new wxString[1]{wxString::FromUTF8(file.string())};
    wxDropFilesEvent event(wxEVT_DROP_FILES, 1, files);
    event.SetEventObject(Frame());
    Frame()->ProcessWindowEvent(event);
    EXPECT_EQ(Frame()->GetTitle(), W("dropped.vsk - vesk"));
}

// --- The log table on a scripted adapter ---------------------------------------------------------

class WindowLogTest : public testing::Test {
  protected:
    void SetUp() override {
        int error = -1;
        ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1) << error;
        List()->ClearRows();
    }
    void TearDown() override {
        CanClose(View()->m_channel);
        View()->DrainRows();
    }

    // Delivers received frames with ids first, first+1, ... and waits until the receive thread
    // has handed every one of them to the log.
    void Deliver(std::uint32_t first, int count) {
        std::vector<CanMsg> burst;
        for (int i = 0; i < count; ++i) {
            burst.push_back(Frame(CAN_EV_RX, first + static_cast<std::uint32_t>(i),
                                  1250u * (first + static_cast<std::uint32_t>(i)), 2));
        }
        adapter->PushBurst(burst);
        ASSERT_TRUE(adapter->WaitUntil([&] { return adapter->ReadsLeft() == 0; }));
    }

    std::string Id(long row) { return Cell(row, 3); }

    RegisteredDevice adapter;
};

TEST_F(WindowLogTest, RowsAppearNewestOnTop) {
    Deliver(0x101, 3);
    EXPECT_EQ(View()->DrainRows(), 3u);
    ASSERT_EQ(List()->GetItemCount(), 3);
    EXPECT_EQ(Id(0), "0103");
    EXPECT_EQ(Id(1), "0102");
    EXPECT_EQ(Id(2), "0101");
    EXPECT_EQ(Cell(0, 0), "Received");
    EXPECT_EQ(Cell(0, 6), " 00 01");
    EXPECT_EQ(Cell(0, 7), "0");

    Deliver(0x104, 1);
    View()->DrainRows();
    EXPECT_EQ(Id(0), "0104");
    EXPECT_EQ(Id(3), "0101");
}

// The bar's identifier filter hides rows in either view and says how many; a text it cannot read
// marks the field and keeps the rows; the search selects the next row with the text.
TEST_F(WindowLogTest, FindBarFiltersByIdentifierAndFindsText) {
    const wxSize listSize = List()->GetSize();
    wxWindow* focus = wxWindow::FindFocus();
    Command(ID_VIEW_FIND);
    CFindBar* bar = View()->GetFindBar();
    ASSERT_TRUE(bar->IsShown());
    EXPECT_TRUE(MenuItem(ID_VIEW_FIND).checked);
    for (const bool overview : {false, true}) {
        View()->ShowOverview(overview);
        Command(ID_VIEW_CLEAR_SCREEN);
        bar->FilterField()->SetValue("");
        CFastReportList* list = overview ? View()->GetOverview()->List() : List();
        const auto ids = [&] {
            std::string shown;
            for (long row = 0; row < list->GetItemCount(); ++row)
                shown += list->GetItemText(row, 0 + (overview ? 0 : 3)).utf8_string() + " ";
            return shown;
        };
        Deliver(0x101, 5);
        View()->DrainTick();
        bar->FilterField()->SetValue("102-103");
        View()->DrainTick();
        EXPECT_EQ(ids(), overview ? "102 103 " : "0103 0102 ");
        EXPECT_EQ(bar->Note(), W("3 von 5 Zeilen ausgeblendet")) << overview;

        Deliver(0x102, 1);
        Deliver(0x200, 1);
        View()->DrainTick();
        EXPECT_EQ(ids(), overview ? "102 103 " : "0102 0103 0102 ");
        EXPECT_EQ(bar->Note(),
                  overview ? W("4 von 6 Zeilen ausgeblendet") : W("4 von 7 Zeilen ausgeblendet"));

        bar->FilterField()->SetValue("102-zz");
        View()->DrainTick();
        EXPECT_NE(bar->Note().utf8_string().find("„zz“ ist keine Hexadezimalzahl"),
                  std::string::npos);
        EXPECT_EQ(list->GetItemCount(), overview ? 2 : 3) << "the last filter stays";

        bar->FilterField()->SetValue("");
        View()->DrainTick();
        EXPECT_EQ(list->GetItemCount(), overview ? 6 : 7);
        EXPECT_EQ(bar->Note(), "");
        const char* wanted = overview ? "104" : "0104";
        View()->FindNext(wanted);
        const long found = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        ASSERT_GE(found, 0);
        EXPECT_EQ(list->GetItemText(found, overview ? 0 : 3).utf8_string(), wanted);
        EXPECT_EQ(
            PaneText(CMainFrame::kPaneMessage),
            std::string("„") + wanted + "“ gefunden in Zeile " + std::to_string(found + 1) + ".");
        View()->FindNext("nirgends");
        EXPECT_EQ(PaneText(CMainFrame::kPaneMessage), "„nirgends“ nicht gefunden.");
    }

    // A header click sorts the overview by its column, a second one the other way; the selection
    // stays with its row.
    COverviewWindow* overview = View()->GetOverview();
    const auto click = [&](int column) {
        wxListEvent event(wxEVT_LIST_COL_CLICK, overview->List()->GetId());
        event.SetEventObject(overview->List());
        event.m_col = column;
        overview->List()->GetEventHandler()->ProcessEvent(event);
    };
    click(COverviewWindow::kColCount);
    EXPECT_EQ(overview->CellText(0, COverviewWindow::kColId), "101");
    EXPECT_EQ(overview->CellText(5, COverviewWindow::kColId), "102") << "counted twice";
    click(COverviewWindow::kColCount);
    EXPECT_EQ(overview->CellText(0, COverviewWindow::kColId), "102");
    overview->List()->SelectOnly(0);
    click(COverviewWindow::kColId);
    EXPECT_EQ(overview->CellText(1, COverviewWindow::kColId), "102");
    EXPECT_EQ(overview->List()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 1);
    overview->SortBy(COverviewWindow::kColId, true);
    View()->ShowOverview(false);
    Command(ID_VIEW_FIND);
    EXPECT_FALSE(bar->IsShown());
    // The log takes its room back when GTK lays the window out; later tests count its cells.
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         List()->GetSize() != listSize && std::chrono::steady_clock::now() < until;)
        wxYield();
    EXPECT_EQ(List()->GetSize(), listSize);
    if (focus)
        focus->SetFocus();
}

TEST_F(WindowLogTest, HoldKeepsTheScreenWhileReceptionGoesOn) {
    for (const bool overview : {false, true}) {
        View()->ShowOverview(overview);
        Command(ID_VIEW_CLEAR_SCREEN);
        Deliver(0x101, 2);
        View()->DrainTick();
        const auto shownRows = [&] {
            return overview ? View()->GetOverview()->RowCount() : List()->GetItemCount();
        };
        ASSERT_EQ(shownRows(), 2);
        const std::uint64_t received = View()->Session().FramesReceived();

        if (overview) {
            Command(ID_VIEW_HOLD);
        } else {  // the space bar in the list
            wxKeyEvent space(wxEVT_KEY_DOWN);
            space.m_keyCode = WXK_SPACE;
            List()->ProcessWindowEvent(space);
        }
        EXPECT_TRUE(View()->IsHeld());
        EXPECT_TRUE(MenuItem(ID_VIEW_HOLD).checked);
        Deliver(0x103, 3);
        View()->DrainTick();
        Frame()->UpdatePanes();
        EXPECT_EQ(shownRows(), 2) << overview;
        EXPECT_EQ(View()->Session().FramesReceived(), received + 3);
        EXPECT_EQ(PaneText(CMainFrame::kPaneRecording), "Anzeige angehalten");
        EXPECT_EQ(PaneText(CMainFrame::kPaneChannel), "20 kbit/s  Basic CAN 11 Bit  Antworten aus");

        Command(ID_VIEW_HOLD);
        EXPECT_FALSE(View()->IsHeld());
        EXPECT_EQ(shownRows(), 5) << overview;
        if (!overview) {
            EXPECT_EQ(Id(0), "0105");
        }
        Frame()->UpdatePanes();
        EXPECT_EQ(Frame()->GetStatusBar()->GetFieldsCount(), CMainFrame::kPaneRecording);
    }
    View()->ShowOverview(false);
}

TEST_F(WindowLogTest, TableKeepsTheNewest5000Rows) {
    Deliver(1, 4000);
    View()->DrainRows();
    Deliver(4001, 1003);
    View()->DrainRows();
    ASSERT_EQ(List()->GetItemCount(), 5000);
    EXPECT_EQ(Id(0), "138b");     // 5003, the newest
    EXPECT_EQ(Id(4999), "0004");  // the three oldest went off the bottom
}

TEST_F(WindowLogTest, SelectedRowMovesDownWithItsRow) {
    Deliver(0x201, 5);
    View()->DrainRows();
    List()->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    ASSERT_EQ(Id(1), "0204");

    Deliver(0x206, 2);
    View()->DrainRows();
    const long selected = List()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    EXPECT_EQ(selected, 3);
    EXPECT_EQ(Id(selected), "0204");
    EXPECT_EQ(List()->GetSelectedItemCount(), 1);
}

TEST_F(WindowLogTest, SelectionEndsWhenItsRowDropsOffTheBottom) {
    Deliver(1, 5000);
    View()->DrainRows();
    List()->SetItemState(4998, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    Deliver(5001, 2);
    View()->DrainRows();
    EXPECT_EQ(List()->GetSelectedItemCount(), 0);
}

TEST_F(WindowLogTest, ScrolledAwayFromTheTopTheRowsInViewStay) {
    Deliver(1, 400);
    View()->DrainRows();
    Idle();
    List()->EnsureVisible(300);
    Idle();
    const long top = List()->GetTopItem();
    ASSERT_GT(top, 0);
    const std::string topId = Id(top);

    Deliver(401, 7);
    View()->DrainRows();
    Idle();
    EXPECT_EQ(Id(List()->GetTopItem()), topId);
}

TEST_F(WindowLogTest, AtTheTopNewRowsComeIntoView) {
    Deliver(1, 400);
    View()->DrainRows();
    Idle();
    List()->EnsureVisible(0);
    Idle();
    ASSERT_EQ(List()->GetTopItem(), 0);
    Deliver(401, 7);
    View()->DrainRows();
    Idle();
    EXPECT_EQ(List()->GetTopItem(), 0);
    EXPECT_EQ(Id(0), "0197");
}

TEST_F(WindowLogTest, AFullTableRepaintsOnlyTheCellsWhoseTextChanged) {
    Deliver(1, 5000);
    View()->DrainRows();
    Idle();
    List()->EnsureVisible(0);
    Idle();
    const long slots = List()->GetCountPerPage() + 1;
    const auto screen = [&] {
        std::vector<std::string> cells;
        for (long row = 0; row < slots; ++row) {
            for (int column = 0; column < kLogColumnCount; ++column)
                cells.push_back(Cell(row, column));
        }
        return cells;
    };
    // What is on screen is known from here on: the cells that differ are painted first (GTK
    // paints from its main loop).
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         List()->RefreshChangedCells() > 0 && std::chrono::steady_clock::now() < until;)
        wxYield();
    ASSERT_EQ(List()->RefreshChangedCells(), 0u);
    const std::vector<std::string> before = screen();
    Deliver(5001, 3);
    View()->DrainRows();
    const std::vector<std::string> after = screen();
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        changed += before[i] != after[i];
    // "Received", the status, RTR, DLC, data and lost read alike from row to row.
    EXPECT_LT(changed, before.size() / 2);
    EXPECT_EQ(List()->CellsRefreshed(), changed);
    EXPECT_EQ(List()->RefreshChangedCells(), 0u);
}

TEST_F(WindowLogTest, ClearEmptiesTheTableAndNewRowsFollow) {
    Deliver(0x301, 4);
    View()->DrainRows();
    Command(ID_VIEW_CLEAR_SCREEN);
    EXPECT_EQ(List()->GetItemCount(), 0);
    Command(ID_VIEW_CLEAR_SCREEN);  // on an empty table: nothing happens
    EXPECT_EQ(List()->GetItemCount(), 0);
    Deliver(0x305, 1);
    View()->DrainRows();
    ASSERT_EQ(List()->GetItemCount(), 1);
    EXPECT_EQ(Id(0), "0305");
}

TEST_F(WindowLogTest, DrainTimerRunsOnlyWhileRowsCanArrive) {
    Idle();
    EXPECT_TRUE(View()->IsDraining());  // the channel is open

    CanClose(View()->m_channel);
    View()->DrainTick();
    EXPECT_FALSE(View()->IsDraining());
    Idle();
    EXPECT_FALSE(View()->IsDraining());  // closed, nothing waiting: the program rests
}

// --- Commands without a dialog, on the scripted adapter -----------------------------------------

class WindowCommandTest : public WindowLogTest {
  protected:
    std::vector<int> CommandBytes() {
        std::vector<int> bytes;
        for (const auto& r : adapter->Requests()) {
            if (r.code == IOCTL_CAN_COMMAND && !r.in.empty())
                bytes.push_back(r.in[0]);
        }
        return bytes;
    }
};

TEST_F(WindowCommandTest, OpenChannelEnablesTheChannelItems) {
    for (int id : kChannelOpenCommands)
        EXPECT_TRUE(MenuItem(id).enabled) << std::hex << id;
    EXPECT_TRUE(MenuItem(ID_CAN_EXTENDED_DISPLAY).enabled);
    Command(ID_CAN_CLOSE);
    EXPECT_FALSE(CanIsOpen(View()->m_channel));
    for (int id : kChannelOpenCommands)
        EXPECT_FALSE(MenuItem(id).enabled) << std::hex << id;
    EXPECT_FALSE(MenuItem(ID_CAN_EXTENDED_DISPLAY).enabled);
}

TEST_F(WindowCommandTest, ControllerCommandsSendTheirBytes) {
    Command(ID_CAN_STANDBY);
    Command(ID_CAN_CLEAR_OVERRUN);
    Command(ID_CAN_ABORT_TX);
    EXPECT_EQ(CommandBytes(), (std::vector<int>{1, 3, 2}));
}

TEST_F(WindowCommandTest, ExtendedDisplaySendsFiveThenSixAndKeepsItsMarkAcrossClose) {
    ASSERT_EQ(View()->m_bExtendedDisplay, 0);
    Command(ID_CAN_EXTENDED_DISPLAY);
    EXPECT_TRUE(MenuItem(ID_CAN_EXTENDED_DISPLAY).checked);
    CanClose(View()->m_channel);
    EXPECT_TRUE(MenuItem(ID_CAN_EXTENDED_DISPLAY).checked);
    EXPECT_FALSE(MenuItem(ID_CAN_EXTENDED_DISPLAY).enabled);
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    Command(ID_CAN_EXTENDED_DISPLAY);
    EXPECT_FALSE(MenuItem(ID_CAN_EXTENDED_DISPLAY).checked);
    EXPECT_EQ(CommandBytes(), (std::vector<int>{5, 6}));
}

TEST_F(WindowCommandTest, ShowDataTogglesDeliveryWithItsMark) {
    Command(ID_CAN_SHOW_DATA);
    EXPECT_EQ(View()->m_bShowData, 0);
    EXPECT_EQ(View()->m_channel->notify.load(), 0);
    EXPECT_FALSE(MenuItem(ID_CAN_SHOW_DATA).checked);
    Deliver(0x401, 2);  // read and dropped: no rows
    EXPECT_EQ(View()->DrainRows(), 0u);

    CanClose(View()->m_channel);
    Command(ID_CAN_SHOW_DATA);  // works while closed as well
    EXPECT_EQ(View()->m_bShowData, 1);
    EXPECT_TRUE(MenuItem(ID_CAN_SHOW_DATA).checked);
}

TEST_F(WindowCommandTest, ResetTimeStartsTheClockAnew) {
    // The adapter's clock stands at 1 s when the operator resets the time.
    adapter->SetDeviceInfo(CAN_DEVICE_IDENT, 0, 1250u * 1000u);
    Command(ID_CAN_RESET_TIME);
    adapter->PushBurst({Frame(CAN_EV_RX, 0x502, 1250u * 1500u, 0)});
    ASSERT_TRUE(adapter->WaitUntil([&] { return adapter->ReadsLeft() == 0; }));
    View()->DrainRows();
    EXPECT_EQ(Cell(0, 1).substr(0, 7), "0.500 s");
}

// --- Recording from the window -------------------------------------------------------------------

TEST(WindowRecordingTest, ARecordingShowsItsPaneUntilItIsStopped) {
    const fs::path file = TempDir() / "window.log";
    EXPECT_FALSE(MenuItem(ID_RECORD_STOP).enabled);
    EXPECT_TRUE(MenuItem(ID_RECORD_START).enabled);
    ASSERT_TRUE(View()->StartRecording(file.string()));
    Frame()->UpdatePanes();
    wxStatusBar* bar = Frame()->GetStatusBar();
    ASSERT_EQ(bar->GetFieldsCount(), CMainFrame::kPaneRecording + 1);
    EXPECT_EQ(PaneText(CMainFrame::kPaneRecording), "window.log: 0 Ereignisse");
    EXPECT_TRUE(MenuItem(ID_RECORD_STOP).enabled);

    Command(ID_RECORD_STOP);
    Frame()->UpdatePanes();
    EXPECT_EQ(bar->GetFieldsCount(), CMainFrame::kPaneRecording);
    EXPECT_FALSE(MenuItem(ID_RECORD_STOP).enabled);
    EXPECT_TRUE(fs::exists(file));
}

TEST(WindowRecordingTest, AFileThatCannotBeWrittenIsReported) {
    // At the start (the ASC header is the first write) ...
    const fs::path full = TempDir() / "full.asc";
    fs::remove(full);
    fs::create_symlink("/dev/full", full);
    wxString text;
    wxTEST_DIALOG(EXPECT_FALSE(View()->StartRecording(full.string())), ExpectMessage(&text));
    EXPECT_NE(text.find("full.asc"), wxString::npos) << text;

    // ... and while it runs: the recording ends, the operator is told once.
    const fs::path fullLog = TempDir() / "full.log";
    fs::remove(fullLog);
    fs::create_symlink("/dev/full", fullLog);
    ASSERT_TRUE(View()->StartRecording(fullLog.string()));
    RegisteredDevice adapter;
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    adapter->PushRecord(testsupport::Frame(CAN_EV_RX, 0x123, 1250, 2));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!View()->Session().RecordingFailed() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(View()->Session().RecordingFailed());
    text.clear();
    wxTEST_DIALOG(Frame()->UpdatePanes(), ExpectMessage(&text));
    EXPECT_NE(text.find("full.log"), wxString::npos) << text;
    EXPECT_FALSE(View()->Session().IsRecording());
    Frame()->UpdatePanes();  // no second box
    CanClose(View()->m_channel);
    View()->DrainRows();
}

// --- Sending a trace from the window ----------------------------------------------------------

fs::path WriteTrace(const char* name, const char* text) {
    const fs::path file = TempDir() / name;
    std::ofstream(file) << text;
    return file;
}

TEST(WindowPlayTest, APlayEndsWithItsCountsAndSkippedFramesAreReported) {
    const fs::path file = WriteTrace("play.log",
                                     "(1000.000000) can0 100#01\n"
                                     "(1000.001000) can0 1ABCDEF0#02\n"
                                     "(1000.002000) can0 7FF#03\n");
    RegisteredDevice adapter;
    adapter->ConfirmWrites(true);  // a frame counts as sent once the bus confirmed it
    int error = 0;
    EXPECT_FALSE(MenuItem(ID_PLAY_START).enabled);  // nothing to send through
    struct Case {
        int mode;
        const char* box;  // empty: no box, the count goes to the message pane
        const char* pane;
    };
    const Case cases[] = {
        {0, "play.log: 2 Botschaften gesendet, 1 mit 29-Bit-Identifier übersprungen (Basic CAN).",
         ""},
        {1, "", "play.log: 3 Botschaften gesendet."},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), c.mode, 0, &error), 1);
        EXPECT_TRUE(MenuItem(ID_PLAY_START).enabled);
        ASSERT_TRUE(View()->StartPlaying(file.string()));
        ASSERT_TRUE(adapter->WaitUntil([] { return !View()->Session().IsPlaying(); }));
        wxString text;
        if (*c.box) {
            wxTEST_DIALOG(Frame()->UpdatePanes(), ExpectMessage(&text));
            EXPECT_EQ(text, W(c.box));
        } else {
            Frame()->UpdatePanes();
            EXPECT_EQ(PaneText(CMainFrame::kPaneMessage), c.pane);
        }
        Frame()->UpdatePanes();  // reported once
        EXPECT_EQ(Frame()->GetStatusBar()->GetFieldsCount(), CMainFrame::kPaneRecording);
        CanClose(View()->m_channel);
    }
    View()->DrainRows();
}

TEST(WindowPlayTest, APlayShowsHowFarItIsAndClosingTheChannelEndsIt) {
    RegisteredDevice adapter;
    adapter->ConfirmWrites(true);
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    // A file that cannot be read is named, and nothing plays.
    wxString text;
    const fs::path broken = WriteTrace("broken.log", "(1000.000000) can0 100#01\nkein Rahmen\n");
    wxTEST_DIALOG(EXPECT_FALSE(View()->StartPlaying(broken.string())), ExpectMessage(&text));
    EXPECT_NE(text.find("broken.log"), wxString::npos) << text;
    EXPECT_FALSE(View()->Session().HasPlay());

    // The second frame is due a minute later: the play waits in between.
    const fs::path file = WriteTrace("slow.asc",
                                     "date Mon Dec 7 10:00:00.000 am 2026\n"
                                     "base hex  timestamps absolute\n"
                                     "   0.000000 1  123             Rx   d 1 01\n"
                                     "  60.000000 1  124             Rx   d 1 02\n");
    ASSERT_TRUE(View()->StartPlaying(file.string()));
    ASSERT_TRUE(adapter->WaitUntil([&] { return View()->Session().Player().Sent() == 1; }));
    Frame()->UpdatePanes();
    ASSERT_EQ(Frame()->GetStatusBar()->GetFieldsCount(), CMainFrame::kPaneRecording + 1);
    EXPECT_EQ(PaneText(CMainFrame::kPaneRecording), "slow.asc: 1 von 2 gesendet");
    EXPECT_TRUE(MenuItem(ID_PLAY_STOP).enabled);

    Command(ID_CAN_CLOSE);
    EXPECT_FALSE(View()->Session().IsPlaying());
    wxTEST_DIALOG(Frame()->UpdatePanes(), ExpectMessage(&text));
    EXPECT_EQ(text, W("Der Kanal wurde geschlossen; das Senden der Aufzeichnung ist beendet.\n"
                      "slow.asc: 1 Botschaft gesendet."));
    EXPECT_FALSE(MenuItem(ID_PLAY_STOP).enabled);
    EXPECT_EQ(Frame()->GetStatusBar()->GetFieldsCount(), CMainFrame::kPaneRecording);
    View()->DrainRows();
}

// --- The overview by identifier ----------------------------------------------------------------

std::uint64_t OverviewFrames() {
    std::vector<OverviewRow> rows;
    OverviewEvents events;
    View()->Session().Overview().Snapshot(0, rows, events);
    std::uint64_t total = 0;
    for (const OverviewRow& row : rows)
        total += row.count;
    return total;
}

// Frames that reach the log and the overview, read by the receive thread and shown.
void Deliver(RegisteredDevice& adapter, const std::vector<CanMsg>& frames) {
    const std::uint64_t expected = OverviewFrames() + frames.size();
    adapter->PushBurst(frames);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((OverviewFrames() < expected || !View()->m_log.HasPending()) &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(OverviewFrames(), expected);
    View()->DrainTick();
}

CanMsg FrameWithData(std::uint32_t id, std::uint64_t ms, std::vector<std::uint8_t> data) {
    return testsupport::Record(
        {.type = CAN_EV_RX, .id = id, .data = std::move(data), .ticks = 1250u * ms, .valid = 1});
}

TEST(WindowOverviewTest, BothViewsStayFedWhileEitherIsShown) {
    RegisteredDevice adapter;
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    EXPECT_FALSE(MenuItem(ID_VIEW_OVERVIEW).checked);
    View()->ShowOverview(true);  // other tests' identifiers go
    Command(ID_VIEW_CLEAR_SCREEN);
    View()->ShowOverview(false);
    Deliver(adapter, {FrameWithData(0x200, 10, {1, 2}), FrameWithData(0x100, 20, {1})});

    Command(ID_VIEW_OVERVIEW);
    EXPECT_TRUE(MenuItem(ID_VIEW_OVERVIEW).checked);
    Frame()->GetToolBar()->UpdateWindowUI();
    EXPECT_TRUE(Frame()->GetToolBar()->GetToolState(ID_VIEW_OVERVIEW));
    COverviewWindow* overview = View()->GetOverview();
    EXPECT_TRUE(overview->IsShown());
    EXPECT_FALSE(List()->IsShown());
    ASSERT_EQ(overview->RowCount(), 2);  // what arrived while the log was shown
    EXPECT_EQ(overview->CellText(0, COverviewWindow::kColId), "100");

    // Frames while the overview is shown reach the log too; 0x100's byte 0 changes.
    Deliver(adapter, {FrameWithData(0x100, 30, {2}), FrameWithData(0x300, 40, {})});
    ASSERT_EQ(overview->RowCount(), 3);
    EXPECT_EQ(overview->CellText(0, COverviewWindow::kColCount), "2");
    EXPECT_EQ(overview->CellText(0, COverviewWindow::kColCycle), "10.0");
    EXPECT_EQ(overview->CellText(0, COverviewWindow::kColData), "02");
    EXPECT_TRUE(overview->ByteChanged(0, 0));
    EXPECT_FALSE(overview->ByteChanged(1, 0));  // 0x200 came once
    EXPECT_NE(overview->SummaryText().find("Buslast (exakt)"), wxString::npos);

    // A new identifier sorts in above a selected row; the selection stays with its row.
    overview->List()->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);  // 0x200
    Deliver(adapter, {FrameWithData(0x050, 50, {})});
    ASSERT_EQ(overview->RowCount(), 4);
    EXPECT_EQ(overview->SelectedRowsText().BeforeFirst('\t'), "200");
    overview->List()->SetItemState(2, 0, wxLIST_STATE_SELECTED);

    // After "Zeit rücksetzen" no interval spans the reset (the adapter's clock stands at 0 then,
    // so the stamps go on as before).
    Command(ID_CAN_RESET_TIME);
    Deliver(adapter, {FrameWithData(0x100, 60, {2})});
    EXPECT_EQ(overview->CellText(1, COverviewWindow::kColCount), "3");
    EXPECT_EQ(overview->CellText(1, COverviewWindow::kColCycle), "");

    Command(ID_VIEW_OVERVIEW);
    EXPECT_TRUE(List()->IsShown());
    EXPECT_FALSE(overview->IsShown());
    View()->DrainRows();
    ASSERT_EQ(List()->GetItemCount(), 6);
    EXPECT_EQ(Cell(2, 3), "0300");

    // "Bildschirm löschen" empties the overview only while it is shown.
    Command(ID_VIEW_CLEAR_SCREEN);
    EXPECT_EQ(View()->Session().Overview().RowCount(), 4u);
    Command(ID_VIEW_OVERVIEW);
    Command(ID_VIEW_CLEAR_SCREEN);
    EXPECT_EQ(overview->RowCount(), 0);
    EXPECT_EQ(View()->Session().Overview().RowCount(), 0u);
    Command(ID_VIEW_OVERVIEW);
    CanClose(View()->m_channel);
    View()->DrainRows();
}

TEST(WindowOverviewTest, CopyPutsTheSelectedRowsOnTheClipboardInEitherView) {
    RegisteredDevice adapter;
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    Command(ID_VIEW_CLEAR_SCREEN);
    Command(ID_VIEW_OVERVIEW);
    Command(ID_VIEW_CLEAR_SCREEN);
    Deliver(adapter, {FrameWithData(0x123, 10, {0xab}), FrameWithData(0x456, 20, {})});
    const auto clipboard = [] {
        wxTextDataObject data;
        wxClipboardLocker locker;
        return !!locker && wxTheClipboard->GetData(data) ? data.GetText() : wxString("-");
    };
    // The tool follows the selection at once, without waiting for an idle pass.
    const auto copyEnabled = [] { return Frame()->GetToolBar()->GetToolEnabled(wxID_COPY); };
    struct Case {
        bool overview;
        wxString expected;
    };
    const Case cases[] = {
        {true,
         // The last column, the message's name, is empty: no database is loaded.
         "123\t11 Bit\tEmpfangen\t1\t\t\t1\tab\t0.010 s\t\n"
         "456\t11 Bit\tEmpfangen\t1\t\t\t0\t\t0.020 s\t\n"},
        {false, List()->GetItemText(0, 0) + "\t" + List()->GetItemText(0, 1) + "\t" +
                    List()->GetItemText(0, 2) + "\t0456\t0\t0\t\t0\n"},
    };
    for (const Case& c : cases) {
        if (View()->IsOverviewShown() != c.overview)
            Command(ID_VIEW_OVERVIEW);
        wxListCtrl* list = c.overview ? View()->GetOverview()->List() : List();
        Frame()->GetToolBar()->UpdateWindowUI();
        EXPECT_FALSE(copyEnabled());  // nothing selected
        for (long i = 0; i < (c.overview ? 2 : 1); ++i)
            list->SetItemState(i, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        EXPECT_TRUE(copyEnabled());
        Command(wxID_COPY);
        EXPECT_EQ(clipboard(), c.expected) << c.overview;
        for (long i = 0; i < list->GetItemCount(); ++i)
            list->SetItemState(i, 0, wxLIST_STATE_SELECTED);
        EXPECT_FALSE(copyEnabled());
    }
    CanClose(View()->m_channel);
    View()->DrainRows();
}

// --- Message boxes from the layers below ------------------------------------------------------

TEST(WindowMessageBoxTest, BoxFromAnotherThreadReachesTheOperator) {
    std::thread receive([] {
        platform::MessageBox("Can't initialize CALLBACK function", "Error",
                             platform::MessageIcon::kError);
    });
    receive.join();  // the thread did not wait for the window
    wxString text;
    wxTEST_DIALOG(Idle(), ExpectMessage(&text));
    EXPECT_EQ(text, W("Can't initialize CALLBACK function"));
}

// --- CAN databases -------------------------------------------------------------------------

// A loaded database names each frame's message in the overview and shows the selected frame's
// signals under the log and the overview, values as --decode writes them; a database that cannot
// be read is named with its line and leaves the loaded ones loaded; the list is kept for the next
// start; "Datenbanken entfernen" hides it all.
TEST(WindowDatabaseTest, SignalsOfTheSelectedFrameInTheLogAndTheOverview) {
    const fs::path dir = fs::path(testing::TempDir()) / "vesk-window-dbc";
    fs::create_directories(dir);
    const fs::path motor = dir / "motor.dbc", broken = dir / "broken.dbc";
    std::ofstream(motor) << "BO_ 291 Motor: 2 X\n SG_ Gang : 0|8@1+ (1,0) [0|0] \"\" X\n"
                            " SG_ Drehzahl : 8|8@1+ (0.5,10) [0|0] \"1/min\" X\n"
                            "VAL_ 291 Gang 2 \"Fahrt\" ;\n";
    std::ofstream(broken) << "BO_ 292 M: 1 X\n SG_ S : 4|8@1+ (1,0) [0|0] \"\" X\n";
    EXPECT_FALSE(MenuItem(ID_DB_CLEAR).enabled);
    wxString text;
    wxTEST_DIALOG(View()->LoadDatabases({motor.string(), broken.string()}), ExpectMessage(&text));
    EXPECT_NE(text.find("broken.dbc, Zeile 2"), wxString::npos) << text;
    CSignalDetail* detail = View()->GetSignalDetail();
    EXPECT_TRUE(detail->IsShown());
    EXPECT_EQ(settings::LoadDatabaseFiles(), std::vector<std::string>{motor.string()});
    EXPECT_TRUE(MenuItem(ID_DB_CLEAR).enabled);

    RegisteredDevice adapter;
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    View()->ShowOverview(true);
    Command(ID_VIEW_CLEAR_SCREEN);
    View()->ShowOverview(false);
    Deliver(adapter, {FrameWithData(0x123, 10, {1, 7}), FrameWithData(0x123, 20, {2, 7})});
    struct Case {
        bool overview;
        std::vector<std::string> cells;  // name, value, unit, label of each signal
        std::vector<bool> marked;
    };
    const Case cases[] = {
        {false, {"Gang", "2", "", "Fahrt", "Drehzahl", "13.5", "1/min", ""}, {false, false}},
        // Byte 0 changed within the last second: Gang is marked, Drehzahl is not.
        {true, {"Gang", "2", "", "Fahrt", "Drehzahl", "13.5", "1/min", ""}, {true, false}},
    };
    for (const Case& c : cases) {
        View()->ShowOverview(c.overview);
        wxListCtrl* list = c.overview ? View()->GetOverview()->List() : List();
        list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        View()->UpdateSignalDetail();
        EXPECT_EQ(detail->HeadingText(), "Motor") << c.overview;
        std::vector<std::string> cells;
        std::vector<bool> marked;
        for (int row = 0; row < detail->RowCount(); ++row) {
            for (int column = 0; column < 4; ++column)
                cells.push_back(detail->CellText(row, column).utf8_string());
            marked.push_back(detail->RowMarked(row));
        }
        EXPECT_EQ(cells, c.cells) << c.overview;
        EXPECT_EQ(marked, c.marked) << c.overview;
        list->SetItemState(0, 0, wxLIST_STATE_SELECTED);
    }
    EXPECT_EQ(View()->GetOverview()->CellText(0, COverviewWindow::kColMessage), "Motor");
    View()->ShowOverview(false);

    Command(ID_DB_CLEAR);
    EXPECT_FALSE(detail->IsShown());
    EXPECT_TRUE(settings::LoadDatabaseFiles().empty());
    CanClose(View()->m_channel);
    View()->DrainRows();
    fs::remove_all(dir);
}

// "Datenbank-Botschaft senden...": the bytes follow every field as typed, a value out of range
// is refused with its limits, several messages run cyclically, each stopped on its own or all by
// closing the channel, and the values sent come back in a dialog of the next start.
TEST(WindowSignalSendTest, BytesFollowTheFieldsAndCyclicMessagesStopSinglyOrWithTheChannel) {
    const fs::path dir = fs::path(testing::TempDir()) / "vesk-window-send";
    fs::create_directories(dir);
    const fs::path dbc = dir / "send.dbc";
    std::ofstream(dbc) << "BO_ 291 Motor: 3 X\n"
                          " SG_ Drehzahl : 0|16@1+ (0.5,0) [0|8000] \"1/min\" X\n"
                          " SG_ Gang : 16|4@1+ (1,0) [0|0] \"\" X\n"
                          "BO_ 512 Diagnose: 2 X\n"
                          " SG_ Seite M : 0|8@1+ (1,0) [0|0] \"\" X\n"
                          " SG_ Spannung m1 : 8|8@1+ (0.1,0) [0|0] \"V\" X\n"
                          " SG_ Strom m2 : 8|8@1- (1,0) [0|0] \"A\" X\n"
                          "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
                          "BA_ \"GenMsgCycleTime\" BO_ 291 50;\n"
                          "VAL_ 291 Gang 0 \"Leer\" 2 \"Fahrt\" ;\n";
    RegisteredDevice adapter;
    int error = 0;
    ASSERT_EQ(CanOpen(View()->m_channel, adapter.path(), 0, 0, &error), 1);
    EXPECT_FALSE(MenuItem(ID_CAN_SEND_DB).enabled) << "no database yet";
    View()->LoadDatabases({dbc.string()});
    EXPECT_TRUE(MenuItem(ID_CAN_SEND_DB).enabled);
    Command(ID_CAN_SEND_DB);
    CSignalSendDlg* dlg = View()->GetSignalSendDlg();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->IsShown());

    dlg->SetSearch("200");
    EXPECT_EQ(dlg->MessageTexts(), std::vector<wxString>{"Diagnose (0x200)"});
    dlg->SetSearch("MOT");
    EXPECT_EQ(dlg->MessageTexts(), std::vector<wxString>{"Motor (0x123)"});
    dlg->SetSearch("");
    ASSERT_TRUE(dlg->SelectMessage("Motor"));
    EXPECT_EQ(dlg->CycleText(), "50");  // the database's cycle time
    struct Step {
        const char* message;
        const char* signal;
        const char* value;
        const char* bytes;    // empty: refused
        const char* problem;  // part of the refusal
        std::vector<const char*> shown, hidden;
    };
    const Step steps[] = {
        {"Motor", "Drehzahl", "1234,5", "A5 09 00", "", {}, {}},
        {"Motor", "Gang", "Fahrt", "A5 09 02", "", {}, {}},
        {"Motor",
         "Drehzahl",
         "8000.5",
         "",
         "Wert 8000.5 für Signal \"Drehzahl\" außerhalb des Bereichs 0 … 8000.",
         {},
         {}},
        {"Motor", "Drehzahl", "1234.5", "A5 09 02", "", {}, {}},
        {"Diagnose", "Seite", "1", "01 00", "", {"Spannung"}, {"Strom"}},
        {"Diagnose", "Seite", "2", "02 00", "", {"Strom"}, {"Spannung"}},
        {"Diagnose", "Strom", "-3", "02 FD", "", {"Strom"}, {"Spannung"}},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(dlg->SelectMessage(s.message));
        ASSERT_TRUE(dlg->SetSignalValue(s.signal, W(s.value))) << s.signal;
        EXPECT_EQ(dlg->BytesText().utf8_string(), s.bytes) << s.signal << "=" << s.value;
        EXPECT_NE(dlg->ProblemText().utf8_string().find(s.problem), std::string::npos)
            << dlg->ProblemText();
        EXPECT_EQ(dlg->ProblemText().empty(), *s.problem == '\0') << dlg->ProblemText();
        EXPECT_EQ(dlg->IsSignalRefused(s.signal), *s.problem != '\0') << s.signal;
        for (const char* name : s.shown)
            EXPECT_TRUE(dlg->IsSignalShown(name)) << name;
        for (const char* name : s.hidden)
            EXPECT_FALSE(dlg->IsSignalShown(name)) << name;
        if (!*s.bytes) {
            dlg->SendOnce();
            EXPECT_EQ(adapter->Count(IOCTL_CAN_WRITE), 0u) << "a refused value was sent";
        }
    }

    // Two messages cyclically, then one stopped, then both by closing the channel.
    const auto sendsOf = [&](std::uint32_t id, std::size_t count) {
        return adapter->WaitUntil([&] {
            const auto writes = adapter->Writes();
            return std::count_if(writes.begin(), writes.end(),
                                 [&](const CanMsg& m) { return m.id == id; }) >= long(count);
        });
    };
    ASSERT_TRUE(dlg->SelectMessage("Motor"));
    dlg->SendCyclic();
    ASSERT_TRUE(dlg->SelectMessage("Diagnose"));
    dlg->SetCycleText("20");
    dlg->SendCyclic();
    EXPECT_EQ(dlg->JobTexts(),
              (std::vector<wxString>{"Motor (0x123) alle 50 ms", "Diagnose (0x200) alle 20 ms"}));
    ASSERT_TRUE(sendsOf(0x123, 2) && sendsOf(0x200, 2));
    for (const CanMsg& m : adapter->Writes()) {
        const std::vector<int> bytes(m.data, m.data + m.dlc);
        const std::vector<int> want =
            m.id == 0x123 ? std::vector<int>{0xA5, 0x09, 0x02} : std::vector<int>{0x02, 0xFD};
        EXPECT_EQ(bytes, want);
    }
    dlg->StopJob(0);
    EXPECT_EQ(dlg->JobTexts(), std::vector<wxString>{"Diagnose (0x200) alle 20 ms"});
    EXPECT_EQ(CanFindCyclic(View()->m_channel, kSignalJobFirstKey), nullptr);
    ASSERT_NE(CanFindCyclic(View()->m_channel, kSignalJobFirstKey + 1), nullptr);
    ASSERT_TRUE(dlg->SelectMessage("Motor"));
    dlg->SendCyclic();
    EXPECT_EQ(dlg->JobTexts().size(), 2u);
    Command(ID_CAN_CLOSE);
    Idle();
    EXPECT_TRUE(dlg->JobTexts().empty());
    EXPECT_EQ(View()->m_channel->jobs, nullptr);
    EXPECT_FALSE(MenuItem(ID_CAN_SEND_DB).enabled);

    // What was sent of each message is what a dialog of the next start begins with.
    auto* next = new CSignalSendDlg(Frame(), View()->Session());
    next->FillMessages();
    ASSERT_TRUE(next->SelectMessage("Motor"));
    EXPECT_EQ(next->SignalValue("Drehzahl"), "1234.5");
    EXPECT_EQ(next->SignalValue("Gang"), "Fahrt");
    EXPECT_EQ(next->BytesText(), "A5 09 02");
    ASSERT_TRUE(next->SelectMessage("Diagnose"));
    EXPECT_EQ(next->SignalValue("Strom"), "-3");
    next->Destroy();

    dlg->Hide();
    View()->ClearDatabases();
    View()->DrainRows();
    fs::remove_all(dir);
}

}  // namespace
