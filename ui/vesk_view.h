// The log view: owns the process's channel, the log, the automatic replies and the transmit
// dialog, and handles the CAN menu's commands.
//
// The channel is created with the view and destroyed first when the view goes, before any member
// that the channel's callback touches (the event log, the log model, the reply entries): the
// receive thread is over by then.
//
// Command handlers live in two files: vesk_view.cpp holds the ones without a dialog and every
// enable rule; vesk_view_commands.cpp holds the ones that run a dialog.
#pragma once

#include <cstdint>

#include <wx/docview.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "ui/send_dlg.h"

#include "channel/can_channel.h"
#include "log/auto_replies.h"
#include "log/event_log.h"
#include "log/log_model.h"
#include "ui/filter_values.h"

class CLogListCtrl;
class wxFrame;

class CVeskView : public wxView {
  public:
    CVeskView();
    ~CVeskView() override;

    // The channel layer's callback: runs on the receive thread, reaches this view through the
    // channel's owner and never waits for the user-interface thread.
    static int OnCanNotify(CanChannel* channel, double absSeconds, double deltaSeconds,
                           const CanMsg* msg);

    // --- State shared with the commands, their dialogs and the status bar ---------------------
    // The order matters: members that the channel's callback touches come before m_channel is
    // destroyed (see the destructor).
    LogModel m_log;
    AutoReplies m_replies;
    EventLog m_eventLog;
    FilterValues m_filters;
    int m_nBaudrate = 20000;     // bit/s, applied at every open
    int m_bShowData = 1;         // event delivery on
    int m_bExtendedDisplay = 0;  // frame-format reporting on
    CanChannel* m_channel = nullptr;
    // Hidden until "Botschaften senden". A child of the list window that the view destroys
    // before the list; the reference empties itself should the window go first.
    wxWeakRef<CSendDlg> m_dlgSend;

    // The log table, also the parent of every dialog of the view. Null before OnCreate.
    CLogListCtrl* GetList() const;
    wxWindow* GetListWindow() const;

    // --- wxView --------------------------------------------------------------------------------
    bool OnCreate(wxDocument* doc, long flags) override;
    void OnDraw(wxDC* dc) override;  // draws nothing: a printed page stays empty
    void OnChangeFilename() override;

    // --- Commands (vesk_view_commands.cpp) -----------------------------------------------------
    void OnCanOpen(wxCommandEvent& event);
    void OnBaudrate(wxCommandEvent& event);
    void OnHwAcceptance(wxCommandEvent& event);
    void OnSoftAcceptance(wxCommandEvent& event);
    void OnAutoReplies(wxCommandEvent& event);
    void OnSendMessages(wxCommandEvent& event);
    // The open sequence after the device was chosen: open, then hardware filter, software
    // filter, baud rate, event delivery; failures reported to the operator. True when open.
    bool OpenChannel(int device, int mode, int format);

    // --- Commands (vesk_view.cpp) --------------------------------------------------------------
    void OnCanClose(wxCommandEvent& event);
    void OnResetTime(wxCommandEvent& event);
    void OnShowData(wxCommandEvent& event);
    void OnStandby(wxCommandEvent& event);
    void OnClearOverrun(wxCommandEvent& event);
    void OnAbortTransmission(wxCommandEvent& event);
    void OnExtendedDisplay(wxCommandEvent& event);
    void OnClearScreen(wxCommandEvent& event);

    void OnUpdateChannelOpen(wxUpdateUIEvent& event);
    void OnUpdateShowData(wxUpdateUIEvent& event);
    void OnUpdateExtendedDisplay(wxUpdateUIEvent& event);

    // --- The log table's feed ------------------------------------------------------------------
    // Starts the drain timer when rows can arrive (the channel is open or rows are waiting); the
    // frame calls it on every idle pass, so an open by any command is noticed at once.
    void WatchForRows();
    // Takes the waiting rows into the table now; returns how many.
    std::size_t DrainRows();
    bool IsDraining() const { return m_drainTimer.IsRunning(); }
    // One tick of the drain timer: shows the waiting rows, and stops the timer once no more rows
    // can come.
    void DrainTick();

    static constexpr int kDrainIntervalMs = 50;

  private:
    void OnDrainTimer(wxTimerEvent& event);
    void LoadSettings();
    static int SendReply(void* view, std::uint32_t id, int length, const std::uint8_t* data);

    wxWeakRef<CLogListCtrl> m_list;
    wxFrame* m_frame = nullptr;
    wxTimer m_drainTimer;

    wxDECLARE_DYNAMIC_CLASS(CVeskView);
    wxDECLARE_EVENT_TABLE();
};
