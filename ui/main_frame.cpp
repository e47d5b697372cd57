#include "ui/main_frame.h"

#include <chrono>
#include <span>
#include <vector>

#include <algorithm>
#include <string>

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "channel/can_channel.h"
#include "platform/message_box.h"
#include "ui/app_icon.h"
#include "ui/command_ids.h"
#include "ui/doc_manager.h"
#include "ui/status_texts.h"
#include "ui/utf8_text.h"
#include "ui/vesk_view.h"

// clang-format off
wxBEGIN_EVENT_TABLE(CMainFrame, wxDocParentFrame)
    EVT_IDLE(CMainFrame::OnIdle)
    EVT_MENU(ID_VIEW_TOOLBAR, CMainFrame::OnViewToolBar)
    EVT_MENU(ID_VIEW_STATUS_BAR, CMainFrame::OnViewStatusBar)
    EVT_UPDATE_UI(ID_VIEW_TOOLBAR, CMainFrame::OnUpdateViewToolBar)
    EVT_UPDATE_UI(ID_VIEW_STATUS_BAR, CMainFrame::OnUpdateViewStatusBar)
    EVT_UPDATE_UI(wxID_CUT, CMainFrame::OnUpdateNoHandler)
    EVT_UPDATE_UI(wxID_COPY, CMainFrame::OnUpdateNoHandler)
    EVT_UPDATE_UI(wxID_PASTE, CMainFrame::OnUpdateNoHandler)
    EVT_MENU(wxID_HELP, CMainFrame::OnHelp)
    EVT_MENU(wxID_CONTEXT_HELP, CMainFrame::OnHelp)
    EVT_DROP_FILES(CMainFrame::OnDropFiles)
wxEND_EVENT_TABLE()
    // clang-format on

    namespace {
    struct MenuEntry {
        int id;  // wxID_SEPARATOR for a separator
        const char* caption;
        const char* prompt;  // status-line prompt; empty for none
        wxItemKind kind = wxITEM_NORMAL;
    };

    const MenuEntry kFileMenu[] = {
        {wxID_EXIT, "&Beenden",
         "Verläßt die Anwendung; fragt, ob Dokumente gespeichert werden sollen."},
    };

    const MenuEntry kCanMenu[] = {
        {ID_CAN_OPEN, "CAN Kanal öffnen", "CAN Treiber öffnen"},
        {ID_CAN_CLOSE, "CAN Kanal schließen", "CAN Treiber schliessen"},
        {wxID_SEPARATOR, "", ""},
        {ID_CAN_BAUDRATE, "Baudrate", "Baudrate einstellen"},
        {ID_CAN_HW_FILTER, "Akzeptanzfilter (SJA1000 Register)",
         "Akzeptanzfilter (SJA1000 Handbuch beachten)"},
        {ID_CAN_SOFT_FILTER, "Akzeptanzfilter",
         "Akzeptanzfilter für alle CAN Botschaften (Softwarefilter)"},
        {ID_CAN_AUTO_REPLIES, "Auf Botschaften antworten",
         "Botschaften für automatische Antworten eintragen"},
        {ID_CAN_SEND, "Botschaften senden", "Botschaften über CAN Bus senden"},
        {ID_CAN_SEND_DB, "Datenbank-Botschaft senden...",
         "Sendet eine Botschaft der Datenbank mit physikalischen Signalwerten, einmal oder "
         "zyklisch"},
        {wxID_SEPARATOR, "", ""},
        {ID_CAN_RESET_TIME, "Zeit rücksetzen", "Zeit rücksetzen"},
        {ID_CAN_SHOW_DATA, "Daten anzeigen", "Daten vom Treiber anzeigen ein-/ausschalten",
         wxITEM_CHECK},
        {wxID_SEPARATOR, "", ""},
        {ID_CAN_STANDBY, "Standby", "SJA 1000 in Ruhezustand versetzen"},
        {ID_CAN_CLEAR_OVERRUN, "DataOverrun Bit löschen", "DataOverrun Bit löschen"},
        {ID_CAN_ABORT_TX, "Sendevorgang abbrechen", "Sendevorgang abbrechen"},
        {ID_CAN_EXTENDED_DISPLAY, "Erweiterte Anzeige",
         "Frame Format wird beim Empfang und beim Senden unterschieden", wxITEM_CHECK},
    };

    constexpr const char* kOverviewPrompt =
        "Zeigt je Identifier eine Zeile mit Anzahl, Zykluszeit und geänderten Bytes statt des "
        "Protokolls an.";

    constexpr const char* kHoldPrompt =
        "Hält Protokoll und Übersicht an, während Empfang und Aufzeichnung weiterlaufen "
        "(Pause oder Leertaste).";

    const MenuEntry kViewMenu[] = {
        {ID_VIEW_CLEAR_SCREEN, "Bildschirm löschen", ""},
        {wxID_SEPARATOR, "", ""},
        {ID_VIEW_TOOLBAR, "&Symbolleiste", "Blendet die Symbolleiste ein oder aus.", wxITEM_CHECK},
        {ID_VIEW_STATUS_BAR, "S&tatusleiste", "Blendet die Statusleiste ein oder aus.",
         wxITEM_CHECK},
        {wxID_SEPARATOR, "", ""},
        {ID_VIEW_OVERVIEW, "Übersicht nach ID", kOverviewPrompt, wxITEM_CHECK},
        {ID_VIEW_HOLD, "Anzeige anhalten\tPause", kHoldPrompt, wxITEM_CHECK},
        {wxID_SEPARATOR, "", ""},
        {ID_VIEW_FIND, "Suchen und filtern\tCtrl+F",
         "Blendet die Leiste ein, die nach Identifiern filtert und Text sucht.", wxITEM_CHECK},
        {ID_VIEW_FIND_NEXT, "Weitersuchen\tF3",
         "Sucht den Text der Leiste ab der markierten Zeile."},
        {ID_VIEW_PLOT, "Signalverlauf",
         "Zeigt Signale der geladenen Datenbanken im zeitlichen Verlauf an"},
    };

    // The string table has no prompt for the about box; this is the wording German desktop
    // programs use for it. Without one wx would show its own English text.
    constexpr const char* kAboutPrompt =
        "Zeigt Programminformationen, Versionsnummer und Copyright an.";

    const MenuEntry kRecordMenu[] = {
        {ID_RECORD_START, "Aufzeichnung starten...",
         "Zeichnet alle Ereignisse des Protokolls in einer Datei auf"},
        {ID_RECORD_STOP, "Aufzeichnung beenden", "Beendet die Aufzeichnung"},
        {wxID_SEPARATOR, "", ""},
        {ID_PLAY_START, "Aufzeichnung senden...",
         "Sendet die Botschaften einer Aufzeichnung im aufgezeichneten Zeitabstand"},
        {ID_PLAY_STOP, "Senden beenden", "Beendet das Senden der Aufzeichnung"},
        {wxID_SEPARATOR, "", ""},
        {ID_PLOT_TRACE, "Aufzeichnung auswerten...",
         "Zeigt die Signale einer Aufzeichnung im zeitlichen Verlauf an"},
    };

    const MenuEntry kDatabaseMenu[] = {
        {ID_DB_LOAD, "Datenbank laden...",
         "Lädt CAN-Datenbanken (DBC), mit denen Botschaften in Signale zerlegt werden"},
        {ID_DB_CLEAR, "Datenbanken entfernen", "Entfernt alle geladenen CAN-Datenbanken"},
    };

    const MenuEntry kHelpMenu[] = {
        {wxID_HELP, "&Hilfethemen\tF1", "Zeigt die Hilfe zu vesk an."},
        {wxID_SEPARATOR, "", ""},
        {wxID_ABOUT, "Inf&o über vesk...", kAboutPrompt},
    };

    struct MenuDef {
        const char* title;
        std::span<const MenuEntry> entries;
    };

    const MenuDef kMenus[] = {
        {"&Datei", kFileMenu},        {"CAN", kCanMenu},
        {"&Ansicht", kViewMenu},      {"Aufzeichnung", kRecordMenu},
        {"Datenbank", kDatabaseMenu}, {"&?", kHelpMenu},
    };

    // The art provider has no pause symbol; it is drawn here, two bars in the theme's text colour.
    const wxArtID kPauseArt = "vesk-pause";

    wxBitmapBundle PauseBitmap(wxSize size) {
        wxImage image(size);
        image.InitAlpha();
        const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
        for (int y = 0; y < size.y; ++y) {
            for (int x = 0; x < size.x; ++x) {
                const bool bar = y >= size.y * 3 / 16 && y < size.y * 13 / 16 &&
                                 ((x >= size.x / 4 && x < size.x * 7 / 16) ||
                                  (x >= size.x * 9 / 16 && x < size.x * 3 / 4));
                image.SetRGB(x, y, ink.Red(), ink.Green(), ink.Blue());
                image.SetAlpha(x, y, bar ? 255 : 0);
            }
        }
        return wxBitmapBundle::FromBitmap(wxBitmap(image));
    }

    struct ToolDef {
        int id;  // wxID_SEPARATOR for a separator
        wxArtID art;
        const char* tip;     // tool tip
        const char* prompt;  // status-line prompt
        wxItemKind kind = wxITEM_NORMAL;
    };

    const ToolDef kTools[] = {
        {wxID_NEW, wxART_NEW, "Neu", "Erstellt ein neues Dokument."},
        {wxID_OPEN, wxART_FILE_OPEN, "Öffnen", "Öffnet ein bestehendes Dokument."},
        {wxID_SAVE, wxART_FILE_SAVE, "Speichern", "Speichert das aktive Dokument."},
        {wxID_SEPARATOR, {}, "", ""},
        {wxID_CUT, wxART_CUT, "Ausschneiden",
         "Entfernt die Markierung und überträgt sie in die Zwischenablage."},
        {wxID_COPY, wxART_COPY, "Kopieren",
         "Kopiert die Markierung und überträgt sie in die Zwischenablage."},
        {wxID_PASTE, wxART_PASTE, "Einfügen", "Fügt den Inhalt der Zwischenablage ein."},
        {wxID_SEPARATOR, {}, "", ""},
        {wxID_PRINT, wxART_PRINT, "Drucken", "Druckt das aktive Dokument."},
        {wxID_SEPARATOR, {}, "", ""},
        {ID_VIEW_OVERVIEW, wxART_REPORT_VIEW, "Übersicht nach ID", kOverviewPrompt, wxITEM_CHECK},
        {ID_VIEW_HOLD, kPauseArt, "Anzeige anhalten", kHoldPrompt, wxITEM_CHECK},
        {wxID_SEPARATOR, {}, "", ""},
        {wxID_ABOUT, wxART_INFORMATION, "Info", kAboutPrompt},
        {wxID_CONTEXT_HELP, wxART_HELP, "Hilfe",
         "Zeigt Hilfe zu angeklickten Schaltflächen, Menüs und Fenstern an."},
    };

    struct KeyDef {
        int flags;
        int key;
        int id;
    };

    const KeyDef kKeys[] = {
        {wxACCEL_CTRL, 'N', wxID_NEW},          {wxACCEL_CTRL, 'O', wxID_OPEN},
        {wxACCEL_CTRL, 'S', wxID_SAVE},         {wxACCEL_CTRL, 'P', wxID_PRINT},
        {wxACCEL_CTRL, 'Z', wxID_UNDO},         {wxACCEL_ALT, WXK_BACK, wxID_UNDO},
        {wxACCEL_CTRL, 'X', wxID_CUT},          {wxACCEL_SHIFT, WXK_DELETE, wxID_CUT},
        {wxACCEL_CTRL, 'C', wxID_COPY},         {wxACCEL_CTRL, WXK_INSERT, wxID_COPY},
        {wxACCEL_CTRL, 'V', wxID_PASTE},        {wxACCEL_SHIFT, WXK_INSERT, wxID_PASTE},
        {wxACCEL_NORMAL, WXK_F6, ID_NEXT_PANE}, {wxACCEL_SHIFT, WXK_F6, ID_PREV_PANE},
        {wxACCEL_NORMAL, WXK_F1, wxID_HELP},    {wxACCEL_SHIFT, WXK_F1, wxID_CONTEXT_HELP},
    };

}  // namespace

CMainFrame::CMainFrame(wxDocManager* manager, const wxString& title)
    : wxDocParentFrame(manager, nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(800, 560)) {
    SetIcons(AppIconBundle());
    // The frame is drawn behind its children at every repaint of the log; without a font and a
    // text colour of its own it would ask the toolkit's style for the defaults each time.
    SetFont(GetFont());
    SetOwnForegroundColour(GetForegroundColour());
    CreateMenuBar();
    CreateAccelerators();
    CreateToolBarButtons();
    CreateStatusPanes();
    DragAcceptFiles(true);
}

void CMainFrame::CreateMenuBar() {
    auto* bar = new wxMenuBar;
    for (const MenuDef& def : kMenus) {
        auto* menu = new wxMenu;
        for (const MenuEntry& e : def.entries) {
            if (e.id == wxID_SEPARATOR) {
                menu->AppendSeparator();
            } else {
                menu->Append(e.id, U8(e.caption), U8(e.prompt), e.kind);
            }
        }
        bar->Append(menu, U8(def.title));
    }
    SetMenuBar(bar);
}

void CMainFrame::CreateAccelerators() {
    std::vector<wxAcceleratorEntry> entries;
    for (const KeyDef& k : kKeys)
        entries.emplace_back(k.flags, k.key, k.id);
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(entries.size()), entries.data()));
}

void CMainFrame::CreateToolBarButtons() {
    wxToolBar* bar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    const wxSize size(16, 16);
    for (const ToolDef& t : kTools) {
        if (t.id == wxID_SEPARATOR) {
            bar->AddSeparator();
            continue;
        }
        const wxBitmapBundle bitmap =
            t.art == kPauseArt ? PauseBitmap(size)
                               : wxArtProvider::GetBitmapBundle(t.art, wxART_TOOLBAR, size);
        bar->AddTool(t.id, wxString(), bitmap, U8(t.tip), t.kind);
        bar->SetToolLongHelp(t.id, U8(t.prompt));
    }
    bar->Realize();
}

void CMainFrame::CreateStatusPanes() {
    wxStatusBar* bar = CreateStatusBar(kPanes);
    // A pane is as wide as its template text, plus the room the pane's frame takes; the last
    // pane also makes room for the size grip drawn over its right end.
    const int margin = bar->GetCharWidth() * 2;
    const int grip = bar->HasFlag(wxSTB_SIZEGRIP) ? bar->GetSize().y : 0;
    m_gripWidth = grip;
    m_paneWidths = {
        -1,
        bar->GetTextExtent(U8(kFilterPaneTemplate)).x + margin,
        bar->GetTextExtent(U8(kFilterPaneTemplate)).x + margin,
        bar->GetTextExtent(U8(kBusLoadPaneTemplate)).x + margin,
        bar->GetTextExtent(U8(kNumLockPaneText)).x + margin + grip,
    };
    bar->SetStatusWidths(kPanes, m_paneWidths.data());
    const int styles[kPanes] = {wxSB_NORMAL, wxSB_SUNKEN, wxSB_SUNKEN, wxSB_SUNKEN, wxSB_SUNKEN};
    bar->SetStatusStyles(kPanes, styles);
    m_paneMargin = margin;
    m_promptWidth = bar->GetTextExtent(U8(kIdlePrompt)).x + 2 * margin;
    m_channelText = U8(ChannelStateText({}));
    m_channelPaneWidth = bar->GetTextExtent(m_channelText).x + margin;
    LayOutStatePanes(m_channelPaneWidth, 0);
    // Room for the prompt and for an open channel's state beside the fixed panes.
    m_statusBarWidth = m_promptWidth +
                       bar->GetTextExtent(U8(ChannelStateText({true, 500000, true, true, 0}))).x +
                       margin;
    for (int pane = kPaneHwFilter; pane < kPanes; ++pane)
        m_statusBarWidth += m_paneWidths[static_cast<std::size_t>(pane)];
    bar->Bind(wxEVT_MOTION, &CMainFrame::OnStatusBarMotion, this);
    bar->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        e.Skip();
        if (wxStatusBar* b = GetStatusBar(); b && !m_appliedWidths.empty())
            LayOutStatePanes(m_appliedWidths[kPaneChannel],
                             b->GetFieldsCount() > kPaneRecording ? m_recordingPaneWidth : 0);
    });
    SetStatusBarPane(kPaneMessage);
    SetPaneText(kPaneMessage, U8(kIdlePrompt));
}

CVeskView* CMainFrame::GetView() const {
    wxDocManager* manager = GetDocumentManager();
    if (!manager)
        return nullptr;
    return wxDynamicCast(manager->GetAnyUsableView(), CVeskView);
}

void CMainFrame::SetPaneText(Pane pane, const wxString& text) {
    if (m_paneTexts[pane] == text)
        return;
    m_paneTexts[pane] = text;
    if (wxStatusBar* bar = GetStatusBar())
        bar->SetStatusText(text, pane);
}

void CMainFrame::OnUpdateHwFilter() {
    const CVeskView* view = GetView();
    if (!view)
        return;
    SetPaneText(kPaneHwFilter,
                U8(FilterPaneText(view->m_filters.acceptanceMask, view->m_filters.acceptanceCode)));
}

void CMainFrame::OnUpdateSoftFilter() {
    const CVeskView* view = GetView();
    if (!view)
        return;
    SetPaneText(kPaneSoftFilter, U8(FilterPaneText(view->m_filters.softAcceptanceMask,
                                                   view->m_filters.softAcceptanceCode)));
}

void CMainFrame::OnUpdateBusLoad() {
    const CVeskView* view = GetView();
    SetPaneText(kPaneBusLoad, U8(BusLoadPaneText(view ? view->Session().EstimatedLoad() : 0.0)));
}

void CMainFrame::OnUpdateNumLock() {
    // Asking for the lock state costs a round trip to the display server; idle passes come at
    // up to the drain timer's rate, the eye needs far fewer.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_numLockCheckedAt < std::chrono::milliseconds(kNumLockPollMs))
        return;
    m_numLockCheckedAt = now;
    SetPaneText(kPaneNumLock, wxGetKeyState(WXK_NUMLOCK) ? U8(kNumLockPaneText) : wxString());
}

void CMainFrame::OnUpdateRecording() {
    CVeskView* view = GetView();
    wxStatusBar* bar = GetStatusBar();
    if (!view || !bar)
        return;
    MonitorSession& session = view->Session();
    if (const std::string failure = session.TakeRecordingFailure(); !failure.empty()) {
        // The recording has ended; what was written stays readable.
        platform::MessageBox(failure, "vesk", platform::MessageIcon::kError);
    }
    ReportPlayEnd(session);
    ChannelState state;
    CanChannel* channel = session.Channel();
    state.open = CanIsOpen(channel);
    if (state.open) {
        state.baudrate = channel->baudrate.load();
        state.pelican = channel->mode == CAN_MODE_PELICAN;
        state.extended = channel->frameFormat.load() == CAN_FORMAT_EXTENDED;
        state.delivering = channel->notify.load() != 0;
        for (int i = 0; i < AutoReplies::kEntryCount; ++i)
            state.replies += session.Replies().Entry(i).replyId != 0 ? 1 : 0;
    }
    if (const wxString channelText = U8(ChannelStateText(state)); channelText != m_channelText) {
        // The pane is as wide as its text: the text changes only with the channel's settings.
        m_channelText = channelText;
        m_channelPaneWidth = bar->GetTextExtent(channelText).x + m_paneMargin;
        LayOutStatePanes(m_channelPaneWidth,
                         bar->GetFieldsCount() > kPaneRecording ? m_recordingPaneWidth : 0);
        bar->SetStatusText(channelText, kPaneChannel);
    }

    wxString text;
    if (view->IsHeld())
        text = U8("Anzeige angehalten");
    if (session.IsRecording()) {
        if (!text.empty())
            text += "   ";
        text += wxFileName(wxString::FromUTF8(session.RecordingPath())).GetFullName() +
                wxString::Format(U8(": %llu Ereignisse"),
                                 static_cast<unsigned long long>(session.RecordedEvents()));
        if (const std::uint64_t lost = session.RecordingLost(); lost > 0)
            text += wxString::Format(U8(" (%llu verloren)"), static_cast<unsigned long long>(lost));
    }
    if (session.IsPlaying()) {
        const TracePlayer& player = session.Player();
        if (!text.empty())
            text += "   ";
        text += wxString::FromUTF8(session.PlayName()) +
                wxString::Format(U8(": %llu von %llu gesendet"),
                                 static_cast<unsigned long long>(player.Sent()),
                                 static_cast<unsigned long long>(player.FramesPerPass()));
    }
    if (text.empty()) {
        if (bar->GetFieldsCount() > kPaneRecording) {
            LayOutStatePanes(m_channelPaneWidth, 0);
            m_recordingText.clear();
        }
        return;
    }
    if (bar->GetFieldsCount() <= kPaneRecording || text.length() > m_recordingPaneChars) {
        // Room for the names and counts in the millions.
        m_recordingPaneWidth = bar->GetTextExtent(text + "00000000").x + bar->GetCharWidth() * 2;
        LayOutStatePanes(m_channelPaneWidth, m_recordingPaneWidth);
        m_recordingPaneChars = text.length() + 8;
        m_recordingText.clear();
    }
    // The counts change with every frame; a pane that is set redraws the bar, which on a busy
    // bus would cost more than the recording itself. Twice a second is enough for the eye.
    const auto now = std::chrono::steady_clock::now();
    if (text != m_recordingText &&
        (m_recordingText.empty() ||
         now - m_recordingShownAt >= std::chrono::milliseconds(kRecordingPaneMs))) {
        m_recordingText = text;
        m_recordingShownAt = now;
        bar->SetStatusText(text, kPaneRecording);
    }
}

void CMainFrame::LayOutStatePanes(int channelWidth, int activityWidth) {
    wxStatusBar* bar = GetStatusBar();
    if (!bar)
        return;
    int fixed = 0;
    for (int pane = kPaneHwFilter; pane < kPanes; ++pane)
        fixed += m_paneWidths[static_cast<std::size_t>(pane)];
    const int room = std::max(0, bar->GetClientSize().x - fixed);
    const int wanted = channelWidth + activityWidth;
    // The message pane keeps room for the prompt, and at least a third.
    const int limit = std::max(room - m_promptWidth, room / 3);
    if (wanted > limit && wanted > 0) {
        // Both shrink alike; their texts end in "..." and their tool tips show them whole.
        channelWidth = channelWidth * limit / wanted;
        activityWidth = activityWidth * limit / wanted;
    }
    std::vector<int> widths(m_paneWidths.begin(), m_paneWidths.end());
    widths[kPaneNumLock] -= m_gripWidth;  // the grip moves to the last pane
    widths.push_back(channelWidth);
    if (activityWidth > 0)
        widths.push_back(activityWidth);
    widths.back() += m_gripWidth;
    if (widths == m_appliedWidths)
        return;
    const bool sameCount = static_cast<int>(widths.size()) == bar->GetFieldsCount();
    m_appliedWidths = widths;
    if (sameCount) {
        bar->SetStatusWidths(static_cast<int>(widths.size()), widths.data());
    } else {
        bar->SetFieldsCount(static_cast<int>(widths.size()), widths.data());
        // A new pane starts empty; the channel's text is set again when it has one.
        if (bar->GetStatusText(kPaneChannel) != m_channelText)
            bar->SetStatusText(m_channelText, kPaneChannel);
    }
}

void CMainFrame::OnStatusBarMotion(wxMouseEvent& event) {
    event.Skip();
    wxStatusBar* bar = GetStatusBar();
    if (!bar)
        return;
    int pane = -1;
    for (int i = 0; i < bar->GetFieldsCount(); ++i) {
        wxRect rect;
        if (bar->GetFieldRect(i, rect) && rect.Contains(event.GetPosition()))
            pane = i;
    }
    if (pane == m_tipPane)
        return;
    m_tipPane = pane;
    const char* tip = pane == kPaneHwFilter     ? kHwFilterPaneTip
                      : pane == kPaneSoftFilter ? kSoftFilterPaneTip
                      : pane == kPaneBusLoad    ? kBusLoadPaneTip
                                                : nullptr;
    if (tip)
        bar->SetToolTip(U8(tip));
    else if (pane >= kPaneChannel)
        bar->SetToolTip(bar->GetStatusText(pane));  // whole, where the pane cuts it
    else
        bar->UnsetToolTip();
}

void CMainFrame::ReportPlayEnd(MonitorSession& session) {
    const auto end = session.TakePlayEnd();
    if (!end)
        return;
    const std::string counts = session.PlayName() + ": " + PlayEndText(*end) + ".";
    if (!end->failure.empty()) {
        platform::MessageBox(end->failure + "\n" + counts, "vesk", platform::MessageIcon::kError);
    } else if (end->skipped > 0 || end->unsent > 0) {
        // Frames that could not go out are worth a look at the end.
        platform::MessageBox(counts, "vesk", platform::MessageIcon::kInformation);
    } else if (wxStatusBar* bar = GetStatusBar()) {
        bar->SetStatusText(wxString::FromUTF8(end->stopped ? "Senden beendet. " + counts : counts),
                           kPaneMessage);
    }
}

void CMainFrame::UpdatePanes() {
    OnUpdateHwFilter();
    OnUpdateSoftFilter();
    OnUpdateBusLoad();
    OnUpdateNumLock();
    OnUpdateRecording();
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
    UpdatePanes();
    if (CVeskView* view = GetView())
        view->WatchForRows();
    event.Skip();
}

void CMainFrame::OnViewToolBar(wxCommandEvent&) {
    if (wxToolBar* bar = GetToolBar()) {
        bar->Show(!bar->IsShown());
        SendSizeEvent();
    }
}

void CMainFrame::OnViewStatusBar(wxCommandEvent&) {
    if (wxStatusBar* bar = GetStatusBar()) {
        bar->Show(!bar->IsShown());
        SendSizeEvent();
    }
}

void CMainFrame::OnUpdateViewToolBar(wxUpdateUIEvent& event) {
    event.Check(GetToolBar() && GetToolBar()->IsShown());
}

void CMainFrame::OnUpdateViewStatusBar(wxUpdateUIEvent& event) {
    event.Check(GetStatusBar() && GetStatusBar()->IsShown());
}

void CMainFrame::OnUpdateNoHandler(wxUpdateUIEvent& event) {
    event.Enable(false);
}

void CMainFrame::OnHelp(wxCommandEvent&) {
    m_help.Show();
}

void CMainFrame::OnDropFiles(wxDropFilesEvent& event) {
    OpenDroppedFiles(event);
}

void CMainFrame::OpenDroppedFiles(const wxDropFilesEvent& event) {
    auto* manager = wxDynamicCast(GetDocumentManager(), CVeskDocManager);
    if (!manager)
        return;
    const wxString* files = event.GetFiles();
    for (int i = 0; i < event.GetNumberOfFiles(); ++i)
        manager->OpenFile(files[i]);
}
